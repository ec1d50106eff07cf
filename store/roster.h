#pragma once

// Keeping the roster: students added, renamed, moved and removed one at a
// time, a roster brought up to date from a workbook, and grades moved up a
// year. Every change is one transaction. Students are the rows of
// `student`; a student removed takes their evaluation log entries along.
// Grades, classes and names are matched as stored (kind and bytes), never as
// they read on screen.

#include "store/value.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::store {

class Connection;

// One row of `student` as the roster shows it.
struct RosterStudent {
    std::int64_t key = 0;  // rowid
    Value name, grade, className;
    // 优秀, 良好, 及格, 不及格, 倒扣学分, as stored.
    std::array<Value, 5> tallies;
};

// The students of one grade and class (stored values), in the order added.
std::vector<RosterStudent> readClassRoster(const Connection &connection, const Value &grade,
                                           const Value &className);
// Every student's key, name, grade and class (tallies left empty), in the
// order added.
std::vector<RosterStudent> readWholeRoster(const Connection &connection);

// Adds one student with no tallies; returns the key.
std::int64_t addStudent(Connection &connection, const Value &name, const Value &grade,
                        const Value &className);
// Writes one column of the student with this key, only while the row still
// holds `before` there; otherwise throws DbError(RowChanged) and writes
// nothing.
void changeStudent(Connection &connection, std::int64_t key, std::string_view column,
                   const Value &before, const Value &after);
// Moves the student to another grade and class, on the same terms.
void moveStudent(Connection &connection, const RosterStudent &student, const Value &grade,
                 const Value &className);
// Removes the students with these keys and their evaluation log entries,
// inside the caller's transaction. Returns how many rows went.
long removeStudents(Connection &connection, const std::vector<std::int64_t> &keys);
// The same for one student, in a transaction of its own; throws
// DbError(RowChanged) when the row is gone.
void removeStudent(Connection &connection, std::int64_t key);

// A row of a workbook to be added: name, grade and class as texts.
using RosterRowTexts = std::array<std::string, 3>;

// Adds these rows and removes the students with these keys (and their log
// entries), in one transaction.
void applyRosterUpdate(Connection &connection, const std::vector<RosterRowTexts> &added,
                       const std::vector<std::int64_t> &removed);

// A grade and what its students' grade becomes; `removed` takes them out.
struct GradeChange {
    Value from;
    Value to;
    bool removed = false;
};
// Moves every grade at once (a chain 初一→初二→初三 moves each student one
// step), and removes the students of the grades marked so, in one
// transaction. A change whose `to` equals its `from` leaves that grade alone.
void changeGrades(Connection &connection, const std::vector<GradeChange> &changes);

} // namespace quorvel::store
