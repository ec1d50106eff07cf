#include "platform/filedialog.h"

#include <QApplication>
#include <QFileDialog>

namespace quorvel {

QString QtFileDialog::openFile(const QList<FileFilter> &filters)
{
    QWidget *owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                       : QApplication::activeWindow();
    QStringList texts;
    for (const FileFilter &f : filters)
        texts << f.text();
    return QFileDialog::getOpenFileName(owner, QString(), QString(),
                                        texts.join(QLatin1String(";;")));
}

QString QtFileDialog::saveFile(const QString &caption, const QString &label,
                               const QString &pattern, const QString &suggested)
{
    QWidget *owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                       : QApplication::activeWindow();
    QFileDialog dialog(owner, caption, suggested, QStringLiteral("%1(%2)").arg(label, pattern));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // "*.xlsx" gives the suffix a typed name without one receives.
    if (pattern.startsWith(QLatin1String("*.")))
        dialog.setDefaultSuffix(pattern.mid(2));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace quorvel
