#include "store/studentimport.h"

#include "store/calllog.h"
#include "store/evaluationlog.h"

namespace quorvel::store {

bool hasStudents(const Connection &connection)
{
    Statement any(connection, "SELECT 1 FROM student LIMIT 1");
    return any.step();
}

StudentImport::StudentImport(Connection &connection, bool clearFirst)
    : connection_(connection), inMemory_(connection), transaction_(connection),
      insert_(connection, "INSERT INTO student (\"姓名\", \"年级\", \"班级\") VALUES (?1, ?2, ?3)")
{
    if (clearFirst) {
        connection.exec("DELETE FROM student");
        // The keys are given out again from 1: no entry may follow them.
        clearEvaluations(connection);
        clearCalls(connection);
    }
}

void StudentImport::add(std::string_view name, std::string_view grade,
                        std::string_view className)
{
    insert_.reset();
    insert_.bindText(1, name);
    insert_.bindText(2, grade);
    insert_.bindText(3, className);
    insert_.run();
    ++added_;
}

void StudentImport::commit()
{
    commitWithRoom(connection_, transaction_);
}

} // namespace quorvel::store
