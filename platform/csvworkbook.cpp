#include "platform/csvworkbook.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace quorvel {

namespace {

[[noreturn]] void badEncoding()
{
    throw WorkbookError(WorkbookFailure::Encoding);
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view s)
{
    const auto *p = reinterpret_cast<const unsigned char *>(s.data());
    const auto *end = p + s.size();
    while (p < end) {
        const unsigned char b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
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
            return false;
        }
        if (end - p <= more)
            return false;
        if (p[1] < lo || p[1] > hi)
            return false;
        for (int i = 2; i <= more; ++i)
            if ((p[i] & 0xC0) != 0x80)
                return false;
        p += more + 1;
    }
    return true;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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
    explicit CsvWorksheet(std::string text) : text_(std::move(text))
    {
        separator_ = firstLineSeparator();
        std::string_view discard[kSheetColumns];
        while (pos_ < text_.size()) {
            record(discard);
            ++records_;
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
        record(fields);
        for (int c = 0; c < kSheetColumns; ++c) {
            const std::string_view f = fields[c];
            if (f.empty()) {
                row[static_cast<std::size_t>(c)] = Cell::empty();
                continue;
            }
            std::string t(f);
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

    // Reads one record from pos_ on, its first three fields into fields
    // (views into the text, or into field_ for quoted ones that needed
    // their doubled quotes undone). Leaves pos_ after the record's end.
    void record(std::string_view (&fields)[kSheetColumns])
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
                    if (q == std::string::npos)
                        break;  // an unclosed quote takes the rest of the text
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

std::string csvTextAsUtf8(std::string bytes)
{
    std::string text;
    const std::string_view b(bytes);
    if (b.starts_with("\xEF\xBB\xBF")) {
        if (!isUtf8(b.substr(3)))
            badEncoding();
        text = bytes.substr(3);
    } else if (b.starts_with("\xFF\xFE")) {
        text = fromUtf16(b.substr(2), false);
    } else if (b.starts_with("\xFE\xFF")) {
        text = fromUtf16(b.substr(2), true);
    } else if (isUtf8(b)) {
        text = std::move(bytes);
    } else {
        text = fromGb18030(bytes);
    }
    if (text.find('\0') != std::string::npos)
        badEncoding();
    return text;
}

std::unique_ptr<Worksheet> CsvWorkbookReader::openFirstSheet(const std::string &path)
{
    return std::make_unique<CsvWorksheet>(csvTextAsUtf8(readWholeFile(path)));
}

} // namespace quorvel
