// 小窗: the small window over the slides mirrors the main window's roll call
// and drives it with its one button and the remote's keys.

#include "rollcall/miniwindow.h"
#include "rollcall/texts.h"
#include "tests/support/ink.h"
#include "tests/support/lessonfixture.h"
#include "widgets/namelabel.h"

#include <QApplication>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

NameLabel *nameOf(MiniWindow *mini)
{
    return mini->findChild<NameLabel *>(QStringLiteral("miniName"));
}

} // namespace

class MiniWindowTest : public QObject {
    Q_OBJECT
private slots:
    void mirrorsAndDrivesTheRollCall()
    {
        LessonFixture f;
        QVERIFY(f.openLesson(3));
        QTest::keyClick(f.window.get(), Qt::Key_F6);
        MiniWindow *mini = f.room->miniWindow();
        QVERIFY(mini);
        QVERIFY(QTest::qWaitForWindowExposed(mini));
        QVERIFY(f.window->windowState() & Qt::WindowMinimized);
        QCOMPARE(mini->windowFlags() & Qt::WindowStaysOnTopHint, Qt::WindowStaysOnTopHint);

        // Its button is the main window's: the same refusal without a class.
        QTest::mouseClick(mini->button(), Qt::LeftButton);
        QCOMPARE(f.messages.lastText(), texts::kNoClassChosen);
        QVERIFY(!f.window->drawing());

        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        QCOMPARE(mini->classText(), QStringLiteral("高一 1班"));
        f.random.values = {0.5};
        QTest::mouseClick(mini->button(), Qt::LeftButton);
        QVERIFY(f.window->drawing());
        QCOMPARE(mini->button()->text(), texts::kStopRandom);
        f.window->drawTick();
        QCOMPARE(mini->nameText(), f.shownName());
        QTest::mouseClick(mini->button(), Qt::LeftButton);
        QVERIFY(!f.window->drawing());
        QCOMPARE(mini->button()->text(), texts::kStartRandom);
        QCOMPARE(mini->nameText(), QStringLiteral("学生2"));
        QCOMPARE(f.shownName(), QStringLiteral("学生2"));
        // The teacher sees the name: ink in the middle of the window's name band.
        QTest::qWait(50);
        const Ink ink = inkOver(nameOf(mini));
        QVERIFY(ink.any());
        QVERIFY(ink.box.height() > nameOf(mini)->height() / 4);

        // A walk: the button moves on, and so do the remote's keys in it.
        QVERIFY(f.window->press(MainWindow::Control::Walk));
        QCOMPARE(mini->button()->text(), MiniWindow::kNext);
        QCOMPARE(mini->nameText(), QStringLiteral("学生1"));
        QTest::mouseClick(mini->button(), Qt::LeftButton);
        QCOMPARE(mini->nameText(), QStringLiteral("学生2"));
        mini->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mini));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
        QCOMPARE(f.shownName(), QStringLiteral("学生3"));
        QCOMPARE(mini->nameText(), QStringLiteral("学生3"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
        QCOMPARE(mini->nameText(), QStringLiteral("学生2"));

        // Back to the main window, which held the roll call all along.
        QTest::mouseClick(mini->findChild<QPushButton *>(QStringLiteral("miniBack")), Qt::LeftButton);
        QTRY_VERIFY(!f.room->miniWindow());
        QVERIFY(!(f.window->windowState() & Qt::WindowMinimized));
        QVERIFY(f.window->walking());
        QCOMPARE(f.shownName(), QStringLiteral("学生2"));
    }

    void remembersItsPlaceAndFitsLongNames()
    {
        LessonFixture f;
        const std::string longName = "欧阳诸葛司马上官长长长长长长长长长长名字";
        f.db.add(pupil(longName));
        QVERIFY(f.openLesson());
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.room->openMiniWindow();
        MiniWindow *mini = f.room->miniWindow();
        QVERIFY(QTest::qWaitForWindowExposed(mini));
        const QRect place(140, 120, 300, 170);
        mini->setGeometry(place);
        QVERIFY(f.window->press(MainWindow::Control::Walk));
        QTest::qWait(50);
        // The whole name, shrunk to the window's width.
        NameLabel *name = nameOf(mini);
        QCOMPARE(name->text(), QString::fromStdString(longName));
        const Ink ink = inkOver(name);
        QVERIFY(ink.any());
        QVERIFY2(ink.box.left() > 0 && ink.box.right() < name->width() - 1,
                 qPrintable(QStringLiteral("name drawn over %1..%2 of %3")
                                .arg(ink.box.left()).arg(ink.box.right()).arg(name->width())));

        f.room->closeMiniWindow();
        QTRY_VERIFY(!f.room->miniWindow());
        QVERIFY(f.openLesson());  // a restart
        f.room->openMiniWindow();
        QVERIFY(QTest::qWaitForWindowExposed(f.room->miniWindow()));
        QCOMPARE(f.room->miniWindow()->geometry(), place);
    }
};

QTEST_MAIN(MiniWindowTest)
#include "test_miniwindow.moc"
