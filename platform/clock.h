#pragma once

namespace quorvel {

// The time of day.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since local midnight, with the fraction at the clock's full resolution.
    virtual double secondsSinceMidnight() const = 0;
};

class SystemClock final : public Clock {
public:
    double secondsSinceMidnight() const override;
};

} // namespace quorvel
