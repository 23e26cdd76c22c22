#include "toolkit/StringGrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>

namespace toolkit {
namespace {

// Reports the selected cell when the grid paints it. The report is queued:
// the handler places an editor over the cell, and doing that inside the
// paint would disturb the paint itself. Other cells need no report: their
// notification would only hide the editors, and the selected cell's report
// hides all but its own.
class NotifyingDelegate : public QStyledItemDelegate {
public:
    explicit NotifyingDelegate(StringGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}
    void paint(QPainter* p, const QStyleOptionViewItem& opt, const QModelIndex& idx) const override {
        QStyledItemDelegate::paint(p, opt, idx);
        // The view draws one pixel of grid line right of and below each
        // cell; the second pixel is drawn here, on the cell's own edge.
        const QColor line(static_cast<QRgb>(grid_->style()->styleHint(QStyle::SH_Table_GridLineColor, &opt, grid_)));
        p->fillRect(QRect(opt.rect.right(), opt.rect.top(), 1, opt.rect.height()), line);
        p->fillRect(QRect(opt.rect.left(), opt.rect.bottom(), opt.rect.width(), 1), line);
        if (idx.row() == grid_->row() && idx.column() == grid_->col()) grid_->schedulePaint();
    }

private:
    StringGrid* grid_;
};

}  // namespace

StringGrid::StringGrid(int columns, int rows, QWidget* parent) : QTableWidget(rows, columns, parent) {
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setFocusPolicy(Qt::NoFocus);
    setItemDelegate(new NotifyingDelegate(this));
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            auto* item = new QTableWidgetItem();
            if (r == 0) {
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(palette().button());
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            }
            setItem(r, c, item);
        }
    setCurrentCell(row_, col_);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int r, int c) {
        if (r < 1 || c < 0) return;
        if (r == row_ && c == col_) return;
        row_ = r;
        col_ = c;
        schedulePaint();
    });
}

QString StringGrid::cell(int column, int row) const {
    const QTableWidgetItem* it = item(row, column);
    return it ? it->text() : QString();
}

void StringGrid::setCell(int column, int row, const QString& text) {
    QTableWidgetItem* it = item(row, column);
    if (!it || it->text() == text) return;
    it->setText(text);
    if (column == col_ && row == row_) schedulePaint();
}

void StringGrid::selectCell(int column, int row) {
    if (row < 1 || row >= rowCount() || column < 0 || column >= columnCount()) return;
    setCurrentCell(row, column);
}

QRect StringGrid::cellRect(int column, int row) const {
    // Without the second pixel of the grid lines, which lies inside the item.
    return visualItemRect(item(row, column)).adjusted(0, 0, -1, -1).translated(viewport()->pos());
}

void StringGrid::setCellSize(int column, int width, int row, int height) {
    if (column >= 0) setColumnWidth(column, width + kLineWidth);
    if (row >= 0) setRowHeight(row, height + kLineWidth);
}

void StringGrid::showEvent(QShowEvent* e) {
    QTableWidget::showEvent(e);
    schedulePaint();
}

// The selected cell is painted anew once the current event is handled, as a
// window repaints what was invalidated: a handler that rewrites many cells
// sees one notification after it is done, not one in its middle.
void StringGrid::schedulePaint() {
    if (paintPending_) return;
    paintPending_ = true;
    QMetaObject::invokeMethod(this, [this] {
        paintPending_ = false;
        paintSelected();
    }, Qt::QueuedConnection);
}

void StringGrid::paintSelected() {
    DrawState st;
    st.selected = true;
    st.focused = hasFocus();
    emit drawCell(col_, row_, cellRect(col_, row_), st);
}

}  // namespace toolkit
