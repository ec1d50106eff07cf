#pragma once

// The options Quorvel answers on the terminal, before any window opens.

#include <QString>
#include <QStringList>

namespace quorvel {

struct CommandLine {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    // What to print for Help and Version.
    QString text;
};

// arguments as the process got them, the program's name first. Any other
// argument is left to the toolkit, which takes its own (-platform, -style ...).
CommandLine readCommandLine(const QStringList &arguments, const QString &version);

// The message for arguments that neither Quorvel nor the toolkit took.
QString unknownArgumentText(const QString &argument);

} // namespace quorvel
