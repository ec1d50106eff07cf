#include "widgets/digitkeyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace quorvel {

void DigitKeyFilter::attach(QLineEdit *box, int maxLength)
{
    // The length goes into the validator, not setMaxLength(): a line edit cuts
    // pasted text to its maximum length before validating it, which would let
    // the digits of "12a" in.
    box->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(maxLength)), box));
    box->installEventFilter(this);
}

bool DigitKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Delete types no character (X11 reports it as U+007F all the same),
        // and Tab moves the focus on: both work as usual.
        switch (key->key()) {
        case Qt::Key_Delete:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        default:
            break;
        }
        const QString typed = key->text();
        if (typed.isEmpty())
            return false;
        const bool digit = typed.size() == 1 && typed[0] >= u'0' && typed[0] <= u'9';
        return !digit;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace quorvel
