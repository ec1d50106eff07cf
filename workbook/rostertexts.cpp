#include "workbook/rostertexts.h"

#include <charconv>

namespace quorvel {

std::string cellText(const Cell &cell)
{
    switch (cell.kind) {
    case Cell::Kind::Text:
        return cell.text;
    case Cell::Kind::Number: {
        char digits[40];
        const auto end = std::to_chars(digits, digits + sizeof digits, cell.number,
                                       std::chars_format::general, 15).ptr;
        return std::string(digits, end);
    }
    case Cell::Kind::Empty:
        break;
    }
    return {};
}

std::string_view trimmed(std::string_view text)
{
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

bool endsRoster(const SheetRow &row)
{
    const Cell &name = row[0];
    return name.kind == Cell::Kind::Empty || (name.kind == Cell::Kind::Text && name.text.empty());
}

std::array<std::string, 3> rosterTexts(const SheetRow &row)
{
    std::array<std::string, 3> texts;
    for (std::size_t c = 0; c < texts.size(); ++c)
        texts[c] = std::string(trimmed(cellText(row[c])));
    return texts;
}

} // namespace quorvel
