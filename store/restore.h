#pragma once

#include <string>
#include <string_view>

namespace quorvel::store {

// What a backup holds, read from the file itself.
struct BackupContents {
    enum class State {
        Sound,    // opens with the key, holds the table, passes the check
        Damaged,  // a database of the program's that fails the check
        Foreign,  // does not open with the key, or holds no table `student`
    };
    State state = State::Foreign;
    long long students = 0;
    // The evaluations its counters hold (优秀, 良好, 及格 and 不及格 added up).
    long long evaluations = 0;
    // Why it is not sound, for the teacher.
    std::string reason;
};

// Reads the backup at path with the key; never writes to it. A file that is
// locked by another program throws DbError, as it says nothing of the file.
BackupContents readBackup(const std::string &path, std::string_view key);

// Puts the backup at backupPath in the place of the database file. First the
// current file is kept as a backup made before restoring (read through the
// engine; byte for byte when currentDamaged, so that a damaged file is kept
// as it is and never written to); then the file is replaced in one step by a
// checked copy of the backup. Until it is replaced, no other program can
// write to the file. Only then is the oldest of more than five backups made
// before restoring removed. Returns the path of the former file's backup.
// Throws DbError, with the database file and the backups as they were.
// Every connection to the file should be closed first: what is written
// through one afterwards never reaches the restored file.
std::string restoreBackup(const std::string &databasePath, const std::string &backupPath,
                          std::string_view key, const std::string &stamp, bool currentDamaged);

} // namespace quorvel::store
