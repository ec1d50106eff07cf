// The rolling draw of the main window: starting and stopping it, what each
// draw picks, the countdown, the refused starts and the digit-only boxes.

#include "tests/support/doubles.h"
#include "platform/random.h"
#include "platform/services.h"
#include "rollcall/mainwindow.h"
#include "widgets/panelstatusbar.h"
#include "store/store.h"
#include "tests/support/testdb.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

using namespace quorvel;
using quorvel::testing::StudentRow;
using quorvel::testing::TempDatabase;

namespace {

const QString kStart = QStringLiteral("开始随机点名");
const QString kStop = QStringLiteral("停止随机点名");
const QString kGrade = QStringLiteral("高2021级");
const QString kClass = QStringLiteral("3班");

StudentRow row(const std::string &name, const QString &grade, const QString &className)
{
    StudentRow r;
    r.name = name;
    r.grade = grade.toStdString();
    r.className = className.toStdString();
    return r;
}

// Students A..G of kGrade/kClass (A has 优秀 0, 良好 10, ..., G 优秀 6, ...),
// with students of other classes between them: positions count within the class.
std::vector<StudentRow> sevenInClass()
{
    std::vector<StudentRow> rows;
    for (int i = 0; i < 7; ++i) {
        StudentRow r = row(std::string(1, char('A' + i)), kGrade, kClass);
        r.excellent = i;
        r.good = 10 + i;
        r.pass = 20 + i;
        r.fail = 30 + i;
        r.deducted = std::int64_t{40 + i};
        rows.push_back(r);
        rows.push_back(row("other" + std::to_string(i), kGrade, QStringLiteral("4班")));
        rows.push_back(row("late" + std::to_string(i), QStringLiteral("高2022级"), kClass));
    }
    return rows;
}

// A shown main window over a temporary database, with scripted services.
struct Fixture {
    TempDatabase db;
    store::Store store{db.directoryPath()};
    ScriptedMessageBox messages;
    ScriptedFileDialog files;
    ManualClock clock;
    ScriptedRandom random;
    SplitMixRandom splitMix;
    Services services;
    std::unique_ptr<MainWindow> w;

    explicit Fixture(const std::vector<StudentRow> &rows, bool realRandom = false)
        : services{messages, files, clock,
                   realRandom ? static_cast<Random &>(splitMix) : static_cast<Random &>(random),
                   db.directory()}
    {
        db.addMany(rows);
        w = std::make_unique<MainWindow>(store, services);
    }

    bool open()
    {
        if (!w->load() || !stat() || !timer("Timer1") || !timer("Timer2"))
            return false;
        w->show();
        return QTest::qWaitForWindowExposed(w.get());
    }
    // Opens, chooses the class and presses start at the slowest speed, so
    // that no real tick comes between the test's own calls.
    bool start(const QString &grade, const QString &className, bool countdown = false,
               const QString &seconds = QStringLiteral("10"))
    {
        if (!open() || !choose(grade, className))
            return false;
        child<QSlider>("Slider1")->setValue(1);
        setCountdown(countdown, seconds);
        press();
        return button("PushButton1")->text() == kStop && messages.shown.empty();
    }

    template <typename T> T *child(const char *name) const
    {
        return w->findChild<T *>(QLatin1String(name));
    }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    QTimer *timer(const char *name) const { return child<QTimer>(name); }
    QLabel *showtime() const { return child<QLabel>("showtime"); }
    PanelStatusBar *stat() const { return child<PanelStatusBar>("Stat"); }
    QString name() const { return child<QLabel>("showname")->text(); }
    QString currentName() const
    {
        return QString::fromStdString(store::displayText(store.rs->field("姓名")));
    }

    // An empty text leaves that list without a choice.
    bool choose(const QString &grade, const QString &className)
    {
        auto *grades = child<QComboBox>("ComboBox1");
        auto *classes = child<QComboBox>("ComboBox2");
        const int g = grade.isEmpty() ? -1 : grades->findText(grade);
        const int c = className.isEmpty() ? -1 : classes->findText(className);
        if ((!grade.isEmpty() && g < 0) || (!className.isEmpty() && c < 0))
            return false;
        grades->setCurrentIndex(g);
        classes->setCurrentIndex(c);
        return true;
    }
    void setCountdown(bool on, const QString &seconds)
    {
        child<QCheckBox>("stoponoff")->setChecked(on);
        child<QLineEdit>("stoptime")->setText(seconds);  // bypasses the validator
    }
    void press() { QTest::mouseClick(button("PushButton1"), Qt::LeftButton); }
};

void verifyIdle(const Fixture &f)
{
    QCOMPARE(f.button("PushButton1")->text(), kStart);
    for (const char *name : {"PushButton2", "PushButton3", "PushButton4"})
        QVERIFY2(f.button(name)->isEnabled(), name);
    QVERIFY(!f.timer("Timer1")->isActive());
    QVERIFY(!f.timer("Timer2")->isActive());
}

void verifyDrawing(const Fixture &f)
{
    QCOMPARE(f.button("PushButton1")->text(), kStop);
    for (const char *name : {"PushButton2", "PushButton3", "PushButton4"})
        QVERIFY2(!f.button(name)->isEnabled(), name);
    QVERIFY(f.timer("Timer1")->isActive());
    QVERIFY(f.w->called);
}

#define CHECK(call)                                                                      \
    do {                                                                                 \
        call;                                                                            \
        if (QTest::currentTestFailed())                                                  \
            return;                                                                      \
    } while (false)

// Stands for the Delete key as X11 and Wayland deliver it: with the text
// U+007F, where QTest sends none.
constexpr int kPlatformDelete = -1;

} // namespace

class TestRandomDraw : public QObject {
    Q_OBJECT
private slots:
    void timerIntervalFollowsSlider_data()
    {
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("interval");
        const std::pair<int, int> cases[] = {{1, 1000}, {3, 333}, {7, 142}, {10, 100}, {100, 10}};
        for (auto [speed, interval] : cases)
            QTest::addRow("speed %d", speed) << speed << interval;
    }
    void timerIntervalFollowsSlider()
    {
        QFETCH(int, speed);
        QFETCH(int, interval);
        Fixture f(sevenInClass());
        QVERIFY(f.open());
        auto *slider = f.child<QSlider>("Slider1");
        QTimer *timer = f.timer("Timer1");

        slider->setValue(speed);
        f.press();  // refused: no class chosen
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(timer->interval(), interval);

        QVERIFY(f.choose(kGrade, kClass));
        slider->setValue(50);
        f.press();
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 20);

        slider->setValue(speed);
        f.press();  // the stopping press
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), interval);
    }

    void refusedStartChangesNothing_data()
    {
        const QString noClass = QStringLiteral("没选择年级或班级！");
        const QString noStudents = QStringLiteral("没有相应的数据！");
        const QString badTime = QStringLiteral("自动停止时间必须是0到99之间的整数！");
        QTest::addColumn<QString>("grade");
        QTest::addColumn<QString>("className");
        QTest::addColumn<bool>("countdown");
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<QString>("message");
        QTest::newRow("nothing chosen") << "" << "" << false << "10" << noClass;
        QTest::newRow("grade only") << "A" << "" << false << "10" << noClass;
        QTest::newRow("class only") << "" << "2" << false << "10" << noClass;
        QTest::newRow("nothing chosen, bad time") << "" << "" << true << "" << noClass;
        QTest::newRow("class without students") << "A" << "2" << false << "10" << noStudents;
        QTest::newRow("empty countdown") << "A" << "1" << true << "" << badTime;
        QTest::newRow("blank countdown") << "A" << "1" << true << "  " << badTime;
        QTest::newRow("letters in countdown") << "A" << "1" << true << "abc" << badTime;
        QTest::newRow("negative countdown") << "A" << "1" << true << "-1" << badTime;
        QTest::newRow("fraction in countdown") << "A" << "1" << true << ".5" << badTime;
    }
    void refusedStartChangesNothing()
    {
        QFETCH(QString, grade);
        QFETCH(QString, className);
        QFETCH(bool, countdown);
        QFETCH(QString, seconds);
        QFETCH(QString, message);
        Fixture f({row("Ann", "A", "1"), row("Bob", "B", "2")});
        QVERIFY(f.open());
        QVERIFY(f.choose(grade, className));
        f.setCountdown(countdown, seconds);

        f.press();
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QCOMPARE(f.messages.shown[0].text, message);
        QCOMPARE(f.messages.shown[0].style, MessageStyle::Error);
        CHECK(verifyIdle(f));
        QVERIFY(f.showtime()->isHidden());
        QVERIFY(!f.w->called);
        QCOMPARE(f.name(), QStringLiteral("XXXXXX"));
        QVERIFY(!f.store.rs->isOpen());
        QVERIFY(!f.store.conn);
        QVERIFY(f.random.seeds.empty());
    }

    void databaseFailureAtStart()
    {
        Fixture f(sevenInClass());
        QVERIFY(f.open());
        QVERIFY(std::filesystem::remove(f.db.path()));
        QVERIFY(f.choose(kGrade, kClass));

        f.press();
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
        QVERIFY2(f.messages.lastText().startsWith(QStringLiteral("数据库操作失败：")),
                 qPrintable(f.messages.lastText()));
        QCOMPARE(f.messages.shown[0].style, MessageStyle::Error);
        CHECK(verifyIdle(f));
        QVERIFY(!f.w->called);
        QVERIFY(!f.store.rs->isOpen());
    }

    // Countdown settings a start accepts; firstTick is the first second shown.
    void acceptedStart_data()
    {
        QTest::addColumn<bool>("countdown");
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<QString>("firstTick");
        QTest::newRow("no countdown") << false << "10" << "";
        QTest::newRow("no countdown, bad time") << false << "ab" << "";
        QTest::newRow("countdown with blanks") << true << " 7 " << "7";
    }
    void acceptedStart()
    {
        QFETCH(bool, countdown);
        QFETCH(QString, seconds);
        QFETCH(QString, firstTick);
        Fixture f(sevenInClass());
        QVERIFY2(f.start(kGrade, kClass, countdown, seconds), qPrintable(f.messages.lastText()));
        CHECK(verifyDrawing(f));
        QCOMPARE(f.timer("Timer2")->isActive(), countdown);
        QCOMPARE(f.showtime()->isHidden(), !countdown);
        // Nobody is drawn before the first tick.
        QCOMPARE(f.name(), QStringLiteral("XXXXXX"));
        QVERIFY(f.random.seeds.empty());
        if (countdown) {
            f.w->countdownTick();
            QCOMPARE(f.showtime()->text(), firstTick);
        }
    }

    void stopByButton()
    {
        Fixture f(sevenInClass());
        QVERIFY(f.start(kGrade, kClass));
        f.random.values = {0.3, 0.9};
        f.w->drawTick();
        f.clock.seconds += 0.1;
        f.w->drawTick();

        f.press();
        CHECK(verifyIdle(f));
        QVERIFY(f.w->called);
        QVERIFY(f.store.rs->isOpen());
        QCOMPARE(f.store.rs->absolutePosition(), 7L);
        QCOMPARE(f.name(), QStringLiteral("G"));
        QCOMPARE(f.name(), f.currentName());

        // The next draw starts afresh.
        f.press();
        CHECK(verifyDrawing(f));
        f.random.values = {0.0};
        f.w->drawTick();
        f.press();
        CHECK(verifyIdle(f));
        QCOMPARE(f.name(), QStringLiteral("A"));
        QCOMPARE(f.name(), f.currentName());
        QVERIFY(f.messages.shown.empty());
    }

    // A draw ended before Timer1 ever ticked draws at its end, so the student
    // shown is the one evaluated.
    void drawEndedBeforeFirstTick_data()
    {
        QTest::addColumn<bool>("byCountdown");
        QTest::newRow("stopped by the button") << false;
        QTest::newRow("countdown of 0 ends first") << true;
    }
    void drawEndedBeforeFirstTick()
    {
        QFETCH(bool, byCountdown);
        Fixture f(sevenInClass());
        QVERIFY(f.start(kGrade, kClass, byCountdown, QStringLiteral("0")));
        QCOMPARE(f.timer("Timer1")->timerType(), Qt::PreciseTimer);
        QCOMPARE(f.timer("Timer2")->timerType(), Qt::PreciseTimer);
        f.random.values = {0.5};
        if (byCountdown)
            f.w->countdownTick();
        else
            f.press();
        CHECK(verifyIdle(f));
        QCOMPARE(f.name(), QStringLiteral("D"));
        QCOMPARE(f.name(), f.currentName());
        QCOMPARE(f.stat()->panelText(1), QStringLiteral("优秀：3"));

        f.child<QComboBox>("ComboBox3")->setCurrentIndex(0);
        QTest::mouseClick(f.button("PushButton4"), Qt::LeftButton);
        QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
        QCOMPARE(f.db.value("D", "优秀"), store::Value(std::int64_t{4}));
        QCOMPARE(f.db.value("A", "优秀"), store::Value(std::int64_t{0}));
    }

    void drawPicksByPosition_data()
    {
        QTest::addColumn<double>("r");
        QTest::addColumn<int>("position");
        QTest::newRow("0") << 0.0 << 1;
        QTest::newRow("just below 1/7") << std::nextafter(1.0 / 7.0, 0.0) << 1;
        QTest::newRow("1/7") << 1.0 / 7.0 << 2;
        QTest::newRow("0.5") << 0.5 << 4;
        QTest::newRow("6/7") << 6.0 / 7.0 << 7;
        QTest::newRow("0.999999") << 0.999999 << 7;
        QTest::newRow("largest below 1") << std::nextafter(1.0, 0.0) << 7;
    }
    void drawPicksByPosition()
    {
        QFETCH(double, r);
        QFETCH(int, position);
        Fixture f(sevenInClass());
        QVERIFY(f.start(kGrade, kClass));
        f.clock.seconds = 45296.123456;
        f.random.values = {r};
        f.w->drawTick();
        QCOMPARE(f.random.seeds, std::vector<double>{45296.123456});
        QVERIFY(f.random.values.empty());
        QCOMPARE(f.w->curno, position);
        QCOMPARE(f.store.rs->absolutePosition(), long(position));
        const int i = position - 1;
        QCOMPARE(f.name(), QString(QChar(u'A' + i)));
        QCOMPARE(f.stat()->panelText(1), QStringLiteral("优秀：%1").arg(i));
        QCOMPARE(f.stat()->panelText(2), QStringLiteral("良好：%1").arg(10 + i));
        QCOMPARE(f.stat()->panelText(3), QStringLiteral("及格：%1").arg(20 + i));
        QCOMPARE(f.stat()->panelText(4), QStringLiteral("不及格：%1").arg(30 + i));
        QCOMPARE(f.stat()->panelText(5), QStringLiteral("倒扣学分：%1").arg(40 + i));
        CHECK(verifyDrawing(f));
    }

    void lonelyStudentIsAlwaysDrawn()
    {
        Fixture f({row("Ann", "A", "1"), row("Bob", "A", "2"), row("Cy", "B", "2")});
        QVERIFY(f.start(QStringLiteral("A"), QStringLiteral("2")));
        std::vector<double> seeds;
        for (double r : {0.0, 0.5, 0.999999, std::nextafter(1.0, 0.0)}) {
            f.clock.seconds += 0.25;
            seeds.push_back(f.clock.seconds);
            f.random.values = {r};
            f.w->drawTick();
            QCOMPARE(f.w->curno, 1);
            QCOMPARE(f.name(), QStringLiteral("Bob"));
        }
        QCOMPARE(f.random.seeds, seeds);
    }

    void countdownEndsAtZero_data()
    {
        QTest::addColumn<int>("seconds");
        for (int s : {0, 1, 10, 99})
            QTest::addRow("%d s", s) << s;
    }
    void countdownEndsAtZero()
    {
        QFETCH(int, seconds);
        Fixture f(sevenInClass());
        QVERIFY(f.start(kGrade, kClass, true, QString::number(seconds)));
        f.random.values = {0.5};
        f.w->drawTick();
        for (int left = seconds; left > 0; --left) {
            f.w->countdownTick();
            QCOMPARE(f.showtime()->text(), QString::number(left));
            CHECK(verifyDrawing(f));
            QVERIFY(f.timer("Timer2")->isActive());
        }
        f.w->countdownTick();
        QCOMPARE(f.showtime()->text(), QStringLiteral("0"));
        CHECK(verifyIdle(f));
        QVERIFY(!f.showtime()->isHidden());
        QVERIFY(f.w->called);
        QVERIFY(f.store.rs->isOpen());
        QCOMPARE(f.name(), QStringLiteral("D"));
        QCOMPARE(f.name(), f.currentName());
    }

    void stoppingFreezesCountdown()
    {
        Fixture f(sevenInClass());
        QVERIFY(f.start(kGrade, kClass, true, QStringLiteral("10")));
        for (int i = 0; i < 3; ++i)
            f.w->countdownTick();
        QCOMPARE(f.showtime()->text(), QStringLiteral("8"));
        f.press();
        CHECK(verifyIdle(f));
        QCOMPARE(f.showtime()->text(), QStringLiteral("8"));
        QVERIFY(!f.showtime()->isHidden());
    }

    void countdownWithRealTimers()
    {
        Fixture f(sevenInClass());
        QVERIFY(f.open());
        QVERIFY(f.choose(kGrade, kClass));
        f.child<QSlider>("Slider1")->setValue(100);
        f.setCountdown(true, QStringLiteral("1"));
        f.press();
        CHECK(verifyDrawing(f));
        QTRY_COMPARE_WITH_TIMEOUT(f.button("PushButton1")->text(), kStart, 5000);
        CHECK(verifyIdle(f));
        QCOMPARE(f.showtime()->text(), QStringLiteral("0"));
        QVERIFY(!f.random.seeds.empty());
        QVERIFY2(QStringList({"A", "B", "C", "D", "E", "F", "G"}).contains(f.name()),
                 qPrintable(f.name()));
        QCOMPARE(f.name(), f.currentName());
    }

    void drawsAreUniform_data()
    {
        QTest::addColumn<bool>("jitter");
        QTest::addColumn<double>("step");
        QTest::newRow("ticks about 10 ms apart") << true << 0.01;
        QTest::newRow("ticks 1 us apart") << false << 1e-6;
    }
    void drawsAreUniform()
    {
        QFETCH(bool, jitter);
        QFETCH(double, step);
        Fixture f(sevenInClass(), true);
        QVERIFY(f.start(kGrade, kClass));
        constexpr int kTicks = 7000;
        std::minstd_rand jitterSource(20240917);
        std::array<int, 7> counts{};
        for (int i = 0; i < kTicks; ++i) {
            f.clock.seconds += step + (jitter ? double(jitterSource() % 2000) * 1e-6 : 0.0);
            f.w->drawTick();
            QVERIFY(f.w->curno >= 1 && f.w->curno <= 7);
            ++counts[std::size_t(f.w->curno - 1)];
        }
        const double expected = kTicks / 7.0;
        double chiSquare = 0;
        QStringList seen;
        for (int c : counts) {
            chiSquare += (c - expected) * (c - expected) / expected;
            seen << QString::number(c);
        }
        // 22.46: the 0.001 quantile of chi-square with 6 degrees of freedom.
        QVERIFY2(chiSquare < 22.46, qPrintable(QStringLiteral("chi-square %1, counts %2")
                                                   .arg(chiSquare)
                                                   .arg(seen.join(u' '))));
    }

    void panelTexts_data()
    {
        QTest::addColumn<qint64>("excellent");
        QTest::addColumn<double>("deducted");
        QTest::addColumn<bool>("whole");  // stored as a whole number
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::newRow("none") << qint64(0) << 0.0 << true << "优秀：0" << "倒扣学分：0";
        QTest::newRow("twelve") << qint64(12) << 5.0 << true << "优秀：12" << "倒扣学分：5";
        QTest::newRow("negative") << qint64(1) << -3.0 << true << "优秀：1" << "倒扣学分：-3";
        QTest::newRow("fraction") << qint64(2) << 2.5 << false << "优秀：2" << "倒扣学分：2.5";
        QTest::newRow("whole real") << qint64(3) << 4.0 << false << "优秀：3" << "倒扣学分：4";
    }
    void panelTexts()
    {
        QFETCH(qint64, excellent);
        QFETCH(double, deducted);
        QFETCH(bool, whole);
        QFETCH(QString, first);
        QFETCH(QString, last);
        StudentRow r = row("Ann", "A", "1");
        r.excellent = excellent;
        r.good = 7;
        r.pass = 8;
        r.fail = 9;
        r.deducted = whole ? store::Value(std::int64_t(deducted)) : store::Value(deducted);
        Fixture f({r});
        QVERIFY(f.start(QStringLiteral("A"), QStringLiteral("1")));
        f.w->drawTick();
        QCOMPARE(f.stat()->panelText(1), first);
        QCOMPARE(f.stat()->panelText(2), QStringLiteral("良好：7"));
        QCOMPARE(f.stat()->panelText(3), QStringLiteral("及格：8"));
        QCOMPARE(f.stat()->panelText(4), QStringLiteral("不及格：9"));
        QCOMPARE(f.stat()->panelText(5), last);
    }

    void typingIntoDigitBoxes_data()
    {
        QTest::addColumn<QByteArray>("box");
        QTest::addColumn<QString>("initial");
        QTest::addColumn<int>("cursor");  // -1: at the end
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("expected");
        auto add = [](const char *tag, const char *box, const char *initial, int cursor,
                      QList<int> keys, const char *expected) {
            QTest::newRow(tag) << QByteArray(box) << QString(initial) << cursor << keys
                               << QString(expected);
        };
        add("stoptime letter", "stoptime", "1", -1, {Qt::Key_A}, "1");
        add("stoptime minus", "stoptime", "1", -1, {Qt::Key_Minus}, "1");
        add("stoptime space", "stoptime", "1", -1, {Qt::Key_Space}, "1");
        add("stoptime backspace", "stoptime", "10", -1, {Qt::Key_Backspace}, "10");
        add("stoptime digit", "stoptime", "", -1, {Qt::Key_7}, "7");
        add("stoptime third digit", "stoptime", "10", -1, {Qt::Key_5}, "10");
        add("stoptime arrow, digit", "stoptime", "1", -1, {Qt::Key_Left, Qt::Key_5}, "51");
        add("stoptime delete", "stoptime", "10", 0, {Qt::Key_Delete}, "0");
        add("stoptime platform delete", "stoptime", "10", 0, {kPlatformDelete}, "0");
        add("Text1 letter", "Text1", "10", -1, {Qt::Key_X}, "10");
        add("Text1 point", "Text1", "10", -1, {Qt::Key_Period}, "10");
        add("Text1 backspace", "Text1", "105", -1, {Qt::Key_Backspace}, "105");
        add("Text1 digits", "Text1", "", -1, {Qt::Key_1, Qt::Key_2, Qt::Key_3}, "123");
        add("Text1 fourth digit", "Text1", "123", -1, {Qt::Key_4}, "123");
        add("Text1 delete", "Text1", "105", 0, {Qt::Key_Delete}, "05");
        add("Text1 platform delete", "Text1", "105", 0, {kPlatformDelete}, "05");
    }
    void typingIntoDigitBoxes()
    {
        QFETCH(QByteArray, box);
        QFETCH(QString, initial);
        QFETCH(int, cursor);
        QFETCH(QList<int>, keys);
        QFETCH(QString, expected);
        Fixture f({row("Ann", "A", "1")});
        QVERIFY(f.open());
        auto *edit = f.child<QLineEdit>(box.constData());
        edit->setText(initial);
        edit->setFocus();
        edit->setCursorPosition(cursor < 0 ? int(initial.size()) : cursor);
        for (int key : keys) {
            if (key != kPlatformDelete) {
                QTest::keyClick(edit, Qt::Key(key));
                continue;
            }
            const QString del(QChar(0x7f));
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, del);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier, del);
            QApplication::sendEvent(edit, &press);
            QApplication::sendEvent(edit, &release);
        }
        QCOMPARE(edit->text(), expected);
    }

    void tabLeavesDigitBoxes()
    {
        Fixture f({row("Ann", "A", "1")});
        QVERIFY(f.open());
        f.w->activateWindow();
        auto *edit = f.child<QLineEdit>("stoptime");
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(!edit->hasFocus());
        QCOMPARE(edit->text(), QStringLiteral("10"));
    }

    void pastingIntoDigitBoxes_data()
    {
        QTest::addColumn<QByteArray>("box");
        QTest::addColumn<QString>("initial");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<bool>("byKeys");  // Ctrl+V instead of paste()
        QTest::addColumn<QString>("expected");
        const QByteArray stop("stoptime"), credits("Text1");
        QTest::newRow("stoptime mixed, full box") << stop << "10" << "12a" << false << "10";
        QTest::newRow("stoptime mixed, empty box") << stop << "" << "12a" << false << "";
        QTest::newRow("stoptime mixed, after a digit") << stop << "1" << "2x" << false << "1";
        QTest::newRow("stoptime digits") << stop << "" << "42" << false << "42";
        QTest::newRow("Text1 mixed") << credits << "" << "12a" << false << "";
        QTest::newRow("Text1 mixed, after a digit") << credits << "1" << "2a" << false << "1";
        QTest::newRow("Text1 mixed, longer than room") << credits << "1" << "23a" << false << "1";
        QTest::newRow("Text1 blank") << credits << "" << " 42" << false << "";
        QTest::newRow("Text1 digits") << credits << "" << "42" << false << "42";
        QTest::newRow("stoptime Ctrl+V") << stop << "" << "x1" << true << "";
        QTest::newRow("Text1 Ctrl+V") << credits << "1" << "ab" << true << "1";
    }
    void pastingIntoDigitBoxes()
    {
        QFETCH(QByteArray, box);
        QFETCH(QString, initial);
        QFETCH(QString, clipboard);
        QFETCH(bool, byKeys);
        QFETCH(QString, expected);
        Fixture f({row("Ann", "A", "1")});
        QVERIFY(f.open());
        auto *edit = f.child<QLineEdit>(box.constData());
        edit->setText(initial);
        edit->setFocus();
        edit->end(false);
        QGuiApplication::clipboard()->setText(clipboard);
        QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
        if (byKeys)
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        else
            edit->paste();
        QCOMPARE(edit->text(), expected);
    }
};

QTEST_MAIN(TestRandomDraw)
#include "test_random_draw.moc"
