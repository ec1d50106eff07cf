#pragma once

#include <functional>

namespace quorvel::store {

class Connection;

// Makes sure the file holds the index on (年级, 班级) that finds one class
// without reading the whole table. Files made before it existed get it at
// their next opening. Never fails: on a file that cannot be written (read
// only, locked by another program) it leaves the file as it is, and queries
// simply read the whole table.
void ensureIndexes(Connection &connection);

// Runs a change that gives many rows another grade or class with the index
// taken away meanwhile and built anew after it, which costs far less than
// keeping it in order row by row. Inside the caller's transaction; throws
// DbError, as the change does.
void withoutClassIndex(Connection &connection, const std::function<void()> &change);

} // namespace quorvel::store
