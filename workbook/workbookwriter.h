#pragma once

#include <QString>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel {

// How one cell (or one merged cell) looks. Everything not set stays as the
// spreadsheet program makes it.
struct CellFormat {
    bool bold = false;
    double pointSize = 0;    // 0: the workbook's own size
    bool centred = false;    // horizontally
    bool lineBelow = false;  // a continuous line along the bottom edge
    bool framed = false;     // a continuous line on all four edges

    bool operator==(const CellFormat &) const = default;
};

// One worksheet, described cell by cell; rows and columns count from 0.
// A value is stored as the text it is, also one that looks like a number or
// a formula, unless the cell is given a number.
struct Sheet {
    struct Cell {
        int row = 0;
        int column = 0;
        QString text;
        CellFormat format;
        std::optional<double> number;  // when set, stored as this number instead
    };
    // Cells of one row merged into one, showing text.
    struct Merge {
        int row = 0;
        int firstColumn = 0;
        int lastColumn = 0;
        QString text;
        CellFormat format;
    };
    std::vector<Merge> merges;
    std::vector<Cell> cells;
};

// A workbook that could not be written; what() is the reason, in Chinese, UTF-8.
class WorkbookWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes new workbooks.
class WorkbookWriter {
public:
    virtual ~WorkbookWriter() = default;
    // Writes a workbook holding this one sheet at path, replacing a file
    // already there only once the new one is complete. Throws WorkbookWriteError;
    // a failed write leaves whatever was at path untouched.
    virtual void write(const QString &path, const Sheet &sheet) = 0;
};

// .xlsx through libxlsxwriter; every format carries the Chinese face 宋体.
class XlsxWorkbookWriter final : public WorkbookWriter {
public:
    void write(const QString &path, const Sheet &sheet) override;
};

// A folder of the program's own, under the user's cache (else the temporary
// location), for workbooks handed to another program. Created when missing;
// empty when none can be made.
QString workbookFolder();

} // namespace quorvel
