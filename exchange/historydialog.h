#pragma once

#include "platform/services.h"
#include "store/evaluationlog.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QLabel;
class QTableWidget;

namespace quorvel::store {
class Store;
}

namespace quorvel {

// "评价历史": one student's evaluations, newest first, the totals, and a chart
// of the four grades per week. It reads the database once, when it opens.
class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    HistoryDialog(store::Store &store, const Services &services, std::int64_t student,
                  QWidget *parent = nullptr);

    // False when the student could not be read (the teacher has been told).
    bool loaded() const { return loaded_; }

private:
    bool read(store::Store &store, std::int64_t student);
    void buildControls();

    Services services_;
    bool loaded_ = false;
    QString name_, totals_, note_;
    std::vector<store::EvaluationEntry> entries_;
};

} // namespace quorvel
