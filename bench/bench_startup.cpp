// bench_startup: how long the roll-call window takes to come up on a large
// student file, and how much memory reading the grade and class lists costs.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.

#include "benchutil.h"

#include "tests/support/doubles.h"
#include "widgets/fonts.h"
#include "platform/services.h"
#include "rollcall/mainwindow.h"
#include "store/backup.h"
#include "store/error.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/statements.h"
#include "store/store.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <vector>

using namespace quorvel;
using bench::timeMs;

namespace {

constexpr int kStudents = 50000;
constexpr int kClasses = 1000;
constexpr int kRuns = 10;

void printTimes(const char *what, const std::vector<double> &ms,
                const std::vector<double> &faults = {})
{
    std::printf("  %-34s min %8.2f   median %8.2f   max %8.2f ms   (first %.2f, runs %zu)",
                what, bench::minimum(ms), bench::median(ms), bench::maximum(ms),
                ms.empty() ? 0.0 : ms.front(), ms.size());
    if (!faults.empty())
        std::printf("   page faults: first %.0f, median %.0f", faults.front(),
                    bench::median(faults));
    std::printf("\n");
}

// Runs f and notes its time and the minor page faults it caused.
template <typename F>
void measure(std::vector<double> &ms, std::vector<double> &faults, F &&f)
{
    const long before = bench::minorFaults();
    ms.push_back(timeMs(f));
    faults.push_back(static_cast<double>(bench::minorFaults() - before));
}

void printMemory(const char *when)
{
    std::printf("  %-34s VmHWM %8.1f MiB   VmRSS %8.1f MiB\n", when, bench::peakMiB(),
                bench::residentMiB());
}

int run()
{
    std::printf("bench_startup: %d students in %d classes, %d runs of each step\n\n", kStudents,
                kClasses, kRuns);

    testing::TempDatabase db;
    const double generateMs = timeMs([&] { db.generate(kStudents, kClasses); });
    std::printf("generation (not part of the measurement): %.0f ms, xsdata.d %.1f MiB\n",
                generateMs,
                static_cast<double>(QFileInfo(QString::fromStdString(db.path())).size())
                    / (1024.0 * 1024.0));
    printMemory("after generation:");
    // The generator's own peak is not the start-up's: measure from here on.
    const bool peakReset = bench::resetPeak();
    std::printf("  peak mark reset after generation: %s\n\n", peakReset ? "yes" : "no (kernel refused)");

    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    ManualClock clock;
    ScriptedRandom random;
    const Services services{messages, files, clock, random, db.directory()};
    store::Store store(db.directoryPath());

    // (a) open + key + schema check.
    std::vector<double> openMs;
    for (int i = 0; i < kRuns; ++i) {
        openMs.push_back(timeMs([&] { store.opendb(); }));
        store.closeConn();
    }

    // (a') the first opendb of a run, which has the engine check every page
    // first, and then loadlists (which finds the pages the check read in the
    // connection's cache); and the check alone on an open connection.
    std::vector<double> firstOpenMs, firstListsMs, checkMs;
    for (int i = 0; i < kRuns; ++i) {
        store::Store fresh(db.directoryPath());
        MainWindow w(fresh, services);
        const auto start = bench::Clock::now();
        fresh.opendb();
        const auto opened = bench::Clock::now();
        w.loadlists();
        const auto done = bench::Clock::now();
        firstOpenMs.push_back(std::chrono::duration<double, std::milli>(opened - start).count());
        firstListsMs.push_back(std::chrono::duration<double, std::milli>(done - start).count());
        fresh.closeConn();
        const auto own = store::Connection::open(db.path(), store::kDatabasePassword);
        store::verifySchema(*own);
        checkMs.push_back(timeMs([&] { store::checkIntact(*own); }));
    }

    // The daily backup, made on a thread of its own once the window is up.
    std::vector<double> dailyMs;
    for (int i = 0; i < 3; ++i) {
        store.opendb();
        const std::string stamp = "2099010" + std::to_string(i + 1) + "-000000";
        dailyMs.push_back(timeMs([&] {
            store::backupBeside(*store.conn, store::kDatabasePassword, stamp,
                                store::BackupKind::Daily);
        }));
        store.closeConn();
    }

    // (b) opendb + loadlists, on one window built beforehand.
    std::unique_ptr<MainWindow> window;
    const double constructMs = timeMs([&] { window = std::make_unique<MainWindow>(store, services); });
    const double peakBeforeLists = bench::peakMiB();
    const double residentBeforeLists = bench::residentMiB();
    std::vector<double> openListsMs, listsOnlyMs, listsFaults;
    for (int i = 0; i < kRuns; ++i) {
        const long faultsBefore = bench::minorFaults();
        const auto start = bench::Clock::now();
        store.opendb();
        const auto opened = bench::Clock::now();
        window->loadlists();
        const auto done = bench::Clock::now();
        store.closeConn();
        listsFaults.push_back(static_cast<double>(bench::minorFaults() - faultsBefore));
        openListsMs.push_back(std::chrono::duration<double, std::milli>(done - start).count());
        listsOnlyMs.push_back(std::chrono::duration<double, std::milli>(done - opened).count());
    }
    const double peakAfterLists = bench::peakMiB();
    const auto grades = window->gradeItems();
    const auto classes = window->classItems();
    window.reset();

    // Inside loadlists: reading every row into a record set, and what the
    // snapshot holds while it is open.
    std::vector<double> snapshotMs, snapshotFaults;
    double snapshotMiB = 0.0;
    long snapshotRows = 0;
    for (int i = 0; i < kRuns; ++i) {
        store.opendb();
        store::RecordSet rs;
        const double before = bench::heapInUseMiB();
        measure(snapshotMs, snapshotFaults, [&] { rs.open(store.conn, store::allStudents()); });
        snapshotMiB = bench::heapInUseMiB() - before;
        snapshotRows = rs.recordCount();
        rs.close();
        store.closeConn();
    }

    // (c) the whole start-up, each on a window of its own.
    std::vector<double> loadMs, loadFaults, constructEachMs;
    int failedLoads = 0;
    for (int i = 0; i < kRuns; ++i) {
        std::unique_ptr<MainWindow> w;
        constructEachMs.push_back(timeMs([&] { w = std::make_unique<MainWindow>(store, services); }));
        bool ok = false;
        measure(loadMs, loadFaults, [&] { ok = w->load(); });
        if (!ok)
            ++failedLoads;
    }

    std::printf("start-up times\n");
    printTimes("(a) opendb", openMs);
    printTimes("(a') first opendb of a run (checked)", firstOpenMs);
    printTimes("(b') the same + loadlists", firstListsMs);
    printTimes("    the quick check alone", checkMs);
    printTimes("    daily backup (own thread)", dailyMs);
    printTimes("(b) opendb + loadlists", openListsMs, listsFaults);
    printTimes("    of which loadlists", listsOnlyMs);
    printTimes("    (compare: a record set of all rows)", snapshotMs, snapshotFaults);
    printTimes("(c) load (loading window too)", loadMs, loadFaults);
    printTimes("    MainWindow construction", constructEachMs);
    std::printf("  %-34s %.2f ms\n", "first MainWindow construction", constructMs);

    std::printf("\nlists\n");
    std::printf("  grade items: %lld   class items: %lld\n", static_cast<long long>(grades.size()),
                static_cast<long long>(classes.size()));
    std::printf("  loads that failed: %d   messages shown: %zu\n", failedLoads,
                messages.shown.size());
    for (const auto &m : messages.shown)
        std::printf("    message: %s\n", m.text.toUtf8().constData());

    std::printf("\nmemory\n");
    std::printf("  %-34s VmHWM %8.1f MiB   VmRSS %8.1f MiB\n", "before the first loadlists:",
                peakBeforeLists, residentBeforeLists);
    std::printf("  %-34s VmHWM %8.1f MiB   (+%.1f MiB)\n", "after the loadlists runs:",
                peakAfterLists, peakAfterLists - peakBeforeLists);
    printMemory("after all runs:");
    std::printf("  record set of all %ld rows holds %.1f MiB of heap (%.0f bytes a row)\n",
                snapshotRows, snapshotMiB,
                snapshotRows ? snapshotMiB * 1024.0 * 1024.0 / static_cast<double>(snapshotRows)
                             : 0.0);
    return failedLoads == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
