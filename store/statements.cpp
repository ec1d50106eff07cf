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

Query studentsOfClass(const Value &grade, const Value &className)
{
    // The kind is compared too: 1, 1.0 and '1' are three values, and no
    // column affinity or collation may make them equal.
    return {"student",
            "SELECT rowid, * FROM student"
            " WHERE typeof(\"年级\") = typeof(?1) AND \"年级\" = ?1 COLLATE BINARY"
            " AND typeof(\"班级\") = typeof(?2) AND \"班级\" = ?2 COLLATE BINARY"
            " ORDER BY rowid",
            {grade, className}};
}

Query studentByKey(std::int64_t key)
{
    return {"student", "SELECT rowid, * FROM student WHERE rowid = ?1", {key}};
}

} // namespace quorvel::store
