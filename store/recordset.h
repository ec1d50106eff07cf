#pragma once

#include "store/statements.h"
#include "store/value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::store {

class Connection;
class Statement;

// A client-side snapshot of a query's rows, read in full when it opens, so
// counting and positioning never touch the file. Writes go back through the
// connection it was opened on, which it keeps alive until it closes.
//
// update() and deleteCurrent() touch exactly the current row, by its key, and
// only while the file still holds what the set read there; otherwise they
// throw DbError(RowChanged) and write nothing. A failed update discards the
// pending changes, so the row again shows what the file holds.
class RecordSet {
public:
    RecordSet() = default;
    RecordSet(const RecordSet &) = delete;
    RecordSet &operator=(const RecordSet &) = delete;

    void open(std::shared_ptr<Connection> connection, const Query &query);
    bool isOpen() const { return connection_ != nullptr; }
    void close();

    long recordCount() const;
    // 1-based position of the current row; 0 when there is none.
    long absolutePosition() const;
    void setAbsolutePosition(long position);
    // The file's key (rowid) of the current row; 0 for a row not yet stored.
    std::int64_t key() const;
    void moveFirst();
    void moveNext();
    // True once moved past the last row (and for an empty set).
    bool eof() const;

    // Index of a column for field(int); -1 when the set has no such column.
    int columnIndex(std::string_view column) const;
    const Value &field(std::string_view column) const;
    const Value &field(int index) const;
    // Changes a field of the current row; the file sees it at update().
    void setField(std::string_view column, Value value);

    // Appends an empty row and makes it current; update() stores it, after
    // which it shows the values the file gave it (the columns' defaults).
    void addNew();
    void update();
    // The same, with a further write to the file (alongside, given the
    // connection) inside the transaction that stores the row: both or neither.
    void update(const std::function<void(Connection &)> &alongside);
    // Reads again, from the file, the row with this key if the set holds it.
    void refresh(std::int64_t key);
    // The column names of the set, in order (field(int) numbers them).
    const std::vector<std::string> &columns() const { return columns_; }
    void cancelUpdate();
    // Removes the current row from the file; the next moveNext() reaches the
    // row after it.
    void deleteCurrent();

private:
    struct Row {
        std::int64_t key = 0;
        bool isNew = false;
        std::vector<Value> values;                 // as the file holds them
        std::vector<std::optional<Value>> edits;   // pending, by column; empty when none
        // Texts whose stored bytes differ from their UTF-8, by column: the
        // changed-row check compares these bytes, which survive no conversion.
        std::vector<std::pair<std::size_t, std::string>> storedText;
    };

    void requireOpen() const;
    Row &currentRow();
    const Row &currentRow() const;
    bool hasEdits(const Row &row) const;
    std::string matchesRead(const Row &row, int firstParameter) const;
    void bindRead(Statement &statement, const Row &row, int firstParameter) const;
    static void readValues(const Statement &select, int firstColumn, Row &row);
    // The row with this key as the file holds it now; false when it is gone.
    bool reread(std::int64_t key, Row &row) const;
    using Alongside = std::function<void(Connection &)>;
    void insertRow(Row &row, const Alongside &alongside);
    void updateRow(Row &row, const Alongside &alongside);

    std::shared_ptr<Connection> connection_;
    std::string table_;
    std::vector<std::string> columns_;
    std::vector<Row> rows_;
    std::size_t current_ = 0;      // index into rows_; rows_.size() at end of set
    bool currentDeleted_ = false;  // the current row was just deleted
};

} // namespace quorvel::store
