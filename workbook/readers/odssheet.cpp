// The first table of an OpenDocument spreadsheet (.ods).

#include "workbook/readers/cellformat.h"
#include "workbook/readers/streamedsheet.h"
#include "workbook/readers/xmlpart.h"
#include "workbook/readers/zipworkbook.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>

namespace quorvel {

namespace {

constexpr std::string_view kOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";
constexpr std::string_view kTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kCalcExt =
    "urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0";

using zipcells::kMaxKeptTextBytes;

// Rows and columns repeated past this many are no longer counted: the sheet
// is past its last row by then.
constexpr std::int64_t kCountLimit = std::int64_t{1} << 40;

[[noreturn]] void damaged()
{
    throw WorkbookError(WorkbookFailure::Damaged);
}

bool is(const XmlPart &xml, std::string_view space, std::string_view name)
{
    return xml.name() == name && xml.space() == space;
}

// A repeat count: 1 when not given; a count that is no positive number is
// a broken file.
std::int64_t repeatCount(std::string_view text)
{
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec == std::errc::result_out_of_range)
        return kCountLimit;
    if (ec != std::errc() || end != text.data() + text.size() || n < 1)
        damaged();
    return std::min(n, kCountLimit);
}

// An ISO 8601 duration such as PT08H30M00S (a time cell's value) as days.
bool duration(std::string_view w, double &days)
{
    bool negative = false;
    if (!w.empty() && w.front() == '-') {
        negative = true;
        w.remove_prefix(1);
    }
    if (w.empty() || w.front() != 'P')
        return false;
    w.remove_prefix(1);
    double seconds = 0;
    bool inTime = false, any = false;
    while (!w.empty()) {
        if (w.front() == 'T') {
            inTime = true;
            w.remove_prefix(1);
            continue;
        }
        double n = 0;
        const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), n,
                                               std::chars_format::fixed);
        if (ec != std::errc() || end == w.data() + w.size() || n < 0)
            return false;
        const char unit = *end;
        w.remove_prefix(static_cast<std::size_t>(end - w.data()) + 1);
        if (unit == 'D' && !inTime)
            seconds += n * 86400;
        else if (unit == 'H' && inTime)
            seconds += n * 3600;
        else if (unit == 'M' && inTime)
            seconds += n * 60;
        else if (unit == 'S' && inTime)
            seconds += n;
        else
            return false;
        any = true;
    }
    days = (negative ? -seconds : seconds) / 86400;
    return any;
}

// The text of a cell, collected from its paragraphs: runs of blanks are
// written as <text:s/>, tabs as <text:tab/>, line breaks as
// <text:line-break/> or a new paragraph. White space written as such stays
// as it stands, as LibreOffice reads it (where OpenDocument's rules would
// fold it into one blank). Notes, comments and phonetic guides are not part
// of the text.
class CellText {
public:
    void read(XmlPart &xml)
    {
        const int depth = xml.depth();
        int paragraph = -1;  // depth of the paragraph being read
        while (xml.nextWithin(depth)) {
            if (xml.isEnd()) {
                if (xml.depth() == paragraph)
                    paragraph = -1;
                continue;
            }
            if (xml.isText()) {
                if (paragraph >= 0)
                    append(xml.value());
                continue;
            }
            if (!xml.isStart())
                continue;
            if (xml.space() != kText) {
                xml.skipContent();  // comments (office:annotation), drawings
            } else if (paragraph < 0) {
                if (xml.name() == "p" || xml.name() == "h") {
                    if (paragraphs_++ > 0)
                        append("\n");
                    paragraph = xml.depth();
                } else {
                    xml.skipContent();
                }
            } else if (xml.name() == "s") {
                std::int64_t blanks = 1;
                while (xml.nextAttribute())
                    if (xml.name() == "c" && xml.space() == kText)
                        blanks = repeatCount(xml.value());
                append(std::string(static_cast<std::size_t>(std::min<std::int64_t>(
                                       blanks, kMaxKeptTextBytes + 1)),
                                   ' '));
            } else if (xml.name() == "tab") {
                append("\t");
            } else if (xml.name() == "line-break") {
                append("\n");
            } else if (xml.name() == "note" || xml.name() == "ruby-text"
                       || xml.name() == "tracked-changes") {
                xml.skipContent();
            }
            // Anything else of the text namespace (span, a, ruby-base,
            // meta) holds text of the paragraph: read on inside it.
        }
    }

    std::string &text() { return text_; }

private:
    void append(std::string_view s)
    {
        if (text_.size() <= kMaxKeptTextBytes)
            text_.append(s.substr(0, kMaxKeptTextBytes + 1 - text_.size()));
    }

    std::string text_;
    int paragraphs_ = 0;
};

class OdsSheet final : public StreamedSheet {
public:
    OdsSheet(std::shared_ptr<const ZipPackage> package, std::unique_ptr<ZipPart> content)
        : package_(std::move(package)), xml_(std::move(content))
    {
        setPartSize(xml_.declaredSize());
        while (xml_.next()) {
            if (!xml_.isStart())
                continue;
            if (is(xml_, kTable, "table")) {
                tableDepth_ = xml_.depth();
                setRowsStart(xml_.bytesRead());
                return;
            }
            // The styles and fonts before the body hold no table.
            if (xml_.space() == kOffice
                && (xml_.name() == "automatic-styles" || xml_.name() == "font-face-decls"
                    || xml_.name() == "scripts"))
                xml_.skipContent();
        }
        throw WorkbookError(WorkbookFailure::NoSheet);
    }

protected:
    bool readRow(std::int64_t &number, SheetRow &cells) override
    {
        if (repeatsLeft_ > 0) {
            --repeatsLeft_;
            number = ++row_;
            cells = repeated_;
            return true;
        }
        while (!ended_) {
            ended_ = !xml_.nextWithin(tableDepth_);  // later tables are not read
            setBytesRead(xml_.bytesRead());
            if (ended_ || !xml_.isStart())
                continue;
            if (xml_.space() == kTable
                && (xml_.name() == "table-row-group" || xml_.name() == "table-header-rows"
                    || xml_.name() == "table-rows"))
                continue;  // rows inside
            if (!is(xml_, kTable, "table-row")) {
                xml_.skipContent();  // columns, shapes, forms
                continue;
            }
            std::int64_t repeats = 1;
            while (xml_.nextAttribute())
                if (is(xml_, kTable, "number-rows-repeated"))
                    repeats = repeatCount(xml_.value());
            cells.fill(Cell::empty());
            const bool any = readCells(cells);
            if (!any) {
                // Empty rows, however many (a sheet ends with a run of them), give nothing.
                row_ = std::min(row_ + repeats, kCountLimit);
                continue;
            }
            // A row of cells written once with its repeat count: as many rows.
            // Past the last row a sheet holds, the reading fails.
            number = ++row_;
            repeatsLeft_ = std::min<std::int64_t>(repeats - 1, kMaxSheetRows);
            if (repeatsLeft_ > 0)
                repeated_ = cells;
            return true;
        }
        return false;
    }

private:
    [[noreturn]] void unreadable() const
    {
        throw WorkbookError(WorkbookFailure::BadCell, static_cast<int>(std::min<std::int64_t>(row_ + 1, kMaxSheetRows + 1)));
    }

    // The cells of the row whose start the part is on; whether any of
    // columns A to C holds something. Covered cells (the hidden part of a
    // merge) and repeated ones take their columns.
    bool readCells(SheetRow &cells)
    {
        const int depth = xml_.depth();
        std::int64_t column = 0;
        bool any = false;
        while (xml_.nextWithin(depth)) {
            if (!xml_.isStart())
                continue;
            const bool covered = is(xml_, kTable, "covered-table-cell");
            if (!covered && !is(xml_, kTable, "table-cell")) {
                xml_.skipContent();
                continue;
            }
            if (column >= kSheetColumns) {
                xml_.skipContent();
                continue;
            }
            std::int64_t repeats = 1;
            Cell cell = readCell(covered, repeats);
            for (std::int64_t c = column; c < std::min<std::int64_t>(column + repeats, kSheetColumns); ++c)
                cells[static_cast<std::size_t>(c)] = cell;
            any = any || cell.kind != Cell::Kind::Empty;
            column = std::min(column + repeats, kCountLimit);
        }
        return any;
    }

    // The cell whose start the part is on; repeats: its repeat count.
    Cell readCell(bool covered, std::int64_t &repeats)
    {
        std::string type, value, dateValue, timeValue, booleanValue, stringValue;
        bool hasString = false, error = false;
        while (xml_.nextAttribute()) {
            const std::string_view space = xml_.space(), name = xml_.name();
            if (space == kTable && name == "number-columns-repeated")
                repeats = repeatCount(xml_.value());
            else if (space == kCalcExt && name == "value-type")
                error = xml_.value() == "error";
            else if (space != kOffice)
                continue;
            else if (name == "value-type")
                type = xml_.value();
            else if (name == "value")
                value = xml_.value();
            else if (name == "date-value")
                dateValue = xml_.value();
            else if (name == "time-value")
                timeValue = xml_.value();
            else if (name == "boolean-value")
                booleanValue = xml_.value();
            else if (name == "string-value") {
                stringValue = xml_.value();
                hasString = true;
            }
        }
        // What a merge hides, and a formula's error (#DIV/0!), hold no value.
        if (covered || error) {
            xml_.skipContent();
            return Cell::empty();
        }
        const std::int64_t row = row_ + 1;
        if (type.empty() || (type == "string" && !hasString)) {
            CellText text;
            text.read(xml_);
            return zipcells::text(std::move(text.text()), row);
        }
        xml_.skipContent();
        if (type == "string")
            return zipcells::text(std::move(stringValue), row);
        if (type == "float" || type == "percentage" || type == "currency") {
            double number = 0;
            if (!zipcells::number(value, number))
                unreadable();
            return Cell::ofNumber(number);
        }
        if (type == "date") {
            double days = 0;
            bool hasTime = false;
            if (!zipcells::isoDate(dateValue, days, hasTime))
                unreadable();
            return dateTimeCell(days, hasTime ? Shown::DateTime : Shown::Date, 0);
        }
        if (type == "time") {
            double days = 0;
            if (!duration(timeValue, days))
                unreadable();
            return dateTimeCell(days, Shown::Time, 0);
        }
        if (type == "boolean") {
            if (booleanValue == "true" || booleanValue == "1")
                return Cell::ofText("TRUE");
            if (booleanValue == "false" || booleanValue == "0")
                return Cell::ofText("FALSE");
        }
        unreadable();
    }

    std::shared_ptr<const ZipPackage> package_;
    XmlPart xml_;
    int tableDepth_ = 0;
    std::int64_t row_ = 0;           // rows passed so far
    std::int64_t repeatsLeft_ = 0;   // of the row in repeated_
    SheetRow repeated_;
    bool ended_ = false;
};

// A password-protected document keeps its parts encrypted; its manifest
// says how for each.
bool encrypted(const ZipPackage &package)
{
    auto manifest = package.open("META-INF/manifest.xml");
    if (!manifest)
        return false;
    XmlPart xml(std::move(manifest));
    while (xml.next())
        if (xml.isStart("encryption-data"))
            return true;
    return false;
}

} // namespace

std::unique_ptr<Worksheet> openOdsSheet(std::shared_ptr<const ZipPackage> package)
{
    if (encrypted(*package))
        throw WorkbookError(WorkbookFailure::Password);
    auto content = package->open("content.xml");
    if (!content)
        throw WorkbookError(WorkbookFailure::NoSheet);
    return std::make_unique<OdsSheet>(std::move(package), std::move(content));
}

} // namespace quorvel
