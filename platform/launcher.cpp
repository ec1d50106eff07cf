#include "platform/launcher.h"

#include <QProcess>
#include <QStandardPaths>

namespace quorvel {

QString SystemLauncher::findProgram(const QStringList &names) const
{
    for (const QString &name : names) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

bool SystemLauncher::startDetached(const QString &program, const QStringList &arguments,
                                   QString *reason)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // The program's chatter does not belong in ours.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    if (reason)
        *reason = QStringLiteral("无法启动%1（%2）").arg(program, process.errorString());
    return false;
}

} // namespace quorvel
