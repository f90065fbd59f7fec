#include "u_sql_code.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

Tf_sql_code::Tf_sql_code(QWidget* parent) : QDialog(parent) {
    setObjectName("f_sql_code");
    setWindowTitle("SQL Code");
    resize(640, 420);
    memo_sql = new QPlainTextEdit(this);
    memo_sql->setObjectName("memo_sql");
    memo_sql->setReadOnly(true);
    memo_sql->setLineWrapMode(QPlainTextEdit::NoWrap);
    btn_close = new QPushButton("Close", this);
    btn_close->setObjectName("btn_close");
    // Escape closes the dialog as the button does (QDialog's reject).
    connect(btn_close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memo_sql, 1);
    layout->addLayout(buttons);
}

} // namespace ostrim
