#include "workbook/readers/cellformat.h"

#include <cmath>
#include <cstdio>

namespace quorvel {

Shown builtinFormat(std::size_t id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36)
        || (id >= 50 && id <= 58))
        return Shown::Date;
    if ((id >= 18 && id <= 21) || id == 32 || id == 33 || (id >= 45 && id <= 47))
        return Shown::Time;
    if (id == 22)
        return Shown::DateTime;
    return Shown::Number;
}

// Whether code holds the word General (any case) at i.
bool generalAt(std::string_view code, std::size_t i)
{
    constexpr std::string_view word = "general";
    if (code.size() - i < word.size())
        return false;
    for (std::size_t k = 0; k < word.size(); ++k)
        if ((code[i + k] | 0x20) != word[k])
            return false;
    return true;
}

Shown formatCode(std::string_view code)
{
    bool date = false, time = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if ((c == 'G' || c == 'g') && generalAt(code, i)) {
            i += 6;  // LibreOffice names its standard format in full
        } else if (c == '"') {
            const auto close = code.find('"', i + 1);
            i = close == std::string_view::npos ? code.size() : close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;
        } else if (c == '[') {
            const auto close = code.find(']', i + 1);
            const std::string_view inside = code.substr(i + 1, close - i - 1);
            if (inside.find_first_of("hHsS") == 0)  // [h]:mm elapsed time
                time = true;
            i = close == std::string_view::npos ? code.size() : close;
        } else if (c == ';') {
            break;  // the first section decides
        } else if (c == 'y' || c == 'Y' || c == 'd' || c == 'D' || c == 'e') {
            date = true;
        } else if (c == 'h' || c == 'H' || c == 's' || c == 'S') {
            time = true;
        }
    }
    if (date && time)
        return Shown::DateTime;
    return date ? Shown::Date : time ? Shown::Time : Shown::Number;
}

void civilFromDays(long long z, int &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

long long daysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

Cell dateTimeCell(double days, Shown shown, long long origin)
{
    if (shown == Shown::Number)
        shown = Shown::Date;
    if (!std::isfinite(days) || days < -1e7 || days > 1e7)
        return Cell::ofNumber(days);
    double whole = std::floor(days);
    long long seconds = std::llround((days - whole) * 86400.0);
    if (seconds >= 86400) {
        whole += 1;
        seconds -= 86400;
    }
    int y;
    unsigned m, d;
    civilFromDays(origin + static_cast<long long>(whole), y, m, d);
    const int hh = static_cast<int>(seconds / 3600), mm = static_cast<int>(seconds / 60 % 60),
              ss = static_cast<int>(seconds % 60);
    char text[48];
    if (shown == Shown::Time)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", hh, mm, ss);
    else if (shown == Shown::DateTime)
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", y, m, d, hh, mm, ss);
    else
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    return Cell::ofText(text);
}

} // namespace quorvel
