#pragma once

// One running copy of Quorvel per user and database file: a second start
// hands its commands to the copy that runs, on the session bus.

#include "app/remotecommands.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace quorvel {

// The bus name that the copy running on this file holds, besides the
// interface's own name org.quorvel.Quorvel (which the first copy holds).
QString busNameFor(const QString &databasePath);

// The method of the interface that carries the command out.
QString methodFor(Command command);

class OneCopy {
public:
    // Nothing is asked of the bus while there is none (no session bus, as
    // under a bare X server): then every start runs a copy of its own.
    explicit OneCopy(const QString &databasePath);
    // Gives up the names offered.
    ~OneCopy();
    OneCopy(const OneCopy &) = delete;
    OneCopy &operator=(const OneCopy &) = delete;

    // Another copy runs on the file.
    bool otherCopyRuns() const;
    // Sends the commands, or Activate when there are none, to the copy that
    // runs; a refusal is written to stderr. The exit status: 0 when all were
    // carried out, 1 when one was refused or could not be sent.
    int sendToRunningCopy(const std::vector<Command> &commands) const;
    // Offers commands on the bus. Unless shared, the file's name is taken,
    // and false is returned when another copy took it first (it then has the
    // commands to send). The interface's own name is queued for when the
    // copy holding it ends.
    bool offer(RemoteCommands &commands, bool shared);

private:
    QString fileName_;
    bool connected_ = false;
    QStringList offered_;
};

} // namespace quorvel
