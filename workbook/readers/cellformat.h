#pragma once

// What .xlsx and .ods cells show their numbers as: dates and times by their
// number format, as FreeXL writes those of an .xls.

#include "workbook/workbookreader.h"

#include <cstddef>
#include <string_view>

namespace quorvel {

// What a number format shows a number as.
enum class Shown : unsigned char { Number, Date, Time, DateTime };

// Excel's built-in number formats by identifier, the Chinese ones included.
Shown builtinFormat(std::size_t id);

// A format code shows dates when it names years or days, times when it names
// hours or seconds; quoted texts, escaped characters, [...] parts (colours,
// conditions, locales) and the word General do not count.
Shown formatCode(std::string_view code);

// Days since 1970-01-01 of a civil date, and back (Howard Hinnant's algorithms).
long long daysFromCivil(int y, unsigned m, unsigned d);
void civilFromDays(long long z, int &y, unsigned &m, unsigned &d);

// days counted from day 0 at origin (days since 1970-01-01), with the day's
// fraction, as the text of a date and time as shown: 2024-09-01,
// 2024-09-01 08:30:00 or 08:30:00 (Shown::Number gives the date). A number
// too far from any date stays a number.
Cell dateTimeCell(double days, Shown shown, long long origin);

} // namespace quorvel
