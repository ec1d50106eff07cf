#include "store/error.h"

#include <sqlite3.h>

namespace quorvel::store {

DbError::DbError(Condition condition, int code, const std::string &reason)
    : std::runtime_error(reason), condition_(condition), code_(code)
{
}

namespace {

const char *reasonFor(int code)
{
    if (code == SQLITE_READONLY_DBMOVED)
        return "数据库文件在点名期间被移动或删除";
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "数据库文件正被其他程序使用（已锁定）";
    case SQLITE_NOTADB:
        return "文件不是数据库，或数据库密码不对";
    case SQLITE_READONLY:
        return "数据库文件是只读的，不能写入";
    case SQLITE_FULL:
        return "磁盘已满";
    case SQLITE_CANTOPEN:
        return "无法打开数据库文件";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return "没有访问数据库文件的权限";
    case SQLITE_CORRUPT:
        return "数据库文件已损坏";
    case SQLITE_IOERR:
        return "读写数据库文件时出错";
    case SQLITE_CONSTRAINT:
        return "数据不符合数据表的要求";
    default:
        return "数据库引擎报告错误";
    }
}

} // namespace

DbError DbError::fromEngine(int code, const std::string &engineMessage)
{
    std::string reason = reasonFor(code);
    if (!engineMessage.empty()) {
        reason += "（";
        reason += engineMessage;
        reason += "）";
    }
    return DbError(Condition::Engine, code, reason);
}

} // namespace quorvel::store
