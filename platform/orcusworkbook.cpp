#include "platform/orcusworkbook.h"

#include <orcus/orcus_ods.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/import_interface.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace quorvel {

namespace {

namespace iface = orcus::spreadsheet::iface;
using orcus::spreadsheet::col_t;
using orcus::spreadsheet::row_t;

// What a number format shows a number as.
enum class Shown { Number, Date, Time, DateTime };

// Excel's built-in formats by identifier, the Chinese ones included.
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

// A format code shows dates when it names years or days, times when it
// names hours or seconds; quoted texts, escaped characters and [...] parts
// (colours, conditions, locales) do not count.
Shown formatCode(std::string_view code)
{
    bool date = false, time = false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        const char c = code[i];
        if (c == '"') {
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

// Days since 1970-01-01 to a civil date (Howard Hinnant's algorithm).
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

// As FreeXL writes the dates and times of an .xls: 2024-09-01,
// 2024-09-01 08:30:00, 08:30:00.
std::string dateTimeText(Shown shown, int y, unsigned m, unsigned d, int seconds)
{
    char text[40];
    const int hh = seconds / 3600, mm = seconds / 60 % 60, ss = seconds % 60;
    if (shown == Shown::Time)
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", hh, mm, ss);
    else if (shown == Shown::DateTime)
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", y, m, d, hh, mm, ss);
    else
        std::snprintf(text, sizeof text, "%04d-%02u-%02u", y, m, d);
    return text;
}

// One cell of columns A to C, as orcus reported it.
struct RawCell {
    enum class Kind : unsigned char { Empty, Number, Text, SharedText, Bool, DateTime };
    Kind kind = Kind::Empty;
    bool formatted = false;
    std::size_t xf = 0;
    double number = 0;        // Number, Bool; DateTime: days since 1970, with the day's fraction
    std::size_t shared = 0;   // SharedText
    std::string text;         // Text
};

struct RawRow {
    RawCell cells[kSheetColumns];
};

class Styles final : public iface::import_styles {
public:
    // Number formats by identifier, and the format identifier of each cell format.
    std::unordered_map<std::size_t, Shown> codes;
    std::vector<std::size_t> xfFormats;

    Shown shownBy(std::size_t xf) const
    {
        if (xf >= xfFormats.size())
            return Shown::Number;
        const std::size_t id = xfFormats[xf];
        const auto code = codes.find(id);
        return code != codes.end() ? code->second : builtinFormat(id);
    }

    void set_number_format_identifier(std::size_t id) override { formatId_ = id; }
    void set_number_format_code(std::string_view s) override { formatCode_ = formatCode(s); }
    std::size_t commit_number_format() override
    {
        codes[formatId_] = formatCode_;
        formatCode_ = Shown::Number;
        return formatId_;
    }
    void set_xf_number_format(std::size_t index) override { xfFormat_ = index; }
    std::size_t commit_cell_xf() override
    {
        xfFormats.push_back(xfFormat_);
        xfFormat_ = 0;
        return xfFormats.size() - 1;
    }
    std::size_t commit_cell_style_xf() override { return reset(styleXfs_); }
    std::size_t commit_dxf() override { return reset(dxfs_); }

    // Nothing else of the looks matters here.
    void set_font_count(std::size_t) override {}
    void set_font_bold(bool) override {}
    void set_font_italic(bool) override {}
    void set_font_name(std::string_view) override {}
    void set_font_size(double) override {}
    void set_font_underline(orcus::spreadsheet::underline_t) override {}
    void set_font_underline_width(orcus::spreadsheet::underline_width_t) override {}
    void set_font_underline_mode(orcus::spreadsheet::underline_mode_t) override {}
    void set_font_underline_type(orcus::spreadsheet::underline_type_t) override {}
    void set_font_underline_color(orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t,
                                  orcus::spreadsheet::color_elem_t,
                                  orcus::spreadsheet::color_elem_t) override {}
    void set_font_color(orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t,
                        orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t) override {}
    void set_strikethrough_style(orcus::spreadsheet::strikethrough_style_t) override {}
    void set_strikethrough_type(orcus::spreadsheet::strikethrough_type_t) override {}
    void set_strikethrough_width(orcus::spreadsheet::strikethrough_width_t) override {}
    void set_strikethrough_text(orcus::spreadsheet::strikethrough_text_t) override {}
    std::size_t commit_font() override { return fonts_++; }
    void set_fill_count(std::size_t) override {}
    void set_fill_pattern_type(orcus::spreadsheet::fill_pattern_t) override {}
    void set_fill_fg_color(orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t,
                           orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t) override {}
    void set_fill_bg_color(orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t,
                           orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t) override {}
    std::size_t commit_fill() override { return fills_++; }
    void set_border_count(std::size_t) override {}
    void set_border_style(orcus::spreadsheet::border_direction_t,
                          orcus::spreadsheet::border_style_t) override {}
    void set_border_color(orcus::spreadsheet::border_direction_t, orcus::spreadsheet::color_elem_t,
                          orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t,
                          orcus::spreadsheet::color_elem_t) override {}
    void set_border_width(orcus::spreadsheet::border_direction_t, double,
                          orcus::length_unit_t) override {}
    std::size_t commit_border() override { return borders_++; }
    void set_cell_hidden(bool) override {}
    void set_cell_locked(bool) override {}
    void set_cell_print_content(bool) override {}
    void set_cell_formula_hidden(bool) override {}
    std::size_t commit_cell_protection() override { return protections_++; }
    void set_number_format_count(std::size_t) override {}
    void set_cell_xf_count(std::size_t) override {}
    void set_cell_style_xf_count(std::size_t) override {}
    void set_dxf_count(std::size_t) override {}
    void set_xf_font(std::size_t) override {}
    void set_xf_fill(std::size_t) override {}
    void set_xf_border(std::size_t) override {}
    void set_xf_protection(std::size_t) override {}
    void set_xf_style_xf(std::size_t) override {}
    void set_xf_apply_alignment(bool) override {}
    void set_xf_horizontal_alignment(orcus::spreadsheet::hor_alignment_t) override {}
    void set_xf_vertical_alignment(orcus::spreadsheet::ver_alignment_t) override {}
    void set_cell_style_count(std::size_t) override {}
    void set_cell_style_name(std::string_view) override {}
    void set_cell_style_xf(std::size_t) override {}
    void set_cell_style_builtin(std::size_t) override {}
    void set_cell_style_parent_name(std::string_view) override {}
    std::size_t commit_cell_style() override { return cellStyles_++; }

private:
    std::size_t reset(std::size_t &counter)
    {
        xfFormat_ = 0;
        return counter++;
    }

    std::size_t formatId_ = 0;
    Shown formatCode_ = Shown::Number;
    std::size_t xfFormat_ = 0;
    std::size_t styleXfs_ = 0, dxfs_ = 0, fonts_ = 0, fills_ = 0, borders_ = 0,
                protections_ = 0, cellStyles_ = 0;
};

class SharedStrings final : public iface::import_shared_strings {
public:
    std::vector<std::string> strings;

    std::size_t append(std::string_view s) override
    {
        strings.emplace_back(s);
        return strings.size() - 1;
    }
    std::size_t add(std::string_view s) override { return append(s); }
    void set_segment_font(std::size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(orcus::spreadsheet::color_elem_t, orcus::spreadsheet::color_elem_t,
                                orcus::spreadsheet::color_elem_t,
                                orcus::spreadsheet::color_elem_t) override {}
    void append_segment(std::string_view s) override { segments_ += s; }
    std::size_t commit_segments() override
    {
        strings.push_back(std::move(segments_));
        segments_.clear();
        return strings.size() - 1;
    }

private:
    std::string segments_;
};

class GlobalSettings final : public iface::import_global_settings {
public:
    // Serial day 0: 1899-12-30 unless the workbook counts from 1904.
    long long origin = daysFromCivil(1899, 12, 30);

    void set_origin_date(int year, int month, int day) override
    {
        origin = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    }
    void set_default_formula_grammar(orcus::spreadsheet::formula_grammar_t g) override { grammar_ = g; }
    orcus::spreadsheet::formula_grammar_t get_default_formula_grammar() const override { return grammar_; }
    void set_character_set(orcus::character_set_t) override {}

private:
    orcus::spreadsheet::formula_grammar_t grammar_ = orcus::spreadsheet::formula_grammar_t::unknown;
};

// Cell references of the form A1 or $A$1, ranges A1:C3.
class References final : public iface::import_reference_resolver {
public:
    orcus::spreadsheet::src_address_t resolve_address(std::string_view a) override
    {
        orcus::spreadsheet::src_address_t at{0, 0, 0};
        std::size_t i = 0;
        auto skipDollar = [&] {
            if (i < a.size() && a[i] == '$')
                ++i;
        };
        skipDollar();
        long column = 0, row = 0;
        const std::size_t letters = i;
        while (i < a.size() && a[i] >= 'A' && a[i] <= 'Z' && column <= 16384)
            column = column * 26 + (a[i++] - 'A' + 1);
        skipDollar();
        const std::size_t digits = i;
        while (i < a.size() && a[i] >= '0' && a[i] <= '9' && row <= 1048576)
            row = row * 10 + (a[i++] - '0');
        if (i == letters || i == digits || digits == letters || i != a.size() || column == 0
            || row == 0 || column > 16384 || row > 1048576)
            throw std::invalid_argument("bad cell reference");
        at.row = static_cast<row_t>(row - 1);
        at.column = static_cast<col_t>(column - 1);
        return at;
    }

    orcus::spreadsheet::src_range_t resolve_range(std::string_view r) override
    {
        const auto colon = r.find(':');
        const auto first = resolve_address(r.substr(0, colon));
        return {first, colon == std::string_view::npos ? first : resolve_address(r.substr(colon + 1))};
    }
};

// The cells of columns A to C of the first sheet, in the order reported.
class FirstSheet;

// A formula: its saved result becomes the cell's value.
class Formula final : public iface::import_formula {
public:
    explicit Formula(FirstSheet &sheet) : sheet_(sheet) {}
    void set_position(row_t row, col_t col) override
    {
        row_ = row;
        col_ = col;
        result_ = RawCell{};
    }
    void set_formula(orcus::spreadsheet::formula_grammar_t, std::string_view) override {}
    void set_shared_formula_index(std::size_t) override {}
    void set_result_string(std::string_view value) override
    {
        result_.kind = RawCell::Kind::Text;
        result_.text = value;
    }
    void set_result_value(double value) override
    {
        result_.kind = RawCell::Kind::Number;
        result_.number = value;
    }
    void set_result_bool(bool value) override
    {
        result_.kind = RawCell::Kind::Bool;
        result_.number = value;
    }
    void set_result_empty() override { result_ = RawCell{}; }
    void commit() override;

private:
    FirstSheet &sheet_;
    row_t row_ = 0;
    col_t col_ = 0;
    RawCell result_;
};

class FirstSheet final : public iface::import_sheet {
public:
    explicit FirstSheet(const GlobalSettings &settings) : settings_(settings), formula_(*this) {}

    std::map<row_t, RawRow> rows;  // formula results come after every other cell
    row_t lastRow = -1;        // the last row holding a value in any column

    // The cell to fill, or null for a column that is not read.
    RawCell *at(row_t row, col_t col)
    {
        if (row < 0 || col < 0)
            return nullptr;
        lastRow = std::max(lastRow, row);
        if (col >= kSheetColumns)
            return nullptr;
        return &rowAt(row).cells[col];
    }

    iface::import_formula *get_formula() override { return &formula_; }

    void set_auto(row_t row, col_t col, std::string_view s) override
    {
        if (RawCell *c = at(row, col)) {
            c->kind = RawCell::Kind::Text;
            c->text = s;
        }
    }
    void set_string(row_t row, col_t col, orcus::spreadsheet::string_id_t sindex) override
    {
        if (RawCell *c = at(row, col)) {
            c->kind = RawCell::Kind::SharedText;
            c->shared = sindex;
        }
    }
    void set_value(row_t row, col_t col, double value) override
    {
        if (RawCell *c = at(row, col)) {
            c->kind = RawCell::Kind::Number;
            c->number = value;
        }
    }
    void set_bool(row_t row, col_t col, bool value) override
    {
        if (RawCell *c = at(row, col)) {
            c->kind = RawCell::Kind::Bool;
            c->number = value;
        }
    }
    void set_date_time(row_t row, col_t col, int year, int month, int day, int hour, int minute,
                       double second) override
    {
        if (RawCell *c = at(row, col)) {
            c->kind = RawCell::Kind::DateTime;
            const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
            c->number = static_cast<double>(daysFromCivil(year, static_cast<unsigned>(month),
                                                          static_cast<unsigned>(day)))
                        + time;
        }
    }
    void set_format(row_t row, col_t col, std::size_t xf_index) override
    {
        if (row < 0 || col < 0 || col >= kSheetColumns)
            return;
        RawCell &c = rowAt(row).cells[col];
        c.formatted = true;
        c.xf = xf_index;
    }
    void set_format(row_t, col_t, row_t, col_t, std::size_t) override {}
    void fill_down_cells(row_t src_row, col_t src_col, row_t range_size) override
    {
        if (src_row < 0 || src_col < 0 || src_col >= kSheetColumns || range_size <= 0)
            return;
        const RawCell source = rowAt(src_row).cells[src_col];
        for (row_t r = 1; r <= range_size; ++r)
            *at(src_row + r, src_col) = source;
    }
    orcus::spreadsheet::range_size_t get_sheet_size() const override { return {1048576, 16384}; }

    long long origin() const { return settings_.origin; }

private:
    RawRow &rowAt(row_t row)
    {
        // Cells come row by row: most go to the last row, or just after it.
        if (!rows.empty() && std::prev(rows.end())->first == row)
            return std::prev(rows.end())->second;
        return rows.emplace_hint(rows.lower_bound(row), row, RawRow{})->second;
    }

    const GlobalSettings &settings_;
    Formula formula_;
};

void Formula::commit()
{
    if (RawCell *c = sheet_.at(row_, col_)) {
        const bool formatted = c->formatted;
        const std::size_t xf = c->xf;
        *c = std::move(result_);
        c->formatted = formatted;
        c->xf = xf;
    }
    result_ = RawCell{};
}

// Later sheets: everything they hold is dropped.
class IgnoredSheet final : public iface::import_sheet {
public:
    void set_auto(row_t, col_t, std::string_view) override {}
    void set_string(row_t, col_t, orcus::spreadsheet::string_id_t) override {}
    void set_value(row_t, col_t, double) override {}
    void set_bool(row_t, col_t, bool) override {}
    void set_date_time(row_t, col_t, int, int, int, int, int, double) override {}
    void set_format(row_t, col_t, std::size_t) override {}
    void set_format(row_t, col_t, row_t, col_t, std::size_t) override {}
    void fill_down_cells(row_t, col_t, row_t) override {}
    orcus::spreadsheet::range_size_t get_sheet_size() const override { return {1048576, 16384}; }
};

class Factory final : public iface::import_factory {
public:
    Factory() : first_(settings_) {}

    iface::import_global_settings *get_global_settings() override { return &settings_; }
    iface::import_shared_strings *get_shared_strings() override { return &strings_; }
    iface::import_styles *get_styles() override { return &styles_; }
    iface::import_reference_resolver *get_reference_resolver(
        orcus::spreadsheet::formula_ref_context_t) override
    {
        return &references_;
    }
    iface::import_sheet *append_sheet(orcus::spreadsheet::sheet_t, std::string_view name) override
    {
        names_.emplace_back(name);
        return sheet(names_.size() - 1);
    }
    iface::import_sheet *get_sheet(std::string_view name) override
    {
        const auto it = std::find(names_.begin(), names_.end(), name);
        return it == names_.end() ? nullptr
                                  : sheet(static_cast<std::size_t>(it - names_.begin()));
    }
    iface::import_sheet *get_sheet(orcus::spreadsheet::sheet_t index) override
    {
        if (index < 0 || static_cast<std::size_t>(index) >= names_.size())
            return nullptr;
        return sheet(static_cast<std::size_t>(index));
    }
    void finalize() override {}

    std::size_t sheets() const { return names_.size(); }
    FirstSheet &first() { return first_; }
    const SharedStrings &strings() const { return strings_; }
    const Styles &styles() const { return styles_; }

private:
    GlobalSettings settings_;
    SharedStrings strings_;
    Styles styles_;
    References references_;
    FirstSheet first_;
    IgnoredSheet ignored_;
    std::vector<std::string> names_;

    iface::import_sheet *sheet(std::size_t index)
    {
        return index == 0 ? static_cast<iface::import_sheet *>(&first_) : &ignored_;
    }
};

class OrcusWorksheet final : public Worksheet {
public:
    explicit OrcusWorksheet(std::unique_ptr<Factory> factory) : factory_(std::move(factory)) {}

    int usedRows() override { return static_cast<int>(factory_->first().lastRow + 1); }

    bool nextRow(SheetRow &row) override
    {
        const FirstSheet &sheet = factory_->first();
        if (next_ > sheet.lastRow)
            return false;
        if (!started_) {
            at_ = sheet.rows.begin();
            started_ = true;
        }
        while (at_ != sheet.rows.end() && at_->first < next_)
            ++at_;
        const bool held = at_ != sheet.rows.end() && at_->first == next_;
        for (int c = 0; c < kSheetColumns; ++c)
            row[static_cast<std::size_t>(c)] = held ? cell(at_->second.cells[c]) : Cell::empty();
        ++next_;
        return true;
    }

private:
    Cell text(std::string t) const
    {
        if (utf8Characters(t) > static_cast<std::size_t>(kMaxCellCharacters))
            throw WorkbookError(WorkbookFailure::CellTooLong, static_cast<int>(next_) + 1);
        return t.empty() ? Cell::empty() : Cell::ofText(std::move(t));
    }

    Cell cell(const RawCell &raw) const
    {
        switch (raw.kind) {
        case RawCell::Kind::Empty:
            return Cell::empty();
        case RawCell::Kind::Text:
            return text(raw.text);
        case RawCell::Kind::SharedText: {
            const auto &strings = factory_->strings().strings;
            if (raw.shared >= strings.size())
                throw WorkbookError(WorkbookFailure::Damaged);
            return text(strings[raw.shared]);
        }
        case RawCell::Kind::Bool:
            return Cell::ofText(raw.number != 0 ? "TRUE" : "FALSE");
        case RawCell::Kind::DateTime:
            return dateTime(raw.number, raw.formatted ? factory_->styles().shownBy(raw.xf)
                                                      : Shown::Date,
                            0);
        case RawCell::Kind::Number: {
            const Shown shown =
                raw.formatted ? factory_->styles().shownBy(raw.xf) : Shown::Number;
            if (shown == Shown::Number || !std::isfinite(raw.number))
                return Cell::ofNumber(raw.number);
            return dateTime(raw.number, shown, factory_->first().origin());
        }
        }
        return Cell::empty();
    }

    // days counts from 1970-01-01 plus origin (a serial number's day 0).
    static Cell dateTime(double days, Shown shown, long long origin)
    {
        if (shown == Shown::Number)
            shown = Shown::Date;
        if (days < -1e7 || days > 1e7)
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
        return Cell::ofText(dateTimeText(shown, y, m, d, static_cast<int>(seconds)));
    }

    std::unique_ptr<Factory> factory_;
    row_t next_ = 0;
    std::map<row_t, RawRow>::const_iterator at_;
    bool started_ = false;
};

} // namespace

std::unique_ptr<Worksheet> OrcusWorkbookReader::openFirstSheet(const std::string &path)
{
    const std::string bytes = readWholeFile(path);
    const auto *blob = reinterpret_cast<const unsigned char *>(bytes.data());
    auto factory = std::make_unique<Factory>();
    try {
        if (orcus::orcus_xlsx::detect(blob, bytes.size())) {
            orcus::orcus_xlsx filter(factory.get());
            filter.read_stream(bytes);
        } else if (orcus::orcus_ods::detect(blob, bytes.size())) {
            orcus::orcus_ods filter(factory.get());
            filter.read_stream(bytes);
        } else {
            // A zip that opens but holds neither is some other kind of file;
            // one that does not open is a workbook cut short or broken.
            orcus::zip_archive_stream_blob stream(blob, bytes.size());
            orcus::zip_archive zip(&stream);
            zip.load();
            throw WorkbookError(WorkbookFailure::NotWorkbook);
        }
    } catch (const WorkbookError &) {
        throw;
    } catch (const std::exception &e) {
        // On the reader program's standard error, for whoever runs it by hand.
        std::fprintf(stderr, "%s\n", e.what());
        throw WorkbookError(WorkbookFailure::Damaged);
    }
    if (factory->sheets() == 0)
        throw WorkbookError(WorkbookFailure::NoSheet);
    return std::make_unique<OrcusWorksheet>(std::move(factory));
}

} // namespace quorvel
