#include "store/calllog.h"

#include "store/connection.h"
#include "store/owntable.h"

#include <algorithm>

namespace quorvel::store {

namespace {

const OwnTable kCallLog{"点名记录",
                        {"编号", "学生编号", "时间", "方式"},
                        "CREATE TABLE \"点名记录\" ("
                        "\"编号\" INTEGER PRIMARY KEY,"
                        "\"学生编号\" INTEGER NOT NULL,"
                        "\"时间\" TEXT NOT NULL,"
                        "\"方式\" TEXT NOT NULL);"
                        // The overview counts a class's calls from the index alone.
                        "CREATE INDEX \"点名记录_学生\" ON \"点名记录\" (\"学生编号\", \"时间\")",
                        kCallLogVersion};

// Only what the overview needs to know of the evaluation log.
const OwnTable kEvaluationLogRead{"评价记录", {"学生编号", "时间"}, nullptr, 1};

std::int64_t wholeNumber(const Value &v)
{
    const auto n = std::get_if<std::int64_t>(&v);
    return n ? *n : 0;
}

// Adds, for each student of the range [lowest, highest] the tallies cover,
// what `sql` counts: key, count at or after ?1, latest time; run with
// ?2 = lowest and ?3 = highest.
template <typename Put>
void countPerStudent(const Connection &connection, const char *sql, const std::string &since,
                     std::int64_t lowest, std::int64_t highest, Put put)
{
    Statement st(connection, sql);
    st.bindText(1, since);
    st.bind(2, lowest);
    st.bind(3, highest);
    while (st.step())
        put(wholeNumber(st.column(0)), wholeNumber(st.column(1)), st.column(2));
}

} // namespace

std::string_view callModeText(CallMode mode)
{
    switch (mode) {
    case CallMode::Random:
        return "随机";
    case CallMode::Fair:
        return "不重复";
    case CallMode::Walk:
        return "依次";
    }
    return "随机";
}

void appendCall(Connection &connection, const CallEntry &entry)
{
    Transaction tx(connection);
    ensureOwnTable(connection, kCallLog);
    Statement st(connection,
                 "INSERT INTO \"点名记录\" (\"学生编号\", \"时间\", \"方式\") VALUES (?1, ?2, ?3)");
    st.bind(1, entry.student);
    st.bindText(2, entry.time);
    st.bindText(3, callModeText(entry.mode));
    st.run();
    tx.commit();
}

void clearCalls(Connection &connection)
{
    if (tableState(connection, kCallLog) == TableState::Ours)
        connection.exec("DELETE FROM \"点名记录\"");
}

void removeCallsOfRemovedStudents(Connection &connection)
{
    if (tableState(connection, kCallLog) == TableState::Ours)
        connection.exec("DELETE FROM \"点名记录\""
                        " WHERE \"学生编号\" IN (SELECT key FROM temp.removed_student)");
}

std::map<std::int64_t, CallTally> readCallTallies(const Connection &connection,
                                                  const std::vector<std::int64_t> &students,
                                                  const std::string &since)
{
    std::map<std::int64_t, CallTally> tallies;
    for (std::int64_t key : students)
        tallies[key];
    if (students.empty())
        return tallies;
    const auto [lowest, highest] = std::minmax_element(students.begin(), students.end());
    // One pass over each log, grouped by student; the key range keeps the
    // other classes' rows out of the grouping, the map the ones in between.
    if (ownTableForReading(connection, kCallLog) == TableState::Ours)
        countPerStudent(connection,
                        "SELECT \"学生编号\", SUM(\"时间\" >= ?1), MAX(\"时间\") FROM \"点名记录\""
                        " WHERE \"学生编号\" BETWEEN ?2 AND ?3 GROUP BY \"学生编号\"",
                        since, *lowest, *highest,
                        [&](std::int64_t key, std::int64_t count, const Value &latest) {
                            if (auto it = tallies.find(key); it != tallies.end()) {
                                it->second.calls = count;
                                it->second.lastCall = displayText(latest);
                            }
                        });
    if (ownTableForReading(connection, kEvaluationLogRead) == TableState::Ours)
        countPerStudent(connection,
                        "SELECT \"学生编号\", SUM(\"时间\" >= ?1), NULL FROM \"评价记录\""
                        " WHERE \"学生编号\" BETWEEN ?2 AND ?3 GROUP BY \"学生编号\"",
                        since, *lowest, *highest,
                        [&](std::int64_t key, std::int64_t count, const Value &) {
                            if (auto it = tallies.find(key); it != tallies.end())
                                it->second.evaluations = count;
                        });
    return tallies;
}

std::string firstCallTime(const Connection &connection)
{
    if (ownTableForReading(connection, kCallLog) != TableState::Ours)
        return {};
    // Rows are appended as calls are made: the first is the earliest.
    Statement st(connection, "SELECT \"时间\" FROM \"点名记录\" ORDER BY \"编号\" LIMIT 1");
    return st.step() ? displayText(st.column(0)) : std::string();
}

} // namespace quorvel::store
