#include "store/backup.h"

#include "store/connection.h"
#include "store/error.h"
#include "store/schema.h"

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
// The copy that is to replace the database, while it is written.
constexpr std::string_view kReplacingPrefix = "bak-replacing-";
constexpr BackupKind kKinds[] = {BackupKind::BeforeImport, BackupKind::Daily,
                                 BackupKind::BeforeRestore};

std::string_view prefixOf(BackupKind kind)
{
    switch (kind) {
    case BackupKind::Daily:
        return "bak-daily-";
    case BackupKind::BeforeRestore:
        return "bak-before-restore-";
    case BackupKind::BeforeImport:
        break;
    }
    return "bak-";
}

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

std::string nameBeside(const std::string &databasePath, std::string_view prefix,
                       const std::string &stamp)
{
    return databasePath + "." + std::string(prefix) + stamp;
}

// The files beside the database named "<name>.<prefix><stamp><suffix>",
// oldest first.
std::vector<fs::path> filesNamed(const std::string &databasePath, std::string_view kindPrefix,
                                 std::string_view suffix)
{
    const fs::path db(databasePath);
    const std::string prefix = db.filename().string() + "." + std::string(kindPrefix);
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
// ends with the process); one that can be locked was left by a copy that
// never finished.
void removeUnfinishedCopies(const std::string &databasePath)
{
    std::vector<fs::path> parts = filesNamed(databasePath, kReplacingPrefix, kPartSuffix);
    for (BackupKind kind : kKinds) {
        const std::vector<fs::path> more = filesNamed(databasePath, prefixOf(kind), kPartSuffix);
        parts.insert(parts.end(), more.begin(), more.end());
    }
    for (const fs::path &part : parts) {
        const FileHandle fd(::open(part.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlink(part.c_str());
    }
}

constexpr const char *kCannotBackUp = "无法建立备份文件：";
constexpr const char *kCannotReplace = "无法写入用来替换数据库的文件：";

[[noreturn]] void failToCreate(const std::string &path, int err,
                               const char *what = kCannotBackUp)
{
    std::string reason = what + path;
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
    checkIntact(*target);
}

// Writes a new file through "<part>": write(fd, part) fills and checks it;
// once synced it takes its name through name(part). A failure anywhere
// removes the part. The part stays locked while it is written, so that no
// other copy takes it for a leftover.
template <typename Write, typename Name>
void writeThroughPart(const std::string &part, const std::string &path, const char *what,
                      Write &&write, Name &&name)
{
    const FileHandle fd(::open(part.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
    if (fd.get() < 0)
        failToCreate(path, errno, what);
    ::flock(fd.get(), LOCK_EX);
    try {
        write(fd.get(), part);
        if (::fsync(fd.get()) != 0)
            failToCreate(path, errno, what);
        name(part, path);
    } catch (...) {
        ::unlink(part.c_str());
        throw;
    }
    syncFolderOf(path);
}

// The name a new backup of the kind takes; refuses one that is taken.
std::string freeBackupName(const std::string &databasePath, const std::string &stamp,
                           BackupKind kind)
{
    removeUnfinishedCopies(databasePath);
    const std::string path = nameBeside(databasePath, prefixOf(kind), stamp);
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0)
        failToCreate(path, EEXIST);
    return path;
}

// Whether the file opens with the key as a database of the program's: only
// such a file is ever removed as an old backup.
bool isOurDatabase(const fs::path &path)
{
    try {
        const auto conn = Connection::open(path.string(), kDatabasePassword);
        verifySchema(*conn);
        return true;
    } catch (const DbError &) {
        return false;
    }
}

} // namespace

int backupsKept(BackupKind kind)
{
    return kind == BackupKind::Daily ? 7 : kBackupsKept;
}

void checkIntact(const Connection &connection)
{
    std::string found;
    try {
        Statement check(connection, "PRAGMA quick_check");
        if (check.step() && check.column(0) == Value(std::string("ok")))
            return;
        found = displayText(check.column(0));
    } catch (const DbError &e) {
        // Another program's lock says nothing about the file.
        const int primary = e.code() & 0xff;
        if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_NOMEM)
            throw;
        found = e.what();
    }
    throw DbError(Condition::Damaged, SQLITE_CORRUPT,
                  "未通过数据库引擎的完整性检查（" + found + "）");
}

std::string backupBeside(const Connection &connection, std::string_view key,
                         const std::string &stamp, BackupKind kind)
{
    const std::string path = freeBackupName(connection.path(), stamp, kind);
    writeThroughPart(
        path + std::string(kPartSuffix), path, kCannotBackUp,
        [&](int, const std::string &part) { copyAndCheck(connection, key, part); }, nameCopy);
    return path;
}

std::string copyFileBeside(const std::string &databasePath, const std::string &stamp,
                           BackupKind kind)
{
    const std::string path = freeBackupName(databasePath, stamp, kind);
    const FileHandle source(::open(databasePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0)
        throw DbError(Condition::Engine, 0,
                      "无法读取数据库文件：" + databasePath + "（" + std::strerror(errno) + "）");
    writeThroughPart(
        path + std::string(kPartSuffix), path, kCannotBackUp,
        [&](int fd, const std::string &) {
            std::vector<char> buffer(1 << 16);
            for (;;) {
                const ssize_t got = ::read(source.get(), buffer.data(), buffer.size());
                if (got == 0)
                    return;
                if (got < 0) {
                    if (errno == EINTR)
                        continue;
                    failToCreate(path, errno);
                }
                for (ssize_t done = 0; done < got;) {
                    const ssize_t put = ::write(fd, buffer.data() + done,
                                                static_cast<std::size_t>(got - done));
                    if (put < 0 && errno != EINTR)
                        failToCreate(path, errno);
                    if (put > 0)
                        done += put;
                }
            }
        },
        nameCopy);
    return path;
}

void replaceDatabase(const std::string &databasePath, const Connection &source,
                     std::string_view key, const std::string &stamp)
{
    removeUnfinishedCopies(databasePath);
    const std::string part =
        nameBeside(databasePath, kReplacingPrefix, stamp) + std::string(kPartSuffix);
    writeThroughPart(
        part, databasePath, kCannotReplace,
        [&](int, const std::string &p) { copyAndCheck(source, key, p); },
        [](const std::string &p, const std::string &path) {
            // rename() replaces the file in one step: whoever opens it sees
            // the old file or the new one, never a part of either.
            if (std::rename(p.c_str(), path.c_str()) != 0)
                failToCreate(path, errno, kCannotReplace);
        });
}

void removeOldBackups(const std::string &databasePath, BackupKind kind)
{
    const std::vector<fs::path> found = filesNamed(databasePath, prefixOf(kind), {});
    const std::size_t kept = static_cast<std::size_t>(backupsKept(kind));
    std::error_code ec;
    for (std::size_t i = 0; i + kept < found.size(); ++i)
        if (isOurDatabase(found[i]))
            fs::remove(found[i], ec);
}

bool dailyBackupDue(const std::string &databasePath, const std::string &day)
{
    std::vector<fs::path> daily = filesNamed(databasePath, prefixOf(BackupKind::Daily), {});
    // The newest that is one of ours: a file that only bears the name says
    // nothing of when the database was last copied.
    while (!daily.empty() && !isOurDatabase(daily.back()))
        daily.pop_back();
    if (daily.empty())
        return true;
    const std::string name = daily.back().filename().string();
    if (name.compare(name.size() - 15, day.size(), day) == 0)
        return false;
    std::error_code ec, ec2;
    const auto written = fs::last_write_time(databasePath, ec);
    const auto made = fs::last_write_time(daily.back(), ec2);
    return ec || ec2 || written >= made;
}

BackupUnlessKept::~BackupUnlessKept()
{
    if (!path.empty())
        ::unlink(path.c_str());
}

std::vector<BackupFile> backupsOf(const std::string &databasePath)
{
    std::vector<BackupFile> all;
    for (BackupKind kind : kKinds) {
        const std::size_t stampAt = fs::path(databasePath).filename().string().size() + 1
                                    + prefixOf(kind).size();
        for (const fs::path &p : filesNamed(databasePath, prefixOf(kind), {}))
            all.push_back({p.string(), kind, p.filename().string().substr(stampAt, 15)});
    }
    std::stable_sort(all.begin(), all.end(), [](const BackupFile &a, const BackupFile &b) {
        return a.stamp > b.stamp;
    });
    return all;
}

} // namespace quorvel::store
