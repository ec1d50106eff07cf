// Every call counted: the call log the roll calls write, the overview read
// from it, and the bound 不重复点名 keeps on the gap between students.

#include "exchange/calloverview.h"
#include "store/calllog.h"
#include "store/recordset.h"
#include "store/rounds.h"
#include "store/statements.h"
#include "store/studentimport.h"
#include "tests/support/classroomfixture.h"
#include "tests/support/ink.h"
#include "workbook/workbookwriter.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <tuple>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

const QString kGrade = QStringLiteral("高一");
const QString kClass = QStringLiteral("1班");

std::vector<StudentRow> pupils(int from, int to)
{
    std::vector<StudentRow> rows;
    for (int i = from; i <= to; ++i)
        rows.push_back(pupil("学生" + std::to_string(i)));
    return rows;
}

// The call log as "key|time|mode" lines, oldest first.
QStringList callLog(store::Connection &conn)
{
    store::Statement st(conn, "SELECT \"学生编号\" || '|' || \"时间\" || '|' || \"方式\""
                              " FROM \"点名记录\" ORDER BY \"编号\"");
    QStringList rows;
    while (st.step())
        rows << QString::fromStdString(std::get<std::string>(st.column(0)));
    return rows;
}

std::int64_t keyOf(store::Connection &conn, const QString &name)
{
    store::Statement st(conn, "SELECT rowid FROM student WHERE \"姓名\" = ?1");
    st.bindText(1, name.toStdString());
    return st.step() ? std::get<std::int64_t>(st.column(0)) : 0;
}

int userVersion(store::Connection &conn)
{
    store::Statement st(conn, "PRAGMA user_version");
    st.step();
    return static_cast<int>(std::get<std::int64_t>(st.column(0)));
}

// One draw with 不重复点名 as the main window makes it (the class read, the
// draw allowed, a few ticks, the stop), but on a connection kept open: the
// window opens the file afresh for each draw, and its key derivation would
// make ten thousand draws take many minutes.
void drawOnOpenFile(ClassroomFixture &f, const std::shared_ptr<store::Connection> &conn,
                    std::mt19937 &chance)
{
    const store::Value grade(std::string("高一")), className(std::string("1班"));
    f.store->conn = conn;
    f.store->rs = std::make_unique<store::RecordSet>();
    store::RecordSet &rs = *f.store->rs;
    rs.open(conn, store::studentsOfClass(grade, className));
    f.room->classOpened(grade, className, kGrade, kClass);
    QVERIFY(f.room->drawMayStart());
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int tick = 0, ticks = 1 + static_cast<int>(chance() % 3); tick < ticks; ++tick) {
        const double r = unit(chance);
        const auto n = static_cast<std::int32_t>(rs.recordCount());
        rs.setAbsolutePosition(
            f.room->drawnRow(r, std::min(static_cast<std::int32_t>(r * n) + 1, n)));
    }
    f.room->drawEnded();
    QCoreApplication::processEvents();
}

// Keeps the sheet it is given instead of writing a file.
struct KeptSheet final : WorkbookWriter {
    void write(const QString &, const Sheet &sheet) override { kept = sheet; }
    Sheet kept;
};

} // namespace

class CallsTest : public QObject {
    Q_OBJECT
private slots:
    void everyCallIsLoggedOnceByKeyAndAnOlderFileGetsTheTable()
    {
        ClassroomFixture f;
        f.db.addMany(pupils(1, 3));
        f.db.add(pupil("学生1", "高一", "2班"));  // the same name in another class
        auto conn = f.db.connect();
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        f.clock.set(QDateTime(QDate(2026, 3, 2), QTime(8, 5, 9)));

        // Stopped before its first tick, the draw still lands on a student: one row.
        f.click("PushButton1");
        f.click("PushButton1");
        QCoreApplication::processEvents();
        const std::int64_t first = keyOf(*conn, f.shownName());
        QCOMPARE(userVersion(*conn), store::kCallLogVersion);
        f.room->setFairDraw(true);
        const std::int64_t second = keyOf(*conn, f.draw(4));

        // A walk: a student evaluated (twice) is one call, one only passed by none.
        f.clock.set(QDateTime(QDate(2026, 3, 2), QTime(8, 6, 0)));
        f.click("PushButton3");
        f.click("PushButton5");
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(0);
        f.click("PushButton4");
        f.click("PushButton4");
        f.click("PushButton5");
        f.click("PushButton4");
        f.click("PushButton5");  // at the end: nothing moves, the step is the same
        f.click("PushButton4");
        f.click("PushButton7");
        f.click("PushButton3");

        // Nobody there: the draw is refused and nothing is called.
        f.clock.day = f.clock.day.addDays(1);
        for (std::int64_t key = 1; key <= 3; ++key)
            store::setAbsent(*conn, std::string("高一"), std::string("1班"),
                             {key, "学生" + std::to_string(key)}, "2026-03-03", true);
        f.click("PushButton1");
        QCOMPARE(f.messages.lastText(), QStringLiteral("这个班的学生都已标记缺席！"));
        QCoreApplication::processEvents();

        const QString at = QStringLiteral("|2026-03-02 08:05:09|");
        QCOMPARE(callLog(*conn),
                 (QStringList{QString::number(first) + at + QStringLiteral("随机"),
                              QString::number(second) + at + QStringLiteral("不重复"),
                              QStringLiteral("2|2026-03-02 08:06:00|依次"),
                              QStringLiteral("3|2026-03-02 08:06:00|依次")}));
        QCOMPARE(keyOf(*conn, QStringLiteral("学生2")), std::int64_t{2});

        // An import that empties the table gives the keys out again: the log goes with it.
        store::StudentImport(*conn, true).commit();
        QVERIFY(callLog(*conn).isEmpty());
    }

    void aFileThatRefusesLosesTheCallSilentlyAndTheOverviewSaysSo()
    {
        ClassroomFixture f;
        f.db.addMany(pupils(1, 4));
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        int lost = 0;
        f.room->setCallOverviewOpener([&](const CallOverviewRequest &r) { lost = r.lost; });
        auto other = f.db.connect();
        f.draw();
        other->exec("BEGIN IMMEDIATE");  // another copy writes at this moment
        f.draw();
        f.draw(0);
        other->exec("ROLLBACK");
        QVERIFY2(f.messages.shown.empty(), qPrintable(f.messages.lastText()));
        QCOMPARE(callLog(*other).size(), 1);

        // A table of that name made by another program is never written to.
        other->exec("DROP TABLE \"点名记录\"; CREATE TABLE \"点名记录\" (\"备注\" TEXT)");
        f.draw();
        QVERIFY2(f.messages.shown.empty(), qPrintable(f.messages.lastText()));
        store::Statement foreign(*other, "SELECT count(*) FROM \"点名记录\"");
        QVERIFY(foreign.step());
        QCOMPARE(foreign.column(0), store::Value(std::int64_t{0}));

        f.action("callOverviewAction")->trigger();
        QCOMPARE(lost, 3);

        // The overview's note says so; the file is read as it is.
        f.settings->setValue(QStringLiteral("overview/termStart"), QStringLiteral("2026-02-01"));
        CallOverviewDialog overview(*f.store, f.services, *f.settings, {kGrade, std::string("高一")},
                                    {kClass, std::string("1班")}, lost);
        QVERIFY(f.messages.lastText().contains(QStringLiteral("点名记录")));
        QVERIFY(overview.findChild<QLabel *>(QStringLiteral("noteLabel"))
                    ->text()
                    .contains(QStringLiteral("有3次点名因数据库文件被锁定或只读未能记入")));
    }

    void overviewCountsEachPeriodFromTheFileAndShowsIt()
    {
        // Monday 2026-03-16; the term began on 2026-02-23.
        ClassroomFixture f;
        f.db.addMany(pupils(1, 5));
        f.db.add(pupil("别班", "高一", "2班"));
        f.clock.set(QDateTime(QDate(2026, 3, 16), QTime(10, 0)));
        auto conn = f.db.connect();
        const auto call = [&](std::int64_t key, const char *time) {
            store::appendCall(*conn, {key, time, store::CallMode::Fair});
        };
        // 学生1: 4 this week, 1 earlier this month, 1 last month in the term,
        // 1 before the term; 学生2: 2 this week; 学生3: 1 earlier this month;
        // 学生4: never; 学生5: only before the term. 别班: many, not counted.
        for (const char *t : {"2026-01-10 08:00:00", "2026-03-16 08:00:00", "2026-03-16 09:00:00",
                              "2026-03-16 09:30:00", "2026-03-16 09:59:59", "2026-03-13 12:00:00",
                              "2026-02-25 08:00:00"})
            call(1, t);
        call(2, "2026-03-16 08:10:00");
        call(2, "2026-03-16 08:20:00");
        call(3, "2026-03-02 00:00:00");
        call(5, "2026-02-20 23:59:59");
        for (int i = 0; i < 9; ++i)
            call(6, "2026-03-16 08:00:00");
        conn->exec("CREATE TABLE \"评价记录\" (\"编号\" INTEGER PRIMARY KEY, \"学生编号\" INTEGER,"
                   " \"时间\" TEXT, \"等级\" TEXT, \"倒扣学分前\" NUMERIC, \"倒扣学分后\" NUMERIC);"
                   " INSERT INTO \"评价记录\" (\"学生编号\", \"时间\", \"等级\") VALUES"
                   " (2, '2026-03-16 08:11:00', '优秀'), (2, '2026-02-01 08:00:00', '良好'),"
                   " (4, '2026-03-09 08:00:00', '及格')");
        store::addDrawn(*conn, std::string("高一"), std::string("1班"), {1, std::string("学生1")});
        store::addDrawn(*conn, std::string("高一"), std::string("1班"), {2, std::string("学生2")});
        store::setAbsent(*conn, std::string("高一"), std::string("1班"), {5, std::string("学生5")},
                         "2026-03-16", true);
        QVERIFY(f.openRoom());
        f.settings->setValue(QStringLiteral("overview/termStart"), QStringLiteral("2026-02-23"));
        KeptSheet sheet;
        f.services.workbookWriter = &sheet;
        f.launcher.installed = {QStringLiteral("libreoffice")};
        CallOverviewDialog overview(*f.store, f.services, *f.settings, {kGrade, std::string("高一")},
                                    {kClass, std::string("1班")}, 0);

        // name: calls, evaluations, in order
        const auto rows = [&] {
            QStringList out;
            for (const CallOverviewRow &r : overview.overview().rows)
                out << QStringLiteral("%1:%2,%3").arg(r.name).arg(r.calls).arg(r.evaluations);
            return out.join(u' ');
        };
        overview.setPeriod(CallPeriod::Week);
        QCOMPARE(rows(), QStringLiteral("学生3:0,0 学生4:0,0 学生5:0,0 学生2:2,1 学生1:4,0"));
        overview.setPeriod(CallPeriod::Month);
        QCOMPARE(rows(), QStringLiteral("学生4:0,1 学生5:0,0 学生3:1,0 学生2:2,1 学生1:5,0"));
        overview.setPeriod(CallPeriod::Term);
        QCOMPARE(rows(), QStringLiteral("学生4:0,1 学生5:0,0 学生3:1,0 学生2:2,1 学生1:6,0"));
        overview.setPeriod(CallPeriod::All);
        QCOMPARE(rows(), QStringLiteral("学生4:0,1 学生3:1,0 学生5:1,0 学生2:2,2 学生1:7,0"));
        QCOMPARE(overview.overview().rows.back().lastCall, QStringLiteral("2026-03-16"));

        // What the teacher reads above and in the table, in the week.
        overview.setPeriod(CallPeriod::Week);
        const auto text = [&](const char *name) {
            return overview.findChild<QLabel *>(QLatin1String(name))->text();
        };
        QCOMPARE(text("gapLabel"),
                 QStringLiteral("在场学生中点名最多的是学生1（4次），最少的是学生3（0次），相差4次。"));
        QCOMPARE(text("roundLabel"),
                 QStringLiteral("本轮不重复点名尚未点到（3人）：学生3、学生4、学生5（缺席）"));
        QCOMPARE(text("noteLabel"), QStringLiteral("点名记录始于2026-01-10。"));
        auto *table = overview.findChild<QTableWidget *>(QStringLiteral("callTable"));
        QCOMPARE(table->item(2, 4)->text(), QStringLiteral("未点名，今日缺席"));
        QCOMPARE(table->item(3, 4)->text(), QString());

        // The bars as drawn: 学生1's (4) twice as long as 学生2's (2), none for 0.
        overview.resize(800, 500);
        overview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&overview));
        const auto barLength = [&](int row) {
            const QRect cell = table->visualItemRect(table->item(row, 1));
            const QImage picture = table->viewport()->grab(cell).toImage();
            int longest = 0;
            for (int y = 0; y < picture.height(); ++y) {
                int run = 0;
                for (int x = 0; x < picture.width(); ++x) {
                    const QColor c = picture.pixelColor(x, y);
                    run = c.blue() > 150 && c.red() < 120 ? run + 1 : 0;
                    longest = std::max(longest, run);
                }
            }
            return longest;
        };
        const int four = barLength(4), two = barLength(3);
        QVERIFY2(four > 60 && std::abs(four - 2 * two) <= 2,
                 qPrintable(QStringLiteral("%1 %2").arg(four).arg(two)));
        QCOMPARE(barLength(0), 0);
        const QImage tinted = table->viewport()->grab(table->visualItemRect(table->item(0, 0))).toImage();
        QCOMPARE(inkOf(tinted).background | 0xff000000u, QColor(0xfd, 0xe2, 0xc0).rgb());

        // The export: the table under its title, the counts as numbers.
        overview.findChild<QPushButton *>(QStringLiteral("exportButton"))->click();
        QCOMPARE(f.launcher.started.size(), std::size_t{1});
        QCOMPARE(sheet.kept.merges.at(0).text, QStringLiteral("高一 1班 点名统计（本周）"));
        QCOMPARE(sheet.kept.cells.size(), std::size_t{6 * 5});
        QCOMPARE(sheet.kept.cells[25].text, QStringLiteral("学生1"));
        QCOMPARE(sheet.kept.cells[26].number, std::optional<double>(4));
        QCOMPARE(sheet.kept.cells[1].number, std::optional<double>());
        QCOMPARE(sheet.kept.cells[28].text, QStringLiteral("2026-03-16"));
        QFile::remove(f.launcher.started[0].arguments.last());
    }

    void fairDrawKeepsTheStatedBoundOverTenThousandDraws()
    {
        // A class of 12; later students join in the middle of rounds, and some
        // are away for a whole round. For any two students a and b, counted
        // from the start of the round in which both were in the class:
        //   calls(a) - calls(b) <= 1 + rounds that ended without a draw of b.
        // With nobody away and nobody added: never more than 1 apart.
        const unsigned seed = std::random_device{}();
        qInfo("seed %u", seed);
        std::mt19937 chance(seed);
        // The file in memory where there is one: ten thousand draws write
        // twenty thousand transactions, and the disk's syncs are not at issue.
        const QByteArray tmp = qgetenv("TMPDIR");
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            qputenv("TMPDIR", "/dev/shm");
        ClassroomFixture f;
        if (tmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", tmp);
        f.db.addMany(pupils(1, 12));
        f.db.add(pupil("别班", "高一", "2班"));
        QVERIFY(f.openRoom());
        f.room->setFairDraw(true);
        // One connection for the draws and for what this test reads and
        // writes: a file changed by another connection is read afresh.
        const auto own = f.store->openFresh();
        const std::string grade = "高一", className = "1班";

        struct Student {
            std::string name;
            int joined = 0;  // the round it joined in
            long calls = 0, missed = 0;  // draws of it; rounds that ended without one
            std::vector<long> callsAt{0}, missedAt{0};  // the same as each round began
            bool drawnThisRound = false;
            bool away = false;
        };
        std::map<std::int64_t, Student> students;
        for (std::int64_t key = 1; key <= 12; ++key)
            students[key].name = "学生" + std::to_string(key);
        std::set<int> starts{0};  // the rounds students joined in
        int round = 0, nextName = 13;
        std::int64_t logged = 0;
        const int kDraws = 10000, kCalmDraws = 2000;
        for (int draw = 0; draw < kDraws; ++draw) {
            const bool calm = draw < kCalmDraws;
            if (!calm && chance() % 40 == 0 && students.size() < 40) {
                // An import in the middle of a round.
                const std::string name = "学生" + std::to_string(nextName++);
                store::Statement add(*own, "INSERT INTO student (\"姓名\", \"年级\", \"班级\")"
                                           " VALUES (?1, '高一', '1班')");
                add.bindText(1, name);
                add.run();
                Student &joining = students[own->lastInsertRowid()];
                joining.name = name;
                joining.joined = round;
                joining.callsAt.assign(static_cast<std::size_t>(round) + 1, 0);
                joining.missedAt.assign(static_cast<std::size_t>(round) + 1, 0);
                starts.insert(round);
            }
            drawOnOpenFile(f, own, chance);
            if (QTest::currentTestFailed())
                return;

            store::Statement last(*own, "SELECT \"学生编号\", \"方式\", \"编号\" FROM \"点名记录\""
                                        " ORDER BY \"编号\" DESC LIMIT 1");
            QVERIFY(last.step());
            QCOMPARE(last.column(1), store::Value(std::string("不重复")));
            QCOMPARE(last.column(2), store::Value(++logged));
            const std::int64_t called = std::get<std::int64_t>(last.column(0));
            QVERIFY2(students.count(called) && !students[called].away,
                     "drew no student of the class present");

            if (draw > 0 && store::readDrawn(*own, grade, className).size() == 1) {
                // This draw began a new round: the last one has ended.
                ++round;
                for (auto &[key, s] : students) {
                    s.missed += s.drawnThisRound ? 0 : 1;
                    s.drawnThisRound = false;
                    s.callsAt.push_back(s.calls);
                    s.missedAt.push_back(s.missed);
                }
                // Between rounds: yesterday's absences are over, a few are away today.
                f.clock.day = f.clock.day.addDays(1);
                const std::string day = f.clock.day.toString(Qt::ISODate).toStdString();
                for (auto &[key, s] : students) {
                    s.away = !calm && key != called && chance() % 8 == 0;
                    if (s.away)
                        store::setAbsent(*own, grade, className, {key, s.name}, day, true);
                }
            }
            Student &c = students[called];
            QVERIFY2(!c.drawnThisRound, "drawn twice in a round");
            c.drawnThisRound = true;
            ++c.calls;

            // From the start of each round someone joined in, among those in
            // the class then: the most calls of any a against the fewest of
            // any b, less the rounds that ended without b.
            for (int start : starts) {
                const auto at = static_cast<std::size_t>(start);
                long most = 0, fewest = 0;
                std::int64_t ahead = 0, behind = 0;
                for (const auto &[key, s] : students) {
                    if (s.joined > start)
                        continue;
                    const long calls = s.calls - s.callsAt[at];
                    const long allowed = calls + (calm ? 0 : s.missed - s.missedAt[at]);
                    if (!ahead || calls > most)
                        std::tie(most, ahead) = std::pair(calls, key);
                    if (!behind || allowed < fewest)
                        std::tie(fewest, behind) = std::pair(allowed, key);
                }
                if (most - fewest > 1)
                    QFAIL(qPrintable(QStringLiteral("draw %1 (seed %2), from round %3: %4 has %5"
                                                    " calls, %6 only %7 with the rounds it missed")
                                         .arg(draw).arg(seed).arg(start).arg(ahead).arg(most)
                                         .arg(behind).arg(fewest)));
            }
        }
        QVERIFY2(round > 300, qPrintable(QString::number(round)));
        QVERIFY2(students.size() > 20, qPrintable(QString::number(students.size())));
        QVERIFY2(f.messages.shown.empty(), qPrintable(f.messages.lastText()));
    }
};

QTEST_MAIN(CallsTest)
#include "test_calls.moc"
