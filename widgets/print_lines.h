#pragma once
// Prints text lines on a printer the user chose: one printed line per text line, in the given
// font, page after page.

#include <QFont>
#include <QStringList>

class QPrinter;

namespace ostrim {

// No text is printed closer to the paper's edge: nearer, printers cut it off and readers lose it
// in the binding.
inline constexpr qreal kMinimumPrintMarginMm = 10;

// False when the printer could not be started (nothing printed). The printer keeps its own
// margins where they are wider than the minimum; narrower ones are widened on it.
bool printLines(QPrinter& printer, const QStringList& lines, const QFont& font);

} // namespace ostrim
