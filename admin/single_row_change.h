#pragma once
// Sends one generated UPDATE or DELETE in a transaction of its own and keeps its work only when
// it changed exactly one row: a key that matches no row or several must change nothing.

#include <QString>

namespace ostrim {

class TSybQuery;

struct RowChange {
    enum Outcome {
        Changed,     // one row, committed
        NoRow,       // no row has the key (or its text no longer matches); rolled back
        SeveralRows, // the key is not unique; rolled back
        Failed,      // the server refused the statement or its commit; rolled back
        NotOneCount, // the batch did not report exactly one row count; rolled back
        NotStarted,  // no transaction could be begun; nothing sent
    };
    Outcome outcome = NotStarted;
    int count = 0; // rows the statement reported
};

// Runs "begin tran", then statement as a batch of its own, reads the row count it reports
// (dbcount), then "commit tran" when it is 1 and "rollback tran" otherwise. The query's Sql is
// left at the last command sent.
RowChange changeOneRow(TSybQuery& query, const QString& statement);

// Why the row was left as it was, for the list the user is shown; empty for Changed.
QString unchangedReason(const RowChange& change);

} // namespace ostrim
