#include "store/indexes.h"

#include "store/connection.h"

#include <sqlite3.h>

namespace quorvel::store {

namespace {

constexpr const char *kCreateClassIndex =
    "CREATE INDEX IF NOT EXISTS student_grade_class ON student (\"年级\", \"班级\")";

} // namespace

void ensureIndexes(Connection &connection)
{
    // When the index is there this reads the schema only and takes no write
    // lock, so it costs nothing on later openings and never waits.
    sqlite3 *db = connection.handle();
    if (sqlite3_db_readonly(db, "main") == 1)
        return;
    sqlite3_exec(db, kCreateClassIndex, nullptr, nullptr, nullptr);
}

void withoutClassIndex(Connection &connection, const std::function<void()> &change)
{
    connection.exec("DROP INDEX IF EXISTS student_grade_class");
    change();
    connection.exec(kCreateClassIndex);
}

} // namespace quorvel::store
