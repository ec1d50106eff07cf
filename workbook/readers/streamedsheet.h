#pragma once

// The part of .xlsx and .ods reading that is the same for both: a sheet read
// as a stream of the rows that hold something in columns A to C, each with
// its number, the rows between them empty; and a guess at the number of rows
// from the bytes read so far, for the progress bar.

#include "workbook/workbookreader.h"

#include <cstdint>

namespace quorvel {

class StreamedSheet : public Worksheet {
public:
    int usedRows() override;
    bool nextRow(SheetRow &row) final;

protected:
    // The next row holding anything in columns A to C: its number (from 1,
    // above the number of the one before) and its cells; false after the
    // last. Throws WorkbookError.
    virtual bool readRow(std::int64_t &number, SheetRow &cells) = 0;

    // The number of rows the file itself states, when it does.
    void setStatedRows(std::int64_t rows);
    // Where the rows begin and how far the reading has got, in bytes of a
    // part of declaredSize bytes, for the guess when no number is stated.
    void setPartSize(std::uint64_t declaredSize) { partSize_ = declaredSize; }
    void setRowsStart(std::uint64_t at) { rowsStart_ = at; }
    void setBytesRead(std::uint64_t at) { bytesRead_ = at; }

private:
    std::int64_t stated_ = 0;
    std::uint64_t partSize_ = 0;
    std::uint64_t rowsStart_ = 0;
    std::uint64_t bytesRead_ = 0;
    std::int64_t sent_ = 0;       // rows given out so far
    std::int64_t pendingNumber_ = 0;
    SheetRow pending_;
    bool pendingHeld_ = false;
    bool ended_ = false;
};

} // namespace quorvel
