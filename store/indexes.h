#pragma once

namespace quorvel::store {

class Connection;

// Makes sure the file holds the index on (年级, 班级) that finds one class
// without reading the whole table. Files made before it existed get it at
// their next opening. Never fails: on a file that cannot be written (read
// only, locked by another program) it leaves the file as it is, and queries
// simply read the whole table.
void ensureIndexes(Connection &connection);

} // namespace quorvel::store
