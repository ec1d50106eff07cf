#include "store/owntable.h"

#include "store/connection.h"
#include "store/error.h"

#include <set>

namespace quorvel::store {

namespace {

[[noreturn]] void failForeign(const std::string &why)
{
    throw DbError(Condition::ForeignLog, 0, why);
}

} // namespace

TableState tableState(const Connection &connection, const OwnTable &table, std::string *why)
{
    const std::string name(table.name);
    Statement object(connection, "SELECT type FROM sqlite_master WHERE name = ?1");
    object.bindText(1, name);
    if (!object.step())
        return TableState::Missing;
    if (object.column(0) != Value(std::string("table"))) {
        if (why)
            *why = "数据库中的“" + name + "”不是数据表，而是其他程序建立的"
                + displayText(object.column(0));
        return TableState::Foreign;
    }
    Statement columns(connection, "PRAGMA table_info(" + quotedIdentifier(name) + ")");
    std::set<std::string> present;
    while (columns.step())
        present.insert(displayText(columns.column(1)));
    for (std::string_view wanted : table.columns)
        if (!present.count(std::string(wanted))) {
            if (why)
                *why = "数据库中已有其他程序建立的“" + name + "”数据表，它没有“"
                    + std::string(wanted) + "”列";
            return TableState::Foreign;
        }
    return TableState::Ours;
}

int userVersion(const Connection &connection)
{
    Statement st(connection, "PRAGMA user_version");
    if (st.step()) {
        const Value v = st.column(0);
        if (auto n = std::get_if<std::int64_t>(&v))
            return static_cast<int>(*n);
    }
    return 0;
}

TableState ensureOwnTable(Connection &connection, const OwnTable &table)
{
    std::string why;
    const TableState state = tableState(connection, table, &why);
    if (state == TableState::Foreign)
        failForeign(why);
    if (state == TableState::Missing)
        connection.exec(table.create);
    if (userVersion(connection) < table.version)
        // A pragma takes no parameters; the number is this build's own constant.
        connection.exec(("PRAGMA user_version = " + std::to_string(table.version)).c_str());
    return state;
}

TableState ownTableForReading(const Connection &connection, const OwnTable &table)
{
    std::string why;
    const TableState state = tableState(connection, table, &why);
    if (state == TableState::Foreign)
        failForeign(why);
    return state;
}

} // namespace quorvel::store
