#pragma once

#include <QFont>

namespace quorvel {

// The program's Chinese face at the given size: 宋体 / SimSun where installed,
// else the Simplified Chinese forms of Noto (named, so that fontconfig never
// falls back to Japanese glyph forms).
QFont chineseFont(double pointSize, bool bold = false);

} // namespace quorvel
