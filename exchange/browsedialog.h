#pragma once

#include "platform/services.h"
#include "store/value.h"
#include "widgets/storedtext.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace quorvel::store {
class Store;
}

namespace quorvel {

class FlexGrid;
class PanelStatusBar;
struct Sheet;

// Shows one class's tallies in a grid and exports them to a workbook. It is
// given the main window's grade and class lists as they stand when it opens,
// and only ever reads the database.
class BrowseDialog : public QDialog {
    Q_OBJECT
public:
    // An item of a grade or class list: the text shown, and the stored value
    // the query looks for.

    BrowseDialog(store::Store &store, const Services &services,
                 const std::vector<Choice> &grades, const std::vector<Choice> &classes,
                 QWidget *parent = nullptr);
    // Lists of plain texts, each standing for itself.
    BrowseDialog(store::Store &store, const Services &services, const QStringList &grades,
                 const QStringList &classes, QWidget *parent = nullptr);

public slots:
    // "确  定": the chosen class's students, one row each, in the grid.
    void showClass();
    // "导出至Excel": the grid, under the chosen grade and class, into a new
    // workbook opened in the spreadsheet program: LibreOffice, else WPS 表格.
    // When none is installed, or every one fails to start, the workbook is
    // saved where the teacher says, after being told why.
    void exportToWorkbook();
    // "评价历史" of the student in this grid row (1 and up), opened over the
    // dialog without blocking; nothing for the header row or an empty row.
    void openHistory(int gridRow);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void load(const std::vector<Choice> &grades, const std::vector<Choice> &classes);

    // The sheet of an export: the title merged over the grid's width, then
    // every grid row, header first, framed; the tallies as numbers.
    Sheet evaluationSheet(const QString &title) const;

    store::Store &store_;
    Services services_;

    // Controls, by their object names.
    QGroupBox *GroupBox2;
    QLabel *Label4, *Label5;
    QComboBox *ComboBox1, *ComboBox2;
    QPushButton *PushButton1, *PushButton2;
    FlexGrid *Grid1;
    PanelStatusBar *StatusBar1;
    // The key of the student in each grid row below the header, in order.
    std::vector<std::int64_t> keys_;
};

} // namespace quorvel
