#pragma once

#include "platform/services.h"
#include "rollcall/fairdraw.h"
#include "rollcall/rollcallobserver.h"

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <set>

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
class ProjectorView;
class RemoteKeys;
class Speech;

// In front of the class: the fair draw over rounds, absent students, the keys
// of a presenter remote, the projector view, names that always fit and names
// read aloud. It follows the main window through RollCallObserver and reaches
// its controls by their names; the options are remembered in settings.
class Classroom : public QObject, public RollCallObserver {
    Q_OBJECT
public:
    Classroom(MainWindow &main, store::Store &store, const Services &services, Speech &speech,
              QSettings &settings, QObject *parent = nullptr);
    ~Classroom() override;

    // The day absences are marked for; tests set another.
    std::function<QDate()> today = [] { return QDate::currentDate(); };

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
    // The projector view while it is open.
    ProjectorView *projector() const;

    // RollCallObserver
    void classOpened(const QString &grade, const QString &className) override;
    bool drawMayStart() override;
    std::int32_t drawnRow(double r, std::int32_t uniform) override;
    void drawEnded() override;
    QString nameShown(const QString &name) override;
    void countdownShown() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The position in the class of the student shown, or 0 when there is none
    // (no class read, or rs no longer holds it).
    long shownPosition() const;
    bool walking() const;
    bool rolling() const;
    void refreshMenu();
    void refreshProjector(bool settled);
    // The name as the display shows it: marked when the student is absent.
    QString marked(const QString &name) const;
    void restFocus();
    // Runs a write to the file; a file that cannot be written keeps the
    // change for this session and says so once.
    void persist(const std::function<void(store::Connection &)> &write);
    // Keeps the class's marks for the session when the file did not take them.
    void rememberUnsaved();

    MainWindow &main_;
    store::Store &store_;
    Services services_;
    Speech &speech_;
    QSettings &settings_;

    QLabel *showname_, *showtime_;
    QPushButton *drawButton_, *walkButton_;
    QTimer *rollTimer_;
    RemoteKeys *keys_;
    QMenu *menu_;
    QAction *fairAction_, *newRoundAction_, *absenceAction_, *readAction_, *projectorAction_;
    QAction *undoAction_;
    QPointer<QPushButton> lastButton_;
    QPointer<ProjectorView> projector_;

    // The class of the latest roll call, as read when it started.
    QString grade_, className_;
    std::shared_ptr<store::Connection> conn_;
    FairDraw draw_;
    bool ticked_ = false;      // the running draw has shown a student
    bool warnedUnsaved_ = false;
    // Marks of the classes whose changes the file refused, by grade and class:
    // these, not the file's, hold for the rest of the session.
    struct Marks {
        std::set<std::int64_t> drawn, absent;
        QDate day;
    };
    std::map<std::pair<QString, QString>, Marks> unsaved_;
    QString shownName_;
};

} // namespace quorvel
