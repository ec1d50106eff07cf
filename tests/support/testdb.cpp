#include "tests/support/testdb.h"

#include "store/schema.h"

#include <stdexcept>

namespace quorvel::testing {

TempDatabase::TempDatabase(NoFile)
{
    if (!dir_.isValid())
        throw std::runtime_error("no temporary directory");
    directoryText_ = dir_.path();
}

TempDatabase::TempDatabase() : TempDatabase(NoFile{})
{
    store::createDatabase(path());
}

TempDatabase TempDatabase::withoutFile()
{
    return TempDatabase(NoFile{});
}

std::string TempDatabase::path() const
{
    return store::databasePath(directoryPath());
}

std::shared_ptr<store::Connection> TempDatabase::connect() const
{
    return store::Connection::open(path(), store::kDatabasePassword);
}

namespace {

store::Value optionalText(const std::optional<std::string> &s)
{
    return s ? store::Value(*s) : store::Value();
}

void insert(store::Connection &conn, const StudentRow &r)
{
    store::Statement st(conn, "INSERT INTO student (\"姓名\", \"年级\", \"班级\", \"优秀\", \"良好\","
                              " \"及格\", \"不及格\", \"倒扣学分\") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    st.bind(1, r.name);
    st.bind(2, optionalText(r.grade));
    st.bind(3, optionalText(r.className));
    st.bind(4, r.excellent);
    st.bind(5, r.good);
    st.bind(6, r.pass);
    st.bind(7, r.fail);
    st.bind(8, r.deducted);
    st.run();
}

} // namespace

void TempDatabase::add(const StudentRow &row) const
{
    auto conn = connect();
    insert(*conn, row);
}

void TempDatabase::addMany(const std::vector<StudentRow> &rows) const
{
    auto conn = connect();
    store::Transaction tx(*conn);
    for (const auto &r : rows)
        insert(*conn, r);
    tx.commit();
}

void TempDatabase::generate(int students, int classes) const
{
    std::vector<StudentRow> rows;
    rows.reserve(static_cast<std::size_t>(students));
    const int perGrade = 20;  // classes per grade
    for (int i = 0; i < students; ++i) {
        const int c = i % classes;
        StudentRow r;
        r.name = "学生" + std::to_string(i + 1);
        r.grade = "高" + std::to_string(2000 + c / perGrade) + "级";
        r.className = std::to_string(c % perGrade + 1) + "班";
        r.excellent = i % 7;
        r.good = i % 5;
        r.pass = i % 3;
        r.fail = i % 2;
        rows.push_back(std::move(r));
    }
    addMany(rows);
}

long TempDatabase::count() const
{
    auto conn = connect();
    store::Statement st(*conn, "SELECT count(*) FROM student");
    st.step();
    return static_cast<long>(std::get<std::int64_t>(st.column(0)));
}

store::Value TempDatabase::value(const std::string &name, const std::string &column) const
{
    auto conn = connect();
    std::string quoted = "\"" + column + "\"";
    store::Statement st(*conn, "SELECT " + quoted + " FROM student WHERE \"姓名\" = ?1 ORDER BY rowid");
    st.bind(1, name);
    if (!st.step())
        throw std::runtime_error("no student " + name);
    return st.column(0);
}

} // namespace quorvel::testing
