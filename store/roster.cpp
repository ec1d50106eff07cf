#include "store/roster.h"

#include "store/calllog.h"
#include "store/connection.h"
#include "store/error.h"
#include "store/evaluationlog.h"
#include "store/growth.h"
#include "store/indexes.h"
#include "store/schema.h"

#include <map>
#include <utility>

namespace quorvel::store {

namespace {

constexpr const char *kRosterColumns =
    "SELECT rowid, \"姓名\", \"年级\", \"班级\", \"优秀\", \"良好\", \"及格\", \"不及格\", \"倒扣学分\""
    " FROM student";

RosterStudent rosterRow(const Statement &select, bool withTallies)
{
    RosterStudent s;
    const Value key = select.column(0);
    if (const auto *k = std::get_if<std::int64_t>(&key))
        s.key = *k;
    s.name = select.column(1);
    s.grade = select.column(2);
    s.className = select.column(3);
    if (withTallies)
        for (int i = 0; i < 5; ++i)
            s.tallies[static_cast<std::size_t>(i)] = select.column(4 + i);
    return s;
}

[[noreturn]] void rowChanged()
{
    throw DbError(Condition::RowChanged, 0, "这条记录已被其他程序修改或删除");
}

// "<column> holds ?n exactly": the same kind and the same bytes or number,
// whatever the column's collation.
std::string holdsExactly(std::string_view column, int slot)
{
    const std::string c = quotedIdentifier(std::string(column));
    const std::string p = "?" + std::to_string(slot);
    return "typeof(" + c + ") = typeof(" + p + ") AND " + c + " = " + p + " COLLATE BINARY";
}

void insertStudent(Statement &insert, const Value &name, const Value &grade,
                   const Value &className)
{
    insert.reset();
    insert.bind(1, name);
    insert.bind(2, grade);
    insert.bind(3, className);
    insert.run();
}

constexpr const char *kInsert =
    "INSERT INTO student (\"姓名\", \"年级\", \"班级\") VALUES (?1, ?2, ?3)";

} // namespace

std::vector<RosterStudent> readClassRoster(const Connection &connection, const Value &grade,
                                           const Value &className)
{
    Statement select(connection, std::string(kRosterColumns) + " WHERE " + holdsExactly(kGrade, 1)
                                     + " AND " + holdsExactly(kClass, 2) + " ORDER BY rowid");
    select.bind(1, grade);
    select.bind(2, className);
    std::vector<RosterStudent> out;
    while (select.step())
        out.push_back(rosterRow(select, true));
    return out;
}

std::vector<RosterStudent> readWholeRoster(const Connection &connection)
{
    Statement select(connection,
                     "SELECT rowid, \"姓名\", \"年级\", \"班级\" FROM student ORDER BY rowid");
    std::vector<RosterStudent> out;
    while (select.step())
        out.push_back(rosterRow(select, false));
    return out;
}

std::int64_t addStudent(Connection &connection, const Value &name, const Value &grade,
                        const Value &className)
{
    const NoCacheSpill inMemory(connection);
    Transaction tx(connection);
    Statement insert(connection, kInsert);
    insertStudent(insert, name, grade, className);
    const std::int64_t key = connection.lastInsertRowid();
    commitWithRoom(connection, tx);
    return key;
}

void changeStudent(Connection &connection, std::int64_t key, std::string_view column,
                   const Value &before, const Value &after)
{
    const std::string c = quotedIdentifier(std::string(column));
    const NoCacheSpill inMemory(connection);
    Transaction tx(connection);
    Statement change(connection, "UPDATE student SET " + c + " = ?1 WHERE rowid = ?2 AND "
                                     + holdsExactly(column, 3));
    change.bind(1, after);
    change.bind(2, key);
    change.bind(3, before);
    change.run();
    if (connection.changes() != 1)
        rowChanged();
    commitWithRoom(connection, tx);
}

void moveStudent(Connection &connection, const RosterStudent &student, const Value &grade,
                 const Value &className)
{
    const NoCacheSpill inMemory(connection);
    Transaction tx(connection);
    Statement change(connection, "UPDATE student SET \"年级\" = ?1, \"班级\" = ?2 WHERE rowid = ?3 AND "
                                     + holdsExactly(kGrade, 4) + " AND " + holdsExactly(kClass, 5));
    change.bind(1, grade);
    change.bind(2, className);
    change.bind(3, student.key);
    change.bind(4, student.grade);
    change.bind(5, student.className);
    change.run();
    if (connection.changes() != 1)
        rowChanged();
    commitWithRoom(connection, tx);
}

long removeStudents(Connection &connection, const std::vector<std::int64_t> &keys)
{
    if (keys.empty())
        return 0;
    // The keys go into a table of this connection's own, so that the log,
    // which has no index on 学生编号, is read once however many students go.
    connection.exec("CREATE TEMP TABLE IF NOT EXISTS removed_student (key INTEGER PRIMARY KEY)");
    connection.exec("DELETE FROM temp.removed_student");
    {
        Statement put(connection, "INSERT OR IGNORE INTO temp.removed_student (key) VALUES (?1)");
        for (const std::int64_t key : keys) {
            put.reset();
            put.bind(1, key);
            put.run();
        }
    }
    connection.exec("DELETE FROM student WHERE rowid IN (SELECT key FROM temp.removed_student)");
    const long removed = connection.changes();
    if (hasOwnLog(connection))
        connection.exec("DELETE FROM \"评价记录\""
                        " WHERE \"学生编号\" IN (SELECT key FROM temp.removed_student)");
    removeCallsOfRemovedStudents(connection);
    connection.exec("DELETE FROM temp.removed_student");
    return removed;
}

void removeStudent(Connection &connection, std::int64_t key)
{
    const NoCacheSpill inMemory(connection);
    Transaction tx(connection);
    if (removeStudents(connection, {key}) != 1)
        rowChanged();
    commitWithRoom(connection, tx);
}

void applyRosterUpdate(Connection &connection, const std::vector<RosterRowTexts> &added,
                       const std::vector<std::int64_t> &removed)
{
    const NoCacheSpill inMemory(connection);
    Transaction tx(connection);
    removeStudents(connection, removed);
    Statement insert(connection, kInsert);
    for (const RosterRowTexts &row : added) {
        insert.reset();
        insert.bindText(1, row[0]);
        insert.bindText(2, row[1]);
        insert.bindText(3, row[2]);
        insert.run();
    }
    commitWithRoom(connection, tx);
}

void changeGrades(Connection &connection, const std::vector<GradeChange> &changes)
{
    std::map<Value, const GradeChange *> byGrade;
    for (const GradeChange &c : changes)
        if (c.removed || c.to != c.from)
            byGrade.emplace(c.from, &c);
    const NoCacheSpill inMemory(connection);
    Transaction tx(connection);
    // Every student is placed by the grade read before any is moved, so no
    // student moves twice along a chain.
    std::vector<std::pair<std::int64_t, const GradeChange *>> moves;
    std::vector<std::int64_t> removed;
    {
        Statement select(connection, "SELECT rowid, \"年级\" FROM student ORDER BY rowid");
        while (select.step()) {
            const auto found = byGrade.find(select.column(1));
            if (found == byGrade.end())
                continue;
            const std::int64_t key = std::get<std::int64_t>(select.column(0));
            if (found->second->removed)
                removed.push_back(key);
            else
                moves.emplace_back(key, found->second);
        }
    }
    if (!moves.empty())
        withoutClassIndex(connection, [&] {
            Statement move(connection, "UPDATE student SET \"年级\" = ?1 WHERE rowid = ?2");
            for (const auto &[key, change] : moves) {
                move.reset();
                move.bind(1, change->to);
                move.bind(2, key);
                move.run();
            }
        });
    removeStudents(connection, removed);
    commitWithRoom(connection, tx);
}

} // namespace quorvel::store
