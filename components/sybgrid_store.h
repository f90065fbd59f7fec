#pragma once
// The grid's cell store: rows of byte cells laid end to end in shared chunks, with no allocation
// per cell or per row, so a million-row result costs little more than its text.

#include <QByteArrayView>

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrim {

// Shared so that a row finished by the loader can be read by the GUI thread while the loader
// goes on writing later rows into the same chunk: bytes once part of a finished row never change.
using GridChunk = std::shared_ptr<char[]>;

// What a row holds: a result set's column names, one of its rows, or anything else (the empty
// line and the row count that follow a batch).
// A compute row holds a result set's aggregates: shown among its rows, no record of it.
enum class RowKind : std::uint8_t { Other = 0, ColumnNames = 1, Data = 2, Compute = 3 };

// Builds rows in place, one at a time. A row is a 32-bit word (its cell count in the low 28 bits,
// its kind in the next two, then one bit each for cell ends of 16 and of 32 bits), each cell's
// end within the text (8, 16 or 32 bits), then the cells' text end to end.
class RowWriter {
public:
    // Chunks that double from 64 KB to 1 MB as the rows grow.
    RowWriter();
    // Chunks of chunkBytes.
    explicit RowWriter(std::size_t chunkBytes);

    // Starts a row of cells cells; a row begun and not finished is dropped.
    void begin(std::uint32_t cells, RowKind kind = RowKind::Other);
    // Room for bytes more bytes of text after the row's text so far; valid until the next call.
    char* room(std::size_t bytes) {
        if (m_end + bytes > m_chunkSize)
            grow(bytes);
        return m_chunk.get() + m_end;
    }
    // The current cell's text ends after bytes more bytes (written at room()).
    void endCell(std::size_t bytes) {
        m_end += bytes;
        m_ends.push_back(std::uint32_t(m_end - m_text));
    }
    // Finishes the row begun; its address stays valid as long as one holder of its chunk lives.
    const char* finish();
    // Hands over the chunks that rows finished since the last call may lie in.
    void takeChunks(std::vector<GridChunk>& into) {
        if (!m_chunkSent)
            sendChunks(into);
    }

private:
    void grow(std::size_t bytes);
    void sendChunks(std::vector<GridChunk>& into);

    std::size_t m_chunkBytes; // of the next chunk
    std::size_t m_largestChunk;
    GridChunk m_chunk;
    std::size_t m_chunkSize = 0;
    std::size_t m_used = 0; // by finished rows
    bool m_chunkSent = true;
    std::vector<GridChunk> m_unsent;
    std::uint32_t m_cells = 0;
    RowKind m_kind = RowKind::Other;
    std::size_t m_text = 0; // offset of the row's text within the chunk
    std::size_t m_end = 0;  // of the row's text so far
    std::vector<std::uint32_t> m_ends;
};

// The rows' addresses in blocks of a fixed size: the index of a million rows never moves in one
// piece, so a row costs the same to add at any size and no freed copies are left behind.
class RowIndex {
public:
    RowIndex() = default;
    RowIndex(RowIndex&& other) noexcept
        : m_blocks(std::move(other.m_blocks)), m_size(std::exchange(other.m_size, 0)) {}
    RowIndex& operator=(RowIndex&& other) noexcept {
        m_blocks = std::move(other.m_blocks);
        m_size = std::exchange(other.m_size, 0);
        return *this;
    }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const char* operator[](std::size_t i) const { return m_blocks[i >> kShift][i & kMask]; }
    void push_back(const char* row) {
        if ((m_size & kMask) == 0 && (m_size >> kShift) == m_blocks.size())
            m_blocks.push_back(std::make_unique_for_overwrite<const char*[]>(kBlock));
        m_blocks[m_size >> kShift][m_size & kMask] = row;
        ++m_size;
    }
    void append(const RowIndex& rows);
    // Empties the index; its blocks stay for the next rows.
    void clear() { m_size = 0; }
    // Empties the index and gives its blocks back.
    void release() {
        m_blocks.clear();
        m_blocks.shrink_to_fit();
        m_size = 0;
    }
    void swap(RowIndex& other) noexcept {
        m_blocks.swap(other.m_blocks);
        std::swap(m_size, other.m_size);
    }

private:
    static constexpr std::size_t kShift = 13;
    static constexpr std::size_t kBlock = std::size_t(1) << kShift;
    static constexpr std::size_t kMask = kBlock - 1;
    std::vector<std::unique_ptr<const char*[]>> m_blocks;
    std::size_t m_size = 0;
};

// Grid rows 1..writtenRows() hold cells 1..cellCount(row); row 0 and every row past the written
// ones read as empty. Column 0 is not stored: it is the row number or one blank, per store.
class GridStore {
public:
    // Row count the grid shows (at least the written rows).
    int rowCount() const { return m_rowCount; }
    void setRowCount(int rows) { m_rowCount = rows; }
    int writtenRows() const { return int(m_rows.size()); }
    int cellCount(int row) const;
    // Cell col (1-based) of grid row; empty outside the written cells. A NULL of a data row
    // (stored empty) reads as one blank, as the grid shows it.
    QByteArrayView cell(int row, int col) const;
    RowKind rowKind(int row) const;
    // A data row's cell that the server sent as NULL.
    bool isNull(int row, int col) const;

    bool lineNumbers() const { return m_lineNumbers; }
    // Empties the store: rows rows, none written.
    void reset(int rows, bool lineNumbers);

    // Appends a row finished by writer (grid row writtenRows() + 1).
    void append(const char* row, RowWriter& writer) {
        writer.takeChunks(m_chunks);
        m_rows.push_back(row);
    }
    // Appends the next row from its cells laid end to end.
    void appendRow(std::string_view bytes, const std::uint32_t* cellEnds, std::uint32_t cells,
                   RowKind kind = RowKind::Other);
    // Moves every written row of another store after this one's rows, leaving it without rows.
    void appendRows(GridStore& rows);
    // Drops the written rows, keeping the row count.
    void clearRows();

private:
    QByteArrayView storedCell(int row, int col) const;

    RowIndex m_rows;
    std::vector<GridChunk> m_chunks;
    std::unique_ptr<RowWriter> m_writer; // for appendRow only
    int m_rowCount = 2;
    bool m_lineNumbers = true;
};

} // namespace ostrim
