#pragma once
// Tf_cell_viewer: one grid cell's whole value, read-only, with its line breaks.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace ostrim {

class Tf_cell_viewer : public QDialog {
    Q_OBJECT
public:
    // place names the cell in the caption ("column, row N").
    Tf_cell_viewer(const QString& place, const QString& value, const QFont& font,
                   QWidget* parent = nullptr);

    QPlainTextEdit* memo_value = nullptr;
    QPushButton* btn_copy = nullptr;
    QPushButton* btn_close = nullptr;

private:
    QString m_value;
};

} // namespace ostrim
