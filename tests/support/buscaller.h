#pragma once

// Another program on the session bus that sends Quorvel its commands, with a
// connection of its own, and hears the names it announces.

#include "app/remotecommands.h"

#include <QSignalSpy>
#include <QStringList>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCall>
#include <QtDBus/QDBusPendingCallWatcher>

namespace quorvel::testing {

// Another program on the bus, with a connection of its own.
class Caller : public QObject {
    Q_OBJECT
public:
    explicit Caller(QString service)
        : service_(std::move(service)),
          bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("caller")))
    {
        bus_.connect(service_, RemoteCommands::kObjectPath, RemoteCommands::kInterface,
                     QStringLiteral("NameShown"), this, SLOT(hear(QString)));
    }
    ~Caller() override { QDBusConnection::disconnectFromBus(QStringLiteral("caller")); }

    // The reply, waited for on the event loop: the window answers on this thread.
    QDBusMessage call(const QString &method)
    {
        QDBusPendingCall pending = send(method);
        QDBusPendingCallWatcher watcher(pending);
        QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
        if (!pending.isFinished())
            (void)finished.wait(20000);
        return pending.reply();
    }
    // Sends the call without waiting for its reply.
    QDBusPendingCall send(const QString &method)
    {
        return bus_.asyncCall(QDBusMessage::createMethodCall(
            service_, RemoteCommands::kObjectPath, RemoteCommands::kInterface, method));
    }
    // Carried out: the empty string; refused: the error's name and message.
    QString refusal(const QString &method)
    {
        const QDBusMessage reply = call(method);
        return reply.type() == QDBusMessage::ErrorMessage
                   ? reply.errorName() + u' ' + reply.errorMessage()
                   : QString();
    }
    QString read(const QString &method)
    {
        const QDBusMessage reply = call(method);
        return reply.arguments().isEmpty() ? QStringLiteral("<%1>").arg(reply.errorMessage())
                                           : reply.arguments().first().toString();
    }

    QStringList heard;

private slots:
    void hear(const QString &name) { heard.append(name); }

private:
    QString service_;
    QDBusConnection bus_;
};

} // namespace quorvel::testing
