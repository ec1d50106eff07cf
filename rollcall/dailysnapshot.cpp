#include "rollcall/dailysnapshot.h"

#include "platform/clock.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/error.h"
#include "store/schema.h"

#include <QMetaObject>
#include <QStatusBar>

namespace quorvel {

namespace {

const QString kSnapshotFailed = QStringLiteral("今天的自动备份未能建立（点名和评价照常进行）：");

} // namespace

DailySnapshot::DailySnapshot(std::string databasePath, const Clock &clock, QObject *parent)
    : QObject(parent), databasePath_(std::move(databasePath)), clock_(clock)
{
}

DailySnapshot::~DailySnapshot()
{
    if (worker_.joinable())
        worker_.join();
}

bool DailySnapshot::start(std::function<std::string()> awaitDamage)
{
    if (running_)
        return false;
    if (worker_.joinable())
        worker_.join();
    const QDateTime now = clock_.now();
    const std::string day = now.toString(QStringLiteral("yyyyMMdd")).toStdString();
    const std::string stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss")).toStdString();
    running_ = true;
    worker_ = std::thread([this, day, stamp, awaitDamage = std::move(awaitDamage)] {
        QString path, failure, damage;
        try {
            if (awaitDamage)
                damage = QString::fromStdString(awaitDamage());
            if (damage.isEmpty() && store::dailyBackupDue(databasePath_, day)) {
                // A connection of its own: the window's wait for the copy's
                // one read of the file at most.
                const auto source =
                    store::Connection::open(databasePath_, store::kDatabasePassword);
                store::verifySchema(*source);
                path = QString::fromStdString(store::backupBeside(
                    *source, store::kDatabasePassword, stamp, store::BackupKind::Daily));
                store::removeOldBackups(databasePath_, store::BackupKind::Daily);
            }
        } catch (const std::exception &e) {
            failure = QString::fromUtf8(e.what());
        }
        QMetaObject::invokeMethod(
            this,
            [this, path, failure, damage] {
                running_ = false;
                if (!damage.isEmpty())
                    emit damaged(damage);
                else if (!failure.isEmpty())
                    emit failed(failure);
                else if (!path.isEmpty())
                    emit made(path);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void DailySnapshot::reportFailuresIn(QStatusBar *bar)
{
    connect(this, &DailySnapshot::failed, bar, [bar](const QString &reason) {
        bar->showMessage(kSnapshotFailed + reason);
        bar->setToolTip(kSnapshotFailed + reason);
    });
}

} // namespace quorvel
