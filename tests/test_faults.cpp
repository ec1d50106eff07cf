// Faults from outside the program: Quorvel killed in the middle of a write, a
// full disk, a file or folder that cannot be written, and a second copy of the
// program on the same file. Whatever happens, the file holds either what it
// held before or the finished change, and stays sound.
//
// The killed runs are this program itself started again as a child:
//   test_faults --child import DIR STOP     imports generated rows after a 是 to clearing
//   test_faults --child evaluate DIR        evaluates the first student of 高一 1班 again and again
// The child writes a line at each step; with STOP it waits at that step to be killed.

#include "exchange/importdialog.h"
#include "workbook/workbookreader.h"
#include "store/backup.h"
#include "store/error.h"
#include "store/schema.h"
#include "tests/support/fulldisk.h"
#include "tests/support/permissions.h"
#include "tests/support/windowfixture.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

constexpr int kImportRows = 4000;
const QString kRecorded = QStringLiteral("评价记入成功！");

// Every row of the table, its eight columns, in the order stored.
QStringList dump(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "SELECT \"姓名\", \"年级\", \"班级\", \"优秀\", \"良好\", \"及格\","
                               " \"不及格\", \"倒扣学分\" FROM student ORDER BY rowid");
    QStringList rows;
    while (st.step()) {
        QStringList fields;
        for (int c = 0; c < st.columnCount(); ++c)
            fields << QString::fromStdString(store::displayText(st.column(c)));
        rows << fields.join(u'|');
    }
    return rows;
}

QString integrity(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "PRAGMA integrity_check");
    return st.step() ? QString::fromStdString(store::displayText(st.column(0))) : QString();
}

QByteArray fileBytes(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void mark(const char *step, const QString &stopAt = {})
{
    std::printf("%s\n", step);
    std::fflush(stdout);
    if (stopAt == QLatin1String(step))
        for (;;)
            ::pause();
}

// A worksheet of generated students: row 1 the titles, then n students over
// eight classes. onRow(r) runs before row r is handed out, with r = n + 2 once
// every row is out.
class GeneratedReader final : public WorkbookReader {
public:
    GeneratedReader(int rows, std::function<void(int)> onRow)
        : rows_(rows), onRow_(std::move(onRow))
    {
    }
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &) override
    {
        struct Sheet final : Worksheet {
            int rows, next = 1;
            std::function<void(int)> onRow;
            int usedRows() override { return rows + 1; }
            bool nextRow(SheetRow &row) override
            {
                if (onRow)
                    onRow(next);
                if (next > rows + 1)
                    return false;
                const std::string n = std::to_string(next);
                row = {Cell::ofText("学生" + n), Cell::ofText("高2020级"),
                       Cell::ofText(std::to_string(next % 8) + "班")};
                ++next;
                return true;
            }
        };
        auto sheet = std::make_unique<Sheet>();
        sheet->rows = rows_;
        sheet->onRow = onRow_;
        return sheet;
    }

private:
    int rows_;
    std::function<void(int)> onRow_;
};

// The table after a finished import of generated rows.
QStringList importedDump()
{
    QStringList rows;
    for (int r = 2; r <= kImportRows + 1; ++r)
        rows << QStringLiteral("学生%1|高2020级|%2班|0|0|0|0|0").arg(r).arg(r % 8);
    return rows;
}

// The child's services: nothing blocks, every question is answered 是.
struct ChildServices {
    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    ManualClock clock;
    ScriptedRandom random;
    ScriptedLauncher launcher;
};

int childImport(const QString &dir, const QString &stopAt)
{
    ChildServices c;
    GeneratedReader reader(kImportRows, [&](int r) {
        if (r == 2)
            mark("first", stopAt);
        else if (r == kImportRows / 2)
            mark("half", stopAt);
        else if (r == kImportRows + 2)
            mark("end", stopAt);
    });
    Services services{c.messages, c.files, c.clock, c.random, dir, &reader, nullptr, &c.launcher};
    c.files.paths.push_back(QStringLiteral("students.xls"));
    c.messages.onShow = [&](const ScriptedMessageBox::Shown &s) {
        if (s.style == MessageStyle::Information)
            mark("shown", stopAt);
        else if (s.style == MessageStyle::Error)
            std::printf("error %s\n", qPrintable(s.text));
    };
    store::Store store(dir.toStdString());
    ImportDialog dialog(store, services, [] {});
    dialog.importStudents();
    return 0;
}

int childEvaluate(const QString &dir)
{
    ChildServices c;
    Services services{c.messages, c.files, c.clock, c.random, dir, nullptr, nullptr, &c.launcher};
    c.messages.onShow = [](const ScriptedMessageBox::Shown &s) {
        mark(s.text == kRecorded ? "recorded" : "refused");
    };
    store::Store store(dir.toStdString());
    MainWindow window(store, services);
    if (!window.load())
        return 1;
    auto *grades = window.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
    auto *classes = window.findChild<QComboBox *>(QStringLiteral("ComboBox2"));
    grades->setCurrentIndex(grades->findText(QStringLiteral("高一")));
    classes->setCurrentIndex(classes->findText(QStringLiteral("1班")));
    window.findChild<QPushButton *>(QStringLiteral("PushButton3"))->click();
    window.findChild<QComboBox *>(QStringLiteral("ComboBox3"))->setCurrentIndex(0);
    auto *evaluate = window.findChild<QPushButton *>(QStringLiteral("PushButton4"));
    for (;;)
        evaluate->click();
}

// Starts the child, waits for its line `step`, lets it run delayUs more, and
// kills it. Returns everything it wrote.
QByteArray killChildAt(const QStringList &arguments, const QByteArray &step, int delayUs)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList{"--child"} + arguments);
    if (!child.waitForStarted(10000))
        return "<no start>";
    QByteArray out;
    while (!out.contains("\n" + step + "\n") && !out.startsWith(step + "\n")) {
        if (!child.waitForReadyRead(60000))
            return out + "<silent>";
        out += child.readAllStandardOutput();
    }
    if (delayUs > 0)
        ::usleep(static_cast<useconds_t>(delayUs));
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    child.waitForFinished(10000);
    return out + child.readAllStandardOutput();
}

// Starts the child and kills it the moment a file whose name starts with
// prefix appears in dir. Returns what it wrote.
QByteArray killChildOnNewFile(const QStringList &arguments, const QString &dir,
                              const QByteArray &prefix)
{
    const int watch = ::inotify_init1(IN_CLOEXEC);
    if (watch < 0 || ::inotify_add_watch(watch, QFile::encodeName(dir).constData(), IN_CREATE) < 0)
        return "<no inotify>";
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), QStringList{"--child"} + arguments);
    QByteArray out = child.waitForStarted(10000) ? QByteArray() : QByteArray("<no start>");
    for (bool seen = false; !seen && out.isEmpty();) {
        pollfd ready{watch, POLLIN, 0};
        if (::poll(&ready, 1, 60000) != 1) {
            out = "<no file>";
            break;
        }
        alignas(inotify_event) char events[4096];
        const ssize_t n = ::read(watch, events, sizeof events);
        for (ssize_t at = 0; at < n;) {
            const auto *e = reinterpret_cast<const inotify_event *>(events + at);
            if (e->len && QByteArray(e->name).startsWith(prefix))
                seen = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
    child.waitForFinished(10000);
    ::close(watch);
    return out + child.readAllStandardOutput();
}

StudentRow student(const std::string &name, const std::string &grade = "高一",
                   const std::string &className = "1班")
{
    StudentRow r;
    r.name = name;
    r.grade = grade;
    r.className = className;
    r.good = 3;
    return r;
}

} // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void importKilledPartWay_data()
    {
        QTest::addColumn<QByteArray>("step");
        QTest::addColumn<int>("delayUs");
        QTest::addColumn<int>("expected");  // 0 old table, 1 new table, 2 either
        QTest::newRow("before the first row") << QByteArray("first") << 0 << 0;
        QTest::newRow("half-way") << QByteArray("half") << 0 << 0;
        QTest::newRow("at the commit") << QByteArray("end") << 0 << 2;
        QTest::newRow("during the commit, 1 ms") << QByteArray("end") << 1000 << 2;
        QTest::newRow("during the commit, 5 ms") << QByteArray("end") << 5000 << 2;
        QTest::newRow("during the commit, 20 ms") << QByteArray("end") << 20000 << 2;
        QTest::newRow("after the closing message") << QByteArray("shown") << 0 << 1;
    }

    // SIGKILL at any point of an import that clears the table first: the
    // file holds exactly the old table or exactly the new one, and is sound.
    void importKilledPartWay()
    {
        QFETCH(QByteArray, step);
        QFETCH(int, delayUs);
        QFETCH(int, expected);
        TempDatabase db;
        db.generate(600, 12);
        const QStringList before = dump(db);

        const bool waits = delayUs == 0 && step != "end";
        const QByteArray out = killChildAt(
            {"import", db.directory(), waits ? QString::fromLatin1(step) : QString()}, step,
            delayUs);
        QVERIFY2(!out.contains("<") && !out.contains("error"), out.constData());

        QCOMPARE(integrity(db), QStringLiteral("ok"));
        const QStringList after = dump(db);
        const bool old = after == before, fresh = after == importedDump();
        QVERIFY2(old || fresh, qPrintable(QStringLiteral("%1 rows").arg(after.size())));
        qInfo("%s", old ? "old table" : "new table");
        if (expected == 0)
            QVERIFY(old);
        if (expected == 1)
            QVERIFY(fresh);
        // The program starts on the file as usual.
        WindowFixture f;
        QFile::remove(QString::fromStdString(f.db.path()));
        QVERIFY(QFile::copy(QString::fromStdString(db.path()), QString::fromStdString(f.db.path())));
        QVERIFY(f.open());
    }

    // SIGKILL the moment the backup before a clearing import is begun: what
    // is left never passes for a backup, and the next backup clears it away.
    void backupKilledPartWay()
    {
        TempDatabase db;
        db.generate(5000, 20);
        const QStringList before = dump(db);
        const QDir dir(db.directory());
        const QByteArray out =
            killChildOnNewFile({"import", db.directory(), QString()}, db.directory(), "xsdata.d.bak");
        QVERIFY2(!out.contains("<"), out.constData());
        QCOMPARE(dump(db), before);

        const QRegularExpression backupName(QStringLiteral("^xsdata\\.d\\.bak-\\d{8}-\\d{6}$"));
        const auto backups = [&] {
            return dir.entryList(QDir::Files | QDir::Hidden, QDir::Name).filter(backupName);
        };
        const auto sound = [&](const QString &name) {
            try {
                auto copy = store::Connection::open(dir.filePath(name).toStdString(),
                                                    store::kDatabasePassword);
                store::verifySchema(*copy);
                store::Statement check(*copy, "PRAGMA quick_check");
                return check.step() && check.column(0) == store::Value(std::string("ok"));
            } catch (const store::DbError &) {
                return false;
            }
        };
        qInfo("left beside the file: %s",
              qPrintable(dir.entryList({QStringLiteral("xsdata.d.bak*")}, QDir::Files).join(u' ')));
        for (const QString &name : backups())
            QVERIFY2(sound(name), qPrintable(name + QStringLiteral(" does not open")));

        // Five backups later only the five are there, each sound.
        auto conn = db.connect();
        for (int i = 1; i <= 5; ++i)
            store::backupBeside(*conn, store::kDatabasePassword,
                                "2099010" + std::to_string(i) + "-000000");
        store::removeOldBackups(db.path());
        QCOMPARE(backups().size(), 5);
        QCOMPARE(dir.entryList({QStringLiteral("xsdata.d.bak*")}, QDir::Files | QDir::Hidden),
                 backups());
        for (const QString &name : backups())
            QVERIFY(sound(name));
    }

    // SIGKILL while evaluations are being recorded: every evaluation the
    // teacher was told of is in the file, at most one more (killed between its
    // write and its message), and nothing else changed.
    void evaluationKilledPartWay()
    {
        TempDatabase db;
        db.addMany({student("A"), student("B"), student("C", "高二")});
        const QStringList before = dump(db);
        for (int delay : {0, 700, 3000, 11000}) {
            const QByteArray out = killChildAt({"evaluate", db.directory()}, "recorded", delay);
            QVERIFY2(!out.contains("<") && !out.contains("refused"), out.constData());
            const auto told = out.count("recorded\n");
            QCOMPARE(integrity(db), QStringLiteral("ok"));
            const auto excellent = std::get<std::int64_t>(db.value("A", "优秀"));
            QVERIFY2(excellent == told || excellent == told + 1,
                     qPrintable(QStringLiteral("%1 told, %2 stored").arg(told).arg(excellent)));
            // Only A's 优秀 moves; reset it for the next round.
            db.connect()->exec("UPDATE student SET \"优秀\" = 0");
            QCOMPARE(dump(db), before);
        }
    }

    void cannotWrite_data()
    {
        QTest::addColumn<QByteArray>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("full disk") << QByteArray("full") << "磁盘已满";
        QTest::newRow("read-only file") << QByteArray("file") << "数据库文件是只读的";
        QTest::newRow("read-only folder") << QByteArray("folder") << "数据库所在的文件夹不可写入";
    }

    // A disk that is full, a file or a folder that cannot be written: the
    // program starts and reads, the evaluation and the import each say why
    // they failed, and the file keeps every byte.
    void cannotWrite()
    {
        QFETCH(QByteArray, fault);
        QFETCH(QString, reason);
        struct Fixture : WindowFixture {
            GeneratedReader reader{kImportRows, {}};
            Fixture() { services.workbookReader = &reader; }
        } f;
        f.db.generate(300, 3);
        f.db.add(student("甲"));
        const QByteArray before = fileBytes(f.db.path());
        const QString file = QString::fromStdString(f.db.path());
        const QFileDevice::Permissions permissions = QFile::permissions(file);
        const QFileDevice::Permissions folderPermissions = QFile::permissions(f.db.directory());

        PermissionsApply apply;
        if (!apply.active())
            QSKIP("file permissions cannot be made to apply");
        std::unique_ptr<FullDisk> full;
        if (fault == "full")
            full = std::make_unique<FullDisk>(1024);
        else if (fault == "file")
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadUser);
        else
            QFile::setPermissions(f.db.directory(), QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                                        | QFileDevice::ReadUser | QFileDevice::ExeUser);

        QVERIFY(f.open());
        QCOMPARE(f.messages.shown.size(), std::size_t{0});
        f.choose("高一", "1班");
        f.click("PushButton3");
        QCOMPARE(f.shownName(), QStringLiteral("甲"));
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(0);
        f.click("PushButton4");
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：") + reason),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：0"));

        ImportDialog dialog(*f.store, f.services, [&] { f.window->loadlists(); });
        f.messages.answers = {Answer::Yes, Answer::Yes};
        f.files.paths.push_back(QStringLiteral("students.xls"));
        dialog.importStudents();
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("导入失败：") + reason),
                 qPrintable(f.messages.lastText()));
        QVERIFY(f.messages.lastText().endsWith(QStringLiteral("数据库中的原有数据没有任何改动。")));

        full.reset();
        QFile::setPermissions(f.db.directory(), folderPermissions);
        QFile::setPermissions(file, permissions);
        QCOMPARE(fileBytes(f.db.path()), before);
        QCOMPARE(integrity(f.db), QStringLiteral("ok"));
    }

    // Two copies of the program walk to the same student and take turns
    // evaluating. Every press counts on top of the other copy's, and neither
    // overwrites the other.
    void twoCopiesTakeTurns()
    {
        WindowFixture a;
        a.db.addMany({student("A"), student("B")});
        QVERIFY(a.open());
        store::Store storeB(a.db.directoryPath());
        struct SecondCopy {
            ScriptedMessageBox messages;
            ScriptedFileDialog files;
            ManualClock clock;
            ScriptedRandom random;
        } b;
        Services sb{b.messages, b.files, b.clock, b.random, a.db.directory(), nullptr, nullptr,
                    nullptr};
        MainWindow windowB(storeB, sb);
        QVERIFY(windowB.load());
        for (MainWindow *w : {a.window.get(), &windowB}) {
            auto *grades = w->findChild<QComboBox *>(QStringLiteral("ComboBox1"));
            auto *classes = w->findChild<QComboBox *>(QStringLiteral("ComboBox2"));
            grades->setCurrentIndex(grades->findText(QStringLiteral("高一")));
            classes->setCurrentIndex(classes->findText(QStringLiteral("1班")));
            w->findChild<QPushButton *>(QStringLiteral("PushButton3"))->click();
            w->findChild<QComboBox *>(QStringLiteral("ComboBox3"))->setCurrentIndex(1);
        }
        int counted = 0;
        for (int turn = 0; turn < 6; ++turn) {
            MainWindow *w = turn % 2 ? &windowB : a.window.get();
            ScriptedMessageBox &m = turn % 2 ? b.messages : a.messages;
            w->findChild<QPushButton *>(QStringLiteral("PushButton4"))->click();
            QCOMPARE(m.lastText(), kRecorded);
            ++counted;
            QCOMPARE(std::get<std::int64_t>(a.db.value("A", "良好")), 3 + counted);
        }
        QCOMPARE(std::get<std::int64_t>(a.db.value("B", "良好")), 3);
    }
};

int main(int argc, char *argv[])
{
    if (argc >= 4 && QByteArray(argv[1]) == "--child") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        const QString dir = QString::fromLocal8Bit(argv[3]);
        if (QByteArray(argv[2]) == "import")
            return childImport(dir, argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString());
        return childEvaluate(dir);
    }
    QApplication app(argc, argv);
    FaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_faults.moc"
