#include "widgets/flexgrid.h"

#include "widgets/geometry.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>

#include <vector>

namespace quorvel {

// Header texts and the cells of rows 1 to Rows() - 1, row by row.
class FlexGrid::Model final : public QAbstractTableModel {
public:
    Model(int columns, QObject *parent)
        : QAbstractTableModel(parent), header_(static_cast<std::size_t>(columns))
    {
    }

    int columns() const { return static_cast<int>(header_.size()); }
    int bodyRows() const { return bodyRows_; }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : bodyRows_;
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : columns();
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return {};
        const QString &text = cell(index.row(), index.column());
        if (role == Qt::DisplayRole)
            return text;
        if (role == Qt::TextAlignmentRole) {
            // Numbers to the right, everything else to the left.
            bool number = false;
            text.toDouble(&number);
            return QVariant::fromValue(Qt::AlignVCenter
                                       | (number ? Qt::AlignRight : Qt::AlignLeft));
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
            && section < columns())
            return header_[static_cast<std::size_t>(section)];
        return {};
    }

    Qt::ItemFlags flags(const QModelIndex &index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    void setBodyRows(int rows)
    {
        if (rows > bodyRows_) {
            beginInsertRows({}, bodyRows_, rows - 1);
            cells_.resize(static_cast<std::size_t>(rows) * header_.size());
            bodyRows_ = rows;
            endInsertRows();
        } else if (rows < bodyRows_) {
            beginRemoveRows({}, rows, bodyRows_ - 1);
            cells_.resize(static_cast<std::size_t>(rows) * header_.size());
            cells_.shrink_to_fit();
            bodyRows_ = rows;
            endRemoveRows();
        }
    }

    QString text(int row, int column) const
    {
        if (row == 0)
            return header_[static_cast<std::size_t>(column)];
        return cell(row - 1, column);
    }

    void setText(int row, int column, const QString &text)
    {
        if (row == 0) {
            header_[static_cast<std::size_t>(column)] = text;
            emit headerDataChanged(Qt::Horizontal, column, column);
            return;
        }
        cells_[slot(row - 1, column)] = text;
        const QModelIndex changed = index(row - 1, column);
        emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::TextAlignmentRole});
    }

private:
    std::size_t slot(int bodyRow, int column) const
    {
        return static_cast<std::size_t>(bodyRow) * header_.size()
            + static_cast<std::size_t>(column);
    }
    const QString &cell(int bodyRow, int column) const { return cells_[slot(bodyRow, column)]; }

    std::vector<QString> header_;
    std::vector<QString> cells_;
    int bodyRows_ = 0;
};

FlexGrid::FlexGrid(int columns, int rows, QWidget *parent)
    : QTableView(parent), model_(new Model(columns, this))
{
    setModel(model_);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    fitRowHeight();
    setRows(rows);
}

FlexGrid::~FlexGrid() = default;

int FlexGrid::Rows() const
{
    return model_->bodyRows() + 1;
}

void FlexGrid::setRows(int rows)
{
    model_->setBodyRows(rows < 1 ? 0 : rows - 1);
}

int FlexGrid::Cols() const
{
    return model_->columns();
}

QString FlexGrid::TextMatrix(int row, int column) const
{
    if (row < 0 || row >= Rows() || column < 0 || column >= Cols())
        return {};
    return model_->text(row, column);
}

void FlexGrid::setTextMatrix(int row, int column, const QString &text)
{
    if (row < 0 || row >= Rows() || column < 0 || column >= Cols())
        return;
    model_->setText(row, column, text);
}

void FlexGrid::setColWidth(int column, int twipWidth)
{
    horizontalHeader()->resizeSection(column, twips(twipWidth));
}

void FlexGrid::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        fitRowHeight();
    QTableView::changeEvent(event);
}

void FlexGrid::fitRowHeight()
{
    const int height = fontMetrics().height() + 6;
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(height);
    horizontalHeader()->setFixedHeight(height + 2);
}

} // namespace quorvel
