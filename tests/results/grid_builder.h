#pragma once
// Result grids for the tests without a server: rows and widths as a synchronous run with line
// numbers leaves them.

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace ostrim {
class TSybGrid;
}

namespace ostrim::test {

struct ResultSet {
    QStringList names;
    // A null or empty value stands for NULL, which the grid shows as one blank.
    QList<QStringList> rows;
    // The row-count query's set: the grid's own lines, not data.
    bool rowCount = false;
};

// What the row-count query after a batch returns: an unnamed column and one row.
ResultSet rowCountResult(int affected);

// Replaces the grid's contents by the result sets, one below the other: each set's names, then
// its rows. Columns are 64 pixels wide, or 9 per character of their longest text.
void fillGrid(TSybGrid& grid, const std::vector<ResultSet>& sets);

} // namespace ostrim::test
