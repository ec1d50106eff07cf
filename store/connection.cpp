#include "store/connection.h"

#include "store/error.h"

#include <sqlite3.h>

#include <cerrno>
#include <filesystem>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel::store {

namespace {

// Long enough to ride out another copy's short write, short enough that a
// teacher is not left waiting on a file held open elsewhere.
constexpr int kDefaultBusyTimeoutMs = 1500;

} // namespace

Connection::Connection(sqlite3 *db, std::string path) : db_(db), path_(std::move(path)) {}

Connection::~Connection()
{
    sqlite3_close_v2(db_);
}

std::shared_ptr<Connection> Connection::open(const std::string &path, std::string_view key)
{
    sqlite3 *db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        throw DbError::fromEngine(rc, message);
    }
    std::shared_ptr<Connection> conn(new Connection(db, path));
    sqlite3_extended_result_codes(db, 1);
    const int keyed = sqlite3_key(db, key.data(), static_cast<int>(key.size()));
    if (keyed != SQLITE_OK)
        conn->fail(keyed);
    conn->setBusyTimeout(kDefaultBusyTimeoutMs);
    return conn;
}

void Connection::exec(const char *sql)
{
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

void Connection::setBusyTimeout(int milliseconds)
{
    sqlite3_busy_timeout(db_, milliseconds);
    busyTimeoutMs_ = milliseconds;
}

std::int64_t Connection::lastInsertRowid() const
{
    return sqlite3_last_insert_rowid(db_);
}

bool Connection::textIsUtf8() const
{
    if (textIsUtf8_ < 0) {
        Statement encoding(*this, "PRAGMA encoding");
        textIsUtf8_ = encoding.step() && encoding.column(0) == Value(std::string("UTF-8"));
    }
    return textIsUtf8_ == 1;
}

int Connection::changes() const
{
    return sqlite3_changes(db_);
}

namespace {

// A write needs a journal file beside the database; without the right to
// create one the engine only says it cannot open a file.
bool journalCannotBeCreated(int rc, const std::string &path)
{
    const int primary = rc & 0xff;
    if (primary != SQLITE_CANTOPEN && primary != SQLITE_READONLY && primary != SQLITE_IOERR)
        return false;
    if (rc == SQLITE_READONLY_DBMOVED)
        return false;
    const std::filesystem::path directory = std::filesystem::path(path).parent_path();
    return ::faccessat(AT_FDCWD, directory.empty() ? "." : directory.c_str(), W_OK | X_OK,
                       AT_EACCESS) != 0;
}

} // namespace

void Connection::fail(int rc) const
{
    // The handle's message belongs to the last call on it; fall back to the
    // code's own text when the two disagree.
    const int current = sqlite3_extended_errcode(db_);
    const std::string message = (current & 0xff) == (rc & 0xff) ? sqlite3_errmsg(db_)
                                                                 : sqlite3_errstr(rc);
    // A write that finds no room (a full disk, a quota, a file-size limit)
    // may come back as a mere I/O error: say what it is.
    const int os = sqlite3_system_errno(db_);
    if ((rc & 0xff) == SQLITE_IOERR && (os == ENOSPC || os == EFBIG || os == EDQUOT))
        throw DbError::fromEngine(SQLITE_FULL, message);
    if (journalCannotBeCreated(rc, path_))
        throw DbError(Condition::Engine, rc,
                      "数据库所在的文件夹不可写入，无法建立写入所需的日志文件（" + message + "）");
    throw DbError::fromEngine(rc, message);
}

std::string quotedIdentifier(const std::string &identifier)
{
    std::string out = "\"";
    for (char c : identifier) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

Statement::Statement(const Connection &conn, std::string_view sql) : conn_(conn)
{
    const int rc = sqlite3_prepare_v2(conn.handle(), sql.data(), static_cast<int>(sql.size()),
                                      &stmt_, nullptr);
    if (rc != SQLITE_OK)
        conn.fail(rc);
}

Statement::~Statement()
{
    sqlite3_finalize(stmt_);
}

void Statement::bind(int index, const Value &value)
{
    int rc = SQLITE_OK;
    if (isNull(value))
        rc = sqlite3_bind_null(stmt_, index);
    else if (auto i = std::get_if<std::int64_t>(&value))
        rc = sqlite3_bind_int64(stmt_, index, *i);
    else if (auto d = std::get_if<double>(&value))
        rc = sqlite3_bind_double(stmt_, index, *d);
    else if (auto s = std::get_if<std::string>(&value))
        rc = sqlite3_bind_text(stmt_, index, s->data(), static_cast<int>(s->size()),
                               SQLITE_TRANSIENT);
    else {
        const auto &b = std::get<Blob>(value).bytes;
        rc = sqlite3_bind_blob(stmt_, index, b.data(), static_cast<int>(b.size()),
                               SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK)
        conn_.fail(rc);
}

void Statement::bindText(int index, std::string_view text)
{
    // A null pointer would bind NULL: an empty text stays an empty text.
    const int rc = sqlite3_bind_text(stmt_, index, text.data() ? text.data() : "",
                                     static_cast<int>(text.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        conn_.fail(rc);
}

bool Statement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // Leave the statement re-runnable and report the step's own failure.
    sqlite3_reset(stmt_);
    conn_.fail(rc);
}

void Statement::run()
{
    while (step()) {
    }
}

void Statement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::columnCount() const
{
    return sqlite3_column_count(stmt_);
}

std::string Statement::columnName(int index) const
{
    const char *name = sqlite3_column_name(stmt_, index);
    return name ? name : "";
}

Value Statement::column(int index) const
{
    switch (sqlite3_column_type(stmt_, index)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(stmt_, index));
    case SQLITE_FLOAT:
        return sqlite3_column_double(stmt_, index);
    case SQLITE_BLOB: {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(stmt_, index));
        const int size = sqlite3_column_bytes(stmt_, index);
        return Blob{std::string(bytes ? bytes : "", static_cast<std::size_t>(size))};
    }
    default: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt_, index));
        const int size = sqlite3_column_bytes(stmt_, index);
        return std::string(text ? text : "", static_cast<std::size_t>(size));
    }
    }
}

Value Statement::column(int index, std::string *stored, bool *differs) const
{
    *differs = false;
    if (sqlite3_column_type(stmt_, index) != SQLITE_TEXT || conn_.textIsUtf8())
        return column(index);
    // Before the engine converts the text to UTF-8, its bytes are those the
    // file holds, in the database's own encoding.
    const auto *raw = static_cast<const char *>(sqlite3_column_blob(stmt_, index));
    const int rawSize = sqlite3_column_bytes(stmt_, index);
    std::string rawBytes(raw ? raw : "", static_cast<std::size_t>(rawSize));
    Value text = column(index);
    if (std::get<std::string>(text) != rawBytes) {
        *stored = std::move(rawBytes);
        *differs = true;
    }
    return text;
}

Transaction::Transaction(Connection &conn) : conn_(conn)
{
    conn_.exec("BEGIN IMMEDIATE");
}

Transaction::~Transaction()
{
    if (open_)
        sqlite3_exec(conn_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    conn_.exec("COMMIT");
    open_ = false;
}

} // namespace quorvel::store
