#pragma once

// What the classroom remembers beside the student table: who has been drawn in
// the current round of each grade and class, and who is absent on which day.
// Both tables are made by the first write, so an older file is upgraded in
// place; while they do not exist, every read finds nothing, which lets a file
// that cannot be written still serve the roll call.

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::store {

class Connection;

// A student as these tables name one: the row's key in `student`, and the name
// it had when marked. A key whose name no longer matches belongs to another
// student (keys are reused after the table was emptied by an import).
struct MarkedStudent {
    std::int64_t key = 0;
    std::string name;
};

// The students drawn so far in the current round of this grade and class.
std::vector<MarkedStudent> readDrawn(const Connection &conn, const std::string &grade,
                                     const std::string &className);
void addDrawn(Connection &conn, const std::string &grade, const std::string &className,
              const MarkedStudent &student);
void removeDrawn(Connection &conn, const std::string &grade, const std::string &className,
                 std::int64_t key);
// Starts a new round: nobody of this grade and class counts as drawn.
void clearDrawn(Connection &conn, const std::string &grade, const std::string &className);

// The students marked absent on day (written yyyy-MM-dd).
std::vector<MarkedStudent> readAbsent(const Connection &conn, const std::string &day);
void setAbsent(Connection &conn, const MarkedStudent &student, const std::string &day,
               bool absent);

} // namespace quorvel::store
