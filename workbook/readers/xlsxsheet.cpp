// The first worksheet of an .xlsx package (Office Open XML, transitional or
// strict: elements are matched by their local names).

#include "workbook/readers/cellformat.h"
#include "workbook/readers/streamedsheet.h"
#include "workbook/readers/xmlpart.h"
#include "workbook/readers/zipworkbook.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvel {

namespace {

using zipcells::kMaxKeptTextBytes;

void appendKept(std::string &out, std::string_view text)
{
    if (out.size() <= kMaxKeptTextBytes)
        out.append(text.substr(0, kMaxKeptTextBytes + 1 - out.size()));
}

[[noreturn]] void damaged()
{
    throw WorkbookError(WorkbookFailure::Damaged);
}

// The text of the element whose start the part is on, up to its end.
std::string elementText(XmlPart &xml)
{
    std::string text;
    const int depth = xml.depth();
    while (xml.nextWithin(depth))
        if (xml.isText())
            appendKept(text, xml.value());
    return text;
}

// The text of a string item (<si>, <is>): its <t> elements, plain or in rich
// text runs; phonetic guides (<rPh>) are not part of it.
std::string richText(XmlPart &xml)
{
    std::string text;
    const int depth = xml.depth();
    while (xml.nextWithin(depth)) {
        if (xml.isStart("rPh"))
            xml.skipContent();
        else if (xml.isStart("t"))
            appendKept(text, elementText(xml));
    }
    return text;
}

// The UTF-16 unit of an escape _xHHHH_ at text[at], or -1.
long escapedUnit(std::string_view text, std::size_t at)
{
    if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_')
        return -1;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data() + at + 2, text.data() + at + 6, value, 16);
    return ec == std::errc() && end == text.data() + at + 6 ? static_cast<long>(value) : -1;
}

// Excel writes characters that XML cannot hold (control characters) as
// _xHHHH_, and a "_x" that would read as such an escape as _x005F_x.
std::string unescaped(std::string_view text)
{
    if (text.find("_x") == std::string_view::npos)
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const long unit = escapedUnit(text, i);
        if (unit < 0) {
            out += text[i++];
            continue;
        }
        i += 7;
        char32_t c = static_cast<char32_t>(unit);
        if (c >= 0xD800 && c <= 0xDBFF) {
            const long low = escapedUnit(text, i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
                i += 7;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xDC00 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        appendUtf8(out, c);
    }
    return out;
}

// A text as the cell holds it: unescaped, cut at a NUL, and one that has
// already lost its end to kMaxKeptTextBytes is too long.
Cell textCell(std::string_view raw, std::int64_t row)
{
    if (raw.size() > kMaxKeptTextBytes)
        throw WorkbookError(WorkbookFailure::CellTooLong, static_cast<int>(row));
    return zipcells::text(unescaped(raw), row);
}

// The shared strings, in one block: 8 bytes a string besides its text, so
// that a part of many tiny strings cannot take much more memory than it
// unpacks to. Texts too long for a cell are kept as that fact alone.
class SharedStrings {
public:
    void read(XmlPart &xml)
    {
        while (xml.next())
            if (xml.isStart("si"))
                add(richText(xml));
    }

    // The text of string index; false when there is no such string.
    // tooLong: it holds more than kMaxCellCharacters characters.
    bool at(std::size_t index, std::string_view &text, bool &tooLong) const
    {
        if (index >= spans_.size())
            return false;
        const Span span = spans_[index];
        tooLong = span.length == kTooLong;
        text = tooLong ? std::string_view()
                       : std::string_view(texts_).substr(span.offset, span.length);
        return true;
    }

private:
    static constexpr std::uint32_t kTooLong = std::numeric_limits<std::uint32_t>::max();
    struct Span {
        std::uint32_t offset;
        std::uint32_t length;
    };

    void add(const std::string &raw)
    {
        std::string text = unescaped(raw);
        cutAtNul(text);
        if (raw.size() > kMaxKeptTextBytes
            || utf8Characters(text) > static_cast<std::size_t>(kMaxCellCharacters)) {
            spans_.push_back({0, kTooLong});
            return;
        }
        // The part unpacks to at most kMaxPartBytes, far below 4 GiB.
        spans_.push_back({static_cast<std::uint32_t>(texts_.size()),
                          static_cast<std::uint32_t>(text.size())});
        texts_ += text;
    }

    std::string texts_;
    std::vector<Span> spans_;
};

// What each cell format (the s of a cell) shows numbers as.
class NumberFormats {
public:
    void read(XmlPart &xml)
    {
        std::unordered_map<std::size_t, Shown> codes;
        std::vector<std::size_t> formats;
        int cellXfs = -1;  // depth of <cellXfs>, whose <xf> the cells use
        while (xml.next()) {
            if (xml.isEnd() && xml.depth() == cellXfs)
                cellXfs = -1;
            if (!xml.isStart())
                continue;
            if (xml.name() == "cellXfs") {
                cellXfs = xml.depth();
            } else if (xml.name() == "numFmt") {
                std::size_t id = 0;
                Shown shown = Shown::Number;
                bool hasId = false;
                while (xml.nextAttribute()) {
                    if (xml.name() == "numFmtId")
                        hasId = index(xml.value(), id);
                    else if (xml.name() == "formatCode")
                        shown = formatCode(xml.value());
                }
                if (hasId)
                    codes[id] = shown;
            } else if (xml.name() == "xf" && cellXfs >= 0 && xml.depth() == cellXfs + 1) {
                std::size_t id = 0;
                while (xml.nextAttribute())
                    if (xml.name() == "numFmtId")
                        index(xml.value(), id);
                formats.push_back(id);
            }
        }
        shown_.reserve(formats.size());
        for (std::size_t id : formats) {
            const auto code = codes.find(id);
            shown_.push_back(code != codes.end() ? code->second : builtinFormat(id));
        }
    }

    Shown of(std::size_t xf) const { return xf < shown_.size() ? shown_[xf] : Shown::Number; }

    static bool index(std::string_view text, std::size_t &value)
    {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        return ec == std::errc() && end == text.data() + text.size();
    }

private:
    std::vector<Shown> shown_;
};

struct Relationship {
    std::string type;
    std::string target;  // the part's name in the zip
};

// The folder of a part's name, with its slash: "xl/" of "xl/workbook.xml".
std::string folderOf(std::string_view part)
{
    const auto slash = part.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// A relationship's target, relative to the folder of its source part or
// absolute from the package's root, as the part's name in the zip.
std::string resolvedTarget(std::string_view folder, std::string_view target)
{
    std::string joined = target.starts_with('/') ? std::string(target.substr(1))
                                                 : std::string(folder) + std::string(target);
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= joined.size()) {
        auto end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        const std::string segment = joined.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string resolved;
    for (const auto &s : segments)
        resolved += (resolved.empty() ? "" : "/") + s;
    return resolved;
}

// The relationships of a part, by identifier; none when it has no .rels part.
std::unordered_map<std::string, Relationship> relationshipsOf(const ZipPackage &package,
                                                              std::string_view part)
{
    std::unordered_map<std::string, Relationship> found;
    const std::string folder = folderOf(part);
    auto rels = package.open(folder + "_rels/" + std::string(part.substr(folder.size())) + ".rels");
    if (!rels)
        return found;
    XmlPart xml(std::move(rels));
    while (xml.next()) {
        if (!xml.isStart("Relationship"))
            continue;
        std::string id, target;
        Relationship r;
        bool external = false;
        while (xml.nextAttribute()) {
            if (xml.name() == "Id")
                id = xml.value();
            else if (xml.name() == "Type")
                r.type = xml.value();
            else if (xml.name() == "Target")
                target = xml.value();
            else if (xml.name() == "TargetMode")
                external = xml.value() == "External";
        }
        if (!external) {
            r.target = resolvedTarget(folder, target);
            found.emplace(std::move(id), std::move(r));
        }
    }
    return found;
}

// The target of the first relationship of the given kind (the end of its
// type, the same in transitional and strict packages), or "".
std::string targetOfType(const std::unordered_map<std::string, Relationship> &rels,
                         std::string_view kind)
{
    for (const auto &[id, r] : rels)
        if (r.type.ends_with(kind))
            return r.target;
    return {};
}

// The workbook part: which sheet is first, and the day its serial numbers count from.
struct WorkbookPart {
    std::string firstSheetId;  // relationship identifier
    long long origin = daysFromCivil(1899, 12, 30);
};

WorkbookPart readWorkbook(XmlPart &xml)
{
    WorkbookPart book;
    bool root = true;
    while (xml.next()) {
        if (!xml.isStart())
            continue;
        if (root) {
            // Another kind of Office document (a text, a presentation).
            if (xml.name() != "workbook")
                throw WorkbookError(WorkbookFailure::NotWorkbook);
            root = false;
        } else if (xml.name() == "workbookPr") {
            while (xml.nextAttribute())
                if (xml.name() == "date1904" && (xml.value() == "1" || xml.value() == "true"))
                    book.origin = daysFromCivil(1904, 1, 1);
        } else if (xml.name() == "sheet") {
            // The first sheet in the workbook's order, hidden or not.
            while (xml.nextAttribute())
                if (xml.name() == "id" && !xml.space().empty())
                    book.firstSheetId = xml.value();
            return book;
        }
    }
    if (root)
        damaged();
    return book;
}

// Column (0 for A) of a cell reference such as "B7"; -1 when it names none.
int columnOf(std::string_view reference)
{
    int column = 0;
    std::size_t i = 0;
    for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i) {
        column = column * 26 + (reference[i] - 'A' + 1);
        if (column > 16384)
            return -1;
    }
    return i == 0 ? -1 : column - 1;
}

class XlsxSheet final : public StreamedSheet {
public:
    XlsxSheet(std::shared_ptr<const ZipPackage> package, std::unique_ptr<ZipPart> part,
              SharedStrings strings, NumberFormats formats, long long origin)
        : package_(std::move(package)),
          xml_(std::move(part)),
          strings_(std::move(strings)),
          formats_(std::move(formats)),
          origin_(origin)
    {
        setPartSize(xml_.declaredSize());
        // Up to <sheetData>: the dimension, when stated, is the used range.
        while (xml_.next()) {
            if (!xml_.isStart())
                continue;
            if (xml_.name() == "dimension") {
                while (xml_.nextAttribute())
                    if (xml_.name() == "ref")
                        setStatedRows(lastRowOf(xml_.value()));
            } else if (xml_.name() == "sheetData") {
                dataDepth_ = xml_.depth();
                setRowsStart(xml_.bytesRead());
                return;
            } else if (xml_.depth() > 0) {
                xml_.skipContent();
            }
        }
        ended_ = true;  // a chart sheet: no cells at all
    }

protected:
    bool readRow(std::int64_t &number, SheetRow &cells) override
    {
        while (!ended_) {
            ended_ = !xml_.nextWithin(dataDepth_);
            setBytesRead(xml_.bytesRead());
            if (ended_ || !xml_.isStart())
                continue;
            if (xml_.name() != "row") {
                xml_.skipContent();
                continue;
            }
            std::int64_t r = row_ + 1;
            while (xml_.nextAttribute())
                if (xml_.name() == "r" && !rowNumber(xml_.value(), r))
                    damaged();
            if (r <= row_ || r > kMaxSheetRows)
                damaged();
            row_ = r;
            cells.fill(Cell::empty());
            if (readCells(cells)) {
                number = row_;
                return true;
            }
        }
        return false;
    }

private:
    static bool rowNumber(std::string_view text, std::int64_t &value)
    {
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        return ec == std::errc() && end == text.data() + text.size();
    }

    // The last row of a range such as "A1:C65536"; 0 when it says none.
    static std::int64_t lastRowOf(std::string_view range)
    {
        const auto colon = range.rfind(':');
        std::string_view last = colon == std::string_view::npos ? range : range.substr(colon + 1);
        const auto digits = last.find_first_of("0123456789");
        if (digits == std::string_view::npos)
            return 0;
        std::int64_t rows = 0;
        return rowNumber(last.substr(digits), rows) ? rows : 0;
    }

    // The cells of the row whose start the part is on; whether any of
    // columns A to C holds something.
    bool readCells(SheetRow &cells)
    {
        const int depth = xml_.depth();
        int column = -1;
        bool any = false;
        while (xml_.nextWithin(depth)) {
            if (!xml_.isStart())
                continue;
            if (xml_.name() != "c") {
                xml_.skipContent();
                continue;
            }
            std::string type = "n";
            std::size_t format = 0;
            int at = column + 1;
            while (xml_.nextAttribute()) {
                if (xml_.name() == "r") {
                    at = columnOf(xml_.value());
                    if (at < 0)
                        damaged();
                } else if (xml_.name() == "t") {
                    type = xml_.value();
                } else if (xml_.name() == "s") {
                    NumberFormats::index(xml_.value(), format);
                }
            }
            column = at;
            if (column >= kSheetColumns) {
                xml_.skipContent();
                continue;
            }
            Cell cell = readCell(type, format);
            any = any || cell.kind != Cell::Kind::Empty;
            cells[static_cast<std::size_t>(column)] = std::move(cell);
        }
        return any;
    }

    [[noreturn]] void unreadable() const
    {
        throw WorkbookError(WorkbookFailure::BadCell, static_cast<int>(row_));
    }

    // The cell whose start the part is on, of the given type and format.
    Cell readCell(std::string_view type, std::size_t format)
    {
        std::string value, inlineText;
        bool hasInline = false;
        const int depth = xml_.depth();
        while (xml_.nextWithin(depth)) {
            if (xml_.isStart("v")) {
                value = elementText(xml_);
            } else if (xml_.isStart("is")) {
                inlineText = richText(xml_);
                hasInline = true;
            } else if (xml_.isStart()) {
                xml_.skipContent();  // the formula itself, extensions
            }
        }
        if (type == "inlineStr")
            return textCell(hasInline ? inlineText : value, row_);
        // A missing or empty saved value (a formula never calculated) is an
        // empty cell, whatever its type says.
        if (value.empty())
            return Cell::empty();
        if (type == "n") {
            double number = 0;
            if (!zipcells::number(value, number))
                unreadable();
            const Shown shown = formats_.of(format);
            return shown == Shown::Number ? Cell::ofNumber(number)
                                          : dateTimeCell(number, shown, origin_);
        }
        if (type == "s") {
            std::size_t index = 0;
            std::string_view text;
            bool tooLong = false;
            if (!NumberFormats::index(value, index) || !strings_.at(index, text, tooLong))
                unreadable();
            if (tooLong)
                throw WorkbookError(WorkbookFailure::CellTooLong, static_cast<int>(row_));
            return text.empty() ? Cell::empty() : Cell::ofText(std::string(text));
        }
        if (type == "str")
            return textCell(value, row_);
        if (type == "b") {
            if (value == "1" || value == "true")
                return Cell::ofText("TRUE");
            if (value == "0" || value == "false")
                return Cell::ofText("FALSE");
            unreadable();
        }
        if (type == "e")
            return Cell::empty();  // #DIV/0!, #N/A: no value
        if (type == "d") {
            double days = 0;
            bool hasTime = false;
            if (!zipcells::isoDate(value, days, hasTime))
                unreadable();
            Shown shown = formats_.of(format);
            if (shown == Shown::Number)
                shown = hasTime && days != std::floor(days) ? Shown::DateTime : Shown::Date;
            return dateTimeCell(days, shown, 0);
        }
        unreadable();
    }

    std::shared_ptr<const ZipPackage> package_;
    XmlPart xml_;
    SharedStrings strings_;
    NumberFormats formats_;
    long long origin_;
    int dataDepth_ = 0;
    std::int64_t row_ = 0;   // number of the last <row> read
    bool ended_ = false;
};

} // namespace

std::unique_ptr<Worksheet> openXlsxSheet(std::shared_ptr<const ZipPackage> package)
{
    // The package's relationships name the workbook part; a zip without
    // them is no Office document, as Excel sees it too.
    const std::string workbookName =
        targetOfType(relationshipsOf(*package, ""), "/officeDocument");
    auto workbookPart = workbookName.empty() ? nullptr : package->open(workbookName);
    if (!workbookPart)
        throw WorkbookError(WorkbookFailure::NotWorkbook);
    WorkbookPart book;
    {
        XmlPart xml(std::move(workbookPart));
        book = readWorkbook(xml);
    }
    if (book.firstSheetId.empty())
        throw WorkbookError(WorkbookFailure::NoSheet);

    const auto rels = relationshipsOf(*package, workbookName);
    const auto sheet = rels.find(book.firstSheetId);
    if (sheet == rels.end())
        damaged();
    auto sheetPart = package->open(sheet->second.target);
    if (!sheetPart)
        damaged();

    NumberFormats formats;
    if (const std::string name = targetOfType(rels, "/styles"); !name.empty())
        if (auto part = package->open(name)) {
            XmlPart xml(std::move(part));
            formats.read(xml);
        }
    SharedStrings strings;
    if (const std::string name = targetOfType(rels, "/sharedStrings"); !name.empty())
        if (auto part = package->open(name)) {
            XmlPart xml(std::move(part));
            strings.read(xml);
        }
    return std::make_unique<XlsxSheet>(std::move(package), std::move(sheetPart), std::move(strings),
                                       std::move(formats), book.origin);
}

} // namespace quorvel
