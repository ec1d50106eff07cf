// The export of the browser's grid into a workbook, read back with openpyxl,
// and the programs that open it.

#include "platform/launcher.h"
#include "platform/workbookwriter.h"
#include "tests/support/browserfixture.h"

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
    QStringList row(int r) const
    {
        QStringList values;
        for (const QJsonValue v : json["rows"].toArray()[r - 1].toArray())
            values << v.toString();
        return values;
    }
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
    void savesWhereAskedOrReportsFailure();
    void systemLauncherStartsDetached();
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
    // Every value is text, the formula-like name too.
    for (int r = 2; r <= 5; ++r)
        for (int c = 0; c < 8; ++c)
            QVERIFY(book.look(r, c).startsWith(QLatin1String("s ")));
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

    // The program cannot be started: no workbook is left behind.
    e.launcher.installed = {QStringLiteral("libreoffice")};
    e.launcher.failure = QStringLiteral("无法启动libreoffice");
    e.press("PushButton2");
    QCOMPARE(e.messages.lastText(), QStringLiteral("导出失败：无法启动libreoffice"));
    QVERIFY(handedOver().isEmpty());

    // A write that fails leaves the file already there as it was.
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray before = saved.readAll();
    saved.close();
    Sheet tooLong{{}, {{0, 0, QString(40000, u'长'), {}}}};
    QVERIFY_THROWS_EXCEPTION(WorkbookWriteError, XlsxWorkbookWriter().write(path, tooLong));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), before);
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"评价.xlsx"});
}

void TestExport::systemLauncherStartsDetached()
{
    // A stand-in "soffice" alone on the PATH, noting its arguments.
    QTemporaryDir bin;
    const QString noted = bin.filePath(QStringLiteral("args"));
    QFile script(bin.filePath(QStringLiteral("soffice")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' &&"
                                " /bin/mv '%1.part' '%1'\n")
                     .arg(noted).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    SystemLauncher launcher;
    const QString found =
        launcher.findProgram({QStringLiteral("libreoffice"), QStringLiteral("soffice")});
    const QString none = launcher.findProgram({QStringLiteral("libreoffice")});
    QString reason;
    const QStringList arguments{QStringLiteral("-n"), QStringLiteral("/tmp/工作簿 1.xlsx")};
    const bool started = launcher.startDetached(found, arguments, &reason);
    const bool missing = launcher.startDetached(bin.filePath(QStringLiteral("gone")), {}, &reason);
    qputenv("PATH", path);

    QCOMPARE(found, script.fileName());
    QVERIFY(none.isEmpty());
    QVERIFY(started && !missing);
    QVERIFY(reason.startsWith(QStringLiteral("无法启动")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(noted), 10000);
    QFile args(noted);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), QStringLiteral("-n\n/tmp/工作簿 1.xlsx\n"));
}

QTEST_MAIN(TestExport)
#include "test_export.moc"
