#pragma once

// The main window with the classroom features attached, as Quorvel runs, on
// a throw-away database, its options in a settings file of its own.

#include "platform/random.h"
#include "rollcall/classroom.h"
#include "tests/support/windowfixture.h"

#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

namespace quorvel::testing {

struct ClassroomWindowFixture : WindowFixture {
    SplitMixRandom splitMix;
    Services realRandom{messages, files, clock, splitMix, db.directory()};
    QTemporaryDir settingsDir;
    QSettings settings{settingsDir.filePath(QStringLiteral("quorvel.ini")), QSettings::IniFormat};
    RecordingSpeech speech;
    std::unique_ptr<Classroom> room;

    bool openRoom()
    {
        store = std::make_unique<store::Store>(db.directoryPath());
        window = std::make_unique<MainWindow>(*store, realRandom);
        room = std::make_unique<Classroom>(*window, *store, realRandom, speech, settings);
        if (!window->load())
            return false;
        find<QSlider>("Slider1")->setValue(1);  // no real tick between the test's own steps
        window->show();
        return QTest::qWaitForWindowExposed(window.get());
    }
};

} // namespace quorvel::testing
