#include "sybnavigator.h"

#include "component_window.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "sybtable.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>

namespace ostrim {

namespace {

constexpr int kButtonSide = 25;
constexpr int kGlyphSide = 16;

enum Glyph { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

QPainterPath triangle(qreal tipX, qreal baseX) {
    QPainterPath path;
    path.moveTo(baseX, 3);
    path.lineTo(tipX, 8);
    path.lineTo(baseX, 13);
    path.closeSubpath();
    return path;
}

// The pictures are the program's own: arrows, plus, minus, pencil, tick, cross, circular arrow.
QIcon glyph(Glyph kind) {
    QPixmap pixmap(kGlyphSide, kGlyphSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(40, 40, 40);
    painter.setPen(QPen(ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(ink);
    switch (kind) {
    case First:
        painter.drawLine(QPointF(4, 3), QPointF(4, 13));
        painter.drawPath(triangle(6, 12));
        break;
    case Prior:
        painter.drawPath(triangle(5, 11));
        break;
    case Next:
        painter.drawPath(triangle(11, 5));
        break;
    case Last:
        painter.drawPath(triangle(10, 4));
        painter.drawLine(QPointF(12, 3), QPointF(12, 13));
        break;
    case Insert:
        painter.drawLine(QPointF(8, 3), QPointF(8, 13));
        painter.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case Delete:
        painter.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case Edit:
        painter.drawLine(QPointF(4, 12), QPointF(12, 4));
        painter.setPen(QPen(ink, 1));
        painter.drawLine(QPointF(2.5, 13.5), QPointF(4, 12));
        break;
    case Post:
        painter.setBrush(Qt::NoBrush);
        painter.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(7, 12), QPointF(13, 4)}));
        break;
    case Cancel:
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Refresh: {
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        QPainterPath head;
        head.moveTo(8, 0.5);
        head.lineTo(11.5, 3);
        head.lineTo(8, 5.5);
        head.closeSubpath();
        painter.setBrush(ink);
        painter.setPen(Qt::NoPen);
        painter.drawPath(head);
        break;
    }
    }
    return QIcon(pixmap);
}

} // namespace

QStringList TSybNavigator::defaultHints() {
    return {QStringLiteral("First record"),  QStringLiteral("Prior record"),
            QStringLiteral("Next record"),   QStringLiteral("Last record"),
            QStringLiteral("Insert record"), QStringLiteral("Delete record"),
            QStringLiteral("Edit"),          QStringLiteral("Post edit"),
            QStringLiteral("Cancel update"), QStringLiteral("Refresh data")};
}

TSybNavigator::TSybNavigator(QWidget* owner) : QWidget(owner), m_hints(defaultHints()) {
    static const char* const names[kButtonCount] = {
        "btn_first",  "btn_prior", "btn_next", "btn_last",   "btn_insert",
        "btn_delete", "btn_edit",  "btn_post", "btn_cancel", "btn_refresh"};
    for (int i = 0; i < kButtonCount; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(QLatin1String(names[i]));
        button->setGeometry(i * kButtonSide, 0, kButtonSide, kButtonSide);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIcon(glyph(Glyph(i)));
        button->setIconSize(QSize(kGlyphSide, kGlyphSide));
        button->setToolTip(m_hints[i]);
        button->setEnabled(i == 4);
        button->installEventFilter(this);
        m_buttons[size_t(i)] = button;
    }
    resize(sizeHint());
    connect(btn_first(), &QToolButton::clicked, this, &TSybNavigator::btn_firstClick);
    connect(btn_prior(), &QToolButton::clicked, this, &TSybNavigator::btn_priorClick);
    connect(btn_next(), &QToolButton::clicked, this, &TSybNavigator::btn_nextClick);
    connect(btn_last(), &QToolButton::clicked, this, &TSybNavigator::btn_lastClick);
}

QSize TSybNavigator::sizeHint() const {
    return QSize(kButtonCount * kButtonSide, kButtonSide);
}

void TSybNavigator::setName(const QString& name) {
    setObjectName(name.left(kNameLength));
    enterNavigatorList();
}

void TSybNavigator::setDataSet(const QString& name) {
    m_dataSet = name.left(kNameLength);
}

void TSybNavigator::setDbName(const QString& name) {
    m_dbName = name.left(kNameLength);
    if (const TSybDatabase* database = TSybDatabase::findDatabase(m_dbName))
        m_dbProc = database->DbProc();
}

void TSybNavigator::setDesignActive(bool active) {
    m_designActive = active;
    if (!active)
        return;
    if (const TSybDatabase* database = TSybDatabase::findDatabase(m_dbName))
        m_dbProc = database->DbProc();
}

void TSybNavigator::loaded() {
    for (int i = 0; i < kButtonCount; ++i)
        m_buttons[size_t(i)]->setToolTip(i < m_hints.size() ? m_hints[i] : QString());
}

void TSybNavigator::setMoveButtons(bool first, bool prior, bool next, bool last) {
    btn_first()->setEnabled(first);
    btn_prior()->setEnabled(prior);
    btn_next()->setEnabled(next);
    btn_last()->setEnabled(last);
}

// The buttons keep their hints; ShowHint only decides whether they pop up.
bool TSybNavigator::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && !m_showHint)
        return true;
    return QWidget::eventFilter(watched, event);
}

void TSybNavigator::btn_firstClick() {
    move(Move::First);
}

void TSybNavigator::btn_priorClick() {
    move(Move::Prior);
}

void TSybNavigator::btn_nextClick() {
    move(Move::Next);
}

void TSybNavigator::btn_lastClick() {
    move(Move::Last);
}

void TSybNavigator::move(Move kind) {
    if (TSybTable* table = TSybTable::findTable(m_dataSet, this)) {
        switch (kind) {
        case Move::First:
            table->First();
            break;
        case Move::Prior:
            table->Prior();
            break;
        case Move::Next:
            table->Next();
            break;
        case Move::Last:
            table->Last();
            break;
        }
    }
    TSybQuery* query = findNearest(
        TSybQuery::QueryList(), m_dataSet, this, [](const TSybQuery& q) { return q.Name(); },
        [](const TSybQuery& q) -> const QObject* { return &q; });
    if (!query)
        return;
    switch (kind) {
    case Move::First:
        query->First();
        break;
    case Move::Prior:
        query->Prior();
        break;
    case Move::Next:
        query->Next();
        break;
    case Move::Last:
        query->Last();
        break;
    }
}

} // namespace ostrim
