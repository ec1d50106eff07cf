#include "store/rounds.h"

#include "store/connection.h"

namespace quorvel::store {

namespace {

constexpr const char *kDrawnTable = "draw_round";
constexpr const char *kAbsentTable = "absence";

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
}

std::vector<MarkedStudent> readMarked(Statement &st)
{
    std::vector<MarkedStudent> out;
    while (st.step()) {
        const Value key = st.column(0);
        const Value name = st.column(1);
        MarkedStudent m;
        if (auto k = std::get_if<std::int64_t>(&key))
            m.key = *k;
        if (auto n = std::get_if<std::string>(&name))
            m.name = *n;
        out.push_back(std::move(m));
    }
    return out;
}

// Runs one change with both tables in place, all or nothing.
template <typename F>
void write(Connection &conn, F &&change)
{
    Transaction t(conn);
    createTables(conn);
    change();
    t.commit();
}

} // namespace

std::vector<MarkedStudent> readDrawn(const Connection &conn, const std::string &grade,
                                     const std::string &className)
{
    if (!tableExists(conn, kDrawnTable))
        return {};
    Statement st(conn, "SELECT student, name FROM draw_round WHERE grade = ?1 AND class = ?2");
    st.bind(1, grade);
    st.bind(2, className);
    return readMarked(st);
}

void addDrawn(Connection &conn, const std::string &grade, const std::string &className,
              const MarkedStudent &student)
{
    write(conn, [&] {
        Statement st(conn, "INSERT OR REPLACE INTO draw_round (grade, class, student, name)"
                           " VALUES (?1, ?2, ?3, ?4)");
        st.bind(1, grade);
        st.bind(2, className);
        st.bind(3, student.key);
        st.bind(4, student.name);
        st.run();
    });
}

void removeDrawn(Connection &conn, const std::string &grade, const std::string &className,
                 std::int64_t key)
{
    if (!tableExists(conn, kDrawnTable))
        return;
    write(conn, [&] {
        Statement st(conn,
                     "DELETE FROM draw_round WHERE grade = ?1 AND class = ?2 AND student = ?3");
        st.bind(1, grade);
        st.bind(2, className);
        st.bind(3, key);
        st.run();
    });
}

void clearDrawn(Connection &conn, const std::string &grade, const std::string &className)
{
    if (!tableExists(conn, kDrawnTable))
        return;
    write(conn, [&] {
        Statement st(conn, "DELETE FROM draw_round WHERE grade = ?1 AND class = ?2");
        st.bind(1, grade);
        st.bind(2, className);
        st.run();
    });
}

std::vector<MarkedStudent> readAbsent(const Connection &conn, const std::string &day)
{
    if (!tableExists(conn, kAbsentTable))
        return {};
    Statement st(conn, "SELECT student, name FROM absence WHERE day = ?1");
    st.bind(1, day);
    return readMarked(st);
}

void setAbsent(Connection &conn, const MarkedStudent &student, const std::string &day,
               bool absent)
{
    if (!absent && !tableExists(conn, kAbsentTable))
        return;
    write(conn, [&] {
        if (absent) {
            Statement st(conn, "INSERT OR REPLACE INTO absence (day, student, name)"
                               " VALUES (?1, ?2, ?3)");
            st.bind(1, day);
            st.bind(2, student.key);
            st.bind(3, student.name);
            st.run();
        } else {
            Statement st(conn, "DELETE FROM absence WHERE day = ?1 AND student = ?2");
            st.bind(1, day);
            st.bind(2, student.key);
            st.run();
        }
    });
}

} // namespace quorvel::store
