#include "store/classlists.h"

#include "store/connection.h"

#include <unordered_set>

namespace quorvel::store {

ClassLists readClassLists(const Connection &connection)
{
    ClassLists lists;
    std::unordered_set<std::string> seenGrades, seenClasses;
    auto collect = [](Value v, std::unordered_set<std::string> &seen,
                      std::vector<std::string> &list) {
        if (isNull(v))
            return;
        std::string text = displayText(v);
        if (seen.insert(text).second)
            list.push_back(std::move(text));
    };
    Statement select(connection, "SELECT \"年级\", \"班级\" FROM student ORDER BY rowid");
    while (select.step()) {
        collect(select.column(0), seenGrades, lists.grades);
        collect(select.column(1), seenClasses, lists.classes);
    }
    return lists;
}

} // namespace quorvel::store
