#pragma once

// The main window with the classroom features, as the program wires them:
// its messages pass through the box that commands from other programs
// collect them in, its options lie in a settings file of its own.

#include "platform/routedmessagebox.h"
#include "rollcall/classroom.h"
#include "tests/support/windowfixture.h"

#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace quorvel::testing {

struct LessonFixture : WindowFixture {
    RoutedMessageBox routed{messages};
    Services lessonServices{routed, files, clock, random, db.directory(), nullptr, &workbooks, &launcher};
    QTemporaryDir settingsDir;
    std::unique_ptr<QSettings> settings;
    RecordingSpeech speech;
    std::unique_ptr<Classroom> room;

    // Students 学生1 … 学生n of 高一 1班; builds, loads and shows the window.
    // A second call is a restart on the same file and settings.
    bool openLesson(int students = 0)
    {
        std::vector<StudentRow> rows;
        for (int i = 1; i <= students; ++i)
            rows.push_back(pupil("学生" + std::to_string(i)));
        if (!rows.empty())
            db.addMany(rows);
        room.reset();
        window.reset();
        store = std::make_unique<store::Store>(db.directoryPath());
        window = std::make_unique<MainWindow>(*store, lessonServices);
        settings = std::make_unique<QSettings>(settingsDir.filePath(QStringLiteral("quorvel.ini")),
                                               QSettings::IniFormat);
        room = std::make_unique<Classroom>(*window, *store, lessonServices, speech, *settings);
        if (!window->load())
            return false;
        find<QSlider>("Slider1")->setValue(1);  // no real tick between the test's own calls
        window->show();
        return QTest::qWaitForWindowActive(window.get());
    }
};

} // namespace quorvel::testing
