// In front of the class: the fair draw over rounds, absent students, the keys
// of a presenter remote, the projector view, names that fit, names read aloud.

#include "platform/random.h"
#include "platform/speech.h"
#include "rollcall/classroom.h"
#include "widgets/namefit.h"
#include "rollcall/projectorview.h"
#include "store/connection.h"
#include "store/rounds.h"
#include "tests/support/classroomfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSlider>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <set>
#include <tuple>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

const QString kGrade = QStringLiteral("高一");
const QString kClass = QStringLiteral("1班");

StudentRow student(const std::string &name, const std::string &className = "1班")
{
    StudentRow r;
    r.name = name;
    r.grade = "高一";
    r.className = className;
    return r;
}

std::vector<StudentRow> classOf(int n)
{
    std::vector<StudentRow> rows;
    for (int i = 1; i <= n; ++i) {
        rows.push_back(student("学生" + std::to_string(i)));
        rows.push_back(student("别班" + std::to_string(i), "2班"));
    }
    return rows;
}

} // namespace

class ClassroomTest : public QObject {
    Q_OBJECT
private slots:
    void fairDrawCoversTheClassOncePerRoundAcrossRestarts()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(30));
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        f.action("fairDrawAction")->trigger();
        QVERIFY(f.room->fairDraw());
        QCOMPARE(f.rowsIn("draw_round"), -1L);  // an older file: the table comes with the first write

        std::set<QString> drawn;
        for (int i = 0; i < 10; ++i)
            drawn.insert(f.draw());
        QCOMPARE(drawn.size(), std::size_t{10});
        QCOMPARE(f.rowsIn("draw_round"), 10L);

        QVERIFY(f.openRoom());  // a restart keeps the option and the round
        QVERIFY(f.room->fairDraw());
        f.choose(kGrade, kClass);
        for (int i = 0; i < 20; ++i)
            drawn.insert(f.draw());
        QCOMPARE(drawn.size(), std::size_t{30});
        for (const QString &name : drawn)
            QVERIFY2(name.startsWith(QStringLiteral("学生")), qPrintable(name));

        f.draw();  // everyone has had a turn: a new round starts by itself
        QCOMPARE(f.rowsIn("draw_round"), 1L);
        f.action("newRoundAction")->trigger();
        QCOMPARE(f.rowsIn("draw_round"), 0L);
        QVERIFY(f.messages.shown.empty());
    }

    void absentStudentsAreShownInTheWalkAndNeverDrawn()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(4));
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        f.click("PushButton3");
        f.click("PushButton5");
        QCOMPARE(f.shownName(), QStringLiteral("学生2"));
        f.room->menu()->popup(QPoint(0, 0));  // the menu names what a click would do
        QCOMPARE(f.action("absenceAction")->text(), QStringLiteral("标记缺席"));
        f.room->menu()->close();
        f.action("absenceAction")->trigger();
        QCOMPARE(f.shownName(), QStringLiteral("学生2（缺席）"));
        QCOMPARE(f.find<QLabel>("showname")->accessibleName(), f.shownName());
        f.click("PushButton5");
        QCOMPARE(f.shownName(), QStringLiteral("学生3"));
        f.click("PushButton3");

        // The mark is in the file, for that day only.
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        f.click("PushButton3");
        f.click("PushButton5");
        QCOMPARE(f.shownName(), QStringLiteral("学生2（缺席）"));
        QCOMPARE(f.find<QLabel>("showname")->accessibleName(), f.shownName());
        f.click("PushButton3");

        f.click("PushButton1");
        for (int i = 0; i < 10000; ++i) {
            f.window->drawTick();
            if (f.window->curno == 2)
                QFAIL("an absent student was drawn");
        }
        f.click("PushButton1");

        f.clock.day = f.clock.day.addDays(1);
        f.click("PushButton3");
        f.click("PushButton5");
        QCOMPARE(f.shownName(), QStringLiteral("学生2"));

        // Everyone away: the draw is refused instead of spinning.
        for (int i = 0; i < 4; ++i) {
            f.click(i == 0 ? "PushButton7" : "PushButton5");
            f.action("absenceAction")->trigger();
        }
        f.click("PushButton3");
        f.click("PushButton1");
        QCOMPARE(f.messages.lastText(), QStringLiteral("这个班的学生都已标记缺席！"));
        QCOMPARE(f.buttonText("PushButton1"), QStringLiteral("开始随机点名"));
        QVERIFY(!f.find<QTimer>("Timer1")->isActive());
        QCOMPARE(f.rowsIn("absence"), 5L);
    }

    void roundSurvivesAFileLockedElsewhere()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(3));
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        f.room->setFairDraw(true);
        auto other = f.db.connect();
        other->exec("BEGIN IMMEDIATE");  // another copy holds the file for writing

        std::set<QString> drawn{f.draw(), f.draw(), f.draw()};
        QCOMPARE(drawn.size(), std::size_t{3});
        QCOMPARE(f.messages.shown.size(), std::size_t{1});  // told once, not at every draw
        QVERIFY(f.messages.lastText().contains(QStringLiteral("本次运行中仍然有效")));
        other->exec("ROLLBACK");
    }

    void remoteKeysWorkUnlessTheFocusTakesTyping()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(5));
        QVERIFY(f.openRoom());
        auto *drawButton = f.find<QPushButton>("PushButton1");
        QCOMPARE(QApplication::focusWidget(), drawButton);
        f.choose(kGrade, kClass);

        f.key(Qt::Key_PageDown);
        QCOMPARE(f.buttonText("PushButton1"), QStringLiteral("停止随机点名"));
        f.window->drawTick();
        f.key(Qt::Key_PageDown);  // the remote stops the draw
        QCOMPARE(f.buttonText("PushButton1"), QStringLiteral("开始随机点名"));

        // Keys typed into a digit box stay there.
        for (const char *box : {"stoptime", "Text1"}) {
            auto *edit = f.find<QLineEdit>(box);
            edit->setText(QStringLiteral("12"));
            edit->setFocus();
            edit->setCursorPosition(0);
            f.key(Qt::Key_Right);
            f.key(Qt::Key_PageDown);
            QCOMPARE(edit->cursorPosition(), 1);
            QCOMPARE(f.buttonText("PushButton1"), QStringLiteral("开始随机点名"));
        }
        auto *slider = f.find<QSlider>("Slider1");
        slider->setFocus();
        f.key(Qt::Key_Right);
        QCOMPARE(slider->value(), 2);
        QVERIFY(!f.find<QTimer>("Timer1")->isActive());
        slider->setValue(1);

        // The walk: forward, back, first and last.
        f.click("PushButton3");
        f.key(Qt::Key_Right);
        f.key(Qt::Key_PageDown);
        QCOMPARE(f.shownName(), QStringLiteral("学生3"));
        f.key(Qt::Key_PageUp);
        QCOMPARE(f.shownName(), QStringLiteral("学生2"));
        f.key(Qt::Key_End);
        QCOMPARE(f.shownName(), QStringLiteral("学生5"));
        f.key(Qt::Key_Home);
        QCOMPARE(f.shownName(), QStringLiteral("学生1"));
        f.key(Qt::Key_Left);
        QCOMPARE(f.shownName(), QStringLiteral("学生1"));

        // F5 works from a text box too; Esc leaves the projector view.
        f.find<QLineEdit>("stoptime")->setFocus();
        f.key(Qt::Key_F5);
        QVERIFY(f.room->projector());
        QVERIFY(QTest::qWaitForWindowActive(f.room->projector()));
        QTest::keyClick(f.room->projector(), Qt::Key_Escape);
        QTRY_VERIFY(!f.room->projector());

        // Esc leaves it from the main window as well.
        f.find<QPushButton>("PushButton3")->setFocus();
        f.key(Qt::Key_F5);
        QVERIFY(f.room->projector());
        f.find<QPushButton>("PushButton3")->setFocus();
        f.key(Qt::Key_Escape);
        QTRY_VERIFY(!f.room->projector());

        // The Menu key opens the menu of the name display.
        f.find<QPushButton>("PushButton3")->setFocus();
        f.key(Qt::Key_Menu);
        QTRY_VERIFY(f.room->menu()->isVisible());
        f.room->menu()->close();
    }

    void projectorMirrorsTheRollCalls()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(3));
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        f.room->openProjector();
        ProjectorView *view = f.room->projector();
        QVERIFY(QTest::qWaitForWindowActive(view));
        QVERIFY(view->isFullScreen());
        auto *name = view->findChild<QLabel *>(QStringLiteral("projectorName"));
        auto *group = view->findChild<QLabel *>(QStringLiteral("projectorClass"));

        f.click("PushButton3");
        QTest::keyClick(view, Qt::Key_Right);  // the remote, aimed at the projector view
        QCOMPARE(f.shownName(), QStringLiteral("学生2"));
        QCOMPARE(name->text(), QStringLiteral("学生2"));
        QCOMPARE(name->accessibleName(), QStringLiteral("学生2"));
        QCOMPARE(group->text(), QStringLiteral("高一 1班"));
        QCOMPARE(group->accessibleName(), QStringLiteral("高一 1班"));
        f.click("PushButton3");

        // A draw with a countdown: the countdown shows, the name stops with the draw.
        f.find<QCheckBox>("stoponoff")->setChecked(true);
        f.find<QLineEdit>("stoptime")->setText(QStringLiteral("1"));
        f.click("PushButton1");
        auto *time = view->findChild<QLabel *>(QStringLiteral("projectorTime"));
        QVERIFY(time->isVisibleTo(view));
        f.window->drawTick();
        f.window->countdownTick();
        QCOMPARE(time->text(), QStringLiteral("1"));
        f.window->countdownTick();  // 0: the draw ends
        QCOMPARE(time->text(), QStringLiteral("0"));
        QCOMPARE(name->text(), f.shownName());
        QCOMPARE(name->accessibleName(), f.shownName());

        QCOMPARE(view->theme(), ProjectorView::Theme::Light);
        QTest::keyClick(view, Qt::Key_T);
        QCOMPARE(view->theme(), ProjectorView::Theme::Dark);
        QTest::mouseDClick(view, Qt::LeftButton);
        QTRY_VERIFY(!f.room->projector());
        f.room->openProjector();  // the theme is remembered
        QCOMPARE(f.room->projector()->theme(), ProjectorView::Theme::Dark);
    }

    void namesFitWholeAndShowAsTyped()
    {
        const QString lengthy = QStringLiteral("阿卜杜热合曼·艾合买提·吐尔逊");
        QCOMPARE(lengthy.size(), 15);
        ClassroomFixture f;
        f.db.addMany({student("张三"), student(lengthy.toStdString()), student("<b>x</b>"),
                      student("A&amp;B")});
        QVERIFY(f.openRoom());
        f.choose(kGrade, kClass);
        f.room->openProjector();
        auto *projected = f.room->projector()->findChild<QLabel *>(QStringLiteral("projectorName"));
        auto *label = f.find<QLabel>("showname");
        const auto fits = [](QLabel *l) {
            return textWidth(l->font(), l->text()) <= l->contentsRect().width();
        };

        f.click("PushButton3");
        QCOMPARE(label->font().pointSizeF(), 72.0);
        f.click("PushButton5");
        QCOMPARE(f.shownName(), lengthy);
        QVERIFY(label->font().pointSizeF() < 72.0);
        QVERIFY(label->font().pointSizeF() > 20.0);
        QVERIFY(fits(label));
        QVERIFY(fits(projected));
        for (const QString &typed : {QStringLiteral("<b>x</b>"), QStringLiteral("A&amp;B")}) {
            f.click("PushButton5");
            QCOMPARE(f.shownName(), typed);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QCOMPARE(projected->text(), typed);
            QCOMPARE(projected->textFormat(), Qt::PlainText);
        }
        f.click("PushButton7");
        QCOMPARE(label->font().pointSizeF(), 72.0);
    }

    void namesAreReadAloudOncePerStopAndMove()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(3));
        f.speech.hasVoice = false;
        QVERIFY(f.openRoom());
        f.room->menu()->popup(QPoint(0, 0));
        QAction *read = f.action("readAloudAction");
        QVERIFY(!read->isEnabled());
        QCOMPARE(read->toolTip(), f.speech.reason);
        f.room->menu()->close();

        f.speech.hasVoice = true;  // the voice is found a moment after start-up
        f.room->menu()->popup(QPoint(0, 0));
        QVERIFY(read->isEnabled());
        f.room->menu()->close();
        f.choose(kGrade, kClass);
        read->trigger();
        QVERIFY(f.room->readAloud());
        const QString stopped = f.draw(5);
        QCOMPARE(f.speech.said, std::vector<QString>{stopped});

        // Stopped by the countdown, then a walk that moves twice.
        f.speech.said.clear();
        f.find<QCheckBox>("stoponoff")->setChecked(true);
        f.find<QLineEdit>("stoptime")->setText(QStringLiteral("0"));
        f.click("PushButton1");
        f.window->drawTick();
        f.window->drawTick();
        f.window->countdownTick();
        QCOMPARE(f.speech.said, std::vector<QString>{f.shownName()});
        f.speech.said.clear();
        f.click("PushButton3");
        f.click("PushButton5");
        f.click("PushButton5");
        f.click("PushButton5");  // at the end: nothing moves, nothing is said
        QCOMPARE(f.speech.said,
                 (std::vector<QString>{QStringLiteral("学生1"), QStringLiteral("学生2"),
                                       QStringLiteral("学生3")}));
    }

    void fairDrawKeysOnWhatIsStoredNotOnHowItReads()
    {
        // Written by an older tool: the grade 高一 in GBK bytes, one name too
        // (丁四); beside them a class stored as bytes, with a name in GBK bytes.
        ClassroomFixture f;
        f.db.connect()->exec(
            "INSERT INTO student (\"姓名\", \"年级\", \"班级\") VALUES"
            " ('甲一', CAST(X'B8DFD2BB' AS TEXT), '1班'), ('乙二', CAST(X'B8DFD2BB' AS TEXT), '1班'),"
            " ('丙三', CAST(X'B8DFD2BB' AS TEXT), '1班'),"
            " (CAST(X'B6A1CBC4' AS TEXT), CAST(X'B8DFD2BB' AS TEXT), '1班'),"
            " ('子', '高二', X'32E78FAD'), (X'D2D2B6FE', '高二', X'32E78FAD'), ('丑', '高二', X'32E78FAD')");
        QVERIFY(f.openRoom());
        f.room->setFairDraw(true);
        QStringList order;
        for (const auto &[grade, className, size] :
             {std::tuple{"高一", "1班", 4}, std::tuple{"高二", "2班", 3}}) {
            for (int round = 0; round < 3; ++round) {
                std::set<QString> seen;
                for (int i = 0; i < size; ++i) {
                    if (round == 0 && i == 2)
                        QVERIFY(f.openRoom());  // a restart in the middle of the round
                    f.choose(QString::fromUtf8(grade), QString::fromUtf8(className));
                    seen.insert(f.draw());
                    order << f.shownName();
                }
                QVERIFY2(seen.size() == std::size_t(size), qPrintable(order.join(u' ')));
            }
        }
        QVERIFY(order.contains(QStringLiteral("丁四")) && order.contains(QStringLiteral("乙二")));
        QVERIFY2(f.messages.shown.empty(), qPrintable(f.messages.lastText()));
    }

    void absenceTakenBackLeavesTheTurnAsItWas()
    {
        ClassroomFixture f;
        f.db.addMany({student("学生1"), student("学生2"), student("学生3")});
        QVERIFY(f.openRoom(true));  // every draw takes the first student it may
        f.choose(kGrade, kClass);
        f.room->setFairDraw(true);
        QCOMPARE(f.draw(1), QStringLiteral("学生1"));
        f.action("absenceAction")->trigger();  // not there after all
        QVERIFY(f.room->shownIsAbsent());

        // Back a moment later (after a restart, too): 学生1 has had the turn.
        QVERIFY(f.openRoom(true));
        f.choose(kGrade, kClass);
        f.click("PushButton3");
        QCOMPARE(f.shownName(), QStringLiteral("学生1（缺席）"));
        f.action("absenceAction")->trigger();
        QCOMPARE(f.shownName(), QStringLiteral("学生1"));
        f.click("PushButton3");
        QCOMPARE(f.draw(1), QStringLiteral("学生2"));
        QCOMPARE(f.draw(1), QStringLiteral("学生3"));
        QCOMPARE(f.draw(1), QStringLiteral("学生1"));  // the next round

        // Drawn while away, and still away today: the turn comes back another day.
        f.action("absenceAction")->trigger();
        QCOMPARE(f.draw(1), QStringLiteral("学生2"));
        f.clock.day = f.clock.day.addDays(1);
        QCOMPARE(f.draw(1), QStringLiteral("学生1"));
        QCOMPARE(f.draw(1), QStringLiteral("学生3"));
        QVERIFY2(f.messages.shown.empty(), qPrintable(f.messages.lastText()));
    }

    void aBriefLockLeavesTheSharedRoundOnlyWhileItLasts()
    {
        ClassroomFixture f;
        f.db.addMany({student("学生1"), student("学生2"), student("学生3"), student("学生4")});
        QVERIFY(f.openRoom(true));
        f.choose(kGrade, kClass);
        f.room->setFairDraw(true);
        auto other = f.db.connect();
        other->exec("BEGIN IMMEDIATE");  // another copy writes at this moment
        QCOMPARE(f.draw(1), QStringLiteral("学生1"));
        other->exec("ROLLBACK");
        QCOMPARE(f.messages.shown.size(), std::size_t{1});

        // Meanwhile the other copy draws 学生2 and 学生3 in the shared round.
        store::addDrawn(*other, std::string("高一"), std::string("1班"), {2, std::string("学生2")});
        store::addDrawn(*other, std::string("高一"), std::string("1班"), {3, std::string("学生3")});
        QCOMPARE(f.draw(1), QStringLiteral("学生4"));
        QCOMPARE(f.rowsIn("draw_round"), 4L);  // 学生1 reached the file at the next draw
        QCOMPARE(f.messages.shown.size(), std::size_t{1});
    }

    void undoIsOfferedOnlyWhenThereIsSomethingToUndo()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(2));
        QVERIFY(f.openRoom());
        QAction *undo = f.action("undoEvaluationAction");
        const auto offered = [&] {
            f.room->menu()->popup(QPoint(0, 0));
            const bool enabled = undo->isEnabled();
            f.room->menu()->close();
            return enabled;
        };
        QVERIFY(!offered());
        QVERIFY(undo->toolTip().contains(QStringLiteral("没有")));
        QTest::keyClick(f.window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.messages.lastText(), QStringLiteral("没有可以撤销的评价。"));

        f.choose(kGrade, kClass);
        f.click("PushButton3");
        f.find<QComboBox>("ComboBox3")->setCurrentIndex(0);
        f.click("PushButton4");
        QCOMPARE(f.messages.lastText(), QStringLiteral("评价记入成功！"));
        QVERIFY(offered());
        QVERIFY(!undo->toolTip().contains(QStringLiteral("没有")));
        undo->trigger();
        QCOMPARE(f.panel(1), QStringLiteral("优秀：0"));
        QVERIFY(!offered());
    }

    void speechEngineIsMadeOnlyWhenNamesMayBeReadAloud()
    {
        // The real engine, with 朗读姓名 off: nothing of the speech service
        // is loaded, let alone started.
        {
            const auto engineLoaded = [] {
                QFile maps(QStringLiteral("/proc/self/maps"));
                return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libspeechd");
            };
            QVERIFY(!engineLoaded());
            QtSpeech speech;
            ClassroomFixture f;
            f.voice = &speech;
            f.db.addMany(classOf(2));
            QVERIFY(f.openRoom());
            QTest::qWait(500);
            QVERIFY2(!engineLoaded(), "the speech engine was started with 朗读姓名 off");
        }

        // The engine is made when its menu item is first shown ...
        ClassroomFixture f;
        f.db.addMany(classOf(2));
        QVERIFY(f.openRoom());
        QTest::qWait(100);
        QCOMPARE(f.speech.prepared, 0);
        f.room->menu()->popup(QPoint(0, 0));
        f.room->menu()->close();
        QVERIFY(f.speech.prepared > 0);

        // ... or at once when names are read aloud, once the window is up.
        f.settings->setValue(QStringLiteral("classroom/readAloud"), true);
        f.speech.prepared = 0;
        QVERIFY(f.openRoom());
        QTRY_VERIFY(f.speech.prepared > 0);
    }

    void withOptionsOffTheDrawIsUnchanged()
    {
        ClassroomFixture f;
        f.db.addMany(classOf(7));
        QVERIFY(f.openRoom(true));
        f.choose(kGrade, kClass);
        f.click("PushButton1");
        const double values[] = {0.0, 0.1428, 0.1429, 0.5, 0.99999, 0.3, 0.3};
        for (double r : values) {
            f.random.values.push_back(r);
            f.window->drawTick();
            QCOMPARE(f.window->curno, static_cast<std::int32_t>(r * 7) + 1);
        }
        f.click("PushButton1");
        QCOMPARE(f.rowsIn("draw_round"), -1L);  // nothing written with the options off
        QVERIFY(f.speech.said.empty());
    }
};

QTEST_MAIN(ClassroomTest)
#include "test_classroom.moc"
