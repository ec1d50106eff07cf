#include "platform/filedialog.h"

#include <QApplication>
#include <QFileDialog>

namespace quorvel {

QString QtFileDialog::openFile(const QString &label, const QString &pattern)
{
    QWidget *owner = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                       : QApplication::activeWindow();
    return QFileDialog::getOpenFileName(owner, QString(), QString(),
                                        QStringLiteral("%1(%2)").arg(label, pattern));
}

} // namespace quorvel
