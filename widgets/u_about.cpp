#include "u_about.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace ostrim {

Tf_about::Tf_about(QWidget* parent) : QDialog(parent) {
    setObjectName("f_about");
    setWindowTitle(tr("About Ostrim"));
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("<h2>Ostrim</h2>"), this);
    auto* text =
        new QLabel(tr("A workbench for Sybase SQL Server and Adaptive Server.\n"
                      "Version %1, built with Qt %2 and FreeTDS DB-Library.")
                       .arg(QStringLiteral(OSTRIM_VERSION), QStringLiteral(QT_VERSION_STR)),
                   this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName("OKButton");
    layout->addWidget(title);
    layout->addWidget(text);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    setFixedSize(sizeHint());
}

} // namespace ostrim
