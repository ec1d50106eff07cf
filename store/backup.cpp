#include "store/backup.h"

#include "store/connection.h"
#include "store/error.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace quorvel::store {

namespace {

// "YYYYMMDD-HHMMSS"
bool isStamp(std::string_view s)
{
    if (s.size() != 15 || s[8] != '-')
        return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (i != 8 && (s[i] < '0' || s[i] > '9'))
            return false;
    return true;
}

void removeOldBackups(const std::string &databasePath)
{
    namespace fs = std::filesystem;
    const fs::path db(databasePath);
    const std::string prefix = db.filename().string() + ".bak-";
    std::vector<fs::path> found;
    std::error_code ec;
    const fs::path dir = db.has_parent_path() ? db.parent_path() : fs::path(".");
    for (const auto &item : fs::directory_iterator(dir, ec)) {
        const std::string name = item.path().filename().string();
        if (name.size() == prefix.size() + 15 && name.compare(0, prefix.size(), prefix) == 0
            && isStamp(std::string_view(name).substr(prefix.size()))
            && item.is_regular_file(ec))
            found.push_back(item.path());
    }
    if (found.size() <= static_cast<std::size_t>(kBackupsKept))
        return;
    std::sort(found.begin(), found.end());  // the stamp sorts by time
    for (std::size_t i = 0; i + kBackupsKept < found.size(); ++i)
        fs::remove(found[i], ec);
}

} // namespace

std::string backupBeside(const Connection &connection, std::string_view key,
                         const std::string &stamp)
{
    const std::string path = connection.path() + ".bak-" + stamp;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        const int err = errno;
        std::string reason = "无法建立备份文件：" + path;
        if (err == EACCES || err == EPERM || err == EROFS)
            reason = "数据库所在的文件夹不可写入，" + reason;
        else if (err == ENOSPC || err == EDQUOT)
            reason = "磁盘已满，" + reason;
        else
            reason += "（" + std::string(std::strerror(err)) + "）";
        throw DbError(Condition::Engine, 0, reason);
    }
    ::close(fd);
    try {
        auto target = Connection::open(path, key);
        sqlite3_backup *copy =
            sqlite3_backup_init(target->handle(), "main", connection.handle(), "main");
        if (!copy)
            target->fail(sqlite3_extended_errcode(target->handle()));
        const int rc = sqlite3_backup_step(copy, -1);
        sqlite3_backup_finish(copy);
        if (rc != SQLITE_DONE)
            target->fail(rc);
        // Proves the copy opens with the key and holds the table.
        Statement check(*target, "SELECT count(*) FROM student");
        check.step();
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
    removeOldBackups(connection.path());
    return path;
}

} // namespace quorvel::store
