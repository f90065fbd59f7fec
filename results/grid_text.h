#pragma once
// The grid's rows as text: the fixed-width layout behind Copy, Cut, Print, Save and the
// fixed-length export, and the file writer they share.

#include "text_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;

namespace ostrim {

class TSybGrid;

// Inclusive grid coordinates, columns left..right and rows top..bottom.
struct GridRect {
    int left = 1, top = 1, right = 1, bottom = 1;
};

// The bounding rectangle of the selected cells; the current cell when nothing is selected.
GridRect selectionRect(const TSybGrid& grid);

// Where the grid's text layouts put their lines: each line's text in UTF-8 goes into block(),
// then endLine() ends it. Bytes rather than strings, so that a million rows cost no string per
// row and reach a file in a few large writes.
class LineSink {
public:
    virtual ~LineSink() = default;
    QByteArray& block() { return m_block; }
    // False when the lines are no longer wanted (the file cannot be written).
    virtual bool endLine() = 0;

protected:
    QByteArray m_block;
};

// The lines as strings, without line ends.
class LineList final : public LineSink {
public:
    bool endLine() override;
    QStringList lines;
};

// The lines with CR LF, written to device a block at a time; finish() writes the rest.
class BlockWriter final : public LineSink {
public:
    explicit BlockWriter(QIODevice& device);
    bool endLine() override;
    bool finish();

private:
    QIODevice& m_device;
    bool m_ok = true;
};

// Appends text in UTF-8: ASCII straight, anything else through Qt's encoder, so the bytes are
// those text.toUtf8() gives.
void appendUtf8(QByteArray& out, QStringView text);
// Appends the cell's text as appendUtf8 does; returns its length as the grid's text counts it
// (UTF-16 units), which the fixed-width layout pads by. The layouts read cells only here.
qsizetype appendCell(QByteArray& out, const TSybGrid& grid, int col, int row);

// Characters a column of pixels wide holds: pixels / charUnit to the nearest integer, halves
// to even.
int columnChars(int pixels, int charUnit);

// One grid row over columns firstCol..lastCol: each text padded to its column's character
// width plus one blank, the last one and any empty or overlong text not padded.
QString fixedWidthLine(const TSybGrid& grid, int row, int firstCol, int lastCol);
// The same lines for rows firstRow..lastRow; false when the sink refused one.
bool writeFixedWidthLines(const TSybGrid& grid, int firstRow, int lastRow, int firstCol,
                          int lastCol, LineSink& sink);

// Rows 1..last over columns 1..last, each line ended by CR LF.
QString copyAllText(const TSybGrid& grid);
// The selected rows over the selected columns, each line ended by CR LF.
QString copySelectedText(const TSybGrid& grid, const GridRect& selection);
// As copySelectedText, then every copied cell holds empty text (not a blank).
QString cutSelectedText(TSybGrid& grid, const GridRect& selection);

// Without line ends. Rows 0..last: the always empty fixed row comes first.
QStringList saveAllLines(const TSybGrid& grid);
// Row 0 over the selected columns, an empty line, then the selected rows.
QStringList saveSelectedLines(const TSybGrid& grid, const GridRect& selection);

// The lines of saveAllLines written to the file, each with CR LF, in UTF-8.
IoResult writeSaveAll(const QString& fileName, const TSybGrid& grid);

// Creates or replaces the file with each line and CR LF in UTF-8. A file that cannot be written
// is reported in the result and an existing one is left as it was.
IoResult writeLines(const QString& fileName, const QStringList& lines);
// Creates or replaces the file with the lines write puts into its sink, as writeLines does.
IoResult writeLineFile(const QString& fileName, const std::function<bool(LineSink&)>& write);

} // namespace ostrim
