#include "sybquery.h"

#include "navigator_link.h"
#include "registry.h"
#include "sybdatabase.h"
#include "sybdatacontrol.h"

#include <QDataStream>

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>

namespace ostrim {

namespace {

constexpr int kMaxNames = 255;
constexpr int kMaxColumns = 255;

using Queries = Registry<TSybQuery>;

const QString kFieldsProp = QStringLiteral("FieldsProp");
const QString kFieldsCountProp = QStringLiteral("FieldsCountProp");

} // namespace

void FieldNameList::add(const QString& name) {
    const QString cut = name.left(kNameLength);
    if (cut.isEmpty() || m_names.contains(cut) || m_names.size() >= kMaxNames)
        return;
    m_names.append(cut);
}

void FieldNameList::remove(const QString& name) {
    m_names.removeAll(name.left(kNameLength));
}

void FieldNameList::rename(const QString& from, const QString& to) {
    const QString target = to.left(kNameLength);
    const qsizetype at = m_names.indexOf(from.left(kNameLength));
    if (at < 0 || from.isEmpty()) {
        add(target);
        return;
    }
    if (target.isEmpty() || m_names.contains(target))
        m_names.removeAt(at);
    else
        m_names[at] = target;
}

void FieldNameList::writeFieldsProp(QDataStream& out) const {
    out << m_names;
}

void FieldNameList::readFieldsProp(QDataStream& in) {
    QStringList names;
    in >> names;
    for (const QString& name : names)
        add(name);
}

void FieldNameList::writeFieldsCountProp(QDataStream& out) const {
    out << qint32(m_names.size());
}

void FieldNameList::readFieldsCountProp(QDataStream& in) {
    qint32 count = 0;
    in >> count;
}

void FieldNameList::write(QDataStream& out) const {
    out << kFieldsProp;
    writeFieldsProp(out);
    out << kFieldsCountProp;
    writeFieldsCountProp(out);
}

void FieldNameList::read(QDataStream& in) {
    for (int i = 0; i < 2 && in.status() == QDataStream::Ok; ++i) {
        QString name;
        in >> name;
        if (name == kFieldsProp)
            readFieldsProp(in);
        else if (name == kFieldsCountProp)
            readFieldsCountProp(in);
        else
            in.setStatus(QDataStream::ReadCorruptData);
    }
}

TSybQuery::TSybQuery(QObject* owner) : QObject(owner) {}

TSybQuery::~TSybQuery() {
    Queries::leave(this);
}

const std::vector<TSybQuery*>& TSybQuery::QueryList() {
    return Queries::items();
}

TSybQuery* TSybQuery::findQuery(const QString& name) {
    return Queries::find(name, [](const TSybQuery& query) { return query.Name(); });
}

void TSybQuery::setName(const QString& name) {
    setObjectName(name.left(kNameLength));
    Queries::enter(this);
}

void TSybQuery::setDbName(const QString& name) {
    m_dbName = name.left(kNameLength);
    linkDatabase();
}

void TSybQuery::linkDatabase() {
    m_dbProc = TSybDatabase::linkedProcess(m_autoDbProc, m_dbName, m_dbProc);
}

void TSybQuery::setBufferSize(int n) {
    m_bufferSize = n;
    if (n <= 0)
        return;
    m_lastResult = setRowBuffer(m_dbProc, n);
}

void TSybQuery::setDesignActive(bool active) {
    m_designActive = active;
    if (!active)
        return;
    linkDatabase();
    TSybQuery design;
    design.setAutoDbProc(m_autoDbProc);
    design.m_dbName = m_dbName;
    design.setDbProc(m_dbProc);
    design.setSql(m_designSql);
    design.Execute();
    m_designFields.clear();
    for (int c = 1; c <= design.ColumnCount() && c <= kMaxNames; ++c)
        m_designFields.append(design.ColumnName(c).left(kNameLength));
}

int TSybQuery::Execute() {
    // Unnamed (temporary) queries bind no navigator: an empty name names nothing.
    if (NavigatorLink* navigator = NavigatorLink::findForDataSet(Name(), this))
        m_navigator = navigator;
    linkDatabase();
    if (!m_dbProc)
        return kFail;
    if (m_rowStatus == kMoreRows)
        return kFail;
    DBPROCESS* process = m_dbProc.get();
    // Results an earlier batch left unread are thrown away (the server stops sending them):
    // otherwise DB-Library refuses the new batch and hands out the old results as its answer.
    dbcancel(process);
    dbcmd(process, m_sql.toLocal8Bit().constData());
    dbsqlexec(process);
    takeResultState();
    return m_lastResult;
}

void TSybQuery::takeResultState() {
    DBPROCESS* process = m_dbProc.get();
    m_currentCommand = dbcurcmd(process);
    m_lastResult = dbresults(process);
    m_rowsReturned = dbrows(process) == SUCCEED;
    m_columnCount = dbnumcols(process);
    m_rowStatus = 0;
    m_received = 0;
    m_rowNumber = 0;
    m_fromBuffer = false;
    m_bufferedRows.clear();
    m_buffering = dbisopt(process, DBBUFFER, nullptr);
}

int TSybQuery::readNextRow() {
    const int status = dbnextrow(m_dbProc.get());
    if (status != kMoreRows) {
        m_fromBuffer = false;
        return status;
    }
    if (m_rowNumber < m_received) {
        ++m_rowNumber;
        m_fromBuffer = true;
        return status;
    }
    m_rowNumber = ++m_received;
    m_fromBuffer = false;
    if (m_buffering) {
        QStringList texts;
        for (int c = 1; c <= std::min(m_columnCount, kMaxColumns); ++c)
            texts << columnText(m_dbProc, c);
        m_bufferedRows.push_back(std::move(texts));
    }
    return status;
}

void TSybQuery::showBufferedRow(int row) {
    m_rowNumber = row;
    m_fromBuffer = true;
}

int TSybQuery::Next() {
    m_navStatus = 0;
    if (m_lastResult != kSucceed)
        return kNoMoreRows;
    DBPROCESS* process = m_dbProc.get();
    m_rowStatus = readNextRow();
    if (m_rowStatus == kNoMoreRows) {
        if (dbmorecmds(process) == SUCCEED)
            takeResultState();
        m_rowStatus = readNextRow();
    }
    if (m_updateFields && m_rowStatus == kMoreRows)
        updateControls();
    if (NavigatorLink* navigator = boundNavigator();
        navigator && !navigator->Name().trimmed().isEmpty()) {
        if (m_rowStatus == kNoMoreRows) {
            navigator->setMoveButtons(true, true, false, false);
        } else if (m_rowStatus == kMoreRows) {
            if (m_firstRow) {
                navigator->setMoveButtons(false, false, true, true);
                m_firstRow = false;
            } else {
                navigator->setMoveButtons(true, true, true, true);
            }
        }
    }
    m_currentRow = m_rowNumber;
    m_navStatus = m_rowStatus;
    return m_navStatus;
}

int TSybQuery::Prior() {
    m_navStatus = 0;
    if (m_lastResult != kSucceed) {
        m_navStatus = kNoMoreRows;
        return m_navStatus;
    }
    m_currentRow = m_rowNumber;
    if (m_currentRow > 1)
        --m_currentRow;
    const int code = dbgetrow(m_dbProc.get(), m_currentRow);
    if (code == kNoMoreRows) {
        m_navStatus = code;
        return m_navStatus;
    }
    if (code == kMoreRows)
        showBufferedRow(m_currentRow);
    if (m_updateFields)
        updateControls();
    if (m_currentRow == 1)
        setNavigatorButtons(false, false, true, true);
    else
        setNavigatorButtons(true, true, true, true);
    m_navStatus = code;
    return m_navStatus;
}

int TSybQuery::First() {
    int code = kNoMoreRows;
    if (m_lastResult == kSucceed) {
        code = dbgetrow(m_dbProc.get(), 1);
        if (code == kMoreRows)
            showBufferedRow(1);
        if (m_updateFields)
            updateControls();
        setNavigatorButtons(false, false, true, true);
    }
    m_navStatus = code;
    return code;
}

int TSybQuery::Last() {
    int code = kNoMoreRows;
    if (m_lastResult == kSucceed) {
        DBPROCESS* process = m_dbProc.get();
        const int last = dblastrow(process);
        code = dbgetrow(process, last);
        if (code == kMoreRows)
            showBufferedRow(last);
        if (m_updateFields)
            updateControls();
        setNavigatorButtons(true, true, false, false);
    }
    m_navStatus = code;
    return code;
}

bool TSybQuery::Fetch() {
    return Next() == kMoreRows;
}

NavigatorLink* TSybQuery::boundNavigator() const {
    return NavigatorLink::isListed(m_navigator) ? m_navigator : nullptr;
}

void TSybQuery::setNavigatorButtons(bool first, bool prior, bool next, bool last) {
    if (NavigatorLink* navigator = boundNavigator())
        navigator->setMoveButtons(first, prior, next, last);
}

void TSybQuery::linkParameterField(const QString& /*param*/, const QString& /*control*/) {}

void TSybQuery::updateControls() {
    for (int c = 1; c <= m_columnCount; ++c)
        DataControl::fill(
            this, Name(), ColumnName(c), [&] { return ColumnValue(c); }, true);
}

QString TSybQuery::ColumnValue(int column) const {
    if (column < 1 || column > kMaxColumns)
        return {};
    if (m_fromBuffer && m_rowNumber >= 1 && m_rowNumber <= int(m_bufferedRows.size())) {
        const QStringList& row = m_bufferedRows[size_t(m_rowNumber - 1)];
        return column <= row.size() ? row[column - 1] : QString();
    }
    // dbdata still holds the last regular row there.
    if (m_rowStatus > 0 && m_dbProc) {
        QByteArray buffer;
        computeColumnText(m_dbProc.get(), m_rowStatus, column, buffer);
        return textFromDbLib(buffer);
    }
    return columnText(m_dbProc, column);
}

QString TSybQuery::ColumnName(int column) const {
    DBPROCESS* process = m_dbProc.get();
    if (!process || column < 1 || column > dbnumcols(process))
        return {};
    const char* name = dbcolname(process, column);
    return name ? QString::fromLocal8Bit(name) : QString();
}

QString TSybQuery::ColumnTypeName(int column) const {
    DBPROCESS* process = m_dbProc.get();
    if (!process || column < 1 || column > dbnumcols(process))
        return {};
    const char* name = dbprtype(dbcoltype(process, column));
    return name ? QString::fromLatin1(name) : QString();
}

int TSybQuery::ColumnLength(int column) const {
    DBPROCESS* process = m_dbProc.get();
    if (!process || column < 1 || column > dbnumcols(process))
        return 0;
    return dbcollen(process, column);
}

QString TSybQuery::ReturnValue(int number) const {
    return returnText(m_dbProc, number);
}

} // namespace ostrim
