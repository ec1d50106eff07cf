// quorvel-screenshots DIRECTORY
// Starts each window of Quorvel on the example roster and writes a picture
// of it into DIRECTORY: what a teacher sees, for the README and for looking
// at after every change to a window. Run it on a display, e.g. under
// xvfb-run (./quorvel.sh screenshots does).

#include "exchange/browsedialog.h"
#include "exchange/calloverview.h"
#include "exchange/historydialog.h"
#include "exchange/importdialog.h"
#include "exchange/promotedialog.h"
#include "exchange/rosterdialog.h"
#include "exchange/rosterupdatedialog.h"
#include "app/wiring.h"
#include "store/roster.h"
#include "store/connection.h"
#include "tests/support/doubles.h"
#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "workbook/processworkbook.h"
#include "platform/random.h"
#include "rollcall/backupwindow.h"
#include "rollcall/classroom.h"
#include "rollcall/mainwindow.h"
#include "rollcall/miniwindow.h"
#include "rollcall/projectorview.h"
#include "store/backup.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/store.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTableWidget>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

using namespace quorvel;

namespace {

QDir out;
int written = 0;

// The system's time, or a day the pictures are set on.
class PictureClock final : public Clock {
public:
    QDateTime now() const override { return at.isValid() ? at : system.now(); }
    double secondsSinceMidnight() const override { return system.secondsSinceMidnight(); }
    QDateTime at;
    SystemClock system;
};

bool save(const QPixmap &picture, const char *name)
{
    const QString path = out.filePath(QLatin1String(name) + QStringLiteral(".png"));
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    std::printf("  %s (%dx%d)\n", qPrintable(path), picture.width(), picture.height());
    ++written;
    return true;
}

void settle(QWidget *w)
{
    if (w)
        (void)QTest::qWaitForWindowExposed(w);
    QTest::qWait(150);
}

template <typename T>
T *control(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

void choose(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findText(text));
}

int run(const QString &examples)
{
    testing::TempDatabase db;
    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    PictureClock clock;
    SplitMixRandom random;
    ProcessWorkbookReader reader(ProcessWorkbookReader::programIn(
        QCoreApplication::applicationDirPath()));
    const Services services{messages, files, clock, random, db.directory(), &reader};
    store::Store store(db.directoryPath());
    MainWindow main(store, services);
    QTemporaryDir settingsDir;
    QSettings settings(settingsDir.filePath(QStringLiteral("quorvel.ini")), QSettings::IniFormat);
    RecordingSpeech speech;
    Classroom room(main, store, services, speech, settings);
    addRosterEntries(main, room, store, services);
    if (!main.load())
        return 1;
    centreOnScreen(&main);
    main.show();
    settle(&main);

    // The import dialog, after it has read the example roster.
    {
        ImportDialog dialog(store, services, [&] { main.loadlists(); }, &main);
        dialog.show();
        settle(&dialog);
        files.paths.push_back(examples + QStringLiteral("/students.xls"));
        control<QPushButton>(&dialog, "PushButton1")->click();
        if (messages.lastText() != QStringLiteral("导入了 16条数据")) {
            std::fprintf(stderr, "the example roster did not import: %s\n",
                         qPrintable(messages.lastText()));
            return 1;
        }
        settle(&dialog);
        save(dialog.grab(), "import");
    }

    save(main.grab(), "main-idle");

    auto *grades = control<QComboBox>(&main, "ComboBox1");
    auto *classes = control<QComboBox>(&main, "ComboBox2");
    choose(grades, main.gradeItems().value(0));
    choose(classes, main.classItems().value(0));

    // A walk, on the second student, with an evaluation or two recorded over
    // several weeks so that the history has something to chart.
    control<QPushButton>(&main, "PushButton3")->click();
    const std::int64_t evaluated = store.rs->key();
    const QDateTime start(QDate(2026, 9, 7), QTime(8, 30));
    const int grades3[] = {0, 1, 0, 2, 0, 1, 3, 0};
    for (int i = 0; i < 8; ++i) {
        clock.at = start.addDays(i * 4);
        control<QComboBox>(&main, "ComboBox3")->setCurrentIndex(grades3[i]);
        control<QPushButton>(&main, "PushButton4")->click();
    }
    clock.at = QDateTime();
    control<QPushButton>(&main, "PushButton5")->click();
    settle(&main);
    save(main.grab(), "main-walk");
    control<QPushButton>(&main, "PushButton3")->click();

    // A draw with a countdown, caught while the names still flash.
    control<QCheckBox>(&main, "stoponoff")->setChecked(true);
    control<QLineEdit>(&main, "stoptime")->setText(QStringLiteral("10"));
    control<QSlider>(&main, "Slider1")->setValue(20);
    control<QPushButton>(&main, "PushButton1")->click();
    QTest::qWait(2300);
    save(main.grab(), "main-draw");
    // The projector view while names flash by: drawn plain, not smoothed.
    room.openProjector();
    settle(room.projector());
    save(room.projector()->grab(), "projector-draw");
    room.projector()->close();
    control<QPushButton>(&main, "PushButton1")->click();
    settle(&main);

    // The classroom menu, over the window, where the teacher opened it.
    {
        QMenu *menu = room.menu();
        room.showMenu();
        settle(menu);
        QPixmap picture = main.grab();
        QPainter p(&picture);
        p.drawPixmap(main.mapFromGlobal(menu->pos()), menu->grab());
        p.end();
        save(picture, "classroom-menu");
        menu->close();
    }

    // The projector view, in both looks.
    room.openProjector();
    ProjectorView *view = room.projector();
    settle(view);
    view->setTheme(ProjectorView::Theme::Light);
    settle(view);
    save(view->grab(), "projector-light");
    view->setTheme(ProjectorView::Theme::Dark);
    settle(view);
    save(view->grab(), "projector-dark");
    view->setTheme(ProjectorView::Theme::Light);
    view->close();
    settle(&main);

    // The browser after a query, and the history of its first student.
    {
        BrowseDialog browser(store, services, main.gradeChoices(), main.classChoices(), &main);
        browser.show();
        choose(control<QComboBox>(&browser, "ComboBox1"), grades->currentText());
        choose(control<QComboBox>(&browser, "ComboBox2"), classes->currentText());
        control<QPushButton>(&browser, "PushButton1")->click();
        settle(&browser);
        save(browser.grab(), "browser");

        HistoryDialog history(store, services, evaluated, &browser);
        if (history.loaded()) {
            history.show();
            settle(&history);
            save(history.grab(), "history");
        }
    }
    // 点名统计 of the class after one more draw, with 不重复点名: of its four
    // students, one at least has never been called.
    {
        control<QCheckBox>(&main, "stoponoff")->setChecked(false);
        room.setFairDraw(true);
        clock.at = QDateTime(QDate(2026, 9, 28), QTime(9, 0));
        control<QPushButton>(&main, "PushButton1")->click();
        control<QPushButton>(&main, "PushButton1")->click();
        clock.at = QDateTime(QDate(2026, 9, 28), QTime(10, 0));
        const auto chosen = main.chosen();
        if (chosen) {
            CallOverviewDialog overview(store, services, settings, chosen->first, chosen->second,
                                        0, &main);
            overview.setPeriod(CallPeriod::All);
            overview.show();
            settle(&overview);
            save(overview.grab(), "call-overview");
        }
        clock.at = QDateTime();
    }

    // 备份与恢复, with the backup the import made and a daily one, each read.
    {
        const auto stamp = [&](int hoursAgo) {
            return clock.now().addSecs(-3600 * hoursAgo).toString(QStringLiteral("yyyyMMdd-HHmmss"));
        };
        store.opendb();
        for (const auto &[hoursAgo, kind] :
             {std::pair{0, store::BackupKind::Daily}, {2, store::BackupKind::BeforeRestore},
              {26, store::BackupKind::Daily}, {50, store::BackupKind::BeforeImport}})
            store::backupBeside(*store.conn, store::kDatabasePassword,
                                stamp(hoursAgo).toStdString(), kind);
        store.closeConn();
        // A file that only bears a backup's name.
        QFile other(QString::fromStdString(store.databasePath()) + QStringLiteral(".bak-")
                    + stamp(74));
        if (other.open(QIODevice::WriteOnly))
            other.write("notes");
        other.close();
        BackupWindow backups(store.databasePath(), services, room.restoreHooks(), &main);
        backups.show();
        if (!QTest::qWaitFor([&] { return backups.allRead(); }, 60000))
            std::fprintf(stderr, "the backups were not all read\n");
        settle(&backups);
        save(backups.grab(), "backups");
    }

    // 小窗 over the lesson's slides, where the teacher keeps it.
    {
        QWidget slides;
        slides.setWindowTitle(QStringLiteral("幻灯片"));
        slides.resize(960, 600);
        slides.show();
        settle(&slides);
        room.openMiniWindow();
        MiniWindow *mini = room.miniWindow();
        mini->move(slides.pos() + QPoint(slides.width() - mini->width() - 24, 24));
        settle(mini);
        QPixmap picture(slides.size());
        picture.fill(QColor(0x2b, 0x4c, 0x7e));
        QPainter p(&picture);
        p.setPen(Qt::white);
        p.setFont(chineseFont(28, true));
        p.drawText(QRect(60, 160, 840, 80), Qt::AlignLeft, QStringLiteral("第三章  函数的概念"));
        p.setFont(chineseFont(16));
        p.drawText(QRect(60, 260, 840, 200), Qt::AlignLeft | Qt::TextWordWrap,
                   QStringLiteral("• 函数的定义域与值域\n• 函数的表示法\n• 请一位同学回答：y = 2x + 1 的定义域是什么？"));
        p.drawPixmap(mini->pos() - slides.pos(), mini->grab());
        p.end();
        save(picture, "mini-window");
        room.closeMiniWindow();
    }

    // 学生名单 of the class chosen, a student selected.
    {
        const auto chosen = main.chosen();
        RosterDialog roster(store, services, chosen->first, chosen->second,
                            [&] { main.followRoster(); }, &main);
        roster.reload();
        control<QTableWidget>(&roster, "students")->selectRow(1);
        roster.show();
        settle(&roster);
        save(roster.grab(), "roster");
    }

    // 更新名单 of a roster of 高2013级 with a transfer student, one who left
    // and a row typed twice.
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("名单.csv"));
        QFile csv(path);
        csv.open(QIODevice::WriteOnly);
        csv.write("姓名,年级,班级\n林晓雨,高2013级,1班\n李浩然,高2013级,1班\n赵可欣,高2013级,1班\n"
                  "郑思齐,高2013级,1班\n李浩然,高2013级,1班\n周子航,高2013级,2班\n"
                  "张一诺,高2013级,2班\n黄嘉怡,高2013级,2班\n马欣怡,高2013级,2班\n");
        csv.close();
        RosterUpdateDialog update(store, services, [&] { main.followRoster(); }, &main);
        update.show();
        if (update.preview(path)) {
            settle(&update);
            save(update.grab(), "roster-update");
        }
    }

    // 升年级, with a few students of 初一 to 初三 beside the example roster.
    {
        const auto conn = store.openFresh();
        for (const char *grade : {"初一", "初二", "初三"})
            store::addStudent(*conn, std::string("新生") + grade, std::string(grade),
                              std::string("1班"));
        PromoteDialog promote(store, services, [&](const PromoteDialog::Renamed &r) {
            main.followRoster(r);
        }, &main);
        promote.reload();
        promote.show();
        settle(&promote);
        save(promote.grab(), "promote");
    }
    std::printf("%d pictures\n", written);
    return written == 16 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setFont(chineseFont(10.5));
    out = QDir(QString::fromLocal8Bit(argv[1]));
    if (!out.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    return run(QStringLiteral(QUORVEL_EXAMPLES));
}
