#include "store/evaluationlog.h"

#include "store/connection.h"
#include "store/error.h"
#include "store/owntable.h"

namespace quorvel::store {

namespace {

const OwnTable kEvaluationLog{
    "评价记录",
    {"编号", "学生编号", "时间", "等级", "倒扣学分前", "倒扣学分后"},
    "CREATE TABLE \"评价记录\" ("
    "\"编号\" INTEGER PRIMARY KEY,"
    "\"学生编号\" INTEGER NOT NULL,"
    "\"时间\" TEXT NOT NULL,"
    "\"等级\" TEXT NOT NULL,"
    "\"倒扣学分前\" NUMERIC,"
    "\"倒扣学分后\" NUMERIC)",
    kSchemaVersion};

} // namespace

void ensureEvaluationLog(Connection &connection)
{
    if (connection.knownSchemaVersion >= kSchemaVersion)
        return;
    // No index on 学生编号: it would cost every recording two more pages
    // written, for a history read that scans the log quickly enough.
    const int before = userVersion(connection);
    if (ensureOwnTable(connection, kEvaluationLog) == TableState::Ours && before >= kSchemaVersion)
        connection.knownSchemaVersion = before;
    // What this call made is known only once committed: a rolled-back
    // upgrade must be made again.
}

std::int64_t appendEvaluation(Connection &connection, const EvaluationEntry &entry)
{
    ensureEvaluationLog(connection);
    Statement st(connection, "INSERT INTO \"评价记录\" (\"学生编号\", \"时间\", \"等级\","
                             " \"倒扣学分前\", \"倒扣学分后\") VALUES (?1, ?2, ?3, ?4, ?5)");
    st.bind(1, entry.student);
    st.bindText(2, entry.time);
    st.bindText(3, entry.grade);
    st.bind(4, entry.creditsBefore);
    st.bind(5, entry.creditsAfter);
    st.run();
    return connection.lastInsertRowid();
}

std::vector<EvaluationEntry> readEvaluations(const Connection &connection, std::int64_t student)
{
    std::vector<EvaluationEntry> out;
    if (ownTableForReading(connection, kEvaluationLog) == TableState::Missing)
        return out;
    Statement st(connection, "SELECT \"编号\", \"时间\", \"等级\", \"倒扣学分前\", \"倒扣学分后\""
                             " FROM \"评价记录\" WHERE \"学生编号\" = ?1"
                             " ORDER BY \"时间\" DESC, \"编号\" DESC");
    st.bind(1, student);
    while (st.step()) {
        EvaluationEntry e;
        e.student = student;
        const Value id = st.column(0);
        if (auto n = std::get_if<std::int64_t>(&id))
            e.id = *n;
        const Value time = st.column(1), grade = st.column(2);
        if (auto t = std::get_if<std::string>(&time))
            e.time = *t;
        if (auto g = std::get_if<std::string>(&grade))
            e.grade = *g;
        e.creditsBefore = st.column(3);
        e.creditsAfter = st.column(4);
        out.push_back(std::move(e));
    }
    return out;
}

void clearEvaluations(Connection &connection)
{
    if (tableState(connection, kEvaluationLog) == TableState::Ours)
        connection.exec("DELETE FROM \"评价记录\"");
}

void undoEvaluation(Connection &connection, const RecordedEvaluation &recorded)
{
    // SET counter = before, 倒扣学分 = before WHERE rowid = key AND every
    // column IS what the recording left there.
    std::string sql = "UPDATE student SET " + quotedIdentifier(recorded.counter)
        + " = ?1, \"倒扣学分\" = ?2 WHERE rowid = ?3";
    int slot = 4;
    for (const auto &[column, value] : recorded.written) {
        (void)value;
        sql += " AND " + quotedIdentifier(column) + " IS ?" + std::to_string(slot++);
    }
    Transaction tx(connection);
    Statement change(connection, sql);
    change.bind(1, recorded.counterBefore);
    change.bind(2, recorded.entry.creditsBefore);
    change.bind(3, recorded.entry.student);
    slot = 4;
    for (const auto &[column, value] : recorded.written)
        change.bind(slot++, value);
    change.run();
    bool undone = connection.changes() == 1;
    if (undone && recorded.entry.id != 0) {
        Statement remove(connection, "DELETE FROM \"评价记录\" WHERE \"编号\" = ?1");
        remove.bind(1, recorded.entry.id);
        remove.run();
        undone = connection.changes() == 1;
    }
    if (!undone)
        throw DbError(Condition::RowChanged, 0, "这条记录已被其他程序修改或删除");
    tx.commit();
}

} // namespace quorvel::store

namespace quorvel::store {

bool hasOwnLog(const Connection &connection)
{
    return tableState(connection, kEvaluationLog) == TableState::Ours;
}

} // namespace quorvel::store
