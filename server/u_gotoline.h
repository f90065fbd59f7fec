#pragma once
// Tf_gotoline: asks for the line the editor's caret should move to.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ostrim {

class Tf_gotoline : public QDialog {
    Q_OBJECT
public:
    // The window's results, as the server window tests them.
    static constexpr int kResultOk = 1;
    static constexpr int kResultCancel = 2;

    explicit Tf_gotoline(QWidget* parent = nullptr);

    QLabel* lbl_line_number = nullptr;
    QLineEdit* edt_line_number = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;
    QPushButton* btn_help = nullptr;

    // Esc and the close box answer as Cancel does.
    void reject() override;
};

} // namespace ostrim
