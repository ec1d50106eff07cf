#pragma once

#include "store/evaluationlog.h"

#include <QDate>

#include <array>
#include <vector>

namespace quorvel {

// How often each grade was given in one week (Monday to Sunday).
struct WeekCount {
    QDate monday;
    std::array<int, 4> grades{};  // 优秀, 良好, 及格, 不及格
};

// The weeks from the earliest entry's to the latest's, every week in between
// included (an empty one counts zero), oldest first. Entries whose time or
// grade cannot be read are left out.
std::vector<WeekCount> weeklyCounts(const std::vector<store::EvaluationEntry> &entries);

// 0 to 3 for the grades in the order above; -1 for anything else.
int gradeIndex(const std::string &grade);

} // namespace quorvel
