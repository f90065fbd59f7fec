#pragma once
// The grid's rows as text: the fixed-width layout behind Copy, Cut, Print, Save and the
// fixed-length export, and the file writer they share.

#include "text_file.h"

#include <QString>
#include <QStringList>

namespace ostrim {

class TSybGrid;

// Inclusive grid coordinates, columns left..right and rows top..bottom.
struct GridRect {
    int left = 1, top = 1, right = 1, bottom = 1;
};

// The bounding rectangle of the selected cells; the current cell when nothing is selected.
GridRect selectionRect(const TSybGrid& grid);

// Characters a column of pixels wide holds: pixels / charUnit to the nearest integer, halves
// to even.
int columnChars(int pixels, int charUnit);

// One grid row over columns firstCol..lastCol: each text padded to its column's character
// width plus one blank, the last one and any empty or overlong text not padded.
QString fixedWidthLine(const TSybGrid& grid, int row, int firstCol, int lastCol);

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

// Creates or replaces the file with each line and CR LF in UTF-8. A file that cannot be written
// is reported in the result and an existing one is left as it was.
IoResult writeLines(const QString& fileName, const QStringList& lines);

} // namespace ostrim
