#include "store/recordset.h"

#include "store/connection.h"
#include "store/error.h"

#include <utility>

namespace quorvel::store {

namespace {

[[noreturn]] void usage(const char *what)
{
    throw DbError(Condition::Usage, 0, what);
}

} // namespace

void RecordSet::open(std::shared_ptr<Connection> connection, const Query &query)
{
    close();
    Statement select(*connection, query.sql);
    for (std::size_t i = 0; i < query.parameters.size(); ++i)
        select.bind(static_cast<int>(i) + 1, query.parameters[i]);

    std::vector<Row> rows;
    const int count = select.columnCount();
    while (select.step()) {
        Row row;
        const Value key = select.column(0);
        row.key = std::holds_alternative<std::int64_t>(key) ? std::get<std::int64_t>(key) : 0;
        readValues(select, 1, row);
        rows.push_back(std::move(row));
    }
    std::vector<std::string> columns;
    for (int c = 1; c < count; ++c)
        columns.push_back(select.columnName(c));

    connection_ = std::move(connection);
    table_ = query.table;
    columns_ = std::move(columns);
    rows_ = std::move(rows);
    current_ = 0;
    currentDeleted_ = false;
}

void RecordSet::close()
{
    rows_.clear();
    columns_.clear();
    current_ = 0;
    currentDeleted_ = false;
    connection_.reset();
}

long RecordSet::recordCount() const
{
    requireOpen();
    return static_cast<long>(rows_.size());
}

long RecordSet::absolutePosition() const
{
    if (!isOpen() || currentDeleted_ || current_ >= rows_.size())
        return 0;
    return static_cast<long>(current_) + 1;
}

void RecordSet::setAbsolutePosition(long position)
{
    requireOpen();
    // A new row not yet stored is dropped first: it is no position to move to.
    cancelUpdate();
    if (position < 1 || position > static_cast<long>(rows_.size()))
        usage("记录位置超出范围");
    current_ = static_cast<std::size_t>(position - 1);
    currentDeleted_ = false;
}

std::int64_t RecordSet::key() const
{
    return currentRow().key;
}

void RecordSet::moveFirst()
{
    requireOpen();
    cancelUpdate();
    current_ = 0;
    currentDeleted_ = false;
}

void RecordSet::moveNext()
{
    requireOpen();
    cancelUpdate();
    if (currentDeleted_)
        currentDeleted_ = false;  // the row after the deleted one already sits here
    else if (current_ < rows_.size())
        ++current_;
}

bool RecordSet::eof() const
{
    requireOpen();
    return current_ >= rows_.size();
}

int RecordSet::columnIndex(std::string_view column) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i] == column)
            return static_cast<int>(i);
    return -1;
}

const Value &RecordSet::field(std::string_view column) const
{
    const int index = columnIndex(column);
    if (index < 0) {
        requireOpen();
        throw DbError(Condition::Usage, 0, "数据表中没有列：" + std::string(column));
    }
    return field(index);
}

const Value &RecordSet::field(int index) const
{
    const Row &row = currentRow();
    if (index < 0 || index >= static_cast<int>(row.values.size()))
        usage("列号超出范围");
    const auto i = static_cast<std::size_t>(index);
    return !row.edits.empty() && row.edits[i] ? *row.edits[i] : row.values[i];
}

void RecordSet::setField(std::string_view column, Value value)
{
    Row &row = currentRow();
    const int index = columnIndex(column);
    if (index < 0)
        throw DbError(Condition::Usage, 0, "数据表中没有列：" + std::string(column));
    if (row.edits.empty())
        row.edits.resize(columns_.size());
    row.edits[static_cast<std::size_t>(index)] = std::move(value);
}

void RecordSet::addNew()
{
    requireOpen();
    cancelUpdate();
    Row row;
    row.isNew = true;
    row.values.resize(columns_.size());
    rows_.push_back(std::move(row));
    current_ = rows_.size() - 1;
    currentDeleted_ = false;
}

void RecordSet::update()
{
    update({});
}

void RecordSet::update(const std::function<void(Connection &)> &alongside)
{
    Row &row = currentRow();
    try {
        if (row.isNew) {
            insertRow(row, alongside);
        } else if (hasEdits(row)) {
            updateRow(row, alongside);
        } else if (alongside) {
            Transaction tx(*connection_);
            alongside(*connection_);
            tx.commit();
        }
    } catch (...) {
        cancelUpdate();
        throw;
    }
}

void RecordSet::refresh(std::int64_t key)
{
    requireOpen();
    for (Row &row : rows_) {
        if (row.isNew || row.key != key)
            continue;
        Row now;
        if (reread(key, now)) {
            row.values = std::move(now.values);
            row.storedText = std::move(now.storedText);
            row.edits.clear();
        }
    }
}

void RecordSet::cancelUpdate()
{
    if (!isOpen() || currentDeleted_ || current_ >= rows_.size())
        return;
    Row &row = rows_[current_];
    if (row.isNew) {
        rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(current_));
        current_ = rows_.size();
        return;
    }
    row.edits.clear();
}

void RecordSet::deleteCurrent()
{
    Row &row = currentRow();
    if (!row.isNew) {
        Statement del(*connection_, "DELETE FROM " + quotedIdentifier(table_) + " WHERE rowid = ?1"
                                        + matchesRead(row, 2));
        del.bind(1, row.key);
        bindRead(del, row, 2);
        del.run();
        if (connection_->changes() != 1)
            throw DbError(Condition::RowChanged, 0, "这条记录已被其他程序修改或删除");
    }
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(current_));
    currentDeleted_ = true;
}

void RecordSet::requireOpen() const
{
    if (!isOpen())
        usage("记录集没有打开");
}

RecordSet::Row &RecordSet::currentRow()
{
    return const_cast<Row &>(std::as_const(*this).currentRow());
}

const RecordSet::Row &RecordSet::currentRow() const
{
    requireOpen();
    if (currentDeleted_ || current_ >= rows_.size())
        usage("没有当前记录");
    return rows_[current_];
}

bool RecordSet::hasEdits(const Row &row) const
{
    if (row.edits.empty())
        return false;
    for (std::size_t i = 0; i < row.edits.size(); ++i)
        if (row.edits[i] && *row.edits[i] != row.values[i])
            return true;
    return false;
}

// " AND c1 IS ?n AND c2 IS ?n+1 ...": the row still holds what the set read.
// A text that does not survive the trip through UTF-8 is compared by the
// bytes the file holds.
std::string RecordSet::matchesRead(const Row &row, int firstParameter) const
{
    std::string sql;
    std::size_t next = 0;  // into row.storedText, which is in column order
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const std::string column = quotedIdentifier(columns_[i]);
        const std::string slot = "?" + std::to_string(firstParameter + static_cast<int>(i));
        if (next < row.storedText.size() && row.storedText[next].first == i) {
            sql += " AND typeof(" + column + ") = 'text' AND CAST(" + column + " AS BLOB) = "
                + slot;
            ++next;
        } else {
            sql += " AND " + column + " IS " + slot;
        }
    }
    return sql;
}

void RecordSet::bindRead(Statement &statement, const Row &row, int firstParameter) const
{
    std::size_t next = 0;
    for (std::size_t i = 0; i < row.values.size(); ++i) {
        const int slot = firstParameter + static_cast<int>(i);
        if (next < row.storedText.size() && row.storedText[next].first == i)
            statement.bind(slot, Blob{row.storedText[next++].second});
        else
            statement.bind(slot, row.values[i]);
    }
}

void RecordSet::readValues(const Statement &select, int firstColumn, Row &row)
{
    const int count = select.columnCount();
    row.values.clear();
    row.storedText.clear();
    row.values.reserve(static_cast<std::size_t>(count - firstColumn));
    for (int c = firstColumn; c < count; ++c) {
        std::string stored;
        bool differs = false;
        row.values.push_back(select.column(c, &stored, &differs));
        if (differs)
            row.storedText.emplace_back(static_cast<std::size_t>(c - firstColumn),
                                        std::move(stored));
    }
}

bool RecordSet::reread(std::int64_t key, Row &row) const
{
    std::string sql = "SELECT ";
    for (std::size_t i = 0; i < columns_.size(); ++i)
        sql += (i ? ", " : "") + quotedIdentifier(columns_[i]);
    sql += " FROM " + quotedIdentifier(table_) + " WHERE rowid = ?1";
    Statement select(*connection_, sql);
    select.bind(1, key);
    if (!select.step())
        return false;
    readValues(select, 0, row);
    return true;
}

void RecordSet::insertRow(Row &row, const Alongside &alongside)
{
    row.edits.resize(columns_.size());
    std::string names, slots;
    std::vector<const Value *> bound;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (!row.edits[i])
            continue;
        names += (bound.empty() ? "" : ", ") + quotedIdentifier(columns_[i]);
        bound.push_back(&*row.edits[i]);
        slots += (bound.size() == 1 ? "?" : ", ?") + std::to_string(bound.size());
    }
    const std::string sql = bound.empty()
        ? "INSERT INTO " + quotedIdentifier(table_) + " DEFAULT VALUES"
        : "INSERT INTO " + quotedIdentifier(table_) + " (" + names + ") VALUES (" + slots + ")";

    Transaction tx(*connection_);
    Statement insert(*connection_, sql);
    for (std::size_t i = 0; i < bound.size(); ++i)
        insert.bind(static_cast<int>(i) + 1, *bound[i]);
    insert.run();
    const std::int64_t key = connection_->lastInsertRowid();
    Row stored;
    if (!reread(key, stored))
        throw DbError(Condition::RowChanged, 0, "新记录写入后无法读回");
    if (alongside)
        alongside(*connection_);
    tx.commit();

    row.key = key;
    row.isNew = false;
    row.values = std::move(stored.values);
    row.storedText = std::move(stored.storedText);
    row.edits.clear();
}

void RecordSet::updateRow(Row &row, const Alongside &alongside)
{
    std::string sets;
    std::vector<const Value *> bound;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (!row.edits[i] || *row.edits[i] == row.values[i])
            continue;
        bound.push_back(&*row.edits[i]);
        sets += (bound.size() == 1 ? "" : ", ") + quotedIdentifier(columns_[i]) + " = ?"
            + std::to_string(bound.size());
    }
    const int keySlot = static_cast<int>(bound.size()) + 1;
    const std::string sql = "UPDATE " + quotedIdentifier(table_) + " SET " + sets + " WHERE rowid = ?"
        + std::to_string(keySlot) + matchesRead(row, keySlot + 1);

    Row stored;
    bool written = false;
    {
        Transaction tx(*connection_);
        Statement change(*connection_, sql);
        for (std::size_t i = 0; i < bound.size(); ++i)
            change.bind(static_cast<int>(i) + 1, *bound[i]);
        change.bind(keySlot, row.key);
        bindRead(change, row, keySlot + 1);
        change.run();
        if (connection_->changes() == 1 && reread(row.key, stored)) {
            if (alongside)
                alongside(*connection_);
            tx.commit();
            written = true;
        }
    }
    if (!written) {
        // Someone else changed or removed the row: show what the file holds now.
        Row now;
        if (reread(row.key, now)) {
            row.values = std::move(now.values);
            row.storedText = std::move(now.storedText);
        }
        throw DbError(Condition::RowChanged, 0, "这条记录已被其他程序修改或删除");
    }
    row.values = std::move(stored.values);
    row.storedText = std::move(stored.storedText);
    row.edits.clear();
}

} // namespace quorvel::store
