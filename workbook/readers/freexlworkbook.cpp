#include "workbook/readers/freexlworkbook.h"

#include <freexl.h>


namespace quorvel {

namespace {

// A password-protected .xlsx (or .docx) is no zip but a compound file like
// an .xls, holding the encrypted package as a stream of that name.
bool holdsEncryptedPackage(const std::string &path)
{
    const std::string name("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    try {
        return readWholeFile(path).find(name) != std::string::npos;
    } catch (const WorkbookError &) {
        return false;
    }
}

WorkbookFailure failureOfOpen(int rc, const std::string &path)
{
    switch (rc) {
    case FREEXL_FILE_NOT_FOUND:
        return WorkbookFailure::MissingFile;
    case FREEXL_INVALID_CFBF_HEADER:
    case FREEXL_CFBF_INVALID_SIGNATURE:
    case FREEXL_CFBF_INVALID_SECTOR_SIZE:
        return WorkbookFailure::NotWorkbook;
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return holdsEncryptedPackage(path) ? WorkbookFailure::Password
                                           : WorkbookFailure::NotWorkbook;
    default:
        return WorkbookFailure::Damaged;
    }
}

class FreeXlWorksheet final : public Worksheet {
public:
    FreeXlWorksheet(const void *handle, unsigned rows, unsigned short columns)
        : handle_(handle), rows_(rows), columns_(columns)
    {
    }
    ~FreeXlWorksheet() override { freexl_close(handle_); }
    FreeXlWorksheet(const FreeXlWorksheet &) = delete;
    FreeXlWorksheet &operator=(const FreeXlWorksheet &) = delete;

    int usedRows() override { return static_cast<int>(rows_); }

    bool nextRow(SheetRow &row) override
    {
        if (next_ >= rows_)
            return false;
        for (unsigned short c = 0; c < kSheetColumns; ++c)
            row[c] = c < columns_ ? cell(next_, c) : Cell::empty();
        ++next_;
        return true;
    }

private:
    Cell cell(unsigned r, unsigned short c) const
    {
        FreeXL_CellValue value{};
        if (freexl_get_cell_value(handle_, r, c, &value) != FREEXL_OK)
            throw WorkbookError(WorkbookFailure::Damaged);
        switch (value.type) {
        case FREEXL_CELL_INT:
            return Cell::ofNumber(value.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return Cell::ofNumber(value.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME: {
            const char *text = value.value.text_value;
            if (!text)
                throw WorkbookError(WorkbookFailure::Damaged);
            const std::string_view bytes(text);
            if (utf8Characters(bytes) > static_cast<std::size_t>(kMaxCellCharacters))
                throw WorkbookError(WorkbookFailure::CellTooLong, static_cast<int>(r) + 1);
            return Cell::ofText(std::string(bytes));
        }
        default:  // FREEXL_CELL_NULL, and formulas, which FreeXL reports as NULL
            return Cell::empty();
        }
    }

    const void *handle_;
    unsigned rows_;
    unsigned short columns_;
    unsigned next_ = 0;
};

} // namespace

std::unique_ptr<Worksheet> FreeXlWorkbookReader::openFirstSheet(const std::string &path)
{
    const void *handle = nullptr;
    const int rc = freexl_open(path.c_str(), &handle);
    if (rc != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        throw WorkbookError(failureOfOpen(rc, path));
    }
    // An encrypted workbook opens "successfully" without a handle.
    if (!handle)
        throw WorkbookError(WorkbookFailure::Password);

    struct Closer {
        const void *handle;
        ~Closer()
        {
            if (handle)
                freexl_close(handle);
        }
    } closer{handle};

    unsigned info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) != FREEXL_OK)
        throw WorkbookError(WorkbookFailure::Damaged);
    if (info == FREEXL_BIFF_OBFUSCATED)
        throw WorkbookError(WorkbookFailure::Password);
    unsigned sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK)
        throw WorkbookError(WorkbookFailure::Damaged);
    if (sheets == 0)
        throw WorkbookError(WorkbookFailure::NoSheet);
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK)
        throw WorkbookError(WorkbookFailure::NoSheet);
    unsigned rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        throw WorkbookError(WorkbookFailure::Damaged);
    // An .xls sheet holds at most 65,536 rows of 256 columns: one that claims
    // more is broken, and must fail before anything is asked or cleared.
    if (rows > 65536 || columns > 256)
        throw WorkbookError(WorkbookFailure::Damaged);

    auto sheet = std::make_unique<FreeXlWorksheet>(handle, rows, columns);
    closer.handle = nullptr;
    return sheet;
}

} // namespace quorvel
