#include "store/classlists.h"

#include "store/connection.h"

#include <set>

namespace quorvel::store {

ClassLists readClassLists(const Connection &connection)
{
    ClassLists lists;
    // Values order by kind first (the variant's index), so only the same kind
    // and the same content count as seen.
    std::set<Value> seenGrades, seenClasses;
    auto collect = [](Value v, std::set<Value> &seen, std::vector<Value> &list) {
        if (isNull(v))
            return;
        if (seen.insert(v).second)
            list.push_back(std::move(v));
    };
    Statement select(connection, "SELECT \"年级\", \"班级\" FROM student ORDER BY rowid");
    while (select.step()) {
        collect(select.column(0), seenGrades, lists.grades);
        collect(select.column(1), seenClasses, lists.classes);
    }
    return lists;
}

} // namespace quorvel::store
