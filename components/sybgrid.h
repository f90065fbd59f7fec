#pragma once
// TSybGrid: a text grid that runs a script of "go"-separated batches over one DB-Library
// connection and shows every result set as a row of column names followed by its rows.

#include "grid_runner.h"
#include "sybase32.h"
#include "sybgrid_fixed.h"
#include "sybgrid_loader.h"
#include "sybgrid_model.h"

#include <QDeadlineTimer>
#include <QStringList>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

namespace ostrim {

class TSybGrid : public QTableView {
    Q_OBJECT
public:
    explicit TSybGrid(QWidget* owner = nullptr);
    // Stops a running loader first (StopLoader).
    ~TSybGrid() override;

    // The background run's state; the calls below forward to the GridRunner that owns it.
    GridRunner::State RunState() const { return m_runner->state(); }
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
    // Runs the event loop until the loader has finished or the deadline has come; false when the
    // deadline came first. True at once without a loader.
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

    // The run's server messages and DB-Library errors go to receiver with its rows, in order,
    // instead of into boxes; so do the batches DB-Library refused. Null restores the boxes.
    void setMessageReceiver(std::function<void(std::vector<RunMessage>&)> receiver);
    // Shows a NULL as a grey "NULL" rather than a blank; the cell's text stays as it was.
    void setShowNullText(bool show);
    // A double-click (where it does not edit) or Shift+Enter shows the cell's whole value, and
    // numbers are drawn right-aligned; the cells' text stays as it was.
    void setCellViewer(bool on);
    // The cell's whole value in the viewer, through Dialogs; fixed cells have none.
    void showCellValue(const QModelIndex& index);
    // Rows of the user's result sets loaded so far, and the result set a row lies in.
    int DataRows() const { return m_model->dataRows(); }
    const ResultSetShape* ResultSetAt(int row) const { return m_model->resultSetAt(row); }
    // The last synchronous run, or the finished background run, read every result.
    bool Completed() const;

    void Execute();
    // Sql becomes the file's lines, each after one blank. Throws std::ios_base::failure when the
    // file cannot be read.
    void LoadSqlFromFile(const QString& fileName);
    void BindDbProc();
    void SplitBatches();
    const QStringList& Batches() const { return m_script.batches; }
    const SplitScript& Script() const { return m_script; }

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
    Threadgrid* Loader() const { return m_runner->loader(); }
    GridModel* gridModel() const { return m_model; }
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

signals:
    // Posted by the loader thread as its last act.
    void loaderFinished();

protected:
    void updateGeometries() override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyBatch(GridBatch& batch);
    // Places the fixed views over the viewport's top and left edges.
    void layoutFixedViews();
    void updateFixedViews();
    int fixedHeight() const;
    int fixedWidth() const;
    friend class GridFixedCells;

    GridModel* m_model;
    bool m_cellViewer = false;
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
    bool m_syncCompleted = false;
    std::function<void(std::vector<RunMessage>&)> m_messageReceiver;
    std::unique_ptr<GridRunner> m_runner;
};

} // namespace ostrim
