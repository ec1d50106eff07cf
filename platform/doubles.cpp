#include "platform/doubles.h"

namespace quorvel {

Answer ScriptedMessageBox::show(const QString &text, MessageStyle style)
{
    shown.push_back({text, style});
    if (onShow)
        onShow(shown.back());
    if (style != MessageStyle::Question)
        return Answer::Ok;
    if (answers.empty())
        return Answer::Yes;
    const Answer a = answers.front();
    answers.pop_front();
    return a;
}

QString ScriptedFileDialog::openFile(const QString &label, const QString &pattern)
{
    ++opened;
    lastLabel = label;
    lastPattern = pattern;
    if (paths.empty())
        return {};
    QString p = paths.front();
    paths.pop_front();
    return p;
}

double ScriptedRandom::next()
{
    if (values.empty())
        return 0.0;
    const double v = values.front();
    values.pop_front();
    return v;
}

} // namespace quorvel
