#pragma once

// What the classroom remembers beside the student table: who has been drawn in
// the current round of each grade and class, and who is absent on which day.
// The tables are made by the first write, so an older file is upgraded in
// place; while they do not exist, every read finds nothing, which lets a file
// that cannot be written still serve the roll call.
//
// Every value is kept as stored in `student`, never as it reads on screen: a
// grade, class or name written by another program in GBK bytes, as bytes or
// as a number is its own, and two that read alike never share a mark.

#include "store/value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::store {

class Connection;

// A grade, class or name as these tables hold it: a text as its stored bytes,
// whatever they encode; any other value (bytes, a number, NULL) as bytes that
// begin with its kind, so it never equals a text or a value of another kind.
Value markKey(const Value &stored);

// A student as these tables name one: the row's key in `student`, and the name
// it had when marked. A key whose name no longer matches belongs to another
// student (keys are reused after the table was emptied by an import).
struct MarkedStudent {
    std::int64_t key = 0;
    // Handed in: the name as `student` stores it. Read back: as these tables
    // keep it (markKey of that).
    Value name;
};

// Of these students of the table, by key, those the marks in `marked` still
// belong to: same key, same stored name.
std::vector<std::int64_t> stillTheSame(const std::vector<MarkedStudent> &marked,
                                       const std::vector<MarkedStudent> &students);

// The students drawn so far in the current round of this grade and class.
std::vector<MarkedStudent> readDrawn(const Connection &conn, const Value &grade,
                                     const Value &className);
void addDrawn(Connection &conn, const Value &grade, const Value &className,
              const MarkedStudent &student);
// Starts a new round: nobody of this grade and class counts as drawn.
void clearDrawn(Connection &conn, const Value &grade, const Value &className);

// The students marked absent on day (written yyyy-MM-dd).
std::vector<MarkedStudent> readAbsent(const Connection &conn, const std::string &day);
// The students of this grade and class whose turn in the round was given
// back on day because they were marked absent after being drawn.
std::vector<MarkedStudent> readReturned(const Connection &conn, const Value &grade,
                                        const Value &className, const std::string &day);
// Marks the student absent on day, or takes the mark back, together with what
// that means for the round of the grade and class the student is called in:
// drawn and then marked absent, the student has not had the turn, which is
// given back; the mark taken back the same day, the turn counts again, as it
// was. One transaction.
void setAbsent(Connection &conn, const Value &grade, const Value &className,
               const MarkedStudent &student, const std::string &day, bool absent);

} // namespace quorvel::store
