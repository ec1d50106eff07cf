#include "store/evaluationlog.h"

#include "store/connection.h"
#include "store/error.h"

namespace quorvel::store {

namespace {

bool logExists(const Connection &connection)
{
    Statement st(connection,
                 "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '评价记录'");
    return st.step();
}

} // namespace

void upgradeSchema(Connection &connection)
{
    if (connection.knownSchemaVersion >= kSchemaVersion)
        return;
    std::int64_t version = 0;
    {
        Statement st(connection, "PRAGMA user_version");
        if (st.step()) {
            const Value v = st.column(0);
            if (auto n = std::get_if<std::int64_t>(&v))
                version = *n;
        }
    }
    if (version >= kSchemaVersion) {
        connection.knownSchemaVersion = static_cast<int>(version);
        return;
    }
    connection.exec("CREATE TABLE IF NOT EXISTS \"评价记录\" ("
                    "\"编号\" INTEGER PRIMARY KEY,"
                    "\"学生编号\" INTEGER NOT NULL,"
                    "\"时间\" TEXT NOT NULL,"
                    "\"等级\" TEXT NOT NULL,"
                    "\"倒扣学分前\" NUMERIC,"
                    "\"倒扣学分后\" NUMERIC)");
    // No index on 学生编号: it would cost every recording two more pages
    // written, for a history read that scans the log quickly enough.
    // A pragma takes no parameters; the number is this build's own constant.
    connection.exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
    // Known only once committed: a rolled-back upgrade must be made again.
}

std::int64_t appendEvaluation(Connection &connection, const EvaluationEntry &entry)
{
    upgradeSchema(connection);
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
    if (!logExists(connection))
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
    if (logExists(connection))
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
    if (undone) {
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
