#include "store/backup.h"

#include "store/connection.h"
#include "store/error.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace quorvel::store {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPartSuffix = ".part";

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

// The files beside the database named "<name>.bak-<stamp><suffix>".
std::vector<fs::path> backupsOf(const std::string &databasePath, std::string_view suffix)
{
    const fs::path db(databasePath);
    const std::string prefix = db.filename().string() + ".bak-";
    std::vector<fs::path> found;
    std::error_code ec;
    const fs::path dir = db.has_parent_path() ? db.parent_path() : fs::path(".");
    for (const auto &item : fs::directory_iterator(dir, ec)) {
        const std::string name = item.path().filename().string();
        if (name.size() == prefix.size() + 15 + suffix.size()
            && name.compare(0, prefix.size(), prefix) == 0
            && name.compare(prefix.size() + 15, suffix.size(), suffix) == 0
            && isStamp(std::string_view(name).substr(prefix.size(), 15))
            && item.is_regular_file(ec))
            found.push_back(item.path());
    }
    std::sort(found.begin(), found.end());  // the stamp sorts by time
    return found;
}

// An open file descriptor, closed with the object.
class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Copies that are being written are locked by their writer (flock, which
// ends with the process); one that can be locked was left by a backup that
// never finished.
void removeUnfinishedBackups(const std::string &databasePath)
{
    for (const fs::path &part : backupsOf(databasePath, kPartSuffix)) {
        const FileHandle fd(::open(part.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(part.c_str());
    }
}

[[noreturn]] void failToCreate(const std::string &path, int err)
{
    std::string reason = "无法建立备份文件：" + path;
    if (err == EACCES || err == EPERM || err == EROFS)
        reason = "数据库所在的文件夹不可写入，" + reason;
    else if (err == ENOSPC || err == EDQUOT)
        reason = "磁盘已满，" + reason;
    else
        reason += "（" + std::string(std::strerror(err)) + "）";
    throw DbError(Condition::Engine, 0, reason);
}

// Gives the finished copy its name, never replacing a file of that name.
void nameCopy(const std::string &part, const std::string &path)
{
    if (::renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {
        // A file system without it (a FAT stick): look first, then rename.
        struct stat existing {};
        if (::lstat(path.c_str(), &existing) == 0)
            err = EEXIST;
        else if (std::rename(part.c_str(), path.c_str()) == 0)
            return;
        else
            err = errno;
    }
    failToCreate(path, err);
}

void syncFolderOf(const std::string &path)
{
    const fs::path folder = fs::path(path).parent_path();
    const FileHandle fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

void copyAndCheck(const Connection &connection, std::string_view key, const std::string &part)
{
    auto target = Connection::open(part, key);
    // A copy that does not finish is thrown away whole: it needs no journal.
    target->exec("PRAGMA journal_mode = OFF");
    sqlite3_backup *copy =
        sqlite3_backup_init(target->handle(), "main", connection.handle(), "main");
    if (!copy)
        target->fail(sqlite3_extended_errcode(target->handle()));
    const int rc = sqlite3_backup_step(copy, -1);
    sqlite3_backup_finish(copy);
    if (rc != SQLITE_DONE)
        target->fail(rc);
    // The copy opens with the key, holds the table and is sound.
    Statement rows(*target, "SELECT count(*) FROM student");
    rows.step();
    Statement check(*target, "PRAGMA quick_check");
    if (!check.step() || check.column(0) != Value(std::string("ok")))
        throw DbError(Condition::Engine, 0, "备份文件未通过检查：" + displayText(check.column(0)));
}

} // namespace

std::string backupBeside(const Connection &connection, std::string_view key,
                         const std::string &stamp)
{
    removeUnfinishedBackups(connection.path());
    const std::string path = connection.path() + ".bak-" + stamp;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0)
        failToCreate(path, EEXIST);
    const std::string part = path + std::string(kPartSuffix);
    const FileHandle fd(::open(part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        failToCreate(path, errno);
    // Held until the copy has its name: no other backup takes it for a leftover.
    ::flock(fd.get(), LOCK_EX);
    try {
        copyAndCheck(connection, key, part);
        if (::fsync(fd.get()) != 0)
            failToCreate(path, errno);
        nameCopy(part, path);
    } catch (...) {
        ::unlink(part.c_str());
        throw;
    }
    syncFolderOf(path);
    return path;
}

void removeOldBackups(const std::string &databasePath)
{
    const std::vector<fs::path> found = backupsOf(databasePath, {});
    std::error_code ec;
    for (std::size_t i = 0; i + kBackupsKept < found.size(); ++i)
        fs::remove(found[i], ec);
}

} // namespace quorvel::store
