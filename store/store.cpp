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
    if (!std::filesystem::exists(path_, ec))
        throw DbError(Condition::MissingFile, 0, "找不到数据库文件");
    auto opened = Connection::open(path_, kDatabasePassword);
    verifySchema(*opened);
    ensureIndexes(*opened);
    conn = std::move(opened);
}

} // namespace quorvel::store
