#pragma once

// Tables this program adds beside `student` (the evaluation log, the call
// log): each is made by the first write that finds it missing, and the file's
// PRAGMA user_version is raised to the version that brought it, so an older
// file is upgraded in place. A table of that name made by another program (or
// a view, or one without the columns) is never written to.

#include <vector>
#include <string>
#include <string_view>

namespace quorvel::store {

class Connection;

struct OwnTable {
    std::string_view name;
    // The columns a table of that name must have to be ours.
    std::vector<std::string_view> columns;
    // CREATE TABLE, as this build makes it.
    const char *create;
    // The user_version that brought the table.
    int version;
};

enum class TableState { Missing, Ours, Foreign };

// Whether the file holds the table. When something else has the name, *why
// says what, for the teacher.
TableState tableState(const Connection &connection, const OwnTable &table,
                      std::string *why = nullptr);

// The file's PRAGMA user_version.
int userVersion(const Connection &connection);

// Makes the table when the file has none, whatever its user_version says,
// and raises a lower user_version to the table's. Call inside a write
// transaction. Returns the state found; throws DbError(ForeignLog), having
// changed nothing, when something else has the name.
TableState ensureOwnTable(Connection &connection, const OwnTable &table);

// The same, throwing DbError(ForeignLog) for Foreign; for the reads.
TableState ownTableForReading(const Connection &connection, const OwnTable &table);

} // namespace quorvel::store
