#pragma once

#include "workbook/workbookreader.h"

#include <QString>

namespace quorvel {

// What a reader program may take before it is stopped.
struct ReaderLimits {
    int silenceMs = 20000;          // going without sending anything
    int totalMs = 120000;           // waited for, all waits of one sheet together
    long memoryKiB = 1024L * 1024;  // resident size
};

// Reads workbooks through the reader program (quorvel-sheetreader), which
// sends the first sheet's rows over a pipe. A reader that crashes, is killed,
// passes a limit or sends anything malformed fails the reading with
// WorkbookFailure::Unreadable; Quorvel itself goes on.
//
// The resident size is read from /proc by a thread of Quorvel's while the
// reader runs, every 10 ms, whatever Quorvel does meanwhile (a limit on the
// reader's address space would not do: under AddressSanitizer a program
// reserves terabytes of it). The time counts only while Quorvel waits for
// rows: not while it asks the teacher or writes to the database.
//
// openFirstSheet() only starts the reader: the caller may do other work while
// it opens the file, and learns at the sheet's first use whether it could.
class ProcessWorkbookReader final : public WorkbookReader {
public:
    // program: the reader's path.
    explicit ProcessWorkbookReader(QString program, ReaderLimits limits = {});

    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;

    // quorvel-sheetreader in the given program directory.
    static QString programIn(const QString &directory);

private:
    QString program_;
    ReaderLimits limits_;
};

} // namespace quorvel
