// Start-up of the main window: the lists it reads, its idle state, the
// loading window, and what the teacher is told when the file cannot be used.

#include "app/wiring.h"
#include "rollcall/indexwindow.h"
#include "store/schema.h"
#include "tests/support/permissions.h"
#include "tests/support/windowfixture.h"

#include <QAccessible>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <filesystem>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

StudentRow student(const std::string &name, std::optional<std::string> grade,
                   std::optional<std::string> className)
{
    StudentRow r;
    r.name = name;
    r.grade = std::move(grade);
    r.className = std::move(className);
    return r;
}

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void emptyTableGivesIdleWindow()
    {
        WindowFixture f;
        QVERIFY(f.open());
        QVERIFY(f.messages.shown.empty());
        MainWindow &w = *f.window;

        QCOMPARE(w.windowTitle(), QStringLiteral("QuorvelV1.0"));
        QCOMPARE(w.size(), QSize(771, 587));
        QCOMPARE(f.find<QComboBox>("ComboBox1")->count(), 0);
        QCOMPARE(f.find<QComboBox>("ComboBox2")->count(), 0);

        auto *grades = f.find<QComboBox>("ComboBox3");
        QCOMPARE(items(grades), (QStringList{QStringLiteral("优  秀"), QStringLiteral("良  好"),
                                             QStringLiteral("及  格"), QStringLiteral("不及格")}));
        QCOMPARE(grades->currentIndex(), -1);

        QVERIFY(!f.find<QTimer>("Timer1")->isActive());
        QVERIFY(!f.find<QTimer>("Timer2")->isActive());
        QVERIFY(!f.find<QGroupBox>("GroupBox4")->isEnabled());
        QVERIFY(f.find<QLabel>("showtime")->isHidden());
        for (const char *b : {"PushButton1", "PushButton2", "PushButton3", "PushButton4",
                              "PushButton10"})
            QVERIFY2(f.find<QPushButton>(b)->isEnabled(), b);
        QCOMPARE(w.called, false);
        QCOMPARE(w.curno, 0);
        QCOMPARE(w.lefttime, std::int16_t{0});
        QCOMPARE(f.shownName(), QStringLiteral("XXXXXX"));
        for (int i = 1; i <= 5; ++i)
            QVERIFY(f.panel(i).isEmpty());

        // The start-up lets go of the file.
        QVERIFY(!f.store->conn);
        QVERIFY(!f.store->rs->isOpen());
    }

    void controlsCarryTheirNamesAndCaptions()
    {
        WindowFixture f;
        QVERIFY(f.open());
        const std::pair<const char *, const char *> buttons[] = {
            {"PushButton7", "<<"}, {"prev", "<"}, {"PushButton5", ">"}, {"PushButton6", ">>"},
            {"PushButton4", "评价记入"}, {"PushButton2", "导入数据"},
            {"PushButton1", "开始随机点名"}, {"PushButton3", "开始依次点名"},
            {"PushButton10", "评价导出"}};
        for (const auto &[name, caption] : buttons)
            QCOMPARE(f.buttonText(name), QString::fromUtf8(caption));
        const std::pair<const char *, const char *> labels[] = {
            {"Label4", "年级"}, {"Label5", "班级"}, {"Label6", "评价等级"},
            {"Label7", "倒扣学分"}, {"Label3", "秒"}, {"Label2", "慢"}, {"Label1", "快"},
            {"showtime", "00"}};
        for (const auto &[name, caption] : labels)
            QCOMPARE(f.text(name), QString::fromUtf8(caption));
        QCOMPARE(f.find<QGroupBox>("GroupBox2")->title(), QStringLiteral("数据源"));
        QCOMPARE(f.find<QGroupBox>("GroupBox3")->title(), QStringLiteral("评价"));
        QCOMPARE(f.find<QCheckBox>("stoponoff")->text(), QStringLiteral("自动停止时间限制"));
        QCOMPARE(f.find<QLineEdit>("stoptime")->text(), QStringLiteral("10"));
        auto *slider = f.find<QSlider>("Slider1");
        QCOMPARE(slider->minimum(), 1);
        QCOMPARE(slider->maximum(), 100);
        QVERIFY(f.window->findChild<QFrame *>("Picture1"));
        QVERIFY(f.window->findChild<QFrame *>("Frame1"));
        QVERIFY(f.window->findChild<QGroupBox *>("GroupBox1"));

        // Each input is named by its label, for assistive technology too.
        const std::pair<const char *, const char *> inputs[] = {
            {"Label4", "ComboBox1"}, {"Label5", "ComboBox2"}, {"Label6", "ComboBox3"},
            {"Label7", "Text1"}, {"Label3", "stoptime"}};
        for (const auto &[labelName, inputName] : inputs) {
            auto *label = f.find<QLabel>(labelName);
            auto *input = f.find<QWidget>(inputName);
            QCOMPARE(label->buddy(), input);
            const auto related = QAccessible::queryAccessibleInterface(input)->relations(
                QAccessible::Label);
            QVERIFY2(std::any_of(related.begin(), related.end(),
                                 [&](const auto &r) { return r.first->object() == label; }),
                     inputName);
            QCOMPARE(input->accessibleName(), QString(inputName) == "stoptime"
                                                  ? QStringLiteral("自动停止时间（秒）")
                                                  : label->text());
        }
        QCOMPARE(f.find<QLabel>("showname")->accessibleName(), QStringLiteral("尚未点名"));
        QCOMPARE(f.find<QLabel>("showname")->accessibleDescription(), QStringLiteral("点名学生"));
        const auto panels = f.find<PanelStatusBar>("Stat")->findChildren<QLabel *>();
        QCOMPARE(panels.size(), 5);
        QCOMPARE(panels[4]->accessibleName(), QStringLiteral("倒扣学分"));
    }

    void statusBarKeepsOneHeightAndShowsAllFivePanels()
    {
        WindowFixture f;
        StudentRow row = student("张三", "高一", "1班");
        row.excellent = 12345;
        row.deducted = 123.5;
        f.db.add(row);
        QVERIFY(f.open());
        auto *bar = f.find<PanelStatusBar>("Stat");
        const auto panels = bar->findChildren<QLabel *>();
        const int empty = bar->height();
        const QRect client = f.find<QWidget>("client")->geometry();

        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");
        QCOMPARE(f.panel(5), QStringLiteral("倒扣学分：123.5"));
        QTest::qWait(50);
        QCOMPARE(bar->height(), empty);
        QCOMPARE(f.find<QWidget>("client")->geometry(), client);
        for (QLabel *panel : panels) {
            const QRect shown(panel->mapTo(f.window.get(), QPoint(0, 0)), panel->size());
            QVERIFY2(shown.left() >= 0 && shown.right() < f.window->width(),
                     qPrintable(QStringLiteral("%1 at %2..%3 of %4").arg(panel->objectName())
                                    .arg(shown.left()).arg(shown.right()).arg(f.window->width())));
            QCOMPARE(panel->height(), panels[0]->height());
            QVERIFY2(panel->fontMetrics().horizontalAdvance(panel->text())
                         <= panel->contentsRect().width(),
                     qPrintable(panel->text()));
        }
    }

    void listsKeepFirstOccurrenceOrder()
    {
        WindowFixture f;
        f.db.addMany({student("甲", "A", "1"), student("乙", "B", "1"), student("丙", "A", "2"),
                      student("丁", "B", std::nullopt), student("戊", std::nullopt, "3"),
                      student("己", "", ""), student("庚", "", "2"), student("辛", "C", "")});
        QVERIFY(f.open());
        QCOMPARE(items(f.find<QComboBox>("ComboBox1")),
                 (QStringList{"A", "B", "", "C"}));
        QCOMPARE(items(f.find<QComboBox>("ComboBox2")),
                 (QStringList{"1", "2", "3", ""}));
        QCOMPARE(f.find<QComboBox>("ComboBox1")->currentIndex(), -1);
        QCOMPARE(f.find<QComboBox>("ComboBox2")->currentIndex(), -1);

        // Reading the lists again gives the same items, once each.
        f.store->opendb();
        f.window->loadlists();
        f.store->closeConn();
        QCOMPARE(items(f.find<QComboBox>("ComboBox1")), (QStringList{"A", "B", "", "C"}));
        QCOMPARE(items(f.find<QComboBox>("ComboBox2")), (QStringList{"1", "2", "3", ""}));
        QVERIFY(!f.store->rs->isOpen());
    }

    void listsCompareTextsExactly()
    {
        WindowFixture f;
        f.db.addMany({student("a", "高一", "1班"), student("b", "高一 ", "1班"),
                      student("c", "高一", "1班 "), student("d", "Ab", "x"),
                      student("e", "ab", "X")});
        QVERIFY(f.open());
        QCOMPARE(items(f.find<QComboBox>("ComboBox1")),
                 (QStringList{"高一", "高一 ", "Ab", "ab"}));
        QCOMPARE(items(f.find<QComboBox>("ComboBox2")),
                 (QStringList{"1班", "1班 ", "x", "X"}));
    }

    void missingFileIsReportedAndNeverCreated()
    {
        WindowFixture f;
        QVERIFY(std::filesystem::remove(f.db.path()));
        QVERIFY(!f.open());
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.messages.shown[0].style, MessageStyle::Error);
        QCOMPARE(f.messages.shown[0].text,
                 QStringLiteral("找不到数据库文件：") + QString::fromStdString(f.db.path()));
        QVERIFY(!std::filesystem::exists(f.db.path()));
    }

    void unusableFileIsReportedWithItsReason_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("wrong password") << QByteArray("password") << QStringLiteral("密码");
        QTest::newRow("not a database") << QByteArray("garbage") << QStringLiteral("不是数据库");
        QTest::newRow("no student table") << QByteArray("notable") << QStringLiteral("student");
        QTest::newRow("column missing") << QByteArray("nocolumn") << QStringLiteral("倒扣学分");
        QTest::newRow("locked") << QByteArray("locked") << QStringLiteral("锁定");
        QTest::newRow("without rowid") << QByteArray("norowid") << QStringLiteral("WITHOUT ROWID");
        QTest::newRow("folder not enterable") << QByteArray("noentry")
                                              << QStringLiteral("没有权限进入数据库所在的文件夹");
    }

    void unusableFileIsReportedWithItsReason()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, reason);
        WindowFixture f;
        const std::string path = f.db.path();
        std::shared_ptr<store::Connection> holder;
        std::optional<PermissionsApply> permissions;
        if (kind == "password" || kind == "garbage") {
            std::filesystem::remove(path);
            if (kind == "garbage") {
                QFile file(QString::fromStdString(path));
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(QByteArray(4096, 'x'));
            } else {
                QFile(QString::fromStdString(path)).open(QIODevice::WriteOnly);
                auto conn = store::Connection::open(path, "another password");
                conn->exec("CREATE TABLE student (x)");
            }
        } else if (kind == "notable") {
            f.db.connect()->exec("DROP TABLE student");
        } else if (kind == "nocolumn") {
            auto conn = f.db.connect();
            conn->exec("DROP TABLE student");
            conn->exec("CREATE TABLE student (\"姓名\" TEXT, \"年级\" TEXT, \"班级\" TEXT,"
                       " \"优秀\" INT, \"良好\" INT, \"及格\" INT, \"不及格\" INT)");
        } else if (kind == "norowid") {
            auto conn = f.db.connect();
            conn->exec("DROP TABLE student");
            conn->exec("CREATE TABLE student (\"姓名\" TEXT PRIMARY KEY, \"年级\" TEXT,"
                       " \"班级\" TEXT, \"优秀\" INT, \"良好\" INT, \"及格\" INT,"
                       " \"不及格\" INT, \"倒扣学分\" INT) WITHOUT ROWID");
        } else if (kind == "noentry") {
            permissions.emplace();
            if (!permissions->active())
                QSKIP("file permissions cannot be made to apply here");
            std::filesystem::permissions(f.db.directoryPath(), std::filesystem::perms::owner_exec,
                                         std::filesystem::perm_options::remove);
        } else if (kind == "locked") {
            holder = f.db.connect();
            holder->exec("BEGIN EXCLUSIVE");
            holder->exec("INSERT INTO student (\"姓名\") VALUES ('x')");
        }
        const bool opened = f.open();
        if (permissions)
            std::filesystem::permissions(f.db.directoryPath(), std::filesystem::perms::owner_exec,
                                         std::filesystem::perm_options::add);
        QVERIFY(!opened);
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        const QString text = f.messages.shown[0].text;
        QCOMPARE(f.messages.shown[0].style, MessageStyle::Error);
        QVERIFY2(text.startsWith(QStringLiteral("无法打开数据库文件：")
                                 + QString::fromStdString(path) + u'\n'),
                 qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        if (holder)
            holder->exec("ROLLBACK");
    }

    void loadingWindowAlternatesItsLabel()
    {
        IndexWindow index;
        QCOMPARE(index.objectName(), QStringLiteral("index"));
        QCOMPARE(index.windowTitle(), QStringLiteral("数据加载"));
        QCOMPARE(index.size(), QSize(210, 90));
        auto *label = index.findChild<QLabel *>("Label1");
        auto *timer = index.findChild<QTimer *>("Timer1");
        QVERIFY(label && timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 500);
        QCOMPARE(label->text(), QStringLiteral("数据加载中……"));
        index.blinkLabel();
        QCOMPARE(label->text(), QStringLiteral("数据加载中…"));
        index.blinkLabel();
        QCOMPARE(label->text(), QStringLiteral("数据加载中……"));
        // The real timer drives the same switch.
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), QStringLiteral("数据加载中…"), 3000);
    }

    void loadingWindowIsOnScreenWhileTheTableIsRead()
    {
        // The lists are read with the loading window already painted, and it
        // is gone once the main window can be shown.
        WindowFixture f;
        f.db.generate(2000, 40);
        bool seen = false;
        f.store = std::make_unique<store::Store>(f.db.directoryPath());
        f.window = std::make_unique<MainWindow>(*f.store, f.services);
        // loadlists runs inside load(); look for the visible loading window
        // from the first list change.
        QObject::connect(f.find<QComboBox>("ComboBox1"), &QComboBox::currentIndexChanged, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->objectName() == QLatin1String("index") && w->isVisible())
                    seen = true;
        });
        QVERIFY(f.window->load());
        QVERIFY(seen);
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY(!(w->objectName() == QLatin1String("index") && w->isVisible()));
    }

    void dialogButtonsOpenModalDialogs_data()
    {
        QTest::addColumn<QByteArray>("button");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("caption");
        QTest::newRow("import") << QByteArray("PushButton2") << "drxs" << "导入学生信息";
        QTest::newRow("export") << QByteArray("PushButton10") << "browsj" << "评价数据导出";
    }

    void dialogButtonsOpenModalDialogs()
    {
        QFETCH(QByteArray, button);
        QFETCH(QString, dialog);
        QFETCH(QString, caption);
        WindowFixture f;
        QVERIFY(f.open());
        connectDialogs(*f.window, *f.store, f.services);

        QString seenName, seenCaption;
        bool modal = false;
        QTimer::singleShot(0, [&] {
            QWidget *active = QApplication::activeModalWidget();
            if (!active)
                return;
            seenName = active->objectName();
            seenCaption = active->windowTitle();
            modal = active->isModal();
            static_cast<QDialog *>(active)->reject();
        });
        f.click(button.constData());
        QCOMPARE(seenName, dialog);
        QCOMPARE(seenCaption, caption);
        QVERIFY(modal);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(StartupTest)
#include "test_startup.moc"
