#include "source_text.h"

#include <sybdb.h>

namespace ostrim {

QStringList firstColumn(DbProcHandle process, const QString& sql) {
    QStringList values;
    DBPROCESS* p = process.get();
    if (!p)
        return values;
    dbcancel(p);
    if (dbcmd(p, sql.toLocal8Bit().constData()) != SUCCEED || dbsqlexec(p) != SUCCEED)
        return values;
    RETCODE code = SUCCEED;
    while ((code = dbresults(p)) != NO_MORE_RESULTS && code != FAIL) {
        if (dbnumcols(p) < 1)
            continue;
        STATUS row = REG_ROW;
        while ((row = dbnextrow(p)) != NO_MORE_ROWS && row != FAIL)
            values << columnText(process, 1);
    }
    return values;
}

QString sourceTextOrder(DbProcHandle process, const QString& database) {
    const QString prefix = database.isEmpty() ? QString() : database + "..";
    const QStringList found = firstColumn(
        process, "select name from " + prefix + "syscolumns where id = (select id from " + prefix +
                     "sysobjects where name = \"syscomments\") and name = \"colid2\"");
    return found.isEmpty() ? QStringLiteral("colid") : QStringLiteral("colid2, colid");
}

} // namespace ostrim
