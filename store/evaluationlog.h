#pragma once

// The evaluation log: one row in table `评价记录` for every evaluation
// recorded, written in the same transaction as the student's counter. The
// table is made by the first write that finds it missing (and the file's
// PRAGMA user_version raised to say so), so an older file is upgraded in
// place and older builds, which never look at it, read the file as before. A
// table of that name made by another program is never written to.

#include "store/value.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::store {

class Connection;

// The version this build writes into PRAGMA user_version: 1 adds the
// evaluation log (the round and absence tables are made as before, by their
// own first write, and need no version).
inline constexpr int kSchemaVersion = 1;

// Makes the log when the file has none, whatever its user_version says
// (raising a lower one to kSchemaVersion). Call inside a write transaction;
// costs nothing once this connection has found the log in place. Throws
// DbError(ForeignLog), having changed nothing, when something else of that
// name (another program's table, a view) is in the way.
void ensureEvaluationLog(Connection &connection);

struct EvaluationEntry {
    std::int64_t id = 0;       // 编号
    std::int64_t student = 0;  // 学生编号: the student's key
    std::string time;          // 时间: local time, "YYYY-MM-DD HH:MM:SS"
    std::string grade;         // 等级: 优秀, 良好, 及格 or 不及格
    Value creditsBefore;       // 倒扣学分前
    Value creditsAfter;        // 倒扣学分后
};

// Appends the entry inside the caller's transaction (making the log first
// if need be) and returns its 编号. Throws DbError(ForeignLog), having
// written nothing, when the log's name is taken by something else.
std::int64_t appendEvaluation(Connection &connection, const EvaluationEntry &entry);

// The student's entries, newest first; none while the log does not exist.
// Throws DbError(ForeignLog) when the log's name is taken by something else.
std::vector<EvaluationEntry> readEvaluations(const Connection &connection, std::int64_t student);

// Removes every entry, inside the caller's transaction (the import that
// empties the student table: the keys will be given out again). Another
// program's table of that name is left as it is.
void clearEvaluations(Connection &connection);

// What one recording wrote, enough to take it back.
struct RecordedEvaluation {
    EvaluationEntry entry;  // entry.id is 0 when the log could not take it
    std::string counter;  // the column raised
    Value counterBefore;
    // The whole student row as the file held it right after the recording.
    std::vector<std::pair<std::string, Value>> written;
};

// Puts the counter and 倒扣学分 back and removes the entry (if it was logged), in one
// transaction, and only while the row still holds what the recording wrote;
// otherwise throws DbError(RowChanged) and changes nothing.
void undoEvaluation(Connection &connection, const RecordedEvaluation &recorded);

} // namespace quorvel::store

namespace quorvel::store {

// Whether the file holds the log as this program writes it: neither missing
// nor another program's table of that name.
bool hasOwnLog(const Connection &connection);

} // namespace quorvel::store
