#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::store {

class Connection;

// Why a backup beside the database was made. Each kind has a name of its own
// ("<database>.bak-<stamp>", "<database>.bak-daily-<stamp>",
// "<database>.bak-before-restore-<stamp>"; stamp: local time as
// YYYYMMDD-HHMMSS) and is kept apart from the others.
enum class BackupKind { BeforeImport, Daily, BeforeRestore };

// How many backups of a kind are kept.
inline constexpr int kBackupsKept = 5;
int backupsKept(BackupKind kind);

// One backup beside the database, as its name tells.
struct BackupFile {
    std::string path;
    BackupKind kind;
    std::string stamp;  // YYYYMMDD-HHMMSS
};

// Runs the engine's quick check of every page and index; throws DbError
// (Damaged, with what the check found) when the file fails it, or the
// engine's error when the file is merely locked.
void checkIntact(const Connection &connection);

// Copies the open database, consistently and keyed alike, to the name of a
// backup of that kind with the stamp. The copy is written under "<that
// name>.part", synced and checked (it opens with the key, holds the table and
// passes the engine's quick check) before it takes its name, so a file by
// that name is always a whole backup; what an interrupted backup left behind
// is removed first. Never overwrites a file; a failed copy leaves no file
// behind. Keeps every older backup (see removeOldBackups). Returns the
// backup's path. Throws DbError.
std::string backupBeside(const Connection &connection, std::string_view key,
                         const std::string &stamp, BackupKind kind = BackupKind::BeforeImport);

// Copies the file at path byte for byte to the name of a backup of that kind,
// as backupBeside() writes one but without reading it through the engine:
// for a file the engine finds damaged, which is kept as it is. Throws DbError.
std::string copyFileBeside(const std::string &databasePath, const std::string &stamp,
                           BackupKind kind);

// Removes the backups of the kind older than the newest that are kept (by
// the stamp in their names). A file that only bears such a name is left
// alone: one is removed only once it opens with the key as a database of the
// program's.
void removeOldBackups(const std::string &databasePath,
                      BackupKind kind = BackupKind::BeforeImport);

// Whether the daily backup of the day (YYYYMMDD) is due: the newest daily
// backup (that opens with the key) is of an earlier day, and the file has
// been written since it was made (a day on which nothing was written needs
// none: the newest holds it). Costs a key derivation: not for the window's
// thread.
bool dailyBackupDue(const std::string &databasePath, const std::string &day);

// A new backup that counts only once the work it was made for has succeeded:
// the file at path is removed with the object, unless path was cleared.
struct BackupUnlessKept {
    std::string path;
    BackupUnlessKept() = default;
    BackupUnlessKept(const BackupUnlessKept &) = delete;
    BackupUnlessKept &operator=(const BackupUnlessKept &) = delete;
    ~BackupUnlessKept();
};

// Every backup beside the database, of every kind, newest first.
std::vector<BackupFile> backupsOf(const std::string &databasePath);

// Replaces the file at databasePath, in one step, with a copy of the open
// database: the copy is written beside it, checked and synced, then renamed
// over it. The file is never half replaced; a failed copy leaves no file
// behind. Throws DbError.
void replaceDatabase(const std::string &databasePath, const Connection &source,
                     std::string_view key, const std::string &stamp);

} // namespace quorvel::store
