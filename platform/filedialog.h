#pragma once

#include <QList>
#include <QString>

namespace quorvel {

// One entry of a file dialog's list of file kinds, shown as label(pattern).
struct FileFilter {
    QString label;    // "Excel文件"
    QString pattern;  // "*.xls", or several: "*.xls *.xlsx"
    QString text() const { return label + u'(' + pattern + u')'; }
};

// Asks the teacher for one existing file. Returns its full path, or an empty
// text when the teacher cancelled.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    // filters: the file kinds offered, the first one chosen at the start.
    virtual QString openFile(const QList<FileFilter> &filters) = 0;
    // Asks where to save a new file: caption says why, suggested is the
    // proposed full path. Returns the chosen path (with the pattern's
    // extension when the teacher gave none), or an empty text after a cancel.
    // The teacher confirms replacing a file that exists.
    virtual QString saveFile(const QString &caption, const QString &label, const QString &pattern,
                             const QString &suggested) = 0;
};

class QtFileDialog final : public FileDialog {
public:
    QString openFile(const QList<FileFilter> &filters) override;
    QString saveFile(const QString &caption, const QString &label, const QString &pattern,
                     const QString &suggested) override;
};

} // namespace quorvel
