#pragma once

#include <QString>

#include <array>
#include <memory>
#include <stdexcept>
#include <string>

namespace quorvel {

// One cell of a worksheet: nothing, a text, or a number.
struct Cell {
    enum class Kind { Empty, Text, Number };
    Kind kind = Kind::Empty;
    QString text;        // Kind::Text
    double number = 0;   // Kind::Number

    static Cell empty() { return {}; }
    static Cell ofText(QString t) { return {Kind::Text, std::move(t), 0}; }
    static Cell ofNumber(double n) { return {Kind::Number, {}, n}; }
};

// Columns A, B and C: all that Quorvel reads of a row.
inline constexpr int kSheetColumns = 3;
using SheetRow = std::array<Cell, kSheetColumns>;

// The longest cell text a workbook may hold, in characters. A longer one
// fails the reading rather than being cut.
inline constexpr int kMaxCellCharacters = 1000;

// Why a workbook could not be read.
enum class WorkbookFailure : int {
    MissingFile = 1,  // no such file, or it cannot be read
    NotXls,           // not an Excel 97-2003 workbook (a .xlsx, random bytes, an empty file)
    Damaged,          // a workbook, but broken or cut short
    Password,         // encrypted
    NoSheet,          // holds no worksheet
    CellTooLong,      // a cell of row() holds more than kMaxCellCharacters characters
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
    // The number of rows of the sheet's used range (row 1 counts).
    virtual int usedRows() const = 0;
    // Fills row with the first three cells of the next row, starting at row
    // 1; false once every used row has been read. Throws WorkbookError.
    virtual bool nextRow(SheetRow &row) = 0;
};

// Opens .xls workbooks.
class WorkbookReader {
public:
    virtual ~WorkbookReader() = default;
    // Throws WorkbookError when the file is not a readable workbook.
    virtual std::unique_ptr<Worksheet> openFirstSheet(const QString &path) = 0;
};

} // namespace quorvel
