#pragma once

#include "workbook/workbookreader.h"

#include <array>
#include <string>
#include <string_view>

namespace quorvel {

// A cell as the text stored: numbers as their plain digits (3, 2.5,
// 20230101), whatever the locale.
std::string cellText(const Cell &cell);

// Only the blank (U+0020) is trimmed, at both ends; everything inside stays.
std::string_view trimmed(std::string_view text);

// Whether the row ends the roster: its column A is empty.
bool endsRoster(const SheetRow &row);

// The name, grade and class of a roster row, as the import stores them:
// each cell's text without the blanks around it.
std::array<std::string, 3> rosterTexts(const SheetRow &row);

} // namespace quorvel
