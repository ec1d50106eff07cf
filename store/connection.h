#pragma once

#include "store/value.h"

#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace quorvel::store {

// One open, keyed database file. Shared: the store's `conn` and every record
// set opened on it hold a reference, and the file closes with the last one.
class Connection {
public:
    // Opens an existing file read-write (never creating it) and keys it.
    // Nothing is read yet: the engine proves the key at the first statement.
    static std::shared_ptr<Connection> open(const std::string &path, std::string_view key);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void exec(const char *sql);
    // How long a statement waits for another program's lock before it fails.
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return busyTimeoutMs_; }
    std::int64_t lastInsertRowid() const;
    int changes() const;
    const std::string &path() const { return path_; }
    // Whether the file keeps its texts in UTF-8 (rather than UTF-16).
    bool textIsUtf8() const;
    sqlite3 *handle() const { return db_; }
    // The schema version this connection has seen the file at, once known
    // (versions only ever grow); -1 until then.
    int knownSchemaVersion = -1;

    // Throws the engine's current error for result code rc.
    [[noreturn]] void fail(int rc) const;

private:
    Connection(sqlite3 *db, std::string path);
    sqlite3 *db_;
    std::string path_;
    mutable int textIsUtf8_ = -1;  // unknown until asked
    int busyTimeoutMs_ = 0;
};

// A table or column name as SQL writes it: in double quotes, inner quotes doubled.
std::string quotedIdentifier(const std::string &identifier);

// A prepared statement; parameters are bound, never spliced into the text.
class Statement {
public:
    Statement(const Connection &conn, std::string_view sql);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // 1-based, as the engine numbers parameters.
    void bind(int index, const Value &value);
    // Text (UTF-8), copied by the engine; an empty view is an empty text, never NULL.
    void bindText(int index, std::string_view text);
    // Runs to the next row; false when done.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    int columnCount() const;
    std::string columnName(int index) const;
    Value column(int index) const;
    // The same; for a text whose stored bytes are not its UTF-8 (a database
    // kept in UTF-16) it also puts those bytes in *stored and sets *differs.
    Value column(int index, std::string *stored, bool *differs) const;

private:
    const Connection &conn_;
    sqlite3_stmt *stmt_ = nullptr;
};

// BEGIN IMMEDIATE ... COMMIT; rolled back when left without commit().
class Transaction {
public:
    explicit Transaction(Connection &conn);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;
    void commit();

private:
    Connection &conn_;
    bool open_ = true;
};

} // namespace quorvel::store
