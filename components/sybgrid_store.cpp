#include "sybgrid_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

namespace ostrim {

namespace {

// The width of a row's cell ends: one byte while its text is shorter than 256 bytes, as most
// rows are, else two or four.
constexpr std::uint32_t kWideEnds = 0x80000000u;
constexpr std::uint32_t kShortEnds = 0x40000000u;
constexpr int kKindShift = 28;
constexpr std::uint32_t kKindBits = 0x30000000u;
constexpr std::uint32_t kCellBits = 0x0FFFFFFFu;
constexpr std::size_t kHeadBytes = sizeof(std::uint32_t);

std::uint32_t readWord(const char* at) {
    std::uint32_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

std::size_t endBytes(std::uint32_t head) {
    return (head & kWideEnds) ? 4 : (head & kShortEnds) ? 2 : 1;
}

std::uint32_t cellEnd(const char* ends, std::size_t width, std::uint32_t index) {
    if (width == 1)
        return std::uint8_t(ends[index]);
    if (width == 4)
        return readWord(ends + 4 * std::size_t(index));
    std::uint16_t end;
    std::memcpy(&end, ends + 2 * std::size_t(index), sizeof end);
    return end;
}

constexpr std::size_t kFirstChunk = std::size_t(1) << 16;
constexpr std::size_t kLargestChunk = std::size_t(1) << 20;

// Straight from the kernel: the malloc arena of a loader thread kept megabytes of its own beside
// a large result's chunks. Its pages are all mapped at once, rather than one fault at a time as
// rows reach them: chunks grow with the result, so a small one wastes little.
GridChunk newChunk(std::size_t size) {
    void* at = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (at == MAP_FAILED)
        throw std::bad_alloc();
    return GridChunk(static_cast<char*>(at), [size](char* chunk) { ::munmap(chunk, size); });
}

} // namespace

RowWriter::RowWriter() : m_chunkBytes(kFirstChunk), m_largestChunk(kLargestChunk) {}

RowWriter::RowWriter(std::size_t chunkBytes)
    : m_chunkBytes(chunkBytes), m_largestChunk(chunkBytes) {}

void RowWriter::grow(std::size_t bytes) {
    // A row never straddles two chunks: the unfinished one moves to a new chunk whole.
    const std::size_t partial = m_end - m_used;
    const std::size_t wanted = partial + bytes;
    if (m_chunk)
        m_chunkBytes = std::min(2 * m_chunkBytes, m_largestChunk);
    const std::size_t size = wanted <= m_chunkBytes ? m_chunkBytes : wanted + wanted / 2;
    GridChunk chunk = newChunk(size);
    if (partial)
        std::memcpy(chunk.get(), m_chunk.get() + m_used, partial);
    if (m_chunk && m_used == 0 && !m_chunkSent)
        m_unsent.pop_back(); // it holds no row: nobody will read it
    m_unsent.push_back(chunk);
    m_chunkSent = false;
    m_chunk = std::move(chunk);
    m_chunkSize = size;
    m_text -= m_used;
    m_end -= m_used;
    m_used = 0;
}

void RowWriter::begin(std::uint32_t cells, RowKind kind) {
    m_cells = cells & kCellBits;
    m_kind = kind;
    cells = m_cells;
    m_ends.clear();
    const std::size_t head = kHeadBytes + std::size_t(cells);
    m_text = m_end = m_used;
    if (!m_chunk || m_used + head > m_chunkSize)
        grow(head);
    m_text = m_end = m_used + head;
}

const char* RowWriter::finish() {
    const std::uint32_t last = m_ends.empty() ? 0 : m_ends.back();
    m_ends.resize(m_cells, last);
    const std::size_t length = m_end - m_text;
    std::uint32_t head = m_cells | (std::uint32_t(m_kind) << kKindShift);
    std::size_t width = 1;
    if (length > 0xFF) {
        // The text moves up to make room for wider ends.
        width = length > 0xFFFF ? 4 : 2;
        head |= width == 4 ? kWideEnds : kShortEnds;
        const std::size_t extra = (width - 1) * std::size_t(m_cells);
        room(extra);
        char* chunk = m_chunk.get();
        std::memmove(chunk + m_text + extra, chunk + m_text, length);
        m_text += extra;
        m_end += extra;
    }
    char* at = m_chunk.get() + m_used + kHeadBytes;
    if (width == 1) {
        for (const std::uint32_t end : m_ends)
            *at++ = char(std::uint8_t(end));
    } else if (width == 2) {
        for (const std::uint32_t end : m_ends) {
            const auto narrow = std::uint16_t(end);
            std::memcpy(at, &narrow, sizeof narrow);
            at += sizeof narrow;
        }
    } else {
        std::memcpy(at, m_ends.data(), 4 * std::size_t(m_cells));
    }
    char* row = m_chunk.get() + m_used;
    std::memcpy(row, &head, sizeof head);
    m_used = m_end;
    return row;
}

void RowWriter::sendChunks(std::vector<GridChunk>& into) {
    into.insert(into.end(), std::make_move_iterator(m_unsent.begin()),
                std::make_move_iterator(m_unsent.end()));
    m_unsent.clear();
    m_chunkSent = true;
}

void RowIndex::append(const RowIndex& rows) {
    for (std::size_t i = 0; i < rows.m_size; ++i)
        push_back(rows[i]);
}

int GridStore::cellCount(int row) const {
    if (row < 1 || row > int(m_rows.size()))
        return 0;
    return int(readWord(m_rows[std::size_t(row - 1)]) & kCellBits);
}

QByteArrayView GridStore::cell(int row, int col) const {
    if (row < 1 || row > int(m_rows.size()) || col < 1)
        return {};
    const QByteArrayView stored = storedCell(row, col);
    // NULL, kept as nothing, shows as one blank; so does a column no aggregate stands under.
    const RowKind kind = rowKind(row);
    if (stored.isEmpty() && (kind == RowKind::Data || kind == RowKind::Compute) &&
        col <= cellCount(row))
        return QByteArrayView(" ", 1);
    return stored;
}

QByteArrayView GridStore::storedCell(int row, int col) const {
    const char* at = m_rows[std::size_t(row - 1)];
    const std::uint32_t head = readWord(at);
    const std::uint32_t cells = head & kCellBits;
    if (std::uint32_t(col) > cells)
        return {};
    const std::size_t width = endBytes(head);
    const char* ends = at + kHeadBytes;
    const char* text = ends + width * std::size_t(cells);
    const std::uint32_t begin = col == 1 ? 0 : cellEnd(ends, width, std::uint32_t(col - 2));
    const std::uint32_t end = cellEnd(ends, width, std::uint32_t(col - 1));
    return QByteArrayView(text + begin, qsizetype(end - begin));
}

RowKind GridStore::rowKind(int row) const {
    if (row < 1 || row > int(m_rows.size()))
        return RowKind::Other;
    return RowKind((readWord(m_rows[std::size_t(row - 1)]) & kKindBits) >> kKindShift);
}

bool GridStore::isNull(int row, int col) const {
    return rowKind(row) == RowKind::Data && col >= 1 && col <= cellCount(row) &&
           storedCell(row, col).isEmpty();
}

void GridStore::reset(int rows, bool lineNumbers) {
    clearRows();
    // A new run gives the memory of a large one back.
    m_rows.release();
    std::vector<GridChunk>().swap(m_chunks);
    m_rowCount = rows;
    m_lineNumbers = lineNumbers;
}

void GridStore::clearRows() {
    m_rows.clear();
    m_chunks.clear();
    m_writer.reset();
}

void GridStore::appendRow(std::string_view bytes, const std::uint32_t* cellEnds,
                          std::uint32_t cells, RowKind kind) {
    if (!m_writer)
        m_writer = std::make_unique<RowWriter>();
    m_writer->begin(cells, kind);
    if (!bytes.empty())
        std::memcpy(m_writer->room(bytes.size()), bytes.data(), bytes.size());
    std::uint32_t previous = 0;
    for (std::uint32_t c = 0; c < cells; ++c) {
        m_writer->endCell(cellEnds[c] - previous);
        previous = cellEnds[c];
    }
    append(m_writer->finish(), *m_writer);
}

void GridStore::appendRows(GridStore& rows) {
    if (m_rows.empty() && m_chunks.empty() && !m_writer) {
        // The rows change hands whole; rows gets this store's empty room back to fill again.
        m_rows.swap(rows.m_rows);
        m_chunks.swap(rows.m_chunks);
        rows.clearRows();
        return;
    }
    m_rows.append(rows.m_rows);
    m_chunks.insert(m_chunks.end(), std::make_move_iterator(rows.m_chunks.begin()),
                    std::make_move_iterator(rows.m_chunks.end()));
    rows.clearRows();
}

} // namespace ostrim
