#pragma once
// Reads a database's catalogue for the object differences: four queries (five with the colid2
// probe) over one connection, whatever the number of objects.

#include "schema_compare.h"

namespace ostrim {

class TSybQuery;

// The current database of query's connection, which is named database.
CatalogSnapshot readCatalog(TSybQuery& query, const QString& database);

} // namespace ostrim
