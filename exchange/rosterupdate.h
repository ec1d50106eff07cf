#pragma once

#include "platform/filedialog.h"
#include "store/roster.h"

#include <QList>

#include <cstddef>
#include <vector>

namespace quorvel {

class Worksheet;

// The kinds of workbook a roster comes in, as the file dialog offers them.
QList<FileFilter> rosterFileKinds();

// The rows of a roster sheet from row 2 on, as the import reads them (up to
// the first row whose column A is empty). progress(rows so far, rows the
// sheet states) is called now and then. Throws WorkbookError.
std::vector<store::RosterRowTexts> readRosterRows(
    Worksheet &sheet, const std::function<void(long, long)> &progress = {});

// What bringing the roster up to date from a workbook's rows would do. A
// student is the same in the file and in the table when name, grade and class
// read alike (a value stored as GBK bytes or a number by an older tool reads
// as its text).
struct RosterUpdatePlan {
    std::vector<store::RosterRowTexts> rows;  // every row read, in order
    std::vector<std::size_t> added;           // rows of students not in the table (each once)
    // Rows repeating an earlier row of the file, with the row they repeat.
    std::vector<std::pair<std::size_t, std::size_t>> repeated;
    std::vector<store::RosterStudent> kept;     // students in the file: kept with tallies and log
    std::vector<store::RosterStudent> missing;  // of the file's grades and classes, not in the file
};

RosterUpdatePlan planRosterUpdate(std::vector<store::RosterRowTexts> rows,
                                  const std::vector<store::RosterStudent> &students);

} // namespace quorvel
