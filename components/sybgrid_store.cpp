#include "sybgrid_store.h"

#include <algorithm>
#include <cstring>

namespace ostrim {

GridStore::GridStore(std::size_t chunkBytes) : m_chunkBytes(chunkBytes) {}

int GridStore::cellCount(int row) const {
    if (row < 1 || row > int(m_rows.size()))
        return 0;
    return int(m_rows[std::size_t(row - 1)].cells);
}

QByteArrayView GridStore::cell(int row, int col) const {
    if (row < 1 || row > int(m_rows.size()) || col < 1)
        return {};
    const Row& r = m_rows[std::size_t(row - 1)];
    if (std::uint32_t(col) > r.cells)
        return {};
    const std::size_t index = r.firstCell + std::size_t(col - 1);
    const std::uint32_t begin = col == 1 ? 0 : m_cellEnds[index - 1];
    const std::uint32_t end = m_cellEnds[index];
    return QByteArrayView(m_chunks[r.chunk].get() + r.offset + begin, qsizetype(end - begin));
}

void GridStore::reset(int rows, bool lineNumbers) {
    clearRows();
    m_rowCount = rows;
    m_lineNumbers = lineNumbers;
}

void GridStore::clearRows() {
    m_chunks.clear();
    m_chunkSizes.clear();
    m_chunkUsed = 0;
    m_rows.clear();
    m_cellEnds.clear();
}

char* GridStore::reserve(std::size_t bytes, std::uint32_t& chunk, std::uint32_t& offset) {
    if (m_chunks.empty() || m_chunkUsed + bytes > m_chunkSizes.back()) {
        // A row never straddles two chunks; a row longer than a chunk gets one of its own.
        const std::size_t size = std::max(m_chunkBytes, bytes);
        m_chunks.push_back(std::make_unique_for_overwrite<char[]>(size));
        m_chunkSizes.push_back(size);
        m_chunkUsed = 0;
    }
    chunk = std::uint32_t(m_chunks.size() - 1);
    offset = std::uint32_t(m_chunkUsed);
    m_chunkUsed += bytes;
    return m_chunks.back().get() + offset;
}

void GridStore::appendRow(std::string_view bytes, const std::uint32_t* cellEnds,
                          std::uint32_t cells) {
    Row row{0, 0, std::uint32_t(m_cellEnds.size()), cells};
    char* target = reserve(bytes.size(), row.chunk, row.offset);
    if (!bytes.empty())
        std::memcpy(target, bytes.data(), bytes.size());
    m_cellEnds.insert(m_cellEnds.end(), cellEnds, cellEnds + cells);
    m_rows.push_back(row);
}

void GridStore::appendRows(const GridStore& rows) {
    for (const Row& r : rows.m_rows) {
        const std::uint32_t length = r.cells ? rows.m_cellEnds[r.firstCell + r.cells - 1] : 0;
        Row row{0, 0, std::uint32_t(m_cellEnds.size()), r.cells};
        char* target = reserve(length, row.chunk, row.offset);
        if (length)
            std::memcpy(target, rows.m_chunks[r.chunk].get() + r.offset, length);
        const auto first = rows.m_cellEnds.begin() + std::ptrdiff_t(r.firstCell);
        m_cellEnds.insert(m_cellEnds.end(), first, first + std::ptrdiff_t(r.cells));
        m_rows.push_back(row);
    }
}

std::size_t GridStore::bytesUsed() const {
    std::size_t total = 0;
    for (std::size_t size : m_chunkSizes)
        total += size;
    return total + m_rows.size() * sizeof(Row) + m_cellEnds.size() * sizeof(std::uint32_t);
}

} // namespace ostrim
