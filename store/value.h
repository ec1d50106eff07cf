#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <variant>

namespace quorvel::store {

// Bytes stored as such by another program; kept apart from text so that a
// row holding them can be matched and written back exactly.
struct Blob {
    std::string bytes;
    auto operator<=>(const Blob &) const = default;
};

// One field of a row: NULL, a whole number, a real number, text (UTF-8) or bytes.
using Value = std::variant<std::monostate, std::int64_t, double, std::string, Blob>;

inline bool isNull(const Value &v) { return std::holds_alternative<std::monostate>(v); }

// The value as plain text: numbers in plain decimal digits (a whole real as
// its digits alone, however large), a minus sign kept, a fraction after "."
// whatever the locale; text and bytes unchanged; NULL empty.
std::string displayText(const Value &v);

} // namespace quorvel::store
