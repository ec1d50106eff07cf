#include "store/statements.h"

namespace quorvel::store {

// rowid comes first: it is the key through which a record set writes back
// exactly the row it read.
Query allStudents()
{
    return {"student", "SELECT rowid, * FROM student ORDER BY rowid", {}};
}

Query studentsOfClass(const std::string &grade, const std::string &className)
{
    return {"student",
            "SELECT rowid, * FROM student WHERE \"年级\" = ?1 AND \"班级\" = ?2 ORDER BY rowid",
            {grade, className}};
}

} // namespace quorvel::store
