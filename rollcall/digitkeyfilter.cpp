#include "rollcall/digitkeyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace quorvel {

void DigitKeyFilter::attach(QLineEdit *box, int maxLength)
{
    box->setMaxLength(maxLength);
    // Pasted or dropped text goes through the validator, not the key filter.
    box->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), box));
    box->installEventFilter(this);
}

bool DigitKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent *>(event)->text();
        if (typed.isEmpty())
            return false;
        const bool digit = typed.size() == 1 && typed[0] >= u'0' && typed[0] <= u'9';
        return !digit;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvel
