#pragma once

#include <QFont>

namespace quorvel {

// The program's Chinese face at the given size: 宋体 / SimSun where installed,
// else the Simplified Chinese forms of Noto (named, so that fontconfig never
// falls back to Japanese glyph forms).
QFont chineseFont(double pointSize, bool bold = false);

// Lets the toolkit cache glyphs up to 512 pixels instead of 64, so that the
// large names (72 points on the main window, several hundred pixels on a
// projector) are drawn from the glyph cache rather than filled as outlines at
// every change. Call before the application object exists; a value already in
// the environment is kept.
void cacheLargeGlyphs();

} // namespace quorvel
