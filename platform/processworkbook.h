#pragma once

#include "platform/workbook.h"

namespace quorvel {

// Reads workbooks through the reader program (quorvel-sheetreader), which
// sends the first sheet's rows over a pipe. A reader that crashes, is killed,
// falls silent for longer than the time limit or sends anything malformed
// fails the reading with WorkbookFailure::Unreadable; Quorvel itself goes on.
class ProcessWorkbookReader final : public WorkbookReader {
public:
    static constexpr int kDefaultSilenceMs = 20000;

    // program: the reader's path. silenceMs: how long the reader may go
    // without sending anything.
    explicit ProcessWorkbookReader(QString program, int silenceMs = kDefaultSilenceMs);

    std::unique_ptr<Worksheet> openFirstSheet(const QString &path) override;

    // quorvel-sheetreader in the given program directory.
    static QString programIn(const QString &directory);

private:
    QString program_;
    int silenceMs_;
};

} // namespace quorvel
