// What the teacher sees, read from the pixels of each window: the called
// name, the countdown, the tallies, the projector view, the browser with its
// history chart, and the import dialog's picture.

#include "exchange/historydialog.h"
#include "exchange/importdialog.h"
#include "platform/random.h"
#include "rollcall/classroom.h"
#include "rollcall/projectorview.h"
#include "store/evaluationlog.h"
#include "tests/support/browserfixture.h"
#include "tests/support/ink.h"
#include "tests/support/roomfixture.h"

#include <QAccessible>
#include <QCheckBox>
#include <QChartView>
#include <QHash>
#include <QLineEdit>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

#include <algorithm>

using namespace quorvel;
using namespace quorvel::testing;

namespace {

const QString kLengthy = QStringLiteral("阿卜杜热合曼·艾合买提·吐尔逊");

StudentRow student(const std::string &name, std::int64_t excellent = 0)
{
    StudentRow r = pupil(name);
    r.excellent = excellent;
    return r;
}

// A main window with the classroom features attached, as Quorvel runs.
struct RoomFixture : ClassroomWindowFixture {
    // The called name as the window shows it, inside the display's frame.
    Ink nameInk() const { return inkOver(find<QLabel>("showname"), 4); }
};

// The name is drawn whole, inside its label, and not crammed into a corner.
void verifyNameInk(const Ink &ink, const QLabel *label)
{
    QVERIFY2(ink.pixels > 500, qPrintable(QStringLiteral("%1 inked pixels").arg(ink.pixels)));
    const QRect inside = label->rect().adjusted(4, 4, -4, -4);
    QVERIFY2(inside.contains(ink.box),
             qPrintable(QStringLiteral("ink at %1,%2 %3x%4 outside the label")
                            .arg(ink.box.x()).arg(ink.box.y()).arg(ink.box.width())
                            .arg(ink.box.height())));
}

} // namespace

class ScreenTest : public QObject {
    Q_OBJECT
private slots:
    void calledNameIsDrawnLargeAndWhole()
    {
        RoomFixture f;
        f.db.addMany({student("张三"), student(kLengthy.toStdString()), student("李四")});
        QVERIFY(f.openRoom());
        auto *label = f.find<QLabel>("showname");

        // Start-up: "XXXXXX", centred in the display.
        const Ink idle = f.nameInk();
        verifyNameInk(idle, label);
        if (QTest::currentTestFailed())
            return;
        const QPoint centre = idle.box.center();
        QVERIFY2(std::abs(centre.x() - label->width() / 2) <= 6
                     && std::abs(centre.y() - label->height() / 2) <= 12,
                 qPrintable(QStringLiteral("ink centred at %1,%2 in %3x%4").arg(centre.x())
                                .arg(centre.y()).arg(label->width()).arg(label->height())));
        // Large: a 72-point face stands well over 60 pixels tall.
        QVERIFY2(idle.box.height() > 60, qPrintable(QString::number(idle.box.height())));

        // A walk shows the first student: other ink.
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");
        QCOMPARE(f.shownName(), QStringLiteral("张三"));
        const Ink first = f.nameInk();
        verifyNameInk(first, label);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!sameInk(first, idle));
        const int fullHeight = first.box.height();

        // Fifteen characters fit inside the label.
        f.click("PushButton5");
        QCOMPARE(f.shownName(), kLengthy);
        const Ink lengthy = f.nameInk();
        verifyNameInk(lengthy, label);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(lengthy.box.width() > label->width() / 2);

        // A short name after it is as large as before.
        f.click("PushButton5");
        QCOMPARE(f.shownName(), QStringLiteral("李四"));
        const Ink after = f.nameInk();
        verifyNameInk(after, label);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(std::abs(after.box.height() - fullHeight) <= 3,
                 qPrintable(QStringLiteral("%1 against %2").arg(after.box.height()).arg(fullHeight)));
        f.click("PushButton3");

        // A draw that stops shows the student drawn.
        f.click("PushButton1");
        f.window->drawTick();
        f.click("PushButton1");
        const Ink drawn = f.nameInk();
        verifyNameInk(drawn, label);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!sameInk(drawn, idle));
    }

    void countdownAndTalliesAreDrawn()
    {
        RoomFixture f;
        f.db.addMany({student("张三", 3), student("李四", 3)});
        QVERIFY(f.openRoom());
        auto *time = f.find<QLabel>("showtime");
        const auto panels = f.find<PanelStatusBar>("Stat")->findChildren<QLabel *>();
        QCOMPARE(panels.size(), 5);
        std::vector<int> before;
        for (QLabel *panel : panels)
            before.push_back(inkOf(panel).pixels);

        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.find<QCheckBox>("stoponoff")->setChecked(true);
        f.find<QLineEdit>("stoptime")->setText(QStringLiteral("7"));
        f.click("PushButton1");
        f.window->drawTick();
        f.window->countdownTick();
        QCOMPARE(time->text(), QStringLiteral("7"));
        const Ink digits = inkOver(time);
        QVERIFY2(digits.pixels > 100 && digits.box.height() > 30,
                 qPrintable(QStringLiteral("%1 pixels, %2 tall").arg(digits.pixels)
                                .arg(digits.box.height())));
        // What a screen reader hears is what is shown, and what it is for.
        QCOMPARE(time->accessibleName(), QStringLiteral("7"));
        QCOMPARE(time->accessibleDescription(), QStringLiteral("自动停止剩余秒数"));
        f.click("PushButton1");

        for (int i = 0; i < int(panels.size()); ++i) {
            const Ink ink = inkOf(panels[i]);
            QVERIFY2(ink.pixels > before[std::size_t(i)] + 40,
                     qPrintable(panels[i]->objectName() + u' ' + panels[i]->text()));
        }
    }

    void projectorShowsNameAndClassInBothLooks()
    {
        RoomFixture f;
        f.db.addMany({student("张三"), student("李四")});
        QVERIFY(f.openRoom());
        f.choose(QStringLiteral("高一"), QStringLiteral("1班"));
        f.click("PushButton3");
        f.room->openProjector();
        ProjectorView *view = f.room->projector();
        view->showNormal();
        view->setGeometry(0, 0, 1280, 720);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QCoreApplication::processEvents();
        auto *name = view->findChild<QLabel *>(QStringLiteral("projectorName"));
        auto *group = view->findChild<QLabel *>(QStringLiteral("projectorClass"));
        QCOMPARE(name->text(), QStringLiteral("张三"));

        for (auto theme : {ProjectorView::Theme::Light, ProjectorView::Theme::Dark}) {
            view->setTheme(theme);
            const Ink whole = inkOf(view);
            const Ink nameInk = inkOver(name);
            const Ink groupInk = inkOver(group);
            QVERIFY(groupInk.pixels > 50);
            // The name is the largest thing on the screen: over a fifth of its height.
            QVERIFY2(nameInk.box.height() > view->height() / 5,
                     qPrintable(QStringLiteral("name %1 tall").arg(nameInk.box.height())));
            QVERIFY(nameInk.box.height() > 3 * groupInk.box.height());
            QVERIFY(whole.pixels >= nameInk.pixels);
            // Light ink on dark, dark ink on light.
            const bool darkGround = qGray(whole.background) < 128;
            QCOMPARE(darkGround, theme == ProjectorView::Theme::Dark);
        }

        // Names flashing by in a draw are drawn too, and the one it stops on.
        f.click("PushButton3");
        f.click("PushButton1");
        for (int i = 0; i < 3; ++i) {
            f.window->drawTick();
            QTest::qWait(ProjectorView::kFlashFrameMs + 5);
            QVERIFY(inkOver(name).box.height() > view->height() / 5);
        }
        f.click("PushButton1");
        QCOMPARE(name->text(), f.shownName());
        QVERIFY(inkOver(name).box.height() > view->height() / 5);
    }

    void browserGridAndHistoryChartAreDrawn()
    {
        BrowserFixture f({student("张三", 3), student("李四", 1)}, [](store::Connection &conn) {
            store::Transaction t(conn);
            store::EvaluationEntry e;
            e.student = 1;
            e.time = "2026-03-02 08:00:00";
            e.grade = "优秀";
            e.creditsBefore = std::int64_t{0};
            e.creditsAfter = std::int64_t{0};
            store::appendEvaluation(conn, e);
            t.commit();
        });
        QVERIFY(QTest::qWaitForWindowExposed(f.dialog.get()));
        FlexGrid *grid = f.grid();
        const QRect firstRow = grid->visualRect(grid->model()->index(0, 0))
                                   .united(grid->visualRect(grid->model()->index(0, 2)));
        const auto rowInk = [&] { return inkOf(grid->viewport()->grab(firstRow).toImage()); };
        const int before = rowInk().pixels;
        f.query(QStringLiteral("高一"), QStringLiteral("1班"));
        QCOMPARE(f.names(), (QStringList{QStringLiteral("张三"), QStringLiteral("李四")}));
        const Ink cells = rowInk();
        QVERIFY2(cells.pixels > before + 100, qPrintable(QStringLiteral("%1 against %2 before")
                                                             .arg(cells.pixels).arg(before)));

        HistoryDialog history(*f.store, f.services, 1, f.dialog.get());
        QVERIFY(history.loaded());
        history.show();
        QVERIFY(QTest::qWaitForWindowExposed(&history));
        auto *chart = history.findChild<QChartView *>(QStringLiteral("weeklyChart"));
        QVERIFY(chart);
        // A bar is a block of one colour that is neither the background nor text.
        const QImage picture = chart->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const Ink ink = inkOf(picture);
        QHash<QRgb, int> colours;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb c = picture.pixel(x, y);
                const int spread = std::max({qRed(c), qGreen(c), qBlue(c)})
                                   - std::min({qRed(c), qGreen(c), qBlue(c)});
                if (spread > 60)
                    ++colours[c];
            }
        int largest = 0;
        for (int n : colours)
            largest = std::max(largest, n);
        QVERIFY2(largest > 400, qPrintable(QStringLiteral("largest coloured block %1 pixels, ink %2")
                                               .arg(largest).arg(ink.pixels)));
    }

    void importDialogPictureIsDrawn()
    {
        WindowFixture f;
        QVERIFY(f.open());
        ImportDialog dialog(*f.store, f.services, [] {}, f.window.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto *picture = dialog.findChild<QPushButton *>(QStringLiteral("PushButton3"));
        const Ink ink = inkOf(picture);
        // The worksheet's grid and its three columns of text, most of the button.
        QVERIFY2(ink.pixels > 2000, qPrintable(QString::number(ink.pixels)));
        QVERIFY(ink.box.width() > picture->width() / 2 && ink.box.height() > picture->height() / 2);
    }
};

QTEST_MAIN(ScreenTest)
#include "test_screen.moc"
