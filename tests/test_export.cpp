// The export of the browser's grid into a workbook, read back with openpyxl,
// and the programs that open it.

#include "exchange/browsedialog.h"
#include "platform/flexgrid.h"
#include "platform/launcher.h"
#include "platform/workbook.h"
#include "tests/support/windowfixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
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

// Every cell of A1:I(last + 1) with what the tests look at.
constexpr const char *kReadBack = R"(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[0]
last = ws.max_row
cells = {}
for row in ws.iter_rows(min_row=1, max_row=last + 1, max_col=9):
    for c in row:
        b = c.border
        cells[c.coordinate] = {
            "value": c.value, "type": c.data_type, "font": c.font.name,
            "bold": bool(c.font.b), "size": c.font.sz, "align": c.alignment.horizontal,
            "left": b.left.style, "right": b.right.style,
            "top": b.top.style, "bottom": b.bottom.style}
print(json.dumps({"sheets": len(wb.worksheets), "rows": last,
                  "merged": [str(r) for r in ws.merged_cells.ranges], "cells": cells}))
)";

struct Workbook {
    QJsonObject json;
    QJsonObject cell(const QString &ref) const { return json["cells"].toObject()[ref].toObject(); }
    QString text(int row, int column) const
    {
        return cell(QChar(u'A' + column) + QString::number(row))["value"].toString();
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < 8; ++c)
            cells << text(r, c);
        return cells;
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

StudentRow student(const std::string &name, const std::string &grade, const std::string &className,
                   std::int64_t tally)
{
    StudentRow r;
    r.name = name;
    r.grade = grade;
    r.className = className;
    r.excellent = tally;
    r.good = tally + 1;
    r.deducted = 1.5;
    return r;
}

struct Exporter : WindowFixture {
    std::unique_ptr<BrowseDialog> dialog;

    explicit Exporter(const std::vector<StudentRow> &rows)
    {
        db.addMany(rows);
        if (!open())
            qFatal("main window did not open");
        dialog = std::make_unique<BrowseDialog>(*store, services, window->gradeItems(),
                                                window->classItems(), window.get());
        dialog->show();
        QDir(workbookFolder()).removeRecursively();
    }

    QComboBox *combo(const char *name) const
    {
        return dialog->findChild<QComboBox *>(QLatin1String(name));
    }
    void pick(const QString &grade, const QString &className) const
    {
        combo("ComboBox1")->setCurrentIndex(combo("ComboBox1")->findText(grade));
        combo("ComboBox2")->setCurrentIndex(combo("ComboBox2")->findText(className));
    }
    void click(const char *button) const
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    }
    // The workbooks left in the program's folder.
    QStringList handedOver() const
    {
        return QDir(workbookFolder()).entryList({QStringLiteral("*")}, QDir::Files | QDir::Hidden);
    }
};

// Every cell of rows first..last, columns A to H, has a thin line on all four edges.
bool framed(const Workbook &book, int first, int last)
{
    for (int r = first; r <= last; ++r)
        for (int c = 0; c < 8; ++c) {
            const QJsonObject cell = book.cell(QChar(u'A' + c) + QString::number(r));
            for (const char *edge : {"left", "right", "top", "bottom"})
                if (cell[QLatin1String(edge)].toString() != QLatin1String("thin"))
                    return false;
        }
    return true;
}

const QStringList kHeader{"姓名", "年级", "班级", "优秀", "良好", "及格", "不及格", "倒扣学分"};

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void exportOpensNewDocument();
    void exportOfGridAsLoaded();
    void savesWhereAskedWithoutProgram();
    void failuresAreReported();
    void systemLauncherStartsDetached();
};

void TestExport::exportOpensNewDocument()
{
    // A trailing blank in the grade, and a name that looks like a formula.
    Exporter e({student("=1+1", "高2023级 ", "3班", 7), student("李四", "高2023级 ", "3班", 8),
                student("王五", "高2023级 ", "3班", 9), student("赵六", "高2024级", "4班", 1)});
    e.launcher.installed = {QStringLiteral("soffice"), QStringLiteral("libreoffice")};
    e.pick(QStringLiteral("高2023级 "), QStringLiteral("3班"));
    e.click("PushButton1");
    // The title names the selection at the moment of the export.
    e.pick(QStringLiteral("高2023级 "), QStringLiteral("4班"));
    e.click("PushButton2");

    QVERIFY(e.messages.shown.empty());
    QCOMPARE(e.launcher.started.size(), std::size_t{1});
    const auto &start = e.launcher.started.front();
    QCOMPARE(start.program, QStringLiteral("/usr/bin/libreoffice"));
    QCOMPARE(start.arguments.size(), 2);
    QCOMPARE(start.arguments[0], QStringLiteral("-n"));
    const QString path = start.arguments[1];
    QVERIFY(path.startsWith(workbookFolder() + u'/'));
    QCOMPARE(e.handedOver(), QStringList{QFileInfo(path).fileName()});
    // The dialog stays open and shows what it showed.
    QVERIFY(e.dialog->isVisible());

    const Workbook book = readBack(path);
    QCOMPARE(book.json["sheets"].toInt(), 1);
    QCOMPARE(book.json["merged"].toArray(), QJsonArray{"A1:H1"});
    const QJsonObject title = book.cell(QStringLiteral("A1"));
    QCOMPARE(title["value"].toString(), QStringLiteral("高2023级  4班"));
    QCOMPARE(title["bold"].toBool(), true);
    QCOMPARE(title["size"].toDouble(), 36.0);
    QCOMPARE(title["align"].toString(), QStringLiteral("center"));
    QCOMPARE(title["font"].toString(), QStringLiteral("宋体"));
    for (const char *ref : {"A1", "D1", "H1"})
        QCOMPARE(book.cell(QLatin1String(ref))["bottom"].toString(), QStringLiteral("thin"));

    QCOMPARE(book.json["rows"].toInt(), 5);
    QCOMPARE(book.row(2), kHeader);
    QCOMPARE(book.row(3), QStringList({"=1+1", "高2023级 ", "3班", "7", "8", "0", "0", "1.5"}));
    QCOMPARE(book.row(4).first(), QStringLiteral("李四"));
    QCOMPARE(book.row(5).first(), QStringLiteral("王五"));
    // Every value is text, the formula-like name included; the block is
    // plain apart from its lines.
    for (int r = 2; r <= 5; ++r)
        for (int c = 0; c < 8; ++c) {
            const QJsonObject cell = book.cell(QChar(u'A' + c) + QString::number(r));
            QCOMPARE(cell["type"].toString(), QStringLiteral("s"));
            QCOMPARE(cell["bold"].toBool(), false);
            QCOMPARE(cell["size"].toDouble(), 11.0);
            QVERIFY(cell["align"].isNull());
        }
    QVERIFY(framed(book, 2, 5));
    // Nothing outside the block is framed.
    QVERIFY(book.cell(QStringLiteral("A6"))["top"].isNull());
    QVERIFY(book.cell(QStringLiteral("I3"))["left"].isNull());

    // A second export is a workbook of its own.
    e.click("PushButton2");
    QCOMPARE(e.launcher.started.size(), std::size_t{2});
    QVERIFY(e.launcher.started[1].arguments[1] != path);
    QCOMPARE(e.handedOver().size(), 2);
}

void TestExport::exportOfGridAsLoaded()
{
    Exporter e({student("甲", "高2023级", "3班", 1)});
    e.launcher.installed = {QStringLiteral("soffice")};
    e.click("PushButton2");
    QCOMPARE(e.launcher.started.size(), std::size_t{1});
    QCOMPARE(e.launcher.started[0].program, QStringLiteral("/usr/bin/soffice"));
    const Workbook book = readBack(e.launcher.started[0].arguments[1]);
    QCOMPARE(book.cell(QStringLiteral("A1"))["value"].toString(), QStringLiteral(" "));
    QCOMPARE(book.json["rows"].toInt(), 3);
    QCOMPARE(book.row(2), kHeader);
    QCOMPARE(book.row(3), QStringList(8, QString()));
    QVERIFY(framed(book, 2, 3));
}

void TestExport::savesWhereAskedWithoutProgram()
{
    Exporter e({student("甲", "高2023级", "3/班", 1)});
    e.pick(QStringLiteral("高2023级"), QStringLiteral("3/班"));
    e.click("PushButton1");

    // A cancel writes nothing and says nothing.
    e.click("PushButton2");
    QCOMPARE(e.files.savesAsked, 1);
    const QString suggested = QFileInfo(e.files.lastSuggested).fileName();
    QVERIFY2(suggested.startsWith(QStringLiteral("高2023级3_班20")), qPrintable(suggested));
    QVERIFY(suggested.endsWith(QStringLiteral(".xlsx")));
    QVERIFY(e.messages.shown.empty());
    QVERIFY(e.launcher.started.empty());

    QTemporaryDir target;
    const QString path = target.filePath(QStringLiteral("评价.xlsx"));
    e.files.savePaths = {path};
    e.click("PushButton2");
    QCOMPARE(e.messages.shown.size(), std::size_t{1});
    QCOMPARE(e.messages.shown[0].style, MessageStyle::Information);
    QCOMPARE(e.messages.lastText(), QStringLiteral("评价数据已保存至：") + path);
    QVERIFY(QFileInfo(path).permission(QFile::ReadOther));
    const Workbook book = readBack(path);
    QCOMPARE(book.row(3).first(), QStringLiteral("甲"));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"评价.xlsx"});
    QVERIFY(e.launcher.started.empty());
    QVERIFY(e.handedOver().isEmpty());
}

void TestExport::failuresAreReported()
{
    Exporter e({student("甲", "高2023级", "3班", 1)});
    e.pick(QStringLiteral("高2023级"), QStringLiteral("3班"));
    e.click("PushButton1");

    // The program cannot be started: no workbook is left behind.
    e.launcher.installed = {QStringLiteral("libreoffice")};
    e.launcher.failure = QStringLiteral("无法启动libreoffice");
    e.click("PushButton2");
    QCOMPARE(e.messages.lastText(), QStringLiteral("导出失败：无法启动libreoffice"));
    QCOMPARE(e.messages.shown.back().style, MessageStyle::Error);
    QVERIFY(e.handedOver().isEmpty());

    // The file cannot be written: a folder that is not there, and a file
    // that already exists keeps its contents when the write fails.
    e.launcher.installed.clear();
    QTemporaryDir target;
    e.files.savePaths = {target.filePath(QStringLiteral("没有/评价.xlsx"))};
    e.click("PushButton2");
    QVERIFY(e.messages.lastText().startsWith(QStringLiteral("导出失败：")));
    QVERIFY(e.messages.lastText().contains(QStringLiteral("没有")));
    QCOMPARE(e.messages.shown.back().style, MessageStyle::Error);

    const QString kept = target.filePath(QStringLiteral("旧.xlsx"));
    {
        QFile old(kept);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    Sheet tooLong;
    tooLong.cells.push_back({0, 0, QString(40000, u'长'), {}});
    XlsxWorkbookWriter writer;
    QVERIFY_THROWS_EXCEPTION(WorkbookError, writer.write(kept, tooLong));
    QFile old(kept);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"旧.xlsx"});
    QVERIFY(e.launcher.started.empty());
}

void TestExport::systemLauncherStartsDetached()
{
    // A stand-in "soffice" that notes its arguments, alone on the PATH.
    QTemporaryDir bin;
    const QString noted = bin.filePath(QStringLiteral("args"));
    const QString script = bin.filePath(QStringLiteral("soffice"));
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && /bin/mv '%1.part' '%1'\n")
                    .arg(noted)
                    .toUtf8());
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));

    SystemLauncher launcher;
    const QString found = launcher.findProgram({QStringLiteral("libreoffice"), QStringLiteral("soffice")});
    const QString none = launcher.findProgram({QStringLiteral("libreoffice")});
    QString reason;
    const bool started = launcher.startDetached(found, {QStringLiteral("-n"), QStringLiteral("/tmp/工作簿 1.xlsx")}, &reason);
    const bool missing = launcher.startDetached(bin.filePath(QStringLiteral("gone")), {}, &reason);
    qputenv("PATH", path);

    QCOMPARE(found, script);
    QVERIFY(none.isEmpty());
    QVERIFY(started);
    QVERIFY(!missing);
    QVERIFY(reason.startsWith(QStringLiteral("无法启动")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(noted), 10000);
    QFile args(noted);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), QStringLiteral("-n\n/tmp/工作簿 1.xlsx\n"));
}

QTEST_MAIN(TestExport)
#include "test_export.moc"
