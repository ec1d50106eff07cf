#include "exchange/pendingbackup.h"

#include "platform/clock.h"
#include "store/backup.h"
#include "store/connection.h"
#include "store/schema.h"

#include <QDateTime>
#include <QFileInfo>

namespace quorvel {

namespace {

std::string backUp(const store::Connection &connection, const Clock &clock)
{
    const QDateTime now = clock.now();
    const QString base = QString::fromStdString(connection.path()) + QStringLiteral(".bak-");
    for (int later = 0;; ++later) {
        const QString stamp = now.addSecs(later).toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (later < 60 && QFileInfo::exists(base + stamp))
            continue;
        return store::backupBeside(connection, store::kDatabasePassword, stamp.toStdString());
    }
}

} // namespace

PendingBackup::PendingBackup(const store::Connection &connection, const Clock &clock)
    : databasePath_(connection.path())
{
    made_.path = backUp(connection, clock);
}

PendingBackup::~PendingBackup() = default;

void PendingBackup::keep()
{
    made_.path.clear();
    store::removeOldBackups(databasePath_);
}

} // namespace quorvel
