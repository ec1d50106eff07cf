#include "platform/processworkbook.h"

#include "platform/sheetpipe.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

namespace quorvel {

namespace {

[[noreturn]] void unreadable(const char *how)
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

class ProcessWorksheet final : public Worksheet {
public:
    ProcessWorksheet(const QString &program, const QString &path, int silenceMs)
        : silenceMs_(silenceMs)
    {
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.setStandardErrorFile(QProcess::nullDevice());
        process_.setStandardInputFile(QProcess::nullDevice());
        process_.start(program, {path}, QIODevice::ReadOnly);
        if (!process_.waitForStarted(silenceMs_))
            unreadable("找不到或无法启动读取程序");
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
        for (int c = 0; c < kSheetColumns; ++c) {
            const QByteArrayView l = line();
            if (c == 0 && l == "X") {
                done_ = true;
                return false;
            }
            row[static_cast<std::size_t>(c)] = cell(l);
        }
        ++rowsRead_;
        if (rowsRead_ > usedRows_)
            malformed();
        return true;
    }

private:
    void stop()
    {
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
            usedRows_ = number(head.sliced(2));
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

    // Reads what the reader has sent since; fails when it has ended or falls
    // silent for too long.
    void fill()
    {
        if (pos_ > (1 << 20)) {
            buffer_.remove(0, pos_);
            pos_ = 0;
        }
        if (process_.bytesAvailable() == 0) {
            const QDeadlineTimer deadline(silenceMs_);
            while (process_.bytesAvailable() == 0) {
                if (process_.state() == QProcess::NotRunning)
                    unreadable("读取程序意外退出");
                if (deadline.hasExpired()) {
                    process_.kill();
                    unreadable("读取超时");
                }
                process_.waitForReadyRead(static_cast<int>(deadline.remainingTime()));
            }
        }
        buffer_.append(process_.readAll());
    }

    QProcess process_;
    int silenceMs_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    int usedRows_ = 0;
    int rowsRead_ = 0;
    bool headRead_ = false;
    bool done_ = false;
};

} // namespace

ProcessWorkbookReader::ProcessWorkbookReader(QString program, int silenceMs)
    : program_(std::move(program)), silenceMs_(silenceMs)
{
}

std::unique_ptr<Worksheet> ProcessWorkbookReader::openFirstSheet(const std::string &path)
{
    return std::make_unique<ProcessWorksheet>(program_, QString::fromLocal8Bit(path), silenceMs_);
}

QString ProcessWorkbookReader::programIn(const QString &directory)
{
    return QDir(directory).filePath(QStringLiteral("quorvel-sheetreader"));
}

} // namespace quorvel
