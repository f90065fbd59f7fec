#pragma once
// Where the form window of data modification places its generated labels and controls, one
// label-and-control pair per column, in the scroll box's coordinates.

#include <QPoint>
#include <QSize>
#include <QString>

#include <vector>

namespace ostrim {

// The margin at the left and top of the scroll box, and the pitch of single-line controls.
inline constexpr int kFieldMargin = 30;
inline constexpr int kLinePitch = 22;

struct FieldSize {
    QSize label;
    QSize control;
    bool memo = false; // a memo (a text column) takes its own height, not the line pitch
};

struct FieldPlace {
    QPoint label;
    QPoint control;
};

// One pair per line, top to bottom: the labels at the left margin, the controls in one column
// right of the widest label. A line is kLinePitch high, a memo's line as high as the memo.
std::vector<FieldPlace> verticalPlaces(const std::vector<FieldSize>& fields);

// Pairs side by side in column order across width, a new line when the next pair would cross
// the right margin (a pair wider than a line still gets one of its own).
std::vector<FieldPlace> horizontalPlaces(const std::vector<FieldSize>& fields, int width);

// The smallest size that shows every placed field with the margin right and below.
QSize placedExtent(const std::vector<FieldSize>& fields, const std::vector<FieldPlace>& places);

// A column name as a caption: first_name gives "First Name".
QString readableCaption(const QString& column);

} // namespace ostrim
