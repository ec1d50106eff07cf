#include "store/studentimport.h"

namespace quorvel::store {

long countStudents(const Connection &connection)
{
    Statement count(connection, "SELECT count(*) FROM student");
    count.step();
    return static_cast<long>(std::get<std::int64_t>(count.column(0)));
}

StudentImport::StudentImport(Connection &connection, bool clearFirst)
    : transaction_(connection),
      insert_(connection, "INSERT INTO student (\"姓名\", \"年级\", \"班级\") VALUES (?1, ?2, ?3)")
{
    if (clearFirst)
        connection.exec("DELETE FROM student");
}

void StudentImport::add(const std::string &name, const std::string &grade,
                        const std::string &className)
{
    insert_.reset();
    insert_.bind(1, name);
    insert_.bind(2, grade);
    insert_.bind(3, className);
    insert_.run();
    ++added_;
}

void StudentImport::commit()
{
    transaction_.commit();
}

} // namespace quorvel::store
