#pragma once

#include <QDateTime>

namespace quorvel {

// The time of day: the one source of it for everything that needs it (the
// draw's seed, the evaluation log, absences, backup and export names).
class Clock {
public:
    virtual ~Clock() = default;
    // The local date and time.
    virtual QDateTime now() const = 0;
    // Seconds since local midnight, with the fraction at the clock's full resolution.
    virtual double secondsSinceMidnight() const = 0;
    QDate today() const { return now().date(); }
    // The local date and time as the logs write it: "YYYY-MM-DD HH:MM:SS".
    QString logTime() const { return now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    double secondsSinceMidnight() const override;
};

} // namespace quorvel
