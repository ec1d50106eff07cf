#include "rollcall/callrecorder.h"

#include "platform/clock.h"
#include "rollcall/briefwait.h"
#include "store/error.h"

namespace quorvel {

void CallRecorder::record(store::Connection &conn, const store::Value &grade,
                          const store::Value &className, std::int64_t student,
                          store::CallMode mode)
{
    try {
        BriefWait brief(conn);
        store::appendCall(conn, {student, clock_.logTime().toStdString(), mode});
    } catch (const store::DbError &) {
        lose(grade, className);
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
