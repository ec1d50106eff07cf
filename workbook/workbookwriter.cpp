#include "workbook/workbookwriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace quorvel {

namespace {

// The face every written format carries: the workbook's own face would be a
// Latin one, which renders Chinese badly in some spreadsheet programs.
constexpr const char *kFace = "宋体";
constexpr std::uint8_t kGb2312Charset = 134;

QString reasonFor(lxw_error error, int savedErrno, const QString &path)
{
    const QString cause =
        savedErrno ? QStringLiteral("（%1）").arg(QString::fromLocal8Bit(std::strerror(savedErrno)))
                   : QString();
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足");
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("无法创建文件%1").arg(QDir::toNativeSeparators(path)) + cause;
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("无法使用临时文件") + cause;
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("写入文件%1时出错").arg(QDir::toNativeSeparators(path)) + cause;
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("单元格中的文字过长");
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        return QStringLiteral("行数超出工作表的范围");
    default:
        return QStringLiteral("写入工作簿时出错（%1）").arg(QString::fromUtf8(lxw_strerror(error)));
    }
}

[[noreturn]] void fail(const QString &reason)
{
    throw WorkbookWriteError(reason.toStdString());
}

// One libxlsxwriter workbook, closed (and so freed) on every road out.
class Book {
public:
    explicit Book(const QByteArray &file) : book_(workbook_new(file.constData()))
    {
        if (!book_)
            fail(QStringLiteral("内存不足"));
        sheet_ = workbook_add_worksheet(book_, nullptr);
        if (!sheet_) {
            workbook_close(book_);
            fail(QStringLiteral("内存不足"));
        }
    }
    ~Book()
    {
        if (book_)
            workbook_close(book_);
    }
    Book(const Book &) = delete;
    Book &operator=(const Book &) = delete;

    lxw_worksheet *sheet() const { return sheet_; }

    lxw_format *format(const CellFormat &wanted)
    {
        for (const auto &[f, made] : formats_)
            if (f == wanted)
                return made;
        lxw_format *made = workbook_add_format(book_);
        if (!made)
            fail(QStringLiteral("内存不足"));
        format_set_font_name(made, kFace);
        format_set_font_charset(made, kGb2312Charset);
        if (wanted.bold)
            format_set_bold(made);
        if (wanted.pointSize > 0)
            format_set_font_size(made, wanted.pointSize);
        if (wanted.centred)
            format_set_align(made, LXW_ALIGN_CENTER);
        if (wanted.framed)
            format_set_border(made, LXW_BORDER_THIN);
        else if (wanted.lineBelow)
            format_set_bottom(made, LXW_BORDER_THIN);
        formats_.emplace_back(wanted, made);
        return made;
    }

    // Writes the file; the result of the whole write.
    std::pair<lxw_error, int> close()
    {
        errno = 0;
        const lxw_error result = workbook_close(std::exchange(book_, nullptr));
        return {result, errno};
    }

private:
    lxw_workbook *book_;
    lxw_worksheet *sheet_ = nullptr;
    std::vector<std::pair<CellFormat, lxw_format *>> formats_;
};

void check(lxw_error error, const QString &path)
{
    if (error != LXW_NO_ERROR)
        fail(reasonFor(error, 0, path));
}

} // namespace

void XlsxWorkbookWriter::write(const QString &path, const Sheet &sheet)
{
    // Written beside the target and moved over it when complete, so that a
    // failure never costs the file that was there.
    const QFileInfo target(path);
    if (!target.absoluteDir().exists())
        fail(QStringLiteral("文件夹%1不存在")
                 .arg(QDir::toNativeSeparators(target.absolutePath())));
    QTemporaryFile part(target.absoluteDir().filePath(QStringLiteral(".quorvel-XXXXXX.part")));
    if (!part.open())
        fail(QStringLiteral("无法在%1中创建文件（%2）")
                 .arg(QDir::toNativeSeparators(target.absolutePath()), part.errorString()));
    part.close();
    const QByteArray partName = QFile::encodeName(part.fileName());

    {
        Book book(partName);
        for (const Sheet::Merge &m : sheet.merges)
            check(worksheet_merge_range(book.sheet(), static_cast<lxw_row_t>(m.row),
                                        static_cast<lxw_col_t>(m.firstColumn),
                                        static_cast<lxw_row_t>(m.row),
                                        static_cast<lxw_col_t>(m.lastColumn),
                                        m.text.toUtf8().constData(), book.format(m.format)),
                  path);
        for (const Sheet::Cell &c : sheet.cells) {
            const auto row = static_cast<lxw_row_t>(c.row);
            const auto column = static_cast<lxw_col_t>(c.column);
            check(c.number ? worksheet_write_number(book.sheet(), row, column, *c.number,
                                                    book.format(c.format))
                           : worksheet_write_string(book.sheet(), row, column,
                                                    c.text.toUtf8().constData(),
                                                    book.format(c.format)),
                  path);
        }
        // Most failures, a file that cannot be created among them, show here.
        const auto [result, savedErrno] = book.close();
        if (result != LXW_NO_ERROR)
            fail(reasonFor(result, savedErrno, path));
    }

    // A new file gets the usual permissions, a replaced one keeps its own.
    QFile::setPermissions(part.fileName(),
                          target.exists() ? QFile::permissions(target.absoluteFilePath())
                                          : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser
                                                | QFile::WriteUser | QFile::ReadGroup
                                                | QFile::ReadOther);
    if (std::rename(partName.constData(), QFile::encodeName(target.absoluteFilePath()).constData())
        != 0)
        fail(QStringLiteral("无法写入文件%1（%2）")
                 .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(errno))));
    part.setAutoRemove(false);
}

QString workbookFolder()
{
    const QStringList bases{QStandardPaths::writableLocation(QStandardPaths::CacheLocation),
                            QDir::tempPath() + QStringLiteral("/quorvel")};
    for (const QString &base : bases) {
        if (base.isEmpty())
            continue;
        const QString folder = base + QStringLiteral("/workbooks");
        if (QDir().mkpath(folder))
            return folder;
    }
    return {};
}

} // namespace quorvel
