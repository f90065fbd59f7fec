#pragma once
// TSybGrid: a text grid that runs a script of "go"-separated batches over one DB-Library
// connection and shows every result set as a row of column names followed by its rows.

#include "sybase32.h"
#include "sybgrid_loader.h"
#include "sybgrid_store.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <QTableView>
#include <QTimer>

#include <memory>

namespace ostrim {

// The grid's cells: loaded rows in a GridStore, user edits in a small overlay. Row 0 and column
// 0 are the fixed row and column of the grid.
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
    const GridStore& store() const { return m_store; }

    // Two rows, two columns, nothing written; rows written later number themselves when
    // lineNumbers is set.
    void reset(bool lineNumbers);
    // Appends the batch's rows and takes its row and column counts.
    void apply(GridBatch& batch);

private:
    GridStore m_store;
    int m_columns = 2;
    QHash<quint64, QString> m_edits;
};

class Threadgrid;

class TSybGrid : public QTableView {
    Q_OBJECT
public:
    explicit TSybGrid(QWidget* owner = nullptr);
    // Waits for a running loader by running the event loop; the loader stops at its next stop
    // point (a DB-Library call in progress is not interrupted).
    ~TSybGrid() override;

    // The loader has finished or has been told to stop; true without a loader. Reading it true
    // also takes the loader's last rows, so none appears afterwards.
    bool Terminated();
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
    int CharUnit() const { return m_charUnit; }
    int CurrentRow() const { return m_currentRow; }
    int LastResult() const { return m_lastResult; }
    int LastRowStatus() const { return m_lastRowStatus; }
    Threadgrid* Loader() const { return m_loader.get(); }
    GridModel* gridModel() const { return m_model; }

signals:
    // Posted by the loader thread as its last act.
    void loaderFinished();

protected:
    bool event(QEvent* event) override;

private:
    void waitForLoader();
    void takeLoaderRows();
    friend class GridSyncSink;
    void applyBatch(GridBatch& batch);
    void loaderNotified(quint64 generation);

    GridModel* m_model;
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
    quint64 m_generation = 0;
    QTimer m_applyTimer;
    QElapsedTimer m_sinceApply;
};

} // namespace ostrim
