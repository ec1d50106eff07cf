#pragma once

#include <stdexcept>
#include <string>

namespace quorvel::store {

// What went wrong, beyond the engine's own result code.
enum class Condition {
    Engine,       // the engine refused; code() holds its extended result code
    MissingFile,  // the database file does not exist
    NoTable,      // the file opened, but holds no usable table `student`
    RowChanged,   // the row was changed or removed since the record set read it
    Usage,        // a record-set operation without an open set or a current row
    ForeignLog,   // something else holds the evaluation log's name
    Damaged,      // the file fails the engine's integrity check
};

// Every failure of the store. what() is the Chinese reason shown to the
// teacher, with the engine's own message after it in parentheses.
class DbError : public std::runtime_error {
public:
    DbError(Condition condition, int code, const std::string &reason);

    // The engine's failure at code, described for the teacher.
    static DbError fromEngine(int code, const std::string &engineMessage);

    Condition condition() const { return condition_; }
    // The engine's extended result code; 0 when the store itself refused.
    int code() const { return code_; }

private:
    Condition condition_;
    int code_;
};

} // namespace quorvel::store
