#include "u_server_properties.h"

#include "sybdatabase.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ostrim {

namespace {

QLineEdit* silverEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setReadOnly(true);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, QColor(192, 192, 192));
    edit->setPalette(palette);
    return edit;
}

QPlainTextEdit* memo(QWidget* parent, const char* name) {
    auto* m = new QPlainTextEdit(parent);
    m->setObjectName(name);
    m->setReadOnly(true);
    m->setTabChangesFocus(true);
    m->setFixedHeight(60);
    return m;
}

} // namespace

Tf_server_properties::Tf_server_properties(QWidget* parent) : QDialog(parent) {
    setObjectName("f_server_properties");
    // Only the system menu: no minimise, maximise or help buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    e_server_name = silverEdit(this, "e_server_name");
    e_character_set = silverEdit(this, "e_character_set");
    e_language = silverEdit(this, "e_language");
    m_version = memo(this, "m_version");
    m_libversion = memo(this, "m_libversion");
    m_libversion->setFocusPolicy(Qt::ClickFocus);
    BitBtn1 = new QPushButton(tr("OK"), this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto* form = new QFormLayout;
    form->addRow(tr("Server name:"), e_server_name);
    form->addRow(tr("Character set:"), e_character_set);
    form->addRow(tr("Language"), e_language);
    form->addRow(tr("Sybase Version:"), m_version);
    form->addRow(tr("DBLib Version:"), m_libversion);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    const std::pair<QLineEdit**, const char*> hidden[] = {
        {&e_version, "e_version"},           {&e_release_type, "e_release_type"},
        {&e_platform, "e_platform"},         {&e_operating_system, "e_operating_system"},
        {&e_build_option, "e_build_option"}, {&e_build_date, "e_build_date"}};
    for (const auto& [edit, name] : hidden) {
        *edit = new QLineEdit(this);
        (*edit)->setObjectName(name);
        (*edit)->setReadOnly(true);
        (*edit)->hide();
    }
    resize(420, 300);
}

void Tf_server_properties::fill(const TSybDatabase& connection) {
    setWindowTitle(connection.ServerName() + " Properties");
    e_server_name->setText(connection.ServerName());
    e_character_set->setText(connection.CharSet());
    e_language->setText(connection.Language());
    m_version->setPlainText(connection.DBVersion());
    m_libversion->setPlainText(connection.DbLibVersion());
}

void Tf_server_properties::showEvent(QShowEvent* event) {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

} // namespace ostrim
