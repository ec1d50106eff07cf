#include "workbook/readers/csvworkbook.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace quorvel {

namespace {

[[noreturn]] void badEncoding()
{
    throw WorkbookError(WorkbookFailure::Encoding);
}

// How well a text reads as UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
struct Utf8Reading {
    std::size_t wide = 0;                           // characters of two bytes or more
    std::size_t stray = 0;                          // bytes that start no character
    std::size_t firstStray = std::string::npos;
};

// The length of the well-formed UTF-8 character at p, 0 when there is none.
int utf8Length(const unsigned char *p, const unsigned char *end)
{
    const unsigned char b = *p;
    if (b < 0x80)
        return 1;
    int more = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        more = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        more = 2;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        more = 3;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (end - p <= more || p[1] < lo || p[1] > hi)
        return 0;
    for (int i = 2; i <= more; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return more + 1;
}

Utf8Reading readAsUtf8(std::string_view s)
{
    Utf8Reading r;
    const auto *begin = reinterpret_cast<const unsigned char *>(s.data());
    const auto *end = begin + s.size();
    for (const auto *p = begin; p < end;) {
        const int n = utf8Length(p, end);
        if (n == 0) {
            if (r.stray++ == 0)
                r.firstStray = static_cast<std::size_t>(p - begin);
            ++p;
            continue;
        }
        if (n > 1)
            ++r.wide;
        p += n;
    }
    return r;
}

std::string fromUtf16(std::string_view bytes, bool bigEndian)
{
    if (bytes.size() % 2 != 0)
        badEncoding();
    std::string out;
    out.reserve(bytes.size() * 3 / 2);
    auto unit = [&](std::size_t i) -> char32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xDC00 && c <= 0xDFFF)
            badEncoding();
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 3 >= bytes.size())
                badEncoding();
            const char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF)
                badEncoding();
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::string fromGb18030(std::string &bytes)
{
    const iconv_t cd = iconv_open("UTF-8", "GB18030");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw WorkbookError(WorkbookFailure::Unreadable, 0, "系统不支持GB18030编码");
    // No character takes more than twice its GB18030 bytes in UTF-8.
    std::string out(bytes.size() * 2, '\0');
    char *in = bytes.data();
    std::size_t inLeft = bytes.size();
    char *o = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0)
        badEncoding();
    out.resize(out.size() - outLeft);
    return out;
}

bool isRecordEnd(char c)
{
    return c == '\n' || c == '\r';
}

class CsvWorksheet final : public Worksheet {
public:
    // Reads every record once, so that an open quote or a stray byte fails
    // before any row is read.
    explicit CsvWorksheet(CsvText text) : text_(std::move(text.text))
    {
        separator_ = firstLineSeparator();
        std::string_view discard[kSheetColumns];
        while (pos_ < text_.size()) {
            record(discard, records_ + 1);
            ++records_;
            if (text.firstStrayByte < pos_)
                throw WorkbookError(WorkbookFailure::BadUtf8, records_);
        }
        pos_ = 0;
    }

    int usedRows() override { return records_; }

    bool nextRow(SheetRow &row) override
    {
        if (pos_ >= text_.size())
            return false;
        ++row_;
        std::string_view fields[kSheetColumns];
        record(fields, row_);
        for (int c = 0; c < kSheetColumns; ++c) {
            std::string t(fields[c]);
            cutAtNul(t);
            if (t.empty()) {
                row[static_cast<std::size_t>(c)] = Cell::empty();
                continue;
            }
            if (utf8Characters(t) > static_cast<std::size_t>(kMaxCellCharacters))
                throw WorkbookError(WorkbookFailure::CellTooLong, row_);
            row[static_cast<std::size_t>(c)] = Cell::ofText(std::move(t));
        }
        return true;
    }

private:
    // The separator that occurs most often outside quotes in the first
    // record; a comma when there is none.
    char firstLineSeparator() const
    {
        int comma = 0, semicolon = 0, tab = 0;
        bool quoted = false;
        for (char c : text_) {
            if (c == '"')
                quoted = !quoted;
            else if (quoted)
                continue;
            else if (isRecordEnd(c))
                break;
            else if (c == ',')
                ++comma;
            else if (c == ';')
                ++semicolon;
            else if (c == '\t')
                ++tab;
        }
        if (semicolon > comma && semicolon >= tab)
            return ';';
        if (tab > comma && tab > semicolon)
            return '\t';
        return ',';
    }

    // Reads one record, row number row, from pos_ on, its first three
    // fields into fields (views into the text, or into field_ for quoted
    // ones that needed their doubled quotes undone). Leaves pos_ after the
    // record's end.
    void record(std::string_view (&fields)[kSheetColumns], int row)
    {
        for (auto &f : fields)
            f = {};
        const std::size_t n = text_.size();
        for (int column = 0;; ++column) {
            const bool kept = column < kSheetColumns;
            std::size_t start = pos_;
            if (pos_ < n && text_[pos_] == '"') {
                // Quoted: separators and line ends inside belong to it; ""
                // stands for one quote. Anything after the closing quote up
                // to the separator is kept, as spreadsheets do.
                std::string *buffer = kept ? &field_[column] : nullptr;
                if (buffer)
                    buffer->clear();
                ++pos_;
                for (;;) {
                    const std::size_t q = text_.find('"', pos_);
                    const std::size_t stop = q == std::string::npos ? n : q;
                    if (buffer)
                        buffer->append(text_, pos_, stop - pos_);
                    pos_ = stop;
                    // Read on, the quote would take the rest of the file as
                    // one field: a file that needs mending, not a roster.
                    if (q == std::string::npos)
                        throw WorkbookError(WorkbookFailure::UnclosedQuote, row);
                    if (q + 1 < n && text_[q + 1] == '"') {
                        if (buffer)
                            *buffer += '"';
                        pos_ = q + 2;
                        continue;
                    }
                    pos_ = q + 1;
                    break;
                }
                start = pos_;
                while (pos_ < n && text_[pos_] != separator_ && !isRecordEnd(text_[pos_]))
                    ++pos_;
                if (buffer) {
                    buffer->append(text_, start, pos_ - start);
                    fields[column] = *buffer;
                }
            } else {
                while (pos_ < n && text_[pos_] != separator_ && !isRecordEnd(text_[pos_]))
                    ++pos_;
                if (kept)
                    fields[column] = std::string_view(text_).substr(start, pos_ - start);
            }
            if (pos_ < n && text_[pos_] == separator_) {
                ++pos_;
                continue;
            }
            if (pos_ < n && text_[pos_] == '\r')
                ++pos_;
            if (pos_ < n && text_[pos_] == '\n')
                ++pos_;
            return;
        }
    }

    std::string text_;
    char separator_ = ',';
    std::size_t pos_ = 0;
    int records_ = 0;
    int row_ = 0;
    std::string field_[kSheetColumns];
};

} // namespace

CsvText csvTextAsUtf8(std::string bytes)
{
    CsvText csv;
    const std::string_view b(bytes);
    if (b.starts_with("\xFF\xFE")) {
        csv.text = fromUtf16(b.substr(2), false);
    } else if (b.starts_with("\xFE\xFF")) {
        csv.text = fromUtf16(b.substr(2), true);
    } else {
        // UTF-16 without its mark: a NUL beside every character of Latin
        // script, separators and line ends among them. A stray NUL or two
        // in a UTF-8 text only end their cells.
        if (static_cast<std::size_t>(std::count(b.begin(), b.end(), '\0')) * 16 > b.size())
            badEncoding();
        const bool marked = b.starts_with("\xEF\xBB\xBF");
        const Utf8Reading utf8 = readAsUtf8(marked ? b.substr(3) : b);
        if (utf8.stray == 0 || marked || utf8.wide >= 4 * utf8.stray) {
            csv.text = marked ? bytes.substr(3) : std::move(bytes);
            csv.firstStrayByte = utf8.firstStray;
        } else {
            csv.text = fromGb18030(bytes);
        }
    }
    return csv;
}

std::unique_ptr<Worksheet> CsvWorkbookReader::openFirstSheet(const std::string &path)
{
    return std::make_unique<CsvWorksheet>(csvTextAsUtf8(readWholeFile(path)));
}

} // namespace quorvel
