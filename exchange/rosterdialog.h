#pragma once

#include "platform/services.h"
#include "store/roster.h"
#include "widgets/storedtext.h"

#include <QDialog>

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quorvel {

namespace store {
class Connection;
class Store;
} // namespace store

// 学生名单: the students of one grade and class with their five tallies,
// read-only, where the teacher adds a student, renames one, moves one to
// another grade and class, or removes one (with their evaluation log). Every
// change is one transaction of its own; `changed` then lets the main window
// follow it.
class RosterDialog : public QDialog {
    Q_OBJECT
public:
    RosterDialog(store::Store &store, const Services &services, Choice grade, Choice className,
                 std::function<void()> changed, QWidget *parent = nullptr);

    // Reads the class again from the file; false after telling the teacher
    // it cannot be read.
    bool reload();

public slots:
    void addStudent();     // "添加": the name typed, into this class
    void renameStudent();  // "改名": the selected student gets the name typed
    void moveStudent();    // "调到该班": the selected student to the grade and class chosen
    void removeStudent();  // "删除": the selected student, after asking

private:
    void buildControls();
    void showSelected();
    // The student of the selected row, or none after telling the teacher.
    const store::RosterStudent *selected();
    // The name typed, blanks around it removed; empty after refusing it.
    QString nameTyped();
    // Whether the teacher wants a second student of this name in the class,
    // when there already is one (other than `except`).
    bool mayShareName(const std::vector<store::RosterStudent> &classmates, const QString &name,
                      std::int64_t except);
    // Runs one change on a connection of its own, then reads the class again
    // and lets the main window follow.
    void change(const std::function<void(store::Connection &)> &write);

    store::Store &store_;
    Services services_;
    Choice grade_, class_;
    std::function<void()> changed_;
    std::vector<store::RosterStudent> students_;
    std::vector<Choice> grades_, classes_;

    QLabel *heading_;
    QTableWidget *table_;
    QLineEdit *name_;
    QComboBox *toGrade_, *toClass_;
    QPushButton *add_, *rename_, *move_, *remove_, *close_;
};

} // namespace quorvel
