#include "exchange/calloverview.h"

#include "exchange/workbookexport.h"
#include "platform/clock.h"
#include "platform/messagebox.h"
#include "store/calllog.h"
#include "store/error.h"
#include "store/recordset.h"
#include "store/rounds.h"
#include "store/schema.h"
#include "store/statements.h"
#include "store/store.h"
#include "widgets/fonts.h"
#include "workbook/workbookwriter.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

namespace quorvel {

namespace {

const QStringList kPeriods{QStringLiteral("本周"), QStringLiteral("本月"), QStringLiteral("本学期"),
                           QStringLiteral("全部")};
const QStringList kHeader{QStringLiteral("姓名"), QStringLiteral("点名次数"),
                          QStringLiteral("评价次数"), QStringLiteral("最近点名"),
                          QStringLiteral("备注")};
const QString kNeverCalled = QStringLiteral("未点名");
const QString kAbsentToday = QStringLiteral("今日缺席");
const QString kTermStartKey = QStringLiteral("overview/termStart");
const QString kWhat = QStringLiteral("点名统计");
// The columns with a count and its bar.
constexpr int kCallsColumn = 1;
constexpr int kEvaluationsColumn = 2;
// The rows of students never called in the period.
const QColor kNeverCalledTint(0xfd, 0xe2, 0xc0);
const QColor kBarColour(0x42, 0x85, 0xd6);

// The usual start of the term under way on `today`: 1 September, or 1
// February for the spring term.
QDate likelyTermStart(const QDate &today)
{
    if (today.month() >= 9)
        return QDate(today.year(), 9, 1);
    if (today.month() >= 2)
        return QDate(today.year(), 2, 1);
    return QDate(today.year() - 1, 9, 1);
}

} // namespace

// A count with a bar beside it, as long against the cell as the count is
// against the largest in its column.
class CountBarDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    std::int64_t largest[3] = {0, 0, 0};

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QWidget *view = option.widget;
        QStyle *style = view ? view->style() : QApplication::style();
        // The cell's background (a tint, the selection), then the figure at its left.
        QStyleOptionViewItem whole = option;
        initStyleOption(&whole, index);
        whole.text.clear();
        style->drawControl(QStyle::CE_ItemViewItem, &whole, painter, view);
        const int textWidth = option.fontMetrics.horizontalAdvance(QStringLiteral("0000")) + 8;
        QStyleOptionViewItem figure = option;
        initStyleOption(&figure, index);
        figure.rect.setWidth(textWidth);
        style->drawControl(QStyle::CE_ItemViewItem, &figure, painter, view);
        const std::int64_t most = largest[index.column()];
        const std::int64_t value = index.data().toLongLong();
        if (most <= 0 || value <= 0)
            return;
        const QRect room = option.rect.adjusted(textWidth, 4, -6, -4);
        const int length = std::max(2, static_cast<int>(room.width() * value / most));
        painter->fillRect(QRect(room.left(), room.top(), length, room.height()), kBarColour);
    }
};

std::string periodStart(CallPeriod period, const QDate &today, const QDate &termStart)
{
    QDate from;
    switch (period) {
    case CallPeriod::Week:
        from = today.addDays(1 - today.dayOfWeek());
        break;
    case CallPeriod::Month:
        from = QDate(today.year(), today.month(), 1);
        break;
    case CallPeriod::Term:
        from = termStart;
        break;
    case CallPeriod::All:
        return {};
    }
    return from.toString(QStringLiteral("yyyy-MM-dd 00:00:00")).toStdString();
}

CallOverview readCallOverview(const std::shared_ptr<store::Connection> &conn,
                              const store::Value &grade, const store::Value &className,
                              const std::string &since, const QDate &today)
{
    store::RecordSet students;
    students.open(conn, store::studentsOfClass(grade, className));
    std::vector<store::MarkedStudent> marked;
    std::vector<std::int64_t> keys;
    CallOverview overview;
    for (long p = 1; p <= students.recordCount(); ++p) {
        students.setAbsolutePosition(p);
        const store::Value &name = students.field(store::kName);
        marked.push_back({students.key(), name});
        keys.push_back(students.key());
        overview.rows.push_back({students.key(), storedText(name), 0, 0, {}, false, false});
    }
    const auto tallies = store::readCallTallies(*conn, keys, since);
    const std::vector<std::int64_t> drawn =
        store::stillTheSame(store::readDrawn(*conn, grade, className), marked);
    const std::vector<std::int64_t> absent = store::stillTheSame(
        store::readAbsent(*conn, today.toString(Qt::ISODate).toStdString()), marked);
    const std::set<std::int64_t> drawnKeys(drawn.begin(), drawn.end());
    const std::set<std::int64_t> absentKeys(absent.begin(), absent.end());
    for (CallOverviewRow &row : overview.rows) {
        const store::CallTally &t = tallies.at(row.key);
        row.calls = t.calls;
        row.evaluations = t.evaluations;
        row.lastCall = QString::fromStdString(t.lastCall.substr(0, 10));
        row.drawnThisRound = drawnKeys.count(row.key) != 0;
        row.absent = absentKeys.count(row.key) != 0;
    }
    std::stable_sort(overview.rows.begin(), overview.rows.end(),
                     [](const CallOverviewRow &a, const CallOverviewRow &b) {
                         return a.calls < b.calls;
                     });
    overview.firstCall = QString::fromStdString(store::firstCallTime(*conn).substr(0, 10));
    return overview;
}

CallOverviewDialog::CallOverviewDialog(store::Store &store, const Services &services,
                                       QSettings &settings, const Choice &grade,
                                       const Choice &className, long lost, QWidget *parent)
    : QDialog(parent), store_(store), services_(services), settings_(settings), grade_(grade),
      className_(className), lost_(lost)
{
    setObjectName(QStringLiteral("callOverview"));
    setWindowTitle(kWhat + QStringLiteral(" — ") + grade_.first + u' ' + className_.first);
    buildControls();
    refresh();
}

void CallOverviewDialog::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    auto *controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("统计范围："), this));
    periodBox_ = new QComboBox(this);
    periodBox_->setObjectName(QStringLiteral("periodBox"));
    periodBox_->addItems(kPeriods);
    controls->addWidget(periodBox_);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("学期开始："), this));
    termStart_ = new QDateEdit(this);
    termStart_->setObjectName(QStringLiteral("termStart"));
    termStart_->setCalendarPopup(true);
    termStart_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    const QDate saved = QDate::fromString(settings_.value(kTermStartKey).toString(), Qt::ISODate);
    termStart_->setDate(saved.isValid() ? saved : likelyTermStart(services_.clock.today()));
    controls->addWidget(termStart_);
    controls->addStretch();
    auto *exportButton = new QPushButton(QStringLiteral("导出至Excel"), this);
    exportButton->setObjectName(QStringLiteral("exportButton"));
    controls->addWidget(exportButton);
    layout->addLayout(controls);

    const auto label = [this, layout](const char *name) {
        auto *l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        layout->addWidget(l);
        return l;
    };
    gapLabel_ = label("gapLabel");
    roundLabel_ = label("roundLabel");

    table_ = new QTableWidget(0, static_cast<int>(kHeader.size()), this);
    table_->setObjectName(QStringLiteral("callTable"));
    table_->setHorizontalHeaderLabels(kHeader);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false);
    table_->setColumnWidth(0, 140);
    table_->setColumnWidth(kCallsColumn, 170);
    table_->setColumnWidth(kEvaluationsColumn, 170);
    table_->setColumnWidth(3, 110);
    table_->horizontalHeader()->setStretchLastSection(true);
    bars_ = new CountBarDelegate(table_);
    table_->setItemDelegateForColumn(kCallsColumn, bars_);
    table_->setItemDelegateForColumn(kEvaluationsColumn, bars_);
    layout->addWidget(table_, 1);
    noteLabel_ = label("noteLabel");
    resize(720, 560);

    connect(periodBox_, &QComboBox::currentIndexChanged, this, [this](int index) {
        termStart_->setEnabled(index == static_cast<int>(CallPeriod::Term));
        refresh();
    });
    connect(termStart_, &QDateEdit::dateChanged, this, [this](const QDate &day) {
        settings_.setValue(kTermStartKey, day.toString(Qt::ISODate));
        if (periodBox_->currentIndex() == static_cast<int>(CallPeriod::Term))
            refresh();
    });
    connect(exportButton, &QPushButton::clicked, this, &CallOverviewDialog::exportToWorkbook);
    termStart_->setEnabled(false);
}

void CallOverviewDialog::setPeriod(CallPeriod period)
{
    periodBox_->setCurrentIndex(static_cast<int>(period));
}

void CallOverviewDialog::refresh()
{
    const auto period = static_cast<CallPeriod>(std::max(0, periodBox_->currentIndex()));
    const QDate today = services_.clock.today();
    try {
        const std::string since = periodStart(period, today, termStart_->date());
        // The roll call's connection while it has one, else one of the window's own.
        if (!conn_)
            conn_ = store_.conn ? store_.conn : store_.openFresh();
        overview_ = readCallOverview(conn_, grade_.second, className_.second, since, today);
    } catch (const store::DbError &e) {
        overview_ = CallOverview();
        services_.messages.show(QStringLiteral("数据库操作失败：") + QString::fromUtf8(e.what()),
                                MessageStyle::Error);
    }
    showOverview(overview_);
}

void CallOverviewDialog::showOverview(const CallOverview &overview)
{
    const auto &rows = overview.rows;
    // The gap among the students present today.
    const CallOverviewRow *most = nullptr, *least = nullptr;
    for (const CallOverviewRow &r : rows) {
        if (r.absent)
            continue;
        if (!least || r.calls < least->calls)
            least = &r;
        if (!most || r.calls > most->calls)
            most = &r;
    }
    gapLabel_->setText(
        most ? QStringLiteral("在场学生中点名最多的是%1（%2次），最少的是%3（%4次），相差%5次。")
                   .arg(most->name)
                   .arg(most->calls)
                   .arg(least->name)
                   .arg(least->calls)
                   .arg(most->calls - least->calls)
             : QStringLiteral("这个班今天没有在场的学生。"));
    QStringList waiting;
    for (const CallOverviewRow &r : rows)
        if (!r.drawnThisRound)
            waiting << (r.absent ? r.name + QStringLiteral("（缺席）") : r.name);
    roundLabel_->setText(
        waiting.isEmpty()
            ? QStringLiteral("本轮不重复点名已点到全班，下次点名开始新的一轮。")
            : QStringLiteral("本轮不重复点名尚未点到（%1人）：").arg(waiting.size())
                  + waiting.join(QStringLiteral("、")));
    QString note = overview.firstCall.isEmpty()
        ? QStringLiteral("还没有点名记录。")
        : QStringLiteral("点名记录始于%1。").arg(overview.firstCall);
    if (lost_ > 0)
        note += QStringLiteral("本次运行中有%1次点名因数据库文件被锁定或只读未能记入，不在统计中。")
                    .arg(lost_);
    noteLabel_->setText(note);

    table_->setRowCount(static_cast<int>(rows.size()));
    bars_->largest[kCallsColumn] = 0;
    bars_->largest[kEvaluationsColumn] = 0;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const CallOverviewRow &r = rows[static_cast<std::size_t>(i)];
        QStringList remarks;
        if (r.calls == 0)
            remarks << kNeverCalled;
        if (r.absent)
            remarks << kAbsentToday;
        const QStringList cells{r.name, QString::number(r.calls), QString::number(r.evaluations),
                                r.lastCall, remarks.join(QStringLiteral("，"))};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (c == kCallsColumn || c == kEvaluationsColumn)
                item->setData(Qt::DisplayRole, static_cast<qlonglong>(c == kCallsColumn
                                                                          ? r.calls
                                                                          : r.evaluations));
            if (r.calls == 0)
                item->setBackground(kNeverCalledTint);
            table_->setItem(i, c, item);
        }
        bars_->largest[kCallsColumn] = std::max(bars_->largest[kCallsColumn], r.calls);
        bars_->largest[kEvaluationsColumn] =
            std::max(bars_->largest[kEvaluationsColumn], r.evaluations);
    }
    table_->viewport()->update();
}

QString CallOverviewDialog::title() const
{
    return grade_.first + u' ' + className_.first + u' ' + kWhat + QStringLiteral("（")
        + periodBox_->currentText() + QStringLiteral("）");
}

void CallOverviewDialog::exportToWorkbook()
{
    std::vector<QStringList> rows{kHeader};
    for (int r = 0; r < table_->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < table_->columnCount(); ++c)
            row << table_->item(r, c)->text();
        rows.push_back(std::move(row));
    }
    exportSheet(services_,
                framedTable(title(), rows,
                            [](int c) { return c == kCallsColumn || c == kEvaluationsColumn; }),
                kWhat, grade_.first, className_.first);
}

} // namespace quorvel
