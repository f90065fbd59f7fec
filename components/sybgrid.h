#pragma once
// TSybGrid: a text grid that runs a script of "go"-separated batches over one DB-Library
// connection and shows every result set as a row of column names followed by its rows.

#include "sybase32.h"
#include "sybgrid_loader.h"
#include "sybgrid_store.h"

#include <QAbstractTableModel>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <QTableView>
#include <QTimer>

#include <memory>

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
    // A cell the server sent as NULL and nobody has edited since.
    bool isNull(int col, int row) const;
    RowKind rowKind(int row) const { return m_store.rowKind(row); }
    int fixedRows() const { return m_fixedRows; }
    int fixedCols() const { return m_fixedCols; }
    void setFixed(int rows, int cols);
    const GridStore& store() const { return m_store; }

    // Two rows, two columns, nothing written; rows written later number themselves when
    // lineNumbers is set.
    void reset(bool lineNumbers);
    // Appends the batch's rows and takes its row and column counts.
    void apply(GridBatch& batch);

private:
    bool isFixed(int col, int row) const { return row < m_fixedRows || col < m_fixedCols; }

    GridStore m_store;
    int m_columns = 2;
    int m_fixedRows = 1;
    int m_fixedCols = 1;
    QHash<quint64, QString> m_edits;
};

class Threadgrid;
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

class TSybGrid : public QTableView {
    Q_OBJECT
public:
    explicit TSybGrid(QWidget* owner = nullptr);
    // Stops a running loader first (StopLoader).
    ~TSybGrid() override;

    // The loader has finished or has been told to stop; true without a loader. Reading it true
    // also takes the loader's last rows, so none appears afterwards.
    bool Terminated();
    // The loader is held at a stop point by Suspend. Reading it true also takes the rows it
    // handed over before, so none appears while the pause lasts.
    bool Paused();
    // Stops a running loader and waits for it, running the event loop under a busy cursor. The
    // server is asked to end the statement in progress; a server that has not answered within a
    // few seconds loses the connection (Threadgrid::CutConnection), so the wait always ends.
    void StopLoader();
    // Runs the event loop until the loader (there must be one) has finished or the deadline has
    // come; false when the deadline came first.
    bool waitForLoader(QDeadlineTimer deadline);
    QString DbName() const { return m_dbName; }
    void setDbName(const QString& name);
    QString Sql() const { return m_sql; }
    void setSql(const QString& sql) { m_sql = sql; }
    bool DesignActive() const { return m_designActive; }
    void setDesignActive(bool active);
    bool ShowLineNum() const { return m_showLineNum; }
    void setShowLineNum(bool show) { m_showLineNum = show; }
    bool ShowRowCount() const { return m_showRowCount; }
    void setShowRowCount(bool show) { m_showRowCount = show; }
    bool RowsReturned() const { return m_rowsReturned; }
    bool AutoDbProc() const { return m_autoDbProc; }
    void setAutoDbProc(bool automatic) { m_autoDbProc = automatic; }
    bool Background() const { return m_background; }
    void setBackground(bool background) { m_background = background; }
    int ColumnCount() const { return m_columnCount; }
    DbProcHandle DbProc() const { return m_dbProc; }
    void setDbProc(DbProcHandle process) { m_dbProc = process; }

    void Execute();
    // Sql becomes the file's lines, each after one blank. Throws std::ios_base::failure when the
    // file cannot be read.
    void LoadSqlFromFile(const QString& fileName);
    void BindDbProc();
    void SplitBatches();
    const QStringList& Batches() const { return m_script.batches; }

    // Of the connection's current result set.
    qint16 ColumnIndex(const QString& name) const;
    bool IsCharColumn(int col) const;
    QString ColumnName(int col) const;
    QString ColumnTypeName(int col) const;

    // The string grid's own surface.
    QString cell(int col, int row) const { return m_model->cell(col, row); }
    void setCell(int col, int row, const QString& text) { m_model->setCell(col, row, text); }
    int rowCount() const { return m_model->rowCount(); }
    int colCount() const { return m_model->columnCount(); }
    // Rows and columns at the top and left that stay in place while the rest scrolls; the model
    // keeps grid coordinates, so row 0 is the fixed row whatever the scroll position.
    int FixedRows() const { return m_model->fixedRows(); }
    void setFixedRows(int rows);
    int FixedCols() const { return m_model->fixedCols(); }
    void setFixedCols(int cols);
    int CharUnit() const { return m_charUnit; }
    int CurrentRow() const { return m_currentRow; }
    int LastResult() const { return m_lastResult; }
    int LastRowStatus() const { return m_lastRowStatus; }
    Threadgrid* Loader() const { return m_loader.get(); }
    GridModel* gridModel() const { return m_model; }
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    // Posted by the loader thread as its last act.
    void loaderFinished();

protected:
    bool event(QEvent* event) override;
    void updateGeometries() override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void takeLoaderRows();
    friend class GridSyncSink;
    void applyBatch(GridBatch& batch);
    void loaderNotified(quint64 generation);
    // Places the fixed views over the viewport's top and left edges.
    void layoutFixedViews();
    void updateFixedViews();
    int fixedHeight() const;
    int fixedWidth() const;
    friend class GridFixedCells;

    GridModel* m_model;
    // The first and last rows on screen at the last paint; -1 when not known.
    int m_firstPainted = -1;
    int m_lastPainted = -1;
    GridFixedCells* m_fixedTop = nullptr;
    GridFixedCells* m_fixedLeft = nullptr;
    GridFixedCells* m_fixedCorner = nullptr;
    QString m_dbName;
    QString m_sql;
    bool m_designActive = false;
    bool m_showLineNum = true;
    bool m_showRowCount = true;
    bool m_rowsReturned = false;
    bool m_autoDbProc = true;
    bool m_background = false;
    int m_columnCount = 0;
    DbProcHandle m_dbProc;
    SplitScript m_script;
    int m_charUnit = 9;
    int m_currentRow = 1;
    int m_lastResult = 0;
    int m_lastRowStatus = 0;

    std::unique_ptr<Threadgrid> m_loader;
    std::shared_ptr<LoaderChannel> m_channel;
    GridBatch m_received; // the loader's rows on their way into the model
    quint64 m_generation = 0;
    QTimer m_applyTimer;
    QElapsedTimer m_sinceApply;
};

} // namespace ostrim
