// The evaluation browser: its controls as loaded, the refusals, and the query
// that fills the grid with one class.

#include "exchange/browsedialog.h"
#include "platform/flexgrid.h"
#include "platform/geometry.h"
#include "platform/panelbar.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/statements.h"
#include "store/store.h"
#include "tests/support/windowfixture.h"

#include <QComboBox>
#include <QGroupBox>
#include <QStringList>
#include <QTest>

#include <filesystem>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

const QString kNoClassChosen = QStringLiteral("没选择年级或班级！");
const QString kNoStudents = QStringLiteral("没有相应的数据！");

StudentRow student(const std::string &name, std::optional<std::string> grade,
                   std::optional<std::string> className, std::int64_t base = 0)
{
    StudentRow r;
    r.name = name;
    r.grade = std::move(grade);
    r.className = std::move(className);
    r.excellent = base + 1;
    r.good = base + 2;
    r.pass = base + 3;
    r.fail = base + 4;
    return r;
}

// A main window on a database, and browsers opened from it.
struct Browser : WindowFixture {
    std::unique_ptr<BrowseDialog> dialog;

    explicit Browser(const std::vector<StudentRow> &rows)
    {
        db.addMany(rows);
        if (!open())
            qFatal("main window did not open");
    }

    BrowseDialog &reopen()
    {
        dialog.reset();
        dialog = std::make_unique<BrowseDialog>(*store, services, window->gradeItems(),
                                                window->classItems(), window.get());
        dialog->show();
        return *dialog;
    }

    template <typename T>
    T *control(const char *name) const
    {
        T *w = dialog->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    FlexGrid *grid() const { return control<FlexGrid>("Grid1"); }

    // Chooses items by text; an empty text chooses the empty item.
    void pick(const QString &grade, const QString &className) const
    {
        for (auto [box, text] : {std::pair{control<QComboBox>("ComboBox1"), grade},
                                 std::pair{control<QComboBox>("ComboBox2"), className}})
            box->setCurrentIndex(text.isNull() ? -1 : box->findText(text, Qt::MatchExactly));
    }
    void query() const { QTest::mouseClick(control<QPushButton>("PushButton1"), Qt::LeftButton); }

    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < grid()->Cols(); ++c)
            cells << grid()->TextMatrix(r, c);
        return cells;
    }
    QStringList column(int c) const
    {
        QStringList cells;
        for (int r = 1; r < grid()->Rows(); ++r)
            cells << grid()->TextMatrix(r, c);
        return cells;
    }
    // The database objects are closed between clicks.
    bool released() const { return !store->conn && !store->rs2->isOpen(); }
};

QStringList names(const QString &prefix, int from, int count)
{
    QStringList list;
    for (int i = from; i < from + count; ++i)
        list << prefix + QString::number(i);
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
    void gridKeepsCellsAcrossRowChanges();
    void olderFileGainsClassIndex();
};

void TestBrowse::loadedDialog()
{
    // An empty grade and an empty class are items like any other.
    Browser b({student("甲", "高2023级", "1班"), student("乙", "", "2班"),
               student("丙", "高2024级", ""), student("丁", std::nullopt, "1班")});
    BrowseDialog &d = b.reopen();
    QCOMPARE(d.objectName(), QStringLiteral("browsj"));
    QCOMPARE(d.windowTitle(), QStringLiteral("评价数据导出"));
    QVERIFY(d.isModal());
    QCOMPARE(d.size(), QSize(twips(11535), twips(8775)));

    QCOMPARE(b.control<QGroupBox>("GroupBox2")->geometry(),
             QRect(twips(1440), twips(120), twips(8655), twips(735)));
    QCOMPARE(b.control<QComboBox>("ComboBox1")->parentWidget(), b.control<QGroupBox>("GroupBox2"));
    QCOMPARE(b.control<QComboBox>("ComboBox1")->geometry(),
             QRect(twips(600), twips(240), twips(3015), twips(300)));
    QCOMPARE(b.control<QComboBox>("ComboBox2")->geometry(),
             QRect(twips(4200), twips(240), twips(1455), twips(300)));
    QCOMPARE(b.control<QPushButton>("PushButton1")->text(), QStringLiteral("确  定"));
    QCOMPARE(b.control<QPushButton>("PushButton1")->geometry(),
             QRect(twips(5880), twips(203), twips(1095), twips(375)));
    QCOMPARE(b.control<QPushButton>("PushButton2")->text(), QStringLiteral("导出至Excel"));
    QCOMPARE(b.control<QPushButton>("PushButton2")->geometry(),
             QRect(twips(7080), twips(203), twips(1335), twips(375)));
    QCOMPARE(b.control<QLabel>("Label4")->text(), QStringLiteral("年级"));
    QCOMPARE(b.control<QLabel>("Label5")->text(), QStringLiteral("班级"));
    QCOMPARE(b.grid()->geometry(), QRect(twips(180), twips(960), twips(11175), twips(7215)));
    auto *bar = b.control<PanelBar>("StatusBar1");
    QCOMPARE(bar->geometry(), QRect(0, twips(8280), twips(11535), twips(495)));
    for (int p = 1; p <= 5; ++p)
        QVERIFY(bar->panelText(p).isEmpty());

    // The grid as loaded: the header row and one empty row.
    FlexGrid *grid = b.grid();
    QCOMPARE(grid->Rows(), 2);
    QCOMPARE(b.row(0), QStringList({"姓名", "年级", "班级", "优秀", "良好", "及格", "不及格",
                                    "倒扣学分"}));
    QCOMPARE(b.row(1), QStringList(8, QString()));
    const int widths[] = {1200, 2200, 1200, 1200, 1200, 1200, 1200, 1500};
    for (int c = 0; c < 8; ++c)
        QCOMPARE(grid->columnWidth(c), twips(widths[c]));
    QCOMPARE(grid->font().pointSizeF(), 9.0);
    QVERIFY(grid->font().families().contains(QStringLiteral("宋体")));

    // The lists equal the main window's, item for item, and nothing is chosen.
    auto items = [](QComboBox *box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    };
    QCOMPARE(items(b.control<QComboBox>("ComboBox1")), b.window->gradeItems());
    QCOMPARE(items(b.control<QComboBox>("ComboBox2")), b.window->classItems());
    QCOMPARE(items(b.control<QComboBox>("ComboBox1")), QStringList({"高2023级", "", "高2024级"}));
    QCOMPARE(items(b.control<QComboBox>("ComboBox2")), QStringList({"1班", "2班", ""}));
    QVERIFY(b.control<QComboBox>("ComboBox1")->currentText().isEmpty());
    QVERIFY(b.control<QComboBox>("ComboBox2")->currentText().isEmpty());

    // The teacher cannot type into the grid.
    b.pick(QStringLiteral("高2023级"), QStringLiteral("1班"));
    b.query();
    QCOMPARE(b.row(1).first(), QStringLiteral("甲"));
    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClicks(grid->viewport(), QStringLiteral("xyz"));
    QTest::keyClick(grid->viewport(), Qt::Key_Return);
    QCOMPARE(b.row(1).first(), QStringLiteral("甲"));

    // Reopening starts afresh.
    b.reopen();
    QCOMPARE(b.grid()->Rows(), 2);
    QCOMPARE(b.row(1), QStringList(8, QString()));
    QVERIFY(b.control<QComboBox>("ComboBox1")->currentText().isEmpty());
    QCOMPARE(b.messages.shown.size(), std::size_t{0});
}

void TestBrowse::refusalsLeaveGridAlone()
{
    Browser b({student("甲", "高2023级", "1班"), student("乙", "", "2班"),
               student("丙", "高2023级", "")});
    b.reopen();
    // Nothing chosen, grade only, class only, and the empty items chosen.
    const std::pair<QString, QString> missing[] = {
        {QString(), QString()},
        {QStringLiteral("高2023级"), QString()},
        {QString(), QStringLiteral("1班")},
        {QStringLiteral(""), QStringLiteral("1班")},
        {QStringLiteral("高2023级"), QStringLiteral("")},
    };
    // First on the grid as loaded, then on a grid that shows a class.
    for (bool afterQuery : {false, true}) {
        if (afterQuery) {
            b.pick(QStringLiteral("高2023级"), QStringLiteral("1班"));
            b.query();
        }
        const QStringList shown = b.row(1);
        const int rows = b.grid()->Rows();
        for (const auto &[grade, className] : missing) {
            b.messages.shown.clear();
            b.pick(grade, className);
            b.query();
            QCOMPARE(b.messages.shown.size(), std::size_t{1});
            QCOMPARE(b.messages.lastText(), kNoClassChosen);
            QCOMPARE(b.messages.shown.back().style, MessageStyle::Error);
            QCOMPARE(b.grid()->Rows(), rows);
            QCOMPARE(b.row(1), shown);
            QVERIFY(b.released());
        }
    }
}

void TestBrowse::queryShowsExactlyTheClass()
{
    std::vector<StudentRow> rows;
    // Three students, mixed with others of the same grade or the same class.
    rows.push_back(student("张三", "高2023级", "3班", 0));
    rows.push_back(student("别班", "高2023级", "4班"));
    rows.push_back(student("李四", "高2023级", "3班", 10));
    rows.push_back(student("别级", "高2024级", "3班"));
    rows.push_back(student("王五", "高2023级", "3班", 20));
    rows.back().deducted = 2.5;
    rows[0].deducted = 3.0;
    for (int i = 0; i < 30; ++i)
        rows.push_back(student("大" + std::to_string(i), "高2024级", "大班"));
    for (int i = 0; i < 10; ++i)
        rows.push_back(student("小" + std::to_string(i), "高2024级", "小班"));
    // Blanks and quotes are texts like any other.
    rows.push_back(student("空格", " ", "5班"));
    rows.push_back(student("引号", "高'23\"级", "6'班"));
    rows.push_back(student("引号以外", "高'23\"级", "6班"));
    Browser b(rows);
    b.reopen();

    b.pick(QStringLiteral("高2023级"), QStringLiteral("3班"));
    b.query();
    QCOMPARE(b.grid()->Rows(), 4);
    QCOMPARE(b.row(1), QStringList({"张三", "高2023级", "3班", "1", "2", "3", "4", "3"}));
    QCOMPARE(b.row(2), QStringList({"李四", "高2023级", "3班", "11", "12", "13", "14", "0"}));
    QCOMPARE(b.row(3), QStringList({"王五", "高2023级", "3班", "21", "22", "23", "24", "2.5"}));
    QVERIFY(b.released());

    b.pick(QStringLiteral("高2024级"), QStringLiteral("大班"));
    b.query();
    QCOMPARE(b.grid()->Rows(), 31);
    b.pick(QStringLiteral("高2024级"), QStringLiteral("小班"));
    b.query();
    QCOMPARE(b.grid()->Rows(), 11);
    QCOMPARE(b.column(0), names(QStringLiteral("小"), 0, 10));

    // No such student: the message, and the grid as it was.
    b.pick(QStringLiteral("高2023级"), QStringLiteral("大班"));
    b.query();
    QCOMPARE(b.messages.lastText(), kNoStudents);
    QCOMPARE(b.messages.shown.back().style, MessageStyle::Error);
    QCOMPARE(b.grid()->Rows(), 11);
    QCOMPARE(b.column(0), names(QStringLiteral("小"), 0, 10));
    QVERIFY(b.released());

    b.pick(QStringLiteral(" "), QStringLiteral("5班"));
    b.query();
    QCOMPARE(b.column(0), QStringList{"空格"});
    b.pick(QStringLiteral("高'23\"级"), QStringLiteral("6'班"));
    b.query();
    QCOMPARE(b.column(0), QStringList{"引号"});
    QCOMPARE(b.messages.shown.size(), std::size_t{1});
}

void TestBrowse::databaseFailureKeepsGrid()
{
    Browser b({student("甲", "高2023级", "1班"), student("乙", "高2023级", "1班")});
    b.reopen();
    b.pick(QStringLiteral("高2023级"), QStringLiteral("1班"));
    b.query();
    QCOMPARE(b.grid()->Rows(), 3);

    std::filesystem::remove(b.db.path());
    b.query();
    QCOMPARE(b.messages.shown.size(), std::size_t{1});
    QVERIFY(b.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")));
    QVERIFY(b.messages.lastText().size() > QStringLiteral("数据库操作失败：").size());
    QCOMPARE(b.grid()->Rows(), 3);
    QCOMPARE(b.column(0), QStringList({"甲", "乙"}));
    QVERIFY(b.released());
}

void TestBrowse::gridKeepsCellsAcrossRowChanges()
{
    FlexGrid grid(3, 2);
    grid.setTextMatrix(0, 2, QStringLiteral("头"));
    grid.setTextMatrix(1, 0, QStringLiteral("a"));
    grid.setRows(4);
    grid.setTextMatrix(3, 1, QStringLiteral("b"));
    QCOMPARE(grid.Rows(), 4);
    QCOMPARE(grid.model()->rowCount(), 3);
    QCOMPARE(grid.TextMatrix(0, 2), QStringLiteral("头"));
    QCOMPARE(grid.model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("头"));
    QCOMPARE(grid.TextMatrix(1, 0), QStringLiteral("a"));
    QCOMPARE(grid.TextMatrix(3, 1), QStringLiteral("b"));

    // Shrinking drops the rows below; growing again brings empty ones.
    grid.setRows(1);
    grid.setRows(3);
    QCOMPARE(grid.TextMatrix(0, 2), QStringLiteral("头"));
    QVERIFY(grid.TextMatrix(1, 0).isEmpty());
    // The header row always stays; cells outside the grid are ignored.
    grid.setRows(0);
    QCOMPARE(grid.Rows(), 1);
    grid.setTextMatrix(5, 0, QStringLiteral("x"));
    grid.setTextMatrix(0, 3, QStringLiteral("x"));
    QVERIFY(grid.TextMatrix(5, 0).isEmpty());
    QCOMPARE(grid.Rows(), 1);
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
    // The file reads as before, from both connections.
    store::RecordSet rs;
    rs.open(store.conn, query);
    QCOMPARE(rs.recordCount(), 20);
    store::Statement count(*other, "SELECT count(*) FROM student");
    QVERIFY(count.step());
    QCOMPARE(std::get<std::int64_t>(count.column(0)), std::int64_t{200});
}

QTEST_MAIN(TestBrowse)
#include "test_browse.moc"
