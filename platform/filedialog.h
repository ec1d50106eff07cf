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
    // Asks where to save a new file: caption says why, suggested is the
    // proposed full path. Returns the chosen path (with the pattern's
    // extension when the teacher gave none), or an empty text after a cancel.
    // The teacher confirms replacing a file that exists.
    virtual QString saveFile(const QString &caption, const QString &label, const QString &pattern,
                             const QString &suggested) = 0;
};

class QtFileDialog final : public FileDialog {
public:
    QString openFile(const QString &label, const QString &pattern) override;
    QString saveFile(const QString &caption, const QString &label, const QString &pattern,
                     const QString &suggested) override;
};

} // namespace quorvel
