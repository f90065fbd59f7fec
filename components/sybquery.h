#pragma once
// TSybQuery: sends one SQL batch over a DB-Library process and walks the rows of its result sets,
// reading every value as text. Bound navigators and value controls follow its row moves.

#include "sybase32.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

class QDataStream;

namespace ostrim {

class NavigatorLink;

// DB-Library codes the query reports besides kSucceed and kFail.
inline constexpr int kNoMoreResults = 2;
inline constexpr int kMoreRows = -1;
inline constexpr int kNoMoreRows = -2;

// The names of the value controls bound to a data set: at most 255 names of at most 30
// characters, in insertion order, without duplicates. Streamed with the form; the data set
// itself never reads it.
class FieldNameList {
public:
    const QStringList& names() const { return m_names; }
    // Nothing when the name is empty, already listed or the list is full.
    void add(const QString& name);
    void remove(const QString& name);
    // Keeps the position of from; adds to when from is not listed.
    void rename(const QString& from, const QString& to);
    void clear() { m_names.clear(); }

    // "FieldsProp": the names in order; reading appends each (cut to 30 characters).
    void writeFieldsProp(QDataStream& out) const;
    void readFieldsProp(QDataStream& in);
    // "FieldsCountProp": the number of names. Reading consumes it: the list carries its own size.
    void writeFieldsCountProp(QDataStream& out) const;
    static void readFieldsCountProp(QDataStream& in);
    // Both properties, each preceded by its name.
    void write(QDataStream& out) const;
    void read(QDataStream& in);

private:
    QStringList m_names;
};

class TSybQuery : public QObject {
    Q_OBJECT
public:
    explicit TSybQuery(QObject* owner = nullptr);
    // Leaves QueryList; pending rows stay on the process.
    ~TSybQuery() override;

    // Every query whose Name was set, in order of entry (procedure components too). Unguarded:
    // GUI thread only.
    static const std::vector<TSybQuery*>& QueryList();
    // The first query whose Name is exactly name; nullptr when none.
    static TSybQuery* findQuery(const QString& name);

    QString Name() const { return objectName(); }
    // Cut to 30 characters; enters QueryList.
    void setName(const QString& name);

    // Sends Sql and makes its first result set current; returns dbresults' code. Sends nothing
    // and returns kFail without a process or while rows of the last result are being read.
    virtual int Execute();
    // kMoreRows when a row is current, kNoMoreRows at the end; moves on to the next result set
    // when the current one ends.
    virtual int Next();
    // Moves within DB-Library's row buffer (BufferSize > 0); each returns NavStatus.
    virtual int Prior();
    virtual int First();
    virtual int Last();
    // Next, true exactly when it gave kMoreRows.
    bool Fetch();

    QString Sql() const { return m_sql; }
    void setSql(const QString& sql) { m_sql = sql; }
    // Appends exactly as given: no blank or line break in between.
    void AddSql(const QString& text) { m_sql += text; }
    void ClearSql() { m_sql.clear(); }
    QString DesignSql() const { return m_designSql; }
    void setDesignSql(const QString& sql) { m_designSql = sql; }
    bool DesignActive() const { return m_designActive; }
    // True runs DesignSql and lists its column names in DesignFields; no row is read.
    void setDesignActive(bool active);
    QString DbName() const { return m_dbName; }
    // Cut to 30 characters; links the connection of that Name when AutoDbProc is set.
    void setDbName(const QString& name);
    bool AutoDbProc() const { return m_autoDbProc; }
    void setAutoDbProc(bool value) { m_autoDbProc = value; }
    DbProcHandle DbProc() const { return m_dbProc; }
    void setDbProc(DbProcHandle process) { m_dbProc = process; }
    int BufferSize() const { return m_bufferSize; }
    // n > 0: DBBUFFER on the current DbProc (the whole process's option); result in LastResult.
    void setBufferSize(int n);
    bool UpdateFields() const { return m_updateFields; }
    void setUpdateFields(bool value) { m_updateFields = value; }

    int ColumnCount() const { return m_columnCount; }
    int LastResult() const { return m_lastResult; }
    int RowStatus() const { return m_rowStatus; }
    int NavStatus() const { return m_navStatus; }
    bool RowsReturned() const { return m_rowsReturned; }
    int CurrentCommand() const { return m_currentCommand; }
    int CurrentRow() const { return m_currentRow; }

    // Columns count from 1; at most 255 are addressable.
    QString ColumnValue(int column) const;
    QString ColumnName(int column) const;
    QString ColumnTypeName(int column) const;
    int ColumnLength(int column) const;
    // A stored procedure's return parameter as text.
    QString ReturnValue(int number) const;

    const QStringList& Fields() const { return m_fields.names(); }
    FieldNameList& fieldList() { return m_fields; }
    const QStringList& DesignFields() const { return m_designFields; }

    // The navigator found at the last Execute (nullptr when none or since destroyed).
    NavigatorLink* boundNavigator() const;
    // A value control named control shows parameter param. Procedure components take the
    // control's text as that parameter's value; a plain query has no parameters.
    virtual void linkParameterField(const QString& param, const QString& control);

protected:
    // The connection named by DbName gives its DbProc (AutoDbProc only).
    void linkDatabase();
    // Reads the state of the result set just made current.
    void takeResultState();
    // dbnextrow, keeping the row count and the texts of buffered rows (below).
    int readNextRow();
    // Makes buffered row number row current after a successful dbgetrow.
    void showBufferedRow(int row);
    // Pushes the current row into the value controls bound by name.
    void updateControls();
    void setNavigatorButtons(bool first, bool prior, bool next, bool last);

    QString m_sql;
    QString m_designSql;
    QString m_dbName;
    DbProcHandle m_dbProc;
    int m_bufferSize = 0;
    bool m_autoDbProc = true;
    bool m_updateFields = true;
    bool m_designActive = false;

    int m_columnCount = 0;
    int m_lastResult = kFail;
    int m_rowStatus = 0;
    int m_navStatus = 0;
    bool m_rowsReturned = false;
    int m_currentCommand = 0;
    int m_currentRow = 0;
    bool m_firstRow = true;
    // FreeTDS's dbcurrow always returns 0, and after dbgetrow (or a dbnextrow served from the
    // row buffer) dbdata still points at the row last received. So the query counts the rows
    // of the current result set itself and keeps the texts of the rows DB-Library buffers.
    int m_received = 0;
    int m_rowNumber = 0;
    bool m_buffering = false;
    bool m_fromBuffer = false;
    std::vector<QStringList> m_bufferedRows;
    FieldNameList m_fields;
    QStringList m_designFields;
    NavigatorLink* m_navigator = nullptr;
};

} // namespace ostrim
