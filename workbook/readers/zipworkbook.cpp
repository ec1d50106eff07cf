#include "workbook/readers/zipworkbook.h"

#include "workbook/readers/cellformat.h"

#include <charconv>
#include <cmath>

namespace quorvel {

namespace zipcells {

Cell text(std::string raw, std::int64_t row)
{
    cutAtNul(raw);
    if (raw.empty())
        return Cell::empty();
    if (utf8Characters(raw) > static_cast<std::size_t>(kMaxCellCharacters))
        throw WorkbookError(WorkbookFailure::CellTooLong, static_cast<int>(row));
    return Cell::ofText(std::move(raw));
}

bool number(std::string_view written, double &value)
{
    const auto first = written.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return false;
    written = written.substr(first, written.find_last_not_of(" \t\r\n") - first + 1);
    if (written.front() == '+')
        written.remove_prefix(1);
    const auto [end, ec] = std::from_chars(written.data(), written.data() + written.size(), value);
    // from_chars also takes "nan" and "inf": no cell holds those.
    return ec == std::errc() && end == written.data() + written.size() && std::isfinite(value);
}

namespace {

// Exactly n digits at text[at], as a number.
bool digits(std::string_view text, std::size_t at, std::size_t n, int &value)
{
    if (at + n > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

} // namespace

bool isoDate(std::string_view w, double &days, bool &hasTime)
{
    int y = 0, m = 0, d = 0;
    if (!digits(w, 0, 4, y) || w.size() < 10 || w[4] != '-' || !digits(w, 5, 2, m) || w[7] != '-'
        || !digits(w, 8, 2, d) || m < 1 || m > 12 || d < 1 || d > 31)
        return false;
    days = static_cast<double>(daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)));
    hasTime = false;
    std::size_t at = 10;
    if (at < w.size() && w[at] == 'T') {
        int hh = 0, mm = 0, ss = 0;
        if (!digits(w, at + 1, 2, hh) || at + 3 >= w.size() || w[at + 3] != ':'
            || !digits(w, at + 4, 2, mm) || hh > 24 || mm > 59)
            return false;
        at += 6;
        double seconds = 0;
        if (at < w.size() && w[at] == ':') {
            if (!digits(w, at + 1, 2, ss) || ss > 60)
                return false;
            seconds = ss;
            at += 3;
            if (at < w.size() && (w[at] == '.' || w[at] == ',')) {
                double scale = 0.1;
                for (++at; at < w.size() && w[at] >= '0' && w[at] <= '9'; ++at, scale /= 10)
                    seconds += (w[at] - '0') * scale;
            }
        }
        days += (hh * 3600.0 + mm * 60.0 + seconds) / 86400.0;
        hasTime = true;
    }
    // A zone (Z, +08:00) says where the time was taken; the cell shows it as written.
    if (at < w.size() && w[at] != 'Z' && w[at] != '+' && w[at] != '-')
        return false;
    return true;
}

} // namespace zipcells

std::unique_ptr<Worksheet> ZipWorkbookReader::openFirstSheet(const std::string &path)
{
    auto package = std::make_shared<const ZipPackage>(path);
    const std::string mimetype = package->head("mimetype", 100);
    if (mimetype.starts_with("application/vnd.oasis.opendocument.spreadsheet"))
        return openOdsSheet(package);
    if (!mimetype.empty())
        throw WorkbookError(WorkbookFailure::NotWorkbook);  // another OpenDocument file
    if (package->has("[Content_Types].xml"))
        return openXlsxSheet(package);
    if (package->has("content.xml") && package->has("META-INF/manifest.xml"))
        return openOdsSheet(package);
    throw WorkbookError(WorkbookFailure::NotWorkbook);
}

} // namespace quorvel
