#pragma once
// Reading an object's source text from syscomments, shared by the explorer's copy and the DDL
// generator. Plain DB-Library calls on the caller's process and nothing else, so that a worker
// thread may use them on a connection it owns.

#include "sybase32.h"

#include <QString>
#include <QStringList>

namespace ostrim {

// Column 1 of every row of every result set of sql, sent on process after throwing away what an
// earlier batch left unread.
QStringList firstColumn(DbProcHandle process, const QString& sql);

// The order the rows of one object's text join in: "colid2, colid" where the server numbers
// long texts by both (database's syscomments has colid2), else "colid". An empty database is
// the process's current one.
QString sourceTextOrder(DbProcHandle process, const QString& database = {});

} // namespace ostrim
