// The walk through a class in order, and recording an evaluation for the
// student called by either roll call.

#include "platform/messagebox.h"
#include "tests/support/permissions.h"
#include "tests/support/windowfixture.h"

#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <filesystem>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

StudentRow student(const std::string &name, const std::string &grade = "高一",
                   const std::string &className = "1班")
{
    StudentRow r;
    r.name = name;
    r.grade = grade;
    r.className = className;
    return r;
}

std::int64_t whole(const store::Value &v)
{
    return std::get<std::int64_t>(v);
}

// Replaces the table with one whose columns have no declared type, as another
// program may have made it: every value keeps the kind it was stored with.
void untypedTable(const TempDatabase &db, const char *rows)
{
    auto conn = db.connect();
    conn->exec("DROP TABLE student");
    conn->exec("CREATE TABLE student (\"姓名\", \"年级\", \"班级\", \"优秀\" DEFAULT 0,"
               " \"良好\" DEFAULT 0, \"及格\" DEFAULT 0, \"不及格\" DEFAULT 0,"
               " \"倒扣学分\" DEFAULT 0)");
    conn->exec(rows);
}

} // namespace

class WalkEvaluationTest : public QObject {
    Q_OBJECT

    // A class of three, A, B, C, in the order they were added, plus another class.
    static void threeStudents(WindowFixture &f)
    {
        f.db.addMany({student("A"), student("X", "高二", "1班"), student("B"), student("C"),
                      student("Y", "高一", "2班")});
    }

    // Starts the walk through 高一 1班.
    static void startWalk(WindowFixture &f)
    {
        f.choose("高一", "1班");
        f.click("PushButton3");
    }

    static void grade(WindowFixture &f, int index)
    {
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(index);
    }

    static void credits(WindowFixture &f, const QString &text)
    {
        f.find<QLineEdit>("Text1")->setText(text);
    }

private slots:
    void walkMovesWithinTheClass()
    {
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        startWalk(f);
        QCOMPARE(f.buttonText("PushButton3"), QStringLiteral("停止依次点名"));
        QVERIFY(f.find<QGroupBox>("GroupBox4")->isEnabled());
        QVERIFY(!f.find<QPushButton>("PushButton1")->isEnabled());
        QVERIFY(!f.find<QPushButton>("PushButton2")->isEnabled());
        QVERIFY(f.find<QPushButton>("PushButton4")->isEnabled());
        QVERIFY(f.window->called);
        QCOMPARE(f.window->curno, 1);
        QCOMPARE(f.shownName(), QStringLiteral("A"));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：0"));

        const std::pair<const char *, const char *> steps[] = {
            {"PushButton5", "B"}, {"PushButton5", "C"}, {"PushButton5", "C"},
            {"prev", "B"},        {"PushButton7", "A"}, {"prev", "A"},
            {"PushButton6", "C"}, {"PushButton6", "C"}, {"PushButton7", "A"},
            {"PushButton7", "A"}};
        const int positions[] = {2, 3, 3, 2, 1, 1, 3, 3, 1, 1};
        for (std::size_t i = 0; i < std::size(steps); ++i) {
            f.click(steps[i].first);
            QCOMPARE(f.shownName(), QString::fromUtf8(steps[i].second));
            QCOMPARE(f.window->curno, positions[i]);
            QCOMPARE(f.store->rs->absolutePosition(), long{positions[i]});
        }
        QVERIFY(f.window->called);
        QVERIFY(f.messages.shown.empty());

        f.click("PushButton3");
        QCOMPARE(f.buttonText("PushButton3"), QStringLiteral("开始依次点名"));
        QVERIFY(!f.find<QGroupBox>("GroupBox4")->isEnabled());
        QVERIFY(f.find<QPushButton>("PushButton1")->isEnabled());
        QVERIFY(f.find<QPushButton>("PushButton2")->isEnabled());
        QVERIFY(!f.window->called);
        QCOMPARE(f.shownName(), QStringLiteral("A"));
        QVERIFY(f.store->rs->isOpen());
    }

    void oneStudentStaysShown()
    {
        WindowFixture f;
        f.db.add(student("独"));
        QVERIFY(f.open());
        startWalk(f);
        for (const char *b : {"PushButton7", "prev", "PushButton5", "PushButton6"}) {
            f.click(b);
            QCOMPARE(f.shownName(), QStringLiteral("独"));
            QCOMPARE(f.window->curno, 1);
        }
    }

    void restartReadsTheClassAfresh()
    {
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        startWalk(f);
        f.click("PushButton6");
        f.click("PushButton3");
        f.db.add(student("D"));
        f.click("PushButton3");
        QCOMPARE(f.window->curno, 1);
        QCOMPARE(f.shownName(), QStringLiteral("A"));
        f.click("PushButton6");
        QCOMPARE(f.shownName(), QStringLiteral("D"));
        QCOMPARE(f.window->curno, 4);
    }

    void refusedStartsChangeNothing()
    {
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        // A draw leaves a called student behind.
        f.choose("高一", "1班");
        f.random.values = {0.5};
        f.click("PushButton1");
        f.window->drawTick();
        f.click("PushButton1");
        QCOMPARE(f.shownName(), QStringLiteral("B"));
        const QString tally = f.panel(1);

        f.find<QComboBox>("ComboBox2")->setCurrentIndex(-1);
        f.click("PushButton3");
        QCOMPARE(f.messages.lastText(), QStringLiteral("没选择年级或班级！"));
        f.choose("高二", "2班");
        f.click("PushButton3");
        QCOMPARE(f.messages.lastText(), QStringLiteral("没有相应的数据！"));
        QCOMPARE(f.messages.shown.back().style, MessageStyle::Error);

        QCOMPARE(f.buttonText("PushButton3"), QStringLiteral("开始依次点名"));
        QVERIFY(!f.find<QGroupBox>("GroupBox4")->isEnabled());
        QVERIFY(f.window->called);
        QCOMPARE(f.shownName(), QStringLiteral("B"));
        QCOMPARE(f.panel(1), tally);
        QVERIFY(!f.store->rs->isOpen());
        QVERIFY(!f.store->conn);

        // called is still set, but there is no student to evaluate any more.
        grade(f, 0);
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("你还没进行任何形式的点名！"));
        QCOMPARE(whole(f.db.value("B", "优秀")), 0);
    }

    void evaluationNeedsARollCallAndAGrade()
    {
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        grade(f, 0);
        credits(f, "3");
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("你还没进行任何形式的点名！"));

        startWalk(f);
        grade(f, -1);
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("请选择评价等级！"));
        QCOMPARE(f.messages.shown.back().style, MessageStyle::Error);
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{0}));

        // After the walk stops, nobody is called.
        f.click("PushButton3");
        grade(f, 1);
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("你还没进行任何形式的点名！"));
        QCOMPARE(whole(f.db.value("A", "良好")), 0);
    }

    void evaluationRaisesTheChosenCounter_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("panel");
        QTest::addColumn<QString>("label");
        QTest::newRow("优  秀") << 0 << "优秀" << 1 << "优秀：";
        QTest::newRow("良  好") << 1 << "良好" << 2 << "良好：";
        QTest::newRow("及  格") << 2 << "及格" << 3 << "及格：";
        QTest::newRow("不及格") << 3 << "不及格" << 4 << "不及格：";
    }

    void evaluationRaisesTheChosenCounter()
    {
        QFETCH(int, index);
        QFETCH(QString, column);
        QFETCH(int, panel);
        QFETCH(QString, label);
        WindowFixture f;
        StudentRow a = student("A");
        a.excellent = 3;
        a.good = 4;
        a.pass = 5;
        a.fail = 6;
        a.deducted = std::int64_t{5};
        f.db.add(a);
        QVERIFY(f.open());
        startWalk(f);
        const std::int64_t before = whole(f.db.value("A", column.toStdString()));

        grade(f, index);
        f.click("PushButton4");
        QCOMPARE(whole(f.db.value("A", column.toStdString())), before + 1);
        QCOMPARE(f.panel(panel), label + QString::number(before + 1));
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{5}));
        QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
        QCOMPARE(f.messages.shown.back().style, MessageStyle::Information);

        f.click("PushButton4");
        QCOMPARE(whole(f.db.value("A", column.toStdString())), before + 2);
        QCOMPARE(f.messages.shown.size(), std::size_t{2});
        // The other counters are untouched.
        std::int64_t sum = 0;
        for (const char *c : {"优秀", "良好", "及格", "不及格"})
            sum += whole(f.db.value("A", c));
        QCOMPARE(sum, std::int64_t{3 + 4 + 5 + 6 + 2});
    }

    void creditsReplaceTheStoredValue()
    {
        WindowFixture f;
        StudentRow a = student("A");
        a.deducted = std::int64_t{5};
        f.db.addMany({a, student("B"), student("C")});
        QVERIFY(f.open());
        startWalk(f);
        grade(f, 0);

        credits(f, "2");
        f.click("PushButton4");
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{2}));
        QCOMPARE(f.panel(5), QStringLiteral("倒扣学分：2"));

        credits(f, "");
        f.click("PushButton4");
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{2}));

        credits(f, " 0 ");
        f.click("PushButton4");
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{0}));
        QCOMPARE(whole(f.db.value("A", "优秀")), 3);

        // The inputs stay for the next student.
        credits(f, "7");
        f.click("PushButton5");
        f.click("PushButton4");
        QCOMPARE(f.shownName(), QStringLiteral("B"));
        QCOMPARE(whole(f.db.value("B", "优秀")), 1);
        QCOMPARE(f.db.value("B", "倒扣学分"), store::Value(std::int64_t{7}));
        QCOMPARE(f.find<QComboBox>("ComboBox3")->currentIndex(), 0);
        QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("7"));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：1"));
    }

    void evaluationFollowsTheDraw()
    {
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        f.choose("高一", "1班");
        grade(f, 3);
        f.random.values = {0.9};
        f.click("PushButton1");
        QVERIFY(!f.find<QPushButton>("PushButton4")->isEnabled());
        f.window->drawTick();
        f.click("PushButton1");
        QCOMPARE(f.shownName(), QStringLiteral("C"));
        f.click("PushButton4");
        QCOMPARE(whole(f.db.value("C", "不及格")), 1);
        QCOMPARE(f.panel(4), QStringLiteral("不及格：1"));
        QCOMPARE(whole(f.db.value("A", "不及格")), 0);
    }

    void lockedFileKeepsItsValues()
    {
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        startWalk(f);
        grade(f, 0);
        credits(f, "9");

        auto other = f.db.connect();
        other->exec("BEGIN EXCLUSIVE");
        other->exec("UPDATE student SET \"及格\" = \"及格\" WHERE 0");
        f.click("PushButton4");
        other->exec("ROLLBACK");

        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(whole(f.db.value("A", "优秀")), 0);
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{0}));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：0"));
        QCOMPARE(f.panel(5), QStringLiteral("倒扣学分：0"));

        // Once the file is free again the same click records once, not twice.
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
        QCOMPARE(whole(f.db.value("A", "优秀")), 1);
    }

    void counterWithoutANumberIsNotOverwritten()
    {
        WindowFixture f;
        threeStudents(f);
        f.db.connect()->exec("UPDATE student SET \"良好\" = 'abc' WHERE \"姓名\" = 'A'");
        QVERIFY(f.open());
        startWalk(f);
        grade(f, 1);
        credits(f, "4");
        f.click("PushButton4");
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(f.db.value("A", "良好"), store::Value(std::string("abc")));
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{0}));
    }

    void rowChangedElsewhereIsNotOverwritten()
    {
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        startWalk(f);
        grade(f, 0);

        // Another copy of the program records for A meanwhile: both count.
        f.db.connect()->exec("UPDATE student SET \"优秀\" = 4, \"良好\" = 2 WHERE \"姓名\" = 'A'");
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
        QCOMPARE(whole(f.db.value("A", "优秀")), 5);
        QCOMPARE(whole(f.db.value("A", "良好")), 2);
        QCOMPARE(f.panel(1), QStringLiteral("优秀：5"));
        QCOMPARE(f.panel(2), QStringLiteral("良好：2"));

        // Renamed elsewhere: no longer the student on screen, so nothing is written,
        // and the status bar shows what the file holds.
        f.db.connect()->exec("UPDATE student SET \"姓名\" = 'A2', \"优秀\" = 7 WHERE \"姓名\" = 'A'");
        f.click("PushButton4");
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(whole(f.db.value("A2", "优秀")), 7);
        QCOMPARE(f.panel(1), QStringLiteral("优秀：7"));

        // A student removed elsewhere cannot be evaluated either.
        f.click("PushButton5");
        f.db.connect()->exec("DELETE FROM student WHERE \"姓名\" = 'B'");
        f.click("PushButton4");
        QVERIFY(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")));
        QCOMPARE(f.db.count(), 4L);
    }

    void oddlyStoredClassesCanBeCalled()
    {
        WindowFixture f;
        // 高一 in GBK bytes, 1班 as a BLOB, and a whole number as a grade, each
        // beside a text that reads the same.
        untypedTable(f.db, "INSERT INTO student (\"姓名\", \"年级\", \"班级\") VALUES"
                           " ('甲', CAST(X'B8DFD2BB' AS TEXT), '1班'), ('乙', '高一', '1班'),"
                           " ('丙', '高一', X'31E78FAD'), ('丁', 1, '1班'), ('戊', '1', '1班')");
        QVERIFY(f.open());
        QCOMPARE(f.window->gradeItems(),
                 QStringList({"高一（非UTF-8编码）", "高一", "1（数值）", "1"}));
        QCOMPARE(f.window->classItems(), QStringList({"1班", "1班（二进制）"}));
        QCOMPARE(f.window->gradeChoices()[2].second, store::Value(std::int64_t{1}));
        QCOMPARE(f.window->classChoices()[1].second, store::Value(store::Blob{"1\xE7\x8F\xAD"}));

        const std::pair<const char *, const char *> classes[] = {
            {"高一（非UTF-8编码）", "1班"}, {"高一", "1班"}, {"高一", "1班（二进制）"},
            {"1（数值）", "1班"}, {"1", "1班"}};
        const char *found[] = {"甲", "乙", "丙", "丁", "戊"};
        for (std::size_t i = 0; i < std::size(found); ++i) {
            f.choose(QString::fromUtf8(classes[i].first), QString::fromUtf8(classes[i].second));
            f.click("PushButton3");
            QCOMPARE(f.shownName(), QString::fromUtf8(found[i]));
            QCOMPARE(f.store->rs->recordCount(), 1L);
            f.click("PushButton3");
        }
        QVERIFY2(f.messages.shown.empty(), qPrintable(f.messages.lastText()));
    }

    void counterAtItsLimitIsRefused_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("largest whole number") << QByteArray("9223372036854775807")
                                              << "9223372036854775807";
        QTest::newRow("real 2^53") << QByteArray("9007199254740992.0") << "9007199254740992";
        QTest::newRow("real 1e19") << QByteArray("1e19") << "10000000000000000000";
    }

    void counterAtItsLimitIsRefused()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        WindowFixture f;
        untypedTable(f.db, ("INSERT INTO student (\"姓名\", \"年级\", \"班级\", \"优秀\") VALUES"
                            " ('A', '高一', '1班', " + stored + ")").constData());
        const store::Value before = f.db.value("A", "优秀");
        QVERIFY(f.open());
        startWalk(f);
        QCOMPARE(f.panel(1), QStringLiteral("优秀：") + shown);
        grade(f, 0);
        credits(f, "3");
        f.click("PushButton4");
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：“优秀”")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(f.db.value("A", "优秀"), before);
        QCOMPARE(f.db.value("A", "倒扣学分"), store::Value(std::int64_t{0}));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：") + shown);
    }

    void textFromTheFileIsNeverMarkup()
    {
        WindowFixture f;
        f.db.add(student("<u>A</u><br>B", "<b>高一</b>", "1班"));
        QVERIFY(f.open());
        f.choose("<b>高一</b>", "1班");
        f.click("PushButton3");
        auto *name = f.find<QLabel>("showname");
        QCOMPARE(name->text(), QStringLiteral("<u>A</u><br>B"));
        QCOMPARE(name->textFormat(), Qt::PlainText);
        QCOMPARE(name->accessibleName(), QStringLiteral("<u>A</u><br>B"));
        auto *panel = f.find<PanelStatusBar>("Stat")->findChild<QLabel *>("Panel1");
        QCOMPARE(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Name),
                 QStringLiteral("优秀：0"));
        for (QLabel *panel : f.find<PanelStatusBar>("Stat")->findChildren<QLabel *>())
            QCOMPARE(panel->textFormat(), Qt::PlainText);

        // The message box on screen takes its text as typed too.
        Qt::TextFormat format = Qt::RichText;
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                format = box->textFormat();
                shown = box->text();
                box->accept();
            }
        });
        QtMessageBox().show(QStringLiteral("<u>A</u>"), MessageStyle::Error);
        QCOMPARE(shown, QStringLiteral("<u>A</u>"));
        QCOMPARE(format, Qt::PlainText);
    }

    void failuresDuringTheWalkSayWhatHappened_data()
    {
        QTest::addColumn<QByteArray>("what");
        QTest::addColumn<QString>("reason");
        QTest::newRow("file deleted") << QByteArray("delete") << "数据库文件在点名期间被移动或删除";
        QTest::newRow("file renamed") << QByteArray("rename") << "数据库文件在点名期间被移动或删除";
        QTest::newRow("folder not writable") << QByteArray("readonly") << "数据库所在的文件夹不可写入";
    }

    void failuresDuringTheWalkSayWhatHappened()
    {
        QFETCH(QByteArray, what);
        QFETCH(QString, reason);
        WindowFixture f;
        threeStudents(f);
        QVERIFY(f.open());
        startWalk(f);
        grade(f, 0);
        const std::filesystem::path path = f.db.path();
        const std::filesystem::path dir = path.parent_path();
        std::optional<PermissionsApply> permissions;
        if (what == "delete") {
            std::filesystem::remove(path);
        } else if (what == "rename") {
            std::filesystem::rename(path, dir / "xsdata.bak");
        } else {
            permissions.emplace();
            if (!permissions->active())
                QSKIP("file permissions cannot be made to apply here");
            std::filesystem::permissions(dir, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::remove);
        }
        f.click("PushButton4");
        if (what == "readonly")
            std::filesystem::permissions(dir, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：") + reason),
                 qPrintable(f.messages.lastText()));
        if (what == "readonly")
            QCOMPARE(whole(f.db.value("A", "优秀")), 0);
    }
};

QTEST_MAIN(WalkEvaluationTest)
#include "test_walk_evaluation.moc"
