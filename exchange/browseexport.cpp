// The export of the browser's grid into a new workbook.

#include "exchange/browsedialog.h"

#include "platform/filedialog.h"
#include "platform/flexgrid.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "platform/workbookwriter.h"

#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace quorvel {

namespace {

const QString kExportFailed = QStringLiteral("导出失败：");
const QString kSavedTo = QStringLiteral("评价数据已保存至：");
const QString kWhereToSave = QStringLiteral("没有找到电子表格程序，请选择评价数据的保存位置");

// The spreadsheet programs that open a workbook as a new, untitled document
// with "-n", in the order they are looked for.
const QStringList kSpreadsheetPrograms{QStringLiteral("libreoffice"), QStringLiteral("soffice")};

// Workbooks handed to the spreadsheet program are read by it at its start;
// the ones left from earlier days are no longer needed.
void removeOldWorkbooks(const QDir &folder)
{
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    const QFileInfoList old = folder.entryInfoList({QStringLiteral("评价数据-*.xlsx")}, QDir::Files);
    for (const QFileInfo &f : old)
        if (f.lastModified() < dayAgo)
            QFile::remove(f.absoluteFilePath());
}

// A new, unused name in the program's own folder for workbooks.
QString newWorkbookPath()
{
    const QString folder = workbookFolder();
    if (folder.isEmpty())
        throw WorkbookWriteError("无法创建存放工作簿的文件夹");
    removeOldWorkbooks(QDir(folder));
    QTemporaryFile reserved(folder + QStringLiteral("/评价数据-XXXXXX.xlsx"));
    reserved.setAutoRemove(false);
    if (!reserved.open())
        throw WorkbookWriteError(QStringLiteral("无法在%1中创建文件（%2）")
                                .arg(QDir::toNativeSeparators(folder), reserved.errorString())
                                .toStdString());
    return reserved.fileName();
}

// grade + class + date, without the characters a file name cannot hold.
QString suggestedFileName(const QString &grade, const QString &className)
{
    QString name = grade + className + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    for (QChar &ch : name)
        if (ch.unicode() < 0x20 || QStringLiteral("/\\:*?\"<>|").contains(ch))
            ch = u'_';
    return name + QStringLiteral(".xlsx");
}

} // namespace

Sheet BrowseDialog::evaluationSheet(const QString &title) const
{
    Sheet sheet;
    const int columns = Grid1->Cols();
    CellFormat titleFormat;
    titleFormat.bold = true;
    titleFormat.pointSize = 36;
    titleFormat.centred = true;
    titleFormat.lineBelow = true;
    sheet.merges.push_back({0, 0, columns - 1, title, titleFormat});

    CellFormat framed;
    framed.framed = true;
    const int rows = Grid1->Rows();
    sheet.cells.reserve(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            sheet.cells.push_back({r + 1, c, Grid1->TextMatrix(r, c), framed});
    return sheet;
}

void BrowseDialog::exportToWorkbook()
{
    const QString grade = ComboBox1->currentText();
    const QString className = ComboBox2->currentText();
    QString written;
    try {
        if (!services_.workbookWriter || !services_.launcher)
            throw WorkbookWriteError("没有可用的工作簿写入程序");
        const Sheet sheet = evaluationSheet(grade + u' ' + className);
        const QString program = services_.launcher->findProgram(kSpreadsheetPrograms);
        if (program.isEmpty()) {
            saveWorkbook(sheet, grade, className);
            return;
        }
        written = newWorkbookPath();
        services_.workbookWriter->write(written, sheet);
        QString reason;
        if (!services_.launcher->startDetached(program, {QStringLiteral("-n"), written}, &reason))
            throw WorkbookWriteError(reason.toStdString());
    } catch (const std::exception &e) {
        // Nothing opened it: a file left in the program's folder is of no use.
        if (!written.isEmpty())
            QFile::remove(written);
        services_.messages.show(kExportFailed + QString::fromUtf8(e.what()), MessageStyle::Error);
    }
}

bool BrowseDialog::saveWorkbook(const Sheet &sheet, const QString &grade,
                                const QString &className)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString path = services_.files.saveFile(
        kWhereToSave, QStringLiteral("Excel工作簿"), QStringLiteral("*.xlsx"),
        QDir(folder).filePath(suggestedFileName(grade, className)));
    if (path.isEmpty())
        return false;
    services_.workbookWriter->write(path, sheet);
    services_.messages.show(kSavedTo + QDir::toNativeSeparators(path), MessageStyle::Information);
    return true;
}

} // namespace quorvel
