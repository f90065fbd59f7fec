#include "print_lines.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace ostrim {

namespace {

void widenMargins(QPrinter& printer) {
    const QMarginsF current = printer.pageLayout().margins(QPageLayout::Millimeter);
    const auto widened = [](qreal margin) {
        return std::max(margin, kMinimumPrintMarginMm);
    };
    printer.setPageMargins(QMarginsF(widened(current.left()), widened(current.top()),
                                     widened(current.right()), widened(current.bottom())),
                           QPageLayout::Millimeter);
}

} // namespace

bool printLines(QPrinter& printer, const QStringList& lines, const QFont& font) {
    widenMargins(printer);
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
