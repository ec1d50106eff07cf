#include "rollcall/evaluations.h"

#include "platform/clock.h"
#include "store/error.h"
#include "store/recordset.h"
#include "store/schema.h"

#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace quorvel {

using store::DbError;

namespace {

// The counter each grade raises.
constexpr std::array<std::string_view, 4> kCounters{store::kExcellent, store::kGood,
                                                     store::kPass, store::kFail};

// The counter raised by one.
store::Value plusOne(const store::Value &v, std::string_view column)
{
    const std::string name = "“" + std::string(column) + "”";
    if (auto d = std::get_if<double>(&v)) {
        const double next = *d + 1.0;
        if (!std::isfinite(next) || next == *d)
            throw DbError(store::Condition::Usage, 0,
                          name + "中的数" + store::displayText(v) + "太大，无法再准确加1");
        return next;
    }
    if (auto i = std::get_if<std::int64_t>(&v)) {
        if (*i == std::numeric_limits<std::int64_t>::max())
            throw DbError(store::Condition::Usage, 0,
                          name + "已达到能记录的最大值" + store::displayText(v) + "，不能再加1");
        return *i + 1;
    }
    throw DbError(store::Condition::Usage, 0, name + "中存的不是数字：" + store::displayText(v));
}

// Who the current row of a set is: name, grade and class as stored.
std::array<store::Value, 3> identity(const store::RecordSet &rs)
{
    return {rs.field(store::kName), rs.field(store::kGrade), rs.field(store::kClass)};
}

} // namespace

Evaluations::Evaluations(const Clock &clock) : clock_(clock) {}

void Evaluations::record(store::RecordSet &rs, Grade grade, std::optional<int> credits)
{
    if (grade < Excellent || grade > Fail)
        throw std::invalid_argument("no such grade");
    try {
        const auto student = identity(rs);
        try {
            write(rs, grade, credits);
        } catch (const DbError &e) {
            // Another copy evaluated this student meanwhile: the set now
            // holds the file's row. While it is still the same student, this
            // evaluation counts on top of the other one.
            if (e.condition() != store::Condition::RowChanged)
                throw;
            rs.cancelUpdate();
            if (identity(rs) != student)
                throw;
            write(rs, grade, credits);
        }
    } catch (const DbError &) {
        // update() has dropped the unsaved changes.
        rs.cancelUpdate();
        throw;
    }
}

void Evaluations::write(store::RecordSet &rs, Grade grade, std::optional<int> credits)
{
    const std::string_view counter = kCounters[static_cast<std::size_t>(grade)];
    store::RecordedEvaluation done;
    done.counter = std::string(counter);
    done.counterBefore = rs.field(counter);
    done.entry.student = rs.key();
    done.entry.time = clock_.logTime().toStdString();
    done.entry.grade = done.counter;
    done.entry.creditsBefore = rs.field(store::kDeducted);
    rs.setField(counter, plusOne(done.counterBefore, counter));
    if (credits)
        rs.setField(store::kDeducted, static_cast<double>(*credits));
    // The log entry goes in with the row, in its transaction. Where another
    // program's table holds the log's name, the evaluation counts unlogged.
    notLogged_.clear();
    rs.update([&](store::Connection &conn) {
        done.entry.creditsAfter = rs.field(store::kDeducted);
        try {
            done.entry.id = store::appendEvaluation(conn, done.entry);
        } catch (const DbError &e) {
            if (e.condition() != store::Condition::ForeignLog)
                throw;
            done.entry.id = 0;
            notLogged_ = e.what();
        }
    });
    const auto &columns = rs.columns();
    for (std::size_t c = 0; c < columns.size(); ++c)
        done.written.emplace_back(columns[c], rs.field(static_cast<int>(c)));
    done.entry.creditsAfter = rs.field(store::kDeducted);
    done_.push_back(std::move(done));
}

store::RecordedEvaluation Evaluations::undoLatest(store::Connection &conn)
{
    if (done_.empty())
        throw std::logic_error("nothing to undo");
    store::undoEvaluation(conn, done_.back());
    store::RecordedEvaluation undone = std::move(done_.back());
    done_.pop_back();
    return undone;
}

} // namespace quorvel
