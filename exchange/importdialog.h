#pragma once

#include "platform/services.h"

#include <QDialog>

#include <functional>

namespace quorvel::store {
class Store;
}

namespace quorvel {

// Brings students in from a workbook. reloadLists refills the main window's
// grade and class lists afterwards.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    ImportDialog(store::Store &store, const Services &services,
                 std::function<void()> reloadLists, QWidget *parent = nullptr);

private:
    store::Store &store_;
    Services services_;
    std::function<void()> reloadLists_;
};

} // namespace quorvel
