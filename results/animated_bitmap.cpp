#include "animated_bitmap.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ostrim {

TAnimatedBitmap::TAnimatedBitmap(QWidget* parent) : QWidget(parent) {
    resize(30, 30);
    connect(&m_timer, &QTimer::timeout, this, &TAnimatedBitmap::step);
}

void TAnimatedBitmap::setBitmap(const QPixmap& bitmap) {
    m_bitmap = bitmap;
    update();
}

void TAnimatedBitmap::setColumns(int columns) {
    m_columns = std::max(1, columns);
    update();
}

void TAnimatedBitmap::setRows(int rows) {
    m_rows = std::max(1, rows);
    update();
}

void TAnimatedBitmap::setActivePicture(int picture) {
    m_active = picture;
    update();
}

void TAnimatedBitmap::setInterval(int ms) {
    m_interval = ms;
    if (ms == 0)
        m_timer.stop();
    else
        m_timer.start(ms);
}

void TAnimatedBitmap::step() {
    if (m_reverse)
        m_active = m_active <= 0 ? frameCount() - 1 : m_active - 1;
    else
        m_active = m_active + 1 >= frameCount() ? 0 : m_active + 1;
    update();
}

void TAnimatedBitmap::paintEvent(QPaintEvent*) {
    if (m_bitmap.isNull())
        return;
    const int frame = std::clamp(m_active, 0, frameCount() - 1);
    const int width = m_bitmap.width() / m_columns;
    const int height = m_bitmap.height() / m_rows;
    const QRect source((frame % m_columns) * width, (frame / m_columns) * height, width, height);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(rect(), m_bitmap, source);
}

QPixmap TAnimatedBitmap::runningStrip(int size) {
    constexpr int kFrames = 10;
    QPixmap strip(size * kFrames, size);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double radius = size * 0.36;
    const double dot = size * 0.075;
    for (int frame = 0; frame < kFrames; ++frame) {
        const QPointF centre(frame * size + size / 2.0, size / 2.0);
        for (int i = 0; i < kFrames; ++i) {
            // The head dot is darkest; the ones behind it fade, so the ring seems to turn.
            const int age = (frame - i + kFrames) % kFrames;
            const double angle = 2 * std::numbers::pi * i / kFrames - std::numbers::pi / 2;
            QColor colour(30, 90, 160);
            colour.setAlphaF(std::max(0.12, 1.0 - age * 0.11));
            painter.setBrush(colour);
            painter.drawEllipse(centre +
                                    QPointF(radius * std::cos(angle), radius * std::sin(angle)),
                                dot * (age == 0 ? 1.3 : 1.0), dot * (age == 0 ? 1.3 : 1.0));
        }
    }
    return strip;
}

} // namespace ostrim
