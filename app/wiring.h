#pragma once

#include "platform/services.h"

namespace quorvel {

class MainWindow;
namespace store {
class Store;
}

// Lets the main window's buttons open the import and browser dialogs, each
// modal and built afresh at every opening.
void connectDialogs(MainWindow &main, store::Store &store, const Services &services);

} // namespace quorvel
