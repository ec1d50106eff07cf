#pragma once

#include "store/evaluationlog.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class Clock;

namespace store {
class Connection;
class RecordSet;
} // namespace store

// The evaluations of this run: recording one on the called student's row and
// taking the latest ones back. A recording raises the grade's counter (and
// sets the deducted credits when given) and writes its log entry, in one
// transaction. No window is needed: the main window checks the teacher's
// input and tells the outcome.
class Evaluations {
public:
    // The grades, in the order of the main window's list.
    enum Grade { Excellent, Good, Pass, Fail };

    explicit Evaluations(const Clock &clock);

    // Records grade on the current row of rs. When another copy of Quorvel
    // has changed the row meanwhile but it still holds the same student
    // (name, grade and class as stored), the evaluation counts on top of the
    // other copy's. Throws store::DbError, having written nothing; rs then
    // holds what the file holds. A counter that holds no number, or one
    // that adding 1 would not raise exactly, is refused, never overwritten.
    void record(store::RecordSet &rs, Grade grade, std::optional<int> credits);

    // Why the latest recording counted without a log entry (another
    // program's table holds the log's name), or empty.
    const std::string &notLogged() const { return notLogged_; }

    // How many recordings of this run can still be taken back.
    std::size_t undoable() const { return done_.size(); }
    // The latest recording still undoable, or null.
    const store::RecordedEvaluation *latest() const { return done_.empty() ? nullptr : &done_.back(); }
    // Takes back the latest recording through conn, only while its row
    // still holds what it wrote, and returns it. Throws store::DbError
    // (RowChanged when the row was changed since), keeping it undoable.
    store::RecordedEvaluation undoLatest(store::Connection &conn);
    // Forgets every recording of this run: the file no longer holds them.
    void forget() { done_.clear(); }

private:
    void write(store::RecordSet &rs, Grade grade, std::optional<int> credits);

    const Clock &clock_;
    std::vector<store::RecordedEvaluation> done_;
    std::string notLogged_;
};

} // namespace quorvel
