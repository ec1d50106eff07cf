// The daily backup, the window that lists and restores backups, and a damaged
// file caught at start-up. What the teacher is told, and what every file
// beside the database holds afterwards.

#include "rollcall/backupwindow.h"
#include "rollcall/dailysnapshot.h"
#include "store/backup.h"
#include "store/error.h"
#include "store/restore.h"
#include "store/schema.h"
#include "tests/support/fulldisk.h"
#include "tests/support/ink.h"
#include "tests/support/roomfixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTreeWidget>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

const QString kRecorded = QStringLiteral("评价记入成功！");
const std::string kKey(store::kDatabasePassword);

QStringList filesIn(const TempDatabase &db, const QString &pattern)
{
    return QDir(db.directory()).entryList({pattern}, QDir::Files | QDir::Hidden, QDir::Name);
}

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// The file with one page (of the table's, well inside the file) overwritten.
QByteArray damaged(QByteArray bytes)
{
    const qsizetype at = bytes.size() / 2;
    for (qsizetype i = 0; i < 64; ++i)
        bytes[at + i] = static_cast<char>(bytes[at + i] ^ 0x5a);
    return bytes;
}

// Starts the daily backup and waits for it; whether one was made.
bool makeDaily(DailySnapshot &snapshot, std::function<std::string()> awaitDamage = {})
{
    QSignalSpy made(&snapshot, &DailySnapshot::made);
    if (!snapshot.start(std::move(awaitDamage))
        || !QTest::qWaitFor([&] { return !snapshot.running(); }, 60000))
        qFatal("the daily backup did not end");
    return made.size() == 1;
}

// The main window with the classroom features, and the backup window.
struct RoomFixture : ClassroomWindowFixture {
    void evaluateFirst()
    {
        choose(QStringLiteral("高一"), QStringLiteral("1班"));
        click("PushButton3");
        find<QComboBox>("ComboBox3")->setCurrentIndex(0);
        click("PushButton4");
        click("PushButton3");
    }
    std::unique_ptr<BackupWindow> backups()
    {
        auto w = std::make_unique<BackupWindow>(db.path(), services, room->restoreHooks(),
                                                window.get());
        w->show();
        if (!QTest::qWaitFor([&] { return w->allRead(); }, 60000))
            qFatal("backups not read");
        return w;
    }
};

} // namespace

class BackupsTest : public QObject {
    Q_OBJECT

private slots:
    // However often Quorvel starts, one daily backup a day, and only on a day
    // after the file was written; the newest seven are kept apart from the
    // five made before imports, and a file Quorvel did not make is never
    // removed.
    void oneDailyBackupADayKeptApart()
    {
        TempDatabase db;
        db.add(pupil("A"));
        ManualClock clock;
        auto conn = db.connect();
        for (int i = 1; i <= 5; ++i)
            store::backupBeside(*conn, kKey, "2000010" + std::to_string(i) + "-000000");
        const QStringList beforeImports = filesIn(db, QStringLiteral("xsdata.d.bak-2*"));
        const QString foreign = QDir(db.directory()).filePath("xsdata.d.bak-daily-20000101-000000");
        writeBytes(foreign, "the teacher's own notes");

        QStringList made;
        for (int day = 0; day < 10; ++day) {
            clock.day = QDate(2026, 3, 2).addDays(day);
            for (int start = 0; start < 2; ++start) {
                DailySnapshot snapshot(db.path(), clock);
                QCOMPARE(makeDaily(snapshot), start == 0 && day != 4);
            }
            // Day 4 follows a day without writes: day 3's backup holds it.
            if (day != 3)
                db.connect()->exec("UPDATE student SET \"良好\" = \"良好\" + 1");
            QTest::qSleep(30);  // file times are kept to a few milliseconds
        }
        const QStringList daily = filesIn(db, QStringLiteral("xsdata.d.bak-daily-*"));
        QCOMPARE(daily.size(), 8);
        QCOMPARE(daily.first(), QStringLiteral("xsdata.d.bak-daily-20000101-000000"));
        QCOMPARE(daily.mid(1, 1), QStringList{"xsdata.d.bak-daily-20260304-100000"});
        QCOMPARE(daily.last(), QStringLiteral("xsdata.d.bak-daily-20260311-100000"));
        QCOMPARE(bytesOf(foreign), QByteArray("the teacher's own notes"));
        QCOMPARE(filesIn(db, QStringLiteral("xsdata.d.bak-2*")), beforeImports);
        // The newest holds what the file held at the start of its day.
        const auto newest = store::readBackup(QDir(db.directory()).filePath(daily.last()).toStdString(), kKey);
        QCOMPARE(newest.state, store::BackupContents::State::Sound);
        QCOMPARE(newest.evaluations, 8LL);
        QVERIFY(filesIn(db, QStringLiteral("*.part")).isEmpty());
    }

    // Evaluate, restore the day before: the evaluation is gone from the file
    // and from the window, and the backup made before restoring holds it. A
    // restore is refused while a draw runs or a walk is under way.
    void restoreRoundTrip()
    {
        RoomFixture f;
        f.db.addMany({pupil("A"), pupil("B")});
        {
            DailySnapshot yesterday(f.db.path(), f.clock);
            QVERIFY(makeDaily(yesterday));
        }
        f.clock.day = f.clock.day.addDays(1);
        QVERIFY(f.openRoom());
        f.evaluateFirst();
        QCOMPARE(f.messages.lastText(), kRecorded);
        QCOMPARE(f.db.value("A", "优秀"), store::Value(std::int64_t{1}));

        auto w = f.backups();
        QCOMPARE(w->rows(), 1);
        QCOMPARE(w->rowTexts(0), (QStringList{"2026-03-02 10:00:00", "每日", "2", "0", "完好"}));

        const auto refusedWhile = [&](const char *button, const QString &why) {
            f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
            f.click(button);
            f.messages.shown.clear();
            w->select(0);
            w->restoreSelected();
            QCOMPARE(f.messages.shown.size(), std::size_t{1});
            QVERIFY2(f.messages.lastText().startsWith(why), qPrintable(f.messages.lastText()));
            f.click(button);
            QCOMPARE(f.db.value("A", "优秀"), store::Value(std::int64_t{1}));
            QVERIFY(filesIn(f.db, QStringLiteral("*before-restore*")).isEmpty());
        };
        refusedWhile("PushButton1", QStringLiteral("正在随机点名"));
        refusedWhile("PushButton3", QStringLiteral("正在依次点名"));

        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");
        f.click("PushButton3");
        f.messages.answers = {Answer::Yes};
        QSignalSpy done(w.get(), &BackupWindow::restoreDone);
        w->restoreSelected();
        QVERIFY(done.wait(60000));
        QCOMPARE(done.first().first().toBool(), true);
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("已用 2026-03-02 10:00:00 的备份（每日）恢复数据库")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(f.db.value("A", "优秀"), store::Value(std::int64_t{0}));
        QVERIFY(QTest::qWaitFor([&] { return w->allRead(); }, 60000));
        QCOMPARE(w->rows(), 2);
        QCOMPARE(w->rowTexts(0), (QStringList{"2026-03-03 10:00:00", "恢复前", "2", "1", "完好"}));

        // The window reads the restored file: the called student and this
        // run's evaluations were the former file's.
        QCOMPARE(f.window->gradeItems(), QStringList{"高一"});
        QCOMPARE(f.window->undoableEvaluations(), std::size_t{0});
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("你还没进行任何形式的点名！"));
        f.evaluateFirst();
        QCOMPARE(f.messages.lastText(), kRecorded);
        QCOMPARE(f.db.value("A", "优秀"), store::Value(std::int64_t{1}));
    }

    // A page overwritten: caught at start-up before anything is written, and
    // the newest backup that passes the check offered (not a newer damaged
    // one, not a foreign file); the damaged file is kept byte for byte. In
    // the window those are listed as what they are.
    void damagedFileCaughtAtStart()
    {
        WindowFixture f;
        std::vector<StudentRow> rows;
        for (int i = 0; i < 400; ++i)
            rows.push_back(pupil("学生" + std::to_string(i)));
        f.db.addMany(rows);
        auto conn = f.db.connect();
        store::backupBeside(*conn, kKey, "20260301-080000", store::BackupKind::Daily);
        const QString newer = QString::fromStdString(
            store::backupBeside(*conn, kKey, "20260301-090000", store::BackupKind::BeforeImport));
        conn.reset();
        writeBytes(newer, damaged(bytesOf(newer)));
        writeBytes(QDir(f.db.directory()).filePath("xsdata.d.bak-20260301-100000"), "not ours");
        const QString path = QString::fromStdString(f.db.path());
        const QByteArray broken = damaged(bytesOf(path));
        writeBytes(path, broken);

        const auto startWithHook = [&] {
            f.store = std::make_unique<store::Store>(f.db.directoryPath());
            f.window = std::make_unique<MainWindow>(*f.store, f.services);
            DialogHooks hooks;
            hooks.restoreDamaged = [&](const QString &why) {
                return offerBackupForDamagedFile(f.db.path(), f.services, why);
            };
            f.window->setDialogHooks(hooks);
            return f.window->load();
        };
        // No: Quorvel ends, and the file is as it was.
        f.messages.answers = {Answer::No};
        QVERIFY(!startWithHook());
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        const QString told = f.messages.lastText();
        QVERIFY2(told.startsWith(QStringLiteral("数据库文件已损坏：") + path), qPrintable(told));
        QVERIFY2(told.contains(QStringLiteral("2026-03-01 08:00:00 的备份（每日，400名学生")), qPrintable(told));
        QCOMPARE(bytesOf(path), broken);

        f.messages.answers = {Answer::Yes};
        QVERIFY(startWithHook());
        QCOMPARE(f.db.count(), 400L);
        QCOMPARE(f.window->gradeItems(), QStringList{"高一"});
        const QStringList kept = filesIn(f.db, QStringLiteral("xsdata.d.bak-before-restore-*"));
        QCOMPARE(kept.size(), 1);
        QCOMPARE(bytesOf(QDir(f.db.directory()).filePath(kept[0])), broken);

        BackupWindow w(f.db.path(), f.services, {});
        w.show();
        QVERIFY(QTest::qWaitFor([&] { return w.allRead(); }, 60000));
        QCOMPARE(w.rows(), 4);
        QCOMPARE(w.rowTexts(0).mid(1), (QStringList{"恢复前", "—", "—", "已损坏"}));
        QCOMPARE(w.rowTexts(1).mid(1), (QStringList{"导入前", "—", "—", "无法识别"}));
        QCOMPARE(w.rowTexts(2).mid(1), (QStringList{"导入前", "—", "—", "已损坏"}));
        QCOMPARE(w.rowTexts(3).mid(1), (QStringList{"每日", "400", "0", "完好"}));
        // The teacher sees them: the rows are drawn, the unusable ones in red.
        auto *list = w.findChild<QTreeWidget *>(QStringLiteral("backupList"));
        const QImage shown = list->viewport()->grab().toImage();
        const Ink ink = inkOf(shown);
        QVERIFY(ink.box.height() > 3 * list->visualItemRect(list->topLevelItem(0)).height());
        int red = 0;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QColor c = shown.pixelColor(x, y);
                red += c.red() > 120 && c.green() < 80 && c.blue() < 100;
            }
        QVERIFY2(red > 50, qPrintable(QString::number(red)));
        // A damaged backup is never restored.
        w.select(0);
        w.restoreSelected();
        QCOMPARE(f.messages.lastText(), QStringLiteral("这份备份已损坏，不能用来恢复。"));

        // Without a sound backup: where the backups are, and the end.
        for (const QString &name : filesIn(f.db, QStringLiteral("xsdata.d.bak-daily-*")))
            QVERIFY(QFile::remove(QDir(f.db.directory()).filePath(name)));
        writeBytes(path, broken);
        f.messages.shown.clear();
        QVERIFY(!startWithHook());
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QVERIFY2(f.messages.lastText().contains(QStringLiteral("没有找到完好的备份。备份文件保存在数据库所在的文件夹：")
                                                + QDir::toNativeSeparators(f.db.directory())),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(bytesOf(path), broken);
    }

    // In the program the check runs once the window is up, on the connection
    // opened in advance: the lists come from the file, nothing is written to
    // it meanwhile (a roll call waits for the verdict and is refused), the
    // daily backup never copies it, and the newest sound backup is offered.
    void damagedFileCaughtOnceTheWindowIsUp()
    {
        RoomFixture f;
        f.db.addMany({pupil("A"), pupil("B")});
        {
            auto conn = f.db.connect();
            store::backupBeside(*conn, kKey, "20260301-080000", store::BackupKind::Daily);
            // Pages the lists never read, at the end of the file.
            conn->exec("CREATE TABLE filler(b BLOB); INSERT INTO filler VALUES (randomblob(200000))");
        }
        const QString path = QString::fromStdString(f.db.path());
        QByteArray broken = bytesOf(path);
        for (qsizetype i = broken.size() - 50000; i < broken.size() - 49900; ++i)
            broken[i] = static_cast<char>(broken[i] ^ 0x5a);
        writeBytes(path, broken);

        f.store = std::make_unique<store::Store>(f.db.directoryPath());
        f.store->openInAdvance();
        f.window = std::make_unique<MainWindow>(*f.store, f.services);
        f.room = std::make_unique<Classroom>(*f.window, *f.store, f.services, f.speech, f.settings);
        QVERIFY(f.window->load());
        QCOMPARE(f.window->gradeItems(), QStringList{"高一"});
        f.store->checkInBackground();
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：未通过数据库引擎的完整性检查")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(bytesOf(path), broken);

        DailySnapshot snapshot(f.db.path(), f.clock);
        bool restored = false;
        connect(&snapshot, &DailySnapshot::damaged, this, [&](const QString &found) {
            restored = restoreDamagedWhileShown(*f.store, f.services, f.room->restoreHooks(), found);
        });
        f.messages.answers = {Answer::Yes};
        QVERIFY(!makeDaily(snapshot, f.store->awaitDamage()));
        QVERIFY(restored);
        QVERIFY2(f.messages.shown[1].text.contains(QStringLiteral("2026-03-01 08:00:00 的备份（每日，2名学生")),
                 qPrintable(f.messages.shown[1].text));
        QCOMPARE(filesIn(f.db, QStringLiteral("xsdata.d.bak-daily-*")),
                 QStringList{"xsdata.d.bak-daily-20260301-080000"});
        const QStringList kept = filesIn(f.db, QStringLiteral("xsdata.d.bak-before-restore-*"));
        QCOMPARE(kept.size(), 1);
        QCOMPARE(bytesOf(QDir(f.db.directory()).filePath(kept[0])), broken);
        QCOMPARE(f.store->damageFound(), std::string());
        f.evaluateFirst();
        QCOMPARE(f.messages.lastText(), kRecorded);
    }

    // A daily backup that finds the disk full is said once in the status bar,
    // leaves nothing behind, and the evaluation goes on.
    void fullDiskDoesNotStopTheEvaluation()
    {
        WindowFixture f;
        f.db.add(pupil("A"));
        QVERIFY(f.open());
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(0);
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), kRecorded);
        // Pages written after the student's and the log's: the file grows,
        // what an evaluation writes stays at its start.
        f.db.connect()->exec("CREATE TABLE filler(b BLOB); INSERT INTO filler VALUES (zeroblob(1000000))");
        const qint64 size = QFileInfo(QString::fromStdString(f.db.path())).size();

        DailySnapshot snapshot(f.db.path(), f.clock);
        snapshot.reportFailuresIn(f.window->statusBar());
        QSignalSpy failed(&snapshot, &DailySnapshot::failed);
        f.messages.shown.clear();
        {
            FullDisk full(static_cast<rlim_t>(size / 2));
            QVERIFY(!makeDaily(snapshot));
            QCOMPARE(failed.size(), 1);
            f.click("PushButton4");
        }
        QCOMPARE(f.messages.lastText(), kRecorded);
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.db.value("A", "优秀"), store::Value(std::int64_t{2}));
        QVERIFY(filesIn(f.db, QStringLiteral("xsdata.d.bak*")).isEmpty());
        const QString said = f.window->statusBar()->toolTip();
        QVERIFY2(said.contains(QStringLiteral("磁盘已满")), qPrintable(said));
        // The message gave way to the tallies; the tooltip keeps it.
        QCOMPARE(f.window->statusBar()->currentMessage(), QString());
        QCOMPARE(f.panel(1), QStringLiteral("优秀：2"));
    }
};

QTEST_MAIN(BackupsTest)
#include "test_backups.moc"
