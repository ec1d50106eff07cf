#include "store/store.h"

#include "store/backup.h"
#include "store/error.h"
#include "store/indexes.h"
#include "store/schema.h"

#include <filesystem>
#include <system_error>

namespace quorvel::store {

Store::Store(std::string programDirectory) : path_(store::databasePath(programDirectory)) {}

namespace {

// With checkIntegrity the engine reads every page first: a damaged file is
// refused before anything is written to it.
std::shared_ptr<Connection> openChecked(const std::string &path, bool checkIntegrity)
{
    auto opened = Connection::open(path, kDatabasePassword);
    verifySchema(*opened);
    if (checkIntegrity)
        checkIntact(*opened);
    ensureIndexes(*opened);
    return opened;
}

// Opened in advance, for reading only until the file has passed the check:
// not even an index is made in it before.
std::shared_ptr<Connection> openUnchecked(const std::string &path)
{
    auto opened = Connection::open(path, kDatabasePassword);
    verifySchema(*opened);
    return opened;
}

} // namespace

void Store::openInAdvance()
{
    if (advance_.valid())
        return;
    try {
        advance_ = std::async(std::launch::async, openUnchecked, path_);
    } catch (const std::system_error &) {
        // No thread to be had: opendb() opens the file itself.
    }
}

std::shared_ptr<Connection> Store::openFresh()
{
    const std::shared_ptr<Connection> before = conn;
    try {
        opendb();
    } catch (...) {
        conn = before;
        throw;
    }
    std::shared_ptr<Connection> fresh = std::move(conn);
    conn = before;
    return fresh;
}

void Store::checkInBackground()
{
    if (intact_ || !unchecked_ || check_.valid())
        return;
    try {
        check_ = std::async(std::launch::async, [c = unchecked_]() {
                     IntegrityVerdict verdict;
                     try {
                         checkIntact(*c);
                         verdict.checked = true;
                     } catch (const DbError &e) {
                         // Anything but damage (another program's lock) leaves
                         // the check to the next opendb().
                         if (e.condition() == Condition::Damaged) {
                             verdict.checked = true;
                             verdict.damage = e.what();
                         }
                     }
                     return verdict;
                 }).share();
        unchecked_.reset();
    } catch (const std::system_error &) {
        // No thread to be had: the next opendb() checks the file itself.
    }
}

std::string Store::damageFound() const
{
    try {
        const auto c = Connection::open(path_, kDatabasePassword);
        verifySchema(*c);
        checkIntact(*c);
    } catch (const DbError &e) {
        if (e.condition() == Condition::Damaged)
            return e.what();
    }
    return {};
}

std::function<std::string()> Store::awaitDamage() const
{
    return [verdict = check_] { return verdict.valid() ? verdict.get().damage : std::string(); };
}

void Store::fileReplaced()
{
    check_ = {};
    unchecked_.reset();
    intact_ = true;
}

void Store::opendb()
{
    conn.reset();
    if (check_.valid()) {
        const IntegrityVerdict &verdict = check_.get();
        if (!verdict.damage.empty())
            throw DbError(Condition::Damaged, 0, verdict.damage);
        intact_ = verdict.checked;
        check_ = {};
    }
    if (advance_.valid()) {
        try {
            conn = advance_.get();
            unchecked_ = conn;
            return;
        } catch (const std::exception &) {
            // Opened anew below, which says why it fails.
        }
    }
    std::error_code ec;
    const auto status = std::filesystem::status(path_, ec);
    if (ec && ec != std::errc::no_such_file_or_directory)
        // The folder cannot be entered (or is no folder): the file may well be there.
        throw DbError(Condition::Engine, 0,
                      (ec == std::errc::permission_denied
                           ? std::string("没有权限进入数据库所在的文件夹")
                           : std::string("无法访问数据库所在的文件夹"))
                          + "（" + ec.message() + "）");
    if (!std::filesystem::exists(status))
        throw DbError(Condition::MissingFile, 0, "找不到数据库文件");
    conn = openChecked(path_, !intact_);
    intact_ = true;
    unchecked_.reset();
}

} // namespace quorvel::store
