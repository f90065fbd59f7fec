#include "syblistcontrol.h"

#include "sybdatabase.h"

#include <QWidget>

#include <sybdb.h>
#include <sybfront.h>

namespace ostrim {

namespace {

// The font size in the unit the width rule counts characters in.
double fontSize(const QWidget& widget) {
    const QFont& font = widget.font();
    return font.pointSizeF() > 0 ? font.pointSizeF() : double(font.pixelSize());
}

} // namespace

ListControl::ListControl(QWidget* self) : m_self(self) {}

void ListControl::setTableName(const QString& name) {
    m_tableName = name.left(kNameLength);
}

void ListControl::setFieldName(const QString& name) {
    m_fieldName = name.left(kNameLength);
}

void ListControl::setDbName(const QString& name) {
    m_dbName = name.left(kNameLength);
    linkDatabase();
}

void ListControl::linkDatabase() {
    m_dbProc = TSybDatabase::linkedProcess(m_autoDbProc, m_dbName, m_dbProc);
}

void ListControl::setDesignActive(bool active) {
    m_designActive = active;
    if (!active)
        return;
    linkDatabase();
    if (m_sql.size() > 1 || (!m_tableName.isEmpty() && !m_fieldName.isEmpty()))
        Fill();
}

QStringList ListControl::loadItems(bool cancelFirst) {
    DBPROCESS* process = m_dbProc.get();
    const double size = fontSize(*m_self);
    int widthChars = size > 0 ? qRound(m_self->width() / size) : 0;
    if (cancelFirst)
        dbcancel(process);
    if (m_sql.isEmpty())
        m_sql = QStringLiteral("select ") + m_fieldName + QStringLiteral(" from ") + m_tableName;
    dbcmd(process, m_sql.toLocal8Bit().constData());
    dbsqlexec(process);
    RETCODE code = dbresults(process);
    m_rowsReturned = dbrows(process) == SUCCEED;

    QStringList items;
    QByteArray buffer;
    while (code != NO_MORE_RESULTS && code != FAIL) {
        if (code == SUCCEED) {
            // BUF_FULL ends the rows too: with DBBUFFER on the handle it would repeat forever.
            for (STATUS row;
                 (row = dbnextrow(process)) != NO_MORE_ROWS && row != FAIL && row != BUF_FULL;) {
                columnText(m_dbProc, 1, buffer);
                items.append(textFromDbLib(buffer));
                if (m_autoSize)
                    widthChars = std::max(widthChars, int(items.last().size()));
            }
        }
        code = dbresults(process);
    }
    if (m_autoSize)
        m_self->resize(qRound(size * widthChars) + 10, m_self->height());
    return items;
}

} // namespace ostrim
