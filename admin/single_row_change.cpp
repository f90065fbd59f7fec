#include "single_row_change.h"

#include "sybquery.h"

#include <sybdb.h>
#include <sybfront.h>

#include <vector>

namespace ostrim {

namespace {

bool send(TSybQuery& query, const QString& sql) {
    query.setSql(sql);
    return query.Execute() == SUCCEED;
}

RowChange rollBack(TSybQuery& query, RowChange::Outcome outcome, int count) {
    send(query, QStringLiteral("rollback tran"));
    return {outcome, count};
}

} // namespace

RowChange changeOneRow(TSybQuery& query, const QString& statement) {
    if (!query.DbProc() || !send(query, QStringLiteral("begin tran")))
        return {RowChange::NotStarted, 0};
    DBPROCESS* process = query.DbProc().get();
    query.setSql(statement);
    // Sent as Execute sends it, but dbsqlexec's answer is kept: only it tells a statement the
    // server refused (the error ends its reply) from one that matched no row.
    dbcancel(process);
    dbcmd(process, statement.toLocal8Bit().constData());
    if (dbsqlexec(process) != SUCCEED)
        return rollBack(query, RowChange::Failed, 0);
    // Every result of the batch is read: a count is only final once its rows are in, and a
    // second count would mean the text ran as more than the one statement it was built as.
    std::vector<DBINT> counts;
    int result = dbresults(process);
    while (result == SUCCEED) {
        for (int row = dbnextrow(process); row != NO_MORE_ROWS && row != FAIL;
             row = dbnextrow(process)) {
        }
        if (dbiscount(process))
            counts.push_back(dbcount(process));
        result = dbresults(process);
    }
    if (result == FAIL)
        return rollBack(query, RowChange::Failed, 0);
    if (counts.size() != 1)
        return rollBack(query, RowChange::NotOneCount, 0);
    const int count = int(counts.front());
    if (count == 0)
        return rollBack(query, RowChange::NoRow, 0);
    if (count > 1)
        return rollBack(query, RowChange::SeveralRows, count);
    if (!send(query, QStringLiteral("commit tran")))
        return rollBack(query, RowChange::Failed, count);
    return {RowChange::Changed, count};
}

QString unchangedReason(const RowChange& change) {
    switch (change.outcome) {
    case RowChange::Changed:
        return {};
    case RowChange::NoRow:
        return QStringLiteral("no row has this key any more (changed or deleted by someone "
                              "else) or its text does not match");
    case RowChange::SeveralRows:
        return QStringLiteral("%1 rows have this key; nothing was changed").arg(change.count);
    case RowChange::Failed:
        return QStringLiteral("the server refused the statement; nothing was changed");
    case RowChange::NotOneCount:
        return QStringLiteral("the statement did not report one row count; nothing was changed");
    case RowChange::NotStarted:
        return QStringLiteral("no transaction could be begun; nothing was sent");
    }
    return {};
}

} // namespace ostrim
