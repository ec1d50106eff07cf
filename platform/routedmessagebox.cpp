#include "platform/routedmessagebox.h"

#include <QTimer>

namespace quorvel {

Answer RoutedMessageBox::show(const QString &text, MessageStyle style)
{
    if (!collecting_)
        return shown_.show(text, style);
    collecting_->held_.emplace_back(text, style);
    return style == MessageStyle::Question ? Answer::No : Answer::Ok;
}

RoutedMessageBox::Collecting::Collecting(RoutedMessageBox &box)
    : box_(box), outer_(box.collecting_)
{
    box_.collecting_ = this;
}

RoutedMessageBox::Collecting::~Collecting()
{
    box_.collecting_ = outer_;
}

QStringList RoutedMessageBox::Collecting::errors() const
{
    QStringList list;
    for (const auto &[text, style] : held_)
        if (style == MessageStyle::Error)
            list.append(text);
    return list;
}

void RoutedMessageBox::Collecting::showLater()
{
    MessageBox &shown = box_.shown_;
    for (const auto &[text, style] : held_)
        if (style != MessageStyle::Question)
            QTimer::singleShot(0, &box_.alive_,
                               [&shown, text, style] { shown.show(text, style); });
    held_.clear();
}

} // namespace quorvel
