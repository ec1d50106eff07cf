#pragma once

// The call log: one row in table `点名记录` for every call, that is every draw
// that stopped on a student and every student a walk showed whom the teacher
// then evaluated. Made by the first write that finds it missing, as the
// evaluation log is, with PRAGMA user_version raised to kCallLogVersion.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::store {

class Connection;

// The user_version that brings the call log (1 brought the evaluation log).
inline constexpr int kCallLogVersion = 2;

// How the student was called; the log keeps it as 随机, 不重复 or 依次.
enum class CallMode { Random, Fair, Walk };
std::string_view callModeText(CallMode mode);

struct CallEntry {
    std::int64_t student = 0;  // 学生编号: the student's key in `student`
    std::string time;          // 时间: local time, "YYYY-MM-DD HH:MM:SS"
    CallMode mode = CallMode::Random;
};

// Appends the entry in a transaction of its own, making the log first if
// need be. Throws DbError (the engine's, or ForeignLog when the log's name
// is taken by something else), having written nothing.
void appendCall(Connection &connection, const CallEntry &entry);

// Removes every entry, inside the caller's transaction (the import that
// empties the student table: the keys will be given out again). Another
// program's table of that name is left as it is.
void clearCalls(Connection &connection);

// Removes the entries of the students whose keys are in the temporary table
// temp.removed_student, inside the caller's transaction (students removed
// from the roster: their keys may be given out again). Another program's
// table of that name is left as it is.
void removeCallsOfRemovedStudents(Connection &connection);

// What the overview shows of one student.
struct CallTally {
    std::int64_t calls = 0;        // calls at or after `since`
    std::int64_t evaluations = 0;  // evaluations at or after `since`
    std::string lastCall;          // the time of the latest call of all; empty: never
};

// The tallies of these students, by key (every one of them present, with
// zeros when never called). `since` is a time as the logs write it; empty
// counts everything. Throws DbError (ForeignLog when another program's table
// holds either log's name).
std::map<std::int64_t, CallTally> readCallTallies(const Connection &connection,
                                                  const std::vector<std::int64_t> &students,
                                                  const std::string &since);

// The time of the earliest call in the log; empty while there is none.
std::string firstCallTime(const Connection &connection);

} // namespace quorvel::store
