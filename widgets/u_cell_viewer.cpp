#include "u_cell_viewer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

Tf_cell_viewer::Tf_cell_viewer(const QString& place, const QString& value, const QFont& font,
                               QWidget* parent)
    : QDialog(parent), m_value(value) {
    setObjectName("f_cell_viewer");
    setWindowTitle("Cell Value - " + place);
    resize(600, 380);
    memo_value = new QPlainTextEdit(this);
    memo_value->setObjectName("memo_value");
    memo_value->setReadOnly(true);
    memo_value->setFont(font);
    // A server's text keeps its own line ends; the viewer breaks at each of them.
    QString shown = value;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(u'\r', u'\n');
    memo_value->setPlainText(shown);
    btn_copy = new QPushButton("Copy", this);
    btn_copy->setObjectName("btn_copy");
    btn_copy->setAutoDefault(false);
    // The value as the grid holds it, line ends included.
    connect(btn_copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(m_value); });
    btn_close = new QPushButton("Close", this);
    btn_close->setObjectName("btn_close");
    connect(btn_close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_copy);
    buttons->addWidget(btn_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memo_value, 1);
    layout->addLayout(buttons);
}

} // namespace ostrim
