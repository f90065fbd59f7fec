#include "sybaselogin.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

TPasswordDlg::TPasswordDlg(QWidget* parent)
    : QDialog(parent), m_label3(new QLabel(tr("&Server Name :"), this)),
      m_server(new QComboBox(this)), m_label2(new QLabel(tr("&Login :"), this)),
      m_username(new QLineEdit(this)), m_label1(new QLabel(tr("&Password :"), this)),
      m_password(new QLineEdit(this)), m_bevel1(new QFrame(this)),
      m_okBtn(new QPushButton(tr("OK"), this)), m_cancelBtn(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("PasswordDlg"));
    setWindowTitle(tr("Login"));
    setModal(true);

    m_label3->setObjectName(QStringLiteral("Label3"));
    m_server->setObjectName(QStringLiteral("server"));
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_username->setObjectName(QStringLiteral("username"));
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_password->setObjectName(QStringLiteral("Password"));
    m_bevel1->setObjectName(QStringLiteral("Bevel1"));
    m_okBtn->setObjectName(QStringLiteral("OKBtn"));
    m_cancelBtn->setObjectName(QStringLiteral("CancelBtn"));

    m_server->setEditable(true);
    m_server->setInsertPolicy(QComboBox::NoInsert);
    m_password->setEchoMode(QLineEdit::Password);
    m_label3->setBuddy(m_server);
    m_label2->setBuddy(m_username);
    m_label1->setBuddy(m_password);
    m_okBtn->setDefault(true);

    m_bevel1->setFrameShape(QFrame::Box);
    m_bevel1->setFrameShadow(QFrame::Sunken);
    auto* rows = new QGridLayout(m_bevel1);
    rows->addWidget(m_label3, 0, 0);
    rows->addWidget(m_server, 0, 1);
    rows->addWidget(m_label2, 1, 0);
    rows->addWidget(m_username, 1, 1);
    rows->addWidget(m_label1, 2, 0);
    rows->addWidget(m_password, 2, 1);
    rows->setColumnMinimumWidth(1, 180);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okBtn);
    buttons->addWidget(m_cancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_bevel1);
    layout->addLayout(buttons);
    // Fixed border; hiding the server row shrinks the dialog with it.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(m_server, m_username);
    setTabOrder(m_username, m_password);
    setTabOrder(m_password, m_okBtn);
    setTabOrder(m_okBtn, m_cancelBtn);

    connect(m_okBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_server, &QComboBox::editTextChanged, this, &TPasswordDlg::serverChange);
}

void TPasswordDlg::setServerShown(bool shown) {
    m_label3->setVisible(shown);
    m_server->setVisible(shown);
}

void TPasswordDlg::FormActivate() {
    if (!m_username->text().isEmpty() && !m_server->currentText().isEmpty())
        m_password->setFocus();
}

void TPasswordDlg::serverChange(const QString& text) {
    if (!text.isEmpty())
        setWindowTitle(tr("Login to ") + text);
}

void TPasswordDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

} // namespace ostrim
