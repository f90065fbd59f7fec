#pragma once
// Reads a database's catalogue for the object differences: four queries (five with the colid2
// probe) over one connection, whatever the number of objects.

#include "schema_compare.h"
#include "sybase32.h"

namespace ostrim {

// The current database of process.
CatalogSnapshot readCatalog(DbProcHandle process, const QString& database);

} // namespace ostrim
