#include "store/rounds.h"

#include "store/connection.h"

#include <memory>
#include <set>

namespace quorvel::store {

namespace {

bool tableExists(const Connection &conn, const char *table)
{
    Statement st(conn, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    st.bind(1, std::string(table));
    return st.step();
}

void createTables(Connection &conn)
{
    conn.exec("CREATE TABLE IF NOT EXISTS draw_round ("
              "grade TEXT NOT NULL, class TEXT NOT NULL, student INTEGER NOT NULL,"
              " name TEXT NOT NULL, PRIMARY KEY (grade, class, student))");
    conn.exec("CREATE TABLE IF NOT EXISTS absence ("
              "day TEXT NOT NULL, student INTEGER NOT NULL, name TEXT NOT NULL,"
              " PRIMARY KEY (day, student))");
    conn.exec("CREATE TABLE IF NOT EXISTS returned_turn ("
              "grade TEXT NOT NULL, class TEXT NOT NULL, student INTEGER NOT NULL,"
              " name TEXT NOT NULL, day TEXT NOT NULL, PRIMARY KEY (grade, class, student))");
}

std::vector<MarkedStudent> readMarked(Statement &st)
{
    std::vector<MarkedStudent> out;
    while (st.step()) {
        const Value key = st.column(0);
        MarkedStudent m;
        if (auto k = std::get_if<std::int64_t>(&key))
            m.key = *k;
        m.name = st.column(1);
        out.push_back(std::move(m));
    }
    return out;
}

// Runs one change with the tables in place, all or nothing.
template <typename F>
void write(Connection &conn, F &&change)
{
    Transaction t(conn);
    createTables(conn);
    change();
    t.commit();
}

// Binds grade and class, as keys, to parameters 1 and 2.
void bindClass(Statement &st, const Value &grade, const Value &className)
{
    st.bind(1, markKey(grade));
    st.bind(2, markKey(className));
}

void putDrawn(Connection &conn, const Value &grade, const Value &className,
              const MarkedStudent &student)
{
    Statement st(conn, "INSERT OR REPLACE INTO draw_round (grade, class, student, name)"
                       " VALUES (?1, ?2, ?3, ?4)");
    bindClass(st, grade, className);
    st.bind(3, student.key);
    st.bind(4, markKey(student.name));
    st.run();
}

} // namespace

Value markKey(const Value &stored)
{
    if (std::holds_alternative<std::string>(stored))
        return stored;
    const char *kind = std::holds_alternative<Blob>(stored)           ? "blob:"
                       : std::holds_alternative<std::int64_t>(stored) ? "integer:"
                       : std::holds_alternative<double>(stored)       ? "real:"
                                                                      : "null:";
    return Blob{kind + displayText(stored)};
}

std::vector<std::int64_t> stillTheSame(const std::vector<MarkedStudent> &marked,
                                       const std::vector<MarkedStudent> &students)
{
    std::set<std::pair<std::int64_t, Value>> wanted;
    for (const MarkedStudent &m : marked)
        wanted.emplace(m.key, m.name);
    std::vector<std::int64_t> keys;
    for (const MarkedStudent &s : students)
        if (wanted.count({s.key, markKey(s.name)}))
            keys.push_back(s.key);
    return keys;
}

std::vector<MarkedStudent> readDrawn(const Connection &conn, const Value &grade,
                                     const Value &className)
{
    if (!tableExists(conn, "draw_round"))
        return {};
    Statement st(conn, "SELECT student, name FROM draw_round WHERE grade = ?1 AND class = ?2");
    bindClass(st, grade, className);
    return readMarked(st);
}

void addDrawn(Connection &conn, const Value &grade, const Value &className,
              const MarkedStudent &student)
{
    write(conn, [&] { putDrawn(conn, grade, className, student); });
}

void clearDrawn(Connection &conn, const Value &grade, const Value &className)
{
    if (!tableExists(conn, "draw_round"))
        return;
    write(conn, [&] {
        for (const char *sql : {"DELETE FROM draw_round WHERE grade = ?1 AND class = ?2",
                                "DELETE FROM returned_turn WHERE grade = ?1 AND class = ?2"}) {
            Statement st(conn, sql);
            bindClass(st, grade, className);
            st.run();
        }
    });
}

std::vector<MarkedStudent> readAbsent(const Connection &conn, const std::string &day)
{
    if (!tableExists(conn, "absence"))
        return {};
    Statement st(conn, "SELECT student, name FROM absence WHERE day = ?1");
    st.bind(1, day);
    return readMarked(st);
}

std::vector<MarkedStudent> readReturned(const Connection &conn, const Value &grade,
                                        const Value &className, const std::string &day)
{
    if (!tableExists(conn, "returned_turn"))
        return {};
    Statement st(conn, "SELECT student, name FROM returned_turn"
                       " WHERE grade = ?1 AND class = ?2 AND day = ?3");
    bindClass(st, grade, className);
    st.bind(3, day);
    return readMarked(st);
}

void setAbsent(Connection &conn, const Value &grade, const Value &className,
               const MarkedStudent &student, const std::string &day, bool absent)
{
    if (!absent && !tableExists(conn, "absence"))
        return;
    const Value name = markKey(student.name);
    // A statement on this student's rows in the round of the grade and class:
    // grade, class and student bound to ?1, ?2 and ?3.
    const auto aboutStudent = [&](const char *sql) {
        auto st = std::make_unique<Statement>(conn, sql);
        bindClass(*st, grade, className);
        st->bind(3, student.key);
        return st;
    };
    write(conn, [&] {
        auto drawn = aboutStudent("SELECT 1 FROM draw_round"
                                  " WHERE grade = ?1 AND class = ?2 AND student = ?3 AND name = ?4");
        drawn->bind(4, name);
        const bool wasDrawn = drawn->step();
        drawn->reset();
        auto returned = aboutStudent("SELECT 1 FROM returned_turn WHERE grade = ?1 AND class = ?2"
                                     " AND student = ?3 AND name = ?4 AND day = ?5");
        returned->bind(4, name);
        returned->bind(5, day);
        const bool wasReturned = returned->step();
        returned->reset();

        Statement mark(conn, absent ? "INSERT OR REPLACE INTO absence (day, student, name)"
                                      " VALUES (?1, ?2, ?3)"
                                    : "DELETE FROM absence WHERE day = ?1 AND student = ?2");
        mark.bind(1, day);
        mark.bind(2, student.key);
        if (absent)
            mark.bind(3, name);
        mark.run();

        if (absent && wasDrawn) {
            aboutStudent("DELETE FROM draw_round WHERE grade = ?1 AND class = ?2 AND student = ?3")
                ->run();
            auto give = aboutStudent("INSERT OR REPLACE INTO returned_turn"
                                     " (grade, class, student, name, day) VALUES (?1, ?2, ?3, ?4, ?5)");
            give->bind(4, name);
            give->bind(5, day);
            give->run();
        } else if (!absent && wasReturned) {
            aboutStudent("DELETE FROM returned_turn WHERE grade = ?1 AND class = ?2 AND student = ?3")
                ->run();
            putDrawn(conn, grade, className, student);
        }
    });
}

} // namespace quorvel::store
