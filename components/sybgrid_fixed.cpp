#include "sybgrid_fixed.h"

#include "sybgrid.h"

#include <QAbstractItemDelegate>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QWheelEvent>

#include <algorithm>

namespace ostrim {

GridFixedCells::GridFixedCells(TSybGrid* grid, Part part)
    : QWidget(grid), m_grid(grid), m_part(part) {
    // Opaque, so that repainting it never repaints the grid beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(part != Part::Columns);
    hide();
}

int GridFixedCells::rowTop(int row) const {
    if (scrollsUpAndDown())
        return m_grid->rowViewportPosition(row);
    int top = 0;
    for (int r = 0; r < row; ++r)
        top += m_grid->rowHeight(r);
    return top;
}

int GridFixedCells::columnLeft(int col) const {
    if (scrollsSideways())
        return m_grid->columnViewportPosition(col);
    int left = 0;
    for (int c = 0; c < col; ++c)
        left += m_grid->columnWidth(c);
    return left;
}

int GridFixedCells::rowAt(int y) const {
    if (scrollsUpAndDown())
        return m_grid->rowAt(y);
    const int rows = std::min(m_grid->FixedRows(), m_grid->gridModel()->rowCount());
    for (int r = 0, top = 0; r < rows; top += m_grid->rowHeight(r), ++r) {
        if (y >= top && y < top + m_grid->rowHeight(r))
            return r;
    }
    return -1;
}

int GridFixedCells::columnAt(int x) const {
    if (scrollsSideways())
        return m_grid->columnAt(x);
    const int cols = std::min(m_grid->FixedCols(), m_grid->gridModel()->columnCount());
    for (int c = 0, left = 0; c < cols; left += m_grid->columnWidth(c), ++c) {
        if (x >= left && x < left + m_grid->columnWidth(c))
            return c;
    }
    return -1;
}

QModelIndex GridFixedCells::indexAt(QPoint at) const {
    if (!rect().contains(at))
        return {};
    return m_grid->gridModel()->index(rowAt(at.y()), columnAt(at.x()));
}

QRect GridFixedCells::cellRect(int row, int col) const {
    const bool fixedRow = row >= 0 && row < m_grid->FixedRows();
    const bool fixedCol = col >= 0 && col < m_grid->FixedCols();
    if (row < 0 || col < 0 || row >= m_grid->gridModel()->rowCount() ||
        col >= m_grid->gridModel()->columnCount() || (m_part == Part::Rows && !fixedRow) ||
        (m_part == Part::Columns && !fixedCol) ||
        (m_part == Part::Corner && !(fixedRow && fixedCol)))
        return {};
    // As the grid's own cells: the grid lines take the last pixel of each column and row.
    const int line = m_grid->showGrid() ? 1 : 0;
    const QRect cell(columnLeft(col), rowTop(row), m_grid->columnWidth(col) - line,
                     m_grid->rowHeight(row) - line);
    return cell.intersected(rect());
}

void GridFixedCells::paintEvent(QPaintEvent* event) {
    const int rows = m_grid->gridModel()->rowCount();
    const int cols = m_grid->gridModel()->columnCount();
    const QRect dirty = event->rect();
    QPainter painter(this);
    painter.fillRect(dirty,
                     m_grid->viewport()->palette().brush(m_grid->viewport()->backgroundRole()));
    int firstRow = rowAt(dirty.top());
    int lastRow = rowAt(dirty.bottom());
    int firstCol = columnAt(dirty.left());
    int lastCol = columnAt(dirty.right());
    if (firstRow < 0 || firstCol < 0)
        return;
    if (lastRow < 0)
        lastRow = m_part == Part::Columns ? rows - 1 : std::min(m_grid->FixedRows(), rows) - 1;
    if (lastCol < 0)
        lastCol = m_part == Part::Rows ? cols - 1 : std::min(m_grid->FixedCols(), cols) - 1;

    QStyleOptionViewItem option;
    m_grid->initViewItemOption(&option);
    option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    QAbstractItemDelegate* delegate = m_grid->itemDelegate();
    const QColor lineColor =
        QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, m_grid)));
    painter.setPen(lineColor);
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c) {
            const QRect cell = cellRect(r, c);
            if (cell.isEmpty())
                continue;
            option.rect =
                QRect(columnLeft(c), rowTop(r), m_grid->columnWidth(c), m_grid->rowHeight(r));
            if (m_grid->showGrid()) {
                painter.drawLine(option.rect.topRight(), option.rect.bottomRight());
                painter.drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
                option.rect.adjust(0, 0, -1, -1);
            }
            delegate->paint(&painter, option, m_grid->gridModel()->index(r, c));
        }
    }
}

void GridFixedCells::wheelEvent(QWheelEvent* event) {
    QCoreApplication::sendEvent(m_grid->viewport(), event);
}

int GridFixedCells::edgeAt(int x) const {
    if (m_part == Part::Columns)
        return -1;
    constexpr int kGrip = 3;
    const int col = columnAt(x);
    if (col < 0)
        return -1;
    const int left = columnLeft(col);
    if (x >= left + m_grid->columnWidth(col) - kGrip)
        return col;
    if (x < left + kGrip && col > 0)
        return col - 1;
    return -1;
}

// Over the fixed rows a drag at a column's edge sizes the column, as a header would; otherwise
// the fixed cells take no clicks: the grid keeps its current cell and selection.
void GridFixedCells::mousePressEvent(QMouseEvent* event) {
    const int col = edgeAt(event->position().toPoint().x());
    if (col < 0 || event->button() != Qt::LeftButton)
        return;
    m_sizing = col;
    m_sizingFrom = event->position().toPoint().x() - m_grid->columnWidth(col);
}

void GridFixedCells::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (m_sizing >= 0) {
        m_grid->setColumnWidth(m_sizing, std::max(1, x - m_sizingFrom));
        return;
    }
    if (edgeAt(x) >= 0)
        setCursor(Qt::SplitHCursor);
    else
        unsetCursor();
}

void GridFixedCells::mouseReleaseEvent(QMouseEvent*) {
    m_sizing = -1;
}

} // namespace ostrim
