#pragma once

#include <string>
#include <vector>

namespace quorvel::store {

// A query of the student table. The texts it compares with travel as bound
// parameters; nothing the teacher typed ever becomes part of the SQL.
struct Query {
    std::string table;
    std::string sql;
    std::vector<std::string> parameters;
};

// Every student, in the order they were added.
Query allStudents();
// The students of one grade and class, compared exactly, in the order they were added.
Query studentsOfClass(const std::string &grade, const std::string &className);

} // namespace quorvel::store
