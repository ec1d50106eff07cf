#include "platform/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace quorvel {

Answer QtMessageBox::show(const QString &text, MessageStyle style)
{
    QMessageBox box(QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                      : QApplication::activeWindow());
    box.setWindowTitle(messageTitle());
    // Texts may carry names from the file or a workbook: never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    switch (style) {
    case MessageStyle::Error:
        box.setIcon(QMessageBox::Critical);
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        break;
    case MessageStyle::Information:
        box.setIcon(QMessageBox::Information);
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        break;
    case MessageStyle::Question: {
        box.setIcon(QMessageBox::Question);
        QPushButton *yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
        QPushButton *no = box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? Answer::Yes : Answer::No;
    }
    }
    box.exec();
    return Answer::Ok;
}

} // namespace quorvel
