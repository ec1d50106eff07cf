#include "exchange/rosterupdate.h"

#include "exchange/rosterchoices.h"
#include "workbook/rostertexts.h"
#include "workbook/workbookreader.h"

#include <functional>
#include <set>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quorvel {

namespace {

struct TextsHash {
    std::size_t operator()(const store::RosterRowTexts &t) const
    {
        std::size_t h = 0;
        for (const std::string &s : t)
            h = h * 1000003u ^ std::hash<std::string_view>()(s);
        return h;
    }
};

} // namespace

QList<FileFilter> rosterFileKinds()
{
    return {
        {QStringLiteral("Excel文件"), QStringLiteral("*.xls")},
        {QStringLiteral("Excel 2007及以上"), QStringLiteral("*.xlsx")},
        {QStringLiteral("OpenDocument表格"), QStringLiteral("*.ods")},
        {QStringLiteral("CSV文本"), QStringLiteral("*.csv")},
        {QStringLiteral("所有支持的表格"), QStringLiteral("*.xls *.xlsx *.ods *.csv")},
    };
}

std::vector<store::RosterRowTexts> readRosterRows(Worksheet &sheet,
                                                  const std::function<void(long, long)> &progress)
{
    std::vector<store::RosterRowTexts> rows;
    SheetRow row;
    sheet.nextRow(row);  // row 1 holds the titles and is not read
    while (sheet.nextRow(row)) {
        if (endsRoster(row))
            break;
        rows.push_back(rosterTexts(row));
        if (progress && rows.size() % 512 == 0)
            progress(static_cast<long>(rows.size()), sheet.usedRows() - 1);
    }
    return rows;
}

RosterUpdatePlan planRosterUpdate(std::vector<store::RosterRowTexts> rows,
                                  const std::vector<store::RosterStudent> &students)
{
    RosterUpdatePlan plan;
    plan.rows = std::move(rows);
    std::unordered_map<store::RosterRowTexts, std::size_t, TextsHash> firstRow;
    std::set<std::pair<std::string, std::string>> classes;
    firstRow.reserve(plan.rows.size());
    for (std::size_t i = 0; i < plan.rows.size(); ++i) {
        const auto [at, isNew] = firstRow.emplace(plan.rows[i], i);
        if (!isNew)
            plan.repeated.emplace_back(i, at->second);
        classes.emplace(plan.rows[i][1], plan.rows[i][2]);
    }
    std::unordered_set<store::RosterRowTexts, TextsHash> present;
    present.reserve(students.size());
    for (const store::RosterStudent &s : students) {
        if (store::isNull(s.grade) || store::isNull(s.className))
            continue;  // never listed, so never matched
        store::RosterRowTexts read{readingOf(s.name), readingOf(s.grade), readingOf(s.className)};
        if (firstRow.count(read))
            plan.kept.push_back(s);
        else if (classes.count({read[1], read[2]}))
            plan.missing.push_back(s);
        present.insert(std::move(read));
    }
    for (std::size_t i = 0; i < plan.rows.size(); ++i)
        if (!present.count(plan.rows[i]) && firstRow.at(plan.rows[i]) == i)
            plan.added.push_back(i);
    return plan;
}

} // namespace quorvel
