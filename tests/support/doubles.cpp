#include "tests/support/doubles.h"

#include <QTimer>

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

QString ScriptedFileDialog::openFile(const QList<FileFilter> &filters)
{
    ++opened;
    lastFilters.clear();
    for (const FileFilter &f : filters)
        lastFilters << f.text();
    if (paths.empty())
        return {};
    QString p = paths.front();
    paths.pop_front();
    return p;
}

QString ScriptedFileDialog::saveFile(const QString &, const QString &, const QString &,
                                     const QString &suggested)
{
    ++savesAsked;
    lastSuggested = suggested;
    if (savePaths.empty())
        return {};
    QString p = savePaths.front();
    savePaths.pop_front();
    return p;
}

QString ScriptedLauncher::findProgram(const QStringList &names) const
{
    for (const QString &name : names)
        if (installed.contains(name))
            return QStringLiteral("/usr/bin/") + name;
    return {};
}

void ScriptedLauncher::start(const QString &program, const QStringList &arguments,
                             Failed failed)
{
    started.push_back({program, arguments});
    if (!failure.isEmpty() && failed)
        QTimer::singleShot(0, &alive_,
                           [failed = std::move(failed), reason = failure] { failed(reason); });
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
