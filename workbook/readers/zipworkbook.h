#pragma once

// Reads .xlsx and .ods workbooks, which of the two by what the zip holds,
// streaming the first worksheet's XML from the zip: rows go out as they are
// read, and nothing but the shared strings and number formats of an .xlsx
// is held. Like FreeXL, only the reader program uses this.
//
// Cells read as the file holds them: shared, inline and rich texts; every
// saved formula result (number, text, truth value; an error is empty);
// merged, covered and repeated cells in their columns; line breaks, tabs
// and runs of blanks as written; numbers shown as dates or times by their
// number format as dates and times. A cell of columns A to C that holds
// anything else fails the reading with its row.

#include "workbook/workbookreader.h"
#include "workbook/readers/zippackage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel {

class ZipWorkbookReader final : public WorkbookReader {
public:
    std::unique_ptr<Worksheet> openFirstSheet(const std::string &path) override;
};

// The first sheet of an opened package of either kind.
std::unique_ptr<Worksheet> openXlsxSheet(std::shared_ptr<const ZipPackage> package);
std::unique_ptr<Worksheet> openOdsSheet(std::shared_ptr<const ZipPackage> package);

// Texts, numbers and dates as written in the XML of both kinds.
namespace zipcells {

// A text in the XML of more bytes than this holds more than
// kMaxCellCharacters characters, even with every character written as an
// escape such as _x0041_ (7 bytes): what lies beyond is not kept.
inline constexpr std::size_t kMaxKeptTextBytes = 16 * 1024;

// A text of a cell: empty when empty, too long fails with row. raw is
// changed: cut at a NUL.
Cell text(std::string raw, std::int64_t row);
// A number written in decimal ("12", "-2.5E3"); false for anything else.
bool number(std::string_view written, double &value);
// An ISO 8601 date, with a time or not (2024-09-01, 2024-09-01T08:30:00,
// with fractions of seconds and a zone, which is ignored), as days since
// 1970-01-01 with the day's fraction; hasTime tells whether a time was given.
bool isoDate(std::string_view written, double &days, bool &hasTime);

} // namespace zipcells

} // namespace quorvel
