// The evaluation browser: its controls as loaded, the refusals, and the query
// that fills the grid with one class.

#include "widgets/geometry.h"
#include "widgets/panelstatusbar.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/statements.h"
#include "store/store.h"
#include "tests/support/browserfixture.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QTest>

#include <filesystem>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

StudentRow student(const std::string &name, std::optional<std::string> grade,
                   std::optional<std::string> className, std::int64_t base = 0)
{
    return {name, std::move(grade), std::move(className), base + 1, base + 2, base + 3, base + 4};
}

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

} // namespace

class TestBrowse : public QObject {
    Q_OBJECT
private slots:
    void loadedDialog();
    void refusalsLeaveGridAlone();
    void queryShowsExactlyTheClass();
    void databaseFailureKeepsGrid();
    void olderFileGainsClassIndex();
};

void TestBrowse::loadedDialog()
{
    // An empty grade and an empty class are items like any other.
    BrowserFixture b({student("甲", "高2023级", "1班"), student("乙", "", "2班"),
               student("丙", "高2024级", ""), student("丁", std::nullopt, "1班")});
    QCOMPARE(b.dialog->objectName(), QStringLiteral("browsj"));
    QCOMPARE(b.dialog->windowTitle(), QStringLiteral("评价数据导出"));
    QVERIFY(b.dialog->isModal());
    QCOMPARE(b.dialog->size(), QSize(twips(11535), twips(8775)));
    const struct {
        const char *name;
        int left, top, width, height;
    } places[] = {{"GroupBox2", 1440, 120, 8655, 735},  {"ComboBox1", 600, 240, 3015, 300},
                  {"ComboBox2", 4200, 240, 1455, 300},  {"PushButton1", 5880, 203, 1095, 375},
                  {"PushButton2", 7080, 203, 1335, 375}, {"Grid1", 180, 960, 11175, 7215},
                  {"StatusBar1", 0, 8280, 11535, 495}};
    for (const auto &p : places)
        QCOMPARE(b.control<QWidget>(p.name)->geometry(),
                 QRect(twips(p.left), twips(p.top), twips(p.width), twips(p.height)));
    QCOMPARE(b.control<QWidget>("PushButton2")->parentWidget(), b.control<QGroupBox>("GroupBox2"));
    QCOMPARE(b.control<QPushButton>("PushButton1")->text(), QStringLiteral("确  定"));
    QCOMPARE(b.control<QPushButton>("PushButton2")->text(), QStringLiteral("导出至Excel"));
    for (int p = 1; p <= 5; ++p)
        QVERIFY(b.control<PanelStatusBar>("StatusBar1")->panelText(p).isEmpty());

    // The grid as loaded: the header row and one empty row.
    QCOMPARE(b.grid()->Rows(), 2);
    QCOMPARE(b.row(0), QStringList({"姓名", "年级", "班级", "优秀", "良好", "及格", "不及格",
                                    "倒扣学分"}));
    QCOMPARE(b.row(1), QStringList(8, QString()));
    const int widths[] = {1200, 2200, 1200, 1200, 1200, 1200, 1200, 1500};
    for (int c = 0; c < 8; ++c)
        QCOMPARE(b.grid()->columnWidth(c), twips(widths[c]));
    QCOMPARE(b.grid()->font().pointSizeF(), 9.0);
    QVERIFY(b.grid()->font().families().contains(QStringLiteral("宋体")));

    // The lists equal the main window's, item for item, and nothing is chosen.
    QCOMPARE(items(b.control<QComboBox>("ComboBox1")), QStringList({"高2023级", "", "高2024级"}));
    QCOMPARE(items(b.control<QComboBox>("ComboBox2")), QStringList({"1班", "2班", ""}));
    QVERIFY(b.control<QComboBox>("ComboBox1")->currentText().isEmpty());
    QVERIFY(b.control<QComboBox>("ComboBox2")->currentText().isEmpty());

    // The teacher cannot type into the grid.
    b.query(QStringLiteral("高2023级"), QStringLiteral("1班"));
    const QRect cell = b.grid()->visualRect(b.grid()->model()->index(0, 0));
    QTest::mouseDClick(b.grid()->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClicks(b.grid()->viewport(), QStringLiteral("xyz"));
    QVERIFY(!b.grid()->viewport()->findChild<QLineEdit *>());
    QCOMPARE(b.names(), QStringList{"甲"});

    // Reopening starts afresh.
    b.reopen();
    QCOMPARE(b.grid()->Rows(), 2);
    QCOMPARE(b.row(1), QStringList(8, QString()));
    QVERIFY(b.messages.shown.empty());
}

void TestBrowse::refusalsLeaveGridAlone()
{
    BrowserFixture b({student("甲", "高2023级", "1班"), student("乙", "", "2班"),
               student("丙", "高2023级", "")});
    // Nothing chosen, grade only, class only, and the empty items chosen;
    // first on the grid as loaded, then on a grid that shows a class.
    const std::pair<QString, QString> missing[] = {{{}, {}},
                                                   {QStringLiteral("高2023级"), {}},
                                                   {{}, QStringLiteral("1班")},
                                                   {QStringLiteral(""), QStringLiteral("1班")},
                                                   {QStringLiteral("高2023级"), QStringLiteral("")}};
    for (bool afterQuery : {false, true}) {
        if (afterQuery)
            b.query(QStringLiteral("高2023级"), QStringLiteral("1班"));
        const QStringList shown = b.row(1);
        for (const auto &[grade, className] : missing) {
            b.messages.shown.clear();
            b.query(grade, className);
            QCOMPARE(b.messages.shown.size(), std::size_t{1});
            QCOMPARE(b.messages.lastText(), QStringLiteral("没选择年级或班级！"));
            QCOMPARE(b.messages.shown.back().style, MessageStyle::Error);
            QCOMPARE(b.grid()->Rows(), 2);
            QCOMPARE(b.row(1), shown);
            QVERIFY(!b.store->conn && !b.store->rs2->isOpen());
        }
    }
}

void TestBrowse::queryShowsExactlyTheClass()
{
    // Three students among others of the same grade or the same class; a
    // class of 30 and one of 10; blanks and quotes are texts like any other.
    std::vector<StudentRow> rows{student("张三", "高2023级", "3班", 0),
                                 student("别班", "高2023级", "4班"),
                                 student("李四", "高2023级", "3班", 10),
                                 student("别级", "高2024级", "3班"),
                                 student("王五", "高2023级", "3班", 20),
                                 student("空格", " ", "5班"),
                                 student("引号", "高'23\"级", "6'班"),
                                 student("引号以外", "高'23\"级", "6班")};
    rows[0].deducted = 3.0;
    rows[4].deducted = 2.5;
    // Stored by another program: 高一 in GBK bytes beside the text 高一, and
    // 1班 as bytes beside the text 1班.
    rows.push_back(student("乙", "高一", "1班"));
    QStringList small;
    for (int i = 0; i < 30; ++i)
        rows.push_back(student("大" + std::to_string(i), "高2024级", "大班"));
    for (int i = 0; i < 10; ++i) {
        rows.push_back(student("小" + std::to_string(i), "高2024级", "小班"));
        small << QStringLiteral("小%1").arg(i);
    }
    BrowserFixture b(rows, [](store::Connection &conn) {
        conn.exec("INSERT INTO student (\"姓名\", \"年级\", \"班级\") VALUES"
                  " ('甲', CAST(X'B8DFD2BB' AS TEXT), '1班'), ('丙', '高一', X'31E78FAD')");
    });

    b.query(QStringLiteral("高2023级"), QStringLiteral("3班"));
    QCOMPARE(b.grid()->Rows(), 4);
    QCOMPARE(b.row(1), QStringList({"张三", "高2023级", "3班", "1", "2", "3", "4", "3"}));
    QCOMPARE(b.row(2), QStringList({"李四", "高2023级", "3班", "11", "12", "13", "14", "0"}));
    QCOMPARE(b.row(3), QStringList({"王五", "高2023级", "3班", "21", "22", "23", "24", "2.5"}));
    QVERIFY(!b.store->conn && !b.store->rs2->isOpen());

    b.query(QStringLiteral("高2024级"), QStringLiteral("大班"));
    QCOMPARE(b.grid()->Rows(), 31);
    b.query(QStringLiteral("高2024级"), QStringLiteral("小班"));
    QCOMPARE(b.grid()->Rows(), 11);
    QCOMPARE(b.names(), small);

    // No such student: the message, and the grid as it was.
    b.query(QStringLiteral("高2023级"), QStringLiteral("大班"));
    QCOMPARE(b.messages.lastText(), QStringLiteral("没有相应的数据！"));
    QCOMPARE(b.messages.shown.back().style, MessageStyle::Error);
    QCOMPARE(b.names(), small);
    QVERIFY(!b.store->conn && !b.store->rs2->isOpen());

    b.query(QStringLiteral(" "), QStringLiteral("5班"));
    QCOMPARE(b.names(), QStringList{"空格"});
    b.query(QStringLiteral("高'23\"级"), QStringLiteral("6'班"));
    QCOMPARE(b.names(), QStringList{"引号"});
    const std::pair<const char *, const char *> odd[] = {
        {"高一（非UTF-8编码）", "1班"}, {"高一", "1班"}, {"高一", "1班（二进制）"}};
    const char *found[] = {"甲", "乙", "丙"};
    for (std::size_t i = 0; i < std::size(odd); ++i) {
        b.query(QString::fromUtf8(odd[i].first), QString::fromUtf8(odd[i].second));
        QCOMPARE(b.names(), QStringList{QString::fromUtf8(found[i])});
    }
    QCOMPARE(b.messages.shown.size(), std::size_t{1});
}

void TestBrowse::databaseFailureKeepsGrid()
{
    BrowserFixture b({student("甲", "高2023级", "1班"), student("乙", "高2023级", "1班")});
    b.query(QStringLiteral("高2023级"), QStringLiteral("1班"));
    std::filesystem::remove(b.db.path());
    b.query(QStringLiteral("高2023级"), QStringLiteral("1班"));
    QCOMPARE(b.messages.shown.size(), std::size_t{1});
    QVERIFY(b.messages.lastText().startsWith(QStringLiteral("数据库操作失败：找不到")));
    QCOMPARE(b.names(), QStringList({"甲", "乙"}));
    QVERIFY(!b.store->conn && !b.store->rs2->isOpen());
}

void TestBrowse::olderFileGainsClassIndex()
{
    // A file made before the index existed, still open in another program.
    TempDatabase db;
    db.generate(200, 10);
    auto other = db.connect();
    other->exec("DROP INDEX student_grade_class");

    store::Store store(db.directoryPath());
    store.opendb();
    const store::Query query = store::studentsOfClass("高2000级", "3班");
    store::Statement plan(*store.conn, "EXPLAIN QUERY PLAN " + query.sql);
    QString steps;
    while (plan.step())
        steps += QString::fromStdString(store::displayText(plan.column(3))) + u'\n';
    QVERIFY2(steps.contains(QStringLiteral("USING INDEX student_grade_class")), qPrintable(steps));
    QVERIFY2(!steps.contains(QStringLiteral("TEMP B-TREE")), qPrintable(steps));
    store::RecordSet rs;
    rs.open(store.conn, query);
    QCOMPARE(rs.recordCount(), 20);
}

QTEST_MAIN(TestBrowse)
#include "test_browse.moc"
