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

} // namespace

void Store::openInAdvance()
{
    if (advance_.valid())
        return;
    try {
        advance_ = std::async(std::launch::async, openChecked, path_, true);
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

void Store::opendb()
{
    conn.reset();
    if (advance_.valid()) {
        try {
            conn = advance_.get();
            intact_ = true;
            return;
        } catch (const DbError &e) {
            if (e.condition() == Condition::Damaged)
                throw;
            // Opened anew below, which says why it fails.
        } catch (const std::exception &) {
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
}

} // namespace quorvel::store
