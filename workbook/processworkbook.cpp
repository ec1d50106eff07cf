#include "workbook/processworkbook.h"

#include "workbook/sheetpipe.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <stop_token>
#include <thread>

#include <sys/types.h>
#include <unistd.h>

namespace quorvel {

namespace {

[[noreturn]] void unreadable(const std::string &how)
{
    throw WorkbookError(WorkbookFailure::Unreadable, 0, how);
}

[[noreturn]] void malformed()
{
    unreadable("读取程序的输出有误");
}

int number(QByteArrayView text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0)
        malformed();
    return n;
}

int rowCount(QByteArrayView text)
{
    const int n = number(text);
    if (n > kMaxSheetRows)
        malformed();
    return n;
}

// The resident size and the parent of a process, from /proc/PID/status;
// false once it has ended (a zombie has no resident size).
bool residentOf(pid_t pid, long &residentKiB, pid_t &parent)
{
    char path[40];
    std::snprintf(path, sizeof path, "/proc/%ld/status", static_cast<long>(pid));
    std::FILE *status = std::fopen(path, "re");
    if (!status)
        return false;
    char line[256];
    bool resident = false, parentSeen = false;
    while (std::fgets(line, sizeof line, status) && !(resident && parentSeen)) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            resident = std::sscanf(line + 6, "%ld", &residentKiB) == 1;
        else if (std::strncmp(line, "PPid:", 5) == 0) {
            long p = 0;
            parentSeen = std::sscanf(line + 5, "%ld", &p) == 1;
            parent = static_cast<pid_t>(p);
        }
    }
    std::fclose(status);
    return resident && parentSeen;
}

// Kills a child process whose resident size passes a limit: a thread of its
// own reads the size every 10 ms until the process ends or the watch does.
class ResidentWatch {
public:
    ResidentWatch(pid_t pid, long limitKiB)
        : thread_([this, pid, limitKiB](std::stop_token stop) { watch(stop, pid, limitKiB); })
    {
    }

    bool exceeded() const { return exceeded_; }

private:
    void watch(std::stop_token stop, pid_t pid, long limitKiB)
    {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        const pid_t self = ::getpid();
        while (!stop.stop_requested()) {
            long resident = 0;
            pid_t parent = 0;
            // A process that ended, and was perhaps followed by another of
            // the same number, is not ours to kill.
            if (!residentOf(pid, resident, parent) || parent != self)
                return;
            if (resident > limitKiB) {
                exceeded_ = true;
                ::kill(pid, SIGKILL);
                return;
            }
            wake.wait_for(lock, stop, std::chrono::milliseconds(10), [] { return false; });
        }
    }

    std::atomic<bool> exceeded_{false};
    std::jthread thread_;  // last: it uses the members above
};

class ProcessWorksheet final : public Worksheet {
public:
    ProcessWorksheet(const QString &program, const QString &path, const ReaderLimits &limits)
        : limits_(limits)
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.start(program, {path}, QIODevice::ReadOnly);
        if (!process_.waitForStarted(limits_.silenceMs))
            unreadable("找不到或无法启动读取程序");
        watch_ = std::make_unique<ResidentWatch>(static_cast<pid_t>(process_.processId()),
                                                 limits_.memoryKiB);
    }

    // Rows below the last one asked for are of no interest.
    ~ProcessWorksheet() override { stop(); }

    int usedRows() override
    {
        readHead();
        return usedRows_;
    }

    bool nextRow(SheetRow &row) override
    {
        readHead();
        if (done_)
            return false;
        QByteArrayView l = line();
        // A better guess at the number of rows may come before a row.
        while (l.startsWith("R ")) {
            usedRows_ = rowCount(l.sliced(2));
            l = line();
        }
        if (l == "X") {
            done_ = true;
            return false;
        }
        row[0] = cell(l);  // a failure ("F ...") throws here
        if (rowsRead_ >= kMaxSheetRows)
            malformed();
        for (std::size_t c = 1; c < kSheetColumns; ++c)
            row[c] = cell(line());
        ++rowsRead_;
        return true;
    }

private:
    void stop()
    {
        watch_.reset();
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    // The reader opens the workbook while the caller goes on with other work;
    // its first lines say whether it could.
    void readHead()
    {
        if (headRead_)
            return;
        try {
            if (line() != sheetpipe::kGreeting)
                malformed();
            const QByteArrayView head = line();
            if (head.startsWith("F "))
                failure(head);
            if (!head.startsWith("R "))
                malformed();
            usedRows_ = rowCount(head.sliced(2));
            headRead_ = true;
        } catch (...) {
            stop();
            throw;
        }
    }

    Cell cell(QByteArrayView l)
    {
        if (l == "E")
            return Cell::empty();
        if (l.startsWith("N ")) {
            bool ok = false;
            const double d = l.sliced(2).toDouble(&ok);
            if (!ok)
                malformed();
            return Cell::ofNumber(d);
        }
        if (l.startsWith("T ")) {
            const int size = number(l.sliced(2));
            if (size > sheetpipe::kMaxTextBytes)
                malformed();
            const QByteArrayView bytes = take(size + 1);
            if (bytes.back() != '\n')
                malformed();
            const std::string_view text(bytes.data(), static_cast<std::size_t>(size));
            if (size > kMaxCellCharacters
                && utf8Characters(text) > static_cast<std::size_t>(kMaxCellCharacters))
                malformed();
            return Cell::ofText(std::string(text));
        }
        if (l.startsWith("F "))
            failure(l);
        malformed();
    }

    [[noreturn]] void failure(QByteArrayView l)
    {
        const QList<QByteArray> parts = l.toByteArray().split(' ');
        if (parts.size() != 3)
            malformed();
        const int kind = number(parts[1]);
        if (kind < static_cast<int>(WorkbookFailure::MissingFile)
            || kind >= static_cast<int>(WorkbookFailure::Unreadable))
            malformed();
        throw WorkbookError(static_cast<WorkbookFailure>(kind), number(parts[2]));
    }

    // The next line, without its newline; valid until the next read. Lines
    // other than texts are short.
    QByteArrayView line()
    {
        for (;;) {
            const qsizetype end = buffer_.indexOf('\n', pos_);
            if (end >= 0) {
                const QByteArrayView l(buffer_.constData() + pos_, end - pos_);
                pos_ = end + 1;
                return l;
            }
            if (buffer_.size() - pos_ > 64)
                malformed();
            fill();
        }
    }

    // The next n bytes; valid until the next read.
    QByteArrayView take(qsizetype n)
    {
        while (buffer_.size() - pos_ < n)
            fill();
        const QByteArrayView bytes(buffer_.constData() + pos_, n);
        pos_ += n;
        return bytes;
    }

    // Reads what the reader has sent since; fails when it has ended, passed
    // its memory limit, fallen silent for too long or been waited for too
    // long in all.
    void fill()
    {
        if (pos_ > (1 << 20)) {
            buffer_.remove(0, pos_);
            pos_ = 0;
        }
        if (process_.bytesAvailable() == 0) {
            const qint64 left = limits_.totalMs - waitedMs_;
            const bool lastWait = left <= limits_.silenceMs;
            const QDeadlineTimer deadline(lastWait ? std::max<qint64>(left, 0) : limits_.silenceMs);
            QElapsedTimer waiting;
            waiting.start();
            while (process_.bytesAvailable() == 0) {
                if (process_.state() == QProcess::NotRunning) {
                    if (watch_ && watch_->exceeded())
                        unreadable("读取程序占用的内存超过"
                                   + std::to_string(limits_.memoryKiB / 1024) + " MB");
                    unreadable("读取程序意外退出");
                }
                if (deadline.hasExpired()) {
                    process_.kill();
                    if (lastWait)
                        unreadable("读取用时超过"
                                   + QString::number(limits_.totalMs / 1000.0).toStdString()
                                   + "秒");
                    unreadable("读取超时");
                }
                process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
            }
            waitedMs_ += waiting.elapsed();
        }
        buffer_.append(process_.readAll());
    }

    ReaderLimits limits_;
    QProcess process_;
    std::unique_ptr<ResidentWatch> watch_;
    qint64 waitedMs_ = 0;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    int usedRows_ = 0;
    int rowsRead_ = 0;
    bool headRead_ = false;
    bool done_ = false;
};

} // namespace

ProcessWorkbookReader::ProcessWorkbookReader(QString program, ReaderLimits limits)
    : program_(std::move(program)), limits_(limits)
{
}

std::unique_ptr<Worksheet> ProcessWorkbookReader::openFirstSheet(const std::string &path)
{
    return std::make_unique<ProcessWorksheet>(program_, QString::fromLocal8Bit(path), limits_);
}

QString ProcessWorkbookReader::programIn(const QString &directory)
{
    return QDir(directory).filePath(QStringLiteral("quorvel-sheetreader"));
}

} // namespace quorvel
