#include "exchange/historydialog.h"

#include "exchange/evaluationweeks.h"
#include "widgets/storedtext.h"
#include "widgets/fonts.h"
#include "platform/messagebox.h"
#include "store/error.h"
#include "store/recordset.h"
#include "store/schema.h"
#include "store/statements.h"
#include "store/store.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHeaderView>
#include <QLabel>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <array>

namespace quorvel {

namespace {

const std::array<QString, 4> kGradeNames{QStringLiteral("优秀"), QStringLiteral("良好"),
                                         QStringLiteral("及格"), QStringLiteral("不及格")};
const std::array<QColor, 4> kGradeColours{QColor(0x2e, 0x7d, 0x32), QColor(0x15, 0x65, 0xc0),
                                          QColor(0xf9, 0xa8, 0x25), QColor(0xc6, 0x28, 0x28)};

QString creditsText(const store::EvaluationEntry &e)
{
    if (e.creditsBefore == e.creditsAfter)
        return storedText(e.creditsAfter);
    return storedText(e.creditsBefore) + QStringLiteral(" → ") + storedText(e.creditsAfter);
}

long long wholeNumber(const store::Value &v)
{
    if (auto i = std::get_if<std::int64_t>(&v))
        return *i;
    if (auto d = std::get_if<double>(&v))
        return static_cast<long long>(*d);
    return 0;
}

} // namespace

HistoryDialog::HistoryDialog(store::Store &store, const Services &services,
                             std::int64_t student, QWidget *parent)
    : QDialog(parent), services_(services)
{
    setObjectName(QStringLiteral("history"));
    setWindowTitle(QStringLiteral("评价历史"));
    loaded_ = read(store, student);
    if (loaded_)
        buildControls();
}

bool HistoryDialog::read(store::Store &store, std::int64_t student)
{
    try {
        const std::shared_ptr<store::Connection> conn = store.openFresh();
        store::RecordSet row;
        row.open(conn, store::studentByKey(student));
        if (row.recordCount() == 0) {
            services_.messages.show(QStringLiteral("这名学生已不在数据库中。"),
                                    MessageStyle::Error);
            return false;
        }
        row.moveFirst();
        name_ = storedText(row.field(store::kName));
        long long counted = 0;
        const std::array<std::string_view, 4> counters{store::kExcellent, store::kGood,
                                                       store::kPass, store::kFail};
        QStringList parts;
        for (std::size_t i = 0; i < counters.size(); ++i) {
            counted += wholeNumber(row.field(counters[i]));
            parts << kGradeNames[i] + QStringLiteral("：") + storedText(row.field(counters[i]));
        }
        parts << QStringLiteral("倒扣学分：") + storedText(row.field(store::kDeducted));
        totals_ = QStringLiteral("合计  ") + parts.join(QStringLiteral("  "));
        entries_ = store::readEvaluations(*conn, student);
        const long long undated = counted - static_cast<long long>(entries_.size());
        if (undated > 0)
            note_ = QStringLiteral("另有 %1 次评价记入于开始记录评价时间之前，没有日期。")
                        .arg(undated);
    } catch (const std::exception &e) {
        services_.messages.show(QStringLiteral("数据库操作失败：") + QString::fromUtf8(e.what()),
                                MessageStyle::Error);
        return false;
    }
    return true;
}

void HistoryDialog::buildControls()
{
    setFont(chineseFont(9));
    auto *layout = new QVBoxLayout(this);

    auto *title = new QLabel(name_, this);
    title->setObjectName(QStringLiteral("studentName"));
    title->setFont(chineseFont(14));
    layout->addWidget(title);
    auto *totals = new QLabel(totals_, this);
    totals->setObjectName(QStringLiteral("totals"));
    layout->addWidget(totals);
    auto *note = new QLabel(note_, this);
    note->setObjectName(QStringLiteral("undatedNote"));
    note->setWordWrap(true);
    note->setVisible(!note_.isEmpty());
    layout->addWidget(note);
    // Names come from the file: shown as typed, never as markup.
    for (QLabel *l : {title, totals, note})
        l->setTextFormat(Qt::PlainText);

    auto *table = new QTableWidget(static_cast<int>(entries_.size()), 3, this);
    table->setObjectName(QStringLiteral("entries"));
    table->setHorizontalHeaderLabels(
        {QStringLiteral("日期和时间"), QStringLiteral("等级"), QStringLiteral("倒扣学分")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setStretchLastSection(true);
    for (std::size_t r = 0; r < entries_.size(); ++r) {
        const auto &e = entries_[r];
        const int row = static_cast<int>(r);
        table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(e.time)));
        table->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(e.grade)));
        table->setItem(row, 2, new QTableWidgetItem(creditsText(e)));
    }
    table->resizeColumnsToContents();
    layout->addWidget(table, 2);

    // The four grades per week, stacked.
    const std::vector<WeekCount> weeks = weeklyCounts(entries_);
    const bool manyYears = !weeks.empty() && weeks.front().monday.year() != weeks.back().monday.year();
    auto *series = new QStackedBarSeries;
    std::array<QBarSet *, 4> sets{};
    for (std::size_t g = 0; g < sets.size(); ++g) {
        sets[g] = new QBarSet(kGradeNames[g]);
        sets[g]->setColor(kGradeColours[g]);
        series->append(sets[g]);
    }
    QStringList categories;
    int highest = 0;
    for (const WeekCount &w : weeks) {
        categories << w.monday.toString(manyYears ? QStringLiteral("yyyy/M/d")
                                                  : QStringLiteral("M/d"));
        int sum = 0;
        for (std::size_t g = 0; g < sets.size(); ++g) {
            *sets[g] << w.grades[g];
            sum += w.grades[g];
        }
        highest = std::max(highest, sum);
    }
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(QStringLiteral("每周评价（按周一日期）"));
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *weeksAxis = new QBarCategoryAxis;
    weeksAxis->append(categories);
    if (categories.size() > 8)
        weeksAxis->setLabelsAngle(-60);
    chart->addAxis(weeksAxis, Qt::AlignBottom);
    series->attachAxis(weeksAxis);
    auto *countAxis = new QValueAxis;
    countAxis->setRange(0, std::max(highest, 1));
    countAxis->setTickCount(std::min(std::max(highest, 1), 10) + 1);
    countAxis->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(countAxis, Qt::AlignLeft);
    series->attachAxis(countAxis);
    auto *view = new QChartView(chart, this);
    view->setObjectName(QStringLiteral("weeklyChart"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(260);
    layout->addWidget(view, 3);

    resize(720, 680);
}

} // namespace quorvel
