#include "sybgrid_model.h"

#include "value_text.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>

namespace ostrim {

namespace {

quint64 cellKey(int col, int row) {
    return (quint64(quint32(row)) << 32) | quint32(col);
}

} // namespace

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_store.rowCount();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QString GridModel::cell(int col, int row) const {
    if (!m_edits.isEmpty()) {
        const auto it = m_edits.constFind(cellKey(col, row));
        if (it != m_edits.constEnd())
            return *it;
    }
    if (col == 0) {
        if (row < 1 || row > m_store.writtenRows())
            return {};
        return m_store.lineNumbers() ? QString::number(row) : QStringLiteral(" ");
    }
    // textFromDbLib's decoding, straight from the store without a copy.
    return QString::fromLocal8Bit(m_store.cell(row, col));
}

bool GridModel::isEdited(int col, int row) const {
    return !m_edits.isEmpty() && m_edits.contains(cellKey(col, row));
}

bool GridModel::isNull(int col, int row) const {
    return col >= 1 && m_store.isNull(row, col) && !m_edits.contains(cellKey(col, row));
}

void GridModel::setCell(int col, int row, const QString& text) {
    if (col < 0 || row < 0 || col >= m_columns || row >= m_store.rowCount())
        return;
    m_edits.insert(cellKey(col, row), text);
    const QModelIndex at = index(row, col);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    // Painted only: every text of the grid (copies, files, the editor) keeps the blank.
    const bool nullText = m_showNullText &&
                          (role == Qt::DisplayRole || role == Qt::ForegroundRole) &&
                          isNull(index.column(), index.row());
    if (role == Qt::DisplayRole)
        return nullText ? QStringLiteral("NULL") : cell(index.column(), index.row());
    if (role == Qt::EditRole)
        return cell(index.column(), index.row());
    if (nullText)
        return QBrush(Qt::darkGray); // readable on the white grid, yet plainly not a value
    if (role == Qt::BackgroundRole && isFixed(index.column(), index.row()))
        return QGuiApplication::palette().button();
    if (role == Qt::TextAlignmentRole && m_alignNumbers &&
        isNumberCell(index.column(), index.row()))
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

bool GridModel::isNumberCell(int col, int row) const {
    const RowKind kind = m_store.rowKind(row);
    if (isFixed(col, row) || col < 1 || (kind != RowKind::Data && kind != RowKind::Compute))
        return false;
    const ResultSetShape* shape = resultSetAt(row);
    return shape && std::size_t(col) <= shape->types.size() &&
           isNumericType(shape->types[std::size_t(col - 1)]);
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    // An editor closed unchanged writes nothing: a NULL shown as a blank stays NULL.
    const QString text = value.toString();
    if (text == cell(index.column(), index.row()))
        return true;
    setCell(index.column(), index.row(), text);
    emit cellEdited(index.column(), index.row());
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (isFixed(index.column(), index.row()))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void GridModel::setFixed(int rows, int cols) {
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    if (rows == m_fixedRows && cols == m_fixedCols)
        return;
    m_fixedRows = rows;
    m_fixedCols = cols;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole});
}

void GridModel::setShowNullText(bool show) {
    if (show == m_showNullText)
        return;
    m_showNullText = show;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::DisplayRole, Qt::ForegroundRole});
}

void GridModel::setAlignNumbers(bool right) {
    if (right == m_alignNumbers)
        return;
    m_alignNumbers = right;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::TextAlignmentRole});
}

void GridModel::reset(bool lineNumbers) {
    beginResetModel();
    m_store.reset(2, lineNumbers);
    m_resultSets.clear();
    m_dataRows = 0;
    m_columns = 2;
    m_edits.clear();
    endResetModel();
}

const ResultSetShape* GridModel::resultSetAt(int row) const {
    const auto after =
        std::upper_bound(m_resultSets.begin(), m_resultSets.end(), row,
                         [](int r, const ResultSetShape& shape) { return r < shape.headerRow; });
    return after == m_resultSets.begin() ? nullptr : &*(after - 1);
}

void GridModel::apply(GridBatch& batch) {
    for (ResultSetShape& shape : batch.resultSets)
        m_resultSets.push_back(std::move(shape));
    batch.resultSets.clear();
    m_dataRows = batch.dataRows;
    const int columns = batch.maxCols + 1;
    if (columns > m_columns) {
        beginInsertColumns({}, m_columns, columns - 1);
        m_columns = columns;
        endInsertColumns();
    }
    const int oldRows = m_store.rowCount();
    const int oldWritten = m_store.writtenRows();
    if (batch.rowCount > oldRows) {
        beginInsertRows({}, oldRows, batch.rowCount - 1);
        m_store.appendRows(batch.rows);
        m_store.setRowCount(batch.rowCount);
        endInsertRows();
    } else {
        m_store.appendRows(batch.rows);
    }
    // A row shown empty before (the one after a header) may have been written now.
    const int lastFilled = std::min(m_store.writtenRows(), oldRows - 1);
    if (lastFilled > oldWritten)
        emit dataChanged(index(oldWritten + 1, 0), index(lastFilled, m_columns - 1));
}

} // namespace ostrim
