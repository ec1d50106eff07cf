#include "app/onecopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>

#include <cstdio>

namespace quorvel {

namespace {

// A command sent to a copy that hangs is given up after this long.
constexpr int kCallTimeoutMs = 10000;

} // namespace

QString busNameFor(const QString &databasePath)
{
    // The same file by any path: its folder as the system names it.
    const QFileInfo file(databasePath);
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    const QString path = (folder.isEmpty() ? file.absolutePath() : folder) + u'/' + file.fileName();
    const QByteArray hash = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha256);
    return RemoteCommands::kInterface + QStringLiteral(".File_")
           + QString::fromLatin1(hash.toHex().left(24));
}

QString methodFor(Command command)
{
    switch (command) {
    case Command::StartDraw:
        return QStringLiteral("StartDraw");
    case Command::StopDraw:
        return QStringLiteral("StopDraw");
    case Command::ToggleDraw:
        return QStringLiteral("ToggleDraw");
    case Command::Next:
        return QStringLiteral("Next");
    case Command::Previous:
        return QStringLiteral("Previous");
    case Command::ShowMiniWindow:
        return QStringLiteral("ShowMiniWindow");
    case Command::HideMiniWindow:
        return QStringLiteral("HideMiniWindow");
    case Command::ShowProjector:
        return QStringLiteral("ShowProjector");
    case Command::HideProjector:
        return QStringLiteral("HideProjector");
    case Command::Activate:
        return QStringLiteral("Activate");
    }
    return QStringLiteral("Activate");
}

OneCopy::OneCopy(const QString &databasePath)
    : fileName_(busNameFor(databasePath)), connected_(QDBusConnection::sessionBus().isConnected())
{
}

OneCopy::~OneCopy()
{
    for (const QString &name : offered_)
        QDBusConnection::sessionBus().unregisterService(name);
}

bool OneCopy::otherCopyRuns() const
{
    if (!connected_)
        return false;
    const QDBusReply<bool> owned =
        QDBusConnection::sessionBus().interface()->isServiceRegistered(fileName_);
    return owned.isValid() && owned.value();
}

int OneCopy::sendToRunningCopy(const std::vector<Command> &commands) const
{
    std::vector<Command> sent = commands;
    if (sent.empty())
        sent.push_back(Command::Activate);
    for (Command command : sent) {
        const QDBusMessage call = QDBusMessage::createMethodCall(
            fileName_, RemoteCommands::kObjectPath, RemoteCommands::kInterface, methodFor(command));
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
        if (reply.type() == QDBusMessage::ErrorMessage) {
            std::fprintf(stderr, "quorvel: %s\n", reply.errorMessage().toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}

bool OneCopy::offer(RemoteCommands &commands, bool shared)
{
    if (!connected_)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // The object first: a command sent as soon as the name is taken finds it.
    bus.registerObject(RemoteCommands::kObjectPath, &commands,
                       QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals);
    QDBusConnectionInterface *names = bus.interface();
    if (!shared) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> mine =
            names->registerService(fileName_, QDBusConnectionInterface::DontQueueService,
                                   QDBusConnectionInterface::DontAllowReplacement);
        if (mine.isValid() && mine.value() == QDBusConnectionInterface::ServiceNotRegistered) {
            bus.unregisterObject(RemoteCommands::kObjectPath);
            return false;
        }
        offered_.append(fileName_);
    }
    names->registerService(RemoteCommands::kInterface, QDBusConnectionInterface::QueueService,
                           QDBusConnectionInterface::DontAllowReplacement);
    offered_.append(RemoteCommands::kInterface);
    return true;
}

} // namespace quorvel
