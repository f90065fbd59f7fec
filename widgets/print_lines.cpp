#include "print_lines.h"

#include <QPainter>
#include <QPrinter>

namespace ostrim {

bool printLines(QPrinter& printer, const QStringList& lines, const QFont& font) {
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    // The font's size is meant for the printer's resolution, not the screen's.
    painter.setFont(QFont(font, painter.device()));
    const QFontMetrics metrics = painter.fontMetrics();
    const int pageHeight = painter.viewport().height();
    int baseline = metrics.ascent();
    for (const QString& line : lines) {
        if (baseline + metrics.descent() > pageHeight && baseline > metrics.ascent()) {
            printer.newPage();
            baseline = metrics.ascent();
        }
        painter.drawText(0, baseline, line);
        baseline += metrics.lineSpacing();
    }
    return painter.end();
}

} // namespace ostrim
