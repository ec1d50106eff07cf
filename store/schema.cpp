#include "store/schema.h"

#include "store/connection.h"
#include "store/error.h"
#include "store/indexes.h"

#include <sqlite3.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel::store {

std::string databasePath(const std::string &directory)
{
    if (directory.empty())
        return std::string(kDatabaseFileName);
    const char last = directory.back();
    if (last == '/' || last == '\\')
        return directory + std::string(kDatabaseFileName);
    return directory + "/" + std::string(kDatabaseFileName);
}

void verifySchema(const Connection &connection)
{
    // The first read of the file: a wrong key fails here with NOTADB.
    Statement columns(connection, "PRAGMA table_info(\"student\")");
    std::array<bool, 8> found{};
    constexpr std::array<std::string_view, 8> wanted{kName, kGrade, kClass, kExcellent,
                                                     kGood, kPass, kFail, kDeducted};
    bool any = false;
    while (columns.step()) {
        any = true;
        const Value name = columns.column(1);
        for (std::size_t i = 0; i < wanted.size(); ++i)
            if (std::holds_alternative<std::string>(name) && std::get<std::string>(name) == wanted[i])
                found[i] = true;
    }
    if (!any)
        throw DbError(Condition::NoTable, 0, "数据库中没有student数据表");
    for (std::size_t i = 0; i < wanted.size(); ++i)
        if (!found[i])
            throw DbError(Condition::NoTable, 0,
                          "student数据表缺少“" + std::string(wanted[i]) + "”列");
    // Every write finds its row by the row number; a table made WITHOUT
    // ROWID has none.
    try {
        Statement rowNumber(connection, "SELECT rowid FROM student LIMIT 0");
    } catch (const DbError &e) {
        if ((e.code() & 0xff) != SQLITE_ERROR)
            throw;
        throw DbError(Condition::NoTable, 0,
                      "student数据表建为没有行号的表（WITHOUT ROWID），本程序无法逐条记入评价");
    }
}

void createDatabase(const std::string &path)
{
    // O_EXCL reserves the name: an existing file, a teacher's data, is never touched.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        const int err = errno;
        throw DbError(Condition::Engine, 0,
                      (err == EEXIST ? "文件已存在，不会覆盖：" : "无法创建文件：") + path
                          + "（" + std::strerror(err) + "）");
    }
    ::close(fd);
    try {
        auto conn = Connection::open(path, kDatabasePassword);
        conn->exec("CREATE TABLE student ("
                   "\"编号\" INTEGER PRIMARY KEY,"
                   "\"姓名\" TEXT NOT NULL,"
                   "\"年级\" TEXT,"
                   "\"班级\" TEXT,"
                   "\"优秀\" INTEGER NOT NULL DEFAULT 0,"
                   "\"良好\" INTEGER NOT NULL DEFAULT 0,"
                   "\"及格\" INTEGER NOT NULL DEFAULT 0,"
                   "\"不及格\" INTEGER NOT NULL DEFAULT 0,"
                   "\"倒扣学分\" NUMERIC NOT NULL DEFAULT 0)");
        ensureIndexes(*conn);
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
}

} // namespace quorvel::store
