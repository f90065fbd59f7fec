#include "grid_text.h"

#include "sybgrid.h"

#include <QIODevice>
#include <QItemSelectionModel>

#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

namespace ostrim {

namespace {

constexpr qsizetype kBlockBytes = qsizetype(1) << 20;

// The fixed row and column hold no data: a selection reaching into them (select-all) starts at
// the first data row and column.
GridRect clampToData(GridRect rect, const TSybGrid& grid) {
    rect.left = std::max(rect.left, 1);
    rect.top = std::max(rect.top, 1);
    rect.right = std::min(rect.right, std::max(grid.colCount() - 1, 1));
    rect.bottom = std::min(rect.bottom, std::max(grid.rowCount() - 1, 1));
    return rect;
}

// The text of the lines with CR LF after each, decoded a block at a time so that the bytes
// and the text are never both whole.
class WholeText final : public LineSink {
public:
    bool endLine() override {
        m_block += "\r\n";
        if (m_block.size() >= kBlockBytes)
            flush();
        return true;
    }
    QString text() {
        flush();
        return std::move(m_text);
    }

private:
    void flush() {
        // Lines end in ASCII, so no character is split between two blocks.
        m_text += QString::fromUtf8(m_block);
        m_block.resize(0);
    }
    QString m_text;
};

QString linesText(const TSybGrid& grid, int firstRow, int lastRow, int firstCol, int lastCol) {
    WholeText text;
    writeFixedWidthLines(grid, firstRow, lastRow, firstCol, lastCol, text);
    return text.text();
}

// One row of the fixed-width layout; chars holds the character width of each column from
// firstCol on.
void appendFixedWidthLine(QByteArray& out, const TSybGrid& grid, int row, int firstCol, int lastCol,
                          const std::vector<int>& chars) {
    qsizetype previous = 0;
    for (int col = firstCol; col <= lastCol; ++col) {
        if (col > firstCol) {
            const int width = chars[std::size_t(col - 1 - firstCol)];
            if (previous > 0 && width >= previous)
                out.append(width - previous + 1, ' ');
        }
        previous = appendCell(out, grid, col, row);
    }
}

} // namespace

bool LineList::endLine() {
    lines << QString::fromUtf8(m_block);
    m_block.resize(0);
    return true;
}

BlockWriter::BlockWriter(QIODevice& device) : m_device(device) {
    m_block.reserve(kBlockBytes + kBlockBytes / 4);
}

bool BlockWriter::endLine() {
    m_block += "\r\n";
    if (m_block.size() >= kBlockBytes)
        return finish();
    return m_ok;
}

bool BlockWriter::finish() {
    if (m_ok && !m_block.isEmpty())
        m_ok = m_device.write(m_block) == m_block.size();
    m_block.resize(0);
    return m_ok;
}

qsizetype appendCell(QByteArray& out, const TSybGrid& grid, int col, int row) {
    // A loaded cell of plain ASCII goes as the server sent it, without a string of its own.
    const GridModel& model = *grid.gridModel();
    if (col >= 1 && !model.isEdited(col, row)) {
        const QByteArrayView bytes = model.store().cell(row, col);
        if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; })) {
            out.append(bytes);
            return bytes.size();
        }
    }
    const QString text = grid.cell(col, row);
    appendUtf8(out, text);
    return text.size();
}

void appendUtf8(QByteArray& out, QStringView text) {
    const qsizetype at = out.size();
    out.resize(at + text.size());
    char* to = out.data() + at;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            out.resize(at);
            out += text.toUtf8();
            return;
        }
        *to++ = char(c.unicode());
    }
}

GridRect selectionRect(const TSybGrid& grid) {
    const QItemSelectionModel* model = grid.selectionModel();
    const QItemSelection selection = model ? model->selection() : QItemSelection();
    if (selection.isEmpty()) {
        const QModelIndex current = grid.currentIndex();
        if (!current.isValid())
            return clampToData(GridRect{}, grid);
        const int col = current.column(), row = current.row();
        return clampToData(GridRect{col, row, col, row}, grid);
    }
    GridRect rect{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const QItemSelectionRange& range : selection) {
        rect.left = std::min(rect.left, range.left());
        rect.top = std::min(rect.top, range.top());
        rect.right = std::max(rect.right, range.right());
        rect.bottom = std::max(rect.bottom, range.bottom());
    }
    return clampToData(rect, grid);
}

int columnChars(int pixels, int charUnit) {
    if (charUnit <= 0)
        return 0;
    const int whole = pixels / charUnit;
    const int twiceRest = 2 * (pixels % charUnit);
    if (twiceRest > charUnit || (twiceRest == charUnit && whole % 2 != 0))
        return whole + 1;
    return whole;
}

QString fixedWidthLine(const TSybGrid& grid, int row, int firstCol, int lastCol) {
    LineList line;
    writeFixedWidthLines(grid, row, row, firstCol, lastCol, line);
    return line.lines.value(0);
}

bool writeFixedWidthLines(const TSybGrid& grid, int firstRow, int lastRow, int firstCol,
                          int lastCol, LineSink& sink) {
    std::vector<int> chars;
    for (int col = firstCol; col <= lastCol; ++col)
        chars.push_back(columnChars(grid.columnWidth(col), grid.CharUnit()));
    for (int row = firstRow; row <= lastRow; ++row) {
        appendFixedWidthLine(sink.block(), grid, row, firstCol, lastCol, chars);
        if (!sink.endLine())
            return false;
    }
    return true;
}

QString copyAllText(const TSybGrid& grid) {
    return linesText(grid, 1, grid.rowCount() - 1, 1, grid.colCount() - 1);
}

QString copySelectedText(const TSybGrid& grid, const GridRect& selection) {
    return linesText(grid, selection.top, selection.bottom, selection.left, selection.right);
}

QString cutSelectedText(TSybGrid& grid, const GridRect& selection) {
    QString text = copySelectedText(grid, selection);
    for (int row = selection.top; row <= selection.bottom; ++row)
        for (int col = selection.left; col <= selection.right; ++col)
            grid.setCell(col, row, QString());
    return text;
}

QStringList saveAllLines(const TSybGrid& grid) {
    LineList lines;
    writeFixedWidthLines(grid, 0, grid.rowCount() - 1, 1, grid.colCount() - 1, lines);
    return lines.lines;
}

QStringList saveSelectedLines(const TSybGrid& grid, const GridRect& selection) {
    LineList lines;
    writeFixedWidthLines(grid, 0, 0, selection.left, selection.right, lines);
    lines.endLine();
    writeFixedWidthLines(grid, selection.top, selection.bottom, selection.left, selection.right,
                         lines);
    return lines.lines;
}

IoResult writeSaveAll(const QString& fileName, const TSybGrid& grid) {
    return writeLineFile(fileName, [&grid](LineSink& sink) {
        return writeFixedWidthLines(grid, 0, grid.rowCount() - 1, 1, grid.colCount() - 1, sink);
    });
}

IoResult writeLines(const QString& fileName, const QStringList& lines) {
    return writeLineFile(fileName, [&lines](LineSink& sink) {
        for (const QString& line : lines) {
            appendUtf8(sink.block(), line);
            if (!sink.endLine())
                return false;
        }
        return true;
    });
}

IoResult writeLineFile(const QString& fileName, const std::function<bool(LineSink&)>& write) {
    return writeFileSafely(fileName, [&write](QIODevice& device) {
        BlockWriter sink(device);
        return write(sink) && sink.finish();
    });
}

} // namespace ostrim
