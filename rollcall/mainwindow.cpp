#include "rollcall/mainwindow.h"

#include "widgets/fonts.h"
#include "widgets/geometry.h"
#include "platform/messagebox.h"
#include "platform/random.h"
#include "platform/clock.h"
#include "widgets/digitkeyfilter.h"
#include "rollcall/evaluations.h"
#include "rollcall/indexwindow.h"
#include "widgets/namefit.h"
#include "widgets/namelabel.h"
#include "widgets/panelstatusbar.h"
#include "rollcall/rollcallobserver.h"
#include "rollcall/texts.h"
#include "store/classlists.h"
#include "store/error.h"
#include "store/evaluationlog.h"
#include "store/schema.h"
#include "store/store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolTip>

#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <set>
#include <string_view>

namespace quorvel {

using store::DbError;

namespace {

// The evaluation grades, in list order.
const std::array<QString, 4> kGrades{QStringLiteral("优  秀"), QStringLiteral("良  好"),
                                     QStringLiteral("及  格"), QStringLiteral("不及格")};

// The five status-bar panels: label and column.
struct Tally {
    const char16_t *label;
    std::string_view column;
};
constexpr std::array<Tally, 5> kTallies{{{u"优秀：", store::kExcellent},
                                         {u"良好：", store::kGood},
                                         {u"及格：", store::kPass},
                                         {u"不及格：", store::kFail},
                                         {u"倒扣学分：", store::kDeducted}}};

// Fills a list with the items of the stored values.
void fill(QComboBox *box, const std::vector<store::Value> &values)
{
    for (const auto &[item, value] : choicesFor(values))
        box->addItem(item, QVariant::fromValue(value));
    box->setCurrentIndex(-1);
}

// A whole number written with 1 to maxDigits digits and nothing else.
std::optional<int> wholeNumber(const QString &s, int maxDigits)
{
    if (s.isEmpty() || s.size() > maxDigits)
        return std::nullopt;
    for (QChar c : s)
        if (c < u'0' || c > u'9')
            return std::nullopt;
    return s.toInt();
}

} // namespace

MainWindow::MainWindow(store::Store &store, const Services &services, QWidget *parent)
    : QMainWindow(parent), store_(store), services_(services),
      digitsOnly_(new DigitKeyFilter(this)), evaluations_(services.clock)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(texts::kCaption);
    setFont(chineseFont(10.5));
    buildControls();
    setFixedSize(twips(11565), twips(8805));

    connect(PushButton1, &QPushButton::clicked, this, &MainWindow::toggleDraw);
    connect(PushButton2, &QPushButton::clicked, this, &MainWindow::openImport);
    connect(PushButton3, &QPushButton::clicked, this, &MainWindow::toggleWalk);
    connect(PushButton4, &QPushButton::clicked, this, &MainWindow::recordEvaluation);
    connect(PushButton10, &QPushButton::clicked, this, &MainWindow::openBrowser);
    connect(PushButton7, &QPushButton::clicked, this, &MainWindow::goFirst);
    connect(prev, &QPushButton::clicked, this, &MainWindow::goPrevious);
    connect(PushButton5, &QPushButton::clicked, this, &MainWindow::goNext);
    connect(PushButton6, &QPushButton::clicked, this, &MainWindow::goLast);
    connect(Timer1, &QTimer::timeout, this, &MainWindow::drawTick);
    connect(Timer2, &QTimer::timeout, this, &MainWindow::countdownTick);
    for (QComboBox *list : {ComboBox1, ComboBox2})
        connect(list, &QComboBox::currentIndexChanged, this, &MainWindow::choiceChanged);
}

MainWindow::~MainWindow() = default;

// ---- start-up -------------------------------------------------------------

bool MainWindow::load()
{
    setWindowTitle(texts::kCaption);

    IndexWindow index;
    centreOnScreen(&index);
    index.show();
    // Paint the loading window before the table is read.
    QCoreApplication::processEvents();
    index.repaint();

    ComboBox3->clear();
    for (const QString &grade : kGrades)
        ComboBox3->addItem(grade);
    ComboBox3->setCurrentIndex(-1);

    try {
        store_.rs = std::make_unique<store::RecordSet>();
        const store::ConnectionScope db(store_);
        loadlists();
    } catch (const DbError &e) {
        index.close();
        const QString path = QString::fromStdString(store_.databasePath());
        if (hooks_.restoreDamaged) {
            // Reading the lists may be what first meets a damaged page.
            const std::string damage =
                e.condition() == store::Condition::Damaged ? e.what() : store_.damageFound();
            if (!damage.empty())
                return hooks_.restoreDamaged(QString::fromStdString(damage)) && load();
        }
        if (e.condition() == store::Condition::MissingFile)
            services_.messages.show(texts::kDatabaseMissing + path, MessageStyle::Error);
        else
            services_.messages.show(texts::kDatabaseUnopenable + path + u'\n'
                                        + QString::fromUtf8(e.what()),
                                    MessageStyle::Error);
        return false;
    }
    index.close();
    called = false;
    return true;
}

void MainWindow::loadlists()
{
    ComboBox1->clear();
    ComboBox2->clear();
    store_.rs->close();
    if (!store_.conn)
        throw DbError(store::Condition::Usage, 0, "数据库没有打开");
    const store::ClassLists lists = store::readClassLists(*store_.conn);
    fill(ComboBox1, lists.grades);
    fill(ComboBox2, lists.classes);
}

namespace {

QStringList items(const QComboBox *box)
{
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list.append(box->itemText(i));
    return list;
}

std::vector<Choice> choices(const QComboBox *box)
{
    std::vector<Choice> list;
    for (int i = 0; i < box->count(); ++i)
        list.emplace_back(box->itemText(i), box->itemData(i).value<store::Value>());
    return list;
}

} // namespace

QStringList MainWindow::gradeItems() const
{
    return items(ComboBox1);
}

QStringList MainWindow::classItems() const
{
    return items(ComboBox2);
}

std::vector<Choice> MainWindow::gradeChoices() const
{
    return choices(ComboBox1);
}

std::vector<Choice> MainWindow::classChoices() const
{
    return choices(ComboBox2);
}

// ---- tally display --------------------------------------------------------

void MainWindow::showstudent()
{
    const QString name = storedText(store_.rs->field(store::kName));
    showName(observer_ ? observer_->nameShown(name) : name);
    showtally();
}

void MainWindow::showName(const QString &text)
{
    nameFitter_->show(text);
    const bool settled = !Timer1->isActive();
    if (settled)
        showname->setAccessibleName(text);
    emit nameShown(text, settled);
}

void MainWindow::showtally()
{
    const store::RecordSet &rs = *store_.rs;
    for (std::size_t i = 0; i < kTallies.size(); ++i)
        Stat->setPanelText(static_cast<int>(i) + 1, QString::fromUtf16(kTallies[i].label)
                                                        + storedText(rs.field(kTallies[i].column)));
}

// ---- choosing a class -----------------------------------------------------

std::optional<std::pair<Choice, Choice>> MainWindow::chosen() const
{
    const int grade = ComboBox1->currentIndex();
    const int className = ComboBox2->currentIndex();
    if (grade < 0 || className < 0 || ComboBox1->currentText().isEmpty()
        || ComboBox2->currentText().isEmpty())
        return std::nullopt;
    return std::make_pair(Choice(ComboBox1->currentText(), ComboBox1->itemData(grade).value<store::Value>()),
                          Choice(ComboBox2->currentText(),
                                 ComboBox2->itemData(className).value<store::Value>()));
}

std::optional<std::pair<store::Value, store::Value>> MainWindow::chosenClass()
{
    const auto choice = chosen();
    if (!choice) {
        refuse(texts::kNoClassChosen);
        return std::nullopt;
    }
    return std::make_pair(choice->first.second, choice->second.second);
}

bool MainWindow::openClass(const store::Value &grade, const store::Value &className)
{
    try {
        store_.rs = std::make_unique<store::RecordSet>();
        store::ConnectionScope db(store_);
        store_.rs->open(store_.conn, store::studentsOfClass(grade, className));
        if (store_.rs->recordCount() != 0) {
            rollCall_ = RollCallClass{grade, className, ComboBox1->currentText(),
                                      ComboBox2->currentText()};
            db.keep();  // rs stays on the class, its row the called student
            if (observer_)
                observer_->classOpened(grade, className, ComboBox1->currentText(),
                                       ComboBox2->currentText());
            return true;
        }
        store_.rs->close();
    } catch (const DbError &e) {
        store_.rs->close();
        reportDatabaseFailure(e);
        return false;
    }
    refuse(texts::kNoStudents);
    return false;
}

// ---- rolling draw ---------------------------------------------------------

void MainWindow::toggleDraw()
{
    Timer1->setInterval(1000 / Slider1->value());
    if (PushButton1->text() == texts::kStartRandom)
        startDraw();
    else
        endDraw();
}

std::optional<std::int16_t> MainWindow::countdownSeconds()
{
    const auto seconds = wholeNumber(stoptime->text().trimmed(), 2);
    if (!seconds) {
        refuse(texts::kBadStopTime);
        return std::nullopt;
    }
    return static_cast<std::int16_t>(*seconds);
}

void MainWindow::startDraw()
{
    const auto chosen = chosenClass();
    if (!chosen)
        return;
    std::optional<std::int16_t> seconds;
    if (stoponoff->isChecked()) {
        seconds = countdownSeconds();
        if (!seconds)
            return;
    }
    if (!openClass(chosen->first, chosen->second))
        return;
    if (observer_ && !observer_->drawMayStart()) {
        store_.rs->close();
        store_.closeConn();
        return;
    }

    drawPending_ = true;
    Timer1->start();
    PushButton1->setText(texts::kStopRandom);
    PushButton2->setEnabled(false);
    PushButton3->setEnabled(false);
    PushButton4->setEnabled(false);
    if (seconds) {
        lefttime = *seconds;
        Timer2->start();
        showtime->show();
    } else {
        Timer2->stop();
        showtime->hide();
    }
    if (observer_)
        observer_->countdownShown();
    called = true;
    emit rollCallChanged();
}

void MainWindow::endDraw()
{
    Timer1->stop();
    Timer2->stop();
    showname->setAccessibleName(showname->text());
    PushButton1->setText(texts::kStartRandom);
    PushButton2->setEnabled(true);
    PushButton3->setEnabled(true);
    PushButton4->setEnabled(true);
    // Ended before the first tick: the student evaluated next must be the one
    // on screen, so draw one now; showing it tells that it stays.
    const bool drawNow = drawPending_;
    if (drawNow) {
        try {
            drawOne();
        } catch (const DbError &e) {
            called = false;
            reportDatabaseFailure(e);
            emit rollCallChanged();
            return;
        }
    }
    if (observer_)
        observer_->drawEnded();
    emit rollCallChanged();
    if (!drawNow)
        emit nameShown(showname->text(), true);
}

void MainWindow::drawOne()
{
    drawPending_ = false;
    services_.random.reseed(services_.clock.secondsSinceMidnight());
    const long n = store_.rs->recordCount();
    const double r = services_.random.next();
    // r < 1, yet r * n can round up to n: keep the draw within the class.
    curno = std::min(static_cast<std::int32_t>(r * static_cast<double>(n)) + 1,
                     static_cast<std::int32_t>(n));
    if (observer_)
        curno = observer_->drawnRow(r, curno);
    position();
}

void MainWindow::drawTick()
{
    try {
        drawOne();
    } catch (const DbError &e) {
        endDraw();
        reportDatabaseFailure(e);
    }
}

void MainWindow::countdownTick()
{
    showtime->setText(QString::number(lefttime));
    showtime->setAccessibleName(showtime->text());
    if (observer_)
        observer_->countdownShown();
    if (lefttime != 0)
        --lefttime;
    else
        endDraw();
}

// ---- walk in order --------------------------------------------------------

void MainWindow::toggleWalk()
{
    if (PushButton3->text() != texts::kStartWalk) {
        GroupBox4->setEnabled(false);
        PushButton3->setText(texts::kStartWalk);
        PushButton1->setEnabled(true);
        PushButton2->setEnabled(true);
        called = false;
        emit rollCallChanged();
        return;
    }
    const auto chosen = chosenClass();
    if (!chosen || !openClass(chosen->first, chosen->second))
        return;
    try {
        GroupBox4->setEnabled(true);
        PushButton3->setText(texts::kStopWalk);
        curno = 1;
        position();
        PushButton1->setEnabled(false);
        PushButton2->setEnabled(false);
        called = true;
        emit rollCallChanged();
    } catch (const DbError &e) {
        reportDatabaseFailure(e);
    }
}

void MainWindow::position()
{
    store_.rs->setAbsolutePosition(curno);
    showstudent();
}

void MainWindow::goFirst()
{
    try {
        curno = 1;
        position();
    } catch (const DbError &e) {
        reportDatabaseFailure(e);
    }
}

void MainWindow::goPrevious()
{
    if (curno == 1)
        return;
    try {
        --curno;
        position();
    } catch (const DbError &e) {
        reportDatabaseFailure(e);
    }
}

void MainWindow::goNext()
{
    try {
        if (curno == store_.rs->recordCount())
            return;
        ++curno;
        position();
    } catch (const DbError &e) {
        reportDatabaseFailure(e);
    }
}

void MainWindow::goLast()
{
    try {
        curno = static_cast<std::int32_t>(store_.rs->recordCount());
        position();
    } catch (const DbError &e) {
        reportDatabaseFailure(e);
    }
}

// ---- evaluation -----------------------------------------------------------

void MainWindow::recordEvaluation()
{
    // After a draw, a later start that found nobody (or an import) closes rs
    // while called stays set: there is then no student to evaluate.
    if (!called || !store_.rs->isOpen() || store_.rs->absolutePosition() == 0) {
        refuse(texts::kNotCalled);
        return;
    }
    const int grade = ComboBox3->currentIndex();
    if (grade < 0) {
        refuse(texts::kNoGrade);
        return;
    }
    const QString creditsText = Text1->text().trimmed();
    std::optional<int> credits;
    if (!creditsText.isEmpty()) {
        credits = wholeNumber(creditsText, 3);
        if (!credits) {
            refuse(texts::kBadCredits);
            return;
        }
    }

    store::RecordSet &rs = *store_.rs;
    try {
        evaluations_.record(rs, static_cast<Evaluations::Grade>(grade), credits);
    } catch (const DbError &e) {
        // Show what the file holds.
        try {
            showtally();
        } catch (const DbError &) {
        }
        reportDatabaseFailure(e);
        return;
    }
    showtally();
    if (observer_)
        observer_->evaluationRecorded();
    services_.messages.show(texts::kRecorded, MessageStyle::Information);
    if (!evaluations_.notLogged().empty() && !toldNotLogged_) {
        toldNotLogged_ = true;
        services_.messages.show(texts::kNotLogged + QString::fromStdString(evaluations_.notLogged())
                                    + texts::kNotLoggedAfter,
                                MessageStyle::Error);
    }
}

void MainWindow::undoEvaluation()
{
    if (drawPending_ || Timer1->isActive()) {
        refuse(texts::kUndoDuringDraw);
        return;
    }
    if (evaluations_.undoable() == 0) {
        refuse(texts::kNothingToUndo);
        return;
    }
    store::RecordedEvaluation undone;
    try {
        // The connection rs reads through, or one of its own when rs is closed.
        const std::shared_ptr<store::Connection> conn =
            store_.conn ? store_.conn : store_.openFresh();
        undone = evaluations_.undoLatest(*conn);
    } catch (const DbError &e) {
        if (e.condition() == store::Condition::RowChanged)
            refuse(texts::kUndoFailed + QString::fromUtf8(e.what()));
        else
            reportDatabaseFailure(e);
        return;
    }
    QString name;
    for (const auto &[column, value] : undone.written)
        if (column == store::kName)
            name = storedText(value);
    const QString notice = texts::kUndone + name + QStringLiteral(" ")
        + QString::fromStdString(undone.entry.grade) + QStringLiteral("（")
        + QString::fromStdString(undone.entry.time) + QStringLiteral("）");
    const std::int64_t key = undone.entry.student;
    // A tooltip reads markup by itself: escape the name so it shows as typed.
    const QString tip = QStringLiteral("<p>") + notice.toHtmlEscaped() + QStringLiteral("</p>");
    showname->setToolTip(tip);
    if (showname->isVisible())
        QToolTip::showText(showname->mapToGlobal(showname->rect().center()), tip, showname);
    try {
        store::RecordSet &rs = *store_.rs;
        if (rs.isOpen()) {
            rs.refresh(key);
            if (rs.absolutePosition() != 0 && rs.key() == key)
                showtally();
        }
    } catch (const DbError &e) {
        reportDatabaseFailure(e);
    }
}

// ---- what the classroom features see and press ----------------------------

QPushButton *MainWindow::button(Control control) const
{
    switch (control) {
    case Control::Draw:
        return PushButton1;
    case Control::Walk:
        return PushButton3;
    case Control::First:
        return PushButton7;
    case Control::Previous:
        return prev;
    case Control::Next:
        return PushButton5;
    case Control::Last:
        return PushButton6;
    }
    return PushButton1;
}

bool MainWindow::press(Control control)
{
    QPushButton *b = button(control);
    if (!b->isEnabled())
        return false;
    b->click();
    return true;
}

bool MainWindow::walking() const
{
    return PushButton3->text() == texts::kStopWalk;
}

bool MainWindow::drawing() const
{
    return Timer1->isActive();
}

QWidget *MainWindow::nameDisplay() const
{
    return showname;
}

QWidget *MainWindow::displayPanel() const
{
    return Picture1;
}

QString MainWindow::shownName() const
{
    return showname->text();
}

QString MainWindow::countdownText() const
{
    return showtime->text();
}

bool MainWindow::countdownVisible() const
{
    return !showtime->isHidden();
}

// ---- dialogs --------------------------------------------------------------

void MainWindow::openImport()
{
    if (hooks_.openImport)
        hooks_.openImport();
}

void MainWindow::openBrowser()
{
    if (hooks_.openBrowser)
        hooks_.openBrowser();
}

// ---- messages -------------------------------------------------------------

void MainWindow::refuse(const QString &message)
{
    services_.messages.show(message, MessageStyle::Error);
}

void MainWindow::reportDatabaseFailure(const DbError &error)
{
    services_.messages.show(texts::kDatabaseFailed + QString::fromUtf8(error.what()),
                            MessageStyle::Error);
}

// ---- the file replaced ----------------------------------------------------

void MainWindow::letGoOfFile()
{
    store_.rs = std::make_unique<store::RecordSet>();
    store_.closeConn();
    called = false;
    evaluations_.forget();
    showName(QString());
    for (int panel = 1; panel <= PanelStatusBar::kPanels; ++panel)
        Stat->setPanelText(panel, QString());
}

} // namespace quorvel
