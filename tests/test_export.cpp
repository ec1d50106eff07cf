// The export of the browser's grid into a workbook, read back with openpyxl,
// and the programs that open it.

#include "exchange/browsedialog.h"
#include "platform/launcher.h"
#include "platform/workbook.h"
#include "tests/support/windowfixture.h"

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

// Every cell of A1:I(last + 1) with what the tests look at.
constexpr const char *kReadBack = R"(
import json, sys, openpyxl
ws = openpyxl.load_workbook(sys.argv[1]).worksheets[0]
last = ws.max_row
cells = {}
for row in ws.iter_rows(min_row=1, max_row=last + 1, max_col=9):
    for c in row:
        b = c.border
        cells[c.coordinate] = {"value": c.value, "type": c.data_type, "font": c.font.name,
            "bold": bool(c.font.b), "size": c.font.sz, "align": c.alignment.horizontal,
            "edges": [b.left.style, b.right.style, b.top.style, b.bottom.style]}
print(json.dumps({"rows": last, "merged": [str(r) for r in ws.merged_cells.ranges],
                  "cells": cells}))
)";

struct Workbook {
    QJsonObject json;
    QJsonObject cell(int row, int column) const
    {
        return json["cells"].toObject()[QChar(u'A' + column) + QString::number(row)].toObject();
    }
    QStringList row(int r) const
    {
        QStringList cells;
        for (int c = 0; c < 8; ++c)
            cells << cell(r, c)["value"].toString();
        return cells;
    }
    // Every cell of A(first):H(last) framed, and nothing right of or below it.
    bool framedBlock(int first, int last) const
    {
        const QJsonArray thin{"thin", "thin", "thin", "thin"};
        for (int r = first; r <= last; ++r) {
            for (int c = 0; c < 8; ++c)
                if (cell(r, c)["edges"].toArray() != thin)
                    return false;
            if (cell(r, 8)["edges"].toArray().contains("thin"))
                return false;
        }
        return !cell(last + 1, 0)["edges"].toArray().contains("thin");
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

struct Exporter : WindowFixture {
    std::unique_ptr<BrowseDialog> dialog;

    explicit Exporter(const std::string &grade, const std::string &className,
                      const std::vector<std::string> &names)
    {
        for (std::size_t i = 0; i < names.size(); ++i)
            db.add({names[i], grade, className, 7 + std::int64_t(i), 1, 0, 0, 1.5});
        db.add({"别班", grade, "4班"});
        if (!open())
            qFatal("main window did not open");
        dialog = std::make_unique<BrowseDialog>(*store, services, window->gradeItems(),
                                                window->classItems(), window.get());
        dialog->show();
        QDir(workbookFolder()).removeRecursively();
    }
    void pick(const QString &grade, const QString &className) const
    {
        for (auto [name, text] : {std::pair{"ComboBox1", grade}, std::pair{"ComboBox2", className}}) {
            auto *box = dialog->findChild<QComboBox *>(QLatin1String(name));
            box->setCurrentIndex(box->findText(text));
        }
    }
    void click(const char *button) const
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(QLatin1String(button)), Qt::LeftButton);
    }
    // The files left in the program's folder for workbooks.
    QStringList handedOver() const
    {
        return QDir(workbookFolder()).entryList(QDir::Files | QDir::Hidden);
    }
};

const QStringList kHeader{"姓名", "年级", "班级", "优秀", "良好", "及格", "不及格", "倒扣学分"};

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void exportOpensNewDocument();
    void savesWhereAskedOrReportsFailure();
    void systemLauncherStartsDetached();
};

void TestExport::exportOpensNewDocument()
{
    // A trailing blank in the grade, and a name that looks like a formula.
    Exporter e("高2023级 ", "3班", {"=1+1", "李四", "王五"});
    e.launcher.installed = {QStringLiteral("soffice")};

    // The grid as loaded: a title of one blank, the header row, one empty row.
    e.click("PushButton2");
    QCOMPARE(e.launcher.started.size(), std::size_t{1});
    QCOMPARE(e.launcher.started[0].program, QStringLiteral("/usr/bin/soffice"));
    Workbook book = readBack(e.launcher.started[0].arguments.value(1));
    QCOMPARE(book.cell(1, 0)["value"].toString(), QStringLiteral(" "));
    QCOMPARE(book.json["rows"].toInt(), 3);
    QCOMPARE(book.row(2), kHeader);
    QCOMPARE(book.row(3), QStringList(8, QString()));
    QVERIFY(book.framedBlock(2, 3));

    // A class, under the selection as it stands at the export.
    e.launcher.installed << QStringLiteral("libreoffice");
    e.pick(QStringLiteral("高2023级 "), QStringLiteral("3班"));
    e.click("PushButton1");
    e.pick(QStringLiteral("高2023级 "), QStringLiteral("4班"));
    e.click("PushButton2");
    QVERIFY(e.messages.shown.empty());
    QVERIFY(e.dialog->isVisible());
    QCOMPARE(e.launcher.started.size(), std::size_t{2});
    const auto &start = e.launcher.started[1];
    QCOMPARE(start.program, QStringLiteral("/usr/bin/libreoffice"));
    QCOMPARE(start.arguments.size(), 2);
    QCOMPARE(start.arguments[0], QStringLiteral("-n"));
    QVERIFY(start.arguments[1] != e.launcher.started[0].arguments[1]);
    QVERIFY(start.arguments[1].startsWith(workbookFolder() + u'/'));
    QCOMPARE(e.handedOver().size(), 2);

    book = readBack(start.arguments[1]);
    QCOMPARE(book.json["merged"].toArray(), QJsonArray{"A1:H1"});
    const QJsonObject title = book.cell(1, 0);
    QCOMPARE(title["value"].toString(), QStringLiteral("高2023级  4班"));
    QVERIFY(title["bold"].toBool());
    QCOMPARE(title["size"].toDouble(), 36.0);
    QCOMPARE(title["align"].toString(), QStringLiteral("center"));
    QCOMPARE(title["font"].toString(), QStringLiteral("宋体"));
    for (int c = 0; c < 8; ++c)
        QCOMPARE(book.cell(1, c)["edges"].toArray()[3].toString(), QStringLiteral("thin"));

    QCOMPARE(book.json["rows"].toInt(), 5);
    QCOMPARE(book.row(2), kHeader);
    QCOMPARE(book.row(3), QStringList({"=1+1", "高2023级 ", "3班", "7", "1", "0", "0", "1.5"}));
    QCOMPARE(book.row(5).first(), QStringLiteral("王五"));
    // Every value is text, the formula-like name too; the block is plain
    // apart from its lines.
    for (int r = 2; r <= 5; ++r)
        for (int c = 0; c < 8; ++c) {
            QCOMPARE(book.cell(r, c)["type"].toString(), QStringLiteral("s"));
            QVERIFY(!book.cell(r, c)["bold"].toBool());
            QCOMPARE(book.cell(r, c)["size"].toDouble(), 11.0);
        }
    QVERIFY(book.framedBlock(2, 5));
}

void TestExport::savesWhereAskedOrReportsFailure()
{
    Exporter e("高2023级", "3/班", {"甲"});
    e.pick(QStringLiteral("高2023级"), QStringLiteral("3/班"));
    e.click("PushButton1");

    // No spreadsheet program: the teacher is asked; a cancel writes nothing.
    e.click("PushButton2");
    QCOMPARE(e.files.savesAsked, 1);
    const QString suggested = QFileInfo(e.files.lastSuggested).fileName();
    QVERIFY2(suggested.startsWith(QStringLiteral("高2023级3_班20")), qPrintable(suggested));
    QVERIFY(suggested.endsWith(QStringLiteral(".xlsx")));
    QVERIFY(e.messages.shown.empty());

    QTemporaryDir target;
    const QString path = target.filePath(QStringLiteral("评价.xlsx"));
    e.files.savePaths = {path, target.filePath(QStringLiteral("没有/评价.xlsx"))};
    e.click("PushButton2");
    QCOMPARE(e.messages.lastText(), QStringLiteral("评价数据已保存至：") + path);
    QCOMPARE(e.messages.shown.back().style, MessageStyle::Information);
    QCOMPARE(readBack(path).row(3).first(), QStringLiteral("甲"));
    QVERIFY(QFileInfo(path).permission(QFile::ReadOther));
    // A folder that is not there.
    e.click("PushButton2");
    QVERIFY(e.messages.lastText().startsWith(QStringLiteral("导出失败：文件夹")));
    QCOMPARE(e.messages.shown.back().style, MessageStyle::Error);
    QVERIFY(e.launcher.started.empty());

    // The program cannot be started: no workbook is left behind.
    e.launcher.installed = {QStringLiteral("libreoffice")};
    e.launcher.failure = QStringLiteral("无法启动libreoffice");
    e.click("PushButton2");
    QCOMPARE(e.messages.lastText(), QStringLiteral("导出失败：无法启动libreoffice"));
    QVERIFY(e.handedOver().isEmpty());

    // A write that fails leaves a file already there as it was.
    Sheet tooLong;
    tooLong.cells.push_back({0, 0, QString(40000, u'长'), {}});
    XlsxWorkbookWriter writer;
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    QVERIFY_THROWS_EXCEPTION(WorkbookError, writer.write(path, tooLong));
    QFile after(path);
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
    QCOMPARE(QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"评价.xlsx"});
}

void TestExport::systemLauncherStartsDetached()
{
    // A stand-in "soffice" alone on the PATH, noting its arguments.
    QTemporaryDir bin;
    const QString noted = bin.filePath(QStringLiteral("args"));
    QFile script(bin.filePath(QStringLiteral("soffice")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && /bin/mv '%1.part' '%1'\n")
                     .arg(noted).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    SystemLauncher launcher;
    const QString found = launcher.findProgram({QStringLiteral("libreoffice"), QStringLiteral("soffice")});
    const QString none = launcher.findProgram({QStringLiteral("libreoffice")});
    QString reason;
    const bool started = launcher.startDetached(found, {QStringLiteral("-n"), QStringLiteral("/tmp/工作簿 1.xlsx")}, &reason);
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
