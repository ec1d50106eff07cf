#pragma once

#include "store/connection.h"
#include "store/recordset.h"

#include <functional>
#include <future>
#include <memory>
#include <string>

namespace quorvel::store {

// The program's database objects, shared by its windows: the connection of
// the latest opendb(), the record set of the main window and the import, and
// the record set of the browser.
class Store {
public:
    explicit Store(std::string programDirectory);

    std::shared_ptr<Connection> conn;
    std::unique_ptr<RecordSet> rs = std::make_unique<RecordSet>();
    std::unique_ptr<RecordSet> rs2 = std::make_unique<RecordSet>();

    // Opens "xsdata.d" in the program's directory, keyed, into conn (replacing
    // it; record sets on the old connection keep it alive). Never creates the
    // file. Until the file has once passed the engine's integrity check, the
    // check comes first, or its verdict is waited for when it runs in the
    // background (a damaged file is refused from then on: nothing is ever
    // written to it). Throws DbError: MissingFile, NoTable, Damaged, or the
    // engine's failure. Takes the connection openInAdvance() made, when that
    // one succeeded: that one is not checked yet (only read from, as the
    // start-up reads the lists), which checkInBackground() sees to.
    void opendb();
    // Starts opening the file on a thread of its own, as opendb() does: most
    // of its time goes into deriving the key, which can run while the
    // program starts. A failure there is never reported; the next opendb()
    // then opens the file itself and says why.
    void openInAdvance();
    // Once the window is up: the integrity check of the file opened in
    // advance, on a thread of its own. Until then the next opendb() checks
    // the file itself.
    void checkInBackground();
    // What the check in the background finds.
    struct IntegrityVerdict {
        bool checked = false;  // false: the file could not be read for it (locked)
        std::string damage;    // what the check found, when the file failed it
    };
    // Waits for the check in the background, on any thread, and returns what
    // it found: empty when the file passed it, or when none was started.
    std::function<std::string()> awaitDamage() const;
    // The file was replaced by a checked copy of a backup.
    void fileReplaced();
    // Checks the file now, on a connection of its own: what the check finds,
    // or empty when the file passes it or cannot be opened for it.
    std::string damageFound() const;
    // Lets go of conn; a record set still open on it keeps it open.
    void closeConn() { conn.reset(); }
    // A connection of its own for one piece of work, opened as opendb()
    // opens conn; conn stays as it was. Throws DbError as opendb() does.
    std::shared_ptr<Connection> openFresh();

    const std::string &databasePath() const { return path_; }

private:
    std::string path_;
    bool intact_ = false;  // the file has passed the integrity check this run
    std::future<std::shared_ptr<Connection>> advance_;
    // The connection made in advance, until its check has started.
    std::shared_ptr<Connection> unchecked_;
    std::shared_future<IntegrityVerdict> check_;
};

// opendb() for the length of a handler: conn is let go when the scope ends,
// however it ends, unless keep() was called (a roll call keeps its class
// open). Throws DbError as opendb() does.
class ConnectionScope {
public:
    explicit ConnectionScope(Store &store) : store_(store) { store_.opendb(); }
    ~ConnectionScope()
    {
        if (!kept_)
            store_.closeConn();
    }
    ConnectionScope(const ConnectionScope &) = delete;
    ConnectionScope &operator=(const ConnectionScope &) = delete;

    Connection &conn() const { return *store_.conn; }
    void keep() { kept_ = true; }

private:
    Store &store_;
    bool kept_ = false;
};

} // namespace quorvel::store
