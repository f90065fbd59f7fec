#include "expert_page.h"

#include "dialogs.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace ostrim {

namespace {

constexpr QSize kPictureSize(150, 230);
// Every page has the same size, so that the next page covers the one below it.
constexpr QSize kPageSize(640, 320);

QColor faded(QColor colour, int alpha) {
    colour.setAlpha(alpha);
    return colour;
}

// A table of rows x columns cells under a header row; marked columns and rows are filled with
// the highlight.
void drawTable(QPainter& p, const QPalette& palette, const QRectF& at, int rows, int columns,
               const std::function<bool(int row, int column)>& marked = {}) {
    const qreal w = at.width() / columns;
    const qreal h = at.height() / (rows + 1);
    p.setPen(Qt::NoPen);
    p.setBrush(palette.color(QPalette::Button));
    p.drawRect(QRectF(at.left(), at.top(), at.width(), h));
    p.setBrush(faded(palette.color(QPalette::Highlight), 110));
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            if (marked && marked(row, column))
                p.drawRect(QRectF(at.left() + column * w, at.top() + (row + 1) * h, w, h));
    p.setPen(QPen(palette.color(QPalette::Mid), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(at);
    for (int row = 1; row <= rows; ++row)
        p.drawLine(QPointF(at.left(), at.top() + row * h), QPointF(at.right(), at.top() + row * h));
    for (int column = 1; column < columns; ++column)
        p.drawLine(QPointF(at.left() + column * w, at.top()),
                   QPointF(at.left() + column * w, at.bottom()));
    // The column names: short strokes in the header.
    p.setPen(QPen(palette.color(QPalette::ButtonText), 2));
    for (int column = 0; column < columns; ++column) {
        const qreal x = at.left() + column * w;
        p.drawLine(QPointF(x + w * 0.2, at.top() + h / 2), QPointF(x + w * 0.7, at.top() + h / 2));
    }
}

// The database: a cylinder.
void drawCylinder(QPainter& p, const QPalette& palette, const QRectF& at) {
    const qreal rim = at.height() / 5;
    QPainterPath body;
    body.moveTo(at.left(), at.top() + rim / 2);
    body.lineTo(at.left(), at.bottom() - rim / 2);
    body.arcTo(QRectF(at.left(), at.bottom() - rim, at.width(), rim), 180, 180);
    body.lineTo(at.right(), at.top() + rim / 2);
    p.setPen(QPen(palette.color(QPalette::Mid), 1.5));
    p.setBrush(palette.color(QPalette::Button));
    p.drawPath(body);
    p.setBrush(palette.color(QPalette::Midlight));
    p.drawEllipse(QRectF(at.left(), at.top(), at.width(), rim));
}

// A key lying on its side, its bow at the left.
void drawKey(QPainter& p, const QPalette& palette, const QPointF& bow, qreal size) {
    p.setPen(QPen(palette.color(QPalette::Highlight), size / 6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(bow, size / 3, size / 3);
    const QPointF shaftStart = bow + QPointF(size / 3, 0);
    const QPointF shaftEnd = bow + QPointF(size * 1.3, 0);
    p.drawLine(shaftStart, shaftEnd);
    p.drawLine(shaftEnd, shaftEnd + QPointF(0, size / 3));
    p.drawLine(shaftEnd - QPointF(size / 3, 0), shaftEnd + QPointF(-size / 3, size / 4));
}

// An arrow from one point to the other, its head at the end.
void drawArrow(QPainter& p, const QColor& colour, const QPointF& from, const QPointF& to) {
    p.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF back = (from - to) / std::hypot(from.x() - to.x(), from.y() - to.y()) * 8;
    const QPointF side(-back.y() / 2, back.x() / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({to, to + back + side, to + back - side}));
}

// One label and its field: a stroke for the caption, a sunken box for the value.
void drawField(QPainter& p, const QPalette& palette, const QRectF& label, const QRectF& field) {
    p.setPen(QPen(palette.color(QPalette::Text), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(label.left(), label.center().y()),
               QPointF(label.right(), label.center().y()));
    p.setPen(QPen(palette.color(QPalette::Mid), 1));
    p.setBrush(palette.color(QPalette::Base));
    p.drawRect(field);
}

} // namespace

ExpertPicture::ExpertPicture(Motif motif, QWidget* parent) : QWidget(parent), m_motif(motif) {
    // As tall as the page: the page's height may grow, its picture's width does not.
    setFixedWidth(kPictureSize.width());
    setMinimumHeight(kPictureSize.height());
}

void ExpertPicture::setMotif(Motif motif) {
    m_motif = motif;
    update();
}

void ExpertPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(pal.color(QPalette::Mid), 1));
    p.setBrush(pal.color(QPalette::AlternateBase));
    p.drawRoundedRect(area, 6, 6);
    const QRectF inner = area.adjusted(16, 20, -16, -20);
    const qreal w = inner.width();
    switch (m_motif) {
    case Motif::Tables:
        drawCylinder(p, pal, QRectF(inner.left() + w * 0.2, inner.top(), w * 0.6, w * 0.6));
        drawTable(p, pal, QRectF(inner.left(), inner.top() + w * 0.8, w, inner.height() - w * 0.8),
                  6, 3, [](int row, int) { return row == 1; });
        break;
    case Motif::Columns:
        drawTable(p, pal, QRectF(inner.left(), inner.top(), w, inner.height() * 0.55), 5, 4,
                  [](int, int column) { return column == 1 || column == 3; });
        drawArrow(p, pal.color(QPalette::Highlight),
                  QPointF(inner.center().x(), inner.top() + inner.height() * 0.62),
                  QPointF(inner.center().x(), inner.top() + inner.height() * 0.78));
        drawTable(p, pal,
                  QRectF(inner.left() + w / 4, inner.top() + inner.height() * 0.82, w / 2,
                         inner.height() * 0.18),
                  1, 2, [](int, int) { return true; });
        break;
    case Motif::Keys:
        drawTable(p, pal, QRectF(inner.left(), inner.top(), w, inner.height() * 0.6), 6, 3,
                  [](int, int column) { return column == 0; });
        drawKey(p, pal, QPointF(inner.left() + w * 0.25, inner.top() + inner.height() * 0.82),
                w * 0.4);
        break;
    case Motif::Grid:
        drawTable(
            p, pal,
            QRectF(inner.left(), inner.top() + inner.height() * 0.15, w, inner.height() * 0.7), 6,
            3);
        break;
    case Motif::Vertical: {
        const qreal step = inner.height() / 6;
        for (int line = 0; line < 6; ++line) {
            const qreal y = inner.top() + line * step + step * 0.2;
            drawField(p, pal, QRectF(inner.left(), y, w * 0.3, step * 0.6),
                      QRectF(inner.left() + w * 0.38, y, w * 0.62, step * 0.6));
        }
        break;
    }
    case Motif::Horizontal: {
        const qreal step = inner.height() / 5;
        const qreal half = w / 2;
        for (int line = 0; line < 5; ++line)
            for (int pair = 0; pair < 2; ++pair) {
                const qreal x = inner.left() + pair * half;
                const qreal y = inner.top() + line * step + step * 0.25;
                drawField(p, pal, QRectF(x, y, half * 0.3, step * 0.5),
                          QRectF(x + half * 0.38, y, half * 0.52, step * 0.5));
            }
        break;
    }
    case Motif::Where:
        drawTable(p, pal, QRectF(inner.left(), inner.top(), w, inner.height() * 0.7), 7, 3,
                  [](int row, int) { return row == 1 || row == 4 || row == 5; });
        p.setPen(QPen(pal.color(QPalette::Text), 2, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(faded(pal.color(QPalette::Highlight), 110));
        // A funnel: the rows that pass.
        p.drawPolygon(
            QPolygonF({QPointF(inner.left() + w * 0.2, inner.top() + inner.height() * 0.8),
                       QPointF(inner.right() - w * 0.2, inner.top() + inner.height() * 0.8),
                       QPointF(inner.center().x() + w * 0.06, inner.bottom() - 12),
                       QPointF(inner.center().x() - w * 0.06, inner.bottom() - 12)}));
        p.drawLine(QPointF(inner.center().x(), inner.bottom() - 12),
                   QPointF(inner.center().x(), inner.bottom()));
        break;
    }
}

ExpertPage::ExpertPage(const QString& caption, ExpertPicture::Motif motif, bool last,
                       QWidget* owner)
    : QDialog(owner) {
    setWindowTitle(caption);
    setMinimumSize(kPageSize);
    picture = new ExpertPicture(motif, this);
    picture->setObjectName("picture");

    btn_help = new QPushButton("&Help", this);
    btn_help->setObjectName("btn_help");
    btn_back = new QPushButton("< &Back", this);
    btn_back->setObjectName("btn_back");
    btn_next = new QPushButton(last ? "&Finish" : "&Next >", this);
    btn_next->setObjectName("btn_next");
    btn_cancel = new QPushButton("&Cancel", this);
    btn_cancel->setObjectName("btn_cancel");
    // Enter goes to the next page from every control, not to the button that had the focus last.
    for (QPushButton* button : {btn_help, btn_back, btn_cancel})
        button->setAutoDefault(false);
    btn_next->setDefault(true);

    m_content = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addSpacing(8);
    top->addLayout(m_content, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btn_help);
    buttons->addStretch();
    buttons->addWidget(btn_back);
    buttons->addWidget(btn_next);
    buttons->addSpacing(8);
    buttons->addWidget(btn_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addSpacing(4);
    layout->addLayout(buttons);

    connect(btn_help, &QPushButton::clicked, this, &ExpertPage::btn_helpClick);
    connect(btn_back, &QPushButton::clicked, this, &ExpertPage::btn_backClick);
    connect(btn_cancel, &QPushButton::clicked, this, &ExpertPage::btn_cancelClick);
}

void ExpertPage::proceed() {
    if (!showNext)
        return;
    const int result = showNext();
    if (result == Cancel || result == Finish)
        done(result);
}

void showExpertMessage(const QString& text) {
    Dialogs::message(text, QStringLiteral("Ostrim"), QMessageBox::NoIcon, QMessageBox::Ok);
}

} // namespace ostrim
