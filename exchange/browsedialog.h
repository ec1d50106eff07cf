#pragma once

#include "platform/services.h"

#include <QDialog>
#include <QStringList>

namespace quorvel::store {
class Store;
}

namespace quorvel {

// Shows one class's tallies in a grid and exports them to a workbook. It is
// given the main window's grade and class lists as they stand when it opens.
class BrowseDialog : public QDialog {
    Q_OBJECT
public:
    BrowseDialog(store::Store &store, const Services &services, const QStringList &grades,
                 const QStringList &classes, QWidget *parent = nullptr);

private:
    store::Store &store_;
    Services services_;
    QStringList grades_, classes_;
};

} // namespace quorvel
