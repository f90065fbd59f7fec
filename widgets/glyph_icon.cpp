#include "glyph_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QToolBar>
#include <QToolButton>

namespace ostrim {

QIcon glyphIcon(const QString& glyph, const QFont& font) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.setPen(QColor(40, 40, 40));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

QIcon sheetsIcon(bool clipboard) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1.4));
    painter.setBrush(Qt::white);
    if (clipboard) {
        painter.drawRoundedRect(QRectF(3.5, 3.5, 13, 15), 1.5, 1.5);
        painter.setBrush(QColor(40, 40, 40));
        painter.drawRect(QRectF(7, 2, 6, 3));
        painter.drawLine(QPointF(6.5, 10), QPointF(13.5, 10));
        painter.drawLine(QPointF(6.5, 13.5), QPointF(13.5, 13.5));
    } else {
        painter.drawRect(QRectF(2.5, 2.5, 10, 12));
        painter.drawRect(QRectF(7.5, 6.5, 10, 12));
    }
    return QIcon(pixmap);
}

QFont glyphFont(int pixels, bool bold, bool italic, bool underline) {
    QFont font("Sans");
    font.setPixelSize(pixels);
    font.setBold(bold);
    font.setItalic(italic);
    font.setUnderline(underline);
    return font;
}

QIcon themeOrGlyph(const char* themeName, const QString& glyph, const QFont& font) {
    return QIcon::fromTheme(QString::fromLatin1(themeName), glyphIcon(glyph, font));
}

QToolButton* addToolButton(QToolBar* bar, const char* name, const QString& hint,
                           const QIcon& icon) {
    auto* button = new QToolButton(bar);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setIcon(icon);
    bar->addWidget(button);
    return button;
}

} // namespace ostrim
