#include "store/store.h"

#include "store/error.h"
#include "store/indexes.h"
#include "store/schema.h"

#include <filesystem>

namespace quorvel::store {

Store::Store(std::string programDirectory) : path_(store::databasePath(programDirectory)) {}

void Store::opendb()
{
    conn.reset();
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
    auto opened = Connection::open(path_, kDatabasePassword);
    verifySchema(*opened);
    ensureIndexes(*opened);
    conn = std::move(opened);
}

} // namespace quorvel::store
