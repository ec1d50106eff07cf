#pragma once

#include <string>
#include <string_view>

namespace quorvel::store {

class Connection;

// How many backups beside the database are kept.
inline constexpr int kBackupsKept = 5;

// Copies the open database, consistently and keyed alike, to
// "<database path>.bak-<stamp>" (stamp: local time as YYYYMMDD-HHMMSS), then
// removes all but the newest kBackupsKept backups by that name. Never
// overwrites a file; a failed copy leaves no file behind. Returns the
// backup's path. Throws DbError.
std::string backupBeside(const Connection &connection, std::string_view key,
                         const std::string &stamp);

} // namespace quorvel::store
