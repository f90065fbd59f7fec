#include "grid_text.h"

#include "sybgrid.h"

#include <QIODevice>
#include <QItemSelectionModel>

#include <algorithm>
#include <climits>

namespace ostrim {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// The fixed row and column hold no data: a selection reaching into them (select-all) starts at
// the first data row and column.
GridRect clampToData(GridRect rect, const TSybGrid& grid) {
    rect.left = std::max(rect.left, 1);
    rect.top = std::max(rect.top, 1);
    rect.right = std::min(rect.right, std::max(grid.colCount() - 1, 1));
    rect.bottom = std::min(rect.bottom, std::max(grid.rowCount() - 1, 1));
    return rect;
}

QStringList rowLines(const TSybGrid& grid, int firstRow, int lastRow, int firstCol, int lastCol) {
    QStringList lines;
    lines.reserve(std::max(lastRow - firstRow + 1, 0));
    for (int row = firstRow; row <= lastRow; ++row)
        lines << fixedWidthLine(grid, row, firstCol, lastCol);
    return lines;
}

QString joinWithLineEnds(const QStringList& lines) {
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + kLineEnd.size();
    QString text;
    text.reserve(size);
    for (const QString& line : lines) {
        text += line;
        text += kLineEnd;
    }
    return text;
}

} // namespace

GridRect selectionRect(const TSybGrid& grid) {
    const QItemSelectionModel* model = grid.selectionModel();
    const QItemSelection selection = model ? model->selection() : QItemSelection();
    if (selection.isEmpty()) {
        const QModelIndex current = grid.currentIndex();
        if (!current.isValid())
            return clampToData(GridRect{}, grid);
        const int col = current.column(), row = current.row();
        return clampToData(GridRect{col, row, col, row}, grid);
    }
    GridRect rect{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const QItemSelectionRange& range : selection) {
        rect.left = std::min(rect.left, range.left());
        rect.top = std::min(rect.top, range.top());
        rect.right = std::max(rect.right, range.right());
        rect.bottom = std::max(rect.bottom, range.bottom());
    }
    return clampToData(rect, grid);
}

int columnChars(int pixels, int charUnit) {
    if (charUnit <= 0)
        return 0;
    const int whole = pixels / charUnit;
    const int twiceRest = 2 * (pixels % charUnit);
    if (twiceRest > charUnit || (twiceRest == charUnit && whole % 2 != 0))
        return whole + 1;
    return whole;
}

QString fixedWidthLine(const TSybGrid& grid, int row, int firstCol, int lastCol) {
    QString previous = grid.cell(firstCol, row);
    QString line = previous;
    int width = columnChars(grid.columnWidth(firstCol), grid.CharUnit());
    for (int col = firstCol + 1; col <= lastCol; ++col) {
        if (!previous.isEmpty() && width >= previous.size())
            line += QString(width - previous.size() + 1, QLatin1Char(' '));
        previous = grid.cell(col, row);
        line += previous;
        width = columnChars(grid.columnWidth(col), grid.CharUnit());
    }
    return line;
}

QString copyAllText(const TSybGrid& grid) {
    return joinWithLineEnds(rowLines(grid, 1, grid.rowCount() - 1, 1, grid.colCount() - 1));
}

QString copySelectedText(const TSybGrid& grid, const GridRect& selection) {
    return joinWithLineEnds(
        rowLines(grid, selection.top, selection.bottom, selection.left, selection.right));
}

QString cutSelectedText(TSybGrid& grid, const GridRect& selection) {
    QStringList lines;
    for (int row = selection.top; row <= selection.bottom; ++row) {
        lines << fixedWidthLine(grid, row, selection.left, selection.right);
        for (int col = selection.left; col <= selection.right; ++col)
            grid.setCell(col, row, QString());
    }
    return joinWithLineEnds(lines);
}

QStringList saveAllLines(const TSybGrid& grid) {
    return rowLines(grid, 0, grid.rowCount() - 1, 1, grid.colCount() - 1);
}

QStringList saveSelectedLines(const TSybGrid& grid, const GridRect& selection) {
    QStringList lines{fixedWidthLine(grid, 0, selection.left, selection.right), QString()};
    lines += rowLines(grid, selection.top, selection.bottom, selection.left, selection.right);
    return lines;
}

IoResult writeLines(const QString& fileName, const QStringList& lines) {
    return writeFileSafely(fileName, [&lines](QIODevice& device) {
        for (const QString& line : lines) {
            const QByteArray bytes = (line + kLineEnd).toUtf8();
            if (device.write(bytes) != bytes.size())
                return false;
        }
        return true;
    });
}

} // namespace ostrim
