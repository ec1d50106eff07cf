// The way every table leaves Quorvel for a spreadsheet.

#include "exchange/workbookexport.h"

#include "platform/clock.h"
#include "platform/filedialog.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "workbook/workbookwriter.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTextBoundaryFinder>

#include <array>
#include <charconv>
#include <memory>

namespace quorvel {

namespace {

const QString kExportFailed = QStringLiteral("导出失败：");
// The texts name the data exported: %1.
const QString kSavedTo = QStringLiteral("%1已保存至：");
const QString kWhereToSave = QStringLiteral("没有找到电子表格程序，请选择%1的保存位置");
const QString kNotOpened = QStringLiteral("无法在电子表格程序中打开%1：");
const QString kSaveInstead = QStringLiteral("\n请选择%1的保存位置。");
const QString kWhereToSaveInstead = QStringLiteral("请选择%1的保存位置");

// The spreadsheet programs, in the order they are tried, with what makes each
// open the workbook: LibreOffice as a new, untitled document ("-n"), so that
// saving asks for a name; WPS 表格 as the file itself.
struct SpreadsheetProgram {
    QStringList names;
    QStringList options;
};
const std::array<SpreadsheetProgram, 2> kSpreadsheetPrograms{{
    {{QStringLiteral("libreoffice"), QStringLiteral("soffice")}, {QStringLiteral("-n")}},
    {{QStringLiteral("et"), QStringLiteral("wps")}, {}},
}};

// The longest file name, in bytes, that Linux file systems take.
constexpr int kMaxFileNameBytes = 255;

// Workbooks handed to the spreadsheet program are read by it at its start;
// the ones left from earlier days are no longer needed.
void removeOldWorkbooks(const QDir &folder, const QString &what, const Clock &clock)
{
    const QDateTime dayAgo = clock.now().addDays(-1);
    const QFileInfoList old = folder.entryInfoList({what + QStringLiteral("-*.xlsx")}, QDir::Files);
    for (const QFileInfo &f : old)
        if (f.lastModified() < dayAgo)
            QFile::remove(f.absoluteFilePath());
}

// A new, unused name in the program's own folder for workbooks.
QString newWorkbookPath(const QString &what, const Clock &clock)
{
    const QString folder = workbookFolder();
    if (folder.isEmpty())
        throw WorkbookWriteError("无法创建存放工作簿的文件夹");
    removeOldWorkbooks(QDir(folder), what, clock);
    QTemporaryFile reserved(folder + u'/' + what + QStringLiteral("-XXXXXX.xlsx"));
    reserved.setAutoRemove(false);
    if (!reserved.open())
        throw WorkbookWriteError(QStringLiteral("无法在%1中创建文件（%2）")
                                .arg(QDir::toNativeSeparators(folder), reserved.errorString())
                                .toStdString());
    return reserved.fileName();
}

// The longest start of text, cut between characters as shown (never inside
// one, nor between a character and its marks), that takes at most maxBytes
// bytes in UTF-8.
QString startWithin(const QString &text, int maxBytes)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype fits = 0;
    for (qsizetype at = graphemes.toNextBoundary(); at != -1; at = graphemes.toNextBoundary()) {
        if (text.left(at).toUtf8().size() > maxBytes)
            break;
        fits = at;
    }
    return text.left(fits);
}

// grade + class + date, without the characters a file name cannot hold, the
// grade and class shortened where the whole would be too long a file name.
QString suggestedFileName(const QString &grade, const QString &className, const QDate &day)
{
    QString name = grade + className;
    for (QChar &ch : name)
        if (ch.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(ch))
            ch = u'_';
    const QString ending =
        day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".xlsx");
    return startWithin(name, kMaxFileNameBytes - static_cast<int>(ending.toUtf8().size())) + ending;
}

// The number a tally's text stands for, when it is written as a number is
// shown ("0", "12", "-2.25": no blank, plus, exponent, leading zero or
// trailing zero of a fraction) and a workbook holds it exactly.
std::optional<double> plainNumber(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.[0-9]*[1-9])?$"));
    if (text == QLatin1String("-0") || !plain.match(text).hasMatch())
        return std::nullopt;
    const QByteArray digits = text.toLatin1();
    double value = 0;
    const char *end = digits.constData() + digits.size();
    if (std::from_chars(digits.constData(), end, value).ptr != end)
        return std::nullopt;
    // The shortest digits that read back as the same double must be the text.
    char shortest[400];
    const auto written =
        std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::fixed);
    if (written.ec != std::errc() || QByteArray(shortest, written.ptr - shortest) != digits)
        return std::nullopt;
    return value;
}

// Writes the sheet where the teacher chooses; false after a cancel. Throws.
bool saveWorkbook(const Services &services, const Sheet &sheet, const QString &what,
                  const QString &grade, const QString &className, const QString &caption)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString path = services.files.saveFile(
        caption, QStringLiteral("Excel工作簿"), QStringLiteral("*.xlsx"),
        QDir(folder).filePath(suggestedFileName(grade, className, services.clock.today())));
    if (path.isEmpty())
        return false;
    services.workbookWriter->write(path, sheet);
    services.messages.show(kSavedTo.arg(what) + QDir::toNativeSeparators(path),
                           MessageStyle::Information);
    return true;
}

// Opens the sheet in the first spreadsheet program from the `from`th on that
// is installed and starts; a program that fails counts as missing. Without
// one, asks where to save it, saying why (notOpened) when programs failed.
// Throws; a report of a failed program comes later, on the event loop, and
// is handled there.
void openOrSave(const Services &services, const std::shared_ptr<const Sheet> &sheet,
                const QString &what, const QString &grade, const QString &className,
                std::size_t from, const QString &notOpened)
{
    for (std::size_t i = from; i < kSpreadsheetPrograms.size(); ++i) {
        const QString program = services.launcher->findProgram(kSpreadsheetPrograms[i].names);
        if (program.isEmpty())
            continue;
        const QString written = newWorkbookPath(what, services.clock);
        try {
            services.workbookWriter->write(written, *sheet);
        } catch (...) {
            QFile::remove(written);
            throw;
        }
        // Written to be opened, not kept: a program that opens the file
        // itself (WPS) cannot save over it, and asks where to save.
        QFile::setPermissions(written, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup
                                           | QFile::ReadOther);
        services.launcher->start(
            program, kSpreadsheetPrograms[i].options + QStringList{written},
            [=](const QString &reason) {
                // Nothing opened it: a file left in the program's folder is of no use.
                QFile::remove(written);
                try {
                    openOrSave(services, sheet, what, grade, className, i + 1,
                               notOpened.isEmpty() ? reason : notOpened + u'；' + reason);
                } catch (const std::exception &e) {
                    services.messages.show(kExportFailed + QString::fromUtf8(e.what()),
                                           MessageStyle::Error);
                }
            });
        return;
    }
    if (!notOpened.isEmpty())
        services.messages.show(kNotOpened.arg(what) + notOpened + kSaveInstead.arg(what),
                               MessageStyle::Error);
    saveWorkbook(services, *sheet, what, grade, className,
                 (notOpened.isEmpty() ? kWhereToSave : kWhereToSaveInstead).arg(what));
}

} // namespace

Sheet framedTable(const QString &title, const std::vector<QStringList> &rows,
                  const std::function<bool(int column)> &numberColumn)
{
    Sheet sheet;
    int columns = 1;
    for (const QStringList &row : rows)
        columns = std::max(columns, static_cast<int>(row.size()));
    CellFormat titleFormat;
    titleFormat.bold = true;
    titleFormat.pointSize = 36;
    titleFormat.centred = true;
    titleFormat.lineBelow = true;
    sheet.merges.push_back({0, 0, columns - 1, title, titleFormat});

    CellFormat framed;
    framed.framed = true;
    sheet.cells.reserve(rows.size() * static_cast<std::size_t>(columns));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < columns; ++c) {
            Sheet::Cell cell{static_cast<int>(r) + 1, c, rows[r].value(c), framed, std::nullopt};
            if (r > 0 && numberColumn(c))
                cell.number = plainNumber(cell.text);
            sheet.cells.push_back(std::move(cell));
        }
    }
    return sheet;
}

void exportSheet(const Services &services, Sheet sheet, const QString &what, const QString &grade,
                 const QString &className)
{
    try {
        if (!services.workbookWriter || !services.launcher)
            throw WorkbookWriteError("没有可用的工作簿写入程序");
        openOrSave(services, std::make_shared<const Sheet>(std::move(sheet)), what, grade,
                   className, 0, QString());
    } catch (const std::exception &e) {
        services.messages.show(kExportFailed + QString::fromUtf8(e.what()), MessageStyle::Error);
    }
}

} // namespace quorvel
