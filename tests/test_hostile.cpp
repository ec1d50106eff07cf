// Input that tries the program: workbooks made to upset the reader, students
// whose texts look like code, markup or formulas, database files that are not
// what they claim, and a long session at the fastest draw.

#include "exchange/browsedialog.h"
#include "exchange/importdialog.h"
#include "widgets/flexgrid.h"
#include "workbook/processworkbook.h"
#include "widgets/namelabel.h"
#include "tests/support/windowfixture.h"

#include <QFile>
#include <QProcess>
#include <QSlider>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <fstream>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::testing;

#if defined(__SANITIZE_ADDRESS__)
// Freed memory is held back for a while to find late uses; keep that small so
// that the resident size shows what the program itself keeps.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=4";
}
#endif

namespace {

const QString kFolder = QStringLiteral(QUORVEL_TEST_WORKBOOKS "/");

QByteArray fileBytes(const std::string &path)
{
    QFile f(QString::fromStdString(path));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList dump(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "SELECT \"姓名\", \"年级\", \"班级\" FROM student ORDER BY rowid");
    QStringList rows;
    while (st.step())
        rows << QString::fromStdString(store::displayText(st.column(0)) + "|"
                                       + store::displayText(st.column(1)) + "|"
                                       + store::displayText(st.column(2)));
    return rows;
}

// Resident size of this process, in KiB.
long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Keeps the sheet a workbook writer was given.
class RecordingWriter final : public WorkbookWriter {
public:
    void write(const QString &, const Sheet &sheet) override { sheets.push_back(sheet); }
    std::vector<Sheet> sheets;
};

StudentRow student(std::string name, std::string grade, std::string className)
{
    StudentRow r;
    r.name = std::move(name);
    r.grade = std::move(grade);
    r.className = std::move(className);
    return r;
}

} // namespace

class HostileTest : public QObject {
    Q_OBJECT

private slots:
    void hostileWorkbooks_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("added");
        QTest::newRow("csv renamed") << "renamed_csv.xls" << "导入失败：" << QStringList();
        QTest::newRow("cell of 32,767 characters")
            << "huge_cell.xls" << "导入失败：第3行有超过1000个字符的单元格" << QStringList();
        // The chart's own substream holds no student row.
        QTest::newRow("chart sheet first") << "chart_first.xls" << "导入了 0条数据" << QStringList();
        // A NUL ends a text (the reading library hands texts over as C
        // strings, and the other formats follow); tabs, newlines, emoji and
        // direction marks stay as they are.
        QTest::newRow("NUL, tabs, newlines, emoji")
            << "odd_characters.xls" << "导入了 3条数据"
            << QStringList{QStringLiteral("甲|高\t一|1\n班"), QStringLiteral("\t丙 \n|高一|1班"),
                           QStringLiteral("😀👩‍🏫𝌆|\u202e高一|1班")};
        // Found by fuzzing: FreeXL reads past a buffer on it. Under the
        // sanitizers the reader program dies of it, otherwise it refuses the
        // file; Quorvel tells the teacher either way.
        QTest::newRow("upsets FreeXL") << "freexl_crash_iconv.xls" << "导入失败：" << QStringList();
        for (const char *crash : {"freexl_crash_segv.xls", "freexl_crash_memcpy.xls"})
            QTest::newRow(crash) << crash << "导入失败：" << QStringList();
        // Also found by fuzzing: a sheet that claims 268,568,576 rows.
        const QString damaged = QStringLiteral("导入失败：工作簿已损坏，无法读取");
        QTest::newRow("more rows than a workbook holds")
            << "huge_dimensions.xls" << damaged << QStringList();
        QTest::newRow("65,536 rows") << "" << "导入了 65535条数据" << QStringList();
        // Zip packages: parts that unpack past 200 times their size (300 MB
        // from 300 KB) or past 256 MB, after some rows; an entity bomb; XML
        // 5,000 elements deep; sheets that claim or hold rows past 1,048,576;
        // and a run of comments, which do no harm.
        const QString tooLarge = QStringLiteral("导入失败：工作簿的内容解压后过大");
        QTest::newRow("zip bomb") << "zip_bomb.xlsx" << tooLarge << QStringList();
        QTest::newRow("part of 257 MB") << "bigpart" << tooLarge << QStringList();
        QTest::newRow("billion laughs") << "billion_laughs.xlsx" << damaged << QStringList();
        QTest::newRow("400 KB of comments")
            << "comments.xlsx" << "导入了 2条数据"
            << QStringList{QStringLiteral("甲2|高一|"), QStringLiteral("甲3|高一|")};
        QTest::newRow("nested 5,000 deep") << "deep_nesting.xlsx" << damaged << QStringList();
        QTest::newRow("dimension past the last row")
            << "dimension_past_end.xlsx" << damaged << QStringList();
        QTest::newRow(".xlsx row past the last") << "row_past_end.xlsx" << damaged << QStringList();
        QTest::newRow(".ods row past the last") << "row_past_end.ods" << damaged << QStringList();
    }

    // Through the real reader program: the teacher reads what happened (the
    // message begins as given), and the table holds exactly the old rows and
    // the rows read. The reader may take 256 MiB: one that took more would
    // be stopped with another message.
    void hostileWorkbooks()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        QFETCH(QStringList, added);
        WindowFixture f;
        ProcessWorkbookReader reader(QCoreApplication::applicationDirPath()
                                         + QStringLiteral("/quorvel-sheetreader"),
                                     ReaderLimits{20000, 120000, 256 * 1024});
        f.services.workbookReader = &reader;
        f.db.add(student("原有", "高一", "1班"));
        const QStringList before = dump(f.db);
        QTemporaryDir dir;
        QString path = kFolder + file;
        if (file.isEmpty()) {
            path = dir.filePath(QStringLiteral("large.xls"));
            QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                       {QStringLiteral(QUORVEL_SOURCE_DIR "/tests/make_workbooks.py"),
                                        QStringLiteral("large"), path, QStringLiteral("65535")}),
                     0);
        } else if (file == QLatin1String("bigpart")) {
            path = dir.filePath(QStringLiteral("bigpart.xlsx"));
            QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                       {QStringLiteral(QUORVEL_SOURCE_DIR "/tests/make_rosters.py"),
                                        QStringLiteral("bigpart"), path, QStringLiteral("257")}),
                     0);
        }
        QVERIFY(f.open());
        ImportDialog dialog(*f.store, f.services, [&] { f.window->loadlists(); }, f.window.get());
        // 是 to clearing where the import must fail: the table stays all the same.
        const bool fails = message.startsWith(QStringLiteral("导入失败"));
        f.messages.answers = {Answer::Yes, fails ? Answer::Yes : Answer::No};
        f.files.paths.push_back(path);
        dialog.importStudents();
        QVERIFY2(f.messages.lastText().startsWith(message), qPrintable(f.messages.lastText()));
        if (fails)
            QVERIFY(f.messages.lastText().endsWith(QStringLiteral("没有任何改动。")));
        const QStringList after = dump(f.db);
        if (file.isEmpty()) {
            QCOMPARE(after.size(), 65536);
            QCOMPARE(after.first(), before.first());
        } else {
            QCOMPARE(after, before + added);
        }
    }

    // A large sheet streams: when its first row reaches Quorvel, the reader
    // holds little more than that row, and has not read the rest (it waits
    // for Quorvel to take what it sent).
    void readerStreamsLargeSheets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow(".xlsx") << "large.xlsx";
        QTest::newRow(".ods") << "large.ods";
    }

    void readerStreamsLargeSheets()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QCOMPARE(QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                   {QStringLiteral(QUORVEL_SOURCE_DIR "/tests/make_rosters.py"),
                                    QStringLiteral("large"), path, QStringLiteral("200000")}),
                 0);
        QProcess reader;
        reader.start(QCoreApplication::applicationDirPath() + QStringLiteral("/quorvel-sheetreader"),
                     {path});
        QVERIFY(reader.waitForStarted());
        // The greeting, the row count, and the three title cells (two lines each).
        QByteArray sent;
        while (sent.count('\n') < 8 && reader.waitForReadyRead(60000))
            sent += reader.read(64);
        QVERIFY2(sent.startsWith("QVSHEET 1\nR "), sent.constData());
        QVERIFY(sent.contains("T 6\n姓名\n"));
        QTest::qWait(200);
        QCOMPARE(reader.state(), QProcess::Running);
        std::ifstream status("/proc/" + std::to_string(reader.processId()) + "/status");
        long peakKiB = -1;
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0)
                peakKiB = std::stol(line.substr(6));
        qInfo("reader's peak resident size at the first row: %ld KiB", peakKiB);
        QVERIFY(peakKiB > 0);
        QVERIFY2(peakKiB < 100 * 1024, qPrintable(QString::number(peakKiB)));
        reader.kill();
        reader.waitForFinished();
    }

    // A row an .ods repeats 2,000,000 times gives rows up to the last one a
    // sheet holds, then fails the reading.
    void repeatsEndAtTheLastRow()
    {
        ProcessWorkbookReader reader(QCoreApplication::applicationDirPath()
                                     + QStringLiteral("/quorvel-sheetreader"));
        auto sheet = reader.openFirstSheet((kFolder + "repeated_past_end.ods").toStdString());
        SheetRow row;
        int rows = 0;
        try {
            while (sheet->nextRow(row))
                ++rows;
            QFAIL("the reading ended without failing");
        } catch (const WorkbookError &e) {
            QCOMPARE(e.failure(), WorkbookFailure::Damaged);
        }
        QCOMPARE(rows, kMaxSheetRows);
        QCOMPARE(row[0].text, std::string("甲"));
    }

    // Texts that look like quotes, patterns, SQL, markup, formulas, several
    // lines, right-to-left writing or a book chapter go through both roll
    // calls, the evaluation, the browser and the export as they are, and no
    // window grows.
    void hostileNamesPassUnchanged()
    {
        const std::vector<std::string> texts{
            "O'Brien \"引号\"", "100%_x", "'); DROP TABLE student; --",
            "<b>粗</b><img src=x onerror=alert(1)>", "=HYPERLINK(\"http://x\")", "第一行\n第二行",
            "\u202eأحمد\u202c", std::string(10000, 'W')};
        const std::string grade = "高'\"%_<i>", className = "=1+1\n班";
        std::vector<StudentRow> rows;
        for (const auto &t : texts)
            rows.push_back(student(t, grade, className));
        rows.push_back(student("别班", grade, "1班"));

        WindowFixture f;
        RecordingWriter writer;
        f.services.workbookWriter = &writer;
        f.db.addMany(rows);
        QVERIFY(f.open());
        const QSize mainSize = f.window->size();
        QCOMPARE(f.window->gradeItems(), QStringList{QString::fromStdString(grade)});
        QCOMPARE(f.window->classItems(),
                 QStringList({QString::fromStdString(className), QStringLiteral("1班")}));
        f.choose(QString::fromStdString(grade), QString::fromStdString(className));

        // The walk, with an evaluation of every student.
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(2);
        f.click("PushButton3");
        for (std::size_t i = 0; i < texts.size(); ++i) {
            QCOMPARE(f.shownName(), QString::fromStdString(texts[i]));
            QCOMPARE(f.find<QLabel>("showname")->textFormat(), Qt::PlainText);
            f.click("PushButton4");
            QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
            f.click("PushButton5");
        }
        f.click("PushButton3");
        for (const auto &t : texts)
            QCOMPARE(f.db.value(t, "及格"), store::Value(std::int64_t{1}));

        // The draw, onto the last (longest) name.
        f.random.values = {0.99};
        f.click("PushButton1");
        f.window->drawTick();
        f.click("PushButton1");
        QCOMPARE(f.shownName(), QString::fromStdString(texts.back()));
        QCOMPARE(f.window->size(), mainSize);

        BrowseDialog browser(*f.store, f.services, f.window->gradeItems(), f.window->classItems(),
                             f.window.get());
        browser.show();
        const QSize browserSize = browser.size();
        auto *grades = browser.findChild<QComboBox *>(QStringLiteral("ComboBox1"));
        auto *classes = browser.findChild<QComboBox *>(QStringLiteral("ComboBox2"));
        grades->setCurrentIndex(0);
        classes->setCurrentIndex(0);
        QTest::mouseClick(browser.findChild<QPushButton *>(QStringLiteral("PushButton1")),
                          Qt::LeftButton);
        auto *grid = browser.findChild<FlexGrid *>(QStringLiteral("Grid1"));
        QCOMPARE(grid->Rows(), static_cast<int>(texts.size()) + 1);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const int r = static_cast<int>(i) + 1;
            QCOMPARE(grid->TextMatrix(r, 0), QString::fromStdString(texts[i]));
            QCOMPARE(grid->TextMatrix(r, 1), QString::fromStdString(grade));
            QCOMPARE(grid->TextMatrix(r, 2), QString::fromStdString(className));
        }
        QCOMPARE(browser.size(), browserSize);

        f.launcher.installed = {QStringLiteral("soffice")};
        QTest::mouseClick(browser.findChild<QPushButton *>(QStringLiteral("PushButton2")),
                          Qt::LeftButton);
        QCOMPARE(writer.sheets.size(), std::size_t{1});
        QStringList exported;
        for (const auto &cell : writer.sheets[0].cells)
            if (cell.column == 0)
                exported << cell.text;
        for (const auto &t : texts)
            QVERIFY(exported.contains(QString::fromStdString(t)));
        QCOMPARE(f.db.count(), static_cast<long>(rows.size()));
    }

    void hostileDatabaseFile_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("plain database, no key") << QByteArray("plain") << "不是数据库";
        QTest::newRow("keyed with another password") << QByteArray("otherkey") << "密码";
        QTest::newRow("cut after its first page") << QByteArray("firstpage") << "";
        QTest::newRow("cut in half") << QByteArray("half") << "";
        QTest::newRow("counters missing") << QByteArray("nocounters") << "优秀";
    }

    // xsdata.d replaced by something else: the start-up tells why it cannot
    // go on, and the file is never written to.
    void hostileDatabaseFile()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, reason);
        WindowFixture f;
        f.db.generate(3000, 30);
        const std::string path = f.db.path();
        if (kind == "half" || kind == "firstpage") {
            QFile file(QString::fromStdString(path));
            QVERIFY(file.resize(kind == "half" ? file.size() / 2 : 4096));
        } else if (kind == "nocounters") {
            auto conn = f.db.connect();
            conn->exec("DROP TABLE student");
            conn->exec("CREATE TABLE student (\"姓名\" TEXT, \"年级\" TEXT, \"班级\" TEXT)");
            conn->exec("INSERT INTO student VALUES ('甲', '高一', '1班')");
        } else {
            QFile::remove(QString::fromStdString(path));
            sqlite3 *db = nullptr;
            QCOMPARE(sqlite3_open(path.c_str(), &db), SQLITE_OK);
            if (kind == "otherkey")
                QCOMPARE(sqlite3_exec(db, "PRAGMA key = '另一个密码'", nullptr, nullptr, nullptr),
                         SQLITE_OK);
            QCOMPARE(sqlite3_exec(db,
                                  "CREATE TABLE student (\"姓名\" TEXT, \"年级\" TEXT, \"班级\" TEXT,"
                                  " \"优秀\" INT, \"良好\" INT, \"及格\" INT, \"不及格\" INT,"
                                  " \"倒扣学分\" INT); INSERT INTO student (\"姓名\") VALUES ('甲')",
                                  nullptr, nullptr, nullptr),
                     SQLITE_OK);
            sqlite3_close(db);
        }
        const QByteArray before = fileBytes(path);

        QVERIFY(!f.open());
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("无法打开数据库文件：")),
                 qPrintable(f.messages.lastText()));
        QVERIFY2(f.messages.lastText().contains(reason), qPrintable(f.messages.lastText()));
        QCOMPARE(fileBytes(path), before);
    }

    // Texts where the counters should be: they are shown as stored, the
    // evaluation of such a counter is refused, and nothing is overwritten.
    void textInTheCounters()
    {
        WindowFixture f;
        {
            auto conn = f.db.connect();
            conn->exec("DROP TABLE student");
            conn->exec("CREATE TABLE student (\"姓名\", \"年级\", \"班级\", \"优秀\" DEFAULT 0,"
                       " \"良好\" DEFAULT 0, \"及格\" DEFAULT 0, \"不及格\" DEFAULT 0,"
                       " \"倒扣学分\" DEFAULT 0)");
            conn->exec("INSERT INTO student VALUES ('甲', '高一', '1班', '很多', x'00ff', 1.5,"
                       " NULL, '<b>3</b>')");
        }
        QVERIFY(f.open());  // gives the file its class index
        const QByteArray before = fileBytes(f.db.path());
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");
        QCOMPARE(f.shownName(), QStringLiteral("甲"));
        QCOMPARE(f.panel(1), QStringLiteral("优秀：很多"));
        QCOMPARE(f.panel(5), QStringLiteral("倒扣学分：<b>3</b>"));
        for (int grade : {0, 1, 3}) {
            f.find<QComboBox>("ComboBox3")->setCurrentIndex(grade);
            f.click("PushButton4");
            QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")),
                     qPrintable(f.messages.lastText()));
        }
        QCOMPARE(fileBytes(f.db.path()), before);
    }

    // 10,000 ticks of the fastest draw with an evaluation every 500: after a
    // warm-up the resident size stays put. Each tick reads and shows one row;
    // anything a tick kept would add up to megabytes by the end, so a growth
    // of 3 MiB over the last 8,000 ticks (under 400 bytes a tick) fails.
    void longSessionKeepsItsMemory()
    {
        WindowFixture f;
        f.db.generate(600, 1);
        QVERIFY(f.open());
        f.choose(QStringLiteral("高2000级"), QStringLiteral("1班"));
        // The display keeps the names it has drawn, up to a bound: filling
        // it is not growth. Held small here, it is full before the warm-up ends.
        auto *display = f.find<NameLabel>("showname");
        display->setCacheBytes(256 * 1024);
        auto *slider = f.find<QSlider>("Slider1");
        slider->setValue(slider->maximum());
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(0);
        long warm = 0;
        int evaluations = 0;
        for (int tick = 1; tick <= 10000; ++tick) {
            if (tick % 500 == 1)
                f.click("PushButton1");
            f.random.values.push_back((tick % 97) / 97.0);
            f.window->drawTick();
            if (tick % 500 == 0) {
                f.click("PushButton1");
                f.click("PushButton4");
                QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
                ++evaluations;
            }
            if (tick % 100 == 0)
                QCoreApplication::processEvents();
            if (tick == 2000)
                warm = residentKiB();
        }
        const long grown = residentKiB() - warm;
        qInfo("resident size grew by %ld KiB over 8,000 ticks", grown);
        QVERIFY2(grown < 3 * 1024, qPrintable(QString::number(grown)));
        QVERIFY(display->cachedKiB() <= 256);
        QCOMPARE(evaluations, 20);
    }
};

QTEST_MAIN(HostileTest)
#include "test_hostile.moc"
