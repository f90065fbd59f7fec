#pragma once
// Tf_sql_code: the SQL text of a grid, read-only, in the grid's font.

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace ostrim {

class Tf_sql_code : public QDialog {
    Q_OBJECT
public:
    explicit Tf_sql_code(QWidget* parent = nullptr);

    QPlainTextEdit* memo_sql = nullptr;
    QPushButton* btn_close = nullptr;
};

} // namespace ostrim
