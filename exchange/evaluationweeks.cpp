#include "exchange/evaluationweeks.h"

#include "store/schema.h"

#include <QDateTime>

#include <map>

namespace quorvel {

int gradeIndex(const std::string &grade)
{
    const std::array<std::string_view, 4> grades{store::kExcellent, store::kGood, store::kPass,
                                                 store::kFail};
    for (std::size_t i = 0; i < grades.size(); ++i)
        if (grade == grades[i])
            return static_cast<int>(i);
    return -1;
}

std::vector<WeekCount> weeklyCounts(const std::vector<store::EvaluationEntry> &entries)
{
    std::map<QDate, std::array<int, 4>> byWeek;
    for (const auto &e : entries) {
        const QDate day =
            QDate::fromString(QString::fromStdString(e.time.substr(0, 10)), Qt::ISODate);
        const int grade = gradeIndex(e.grade);
        if (!day.isValid() || grade < 0)
            continue;
        const QDate monday = day.addDays(1 - day.dayOfWeek());
        ++byWeek[monday][static_cast<std::size_t>(grade)];
    }
    std::vector<WeekCount> weeks;
    if (byWeek.empty())
        return weeks;
    const QDate last = byWeek.rbegin()->first;
    for (QDate monday = byWeek.begin()->first; monday <= last; monday = monday.addDays(7)) {
        WeekCount w;
        w.monday = monday;
        if (auto it = byWeek.find(monday); it != byWeek.end())
            w.grades = it->second;
        weeks.push_back(w);
    }
    return weeks;
}

} // namespace quorvel
