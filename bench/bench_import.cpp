// bench_import: importing 65,535 students into a file that already holds
// 50,000, end to end through the import dialog, from a full .xls sheet, a
// .xlsx and a .csv, each against the two floors it cannot beat: its reading
// library reading the sheet by itself (FreeXL, liborcus, the CSV reader), and
// inserting the same rows in one transaction by itself.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.
// Needs Debian's /usr/bin/python3 with python3-xlwt to make the workbooks.

#include "benchutil.h"

#include "exchange/importdialog.h"
#include "platform/csvworkbook.h"
#include "platform/zipworkbook.h"
#include "platform/doubles.h"
#include "platform/processworkbook.h"
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
#include <functional>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
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

bool make(const char *script, const QString &workbook)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(QUORVEL_SOURCE_DIR "/tests/") + QLatin1String(script),
                  QStringLiteral("large"), workbook, QString::number(kRows)});
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
            const FloorReader &readAlone)
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
    std::vector<double> freexlMs;
    for (int i = 0; i < kRuns; ++i)
        freexlMs.push_back(timeMs([&] { rows = readAlone(workbook); }));

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

    const double floors = bench::median(freexlMs) + bench::median(insertMs);
    std::printf("\ntimes\n");
    printTimes("floor 1: its library reading the sheet", freexlMs);
    printTimes("floor 2: inserting in one transaction", insertMs);
    printTimes("reader program alone (to /dev/null)", readerMs);
    printTimes("sheet through the reader and the pipe", pipeMs);
    printTimes("opendb (key derivation)", opendbMs);
    printTimes("loadlists on 50,000 students", listsMs);
    printTimes("whole import, end to end", wholeMs);
    printTimes("    the same without loadlists after it", withoutListsMs);
    std::printf("  whole / (floor 1 + floor 2), medians: %.2f   (target at most 1.5)\n",
                bench::median(wholeMs) / floors);
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

int run()
{
    QTemporaryDir work;
    std::printf("bench_import: %d rows into a file of %d students, %d runs\n\n", kRows, kStudents,
                kRuns);
    const QString xls = work.filePath(QStringLiteral("large.xls"));
    const QString xlsx = work.filePath(QStringLiteral("large.xlsx"));
    const QString csv = work.filePath(QStringLiteral("large.csv"));
    if (!make("make_workbooks.py", xls) || !make("make_rosters.py", xlsx)
        || !make("make_rosters.py", csv))
        return 1;

    testing::TempDatabase full;
    full.generate(kStudents, 1000);
    const QString fullFile = QString::fromStdString(full.path());
    ZipWorkbookReader zipReader;
    CsvWorkbookReader csvReader;
    int failed = measure(".xls (FreeXL)", xls, fullFile, readWithFreeXl);
    failed |= measure(".xlsx (liborcus)", xlsx, fullFile,
                      [&](const QString &p) { return readWith(zipReader, p); });
    failed |= measure(".csv (UTF-8)", csv, fullFile,
                      [&](const QString &p) { return readWith(csvReader, p); });
    return failed;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
