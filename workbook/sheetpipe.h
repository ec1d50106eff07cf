#pragma once

// What the reader program writes on its standard output, and what
// ProcessWorkbookReader expects there. Line-based, every text counted:
//
//   QVSHEET 1                     first line
//   F <failure> <row>             the workbook cannot be read; nothing follows
//   R <used rows>                 the sheet opened, and how many rows it holds:
//                                 exact, or a first guess for formats read as
//                                 a stream (see Worksheet::usedRows())
//   then, for every used row from row 1, three cells (columns A, B, C):
//   E                             empty
//   N <number>                    a number: the shortest text that reads back exactly
//   T <bytes>                     a text: the line is followed by that many
//   <bytes of UTF-8>              bytes and a newline
//   R <used rows>                 between two rows: a better guess
//   X                             every used row was sent
//
// No sheet holds more than kMaxSheetRows rows, and no count is above it.
// A failure met while sending rows ("F ...") ends the output too.

#include "workbook/workbookreader.h"

#include <cstdio>

namespace quorvel::sheetpipe {

inline constexpr char kGreeting[] = "QVSHEET 1";
// No text of an acceptable cell needs more bytes than this.
inline constexpr int kMaxTextBytes = 4 * kMaxCellCharacters;

// Writes the whole of the first sheet of the workbook at path to out;
// returns the program's exit status.
int writeSheet(WorkbookReader &reader, const std::string &path, std::FILE *out);

} // namespace quorvel::sheetpipe
