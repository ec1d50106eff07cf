#pragma once

#include <array>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorvel {

// The characters of a UTF-8 text: every byte that does not continue a
// sequence starts one.
inline std::size_t utf8Characters(std::string_view text)
{
    std::size_t n = 0;
    for (char b : text)
        if ((static_cast<unsigned char>(b) & 0xC0) != 0x80)
            ++n;
    return n;
}

// One cell of a worksheet: nothing, a text, or a number.
struct Cell {
    enum class Kind { Empty, Text, Number };
    Kind kind = Kind::Empty;
    std::string text;    // Kind::Text, UTF-8
    double number = 0;   // Kind::Number

    static Cell empty() { return {}; }
    static Cell ofText(std::string t) { return {Kind::Text, std::move(t), 0}; }
    static Cell ofNumber(double n) { return {Kind::Number, {}, n}; }
};

// Appends the UTF-8 bytes of the character c (at most U+10FFFF).
inline void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Columns A, B and C: all that Quorvel reads of a row.
inline constexpr int kSheetColumns = 3;
using SheetRow = std::array<Cell, kSheetColumns>;

// The longest cell text a workbook may hold, in characters. A longer one
// fails the reading rather than being cut.
inline constexpr int kMaxCellCharacters = 1000;

// The most rows a worksheet holds (Excel 2007 and later, LibreOffice): a
// sheet that claims more is damaged.
inline constexpr int kMaxSheetRows = 1048576;

// What one part of a zip package (.xlsx, .ods) may unpack to: this many
// bytes, and this many times its packed size (beyond the first MiB, which a
// small part of blanks may pass). More is a zip bomb, not a roster.
inline constexpr long long kMaxPartBytes = 256LL << 20;
inline constexpr long long kMaxPartRatio = 200;

// A NUL character ends a cell's text in every format: what follows it in
// that cell is not read (FreeXL hands .xls texts over as C strings, so .xls
// cannot do otherwise, and the other formats follow it).
inline void cutAtNul(std::string &text)
{
    const auto nul = text.find('\0');
    if (nul != std::string::npos)
        text.resize(nul);
}

// Why a workbook could not be read.
enum class WorkbookFailure : int {
    MissingFile = 1,  // no such file, or it cannot be read
    NotWorkbook,      // none of the formats read (random bytes, an empty file, another kind of zip)
    Damaged,          // a workbook, but broken or cut short
    Password,         // encrypted
    NoSheet,          // holds no worksheet
    CellTooLong,      // a cell of row() holds more than kMaxCellCharacters characters
    Encoding,         // a CSV text in none of the encodings read
    NotAFile,         // a folder or a device, chosen by its name
    UnclosedQuote,    // a CSV quote opened on row() is never closed
    BadUtf8,          // a UTF-8 CSV text with stray bytes, the first on row()
    BadCell,          // a cell of row() in columns A to C holds nothing the reader can read
    Oversized,        // a part of the zip unpacks past the limits
    Unreadable,       // the reading itself broke down: what() says how
};

// what() is the reason for the teacher, in Chinese (UTF-8).
class WorkbookError : public std::runtime_error {
public:
    explicit WorkbookError(WorkbookFailure failure, int row = 0, const std::string &detail = {});
    WorkbookFailure failure() const { return failure_; }
    int row() const { return row_; }

private:
    WorkbookFailure failure_;
    int row_;
};

// The first worksheet of an opened workbook, read from the top, row by row.
class Worksheet {
public:
    virtual ~Worksheet() = default;
    // The number of rows of the sheet's used range (row 1 counts), at most
    // kMaxSheetRows. Readers that stream a sheet know it only roughly before
    // the end (from what the file says, or from the bytes read so far): they
    // give their best guess, which may change as rows are read. Throws
    // WorkbookError: a reader may open the file only when first asked.
    virtual int usedRows() = 0;
    // Fills row with the first three cells of the next row, starting at row
    // 1; false once every used row has been read. Throws WorkbookError.
    virtual bool nextRow(SheetRow &row) = 0;
};

// The whole content of the file at path. Throws WorkbookError(MissingFile).
std::string readWholeFile(const std::string &path);

// Opens workbooks: .xls, .xlsx, .ods and .csv.
class WorkbookReader {
public:
    virtual ~WorkbookReader() = default;
    // path in the system's file-name encoding. Throws WorkbookError when the
    // file is not a readable workbook, here or at the sheet's first use.
    virtual std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) = 0;
};

} // namespace quorvel
