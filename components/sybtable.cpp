#include "sybtable.h"

#include "component_window.h"
#include "object_text.h"
#include "registry.h"
#include "sybdatabase.h"
#include "sybdatacontrol.h"

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>

namespace ostrim {

namespace {

constexpr int kMaxColumns = 255;
constexpr int kMaxNames = 255;

using Tables = Registry<TSybTable>;

} // namespace

TSybTable::TSybTable(QObject* owner) : QObject(owner) {}

TSybTable::~TSybTable() {
    Tables::leave(this);
}

const std::vector<TSybTable*>& TSybTable::TableList() {
    return Tables::items();
}

TSybTable* TSybTable::findTable(const QString& name, const QObject* near) {
    return findNearest(
        Tables::items(), name, near, [](const TSybTable& table) { return table.Name(); },
        [](const TSybTable& table) -> const QObject* { return &table; });
}

void TSybTable::setName(const QString& name) {
    setObjectName(name.left(kNameLength));
    Tables::enter(this);
}

void TSybTable::setDbName(const QString& name) {
    m_dbName = name.left(kNameLength);
    linkDatabase();
}

void TSybTable::linkDatabase() {
    m_dbProc = TSybDatabase::linkedProcess(m_autoDbProc, m_dbName, m_dbProc);
}

void TSybTable::setTableName(const QString& name) {
    m_tableName = name.left(kNameLength);
    listColumns();
}

void TSybTable::setDesignActive(bool active) {
    m_designActive = active;
    linkDatabase();
    if (!m_tableName.isEmpty())
        listColumns();
}

void TSybTable::listColumns() {
    if (!m_designActive)
        return;
    linkDatabase();
    TSybQuery columns;
    columns.setAutoDbProc(false);
    columns.setDbProc(m_dbProc);
    columns.setSql("select name from syscolumns where id = object_id(" + sqlString(m_tableName) +
                   ") order by colid");
    m_designFields.clear();
    if (columns.Execute() != kSucceed)
        return;
    while (columns.Next() == kMoreRows)
        if (m_designFields.size() < kMaxNames)
            m_designFields.append(columns.ColumnValue(1).left(kNameLength));
}

void TSybTable::setBufferSize(int n) {
    m_bufferSize = n;
    if (n <= 0)
        return;
    m_lastResult = setRowBuffer(m_dbProc, n);
}

int TSybTable::Next() {
    if (m_lastResult != kSucceed)
        return kNoMoreRows;
    DBPROCESS* process = m_dbProc.get();
    m_rowStatus = dbnextrow(process);
    if (m_rowStatus != kMoreRows) {
        m_fromBuffer = false;
        return m_rowStatus;
    }
    if (m_currentRow < m_received) {
        // Back in the rows DB-Library keeps, after a move backwards.
        ++m_currentRow;
        m_fromBuffer = true;
    } else {
        m_currentRow = ++m_received;
        m_fromBuffer = false;
        QStringList texts;
        for (int c = 1; c <= std::min(dbnumcols(process), kMaxColumns); ++c)
            texts << columnText(m_dbProc, c);
        m_rows.push_back(std::move(texts));
    }
    if (m_updateFields)
        updateControls();
    return m_rowStatus;
}

int TSybTable::Prior() {
    if (m_lastResult != kSucceed)
        return kNoMoreRows;
    return moveTo(std::max(1, m_currentRow - 1));
}

int TSybTable::First() {
    if (m_lastResult != kSucceed)
        return kNoMoreRows;
    return moveTo(1);
}

int TSybTable::Last() {
    if (m_lastResult != kSucceed)
        return kNoMoreRows;
    return moveTo(dblastrow(m_dbProc.get()));
}

int TSybTable::moveTo(int row) {
    const int code = dbgetrow(m_dbProc.get(), row);
    if (code == kMoreRows) {
        m_currentRow = row;
        m_fromBuffer = true;
        if (m_updateFields)
            updateControls();
    }
    return code;
}

QString TSybTable::ColumnValue(int column) const {
    if (column < 1 || column > kMaxColumns)
        return {};
    if (m_fromBuffer && m_currentRow >= 1 && m_currentRow <= int(m_rows.size())) {
        const QStringList& row = m_rows[size_t(m_currentRow - 1)];
        return column <= row.size() ? row[column - 1] : QString();
    }
    return columnText(m_dbProc, column);
}

void TSybTable::updateControls() {
    DBPROCESS* process = m_dbProc.get();
    if (Name().isEmpty())
        return;
    for (int c = 1; c <= std::min(dbnumcols(process), kMaxColumns); ++c) {
        const char* name = dbcolname(process, c);
        const QString column = name ? QString::fromLocal8Bit(name) : QString();
        if (column.isEmpty())
            continue;
        DataControl::fill(
            this, Name(), column, [&] { return ColumnValue(c); }, true);
    }
}

} // namespace ostrim
