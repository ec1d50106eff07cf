#pragma once

#include "platform/services.h"
#include "rollcall/evaluations.h"
#include "store/evaluationlog.h"
#include "store/value.h"
#include "widgets/storedtext.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimer;

namespace quorvel::store {
class DbError;
class Store;
} // namespace quorvel::store

namespace quorvel {

class DigitKeyFilter;
class NameFitter;
class NameLabel;
class PanelStatusBar;
class RollCallObserver;

// Opens the two dialogs of the main window; the entry point supplies them.
struct DialogHooks {
    std::function<void()> openImport;   // "导入数据"
    std::function<void()> openBrowser;  // "评价导出"
    // At start-up, the file fails the integrity check (why: what the check
    // found): tells the teacher and offers a backup; true once restored.
    std::function<bool(const QString &why)> restoreDamaged;
};

// The roll-call window: picks a class, calls on one of its students by a
// rolling draw or a walk in order, and records the teacher's evaluation.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(store::Store &store, const Services &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start-up: shows the loading window while the grade and class lists
    // are read. On a database failure it tells the teacher and returns false.
    bool load();

    void setDialogHooks(DialogHooks hooks) { hooks_ = std::move(hooks); }
    // The classroom features that follow the roll calls; none by default.
    void setObserver(RollCallObserver *observer) { observer_ = observer; }

    // Refills the grade and class lists from the whole table. Needs an open
    // conn; leaves rs closed. Throws store::DbError.
    void loadlists();
    // The items of the grade and class lists, in list order, as shown.
    QStringList gradeItems() const;
    QStringList classItems() const;
    // The same items with the exact stored value each one stands for, which
    // is what a query of its class must bind (store::studentsOfClass).
    std::vector<Choice> gradeChoices() const;
    std::vector<Choice> classChoices() const;
    // The current row of rs: its name in showname and its tallies in Stat.
    void showstudent();
    // The current row's five tallies in the panels of Stat.
    void showtally();
    // Puts text into showname, the largest that fits, and tells assistive
    // technology once it stays (not while names flash by). The one place
    // showname is written.
    void showName(const QString &text);

    // Takes back the latest evaluation of this run that is still on the
    // stack, after the file's row proves unchanged since; refuses with a
    // message otherwise. A success says what it undid in showname's tooltip.
    void undoEvaluation();
    // How many evaluations of this run can still be undone.
    std::size_t undoableEvaluations() const { return evaluations_.undoable(); }

    // What the classroom features see of the roll calls and press, by deed
    // rather than by control name.
    enum class Control { Draw, Walk, First, Previous, Next, Last };
    // Presses the control as a click would, when the teacher could click it
    // now; false when it is disabled.
    bool press(Control control);
    // The button of the control: for keyboard focus.
    QPushButton *button(Control control) const;
    bool walking() const;  // a walk in order is under way
    bool drawing() const;  // names are rolling
    // The called name's display, and the panel it sits in.
    QWidget *nameDisplay() const;
    QWidget *displayPanel() const;
    QString shownName() const;
    // The countdown as shown, and whether it is.
    QString countdownText() const;
    bool countdownVisible() const;
    // The grade and class chosen in the lists, as shown and as stored;
    // nothing when either list has no choice.
    std::optional<std::pair<Choice, Choice>> chosen() const;

    // Before the file is replaced by a backup: lets go of the class in roll
    // call and its connection, forgets the called student and this run's
    // evaluations (the file will not hold them), and clears the display.
    void letGoOfFile();

    // The roster changed in the file: students added, renamed, moved or
    // removed, grades renamed (each grade in `renamed` became its value, or
    // was removed where that is empty). Refills the lists, keeping the choice
    // where it still exists, and reads the class in roll call again: the
    // student shown stays shown, under a new name if renamed; one who is no
    // longer in the class is never shown or evaluated again (a walk goes on
    // from the same place, or ends when the class is empty). Tells the
    // teacher when the file cannot be read.
    using GradeRenames = std::map<store::Value, std::optional<store::Value>>;
    void followRoster(const GradeRenames &renamed = {});

    // Window state.
    std::int32_t curno = 0;     // 1-based position of the called row in rs
    std::int16_t lefttime = 0;  // seconds left in the countdown
    bool called = false;        // a roll call has picked a student of rs

public slots:
    void toggleDraw();        // PushButton1: start or stop the rolling draw
    void drawTick();          // Timer1: one draw
    void countdownTick();     // Timer2: one second of the countdown
    void toggleWalk();        // PushButton3: start or stop the walk
    void goFirst();           // PushButton7 "<<"
    void goPrevious();        // prev "<"
    void goNext();            // PushButton5 ">"
    void goLast();            // PushButton6 ">>"
    void recordEvaluation();  // PushButton4 "评价记入"
    void openImport();        // PushButton2 "导入数据"
    void openBrowser();       // PushButton10 "评价导出"

signals:
    // A draw or a walk has started or ended.
    void rollCallChanged();
    // The display shows this name. settled: it stays there (a draw stopped
    // on it, a walk moved to it, a mark changed it); else it flashes by in a draw.
    void nameShown(const QString &shown, bool settled);
    // Another grade or class is chosen in the lists.
    void choiceChanged();

private:
    void buildControls();
    void layOutControls();

    // The stored values of the chosen grade and class, or nothing after
    // telling the teacher.
    std::optional<std::pair<store::Value, store::Value>> chosenClass();
    // Opens rs on the class; false (after a message) when it has no students
    // or the database failed.
    bool openClass(const store::Value &grade, const store::Value &className);
    // The countdown's seconds from stoptime, or nothing after a message.
    std::optional<std::int16_t> countdownSeconds();
    void startDraw();
    void endDraw();
    // One draw: a random student of rs becomes current and is shown.
    void drawOne();
    // Positions rs on curno and shows that student.
    void position();

    // Ends the walk, if one is under way, and forgets the student called.
    void leaveRollCall();

    void refuse(const QString &text);
    void reportDatabaseFailure(const store::DbError &error);

    store::Store &store_;
    Services services_;
    DialogHooks hooks_;
    RollCallObserver *observer_ = nullptr;
    DigitKeyFilter *digitsOnly_;
    std::unique_ptr<NameFitter> nameFitter_;
    // A draw has started and no student has been drawn for it yet.
    bool drawPending_ = false;
    // The evaluations of this run, latest last.
    Evaluations evaluations_;
    // Why the latest recording could not be logged (another program's table
    // has the log's name); the teacher is told once a run.
    bool toldNotLogged_ = false;
    // The class rs was last opened on, as stored and as shown.
    struct RollCallClass {
        store::Value grade, className;
        QString gradeShown, classShown;
    };
    std::optional<RollCallClass> rollCall_;

    // Controls, by their object names.
    QFrame *Picture1;
    NameLabel *showname;
    QLabel *showtime;
    QGroupBox *GroupBox4;
    QPushButton *PushButton7, *prev, *PushButton5, *PushButton6;
    QGroupBox *GroupBox2;
    QLabel *Label4, *Label5;
    QComboBox *ComboBox1, *ComboBox2;
    QGroupBox *GroupBox3;
    QLabel *Label6, *Label7;
    QComboBox *ComboBox3;
    QLineEdit *Text1;
    QPushButton *PushButton4;
    QFrame *Frame1;
    QCheckBox *stoponoff;
    QLineEdit *stoptime;
    QLabel *Label3;
    QGroupBox *GroupBox1;
    QLabel *Label2, *Label1;
    QSlider *Slider1;
    QPushButton *PushButton2, *PushButton1, *PushButton3, *PushButton10;
    PanelStatusBar *Stat;
    QTimer *Timer1, *Timer2;
};

} // namespace quorvel
