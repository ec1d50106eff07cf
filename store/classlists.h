#pragma once

#include "store/value.h"

#include <vector>

namespace quorvel::store {

class Connection;

struct ClassLists {
    std::vector<Value> grades;
    std::vector<Value> classes;
};

// Every grade and every class of the whole table, each stored value once, in
// the order of first occurrence; NULL is skipped, an empty text is listed like
// any other. Values are kept exactly as stored: a text, the same bytes stored
// as a BLOB and a number that reads alike are three items.
// Reads the two columns row by row, without holding the table in memory.
ClassLists readClassLists(const Connection &connection);

} // namespace quorvel::store
