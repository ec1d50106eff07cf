#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace quorvel::store {

// One field of a row: NULL, a whole number, a real number or text (UTF-8).
using Value = std::variant<std::monostate, std::int64_t, double, std::string>;

inline bool isNull(const Value &v) { return std::holds_alternative<std::monostate>(v); }

// The value as plain text: whole numbers as their digits, a minus sign kept,
// a fraction after "." whatever the locale, text unchanged, NULL empty.
std::string displayText(const Value &v);

} // namespace quorvel::store
