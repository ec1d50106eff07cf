#pragma once

#include <string>
#include <vector>

namespace quorvel::store {

class Connection;

struct ClassLists {
    std::vector<std::string> grades;
    std::vector<std::string> classes;
};

// Every grade and every class of the whole table, each once, in the order of
// first occurrence; NULL is skipped, an empty text is listed like any other.
// Reads the two columns row by row, without holding the table in memory.
ClassLists readClassLists(const Connection &connection);

} // namespace quorvel::store
