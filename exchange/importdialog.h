#pragma once

#include "platform/services.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quorvel::store {
class ConnectionScope;
class Store;
} // namespace quorvel::store

namespace quorvel {

// The import dialog: brings students in from the first worksheet of an .xls
// workbook, all of them or none. reloadLists refills the main window's grade
// and class lists from the open conn after an import.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    ImportDialog(store::Store &store, const Services &services,
                 std::function<void()> reloadLists, QWidget *parent = nullptr);

public slots:
    // "选择文件并导入": asks, lets the teacher choose a workbook and imports it.
    void importStudents();

private:
    void buildControls();
    // Reads the workbook and stores its rows in one transaction; returns the
    // number of students added. The database is opened into db once the
    // reader has started. Throws on any failure, having changed nothing.
    long importWorkbook(const QString &path, std::optional<store::ConnectionScope> &db);
    // The progress bar's range for rows 2 to lastRow.
    void showRowCount(int lastRow);
    void showProgress(int value, bool force);

    store::Store &store_;
    Services services_;
    std::function<void()> reloadLists_;

    QLabel *Label1 = nullptr;
    QPushButton *PushButton3 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    QPushButton *PushButton1 = nullptr;
    QPushButton *PushButton2 = nullptr;
};

} // namespace quorvel
