#pragma once

#include "platform/services.h"
#include "store/value.h"
#include "widgets/storedtext.h"

#include <QDate>
#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class QComboBox;
class QDateEdit;
class QLabel;
class QSettings;
class QTableWidget;

namespace quorvel::store {
class Connection;
class Store;
} // namespace quorvel::store

namespace quorvel {

class CountBarDelegate;

// The span of time the overview counts.
enum class CallPeriod { Week, Month, Term, All };

// The first moment of the period on `today`, as the logs write times
// ("YYYY-MM-DD 00:00:00"); empty for All. A week starts on Monday; a term on
// termStart.
std::string periodStart(CallPeriod period, const QDate &today, const QDate &termStart);

// One student of the class in the overview.
struct CallOverviewRow {
    std::int64_t key = 0;
    QString name;
    std::int64_t calls = 0;        // in the period
    std::int64_t evaluations = 0;  // in the period
    QString lastCall;              // the day of the latest call of all; empty: never
    bool absent = false;           // marked absent today
    bool drawnThisRound = false;   // had the turn in the current 不重复点名 round
};

// The overview of one class: its students, fewest calls first (the never
// called first of all, then in the order of the class), as read from the file.
struct CallOverview {
    std::vector<CallOverviewRow> rows;
    QString firstCall;  // the day the call log begins; empty while it has no row
};

// Reads the overview of the class (grade and class as stored) for calls at
// or after `since`. Throws store::DbError.
CallOverview readCallOverview(const std::shared_ptr<store::Connection> &conn,
                              const store::Value &grade, const store::Value &className,
                              const std::string &since, const QDate &today);

// "点名统计": for one class, each student's calls and evaluations in a period,
// with a bar each, and the latest call; above them the gap between the most
// and the least called student present, and who has not had a turn in the
// current round; below, what the figures leave out. Only reads the file.
class CallOverviewDialog : public QDialog {
    Q_OBJECT
public:
    CallOverviewDialog(store::Store &store, const Services &services, QSettings &settings,
                       const Choice &grade, const Choice &className, long lost,
                       QWidget *parent = nullptr);

    const CallOverview &overview() const { return overview_; }
    void setPeriod(CallPeriod period);

public slots:
    // Reads the class again for the period chosen, and shows it.
    void refresh();
    // "导出至Excel": the table, under the class and the period, as 评价导出 exports.
    void exportToWorkbook();

private:
    void buildControls();
    void showOverview(const CallOverview &overview);
    QString title() const;

    store::Store &store_;
    Services services_;
    QSettings &settings_;
    Choice grade_, className_;
    long lost_;
    CallOverview overview_;
    std::shared_ptr<store::Connection> conn_;

    QComboBox *periodBox_;
    QDateEdit *termStart_;
    QLabel *gapLabel_, *roundLabel_, *noteLabel_;
    QTableWidget *table_;
    CountBarDelegate *bars_;
};

} // namespace quorvel
