#pragma once

#include "store/value.h"

#include <QString>

#include <utility>
#include <vector>

namespace quorvel {

// What a value stored in the file reads as on screen, in every window and
// in the export: text as UTF-8 where it is UTF-8, else as GB18030 (what
// older Chinese programs stored), else UTF-8 with the bad bytes marked;
// bytes alike; numbers in plain digits; NULL empty.
QString storedText(const store::Value &value);

// An item of a grade or class list: the text shown, and the exact stored
// value it stands for, which a query of its class binds.
using Choice = std::pair<QString, store::Value>;

// One item per stored value, in order. Where values read alike, the ordinary
// text keeps its plain reading and the others are marked with their kind (and
// a number, if that is not enough), so that no two items look the same.
std::vector<Choice> choicesFor(const std::vector<store::Value> &values);

} // namespace quorvel
