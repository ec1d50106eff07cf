#include "rollcall/callrecorder.h"

#include "platform/clock.h"
#include "rollcall/briefwait.h"
#include "store/error.h"

namespace quorvel {

void CallRecorder::stamp(const store::Value &grade, const store::Value &className,
                         std::int64_t student, store::CallMode mode)
{
    stamped_.push_back({grade, className, {student, clock_.logTime().toStdString(), mode}});
}

void CallRecorder::writeStamped(store::Connection &conn)
{
    std::vector<Stamped> calls;
    calls.swap(stamped_);
    for (const Stamped &call : calls)
        write(conn, call);
}

void CallRecorder::write(store::Connection &conn, const Stamped &call)
{
    try {
        BriefWait brief(conn);
        store::appendCall(conn, call.entry);
    } catch (const store::DbError &) {
        lose(call.grade, call.className);
    }
}

void CallRecorder::lose(const store::Value &grade, const store::Value &className)
{
    ++lost_[{grade, className}];
}

long CallRecorder::lost(const store::Value &grade, const store::Value &className) const
{
    const auto it = lost_.find({grade, className});
    return it == lost_.end() ? 0 : it->second;
}

} // namespace quorvel
