#pragma once

#include "platform/workbookreader.h"

#include <QString>

namespace quorvel {

// Reads workbooks through the reader program (quorvel-sheetreader), which
// sends the first sheet's rows over a pipe. A reader that crashes, is killed,
// falls silent for longer than the time limit or sends anything malformed
// fails the reading with WorkbookFailure::Unreadable; Quorvel itself goes on.
// openFirstSheet() only starts the reader: the caller may do other work while
// it opens the file, and learns at the sheet's first use whether it could.
class ProcessWorkbookReader final : public WorkbookReader {
public:
    static constexpr int kDefaultSilenceMs = 20000;

    // program: the reader's path. silenceMs: how long the reader may go
    // without sending anything.
    explicit ProcessWorkbookReader(QString program, int silenceMs = kDefaultSilenceMs);

    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;

    // quorvel-sheetreader in the given program directory.
    static QString programIn(const QString &directory);

private:
    QString program_;
    int silenceMs_;
};

} // namespace quorvel
