#pragma once
// GridModel: the result grid's cells, as the view reads them.

#include "sybgrid_loader.h"
#include "sybgrid_store.h"

#include <QAbstractTableModel>
#include <QHash>

#include <vector>

namespace ostrim {

// The grid's cells: loaded rows in a GridStore, user edits in a small overlay. The first
// fixedRows() rows and fixedCols() columns are the grid's fixed cells: painted like buttons,
// never selected or edited.
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QString cell(int col, int row) const;
    void setCell(int col, int row, const QString& text);
    // The user or setCell has changed the cell's text since the load.
    bool isEdited(int col, int row) const;
    // A cell the server sent as NULL and nobody has edited since.
    bool isNull(int col, int row) const;
    RowKind rowKind(int row) const { return m_store.rowKind(row); }
    int fixedRows() const { return m_fixedRows; }
    int fixedCols() const { return m_fixedCols; }
    void setFixed(int rows, int cols);
    void setShowNullText(bool show);
    void setAlignNumbers(bool right);
    const GridStore& store() const { return m_store; }
    // The user's result sets in grid order, and the one row lies in (its column names at or
    // above row); null above the first.
    const std::vector<ResultSetShape>& resultSets() const { return m_resultSets; }
    const ResultSetShape* resultSetAt(int row) const;
    // Rows of the user's result sets loaded so far.
    int dataRows() const { return m_dataRows; }

    // Two rows, two columns, nothing written; rows written later number themselves when
    // lineNumbers is set.
    void reset(bool lineNumbers);
    // Appends the batch's rows and takes its row and column counts.
    void apply(GridBatch& batch);

signals:
    // The user changed a cell's text through the view's editor (setData); setCell does not
    // raise it.
    void cellEdited(int col, int row);

private:
    bool isFixed(int col, int row) const { return row < m_fixedRows || col < m_fixedCols; }
    bool isNumberCell(int col, int row) const;

    GridStore m_store;
    std::vector<ResultSetShape> m_resultSets;
    int m_dataRows = 0;
    bool m_showNullText = false;
    bool m_alignNumbers = false;
    int m_columns = 2;
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    QHash<quint64, QString> m_edits;
};

} // namespace ostrim
