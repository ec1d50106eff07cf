// The export of the browser's grid into a workbook, read back with openpyxl,
// and the programs that open it.

#include "exchange/historydialog.h"
#include "platform/launcher.h"
#include "workbook/workbookwriter.h"
#include "tests/support/browserfixture.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

// Row by row, from row 1 to one row below the last: the values of A to H,
// and for A to I how each cell looks: "type font bold size alignment" and
// its left, right, top and bottom lines.
constexpr const char *kReadBack = R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
rows = [[c.value for c in r] for r in ws.iter_rows(min_row=1, max_row=ws.max_row, max_col=8)]
looks = [["%s %s %s %s %s %s,%s,%s,%s" % (c.data_type, c.font.name, bool(c.font.b), c.font.sz,
          c.alignment.horizontal, c.border.left.style, c.border.right.style, c.border.top.style,
          c.border.bottom.style) for c in r]
         for r in ws.iter_rows(min_row=1, max_row=len(rows) + 1, max_col=9)]
print(json.dumps({"rows": rows, "looks": looks, "merged": [str(r) for r in ws.merged_cells.ranges]}))
)";

struct Workbook {
    QJsonObject json;
    int rows() const { return int(json["rows"].toArray().size()); }
    // Texts as they are, numbers in their shortest digits.
    QStringList row(int r) const
    {
        QStringList values;
        for (const QJsonValue v : json["rows"].toArray()[r - 1].toArray())
            values << (v.isDouble() ? QString::number(v.toDouble(), 'g', 17) : v.toString());
        return values;
    }
    // "s" for a text, "n" for a number.
    QString kind(int r, int c) const { return look(r, c).section(u' ', 0, 0); }
    QString look(int r, int c) const { return json["looks"].toArray()[r - 1].toArray()[c].toString(); }
    // Every cell of A(first):H(last) holds text and is framed, without any other
    // format; nothing right of or below the block is.
    bool plainFramedBlock(int first, int last) const
    {
        for (int r = first; r <= last + 1; ++r)
            for (int c = 0; c < 9; ++c)
                if (look(r, c).endsWith(QStringLiteral("宋体 False 11.0 None thin,thin,thin,thin"))
                    != (r <= last && c < 8))
                    return false;
        return true;
    }
};

Workbook readBack(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(kReadBack), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        qFatal("openpyxl could not read %s: %s", qPrintable(path),
               python.readAllStandardError().constData());
    return {QJsonDocument::fromJson(python.readAllStandardOutput()).object()};
}

QStringList handedOver()
{
    return QDir(workbookFolder()).entryList(QDir::Files | QDir::Hidden);
}

const QStringList kHeader{"姓名", "年级", "班级", "优秀", "良好", "及格", "不及格", "倒扣学分"};

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init() { QDir(workbookFolder()).removeRecursively(); }
    void exportOpensNewDocument();
    void talliesAreNumbersWhereTheyAreNumbers();
    void savesWhereAskedOrReportsFailure();
    void suggestedNameFitsAFileName();
    void nameStoredByAnOlderToolReadsAlikeEverywhere();
    void failingSpreadsheetProgramOffersTheSaveDialog();
    void systemLauncherWatchesTheStart();
};

void TestExport::exportOpensNewDocument()
{
    // A trailing blank in the grade, and a name that looks like a formula.
    BrowserFixture e({{"=1+1", "高2023级 ", "3班", 7, 1, 0, 0, 1.5}, {"李四", "高2023级 ", "3班"},
                      {"王五", "高2023级 ", "3班"}, {"别班", "高2023级 ", "4班"}});
    e.launcher.installed = {QStringLiteral("soffice")};

    // The grid as loaded: a title of one blank, the header row, one empty row.
    e.press("PushButton2");
    QCOMPARE(e.launcher.started.size(), std::size_t{1});
    QCOMPARE(e.launcher.started[0].program, QStringLiteral("/usr/bin/soffice"));
    Workbook book = readBack(e.launcher.started[0].arguments.value(1));
    QCOMPARE(book.rows(), 3);
    QCOMPARE(book.row(1).first(), QStringLiteral(" "));
    QCOMPARE(book.row(2), kHeader);
    QCOMPARE(book.row(3), QStringList(8, QString()));
    QVERIFY(book.plainFramedBlock(2, 3));

    // A class, under the selection as it stands at the export.
    e.launcher.installed << QStringLiteral("libreoffice");
    e.query(QStringLiteral("高2023级 "), QStringLiteral("3班"));
    e.pick(QStringLiteral("高2023级 "), QStringLiteral("4班"));
    e.press("PushButton2");
    QVERIFY(e.messages.shown.empty());
    QCOMPARE(e.launcher.started.size(), std::size_t{2});
    const QStringList arguments = e.launcher.started[1].arguments;
    QCOMPARE(e.launcher.started[1].program, QStringLiteral("/usr/bin/libreoffice"));
    QCOMPARE(arguments.size(), 2);
    QCOMPARE(arguments[0], QStringLiteral("-n"));
    QVERIFY(arguments[1].startsWith(workbookFolder() + u'/'));
    QCOMPARE(handedOver().size(), 2);

    book = readBack(arguments[1]);
    QCOMPARE(book.json["merged"].toArray(), QJsonArray{"A1:H1"});
    QCOMPARE(book.row(1).first(), QStringLiteral("高2023级  4班"));
    QCOMPARE(book.look(1, 0), QStringLiteral("s 宋体 True 36.0 center None,None,None,thin"));
    for (int c = 1; c < 8; ++c)
        QVERIFY(book.look(1, c).endsWith(QLatin1String("None,None,None,thin")));
    QCOMPARE(book.rows(), 5);
    QCOMPARE(book.row(2), kHeader);
    QCOMPARE(book.row(3), QStringList({"=1+1", "高2023级 ", "3班", "7", "1", "0", "0", "1.5"}));
    QCOMPARE(book.row(5).first(), QStringLiteral("王五"));
    QVERIFY(book.plainFramedBlock(2, 5));
    // The header, names, grades and classes are text, the formula-like name
    // too; the tallies are numbers.
    for (int r = 2; r <= 5; ++r)
        for (int c = 0; c < 8; ++c)
            QCOMPARE(book.kind(r, c), QString(r > 2 && c >= 3 ? "n" : "s"));
}

void TestExport::talliesAreNumbersWhereTheyAreNumbers()
{
    // Digits in a name, grade and class stay the text they are; a tally that
    // is no plain number, or one a workbook cannot hold exactly, stays text.
    BrowserFixture e({{"001", "2023", "01", 12, 0, 3, 0, -2.25},
                      {"007", "2023", "01", 9007199254740993, 1, 0, 0, std::string("3分")}});
    e.launcher.installed = {QStringLiteral("libreoffice")};
    e.query(QStringLiteral("2023"), QStringLiteral("01"));
    e.press("PushButton2");
    QVERIFY2(e.messages.shown.empty(), qPrintable(e.messages.lastText()));
    const Workbook book = readBack(e.launcher.started.at(0).arguments.value(1));
    QCOMPARE(book.row(3), QStringList({"001", "2023", "01", "12", "0", "3", "0", "-2.25"}));
    QCOMPARE(book.row(4), QStringList({"007", "2023", "01", "9007199254740993", "1", "0", "0", "3分"}));
    const QString kinds[2] = {QStringLiteral("sssnnnnn"), QStringLiteral("ssssnnns")};
    for (int r = 3; r <= 4; ++r) {
        QString seen;
        for (int c = 0; c < 8; ++c)
            seen += book.kind(r, c);
        QCOMPARE(seen, kinds[r - 3]);
    }
}

void TestExport::nameStoredByAnOlderToolReadsAlikeEverywhere()
{
    // 张三 and 高一 as an older program stored them: GBK bytes in text columns.
    BrowserFixture e({}, [](store::Connection &conn) {
        conn.exec("INSERT INTO student (\"姓名\", \"年级\", \"班级\", \"优秀\")"
                  " VALUES (CAST(X'D5C5C8FD' AS TEXT), CAST(X'B8DFD2BB' AS TEXT), '1班', 2)");
    });
    e.choose(QStringLiteral("高一"), QStringLiteral("1班"));
    e.click("PushButton3");
    QCOMPARE(e.shownName(), QStringLiteral("张三"));

    e.reopen();
    e.query(QStringLiteral("高一"), QStringLiteral("1班"));
    QCOMPARE(e.row(1).mid(0, 4), QStringList({"张三", "高一", "1班", "2"}));
    HistoryDialog history(*e.store, e.services, 1);
    QCOMPARE(history.findChild<QLabel *>(QStringLiteral("studentName"))->text(),
             QStringLiteral("张三"));
    e.launcher.installed = {QStringLiteral("libreoffice")};
    e.press("PushButton2");
    const Workbook book = readBack(e.launcher.started.at(0).arguments.value(1));
    QCOMPARE(book.row(3).mid(0, 4), QStringList({"张三", "高一", "1班", "2"}));
}

void TestExport::suggestedNameFitsAFileName()
{
    // 10 bytes of grade and 1 + 4 × 100 of class: cut to what a name holds,
    // never inside a character.
    QString longClass = QStringLiteral("a");
    for (int i = 0; i < 100; ++i)
        longClass += QStringLiteral("😀");
    BrowserFixture e({{"甲", "高2023级", longClass.toStdString()}});
    e.query(QStringLiteral("高2023级"), longClass);
    e.press("PushButton2");
    QCOMPARE(e.files.savesAsked, 1);
    const QString suggested = QFileInfo(e.files.lastSuggested).fileName();
    QVERIFY2(suggested.toUtf8().size() <= 255, qPrintable(suggested));
    QVERIFY(suggested.isValidUtf16());
    QVERIFY2(suggested.startsWith(QStringLiteral("高2023级a😀😀")), qPrintable(suggested));
    QVERIFY(suggested.endsWith(e.clock.today().toString(QStringLiteral("yyyyMMdd"))
                               + QStringLiteral(".xlsx")));
    QVERIFY(suggested.toUtf8().size() > 255 - 4);
}

void TestExport::failingSpreadsheetProgramOffersTheSaveDialog()
{
    // LibreOffice is there but ends with an error; WPS 表格 opens the file.
    QTemporaryDir bin;
    const auto program = [&](const QString &name, const QString &body) {
        QFile script(bin.filePath(name));
        script.open(QIODevice::WriteOnly);
        script.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    };
    program(QStringLiteral("libreoffice"), QStringLiteral("exit 3"));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    BrowserFixture e({{"甲", "高一", "1班"}});
    QFile old(workbookFolder() + QStringLiteral("/评价数据-old.xlsx"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.setFileTime(e.clock.now().addDays(-2), QFileDevice::FileModificationTime);
    old.close();

    SystemLauncher launcher;
    e.services.launcher = &launcher;
    e.reopen();
    e.query(QStringLiteral("高一"), QStringLiteral("1班"));
    QTemporaryDir target;
    e.files.savePaths = {target.filePath(QStringLiteral("评价.xlsx"))};
    e.press("PushButton2");
    QTRY_COMPARE_WITH_TIMEOUT(e.files.savesAsked, 1, 15000);
    QCOMPARE(e.messages.shown.size(), std::size_t{2});
    const QString why = e.messages.shown[0].text;
    QVERIFY2(why.contains(QStringLiteral("libreoffice")) && why.contains(u'3'), qPrintable(why));
    QCOMPARE(e.messages.lastText(),
             QStringLiteral("评价数据已保存至：") + target.filePath(QStringLiteral("评价.xlsx")));
    QVERIFY(handedOver().isEmpty());  // neither the one that failed nor the day-old one

    const QString noted = bin.filePath(QStringLiteral("args"));
    program(QStringLiteral("et"), QStringLiteral("printf '%s\\n' \"$@\" > '%1'").arg(noted));
    e.press("PushButton2");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(noted), 15000);
    QTest::qWait(300);
    qputenv("PATH", path);
    QCOMPARE(e.files.savesAsked, 1);
    QFile args(noted);
    QVERIFY(args.open(QIODevice::ReadOnly));
    const QString opened = QString::fromUtf8(args.readAll()).trimmed();
    QVERIFY2(opened.startsWith(workbookFolder() + u'/'), qPrintable(opened));
    QCOMPARE(handedOver(), QStringList{QFileInfo(opened).fileName()});
}

void TestExport::savesWhereAskedOrReportsFailure()
{
    BrowserFixture e({{"甲", "高2023级", "3/班"}});
    e.query(QStringLiteral("高2023级"), QStringLiteral("3/班"));

    // No spreadsheet program: the teacher is asked; a cancel writes nothing.
    e.press("PushButton2");
    QCOMPARE(e.files.savesAsked, 1);
    const QString suggested = QFileInfo(e.files.lastSuggested).fileName();
    QVERIFY2(suggested.startsWith(QStringLiteral("高2023级3_班20")), qPrintable(suggested));
    QVERIFY(suggested.endsWith(QStringLiteral(".xlsx")));
    QVERIFY(e.messages.shown.empty());

    // Saved where asked; then a folder that is not there.
    QTemporaryDir target;
    const QString path = target.filePath(QStringLiteral("评价.xlsx"));
    e.files.savePaths = {path, target.filePath(QStringLiteral("没有/评价.xlsx"))};
    e.press("PushButton2");
    QCOMPARE(e.messages.lastText(), QStringLiteral("评价数据已保存至：") + path);
    QCOMPARE(e.messages.shown.back().style, MessageStyle::Information);
    QCOMPARE(readBack(path).row(3).first(), QStringLiteral("甲"));
    e.press("PushButton2");
    QVERIFY(e.messages.lastText().startsWith(QStringLiteral("导出失败：文件夹")));
    QCOMPARE(e.messages.shown.back().style, MessageStyle::Error);

    // The program cannot be started: the teacher is told why and asked where
    // to save instead; no workbook is left behind.
    e.launcher.installed = {QStringLiteral("libreoffice")};
    e.launcher.failure = QStringLiteral("无法启动libreoffice");
    e.press("PushButton2");
    QTRY_COMPARE(e.files.savesAsked, 4);
    QCOMPARE(e.messages.lastText(),
             QStringLiteral("无法在电子表格程序中打开评价数据：无法启动libreoffice\n"
                            "请选择评价数据的保存位置。"));
    QVERIFY(handedOver().isEmpty());

    // A write that fails leaves the file already there as it was.
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray before = saved.readAll();
    saved.close();
    Sheet tooLong{{}, {{0, 0, QString(40000, u'长'), {}, std::nullopt}}};
    QVERIFY_THROWS_EXCEPTION(WorkbookWriteError, XlsxWorkbookWriter().write(path, tooLong));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), before);
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"评价.xlsx"});
}

void TestExport::systemLauncherWatchesTheStart()
{
    // Stand-ins: one noting its arguments, one still running when the watch
    // ends, one ending with an error, one killed, one that cannot start.
    QTemporaryDir bin;
    const QString noted = bin.filePath(QStringLiteral("args"));
    const std::pair<const char *, QString> programs[] = {
        {"soffice", QStringLiteral("printf '%s\\n' \"$@\" > '%1.part' && /bin/mv '%1.part' '%1'")
                        .arg(noted)},
        {"stays", QStringLiteral("exec /bin/sleep 3")},
        {"fails", QStringLiteral("exit 4")},
        {"killed", QStringLiteral("kill -9 $$")},
    };
    for (const auto &[name, body] : programs) {
        QFile script(bin.filePath(QLatin1String(name)));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(("#!/bin/sh\n" + body + "\n").toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    }
    QFile broken(bin.filePath(QStringLiteral("broken")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("#!/nonexistent/interpreter\n");
    broken.close();
    broken.setPermissions(QFile::ReadOwner | QFile::ExeOwner);

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    SystemLauncher launcher(1500);
    const QString found =
        launcher.findProgram({QStringLiteral("libreoffice"), QStringLiteral("soffice")});
    const QString none = launcher.findProgram({QStringLiteral("libreoffice")});
    qputenv("PATH", path);
    QCOMPARE(found, bin.filePath(QStringLiteral("soffice")));
    QVERIFY(none.isEmpty());

    QStringList reports;
    for (const char *name : {"soffice", "stays", "fails", "killed", "broken"})
        launcher.start(bin.filePath(QLatin1String(name)),
                       {QStringLiteral("-n"), QStringLiteral("/tmp/工作簿 1.xlsx")},
                       [&reports, name](const QString &why) {
                           reports << QLatin1String(name) + u':' + why;
                       });
    QTRY_COMPARE(reports.size(), 3);
    QTest::qWait(2000);  // past the watch: the one still running has started
    reports.sort();
    QCOMPARE(reports, (QStringList{
                          "broken:无法启动broken（No such file or directory）",
                          "fails:fails启动后出错退出（返回值4）",
                          "killed:killed启动后意外终止（信号9）"}));
    QFile args(noted);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), QStringLiteral("-n\n/tmp/工作簿 1.xlsx\n"));
}

QTEST_MAIN(TestExport)
#include "test_export.moc"
