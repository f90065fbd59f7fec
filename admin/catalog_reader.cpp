#include "catalog_reader.h"

#include "source_text.h"
#include "sybquery.h"

namespace ostrim {

namespace {

// Calls take for every row, with the row's first columns as text.
template <typename Take>
void eachRow(TSybQuery& query, const QString& sql, int columns, Take take) {
    query.setSql(sql);
    query.Execute();
    QStringList row;
    while (query.Next() == kMoreRows) {
        row.clear();
        for (int c = 1; c <= columns; ++c)
            row << query.ColumnValue(c);
        take(row);
    }
}

} // namespace

CatalogSnapshot readCatalog(TSybQuery& query, const QString& database) {
    CatalogSnapshot snapshot;
    eachRow(query, catalogObjectQuery(), 3,
            [&](const QStringList& row) { snapshot.addObject(row[0], row[1], row[2]); });
    // After the first query, so that the query has bound its connection.
    const bool withColid2 = sourceTextOrder(query.DbProc(), database) != QLatin1String("colid");
    eachRow(query, catalogTextQuery(withColid2), 2,
            [&](const QStringList& row) { snapshot.addText(row[0], row[1]); });
    eachRow(query, catalogColumnQuery(), 7,
            [&](const QStringList& row) { snapshot.addColumn(row[0], catalogColumn(row)); });
    eachRow(query, catalogIndexQuery(), 5 + kIndexKeyColumns,
            [&](const QStringList& row) { snapshot.addIndex(row[0], catalogIndex(row)); });
    return snapshot;
}

} // namespace ostrim
