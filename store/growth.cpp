#include "store/growth.h"

#include "store/connection.h"
#include "store/error.h"

#include <sqlite3.h>

#include <string>

namespace quorvel::store {

namespace {

std::int64_t pragmaNumber(const Connection &connection, const char *sql)
{
    Statement st(connection, sql);
    if (!st.step())
        return 0;
    const Value v = st.column(0);
    return std::holds_alternative<std::int64_t>(v) ? std::get<std::int64_t>(v) : 0;
}

} // namespace

void commitWithRoom(Connection &connection, Transaction &transaction)
{
    sqlite3 *db = connection.handle();
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file
        || !file->pMethods) {
        transaction.commit();
        return;
    }
    sqlite3_int64 before = 0;
    if (file->pMethods->xFileSize(file, &before) != SQLITE_OK) {
        transaction.commit();
        return;
    }
    const std::int64_t pageSize = pragmaNumber(connection, "PRAGMA page_size");
    sqlite3_int64 wanted = pragmaNumber(connection, "PRAGMA page_count") * pageSize;
    if (pageSize > 0 && wanted > before) {
        // Grown a page at a time, the file takes exactly the pages it needs.
        int chunk = static_cast<int>(pageSize);
        sqlite3_file_control(db, "main", SQLITE_FCNTL_CHUNK_SIZE, &chunk);
        if (sqlite3_file_control(db, "main", SQLITE_FCNTL_SIZE_HINT, &wanted) != SQLITE_OK) {
            file->pMethods->xTruncate(file, before);
            throw DbError(Condition::Engine, SQLITE_FULL, "磁盘已满（数据库文件无法增大）");
        }
    }
    try {
        transaction.commit();
    } catch (...) {
        // Still in the transaction: nothing was written but the room made.
        if (wanted > before && !sqlite3_get_autocommit(db))
            file->pMethods->xTruncate(file, before);
        throw;
    }
}

NoCacheSpill::NoCacheSpill(Connection &connection)
    : connection_(connection), cacheSize_(pragmaNumber(connection, "PRAGMA cache_size"))
{
    connection_.exec("PRAGMA cache_spill = OFF");
    // Pages are taken only as needed; a cache that stays below its limit is
    // never searched for a page to give up, which, with every page held,
    // would cost a walk over all of them at each page more.
    connection_.exec("PRAGMA cache_size = -1048576");
}

NoCacheSpill::~NoCacheSpill()
{
    try {
        // A number of this build's own, not a value from outside.
        connection_.exec(("PRAGMA cache_size = " + std::to_string(cacheSize_)).c_str());
        connection_.exec("PRAGMA cache_spill = ON");
    } catch (const DbError &) {
        // The connection is of no further use then anyway.
    }
}

} // namespace quorvel::store
