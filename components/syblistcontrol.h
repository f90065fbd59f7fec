#pragma once
// What TSybComboBox and TSybListBox share: a query whose first column fills the item list, run
// on a connection handle of their own.

#include "sybase32.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace ostrim {

class ListControl {
public:
    virtual ~ListControl() = default;

    // Reloads the items from every result set of Sql.
    virtual void Fill() = 0;

    QString Sql() const { return m_sql; }
    void setSql(const QString& sql) { m_sql = sql; }
    void ClearSql() { m_sql.clear(); }
    QString TableName() const { return m_tableName; }
    void setTableName(const QString& name);
    QString FieldName() const { return m_fieldName; }
    void setFieldName(const QString& name);
    QString DbName() const { return m_dbName; }
    // Cut to 30 characters; links the connection of that Name when AutoDbProc is set.
    void setDbName(const QString& name);
    DbProcHandle DbProc() const { return m_dbProc; }
    void setDbProc(DbProcHandle process) { m_dbProc = process; }
    bool AutoDbProc() const { return m_autoDbProc; }
    void setAutoDbProc(bool value) { m_autoDbProc = value; }
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool value) { m_autoSize = value; }
    bool RowsReturned() const { return m_rowsReturned; }
    bool DesignActive() const { return m_designActive; }
    // True fills at once when Sql has more than one character or TableName and FieldName are set.
    void setDesignActive(bool active);

protected:
    explicit ListControl(QWidget* self);
    ListControl(const ListControl&) = delete;
    ListControl& operator=(const ListControl&) = delete;

    void linkDatabase();
    // The fill's steps between emptying the list and showing the items: cancelFirst throws away
    // whatever is pending on the handle. Returns column 1 of every row of every result set and
    // widens m_self when AutoSize is set. Call only with a handle.
    QStringList loadItems(bool cancelFirst);

private:
    QWidget* m_self;
    QString m_sql;
    QString m_tableName;
    QString m_fieldName;
    QString m_dbName;
    DbProcHandle m_dbProc;
    bool m_autoDbProc = true;
    bool m_autoSize = false;
    bool m_rowsReturned = false;
    bool m_designActive = false;
};

} // namespace ostrim
