#include "modify_form_layout.h"

#include <algorithm>

namespace ostrim {

namespace {

// Between a label and its control, and between two pairs of a line.
constexpr int kLabelGap = 8;
constexpr int kPairGap = 24;

int lineHeight(const FieldSize& field) {
    return field.memo ? field.control.height() : kLinePitch;
}

} // namespace

std::vector<FieldPlace> verticalPlaces(const std::vector<FieldSize>& fields) {
    int widest = 0;
    for (const FieldSize& field : fields)
        widest = std::max(widest, field.label.width());
    std::vector<FieldPlace> places;
    int top = kFieldMargin;
    for (const FieldSize& field : fields) {
        places.push_back({{kFieldMargin, top}, {widest + 40, top}});
        top += lineHeight(field);
    }
    return places;
}

std::vector<FieldPlace> horizontalPlaces(const std::vector<FieldSize>& fields, int width) {
    std::vector<FieldPlace> places;
    int left = kFieldMargin;
    int top = kFieldMargin;
    int height = 0;
    for (const FieldSize& field : fields) {
        const int pairWidth = field.label.width() + kLabelGap + field.control.width();
        if (left > kFieldMargin && left + pairWidth > width - kFieldMargin) {
            left = kFieldMargin;
            top += height;
            height = 0;
        }
        places.push_back({{left, top}, {left + field.label.width() + kLabelGap, top}});
        left += pairWidth + kPairGap;
        height = std::max(height, lineHeight(field));
    }
    return places;
}

QSize placedExtent(const std::vector<FieldSize>& fields, const std::vector<FieldPlace>& places) {
    QSize extent;
    for (std::size_t i = 0; i < fields.size() && i < places.size(); ++i) {
        const QPoint labelEnd = places[i].label + QPoint(fields[i].label.width(), 0);
        const QPoint controlEnd =
            places[i].control + QPoint(fields[i].control.width(), fields[i].control.height());
        extent = extent.expandedTo(QSize(std::max(labelEnd.x(), controlEnd.x()), controlEnd.y()));
    }
    return extent + QSize(kFieldMargin, kFieldMargin);
}

QString readableCaption(const QString& column) {
    QString caption;
    bool afterUnderscore = false;
    for (const QChar c : column) {
        if (c == u'_') {
            afterUnderscore = true;
        } else if (afterUnderscore) {
            caption += QLatin1Char(' ');
            caption += c.toUpper();
            afterUnderscore = false;
        } else {
            caption += caption.isEmpty() ? c.toUpper() : c;
        }
    }
    return caption;
}

} // namespace ostrim
