#pragma once

#include <string>
#include <string_view>

namespace quorvel::store {

class Connection;

// How many backups beside the database are kept.
inline constexpr int kBackupsKept = 5;

// Copies the open database, consistently and keyed alike, to
// "<database path>.bak-<stamp>" (stamp: local time as YYYYMMDD-HHMMSS). The
// copy is written under "<that name>.part", synced and checked (it opens with
// the key, holds the table and passes the engine's quick check) before it
// takes its name, so a file by that name is always a whole backup; what an
// interrupted backup left behind is removed first. Never overwrites a file;
// a failed copy leaves no file behind. Keeps every older backup (see
// removeOldBackups). Returns the backup's path. Throws DbError.
std::string backupBeside(const Connection &connection, std::string_view key,
                         const std::string &stamp);

// Removes all but the newest kBackupsKept backups of the database at
// databasePath, by the stamp in their names. Other files are never touched.
void removeOldBackups(const std::string &databasePath);

} // namespace quorvel::store
