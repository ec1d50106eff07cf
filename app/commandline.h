#pragma once

// The options Quorvel answers on the terminal, before any window opens.

#include "app/remotecommands.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace quorvel {

struct CommandLine {
    enum class Action { Run, Help, Version };
    Action action = Action::Run;
    // What to print for Help and Version.
    QString text;
    // --draw, --next, --mini in order: for the copy that runs on the file,
    // or for this one when none does.
    std::vector<Command> commands;
    // --new-copy: run a copy of its own even when one runs on the file.
    bool newCopy = false;
};

// Whether Quorvel takes the argument itself (rather than the toolkit).
bool isOwnOption(const QString &argument);

// arguments as the process got them, the program's name first. Any other
// argument is left to the toolkit, which takes its own (-platform, -style ...).
CommandLine readCommandLine(const QStringList &arguments, const QString &version);

// The message for arguments that neither Quorvel nor the toolkit took.
QString unknownArgumentText(const QString &argument);

} // namespace quorvel
