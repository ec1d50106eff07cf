#pragma once

#include <QPixmap>

namespace quorvel {

// A 253 × 107 picture of the worksheet an import expects, as a spreadsheet
// shows it: column heads A to C, row heads 1 to 4, the titles 姓名, 年级 and
// 班级 in row 1 and three made-up students below.
QPixmap worksheetPicture();

} // namespace quorvel
