#pragma once

#include "store/connection.h"
#include "store/recordset.h"

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
    // check comes first. Throws DbError: MissingFile, NoTable, Damaged, or
    // the engine's failure. Takes the connection openInAdvance() made, when
    // that one succeeded.
    void opendb();
    // Starts opening the file on a thread of its own, as opendb() does: most
    // of its time goes into deriving the key, which can run while the
    // program starts. A failure there is never reported; the next opendb()
    // then opens the file itself and says why.
    void openInAdvance();
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
