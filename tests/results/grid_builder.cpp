#include "grid_builder.h"

#include "sybgrid.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace ostrim::test {

namespace {

constexpr int kDefaultWidth = 64;

void appendRow(GridBatch& batch, const QStringList& cells, RowKind kind, std::vector<int>& widths,
               int charUnit) {
    std::string bytes;
    std::vector<std::uint32_t> ends;
    for (int c = 0; c < cells.size(); ++c) {
        const QString& text = cells[c];
        bytes += text.toLocal8Bit().toStdString();
        ends.push_back(std::uint32_t(bytes.size()));
        // A NULL of a data row shows as one blank.
        const int shown = kind == RowKind::Data ? std::max(int(text.size()), 1) : int(text.size());
        int& width = widths[std::size_t(c) + 1];
        width = std::max(width, shown * charUnit);
    }
    batch.rows.appendRow(bytes, ends.data(), std::uint32_t(ends.size()), kind);
}

} // namespace

ResultSet rowCountResult(int affected) {
    return {{QString()}, {{QStringLiteral("(%1 rows affected)").arg(affected)}}, true};
}

void fillGrid(TSybGrid& grid, const std::vector<ResultSet>& sets) {
    int maxCols = 1;
    for (const ResultSet& set : sets)
        maxCols = std::max(maxCols, int(set.names.size()));
    std::vector<int> widths(std::size_t(maxCols) + 1, kDefaultWidth);

    // Counted as the loader counts: a header adds a row, every data row but the run's first too.
    GridBatch batch;
    int rowCount = 2;
    int written = 0;
    bool firstRow = true;
    for (const ResultSet& set : sets) {
        appendRow(batch, set.names, set.rowCount ? RowKind::Other : RowKind::ColumnNames, widths,
                  grid.CharUnit());
        ++rowCount;
        ++written;
        for (const QStringList& row : set.rows) {
            appendRow(batch, row, set.rowCount ? RowKind::Other : RowKind::Data, widths,
                      grid.CharUnit());
            ++written;
            if (firstRow)
                firstRow = false;
            else
                ++rowCount;
        }
    }
    batch.rowCount = rowCount;
    batch.maxCols = maxCols;

    grid.gridModel()->reset(true);
    grid.gridModel()->apply(batch);
    widths[0] = int(QString::number(written).size()) * grid.CharUnit() + 5;
    for (int c = 0; c < int(widths.size()); ++c)
        grid.setColumnWidth(c, widths[std::size_t(c)]);
}

} // namespace ostrim::test
