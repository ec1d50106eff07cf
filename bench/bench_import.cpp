// bench_import: importing 65,535 students into a file that already holds
// 50,000, end to end through the import dialog, from a full .xls sheet, a
// .xlsx, an .ods and a .csv, each against the two floors it cannot beat: its
// reader reading the sheet by itself in this process (FreeXL, the .xlsx and
// .ods reader, the CSV reader), and inserting the same rows in one
// transaction by itself. Then the reader program alone on sheets of
// 1,048,576 rows, and once stopped on purpose by its memory limit.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.
// Needs Debian's /usr/bin/python3 with python3-xlwt to make the workbooks.

#include "benchutil.h"

#include "exchange/importdialog.h"
#include "workbook/readers/csvworkbook.h"
#include "workbook/readers/zipworkbook.h"
#include "tests/support/doubles.h"
#include "workbook/processworkbook.h"
#include "platform/services.h"
#include "rollcall/mainwindow.h"
#include "store/store.h"
#include "store/studentimport.h"
#include "tests/support/testdb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <freexl.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace quorvel;
using bench::timeMs;

namespace {

constexpr int kRows = 65535;       // data rows: with the title row, a full .xls sheet
constexpr int kStudents = 50000;   // already in the file
constexpr int kRuns = 7;

void printTimes(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-40s min %8.1f   median %8.1f   max %8.1f ms\n", what, bench::minimum(ms),
                bench::median(ms), bench::maximum(ms));
}

// Floor 1: FreeXL alone, in this process: open, then every cell of A to C.
// Returns the texts, for floor 2.
std::vector<std::array<std::string, 3>> readWithFreeXl(const QString &path)
{
    std::vector<std::array<std::string, 3>> rows;
    const void *handle = nullptr;
    const QByteArray file = path.toLocal8Bit();
    if (freexl_open(file.constData(), &handle) != FREEXL_OK || !handle)
        throw std::runtime_error("freexl_open failed");
    unsigned count = 0;
    unsigned short columns = 0;
    freexl_select_active_worksheet(handle, 0);
    freexl_worksheet_dimensions(handle, &count, &columns);
    rows.reserve(count);
    for (unsigned r = 1; r < count; ++r) {
        std::array<std::string, 3> row;
        for (unsigned short c = 0; c < 3; ++c) {
            FreeXL_CellValue v{};
            if (freexl_get_cell_value(handle, r, c, &v) == FREEXL_OK
                && (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT))
                row[c] = v.value.text_value;
        }
        rows.push_back(std::move(row));
    }
    freexl_close(handle);
    return rows;
}

// Floor 1 of the other formats: their reader alone, in this process.
std::vector<std::array<std::string, 3>> readWith(WorkbookReader &reader, const QString &path)
{
    std::vector<std::array<std::string, 3>> rows;
    auto sheet = reader.openFirstSheet(path.toStdString());
    rows.reserve(static_cast<std::size_t>(sheet->usedRows()));
    SheetRow row;
    sheet->nextRow(row);
    while (sheet->nextRow(row)) {
        std::array<std::string, 3> texts;
        for (std::size_t c = 0; c < 3; ++c)
            texts[c] = row[c].text;
        rows.push_back(std::move(texts));
    }
    return rows;
}

// One "VmHWM:" of another process, in MiB; -1 once it has ended.
double peakOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
    return -1.0;
}

// The reader program on its own, output to /dev/null: its time and peak RSS.
// The peak is watched while it runs (the mark only grows): wait4's figure
// would count this process's memory, shared until the reader's exec.
std::pair<double, double> runReader(const QString &program, const QString &workbook)
{
    const QByteArray prog = program.toLocal8Bit(), book = workbook.toLocal8Bit();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    char *argv[] = {const_cast<char *>(prog.constData()), const_cast<char *>(book.constData()),
                    nullptr};
    pid_t pid = 0;
    const auto start = bench::Clock::now();
    if (posix_spawn(&pid, prog.constData(), &actions, nullptr, argv, environ) != 0)
        throw std::runtime_error("cannot start the reader");
    int status = 0;
    double peak = 0;
    double ms = 0;
    for (;;) {
        peak = std::max(peak, peakOf(pid));
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ms = bench::millisecondsSince(start);
            break;
        }
        usleep(200);
    }
    posix_spawn_file_actions_destroy(&actions);
    return {ms, peak};
}

// The largest resident size seen of any reader program this process starts
// while the watch lasts, in MiB: a thread looks every 2 ms, so that also a
// reader killed by Quorvel's memory limit is seen up to its end.
class ReaderPeakWatch {
public:
    ReaderPeakWatch() : thread_([this] { watch(); }) {}
    ~ReaderPeakWatch()
    {
        stop_ = true;
        thread_.join();
    }
    double peakMiB() const { return peakKiB_ / 1024.0; }

private:
    void watch()
    {
        const std::string self = std::to_string(::getpid());
        while (!stop_) {
            if (DIR *proc = ::opendir("/proc")) {
                while (const dirent *entry = ::readdir(proc)) {
                    if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
                        continue;
                    std::ifstream status(std::string("/proc/") + entry->d_name + "/status");
                    std::string line, name;
                    bool ours = false;
                    long hwm = 0;
                    while (std::getline(status, line)) {
                        if (line.rfind("Name:", 0) == 0)
                            name = line.substr(5);
                        else if (line.rfind("PPid:", 0) == 0)
                            ours = std::stol(line.substr(5)) == std::stol(self);
                        else if (line.rfind("VmHWM:", 0) == 0)
                            hwm = std::stol(line.substr(6));
                    }
                    if (ours && name.find("quorvel-sheet") != std::string::npos)
                        peakKiB_ = std::max(peakKiB_.load(), hwm);
                }
                ::closedir(proc);
            }
            ::usleep(2000);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<long> peakKiB_{0};
    std::thread thread_;
};

bool make(const char *script, const QString &workbook, int rows = kRows)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(QUORVEL_SOURCE_DIR "/tests/") + QLatin1String(script),
                  QStringLiteral("large"), workbook, QString::number(rows)});
    if (!python.waitForFinished(600000) || python.exitCode() != 0) {
        std::fprintf(stderr, "making %s failed (python3-xlwt installed?)\n%s\n",
                     qPrintable(workbook), python.readAllStandardError().constData());
        return false;
    }
    std::printf("%s: %.1f MiB\n", qPrintable(QFileInfo(workbook).fileName()),
                static_cast<double>(QFileInfo(workbook).size()) / 1048576.0);
    return true;
}

using FloorReader = std::function<std::vector<std::array<std::string, 3>>(const QString &)>;

int measure(const char *format, const QString &workbook, const QString &fullFile,
            const FloorReader &readAlone, double target)
{
    std::printf("\n=== %s\n", format);
    // A fresh copy of the 50,000-student file for every run.
    auto freshCopy = [&](const testing::TempDatabase &db) {
        const QString target = QString::fromStdString(db.path());
        QFile::remove(target);
        if (!QFile::copy(fullFile, target))
            throw std::runtime_error("cannot copy the database");
    };

    // Floor 1.
    std::vector<std::array<std::string, 3>> rows;
    std::vector<double> readAloneMs;
    for (int i = 0; i < kRuns; ++i)
        readAloneMs.push_back(timeMs([&] { rows = readAlone(workbook); }));

    // Floor 2.
    std::vector<double> insertMs;
    for (int i = 0; i < kRuns; ++i) {
        testing::TempDatabase db;
        freshCopy(db);
        auto conn = db.connect();
        insertMs.push_back(timeMs([&] {
            store::StudentImport import(*conn, false);
            for (const auto &r : rows)
                import.add(r[0], r[1], r[2]);
            import.commit();
        }));
    }

    // The reader program by itself.
    const QString reader = ProcessWorkbookReader::programIn(QCoreApplication::applicationDirPath());
    std::vector<double> readerMs;
    double readerPeak = 0;
    for (int i = 0; i < kRuns; ++i) {
        const auto [ms, peak] = runReader(reader, workbook);
        readerMs.push_back(ms);
        readerPeak = std::max(readerPeak, peak);
    }

    // Parts of the import besides the floors: the sheet through the pipe,
    // opening the file (the key derivation), and refilling the lists.
    std::vector<double> pipeMs, opendbMs, listsMs;
    for (int i = 0; i < kRuns; ++i) {
        ProcessWorkbookReader workbooks(reader);
        pipeMs.push_back(timeMs([&] {
            auto sheet = workbooks.openFirstSheet(workbook.toStdString());
            SheetRow row;
            while (sheet->nextRow(row)) {
            }
        }));
        testing::TempDatabase db;
        freshCopy(db);
        store::Store store(db.directoryPath());
        opendbMs.push_back(timeMs([&] { store.opendb(); }));
        ScriptedMessageBox messages;
        ScriptedFileDialog files;
        ManualClock clock;
        ScriptedRandom random;
        Services services{messages, files, clock, random, db.directory(), &workbooks};
        MainWindow main(store, services);
        listsMs.push_back(timeMs([&] { main.loadlists(); }));
    }

    // End to end: a click on "选择文件并导入", 是 to go on, 否 to clearing.
    // Once more without refilling the lists afterwards, to tell the import's
    // own cost from that of reading the grown table.
    std::vector<double> wholeMs, withoutListsMs;
    double peakDuring = 0, peakBefore = 0;
    long finalCount = 0;
    QString lastMessage;
    for (int i = 0; i < 2 * kRuns; ++i) {
        const bool refill = i % 2 == 0;
        testing::TempDatabase db;
        freshCopy(db);
        ScriptedMessageBox messages;
        ScriptedFileDialog files;
        ManualClock clock;
        ScriptedRandom random;
        ProcessWorkbookReader workbooks(reader);
        Services services{messages, files, clock, random, db.directory(), &workbooks};
        store::Store store(db.directoryPath());
        MainWindow main(store, services);
        if (!main.load())
            throw std::runtime_error("start-up failed");
        ImportDialog drxs(
            store, services, [&main, refill] { if (refill) main.loadlists(); }, &main);
        drxs.show();
        (void)QTest::qWaitForWindowExposed(&drxs);
        messages.answers = {Answer::Yes, Answer::No};
        files.paths = {workbook};
        auto *button = drxs.findChild<QPushButton *>(QStringLiteral("PushButton1"));
        peakBefore = bench::residentMiB();
        bench::resetPeak();
        (refill ? wholeMs : withoutListsMs).push_back(timeMs([&] { button->click(); }));
        peakDuring = std::max(peakDuring, bench::peakMiB());
        finalCount = db.count();
        lastMessage = messages.lastText();
    }

    const double floors = bench::median(readAloneMs) + bench::median(insertMs);
    std::printf("\ntimes\n");
    printTimes("floor 1: its reader reading the sheet", readAloneMs);
    printTimes("floor 2: inserting in one transaction", insertMs);
    printTimes("reader program alone (to /dev/null)", readerMs);
    printTimes("sheet through the reader and the pipe", pipeMs);
    printTimes("opendb (key derivation)", opendbMs);
    printTimes("loadlists on 50,000 students", listsMs);
    printTimes("whole import, end to end", wholeMs);
    printTimes("    the same without loadlists after it", withoutListsMs);
    std::printf("  whole / (floor 1 + floor 2), medians: %.2f   (target at most %.1f)\n",
                bench::median(wholeMs) / floors, target);
    std::printf("  without loadlists / (floor 1 + floor 2):  %.2f\n",
                bench::median(withoutListsMs) / floors);
    std::printf("\nresult: %ld students afterwards, message \"%s\"\n", finalCount,
                lastMessage.toUtf8().constData());
    std::printf("\nmemory\n");
    std::printf("  Quorvel: resident before the click %.1f MiB, peak during it %.1f MiB\n",
                peakBefore, peakDuring);
    std::printf("  reader program: peak %.1f MiB\n", readerPeak);
    std::printf("  together at most %.1f MiB   (target below 150)\n", peakDuring + readerPeak);
    return finalCount == kStudents + kRows ? 0 : 1;
}

// The reader program alone on a sheet of 1,048,576 rows: its time and peak.
void measureFullSheet(const char *format, const QString &workbook)
{
    const QString reader = ProcessWorkbookReader::programIn(QCoreApplication::applicationDirPath());
    std::vector<double> ms;
    double peak = 0;
    for (int i = 0; i < 3; ++i) {
        const auto [time, hwm] = runReader(reader, workbook);
        ms.push_back(time);
        peak = std::max(peak, hwm);
    }
    std::printf("  %-6s reader program alone: median %8.1f ms, peak resident %.1f MiB\n", format,
                bench::median(ms), peak);
}

// The reader stopped by its memory limit on purpose: a CSV text is held
// whole, so its reader grows with the file; under a limit of limitMiB it is
// killed part of the way.
void measureLimitReached(const QString &csv, long limitMiB)
{
    ProcessWorkbookReader reader(ProcessWorkbookReader::programIn(
                                     QCoreApplication::applicationDirPath()),
                                 ReaderLimits{20000, 120000, limitMiB * 1024});
    ReaderPeakWatch watch;
    std::string message = "(no failure)";
    int rows = 0;
    const double ms = timeMs([&] {
        try {
            auto sheet = reader.openFirstSheet(csv.toStdString());
            SheetRow row;
            while (sheet->nextRow(row))
                ++rows;
        } catch (const WorkbookError &e) {
            message = e.what();
        }
    });
    std::printf("  limit %ld MiB on %s: stopped after %.1f ms, %d rows, peak resident seen %.1f MiB,"
                " \"%s\"\n",
                limitMiB, qPrintable(QFileInfo(csv).fileName()), ms, rows, watch.peakMiB(),
                message.c_str());
}

int run()
{
    QTemporaryDir work;
    std::printf("bench_import: %d rows into a file of %d students, %d runs\n\n", kRows, kStudents,
                kRuns);
    const QString xls = work.filePath(QStringLiteral("large.xls"));
    const QString xlsx = work.filePath(QStringLiteral("large.xlsx"));
    const QString ods = work.filePath(QStringLiteral("large.ods"));
    const QString csv = work.filePath(QStringLiteral("large.csv"));
    if (!make("make_workbooks.py", xls) || !make("make_rosters.py", xlsx)
        || !make("make_rosters.py", ods) || !make("make_rosters.py", csv))
        return 1;

    testing::TempDatabase full;
    full.generate(kStudents, 1000);
    const QString fullFile = QString::fromStdString(full.path());
    ZipWorkbookReader zipReader;
    CsvWorkbookReader csvReader;
    const auto zipAlone = [&](const QString &p) { return readWith(zipReader, p); };
    int failed = measure(".xls (FreeXL)", xls, fullFile, readWithFreeXl, 1.5);
    failed |= measure(".xlsx", xlsx, fullFile, zipAlone, 1.3);
    failed |= measure(".ods", ods, fullFile, zipAlone, 1.3);
    failed |= measure(".csv (UTF-8)", csv, fullFile,
                      [&](const QString &p) { return readWith(csvReader, p); }, 1.5);

    std::printf("\n=== the reader program on 1,048,576 rows (the title and 1,048,575 students)\n");
    const QString xlsxFull = work.filePath(QStringLiteral("full.xlsx"));
    const QString odsFull = work.filePath(QStringLiteral("full.ods"));
    const QString csvFull = work.filePath(QStringLiteral("full.csv"));
    if (!make("make_rosters.py", xlsxFull, 1048575) || !make("make_rosters.py", odsFull, 1048575)
        || !make("make_rosters.py", csvFull, 1048575))
        return 1;
    measureFullSheet(".xlsx", xlsxFull);
    measureFullSheet(".ods", odsFull);
    measureFullSheet(".csv", csvFull);
    std::printf("\n=== the memory limit reached on purpose\n");
    measureLimitReached(csvFull, 32);
    return failed;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
