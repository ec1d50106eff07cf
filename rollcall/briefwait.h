#pragma once

#include "store/connection.h"

namespace quorvel {

// How long the classroom's own writes (rounds, absences, the call log) wait
// for another copy's lock: a draw is not held up for long.
inline constexpr int kBriefWaitMs = 250;

// Lets the connection wait only briefly for a lock while it lives.
class BriefWait {
public:
    explicit BriefWait(store::Connection &conn) : conn_(conn), saved_(conn.busyTimeout())
    {
        conn_.setBusyTimeout(kBriefWaitMs);
    }
    ~BriefWait() { conn_.setBusyTimeout(saved_); }
    BriefWait(const BriefWait &) = delete;
    BriefWait &operator=(const BriefWait &) = delete;

private:
    store::Connection &conn_;
    int saved_;
};

} // namespace quorvel
