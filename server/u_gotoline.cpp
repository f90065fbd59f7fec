#include "u_gotoline.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

Tf_gotoline::Tf_gotoline(QWidget* parent) : QDialog(parent) {
    setObjectName("f_gotoline");
    setWindowTitle("Go to Line Number");
    edt_line_number = new QLineEdit(this);
    edt_line_number->setObjectName("edt_line_number");
    lbl_line_number = new QLabel("&Enter new line number:", this);
    lbl_line_number->setBuddy(edt_line_number);
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    btn_ok = button("btn_ok", "OK");
    btn_ok->setDefault(true);
    btn_cancel = button("btn_cancel", "Cancel");
    // The form has a Help button that starts nothing.
    btn_help = button("btn_help", "Help");
    connect(btn_ok, &QPushButton::clicked, this, [this] { done(kResultOk); });
    connect(btn_cancel, &QPushButton::clicked, this, &Tf_gotoline::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);
    buttons->addWidget(btn_help);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lbl_line_number);
    layout->addWidget(edt_line_number);
    layout->addLayout(buttons);
}

void Tf_gotoline::reject() {
    done(kResultCancel);
}

} // namespace ostrim
