// A grid of text cells with a fixed header row, one selected cell and a
// cell-paint notification for the selected cell. drawCell() is raised once
// control returns to the event loop whenever that cell is painted, and also
// after the selection moves or its text changes and when the grid is shown,
// since that is when it is painted anew (also where the grid lies outside the
// window's visible area).
#pragma once

#include <QRect>
#include <QTableWidget>

namespace toolkit {

struct DrawState {
    bool selected = false;
    bool focused = false;
};

class StringGrid : public QTableWidget {
    Q_OBJECT
public:
    StringGrid(int columns, int rows, QWidget* parent = nullptr);

    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString& text);
    int col() const { return col_; }
    int row() const { return row_; }
    // Selects a cell of the data rows; the header row cannot be selected.
    void selectCell(int column, int row);
    // Grid lines are 2 pixels wide, drawn right of and below every cell.
    static constexpr int kLineWidth = 2;
    // A column's width or a row's height without its grid line (a negative
    // index leaves that one alone).
    void setCellSize(int column, int width, int row, int height);
    // The cell's rectangle in grid coordinates, its grid lines left out.
    QRect cellRect(int column, int row) const;

    // Reports the selected cell as painted now, or once control returns to
    // the event loop.
    void paintSelected();
    void schedulePaint();

signals:
    void drawCell(int column, int row, QRect rect, toolkit::DrawState state);

protected:
    void showEvent(QShowEvent* e) override;

private:
    int col_ = 0;
    int row_ = 1;
    bool paintPending_ = false;
};

}  // namespace toolkit
