#pragma once

#include "store/calllog.h"
#include "store/value.h"

#include <map>
#include <utility>

namespace quorvel {

class Clock;

namespace store {
class Connection;
}

// Writes the call log for the classroom, never in the way of the roll call:
// a file that refuses the row (locked by another copy, read-only, another
// program's table of that name) loses it without a word, and the calls lost
// are counted, per class, for the overview to say.
class CallRecorder {
public:
    explicit CallRecorder(const Clock &clock) : clock_(clock) {}

    // One call of the student of this grade and class (as stored), now,
    // through conn, which waits briefly for a lock. Never throws.
    void record(store::Connection &conn, const store::Value &grade, const store::Value &className,
                std::int64_t student, store::CallMode mode);
    // A call not written at all (the file has just refused another write).
    void lose(const store::Value &grade, const store::Value &className);

    // The calls of this grade and class lost in this run.
    long lost(const store::Value &grade, const store::Value &className) const;

private:
    const Clock &clock_;
    std::map<std::pair<store::Value, store::Value>, long> lost_;
};

} // namespace quorvel
