#include "store/restore.h"

#include "store/backup.h"
#include "store/connection.h"
#include "store/error.h"
#include "store/schema.h"

#include <sqlite3.h>

namespace quorvel::store {

namespace {

bool isLock(const DbError &e)
{
    const int primary = e.code() & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// A read transaction held for the life of the object: while it is open no
// other connection can commit a write to the file.
class ReadHold {
public:
    explicit ReadHold(Connection &conn) : conn_(conn)
    {
        conn_.exec("BEGIN");
        Statement read(conn_, "SELECT count(*) FROM student");
        read.step();
    }
    ~ReadHold() { sqlite3_exec(conn_.handle(), "ROLLBACK", nullptr, nullptr, nullptr); }
    ReadHold(const ReadHold &) = delete;
    ReadHold &operator=(const ReadHold &) = delete;

private:
    Connection &conn_;
};

} // namespace

BackupContents readBackup(const std::string &path, std::string_view key)
{
    BackupContents contents;
    std::shared_ptr<Connection> conn;
    try {
        conn = Connection::open(path, key);
        verifySchema(*conn);
    } catch (const DbError &e) {
        if (isLock(e))
            throw;
        contents.reason = e.what();
        return contents;
    }
    try {
        checkIntact(*conn);
        Statement counts(*conn, "SELECT count(*), total(\"优秀\") + total(\"良好\")"
                                " + total(\"及格\") + total(\"不及格\") FROM student");
        counts.step();
        contents.students = std::get<std::int64_t>(counts.column(0));
        const Value evaluations = counts.column(1);
        if (const auto *d = std::get_if<double>(&evaluations))
            contents.evaluations = static_cast<long long>(*d);
        contents.state = BackupContents::State::Sound;
    } catch (const DbError &e) {
        if (isLock(e))
            throw;
        contents.state = BackupContents::State::Damaged;
        contents.reason = e.what();
    }
    return contents;
}

std::string restoreBackup(const std::string &databasePath, const std::string &backupPath,
                          std::string_view key, const std::string &stamp, bool currentDamaged)
{
    const auto source = Connection::open(backupPath, key);
    verifySchema(*source);
    checkIntact(*source);

    // The backup of the former file counts only once the file is replaced.
    BackupUnlessKept former;
    if (currentDamaged) {
        former.path = copyFileBeside(databasePath, stamp, BackupKind::BeforeRestore);
        replaceDatabase(databasePath, *source, key, stamp);
    } else {
        const auto current = Connection::open(databasePath, key);
        verifySchema(*current);
        const ReadHold hold(*current);
        former.path = backupBeside(*current, key, stamp, BackupKind::BeforeRestore);
        replaceDatabase(databasePath, *source, key, stamp);
    }
    std::string kept;
    kept.swap(former.path);
    removeOldBackups(databasePath, BackupKind::BeforeRestore);
    return kept;
}

} // namespace quorvel::store
