#include "store/value.h"

#include <charconv>
#include <cmath>

namespace quorvel::store {

namespace {

std::string realText(double d)
{
    // Real numbers that hold a whole value show as whole numbers: 2.0 is "2".
    if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 1e15)
        return std::to_string(static_cast<std::int64_t>(d));
    char buf[64];
    // The shortest text that reads back as the same double; never localised.
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
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
