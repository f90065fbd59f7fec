#pragma once
// The grid's cell store: append-only rows of byte cells in chunked arenas, with no allocation per
// cell, so a million-row result costs little more than its text.

#include <QByteArrayView>

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

namespace ostrim {

// Grid rows 1..writtenRows() hold cells 1..cellCount(row); row 0 and every row past the written
// ones read as empty. Column 0 is not stored: it is the row number or one blank, per store.
class GridStore {
public:
    explicit GridStore(std::size_t chunkBytes = std::size_t(1) << 22);

    // Row count the grid shows (at least the written rows).
    int rowCount() const { return m_rowCount; }
    void setRowCount(int rows) { m_rowCount = rows; }
    int writtenRows() const { return int(m_rows.size()); }
    int cellCount(int row) const;
    // Cell col (1-based) of grid row; empty outside the written cells.
    QByteArrayView cell(int row, int col) const;

    bool lineNumbers() const { return m_lineNumbers; }
    // Empties the store: rows rows, none written.
    void reset(int rows, bool lineNumbers);

    // Appends the next row (grid row writtenRows() + 1) from its cells laid end to end.
    void appendRow(std::string_view bytes, const std::uint32_t* cellEnds, std::uint32_t cells);
    // Copies every written row of another store after this one's rows.
    void appendRows(const GridStore& rows);
    // Drops the written rows, keeping the row count.
    void clearRows();

    std::size_t bytesUsed() const;

private:
    struct Row {
        std::uint32_t chunk;
        std::uint32_t offset;
        std::uint32_t firstCell;
        std::uint32_t cells;
    };
    char* reserve(std::size_t bytes, std::uint32_t& chunk, std::uint32_t& offset);

    std::size_t m_chunkBytes;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::vector<std::size_t> m_chunkSizes;
    std::size_t m_chunkUsed = 0;
    std::deque<Row> m_rows;
    std::deque<std::uint32_t> m_cellEnds; // per cell: end offset from its row's first byte
    int m_rowCount = 2;
    bool m_lineNumbers = true;
};

} // namespace ostrim
