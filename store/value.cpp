#include "store/value.h"

#include <charconv>
#include <cmath>

namespace quorvel::store {

namespace {

std::string realText(double d)
{
    if (d == 0.0)
        return "0";  // -0 is no negative number
    // The shortest digits that read back as the same double, always in plain
    // decimal notation (never "1e+19"), never localised.
    char buf[512];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
    return ec == std::errc() ? std::string(buf, end) : std::string();
}

} // namespace

std::string displayText(const Value &v)
{
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const { return realText(d); }
        std::string operator()(const std::string &s) const { return s; }
        std::string operator()(const Blob &b) const { return b.bytes; }
    };
    return std::visit(Visitor{}, v);
}

} // namespace quorvel::store
