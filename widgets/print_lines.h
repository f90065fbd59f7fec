#pragma once
// Prints text lines on a printer the user chose: one printed line per text line, in the given
// font, page after page.

#include <QFont>
#include <QStringList>

class QPrinter;

namespace ostrim {

// False when the printer could not be started (nothing printed).
bool printLines(QPrinter& printer, const QStringList& lines, const QFont& font);

} // namespace ostrim
