// The import dialog: its controls, the rows it stores and how, the clearing
// question, and that a failure of any kind leaves the table as it was.

#include "exchange/importdialog.h"
#include "workbook/processworkbook.h"
#include "tests/support/windowfixture.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QSet>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

const QString kFolder = QStringLiteral(QUORVEL_TEST_WORKBOOKS "/");
const QString kExample = QStringLiteral(QUORVEL_EXAMPLES "/students.xls");
const QString kAskToContinue = QStringLiteral(
    "你将导入的Excel文件数据存在第一个表中，且数据是从第一列第二行开始，是否继续？");
const QString kAskToClear = QStringLiteral("是否清空原有数据？");

QString program(const char *name)
{
    return QCoreApplication::applicationDirPath() + u'/' + QLatin1String(name);
}

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

// Every row of the table, every column, in the order stored.
QStringList dump(const TempDatabase &db)
{
    auto conn = db.connect();
    store::Statement st(*conn, "SELECT * FROM student ORDER BY rowid");
    QStringList rows;
    while (st.step()) {
        QStringList fields;
        for (int c = 0; c < st.columnCount(); ++c)
            fields << (store::isNull(st.column(c)) ? QStringLiteral("NULL")
                                                   : QString::fromStdString(
                                                         store::displayText(st.column(c))));
        rows << fields.join(u'|');
    }
    return rows;
}

// The same without the first column, which numbers the rows.
QStringList dumpFields(const TempDatabase &db)
{
    QStringList rows = dump(db);
    for (QString &row : rows)
        row = row.section(u'|', 1);
    return rows;
}

StudentRow student(const std::string &name, const std::string &grade, const std::string &cls)
{
    StudentRow r;
    r.name = name;
    r.grade = grade;
    r.className = cls;
    r.excellent = 2;
    return r;
}

struct ImportFixture : WindowFixture {
    std::unique_ptr<ProcessWorkbookReader> reader;
    std::unique_ptr<ImportDialog> dialog;

    explicit ImportFixture(const QString &readerProgram = program("quorvel-sheetreader"),
                           ReaderLimits limits = {})
        : reader(std::make_unique<ProcessWorkbookReader>(readerProgram, limits))
    {
        services.workbookReader = reader.get();
    }

    void openDialog()
    {
        QVERIFY(open());
        dialog = std::make_unique<ImportDialog>(*store, services,
                                                [this] { window->loadlists(); }, window.get());
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    // One click on "选择文件并导入"; the questions get the answers given.
    void importFile(const QString &path, std::initializer_list<Answer> answers)
    {
        messages.shown.clear();
        messages.answers.assign(answers);
        if (!path.isEmpty())
            files.paths.push_back(path);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("PushButton1")),
                          Qt::LeftButton);
    }

    QStringList texts() const
    {
        QStringList t;
        for (const auto &m : messages.shown)
            t << m.text;
        return t;
    }
};

} // namespace

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    void dialogShowsItsControlsInPlace()
    {
        ImportFixture f;
        f.openDialog();
        ImportDialog &d = *f.dialog;
        QCOMPARE(d.objectName(), QStringLiteral("drxs"));
        QCOMPARE(d.windowTitle(), QStringLiteral("导入学生信息"));
        QCOMPARE(d.size(), QSize(445, 334));

        const struct {
            const char *name;
            QRect place;
        } controls[] = {{"PushButton3", {86, 104, 273, 129}},
                        {"ProgressBar1", {6, 240, 433, 25}}, {"PushButton1", {86, 280, 121, 41}},
                        {"PushButton2", {238, 280, 121, 41}}};
        for (const auto &c : controls)
            QCOMPARE(d.findChild<QWidget *>(QLatin1String(c.name))->geometry(), c.place);

        auto *notice = d.findChild<QLabel *>(QStringLiteral("Label1"));
        QVERIFY(notice->wordWrap());
        QCOMPARE(notice->text(), QStringLiteral("注意：导入的Excel表请规范成如下样式，否则数据将不能正确导入"
                                                "数据库中，数据必须放在Excel工作薄的第一个表中。"));
        // At its place, and tall enough for all its lines, without reaching the picture.
        QCOMPARE(notice->pos(), QPoint(94, 40));
        QCOMPARE(notice->width(), 257);
        QVERIFY(notice->height() >= 41);
        QVERIFY(notice->heightForWidth(notice->width()) <= notice->height());
        QVERIFY(notice->geometry().bottom() < 104);

        auto *picture = d.findChild<QPushButton *>(QStringLiteral("PushButton3"));
        QVERIFY(!picture->isEnabled());
        QVERIFY(picture->text().isEmpty());
        QCOMPARE(picture->iconSize(), QSize(253, 107));
        // Shown in colour, not greyed, although the button is disabled.
        const QImage image = picture->icon().pixmap(QSize(253, 107), QIcon::Disabled).toImage();
        QCOMPARE(image.size(), QSize(253, 107));
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 8);
        QVERIFY(std::any_of(colours.begin(), colours.end(),
                            [](QRgb c) { return qRed(c) != qBlue(c); }));

        QCOMPARE(d.findChild<QProgressBar *>(QStringLiteral("ProgressBar1"))->value(), 0);
        QCOMPARE(d.findChild<QPushButton *>(QStringLiteral("PushButton1"))->text(),
                 QStringLiteral("选择文件并导入"));
        auto *close = d.findChild<QPushButton *>(QStringLiteral("PushButton2"));
        QCOMPARE(close->text(), QStringLiteral("关闭窗口"));
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!d.isVisible());
    }

    // Rows until the first empty column A, as text, trimmed, never interpreted;
    // imports repeat in one opening; a cancel does nothing.
    void importStoresRowsAsWritten()
    {
        ImportFixture f;
        f.openDialog();
        f.importFile(kFolder + "rows.xls", {Answer::Yes});
        // No clearing question on an empty table.
        QCOMPARE(f.texts(), (QStringList{kAskToContinue, QStringLiteral("导入了 7条数据")}));
        QCOMPARE(f.messages.shown[0].style, MessageStyle::Question);
        QCOMPARE(f.messages.shown[1].style, MessageStyle::Information);
        QCOMPARE(f.files.lastFilters,
                 (QStringList{"Excel文件(*.xls)", "Excel 2007及以上(*.xlsx)", "OpenDocument表格(*.ods)",
                              "CSV文本(*.csv)", "所有支持的表格(*.xls *.xlsx *.ods *.csv)"}));

        const QString zeros = QStringLiteral("|0|0|0|0|0");
        QCOMPARE(dump(f.db), (QStringList{
                                 "1|张 三|高2013级|1班" + zeros,
                                 "2|李四|2013|3" + zeros,
                                 "3|王五||" + zeros,
                                 "4||高2014级|2.5" + zeros,
                                 "5|'; drop table student; --|=1+1|say \"hi\"" + zeros,
                                 "6|😀名字|20230101|12345678901" + zeros,
                                 "7|" + QString(1000, u'长') + "|2024-09-01|1班" + zeros,
                             }));
        QCOMPARE(items(f.find<QComboBox>("ComboBox2")),
                 (QStringList{"1班", "3", "", "2.5", "say \"hi\"", "12345678901"}));
        QVERIFY(!f.store->conn);
        auto *progress = f.dialog->findChild<QProgressBar *>(QStringLiteral("ProgressBar1"));
        QCOMPARE(progress->value(), 8);

        // Again in the same opening: only the title row, rows kept with 否.
        f.importFile(kFolder + "header_only.xls", {Answer::Yes, Answer::No});
        QCOMPARE(f.texts(), (QStringList{kAskToContinue, kAskToClear,
                                         QStringLiteral("导入了 0条数据")}));
        QCOMPARE(f.db.count(), 7L);

        // A cancelled file dialog, and a 否 to the first question: nothing at all.
        const int opened = f.files.opened;
        f.importFile(QString(), {Answer::Yes});
        QCOMPARE(f.texts(), QStringList{kAskToContinue});
        f.importFile(QString(), {Answer::No});
        QCOMPARE(f.texts(), QStringList{kAskToContinue});
        QCOMPARE(f.files.opened, opened + 1);
        QCOMPARE(f.db.count(), 7L);
    }

    // The rows of rows.xls, saved in every other format and encoding (formulas
    // with their saved results, dates, a second sheet, a .xlsx named .xls),
    // and by each program that writes them in its own way, import to exactly
    // the same rows: LibreOffice (.xlsx, .ods), openpyxl and pandas (inline
    // texts, no formula results), XlsxWriter (shared texts; inline ones in
    // its constant-memory mode, like every streaming writer), SheetJS (texts
    // as formula results without formulas, dates as t="d").
    void everyFormatGivesTheSameRows_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("savedAs");
        for (const char *file : {"roster.xlsx", "roster.ods", "roster_utf8.csv", "roster_utf8_bom.csv",
                                 "roster_gb18030.csv", "roster_utf16.csv", "lo_roster.xlsx",
                                 "lo_roster.ods", "roster_openpyxl.xlsx", "roster_xlsxwriter.xlsx",
                                 "roster_xlsxwriter_cm.xlsx", "roster_str.xlsx"})
            QTest::newRow(file) << file << QString();
        QTest::newRow("xlsx named .xls") << "roster.xlsx" << "名单.xls";
        QTest::newRow("ods named .csv") << "roster.ods" << "名单.csv";
    }

    void everyFormatGivesTheSameRows()
    {
        QFETCH(QString, file);
        QFETCH(QString, savedAs);
        ImportFixture f;
        f.openDialog();
        f.importFile(kFolder + "rows.xls", {Answer::Yes});
        const QStringList expected = dumpFields(f.db);
        QCOMPARE(expected.size(), 7);

        QString path = kFolder + file;
        if (!savedAs.isEmpty()) {
            path = f.db.directory() + u'/' + savedAs;
            QVERIFY(QFile::copy(kFolder + file, path));
        }
        f.importFile(path, {Answer::Yes, Answer::Yes});
        QCOMPARE(f.texts().last(), QStringLiteral("导入了 7条数据"));
        QCOMPARE(dumpFields(f.db), expected);
    }

    // Cells as their writers write them, read where they stand and as they
    // are: covered (merged) and repeated cells keep their columns, rows an
    // .ods repeats import as often; line breaks, tabs and runs of blanks stay;
    // formulas give their saved text or number, an error or a missing result
    // is empty (never "nan"); a date keeps its time. A NUL ends a cell's text
    // in every format.
    void cellsReadAsWritten_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("rows");
        const QString z = QStringLiteral("|0|0|0|0|0");
        const QStringList features{
            "张三|高一|1班" + z, "李四||1班" + z, "李\n四|高一|2班" + z, "张\t三|高一|2班" + z,
            "|高  二|3班" + z, "王五||5" + z, "重复|高三|4班" + z, "重复|高三|4班" + z,
            "重复|高三|4班" + z, "赵六|高三4班|" + z, "最后|2024-09-01 08:30:00|0.5" + z};
        QTest::newRow("LibreOffice .ods") << "lo_features.ods" << features;
        QTest::newRow("LibreOffice .xlsx") << "lo_features.xlsx" << features;
        QTest::newRow("repeated .ods rows")
            << "repeated_rows.ods"
            << QStringList{"重复|高一|1班" + z, "重复|高一|1班" + z, "重复|高一|1班" + z,
                           "其后|高一|2班" + z};
        QStringList students;
        for (int i = 1; i <= 4; ++i)
            students << QStringLiteral("学生%1|高一|1班").arg(i) + z;
        QTest::newRow("formula without its result") << "formula_no_value.xlsx" << students;
        const QStringList nul{"甲|高一|1班" + z, "丙|高|2班" + z};
        for (const char *file : {"nul.xls", "nul.xlsx", "nul.csv"})
            QTest::newRow(file) << file << nul;
    }

    void cellsReadAsWritten()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, rows);
        ImportFixture f;
        f.openDialog();
        f.importFile(kFolder + file, {Answer::Yes});
        QCOMPARE(f.texts().last(), QStringLiteral("导入了 %1条数据").arg(rows.size()));
        QCOMPARE(dumpFields(f.db), rows);
    }

    // What a CSV text may hold: quoted separators, quotes and line ends, CR
    // alone as a line end, a lone title line; the first line picks the separator.
    void csvFieldsAsSpreadsheetsWriteThem()
    {
        ImportFixture f;
        f.openDialog();
        const QString path = f.db.directory() + "/名单.CSV";
        auto write = [&](const QByteArray &bytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(bytes);
        };
        write("姓名,年级,班级\r\n\"王, \"\"小\"\"\r\n明\",\"高2013级\",1班,\"多余\"\r\n"
              "李四,\"\",;\r赵六\n");
        f.importFile(path, {Answer::Yes});
        QCOMPARE(f.texts().last(), QStringLiteral("导入了 3条数据"));
        const QString zeros = QStringLiteral("|0|0|0|0|0");
        QCOMPARE(dumpFields(f.db), (QStringList{"王, \"小\"\r\n明|高2013级|1班" + zeros,
                                                "李四||;" + zeros, "赵六||" + zeros}));

        write("姓名\t年级;班级,x\t");
        f.importFile(path, {Answer::Yes, Answer::No});
        QCOMPARE(f.texts().last(), QStringLiteral("导入了 0条数据"));
        write("姓名;年级;班级\n甲,1;高2013级;2,3\n");
        f.importFile(path, {Answer::Yes, Answer::Yes});
        QCOMPARE(f.texts().last(), QStringLiteral("导入了 1条数据"));
        QCOMPARE(dumpFields(f.db), QStringList{"甲,1|高2013级|2,3" + zeros});
    }

    void clearingIsAskedAndObeyed()
    {
        ImportFixture f;
        f.db.add(student("旧生", "高2012级", "9班"));
        f.openDialog();

        // 否 twice: the old student stays, the same rows are appended again.
        f.importFile(kExample, {Answer::Yes, Answer::No});
        f.importFile(kExample, {Answer::Yes, Answer::No});
        QCOMPARE(f.texts().last(), QStringLiteral("导入了 16条数据"));
        QCOMPARE(f.db.count(), 33L);
        QCOMPARE(f.db.value("旧生", "优秀"), store::Value(std::int64_t{2}));

        // 是: exactly the workbook's rows, in its order; one 1班 for two grades.
        f.importFile(kExample, {Answer::Yes, Answer::Yes});
        QCOMPARE(f.texts(), (QStringList{kAskToContinue, kAskToClear,
                                         QStringLiteral("导入了 16条数据")}));
        const QStringList rows = dump(f.db);
        QCOMPARE(rows.size(), 16);
        QVERIFY(rows.first().endsWith(QStringLiteral("|林晓雨|高2013级|1班|0|0|0|0|0")));
        QVERIFY(rows.last().endsWith(QStringLiteral("|胡雅婷|高2014级|3班|0|0|0|0|0")));
        QCOMPARE(items(f.find<QComboBox>("ComboBox1")),
                 (QStringList{"高2013级", "高2014级"}));
        QCOMPARE(items(f.find<QComboBox>("ComboBox2")), (QStringList{"1班", "2班", "3班"}));
    }

    void failureChangesNothing_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("locked");
        const QString real = QStringLiteral("quorvel-sheetreader");
        const QString fake = QStringLiteral("fakesheetreader");
        const QString notXls = QStringLiteral("文件不是可导入的表格（.xls、.xlsx、.ods或.csv）");
        const QString damaged = QStringLiteral("工作簿已损坏，无法读取");

        QTest::newRow("random bytes") << "random.xls" << real << notXls << false;
        QTest::newRow("xlsx renamed") << "renamed_xlsx.xls" << real << notXls << false;
        QTest::newRow("truncated") << "truncated.xls" << real << damaged << false;
        QTest::newRow("empty file") << "empty.xls" << real << notXls << false;
        QTest::newRow("xlsx cut short") << "truncated.xlsx" << real << damaged << false;
        QTest::newRow("ods without content")
            << "no_content.ods" << real << QStringLiteral("工作簿中没有工作表") << false;
        QTest::newRow("csv in no known encoding")
            << "bad_encoding.csv" << real
            << QStringLiteral("CSV文件的编码无法识别（应为UTF-8、UTF-16或GB18030）") << false;
        QTest::newRow("password") << "password.xls" << real
                                  << QStringLiteral("工作簿设有密码保护，无法读取") << false;
        QTest::newRow("xlsx with a password") << "password.xlsx" << real
                                              << QStringLiteral("工作簿设有密码保护，无法读取") << false;
        QTest::newRow("ods with a password") << "lo_password.ods" << real
                                             << QStringLiteral("工作簿设有密码保护，无法读取") << false;
        QTest::newRow("folder named .csv") << "folder" << real
                                           << QStringLiteral("所选的不是文件（是文件夹或设备）") << false;
        QTest::newRow("csv with a quote left open")
            << "unclosed_quote.csv" << real << QStringLiteral("第3行的引号没有结束") << false;
        QTest::newRow("utf-8 csv with a stray byte")
            << "stray_byte.csv" << real << QStringLiteral("CSV文件第4行有不属于UTF-8编码的字节")
            << false;
        const QString badCell = QStringLiteral("第3行有无法读取的单元格");
        QTest::newRow("cell of an unknown type") << "unknown_cell_type.xlsx" << real << badCell << false;
        QTest::newRow("shared string not there")
            << "missing_shared_string.xlsx" << real << badCell << false;
        QTest::newRow("NUL in .ods XML") << "nul.ods" << real << damaged << false;
        QTest::newRow("file gone") << "gone.xls" << real
                                   << QStringLiteral("找不到文件，或没有读取它的权限") << false;
        QTest::newRow("cell too long, after rows were stored")
            << "too_long.xls" << real << QStringLiteral("第3行有超过1000个字符的单元格") << false;
        QTest::newRow("reader crashes half-way")
            << "crash" << fake << QStringLiteral("工作簿无法读取（读取程序意外退出）") << false;
        QTest::newRow("reader hangs")
            << "hang" << fake << QStringLiteral("工作簿无法读取（读取超时）") << false;
        QTest::newRow("reader speaks nonsense")
            << "garbage" << fake << QStringLiteral("工作簿无法读取（读取程序的输出有误）") << false;
        QTest::newRow("reader eats memory")
            << "eat" << fake << QStringLiteral("工作簿无法读取（读取程序占用的内存超过128 MB）") << false;
        QTest::newRow("reader never ends")
            << "trickle" << fake << QStringLiteral("工作簿无法读取（读取用时超过3秒）") << false;
        QTest::newRow("no reader program")
            << "rows.xls" << QStringLiteral("no-such-reader")
            << QStringLiteral("工作簿无法读取（找不到或无法启动读取程序）") << false;
        QTest::newRow("database locked") << "rows.xls" << real
                                         << QStringLiteral("数据库文件正被其他程序使用（已锁定）")
                                         << true;
    }

    // Every failure after the file was chosen, also after a 是 to clearing:
    // the table exactly as before, the reason told, the dialog still usable.
    void failureChangesNothing()
    {
        QFETCH(QString, file);
        QFETCH(QString, reader);
        QFETCH(QString, reason);
        QFETCH(bool, locked);

        // Short limits, for the readers that reach them.
        ImportFixture f(program(reader.toLatin1().constData()), ReaderLimits{400, 3000, 128 * 1024});
        f.db.add(student("甲", "高2012级", "1班"));
        f.db.add(student("乙", "高2012级", "2班"));
        QString path = kFolder + file;
        if (reader == QLatin1String("fakesheetreader")) {
            path = f.db.directory() + "/fake.xls";
            QFile script(path);
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(file.toLatin1());
        } else if (file == QLatin1String("folder")) {
            path = f.db.directory() + QStringLiteral("/名单.csv");
            QVERIFY(QDir().mkdir(path));
        }
        f.openDialog();
        const QStringList before = dump(f.db);

        std::shared_ptr<store::Connection> other;
        std::unique_ptr<store::Transaction> lock;
        if (locked) {
            other = f.db.connect();
            lock = std::make_unique<store::Transaction>(*other);
        }
        f.importFile(path, {Answer::Yes, Answer::Yes});
        lock.reset();

        QVERIFY(!f.messages.shown.empty());
        const auto &last = f.messages.shown.back();
        QVERIFY2(last.text.startsWith(QStringLiteral("导入失败：") + reason), qPrintable(last.text));
        QCOMPARE(last.style, MessageStyle::Error);
        QVERIFY(last.text.endsWith(QStringLiteral("\n数据库中的原有数据没有任何改动。")));
        QCOMPARE(dump(f.db), before);
        QVERIFY(!f.store->conn);

        if (reader == QLatin1String("quorvel-sheetreader")) {
            f.importFile(kExample, {Answer::Yes, Answer::No});
            QCOMPARE(f.texts().last(), QStringLiteral("导入了 16条数据"));
            QCOMPARE(f.db.count(), 18L);
        }
    }
};

QTEST_MAIN(ImportTest)
#include "test_import.moc"
