#include "rollcall/classroom.h"

#include "platform/clock.h"
#include "platform/messagebox.h"
#include "platform/speech.h"
#include "rollcall/briefwait.h"
#include "rollcall/mainwindow.h"
#include "rollcall/miniwindow.h"
#include "rollcall/projectorview.h"
#include "rollcall/remotekeys.h"
#include "rollcall/texts.h"
#include "store/error.h"
#include "store/rounds.h"
#include "store/schema.h"
#include "store/store.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <map>
#include <set>

namespace quorvel {

using store::DbError;

namespace {

const QString kFairDraw = QStringLiteral("不重复点名");
const QString kNewRound = QStringLiteral("重新开始一轮");
const QString kMarkAbsent = QStringLiteral("标记缺席");
const QString kUnmarkAbsent = QStringLiteral("取消缺席");
const QString kReadAloud = QStringLiteral("朗读姓名");
const QString kProjector = QStringLiteral("投影视图\tF5");
const QString kAbsentSuffix = QStringLiteral("（缺席）");
const QString kAllAbsent = QStringLiteral("这个班的学生都已标记缺席！");
const QString kUnsaved = QStringLiteral(
    "点名轮次和缺席标记暂时无法写入数据库文件，本次运行中仍然有效，"
    "数据库文件可以写入时再补写。\n");
const QString kNothingToUndoYet = QStringLiteral("本次运行中还没有可以撤销的评价");
const QString kCallOverview = QStringLiteral("点名统计");

const QString kFairDrawKey = QStringLiteral("classroom/fairDraw");
const QString kReadAloudKey = QStringLiteral("classroom/readAloud");
const QString kThemeKey = QStringLiteral("projector/theme");

std::set<std::int64_t> keysOf(const std::vector<store::MarkedStudent> &marked,
                               const std::vector<store::MarkedStudent> &students)
{
    const std::vector<std::int64_t> keys = store::stillTheSame(marked, students);
    return {keys.begin(), keys.end()};
}

} // namespace

Classroom::Classroom(MainWindow &main, store::Store &store, const Services &services,
                     Speech &speech, QSettings &settings, QObject *parent)
    : QObject(parent), main_(main), store_(store), services_(services), speech_(speech),
      settings_(settings), calls_(services.clock)
{
    menu_ = new QMenu(&main_);
    menu_->setObjectName(QStringLiteral("classroomMenu"));
    menu_->setToolTipsVisible(true);
    const auto action = [this](const char *name, const QString &text, bool checkable) {
        QAction *a = menu_->addAction(text);
        a->setObjectName(QLatin1String(name));
        a->setCheckable(checkable);
        return a;
    };
    fairAction_ = action("fairDrawAction", kFairDraw, true);
    newRoundAction_ = action("newRoundAction", kNewRound, false);
    menu_->addSeparator();
    absenceAction_ = action("absenceAction", kMarkAbsent, false);
    menu_->addSeparator();
    readAction_ = action("readAloudAction", kReadAloud, true);
    projectorAction_ = action("projectorAction", kProjector, false);
    miniAction_ = action("miniWindowAction", QStringLiteral("小窗\tF6"), false);
    connect(miniAction_, &QAction::triggered, this, [this] {
        mini_ ? closeMiniWindow() : openMiniWindow();
    });
    menu_->addSeparator();
    undoAction_ = action("undoEvaluationAction", QStringLiteral("撤销上次评价"), false);
    connect(undoAction_, &QAction::triggered, &main_, &MainWindow::undoEvaluation);
    menu_->addSeparator();
    overviewAction_ = action("callOverviewAction", kCallOverview, false);
    connect(overviewAction_, &QAction::triggered, this, &Classroom::openCallOverview);
    menu_->addSeparator();
    backupsAction_ = action("backupsAction", QStringLiteral("备份与恢复"), false);
    connect(backupsAction_, &QAction::triggered, this, &Classroom::openBackups);
    connect(fairAction_, &QAction::triggered, this, &Classroom::setFairDraw);
    connect(newRoundAction_, &QAction::triggered, this, &Classroom::startNewRound);
    connect(absenceAction_, &QAction::triggered, this, &Classroom::toggleAbsence);
    connect(readAction_, &QAction::triggered, this, &Classroom::setReadAloud);
    connect(projectorAction_, &QAction::triggered, this, &Classroom::openProjector);
    connect(menu_, &QMenu::aboutToShow, this, &Classroom::refreshMenu);

    for (QWidget *display : {main_.displayPanel(), main_.nameDisplay()}) {
        display->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(display, &QWidget::customContextMenuRequested, this,
                [this, display](const QPoint &at) { menu_->popup(display->mapToGlobal(at)); });
    }

    RemoteActions keys;
    using Control = MainWindow::Control;
    const auto inWalk = [this](Control control) {
        return [this, control] {
            if (walking())
                main_.press(control);
        };
    };
    keys.forward = [this] { main_.press(walking() ? Control::Next : Control::Draw); };
    keys.back = inWalk(Control::Previous);
    keys.first = inWalk(Control::First);
    keys.last = inWalk(Control::Last);
    keys.projector = [this] { openProjector(); };
    keys.undo = [this] { main_.undoEvaluation(); };
    keys.mini = [this] { mini_ ? closeMiniWindow() : openMiniWindow(); };
    keys.menu = [this] {
        if (mini_ && mini_->isActiveWindow())
            menu_->popup(mini_->mapToGlobal(mini_->rect().center()));
        else if (!projector_ || !projector_->isActiveWindow())
            showMenu();
    };
    keys.leave = [this] {
        if (!projector_)
            return false;
        projector_->close();
        return true;
    };
    keys.isOurs = [this](const QWidget *window) {
        return window == &main_ || (projector_ && window == projector_.data())
               || (mini_ && window == mini_.data());
    };
    keys_ = new RemoteKeys(std::move(keys), this);
    qApp->installEventFilter(keys_);

    main_.installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (auto *b = qobject_cast<QPushButton *>(now); b && b->window() == &main_)
            lastButton_ = b;
    });

    // The speech engine is made only for names read aloud: at once when that
    // is on (once the window is up: see eventFilter), else when its menu
    // item is first shown.
    voiceCheck_ = new QTimer(this);
    voiceCheck_->setInterval(250);
    connect(voiceCheck_, &QTimer::timeout, this, [this] {
        if (!menu_->isVisible() || speech_.available())
            voiceCheck_->stop();
        refreshReadAloud();
    });

    draw_.setKeepsRound(fairDraw());
    main_.setObserver(this);
}

Classroom::~Classroom()
{
    delete mini_.data();
    main_.setObserver(nullptr);
}

// ---- options --------------------------------------------------------------

bool Classroom::fairDraw() const
{
    return settings_.value(kFairDrawKey, false).toBool();
}

void Classroom::setFairDraw(bool on)
{
    settings_.setValue(kFairDrawKey, on);
    draw_.setKeepsRound(on);
}

bool Classroom::readAloud() const
{
    return settings_.value(kReadAloudKey, false).toBool();
}

void Classroom::setReadAloud(bool on)
{
    settings_.setValue(kReadAloudKey, on);
    if (on)
        speech_.prepare();
}

// ---- the context menu -----------------------------------------------------

void Classroom::showMenu()
{
    QWidget *display = main_.nameDisplay();
    menu_->popup(display->mapToGlobal(display->rect().center()));
}

void Classroom::refreshMenu()
{
    fairAction_->setChecked(fairDraw());
    const long shown = shownPosition();
    absenceAction_->setEnabled(shown != 0 && !rolling());
    absenceAction_->setText(shown != 0 && draw_.isAbsent(shown) ? kUnmarkAbsent : kMarkAbsent);
    speech_.prepare();
    refreshReadAloud();
    // A voice is often found a moment after the engine starts.
    if (!speech_.available())
        voiceCheck_->start();
    const bool undoable = main_.undoableEvaluations() > 0;
    undoAction_->setEnabled(undoable);
    undoAction_->setToolTip(undoable ? QString() : kNothingToUndoYet);
}

void Classroom::refreshReadAloud()
{
    const bool voice = speech_.available();
    readAction_->setEnabled(voice);
    readAction_->setChecked(voice && readAloud());
    readAction_->setToolTip(voice ? QString() : speech_.whyUnavailable());
}

// ---- rounds and absences --------------------------------------------------

void Classroom::persist(Write write)
{
    pending_.push_back(std::move(write));
    writePending();
    rememberMarks();
}

bool Classroom::writePending()
{
    if (pending_.empty())
        return true;
    try {
        if (!conn_)
            throw DbError(store::Condition::Usage, 0, "数据库没有打开");
        BriefWait brief(*conn_);
        while (!pending_.empty()) {
            pending_.front()(*conn_);
            pending_.erase(pending_.begin());
        }
        warnedUnsaved_ = false;
        return true;
    } catch (const DbError &e) {
        if (!warnedUnsaved_) {
            warnedUnsaved_ = true;
            services_.messages.show(kUnsaved + QString::fromUtf8(e.what()), MessageStyle::Error);
        }
        return false;
    }
}

void Classroom::rememberMarks()
{
    if (draw_.size() != 0)
        remembered_[{grade_, className_}] = {draw_.marks(), services_.clock.today()};
}

std::optional<FairDraw::Marks> Classroom::readMarks(const std::vector<ClassMember> &members)
{
    if (!conn_ || !writePending())
        return std::nullopt;
    std::vector<store::MarkedStudent> students;
    for (const ClassMember &m : members)
        students.push_back({m.key, m.storedName});
    const std::string day = services_.clock.today().toString(Qt::ISODate).toStdString();
    try {
        BriefWait brief(*conn_);
        FairDraw::Marks marks;
        marks.drawn = keysOf(store::readDrawn(*conn_, grade_, className_), students);
        marks.absent = keysOf(store::readAbsent(*conn_, day), students);
        marks.returned = keysOf(store::readReturned(*conn_, grade_, className_, day), students);
        return marks;
    } catch (const DbError &) {
        return std::nullopt;
    }
}

void Classroom::startNewRound()
{
    const auto chosen = main_.chosen();
    if (!chosen) {
        services_.messages.show(texts::kNoClassChosen, MessageStyle::Error);
        return;
    }
    const store::Value grade = chosen->first.second;
    const store::Value className = chosen->second.second;
    const auto clear = [grade, className](store::Connection &c) {
        store::clearDrawn(c, grade, className);
    };
    if (conn_ && grade == grade_ && className == className_) {
        draw_.startRound();
        persist(clear);
        return;
    }
    // Another class than the one in roll call: only the file holds its round.
    try {
        clear(*store_.openFresh());
        remembered_.erase({grade, className});
    } catch (const DbError &e) {
        services_.messages.show(texts::kDatabaseFailed + QString::fromUtf8(e.what()),
                                MessageStyle::Error);
    }
}

long Classroom::shownPosition() const
{
    const store::RecordSet &rs = *store_.rs;
    if (draw_.size() == 0 || !rs.isOpen() || rs.recordCount() != draw_.size())
        return 0;
    const long p = rs.absolutePosition();
    if (p < 1)
        return 0;
    try {
        const ClassMember &m = draw_.member(p);
        return rs.key() == m.key && rs.field(store::kName) == m.storedName ? p : 0;
    } catch (const DbError &) {
        return 0;
    }
}

bool Classroom::shownIsAbsent() const
{
    const long p = shownPosition();
    return p != 0 && draw_.isAbsent(p);
}

void Classroom::toggleAbsence()
{
    const long p = shownPosition();
    if (p == 0 || rolling())
        return;
    const bool absent = !draw_.isAbsent(p);
    const ClassMember m = draw_.member(p);
    draw_.markAbsent(p, absent);
    const std::string day = services_.clock.today().toString(Qt::ISODate).toStdString();
    const store::MarkedStudent student{m.key, m.storedName};
    persist([grade = grade_, className = className_, student, day, absent](store::Connection &c) {
        store::setAbsent(c, grade, className, student, day, absent);
    });
    const QString shown = marked(shownName_);
    main_.showName(shown);
    if (projector_)
        projector_->setName(shown, true);
}

// ---- following the roll calls ---------------------------------------------

void Classroom::classOpened(const store::Value &grade, const store::Value &className,
                            const QString &gradeShown, const QString &classShown)
{
    grade_ = grade;
    className_ = className;
    gradeShown_ = gradeShown;
    classShown_ = classShown;
    conn_ = store_.conn;
    draw_ = FairDraw();
    std::vector<ClassMember> members;
    try {
        store::RecordSet &rs = *store_.rs;
        const int nameColumn = rs.columnIndex(store::kName);
        for (long p = 1; p <= rs.recordCount(); ++p) {
            rs.setAbsolutePosition(p);
            const store::Value &name = rs.field(nameColumn);
            members.push_back({rs.key(), name, storedText(name)});
        }
        rs.moveFirst();
    } catch (const DbError &) {
        return;  // the roll call itself reports what is wrong with rs
    }
    // The file's marks, which other copies share; while it cannot be read or
    // still refuses this run's changes, the marks as last known here.
    std::optional<FairDraw::Marks> marks = readMarks(members);
    if (!marks) {
        marks.emplace();
        if (const auto it = remembered_.find({grade_, className_}); it != remembered_.end()) {
            marks = it->second.marks;
            if (it->second.day != services_.clock.today()) {
                marks->absent.clear();
                marks->returned.clear();
            }
        }
    }
    draw_ = FairDraw(std::move(members), *marks);
    draw_.setKeepsRound(fairDraw());
    rememberMarks();
    if (projector_)
        projector_->setClassText(gradeShown_ + u' ' + classShown_);
}

bool Classroom::drawMayStart()
{
    ticked_ = false;
    if (draw_.size() == 0)
        return true;
    if (draw_.presentCount() == 0) {
        services_.messages.show(kAllAbsent, MessageStyle::Error);
        return false;
    }
    if (draw_.keepsRound() && draw_.eligibleCount() == 0) {
        // Everyone present has had a turn: a new round starts by itself.
        draw_.startRound();
        persist([grade = grade_, className = className_](store::Connection &c) {
            store::clearDrawn(c, grade, className);
        });
    }
    return true;
}

std::int32_t Classroom::drawnRow(double r, std::int32_t uniform)
{
    ticked_ = true;
    if (!draw_.restricted() || draw_.size() != store_.rs->recordCount())
        return uniform;
    return static_cast<std::int32_t>(draw_.pick(r));
}

void Classroom::drawEnded()
{
    if (!ticked_)
        return;
    ticked_ = false;
    const long p = shownPosition();
    if (p == 0)
        return;
    const ClassMember m = draw_.member(p);
    if (draw_.keepsRound() && !draw_.isDrawn(p)) {
        draw_.markDrawn(p);
        persist([grade = grade_, className = className_,
                 student = store::MarkedStudent{m.key, m.storedName}](store::Connection &c) {
            store::addDrawn(c, grade, className, student);
        });
    }
    recordCall(m.key, draw_.keepsRound() ? store::CallMode::Fair : store::CallMode::Random);
    if (projector_)
        projector_->setName(main_.shownName(), true);
    if (readAloud() && speech_.available())
        speech_.say(m.name);
}

QString Classroom::nameShown(const QString &name)
{
    shownName_ = name;
    walkCallRecorded_ = false;
    const QString shown = marked(name);
    if (projector_)
        projector_->setName(shown, !rolling());
    if (walking() && readAloud() && speech_.available())
        speech_.say(name);
    return shown;
}

void Classroom::evaluationRecorded()
{
    // A walk's student counts as called once evaluated, once a step.
    if (!walking() || walkCallRecorded_)
        return;
    const long p = shownPosition();
    if (p == 0)
        return;
    walkCallRecorded_ = true;
    recordCall(draw_.member(p).key, store::CallMode::Walk);
}

void Classroom::recordCall(std::int64_t student, store::CallMode mode)
{
    // A file that has just refused the marks is not asked again: the roll
    // call waits for a lock once at most.
    if (!conn_ || !pending_.empty()) {
        calls_.lose(grade_, className_);
        return;
    }
    // Written once the name is on screen (the window paints first), with
    // the time of the call.
    calls_.stamp(grade_, className_, student, mode);
    QTimer::singleShot(0, this, [this, conn = conn_] { calls_.writeStamped(*conn); });
}

void Classroom::openCallOverview()
{
    const auto chosen = main_.chosen();
    if (!chosen) {
        services_.messages.show(texts::kNoClassChosen, MessageStyle::Error);
        return;
    }
    if (openOverview_)
        openOverview_({chosen->first, chosen->second,
                       calls_.lost(chosen->first.second, chosen->second.second)});
}

QString Classroom::marked(const QString &name) const
{
    return walking() && shownIsAbsent() ? name + kAbsentSuffix : name;
}

void Classroom::countdownShown()
{
    if (projector_)
        projector_->setCountdown(main_.countdownText(), main_.countdownVisible());
}

bool Classroom::walking() const
{
    return main_.walking();
}

bool Classroom::rolling() const
{
    return main_.drawing();
}

// ---- focus and the projector ----------------------------------------------

void Classroom::restFocus()
{
    QPushButton *b = lastButton_;
    if (!b || !b->isEnabled() || !b->isVisible())
        b = main_.button(main_.button(MainWindow::Control::Draw)->isEnabled()
                             ? MainWindow::Control::Draw
                             : MainWindow::Control::Walk);
    b->setFocus(Qt::OtherFocusReason);
}

bool Classroom::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &main_ && event->type() == QEvent::Show) {
        if (!lastButton_)
            restFocus();  // a remote works at once: the focus rests on the draw button
        if (readAloud())
            QTimer::singleShot(0, this, [this] { speech_.prepare(); });
    }
    else if (watched == &main_ && event->type() == QEvent::WindowUnblocked)
        restFocus();  // a dialog closed: back to the button used last
    else if (watched == &main_ && event->type() == QEvent::Close && mini_)
        mini_->close();  // Quorvel ends: the small window does not stay behind
    return QObject::eventFilter(watched, event);
}

ProjectorView *Classroom::projector() const
{
    return projector_;
}

void Classroom::openProjector()
{
    if (!projector_) {
        projector_ = new ProjectorView(&main_);
        projector_->setTheme(settings_.value(kThemeKey).toString() == QLatin1String("dark")
                                 ? ProjectorView::Theme::Dark
                                 : ProjectorView::Theme::Light);
        connect(projector_, &ProjectorView::themeToggled, this,
                [this](ProjectorView::Theme theme) {
                    settings_.setValue(kThemeKey, theme == ProjectorView::Theme::Dark
                                                      ? QStringLiteral("dark")
                                                      : QStringLiteral("light"));
                });
        connect(projector_, &QObject::destroyed, this, [this] {
            main_.activateWindow();
            restFocus();
        });
    }
    if (!gradeShown_.isEmpty())
        projector_->setClassText(gradeShown_ + u' ' + classShown_);
    projector_->setName(main_.shownName(), !rolling());
    projector_->setCountdown(main_.countdownText(), main_.countdownVisible());
    projector_->showOn(&main_);
}

// ---- backups --------------------------------------------------------------

RestoreHooks Classroom::restoreHooks()
{
    RestoreHooks hooks;
    hooks.whyNotNow = [this] {
        if (rolling())
            return QStringLiteral("正在随机点名，不能恢复备份。请先停止点名。");
        if (walking())
            return QStringLiteral("正在依次点名，不能恢复备份。请先停止依次点名。");
        return QString();
    };
    hooks.letGo = [this] {
        main_.letGoOfFile();
        // The marks of the former file stay with it.
        conn_.reset();
        pending_.clear();
        remembered_.clear();
        draw_ = FairDraw();
        draw_.setKeepsRound(fairDraw());
        if (projector_)
            projector_->setName(QString(), true);
    };
    hooks.reload = [this] {
        try {
            const store::ConnectionScope db(store_);
            main_.loadlists();
        } catch (const DbError &e) {
            services_.messages.show(texts::kDatabaseFailed + QString::fromUtf8(e.what()),
                                    MessageStyle::Error);
        }
    };
    return hooks;
}

void Classroom::openBackups()
{
    BackupWindow window(store_.databasePath(), services_, restoreHooks(), &main_);
    window.exec();
}

// ---- the small window -----------------------------------------------------

MiniWindow *Classroom::miniWindow() const
{
    return mini_;
}

void Classroom::openMiniWindow()
{
    if (!mini_) {
        mini_ = new MiniWindow(main_, settings_);
        mini_->setAttribute(Qt::WA_DeleteOnClose);
        mini_->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(mini_, &QWidget::customContextMenuRequested, this,
                [this](const QPoint &at) { menu_->popup(mini_->mapToGlobal(at)); });
        connect(mini_, &MiniWindow::backRequested, this, &Classroom::closeMiniWindow);
    }
    mini_->showAbove();
    // The slides take the screen; the small window stands in for this one.
    main_.showMinimized();
}

void Classroom::closeMiniWindow()
{
    if (mini_)
        mini_->close();
    main_.showNormal();
    main_.raise();
    main_.activateWindow();
}

} // namespace quorvel
