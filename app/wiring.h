#pragma once

#include "platform/services.h"

class QSettings;

namespace quorvel {

class MainWindow;
class Classroom;
namespace store {
class Store;
}

// Lets the main window's buttons open the import and browser dialogs, each
// modal and built afresh at every opening.
void connectDialogs(MainWindow &main, store::Store &store, const Services &services);

// Adds 学生名单, 更新名单… and 升年级… to the end of the classroom menu: each
// opens its window, modal, and the main window follows what it changed.
void addRosterEntries(MainWindow &main, Classroom &classroom, store::Store &store,
                      const Services &services);

// Lets the classroom menu open 点名统计, modal over the main window; the
// term's start the teacher sets there is kept in settings.
void connectCallOverview(MainWindow &main, Classroom &classroom, store::Store &store,
                         const Services &services, QSettings &settings);

} // namespace quorvel
