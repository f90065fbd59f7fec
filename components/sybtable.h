#pragma once
// TSybTable: names a table on a connection, lists its columns from the catalogue, and walks the
// rows of whatever result is pending on its process with the moves of a query. It sends no
// query of its own and has no navigator.

#include "sybase32.h"
#include "sybquery.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace ostrim {

class TSybTable : public QObject {
    Q_OBJECT
public:
    explicit TSybTable(QObject* owner = nullptr);
    ~TSybTable() override;

    // Every table whose Name was set, in order of entry. Unguarded: GUI thread only.
    static const std::vector<TSybTable*>& TableList();
    // The first table whose Name is exactly name, preferring one in the window of near;
    // nullptr when none.
    static TSybTable* findTable(const QString& name, const QObject* near = nullptr);

    QString Name() const { return objectName(); }
    // Cut to 30 characters; enters TableList.
    void setName(const QString& name);

    bool RowsReturned() const { return m_rowsReturned; }
    void setRowsReturned(bool value) { m_rowsReturned = value; }
    QString DbName() const { return m_dbName; }
    // Cut to 30 characters; links the connection of that Name when AutoDbProc is set.
    void setDbName(const QString& name);
    QString TableName() const { return m_tableName; }
    // Cut to 30 characters; then lists the columns, only while DesignActive.
    void setTableName(const QString& name);
    bool DesignActive() const { return m_designActive; }
    // Links the connection; True with a TableName lists the table's columns in DesignFields.
    void setDesignActive(bool active);
    int MaxCount() const { return m_maxCount; }
    void setMaxCount(int value) { m_maxCount = value; }
    // Never maintained.
    int ColumnCount() const { return 0; }
    int BufferSize() const { return m_bufferSize; }
    // n > 0: DBBUFFER on the current DbProc; result in LastResult. The moves need SUCCEED there.
    void setBufferSize(int n);
    bool AutoDbProc() const { return m_autoDbProc; }
    void setAutoDbProc(bool value) { m_autoDbProc = value; }
    DbProcHandle DbProc() const { return m_dbProc; }
    void setDbProc(DbProcHandle process) { m_dbProc = process; }
    QString SProcUpdate() const { return m_sprocUpdate; }
    void setSProcUpdate(const QString& name) { m_sprocUpdate = name.left(kNameLength); }
    QString SProcInsert() const { return m_sprocInsert; }
    void setSProcInsert(const QString& name) { m_sprocInsert = name.left(kNameLength); }
    QString SProcDelete() const { return m_sprocDelete; }
    void setSProcDelete(const QString& name) { m_sprocDelete = name.left(kNameLength); }
    bool UpdateFields() const { return m_updateFields; }
    void setUpdateFields(bool value) { m_updateFields = value; }

    int LastResult() const { return m_lastResult; }
    int RowStatus() const { return m_rowStatus; }
    int CurrentRow() const { return m_currentRow; }
    const QStringList& Fields() const { return m_fields.names(); }
    FieldNameList& fieldList() { return m_fields; }
    const QStringList& DesignFields() const { return m_designFields; }

    // The row moves over the pending result; each is kNoMoreRows unless LastResult is kSucceed.
    int Next();
    int Prior();
    int First();
    int Last();
    // The current row's value in column (from 1) as text.
    QString ColumnValue(int column) const;

private:
    void linkDatabase();
    void listColumns();
    // dbgetrow to row; a row there becomes current and reaches the controls.
    int moveTo(int row);
    void updateControls();

    bool m_rowsReturned = false;
    QString m_dbName;
    QString m_tableName;
    bool m_designActive = false;
    int m_maxCount = 0;
    int m_bufferSize = 0;
    bool m_autoDbProc = true;
    DbProcHandle m_dbProc;
    QString m_sprocUpdate;
    QString m_sprocInsert;
    QString m_sprocDelete;
    bool m_updateFields = true;

    int m_lastResult = kFail;
    int m_rowStatus = 0;
    int m_currentRow = 0;
    // FreeTDS's dbcurrow always answers 0 and dbdata keeps pointing at the row last received,
    // so the table counts the rows it receives and keeps their texts, as the query does.
    int m_received = 0;
    bool m_fromBuffer = false;
    std::vector<QStringList> m_rows;
    FieldNameList m_fields;
    QStringList m_designFields;
};

} // namespace ostrim
