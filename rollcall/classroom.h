#pragma once

#include "platform/services.h"
#include "rollcall/backupwindow.h"
#include "rollcall/fairdraw.h"
#include "rollcall/callrecorder.h"
#include "rollcall/rollcallobserver.h"
#include "widgets/storedtext.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QSettings;
class QTimer;

namespace quorvel {

namespace store {
class Connection;
class Store;
} // namespace store

class MainWindow;
class MiniWindow;
class ProjectorView;
class RemoteKeys;
class Speech;

// What the overview of calls opens on: the class chosen, and how many of its
// calls this run could not write to the file.
struct CallOverviewRequest {
    Choice grade, className;
    long lost = 0;
};

// In front of the class: the fair draw over rounds, absent students, the keys
// of a presenter remote, the projector view, names that always fit and names
// read aloud. It follows the main window through RollCallObserver, sees its
// state and presses its controls through MainWindow's own calls; the options
// are remembered in settings.
class Classroom : public QObject, public RollCallObserver {
    Q_OBJECT
public:
    Classroom(MainWindow &main, store::Store &store, const Services &services, Speech &speech,
              QSettings &settings, QObject *parent = nullptr);
    ~Classroom() override;

    bool fairDraw() const;
    void setFairDraw(bool on);
    bool readAloud() const;
    void setReadAloud(bool on);

    // The context menu of the name display, and its actions.
    QMenu *menu() const { return menu_; }
    void showMenu();

    // Starts a new round for the chosen grade and class.
    void startNewRound();
    // Marks the student shown absent today, or takes the mark back.
    void toggleAbsence();
    // Whether the student shown is marked absent today.
    bool shownIsAbsent() const;

    void openProjector();
    // 备份与恢复, modal; and what it needs of the roll call to restore a backup.
    void openBackups();
    RestoreHooks restoreHooks();
    // "点名统计": the overview of calls of the chosen class, through the
    // opener the entry point supplies.
    void openCallOverview();
    void setCallOverviewOpener(std::function<void(const CallOverviewRequest &)> open)
    {
        openOverview_ = std::move(open);
    }
    // The projector view while it is open.
    ProjectorView *projector() const;

    // The small window in place of the main window, and back.
    void openMiniWindow();
    void closeMiniWindow();
    // The small window while it is open.
    MiniWindow *miniWindow() const;

    // RollCallObserver
    void classOpened(const store::Value &grade, const store::Value &className,
                     const QString &gradeShown, const QString &classShown) override;
    bool drawMayStart() override;
    std::int32_t drawnRow(double r, std::int32_t uniform) override;
    void drawEnded() override;
    QString nameShown(const QString &name) override;
    void countdownShown() override;
    void evaluationRecorded() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The position in the class of the student shown, or 0 when there is none
    // (no class read, or rs no longer holds it).
    long shownPosition() const;
    bool walking() const;
    bool rolling() const;
    void refreshMenu();
    void refreshReadAloud();
    void refreshProjector(bool settled);
    // The name as the display shows it: marked when the student is absent.
    QString marked(const QString &name) const;
    void restFocus();
    // Writes a change of the marks to the file, after every earlier change it
    // has not taken yet. A file that refuses (locked by another copy, read-only)
    // keeps the change waiting: it is written at a later draw, and the teacher
    // is told once.
    using Write = std::function<void(store::Connection &)>;
    void persist(Write write);
    // Writes the changes still waiting, oldest first; false when the file
    // still refuses.
    bool writePending();
    // Notes the marks of the class in roll call, for when the file cannot be read.
    void rememberMarks();
    // The marks of the class the file holds, or nothing while it cannot be
    // read or has not taken every change of this run.
    std::optional<FairDraw::Marks> readMarks(const std::vector<ClassMember> &members);
    // One call of a student of the class in roll call to the call log.
    void recordCall(std::int64_t student, store::CallMode mode);

    MainWindow &main_;
    store::Store &store_;
    Services services_;
    Speech &speech_;
    QSettings &settings_;

    RemoteKeys *keys_;
    QMenu *menu_;
    QAction *fairAction_, *newRoundAction_, *absenceAction_, *readAction_, *projectorAction_;
    QAction *undoAction_, *overviewAction_;
    QAction *backupsAction_;
    QTimer *voiceCheck_;
    QPointer<QPushButton> lastButton_;
    QPointer<ProjectorView> projector_;
    QAction *miniAction_;
    QPointer<MiniWindow> mini_;

    // The class of the latest roll call, as stored and as the lists show it.
    store::Value grade_, className_;
    QString gradeShown_, classShown_;
    std::shared_ptr<store::Connection> conn_;
    FairDraw draw_;
    bool ticked_ = false;      // the running draw has shown a student
    bool warnedUnsaved_ = false;
    // Changes of the marks the file has not taken yet, oldest first.
    std::vector<Write> pending_;
    // The marks of each class as last known here, by grade and class as
    // stored, and the day they were known on: what holds while the file
    // cannot be read or still refuses this run's changes.
    struct Remembered {
        FairDraw::Marks marks;
        QDate day;
    };
    std::map<std::pair<store::Value, store::Value>, Remembered> remembered_;
    QString shownName_;
    CallRecorder calls_;
    bool walkCallRecorded_ = false;  // the walk's student shown has been logged as called
    std::function<void(const CallOverviewRequest &)> openOverview_;
};

} // namespace quorvel
