#pragma once

#include "store/backup.h"

#include <string>

namespace quorvel {

class Clock;

namespace store {
class Connection;
}

// A copy of the database beside itself, made before a change that replaces
// or removes students, named by the second it was taken (a second backup
// within the same second takes the next free second, so none is ever
// overwritten). It counts only once the change has committed: keep() then
// removes the oldest beyond the five kept; until then it is removed with this
// object, and no older one is evicted. Throws DbError when it cannot be made.
class PendingBackup {
public:
    PendingBackup(const store::Connection &connection, const Clock &clock);
    ~PendingBackup();
    PendingBackup(const PendingBackup &) = delete;
    PendingBackup &operator=(const PendingBackup &) = delete;

    void keep();
    const std::string &path() const { return made_.path; }

private:
    store::BackupUnlessKept made_;
    std::string databasePath_;
};

} // namespace quorvel
