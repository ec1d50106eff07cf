#pragma once

namespace quorvel::store {

class Connection;
class Transaction;

// Commits the transaction so that a disk too full for it leaves the file's
// bytes exactly as they were. The engine writes the pages it changed in
// place before those it adds at the end, and rolling back rewrites the first
// ones (under a new encryption, so with other bytes). So the file is first
// given the room the transaction ends at; when that fails, the file is cut
// back and DbError (磁盘已满) thrown with nothing of it written. The
// transaction must not have spilled pages into the file before (see
// NoCacheSpill).
void commitWithRoom(Connection &connection, Transaction &transaction);

// While alive, the connection keeps the changed pages of its transaction in
// memory instead of writing them to the file before the commit (taking up to
// 1 GiB for them).
class NoCacheSpill {
public:
    explicit NoCacheSpill(Connection &connection);
    ~NoCacheSpill();
    NoCacheSpill(const NoCacheSpill &) = delete;
    NoCacheSpill &operator=(const NoCacheSpill &) = delete;

private:
    Connection &connection_;
    long long cacheSize_;
};

} // namespace quorvel::store
