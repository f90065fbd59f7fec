#pragma once
// GridFixedCells: the painters of a TSybGrid's fixed rows and columns.

#include <QModelIndex>
#include <QWidget>

namespace ostrim {

class TSybGrid;

// Paints a grid's fixed cells over the edge of its viewport, so that they stay in place while
// the rest scrolls beneath: the fixed rows (scrolled sideways with the grid), the fixed columns
// (scrolled up and down with it) or the corner where both meet. It keeps no rows of its own.
class GridFixedCells final : public QWidget {
    Q_OBJECT
public:
    enum class Part { Rows, Columns, Corner };
    GridFixedCells(TSybGrid* grid, Part part);

    // The cell painted at a point of this widget; invalid where none is.
    QModelIndex indexAt(QPoint at) const;
    // Where a cell is painted, less its grid lines; empty when this widget does not paint it.
    QRect cellRect(int row, int col) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool scrollsSideways() const { return m_part == Part::Rows; }
    bool scrollsUpAndDown() const { return m_part == Part::Columns; }
    int rowTop(int row) const;
    int columnLeft(int col) const;
    int rowAt(int y) const;
    int columnAt(int x) const;
    // The column whose right edge is within a few pixels of x, or -1.
    int edgeAt(int x) const;

    TSybGrid* m_grid;
    Part m_part;
    int m_sizing = -1; // the column being sized by a drag
    int m_sizingFrom = 0;
};

} // namespace ostrim
