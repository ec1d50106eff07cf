#pragma once

#include "store/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::store {

// A query of the student table. The values it compares with travel as bound
// parameters; nothing the teacher typed ever becomes part of the SQL.
struct Query {
    std::string table;
    std::string sql;
    std::vector<Value> parameters;
};

// Every student, in the order they were added.
Query allStudents();
// The students of one grade and class given as texts, in the order they were added.
Query studentsOfClass(const std::string &grade, const std::string &className);
inline Query studentsOfClass(const char *grade, const char *className)
{
    return studentsOfClass(std::string(grade), std::string(className));
}
// The students whose grade and class hold exactly these stored values: the
// same kind (text, bytes, whole or real number) and the same bytes or number,
// whatever the columns' collation. This is how a list item finds its class.
Query studentsOfClass(const Value &grade, const Value &className);
// The one student with this key (none when it is gone).
Query studentByKey(std::int64_t key);

} // namespace quorvel::store
