#pragma once

#include "platform/services.h"
#include "store/roster.h"
#include "widgets/storedtext.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <map>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace quorvel {

namespace store {
class Store;
}

// The grade a grade becomes at the start of a school year: the next of
// 初一 初二 初三, of 高一 高二 高三 and of 一年级 to 六年级; every other grade
// (the last of each, 高2013级) stays as it is.
QString nextGrade(const QString &grade);

// 升年级: every grade of the table with what it becomes (prefilled by
// nextGrade(), editable, or "（移除）" to remove its students), how many
// students each line moves, and 确定 to move them all in one transaction
// after a backup. Tallies and logs stay with the students.
class PromoteDialog : public QDialog {
    Q_OBJECT
public:
    // Each grade changed, to its new stored value, or to nothing when removed.
    using Renamed = std::map<store::Value, std::optional<store::Value>>;
    PromoteDialog(store::Store &store, const Services &services,
                  std::function<void(const Renamed &)> changed, QWidget *parent = nullptr);

    // Reads the grades and their students; false after telling the teacher.
    bool reload();
    // The editable list of what the grade of line `row` becomes.
    QComboBox *target(int row) const;
    // What line `row` would do, as shown.
    QString previewOf(int row) const;

public slots:
    void apply();  // 确定

private:
    void showPreview(int row);
    // The change of line `row` as the teacher set it.
    store::GradeChange changeOf(int row) const;

    store::Store &store_;
    Services services_;
    std::function<void(const Renamed &)> changed_;
    std::vector<Choice> grades_;
    std::vector<long> counts_;

    QTableWidget *table_;
    QLabel *note_;
    QPushButton *ok_, *cancel_;
};

} // namespace quorvel
