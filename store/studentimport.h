#pragma once

#include "store/connection.h"
#include "store/growth.h"

#include <string_view>

namespace quorvel::store {

// Whether the student table holds any row; reads one row at most.
bool hasStudents(const Connection &connection);

// Adds students to the table in one transaction: nothing of it, the emptying
// included, is seen in the file before commit(); leaving without commit()
// rolls all of it back. Each row is one bound INSERT; the four counters and
// 倒扣学分 take the columns' defaults.
class StudentImport {
public:
    // Takes the write lock; with clearFirst, empties the table first.
    StudentImport(Connection &connection, bool clearFirst);
    StudentImport(const StudentImport &) = delete;
    StudentImport &operator=(const StudentImport &) = delete;

    void add(std::string_view name, std::string_view grade, std::string_view className);
    void commit();
    long added() const { return added_; }

private:
    Connection &connection_;
    // A disk that fills half-way leaves every byte of the file as it was.
    NoCacheSpill inMemory_;
    Transaction transaction_;
    Statement insert_;
    long added_ = 0;
};

} // namespace quorvel::store
