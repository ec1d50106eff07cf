#pragma once

#include <QString>

namespace quorvel {

// Asks the teacher for one existing file. Returns its full path, or an empty
// text when the teacher cancelled.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    // label: what the filter is called ("Excel文件"); pattern: "*.xls".
    virtual QString openFile(const QString &label, const QString &pattern) = 0;
};

class QtFileDialog final : public FileDialog {
public:
    QString openFile(const QString &label, const QString &pattern) override;
};

} // namespace quorvel
