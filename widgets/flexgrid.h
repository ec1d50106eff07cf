#pragma once

#include <QTableView>

namespace quorvel {

// A read-only grid of text cells. Row 0 is the fixed header row, shown as the
// column headers and never scrolled away; Rows() counts it, so a grid with n
// rows below its header has Rows() == n + 1. Every cell, header included, is
// read and written through TextMatrix. The teacher can select cells but never
// type into them. Rows are held in one model behind the view, so a grid of
// many thousand rows paints only what is on screen.
class FlexGrid : public QTableView {
    Q_OBJECT
public:
    FlexGrid(int columns, int rows, QWidget *parent = nullptr);
    ~FlexGrid() override;

    int Rows() const;
    // Keeps the cells of the rows that remain; new rows are empty. The header
    // row always stays: a count below 1 gives 1.
    void setRows(int rows);
    int Cols() const;

    // Empty for a cell outside the grid.
    QString TextMatrix(int row, int column) const;
    // Ignored for a cell outside the grid.
    void setTextMatrix(int row, int column, const QString &text);

    // Width of a column, in twips.
    void setColWidth(int column, int twips);

protected:
    void changeEvent(QEvent *event) override;

private:
    class Model;
    void fitRowHeight();
    Model *model_;
};

} // namespace quorvel
