#include "store/indexes.h"

#include "store/connection.h"

#include <sqlite3.h>

namespace quorvel::store {

void ensureIndexes(Connection &connection)
{
    // When the index is there this reads the schema only and takes no write
    // lock, so it costs nothing on later openings and never waits.
    sqlite3 *db = connection.handle();
    if (sqlite3_db_readonly(db, "main") == 1)
        return;
    sqlite3_exec(db,
                 "CREATE INDEX IF NOT EXISTS student_grade_class"
                 " ON student (\"年级\", \"班级\")",
                 nullptr, nullptr, nullptr);
}

} // namespace quorvel::store
