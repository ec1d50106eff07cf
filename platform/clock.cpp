#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace quorvel {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTime();
}

double SystemClock::secondsSinceMidnight() const
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const auto whole = floor<seconds>(now);
    const std::time_t t = system_clock::to_time_t(whole);
    std::tm local{};
    localtime_r(&t, &local);
    const double fraction = duration<double>(now - whole).count();
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + fraction;
}

} // namespace quorvel
