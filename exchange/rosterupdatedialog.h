#pragma once

#include "exchange/rosterupdate.h"
#include "platform/services.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTabWidget;

namespace quorvel {

namespace store {
class Store;
}

// 更新名单: brings the roster up to date from a workbook without losing any
// tallies. preview() reads the workbook (through the reader program) and
// shows what would happen; nothing is written before 确定, which applies it
// in one transaction after a backup. 取消 writes nothing.
class RosterUpdateDialog : public QDialog {
    Q_OBJECT
public:
    RosterUpdateDialog(store::Store &store, const Services &services,
                       std::function<void()> changed, QWidget *parent = nullptr);

    // Reads the workbook at path and the table, and shows the plan. False,
    // after telling the teacher why, when either cannot be read.
    bool preview(const QString &path);
    const RosterUpdatePlan &plan() const { return plan_; }

public slots:
    // 确定: adds the new students and, when ticked, removes those missing
    // from the file, after a backup. Closes the window once done.
    void apply();

private:
    void buildControls();
    void showPlan(const QString &path);

    store::Store &store_;
    Services services_;
    std::function<void()> changed_;
    RosterUpdatePlan plan_;

    QLabel *file_, *summary_;
    QProgressBar *progress_;
    QTableWidget *firstRows_;
    QTabWidget *groups_;
    QCheckBox *removeMissing_;
    QPushButton *ok_, *cancel_;
};

} // namespace quorvel
