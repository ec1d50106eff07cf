// bench_calls: what the call log costs and what its overview takes.
//  (a) a draw started and stopped with the classroom features on 50,000
//      students, the call written (file free), and the call row alone;
//  (b) the same stop while another copy holds the file locked: the row is
//      given up after the brief wait;
//  (c) 点名统计 of a class of 60 with 100,000 call rows and 20,000 evaluation
//      rows in the file: the read alone, and the window built and filled.
//
// Runs headless (QT_QPA_PLATFORM=offscreen unless set). Prints figures only.

#include "benchutil.h"

#include "exchange/calloverview.h"
#include "platform/random.h"
#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "store/calllog.h"
#include "store/store.h"
#include "tests/support/doubles.h"
#include "tests/support/testdb.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace quorvel;

namespace {

constexpr int kStudents = 50000;
constexpr int kClasses = 1000;  // 50 a class; the overview's class gets 60
constexpr int kCallRows = 100000;
constexpr int kEvaluationRows = 20000;
constexpr int kStops = 40;
constexpr int kLockedStops = 5;
constexpr int kReads = 30;

void printMs(const char *what, const std::vector<double> &ms)
{
    std::printf("  %-44s median %8.2f   min %8.2f   max %8.2f ms   (%zu runs)\n", what,
                bench::median(ms), bench::minimum(ms), bench::maximum(ms), ms.size());
}

int run()
{
    testing::TempDatabase db;
    const double generateMs = bench::timeMs([&] {
        db.generate(kStudents, kClasses);
        std::vector<testing::StudentRow> sixty;
        for (int i = 1; i <= 60; ++i)
            sixty.push_back(testing::pupil("学生" + std::to_string(i), "高2099级", "1班"));
        db.addMany(sixty);
    });
    auto other = db.connect();
    const std::int64_t firstKey = kStudents + 1;
    {
        store::appendCall(*other, {firstKey, "2026-01-01 08:00:00", store::CallMode::Fair});
        other->exec("BEGIN");
        store::Statement calls(*other, "INSERT INTO \"点名记录\" (\"学生编号\", \"时间\", \"方式\")"
                                       " VALUES (?1, ?2, '不重复')");
        for (int i = 1; i < kCallRows; ++i) {
            calls.reset();
            calls.bind(1, firstKey + i % 60);
            calls.bindText(2, QDateTime(QDate(2026, 1, 1), QTime(8, 0))
                                  .addSecs(i * 137)
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                                  .toStdString());
            calls.run();
        }
        other->exec("CREATE TABLE \"评价记录\" (\"编号\" INTEGER PRIMARY KEY, \"学生编号\" INTEGER,"
                    " \"时间\" TEXT, \"等级\" TEXT, \"倒扣学分前\" NUMERIC, \"倒扣学分后\" NUMERIC)");
        store::Statement evaluations(*other, "INSERT INTO \"评价记录\" (\"学生编号\", \"时间\", \"等级\")"
                                             " VALUES (?1, '2026-03-02 08:00:00', '优秀')");
        for (int i = 0; i < kEvaluationRows; ++i) {
            evaluations.reset();
            evaluations.bind(1, std::int64_t{1} + (i * 7919) % (kStudents + 60));
            evaluations.run();
        }
        other->exec("COMMIT");
    }
    std::printf("bench_calls: %d students, %d call rows, %d evaluation rows"
                " (made in %.0f ms, not measured)\n\n",
                kStudents + 60, kCallRows, kEvaluationRows, generateMs);

    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    SystemClock clock;
    SplitMixRandom random;
    const Services services{messages, files, clock, random, db.directory()};
    store::Store store(db.directoryPath());
    MainWindow w(store, services);
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("quorvel.ini")), QSettings::IniFormat);
    RecordingSpeech speech;
    Classroom room(w, store, services, speech, settings);
    if (!w.load())
        throw std::runtime_error("load failed");
    w.show();
    auto *grades = bench::child<QComboBox>(w, "ComboBox1");
    auto *classes = bench::child<QComboBox>(w, "ComboBox2");
    grades->setCurrentIndex(grades->findText(QStringLiteral("高2099级")));
    classes->setCurrentIndex(classes->findText(QStringLiteral("1班")));

    // (a) start and stop, as two presses of the button (the stop draws and logs).
    std::vector<double> startMs, stopMs, followMs, rowMs;
    for (int i = 0; i < kStops; ++i) {
        startMs.push_back(bench::timeMs([&] { w.toggleDraw(); }));
        stopMs.push_back(bench::timeMs([&] { w.toggleDraw(); }));
        followMs.push_back(bench::timeMs([&] { QCoreApplication::processEvents(); }));
        rowMs.push_back(bench::timeMs([&] {
            store::appendCall(*other, {firstKey, clock.logTime().toStdString(),
                                       store::CallMode::Random});
        }));
    }
    std::printf("(a) a draw on the class of 60, the file free\n");
    printMs("start (opens the file, reads the class)", startMs);
    printMs("stop (draws one, shows it)", stopMs);
    printMs("then the event loop (paint, the call written)", followMs);
    printMs("one call row alone (appendCall)", rowMs);

    // (b) another copy holds the file for writing.
    std::vector<double> lockedMs, lockedFollowMs;
    other->exec("BEGIN IMMEDIATE");
    for (int i = 0; i < kLockedStops; ++i) {
        w.toggleDraw();
        lockedMs.push_back(bench::timeMs([&] { w.toggleDraw(); }));
        lockedFollowMs.push_back(bench::timeMs([&] { QCoreApplication::processEvents(); }));
    }
    other->exec("ROLLBACK");
    std::printf("\n(b) the same, another copy holding the file locked (brief wait 250 ms)\n");
    printMs("stop", lockedMs);
    printMs("then the event loop (the call given up)", lockedFollowMs);

    // (c) the overview.
    const auto chosen = w.chosen();
    std::vector<double> readMs, windowMs, periodMs;
    std::size_t rows = 0;
    for (int i = 0; i < kReads; ++i) {
        readMs.push_back(bench::timeMs([&] {
            rows = readCallOverview(store.conn, chosen->first.second,
                                    chosen->second.second, "2026-02-01 00:00:00", clock.today())
                       .rows.size();
        }));
        std::unique_ptr<CallOverviewDialog> overview;
        windowMs.push_back(bench::timeMs([&] {
            overview = std::make_unique<CallOverviewDialog>(store, services, settings,
                                                            chosen->first, chosen->second, 0, &w);
        }));
        periodMs.push_back(bench::timeMs([&] { overview->setPeriod(CallPeriod::All); }));
    }
    std::printf("\n(c) 点名统计 of %zu students (on the roll call's connection, as the window is)\n",
                rows);
    printMs("read alone (students, both logs, the round)", readMs);
    printMs("window built and filled (本周)", windowMs);
    printMs("another period chosen (全部)", periodMs);
    std::printf("  target: the window in under 200 ms: %s\n",
                bench::median(windowMs) < 200.0 ? "met" : "NOT met");
    std::printf("\nmessages shown: %zu\n", messages.shown.size());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return bench::runInApplication(argc, argv, run);
}
