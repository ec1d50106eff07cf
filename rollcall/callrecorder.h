#pragma once

#include "store/calllog.h"
#include "store/value.h"

#include <map>
#include <utility>
#include <vector>

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

    // Notes one call of the student of this grade and class (as stored), now.
    void stamp(const store::Value &grade, const store::Value &className, std::int64_t student,
               store::CallMode mode);
    // Writes the calls noted through conn, which waits briefly for a lock.
    // Never throws.
    void writeStamped(store::Connection &conn);
    // A call not written at all (the file has just refused another write).
    void lose(const store::Value &grade, const store::Value &className);

    // The calls of this grade and class lost in this run.
    long lost(const store::Value &grade, const store::Value &className) const;

private:
    struct Stamped {
        store::Value grade, className;
        store::CallEntry entry;
    };
    void write(store::Connection &conn, const Stamped &call);

    const Clock &clock_;
    std::vector<Stamped> stamped_;
    std::map<std::pair<store::Value, store::Value>, long> lost_;
};

} // namespace quorvel
