// The export of the browser's grid into a new workbook.

#include "exchange/browsedialog.h"

#include "exchange/workbookexport.h"
#include "widgets/flexgrid.h"
#include "workbook/workbookwriter.h"

#include <QComboBox>

namespace quorvel {

namespace {

// The grid's columns from 优秀 to 倒扣学分: the tallies.
constexpr int kFirstTally = 3;

} // namespace

Sheet BrowseDialog::evaluationSheet(const QString &title) const
{
    // The tallies as numbers; the header, names, grades and classes text.
    std::vector<QStringList> rows;
    for (int r = 0; r < Grid1->Rows(); ++r) {
        QStringList row;
        for (int c = 0; c < Grid1->Cols(); ++c)
            row << Grid1->TextMatrix(r, c);
        rows.push_back(std::move(row));
    }
    return framedTable(title, rows, [](int column) { return column >= kFirstTally; });
}

void BrowseDialog::exportToWorkbook()
{
    const QString grade = ComboBox1->currentText();
    const QString className = ComboBox2->currentText();
    exportSheet(services_, evaluationSheet(grade + u' ' + className), QStringLiteral("评价数据"),
                grade, className);
}

} // namespace quorvel
