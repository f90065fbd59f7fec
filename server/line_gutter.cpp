#include "line_gutter.h"

#include <QAbstractTextDocumentLayout>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>

namespace ostrim {
namespace {

int digits(int number) {
    int count = 1;
    for (; number >= 10; number /= 10)
        ++count;
    return count;
}

QColor blend(const QColor& from, const QColor& to, double share) {
    return QColor::fromRgbF(float(from.redF() + (to.redF() - from.redF()) * share),
                            float(from.greenF() + (to.greenF() - from.greenF()) * share),
                            float(from.blueF() + (to.blueF() - from.blueF()) * share));
}

// A shade of the background the eye finds without the text losing contrast.
QColor faint(const QColor& base) {
    return base.lightness() < 128 ? blend(base, Qt::white, 0.12) : blend(base, Qt::black, 0.06);
}

} // namespace

LineGutter::LineGutter(SqlEdit* edit) : QWidget(edit), m_edit(edit) {
    setObjectName("lineGutter");
}

void LineGutter::paintEvent(QPaintEvent* event) {
    m_edit->paintNumbers(event);
}

SqlEdit::SqlEdit(QWidget* parent) : QTextEdit(parent), m_gutter(new LineGutter(this)) {
    m_gutter->hide();
    connect(document(), &QTextDocument::blockCountChanged, this, &SqlEdit::layoutGutter);
    connect(document(), &QTextDocument::contentsChange, m_gutter, [this] { m_gutter->update(); });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, m_gutter,
            [this] { m_gutter->update(); });
    connect(this, &QTextEdit::cursorPositionChanged, this, &SqlEdit::markCurrentLine);
}

void SqlEdit::setLineNumbers(bool on) {
    if (on == m_lineNumbers)
        return;
    m_lineNumbers = on;
    m_gutter->setVisible(on);
    layoutGutter();
    markCurrentLine();
}

int SqlEdit::gutterWidth() const {
    const QFontMetrics metrics(font());
    const int digit = metrics.horizontalAdvance(QLatin1Char('9'));
    return digit * (digits(document()->blockCount()) + 1);
}

void SqlEdit::layoutGutter() {
    const int width = m_lineNumbers ? gutterWidth() : 0;
    setViewportMargins(width, 0, 0, 0);
    const QRect area = contentsRect();
    m_gutter->setGeometry(area.left(), area.top(), width, viewport()->height());
    m_gutter->update();
}

void SqlEdit::resizeEvent(QResizeEvent* event) {
    QTextEdit::resizeEvent(event);
    layoutGutter();
}

void SqlEdit::changeEvent(QEvent* event) {
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_gutter->setFont(font());
        layoutGutter();
    } else if (event->type() == QEvent::PaletteChange) {
        markCurrentLine();
        m_gutter->update();
    }
}

void SqlEdit::markCurrentLine() {
    QList<ExtraSelection> selections = extraSelections();
    const auto mine = [](const ExtraSelection& selection) {
        return selection.format.hasProperty(kCurrentLineProperty);
    };
    const bool marked = std::any_of(selections.cbegin(), selections.cend(), mine);
    if (!m_lineNumbers && !marked)
        return;
    selections.removeIf(mine);
    if (m_lineNumbers) {
        ExtraSelection line;
        line.format.setBackground(faint(palette().color(QPalette::Base)));
        line.format.setProperty(QTextFormat::FullWidthSelection, true);
        line.format.setProperty(kCurrentLineProperty, true);
        line.cursor = textCursor();
        line.cursor.clearSelection();
        selections.append(line);
    }
    setExtraSelections(selections);
}

void SqlEdit::paintNumbers(QPaintEvent* event) {
    QPainter painter(m_gutter);
    // In the editor's colours, which the settings dialog sets, not the window's.
    const QColor base = palette().color(QPalette::Base);
    painter.fillRect(event->rect(), faint(base));
    painter.setPen(blend(palette().color(QPalette::Text), base, 0.45));
    painter.setFont(font());
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    const int top = verticalScrollBar()->value();
    const int right =
        m_gutter->width() - QFontMetrics(font()).horizontalAdvance(QLatin1Char('9')) / 2;
    const int lineHeight = QFontMetrics(font()).height();
    // Only the blocks in view: the first is the one under the viewport's top edge.
    for (QTextBlock block = cursorForPosition(QPoint(0, 0)).block(); block.isValid();
         block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        const int y = int(box.top()) - top;
        if (y > event->rect().bottom())
            break;
        if (y + int(box.height()) < event->rect().top())
            continue;
        painter.drawText(QRect(0, y, right, lineHeight), Qt::AlignRight | Qt::AlignTop,
                         QString::number(block.blockNumber() + 1));
    }
}

QMimeData* SqlEdit::createMimeDataFromSelection() const {
    QMimeData* copied = QTextEdit::createMimeDataFromSelection();
    if (copied && copied->hasHtml()) {
        static const QRegularExpression state(QStringLiteral(" ?-qt-user-state:-?\\d+;"));
        copied->setHtml(copied->html().remove(state));
    }
    return copied;
}

} // namespace ostrim
