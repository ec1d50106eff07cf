// Every evaluation kept: the log written with the counter, undo within a run,
// the backup before an import empties the table, and the history of a student.

#include "tests/support/browserfixture.h"

#include "exchange/evaluationweeks.h"
#include "exchange/historydialog.h"
#include "exchange/importdialog.h"
#include "workbook/workbookreader.h"
#include "rollcall/evaluations.h"
#include "rollcall/remotekeys.h"
#include "store/backup.h"
#include "store/error.h"
#include "store/evaluationlog.h"
#include "store/schema.h"
#include "store/statements.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

StudentRow student(const std::string &name, std::int64_t excellent = 0)
{
    StudentRow r;
    r.name = name;
    r.grade = "高一";
    r.className = "1班";
    r.excellent = excellent;
    r.deducted = std::int64_t{5};
    return r;
}

// One column of every row, in order, as the file holds it (kind included).
QStringList column(const TempDatabase &db, const std::string &sql)
{
    auto conn = db.connect();
    store::Statement st(*conn, sql);
    QStringList out;
    while (st.step()) {
        QStringList fields;
        for (int c = 0; c < st.columnCount(); ++c) {
            const store::Value v = st.column(c);
            fields << (store::isNull(v) ? QStringLiteral("NULL")
                                        : QString::fromStdString(store::displayText(v)));
        }
        out << fields.join(u'|');
    }
    return out;
}

QString log(const TempDatabase &db)
{
    return column(db, "SELECT \"学生编号\", \"时间\", \"等级\", \"倒扣学分前\", \"倒扣学分后\""
                      " FROM \"评价记录\" ORDER BY \"编号\"")
        .join(u';');
}

std::int64_t userVersion(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "PRAGMA user_version");
    st.step();
    return std::get<std::int64_t>(st.column(0));
}

// A worksheet of the header row and the given names, all of 高一 1班.
class ListReader final : public WorkbookReader {
public:
    explicit ListReader(std::vector<std::string> names) : names_(std::move(names)) {}
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &) override
    {
        struct Sheet final : Worksheet {
            std::vector<std::string> names;
            std::size_t next = 0;
            int usedRows() override { return static_cast<int>(names.size()) + 1; }
            bool nextRow(SheetRow &row) override
            {
                if (next > names.size())
                    return false;
                const std::string name = next == 0 ? "姓名" : names[next - 1];
                row = {Cell::ofText(name), Cell::ofText("高一"), Cell::ofText("1班")};
                ++next;
                return true;
            }
        };
        auto sheet = std::make_unique<Sheet>();
        sheet->names = names_;
        return sheet;
    }

private:
    std::vector<std::string> names_;
};

// A worksheet whose reading breaks down at row 3.
class BrokenReader final : public WorkbookReader {
public:
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &) override
    {
        struct Sheet final : Worksheet {
            int next = 1;
            int usedRows() override { return 10; }
            bool nextRow(SheetRow &row) override
            {
                if (next == 3)
                    throw WorkbookError(WorkbookFailure::Damaged, next);
                row = {Cell::ofText(next == 1 ? "姓名" : "N" + std::to_string(next)),
                       Cell::ofText("高一"), Cell::ofText("1班")};
                ++next;
                return true;
            }
        };
        return std::make_unique<Sheet>();
    }
};

QStringList backupsIn(const QDir &dir)
{
    return dir.entryList({QStringLiteral("xsdata.d.bak*")}, QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class EvaluationHistoryTest : public QObject {
    Q_OBJECT

    static void walk(WindowFixture &f)
    {
        f.choose("高一", "1班");
        f.click("PushButton3");
    }

    static void evaluate(WindowFixture &f, int grade, const QString &credits)
    {
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(grade);
        f.find<QLineEdit>("Text1")->setText(credits);
        f.click("PushButton4");
    }

private slots:
    void recordingWritesCounterAndLogTogetherAndUpgradesAnOldFile()
    {
        WindowFixture f;
        f.db.addMany({student("A"), student("B")});
        QCOMPARE(userVersion(f.db), 0);
        const QStringList before = column(f.db, "SELECT rowid, * FROM student ORDER BY rowid");
        QVERIFY(f.open());
        f.clock.set(QDateTime(QDate(2026, 3, 2), QTime(8, 15, 7)));
        walk(f);
        evaluate(f, 0, QStringLiteral("2"));
        QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));

        // Upgraded in place: every row kept, only A's counter and credits changed,
        // and the table is what an older build checks for.
        QCOMPARE(userVersion(f.db), store::kSchemaVersion);
        QStringList expected = before;
        expected[0] = QStringLiteral("1|1|A|高一|1班|1|0|0|0|2");
        QCOMPARE(column(f.db, "SELECT rowid, * FROM student ORDER BY rowid"), expected);
        store::verifySchema(*f.db.connect());
        QCOMPARE(log(f.db), QStringLiteral("1|2026-03-02 08:15:07|优秀|5|2"));

        // A log that cannot take the entry keeps the counter from changing too.
        f.db.connect()->exec("CREATE TRIGGER refuse BEFORE INSERT ON \"评价记录\""
                             " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        evaluate(f, 0, QString());
        QVERIFY(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")));
        QCOMPARE(f.db.value("A", "优秀"), store::Value(std::int64_t{1}));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：1"));
        QCOMPARE(f.window->undoableEvaluations(), std::size_t{1});
    }

    void undoTakesBackInOrderOnlyWhileTheRowIsUnchanged()
    {
        WindowFixture f;
        f.db.addMany({student("A", 4), student("B")});
        QVERIFY(f.open());
        const QStringList original = column(f.db, "SELECT * FROM student ORDER BY rowid");

        f.window->undoEvaluation();
        QCOMPARE(f.messages.lastText(), QStringLiteral("没有可以撤销的评价。"));

        walk(f);
        evaluate(f, 0, QStringLiteral("3"));   // A: 优秀 5, credits 5 -> 3
        evaluate(f, 3, QString());             // A: 不及格 1, credits stay 3
        f.click("PushButton5");                // on to B
        evaluate(f, 1, QStringLiteral("0"));   // B: 良好 1, credits 5 -> 0
        QCOMPARE(column(f.db, "SELECT count(*) FROM \"评价记录\""), QStringList{"3"});

        f.window->undoEvaluation();  // B, the student shown: the panels follow
        QCOMPARE(f.panel(2), QStringLiteral("良好：0"));
        QCOMPARE(f.panel(5), QStringLiteral("倒扣学分：5"));
        QVERIFY(f.find<QLabel>("showname")->toolTip().contains(QStringLiteral("B")));
        f.window->undoEvaluation();
        f.window->undoEvaluation();
        // Exactly as before, down to the kind of each value, and no entry left.
        QCOMPARE(column(f.db, "SELECT * FROM student ORDER BY rowid"), original);
        QCOMPARE(column(f.db, "SELECT typeof(\"倒扣学分\") FROM student"),
                 (QStringList{"integer", "integer"}));
        QCOMPARE(column(f.db, "SELECT count(*) FROM \"评价记录\""), QStringList{"0"});
        f.window->undoEvaluation();
        QCOMPARE(f.messages.lastText(), QStringLiteral("没有可以撤销的评价。"));

        // Another copy changes the row: the undo is refused, nothing written,
        // and the entry stays on top.
        f.click("PushButton7");
        evaluate(f, 2, QString());
        f.db.connect()->exec("UPDATE student SET \"倒扣学分\" = 9 WHERE \"姓名\" = 'A'");
        const QStringList changed = column(f.db, "SELECT * FROM student ORDER BY rowid");
        f.window->undoEvaluation();
        QCOMPARE(f.messages.lastText(),
                 QStringLiteral("无法撤销：这条记录已被其他程序修改或删除"));
        QCOMPARE(column(f.db, "SELECT * FROM student ORDER BY rowid"), changed);
        QCOMPARE(column(f.db, "SELECT count(*) FROM \"评价记录\""), QStringList{"1"});
        QCOMPARE(f.window->undoableEvaluations(), std::size_t{1});

        // Refused during a draw, entry kept.
        f.click("PushButton3");  // stop the walk
        f.click("PushButton1");
        f.window->undoEvaluation();
        QCOMPARE(f.messages.lastText(), QStringLiteral("点名进行中，不能撤销。"));
        QCOMPARE(f.window->undoableEvaluations(), std::size_t{1});
        f.click("PushButton1");

        // A new run has nothing to undo.
        f.window.reset();
        QVERIFY(f.open());
        f.window->undoEvaluation();
        QCOMPARE(f.messages.lastText(), QStringLiteral("没有可以撤销的评价。"));
    }

    // The storage of evaluations, without a window: another copy's change to
    // the same student is counted on; a renamed student is refused, and so
    // is taking back what the file no longer holds.
    void evaluationsWorkWithoutAWindow()
    {
        TempDatabase db;
        db.addMany({student("A"), student("B")});
        ManualClock clock;
        clock.set(QDateTime(QDate(2026, 3, 2), QTime(8, 0)));
        store::Store store(db.directoryPath());
        store::RecordSet rs;
        rs.open(store.openFresh(), store::studentsOfClass("高一", "1班"));
        rs.moveFirst();
        Evaluations evaluations(clock);
        evaluations.record(rs, Evaluations::Excellent, 7);
        db.connect()->exec("UPDATE student SET \"优秀\" = \"优秀\" + 1 WHERE \"姓名\" = 'A'");
        evaluations.record(rs, Evaluations::Excellent, std::nullopt);
        QCOMPARE(db.value("A", "优秀"), store::Value(std::int64_t{3}));
        QCOMPARE(evaluations.undoable(), std::size_t{2});
        QCOMPARE(log(db), QStringLiteral("1|2026-03-02 08:00:00|优秀|5|7;"
                                         "1|2026-03-02 08:00:00|优秀|7|7"));

        db.connect()->exec("UPDATE student SET \"姓名\" = 'A2' WHERE \"姓名\" = 'A'");
        QVERIFY_THROWS_EXCEPTION(store::DbError,
                                 evaluations.record(rs, Evaluations::Good, std::nullopt));
        QCOMPARE(rs.field(store::kName), store::Value(std::string("A2")));
        QCOMPARE(db.value("A2", "良好"), store::Value(std::int64_t{0}));
        QVERIFY_THROWS_EXCEPTION(store::DbError, evaluations.undoLatest(*store.openFresh()));
        QCOMPARE(evaluations.undoable(), std::size_t{2});
    }

    void ctrlZUndoesUnlessATextBoxHasTheFocus()
    {
        WindowFixture f;
        QVERIFY(f.open());
        int undone = 0;
        RemoteActions actions;
        actions.undo = [&] { ++undone; };
        actions.isOurs = [&](const QWidget *w) { return w == f.window.get(); };
        RemoteKeys keys(std::move(actions));
        qApp->installEventFilter(&keys);
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));

        auto *button = f.find<QPushButton>("PushButton4");
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(undone, 1);

        auto *credits = f.find<QLineEdit>("Text1");
        credits->setFocus();
        QTest::keyClick(credits, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(undone, 1);
        qApp->removeEventFilter(&keys);
    }

    void clearingImportBacksUpFirstAndDropsTheLog()
    {
        WindowFixture f;
        f.db.addMany({student("A", 2), student("B")});
        ListReader reader({"N1", "N2"});
        f.services.workbookReader = &reader;
        QVERIFY(f.open());
        walk(f);
        evaluate(f, 0, QString());
        const QDir dir(f.db.directory());
        const auto backups = [&] {
            return dir.entryList({QStringLiteral("xsdata.d.bak-*")}, QDir::Files | QDir::Dirs,
                                 QDir::Name);
        };
        ImportDialog dialog(*f.store, f.services, [&] { f.window->loadlists(); }, f.window.get());
        const auto importClearing = [&] {
            f.messages.answers = {Answer::Yes, Answer::Yes};
            f.files.paths.push_back(dir.filePath(QStringLiteral("list.xls")));
            dialog.importStudents();
        };

        // A backup that cannot be made stops the import before anything changes.
        const QDateTime now = f.clock.now();
        for (int s = 0; s < 90; ++s)
            QVERIFY(dir.mkpath(QStringLiteral("xsdata.d.bak-")
                               + now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss"))));
        const QStringList table = column(f.db, "SELECT * FROM student");
        importClearing();
        QVERIFY(f.messages.lastText().startsWith(QStringLiteral("导入失败：")));
        QCOMPARE(column(f.db, "SELECT * FROM student"), table);
        QCOMPARE(column(f.db, "SELECT count(*) FROM \"评价记录\""), QStringList{"1"});
        for (const QString &name : backups())
            QVERIFY(dir.rmdir(name));

        importClearing();
        QCOMPARE(f.messages.lastText(), QStringLiteral("导入了 2条数据"));
        QCOMPARE(column(f.db, "SELECT \"姓名\" FROM student"), (QStringList{"N1", "N2"}));
        QCOMPARE(column(f.db, "SELECT count(*) FROM \"评价记录\""), QStringList{"0"});
        // The backup opens with the key and holds the old rows and their entry.
        QCOMPARE(backups().size(), 1);
        auto old = store::Connection::open(dir.filePath(backups()[0]).toStdString(),
                                           store::kDatabasePassword);
        store::Statement rows(*old, "SELECT group_concat(\"姓名\" || \"优秀\", '') FROM student");
        QVERIFY(rows.step());
        QCOMPARE(rows.column(0), store::Value(std::string("A3B0")));
        QCOMPARE(store::readEvaluations(*old, 1).size(), std::size_t{1});

        // The newest five by name are kept; other files are never touched, and
        // an existing name is never overwritten.
        QFile other(dir.filePath(QStringLiteral("xsdata.d.bak-keep")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.close();
        auto conn = f.db.connect();
        for (int i = 1; i <= 6; ++i)
            store::backupBeside(*conn, store::kDatabasePassword,
                                "2099010" + std::to_string(i) + "-000000");
        store::removeOldBackups(f.db.path());
        QCOMPARE(backups(), (QStringList{"xsdata.d.bak-20990102-000000",
                                         "xsdata.d.bak-20990103-000000",
                                         "xsdata.d.bak-20990104-000000",
                                         "xsdata.d.bak-20990105-000000",
                                         "xsdata.d.bak-20990106-000000",
                                         "xsdata.d.bak-keep"}));
        const qint64 size = QFileInfo(dir.filePath(backups()[4])).size();
        QVERIFY_THROWS_EXCEPTION(store::DbError,
                                 store::backupBeside(*conn, store::kDatabasePassword,
                                                     "20990106-000000"));
        QCOMPARE(QFileInfo(dir.filePath(backups()[4])).size(), size);
    }

    void failedOrRefusedImportLeavesTheBackupsAsTheyWere()
    {
        WindowFixture f;
        f.db.addMany({student("A", 2), student("B")});
        BrokenReader broken;
        ListReader good({"N1"});
        QVERIFY(f.open());
        const QDir dir(f.db.directory());
        for (int day = 1; day <= 5; ++day)
            QVERIFY(QFile::copy(QString::fromStdString(f.db.path()),
                                dir.filePath(QStringLiteral("xsdata.d.bak-2020030%1-080000").arg(day))));
        const QStringList kept = backupsIn(dir);
        const auto importClearing = [&](WorkbookReader &reader) {
            f.services.workbookReader = &reader;
            ImportDialog attempt(*f.store, f.services, [&] { f.window->loadlists(); },
                                 f.window.get());
            f.messages.answers = {Answer::Yes, Answer::Yes};
            f.files.paths.push_back(dir.filePath(QStringLiteral("list.xls")));
            attempt.importStudents();
        };

        for (int attempt = 0; attempt < 5; ++attempt) {
            importClearing(broken);
            QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("导入失败：")),
                     qPrintable(f.messages.lastText()));
            QCOMPARE(backupsIn(dir), kept);
        }
        QCOMPARE(f.db.count(), 2L);

        // Imported: the new backup is kept, and only then the oldest goes.
        importClearing(good);
        QCOMPARE(f.messages.lastText(), QStringLiteral("导入了 1条数据"));
        const QStringList after = backupsIn(dir);
        QCOMPARE(after.size(), 5);
        QCOMPARE(after.mid(0, 4), kept.mid(1));
        QVERIFY(!kept.contains(after[4]));
    }

    void logIsMadeWheneverItIsMissingAndAnotherTableOfItsNameIsLeftAlone()
    {
        // Another SQLCipher client has set the version of a file without the log.
        WindowFixture f;
        f.db.addMany({student("A")});
        f.db.connect()->exec("PRAGMA user_version = 3");
        QVERIFY(f.open());
        f.clock.set(QDateTime(QDate(2026, 3, 2), QTime(9, 0)));
        walk(f);
        evaluate(f, 1, QString());
        QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
        QCOMPARE(log(f.db), QStringLiteral("1|2026-03-02 09:00:00|良好|5|5"));
        QCOMPARE(userVersion(f.db), 3);

        // A table of that name with other columns: evaluations still count,
        // the teacher is told once which table is in the way, and it is never
        // written to, not even by a clearing import.
        WindowFixture g;
        g.db.addMany({student("B")});
        g.db.connect()->exec("CREATE TABLE \"评价记录\" (\"备注\" TEXT); INSERT INTO \"评价记录\" VALUES ('x')");
        QVERIFY(g.open());
        walk(g);
        evaluate(g, 0, QString());
        evaluate(g, 0, QString());
        QCOMPARE(g.db.value("B", "优秀"), store::Value(std::int64_t{2}));
        QStringList texts;
        for (const auto &m : g.messages.shown)
            texts << m.text;
        QCOMPARE(texts.count(QStringLiteral("评价记入成功！")), 2);
        QCOMPARE(texts.filter(QStringLiteral("“评价记录”")).size(), 1);
        QCOMPARE(column(g.db, "SELECT * FROM \"评价记录\""), QStringList{"x"});
        g.window->undoEvaluation();
        QCOMPARE(g.db.value("B", "优秀"), store::Value(std::int64_t{1}));

        ListReader reader({"N1"});
        g.services.workbookReader = &reader;
        ImportDialog dialog(*g.store, g.services, [&] { g.window->loadlists(); }, g.window.get());
        g.messages.answers = {Answer::Yes, Answer::Yes};
        g.files.paths.push_back(QStringLiteral("list.xls"));
        dialog.importStudents();
        QCOMPARE(g.messages.lastText(), QStringLiteral("导入了 1条数据"));
        QCOMPARE(column(g.db, "SELECT * FROM \"评价记录\""), QStringList{"x"});
    }

    void weeksRunMondayToSundayAcrossTheYear()
    {
        const auto entry = [](const char *time, const char *grade) {
            store::EvaluationEntry e;
            e.time = time;
            e.grade = grade;
            return e;
        };
        const std::vector<WeekCount> weeks = weeklyCounts({
            entry("2026-01-20 09:00:00", "良好"),
            entry("2026-01-05 08:00:00", "优秀"),  // Monday: a new week
            entry("2026-01-04 23:59:59", "不及格"),  // Sunday
            entry("2025-12-29 00:00:00", "优秀"),   // Monday, a year before
            entry("2025-12-28 12:00:00", "及格"),   // Sunday
            entry("garbage", "优秀"),
        });
        QCOMPARE(weeks.size(), std::size_t{5});
        const std::vector<std::pair<QDate, std::array<int, 4>>> expected{
            {QDate(2025, 12, 22), {0, 0, 1, 0}}, {QDate(2025, 12, 29), {1, 0, 0, 1}},
            {QDate(2026, 1, 5), {1, 0, 0, 0}},   {QDate(2026, 1, 12), {0, 0, 0, 0}},
            {QDate(2026, 1, 19), {0, 1, 0, 0}}};
        for (std::size_t i = 0; i < weeks.size(); ++i) {
            QCOMPARE(weeks[i].monday, expected[i].first);
            QCOMPARE(weeks[i].grades, expected[i].second);
        }
    }

    void browserOpensTheHistoryOfTheStudentInTheRow()
    {
        BrowserFixture f({student("A", 3), student("B")}, [](store::Connection &conn) {
            store::Transaction t(conn);
            for (const char *time : {"2026-03-02 08:00:00", "2026-03-09 10:30:00"}) {
                store::EvaluationEntry e;
                e.student = 1;
                e.time = time;
                e.grade = "优秀";
                e.creditsBefore = std::int64_t{5};
                e.creditsAfter = std::int64_t{5};
                store::appendEvaluation(conn, e);
            }
            t.commit();
        });
        f.query(QStringLiteral("高一"), QStringLiteral("1班"));
        const auto history = [&] { return f.dialog->findChild<HistoryDialog *>(); };

        FlexGrid *grid = f.grid();
        QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
        const QRect cell = grid->visualRect(grid->model()->index(0, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QVERIFY2(history(), qPrintable(f.messages.lastText()));
        auto *entries = history()->findChild<QTableWidget *>(QStringLiteral("entries"));
        QCOMPARE(entries->rowCount(), 2);
        QCOMPARE(entries->item(0, 0)->text(), QStringLiteral("2026-03-09 10:30:00"));
        QVERIFY(history()->findChild<QLabel *>(QStringLiteral("totals"))->text().contains(
            QStringLiteral("优秀：3")));
        QVERIFY(history()->findChild<QLabel *>(QStringLiteral("undatedNote"))->text().contains(
            QStringLiteral(" 1 ")));
        QCOMPARE(history()->findChild<QLabel *>(QStringLiteral("studentName"))->textFormat(),
                 Qt::PlainText);
        delete history();

        // Enter on B's row: no entries, nothing undated.
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(1, 0));
        QTest::keyClick(grid, Qt::Key_Return);
        QVERIFY(history());
        QCOMPARE(history()->findChild<QTableWidget *>(QStringLiteral("entries"))->rowCount(), 0);
        QVERIFY(history()->findChild<QLabel *>(QStringLiteral("undatedNote"))->isHidden());
        QVERIFY(f.dialog->isVisible());
    }
};

QTEST_MAIN(EvaluationHistoryTest)
#include "test_evaluation_history.moc"
