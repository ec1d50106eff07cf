#pragma once

// The main window with the classroom features, on a throw-away database.

#include "platform/random.h"
#include "platform/speech.h"
#include "rollcall/classroom.h"
#include "store/connection.h"
#include "tests/support/windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

#include <memory>

namespace quorvel::testing {

// The main window with the classroom features, its options in a settings file
// of its own, and a speech double.
struct ClassroomFixture : WindowFixture {
    SplitMixRandom splitMix;
    Services realRandom{messages, files, clock, splitMix, db.directory()};
    QTemporaryDir settingsDir;
    std::unique_ptr<QSettings> settings;
    RecordingSpeech speech;
    Speech *voice = &speech;
    std::unique_ptr<Classroom> room;

    // Builds, loads and shows the window; a second call is a restart.
    bool openRoom(bool scriptedRandom = false)
    {
        room.reset();
        window.reset();
        store = std::make_unique<store::Store>(db.directoryPath());
        window = std::make_unique<MainWindow>(*store, scriptedRandom ? services : realRandom);
        settings = std::make_unique<QSettings>(settingsDir.filePath(QStringLiteral("quorvel.ini")),
                                               QSettings::IniFormat);
        room = std::make_unique<Classroom>(*window, *store, scriptedRandom ? services : realRandom,
                                           *voice, *settings);
        if (!window->load())
            return false;
        find<QSlider>("Slider1")->setValue(1);  // no real tick between the test's own calls
        window->show();
        return QTest::qWaitForWindowActive(window.get());
    }

    QAction *action(const char *name) const
    {
        return room->menu()->findChild<QAction *>(QLatin1String(name));
    }
    // Starts a draw, lets it tick a few times and stops it; the name it stopped on.
    QString draw(int ticks = 3)
    {
        click("PushButton1");
        for (int i = 0; i < ticks; ++i)
            window->drawTick();
        click("PushButton1");
        QCoreApplication::processEvents();  // what follows the stop (its call written)
        return shownName();
    }
    // A key as the remote sends it, to whatever has the focus.
    void key(int k) const
    {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), Qt::Key(k));
    }
    // Rows in the table draw_round or absence; -1 while the file has no such table.
    long rowsIn(const std::string &table) const
    {
        auto conn = db.connect();
        store::Statement exists(*conn, "SELECT count(*) FROM sqlite_master WHERE name = ?1");
        exists.bind(1, table);
        exists.step();
        if (std::get<std::int64_t>(exists.column(0)) == 0)
            return -1;
        store::Statement rows(*conn, table == "absence" ? "SELECT count(*) FROM absence"
                                                        : "SELECT count(*) FROM draw_round");
        rows.step();
        return static_cast<long>(std::get<std::int64_t>(rows.column(0)));
    }
};

} // namespace quorvel::testing
