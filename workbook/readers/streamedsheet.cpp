#include "workbook/readers/streamedsheet.h"

#include <algorithm>

namespace quorvel {

namespace {

// The first guess, before any row was read: a row of three short cells
// takes about this many bytes in either format.
constexpr std::uint64_t kGuessedRowBytes = 120;

} // namespace

void StreamedSheet::setStatedRows(std::int64_t rows)
{
    if (rows > kMaxSheetRows)
        throw WorkbookError(WorkbookFailure::Damaged);
    stated_ = rows;
}

int StreamedSheet::usedRows()
{
    const std::int64_t known = std::max(sent_, pendingHeld_ ? pendingNumber_ : 0);
    std::int64_t guess = stated_;
    // A stated number can be wrong (some writers state a single row before
    // they know better): past it, the bytes tell.
    if (guess <= 1 || known > guess) {
        const std::uint64_t rowBytes =
            known > 0 && bytesRead_ > rowsStart_
                ? std::max<std::uint64_t>(1, (bytesRead_ - rowsStart_) / static_cast<std::uint64_t>(known))
                : kGuessedRowBytes;
        const std::uint64_t left = partSize_ > bytesRead_ ? partSize_ - bytesRead_ : 0;
        guess = known + static_cast<std::int64_t>(std::min<std::uint64_t>(left / rowBytes, kMaxSheetRows));
    }
    return static_cast<int>(std::clamp<std::int64_t>(guess, known, kMaxSheetRows));
}

bool StreamedSheet::nextRow(SheetRow &row)
{
    if (!pendingHeld_ && !ended_) {
        std::int64_t number = 0;
        if (readRow(number, pending_)) {
            if (number <= sent_ || number <= pendingNumber_ || number > kMaxSheetRows)
                throw WorkbookError(WorkbookFailure::Damaged);
            pendingNumber_ = number;
            pendingHeld_ = true;
        } else {
            ended_ = true;
        }
    }
    if (!pendingHeld_)
        return false;
    ++sent_;
    if (sent_ < pendingNumber_) {
        row.fill(Cell::empty());
        return true;
    }
    row = std::move(pending_);
    pendingHeld_ = false;
    return true;
}

} // namespace quorvel
