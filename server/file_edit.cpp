#include "file_edit.h"

#include "dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QToolButton>

namespace ostrim {

Tfile_edit::Tfile_edit(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this)) {
    m_edit->setObjectName("edit");
    m_button->setObjectName("button");
    m_button->setText("?");
    resize(150, 20);
    connect(m_button, &QToolButton::clicked, this, &Tfile_edit::buttonClick);
}

void Tfile_edit::setFileName(const QString& name) {
    m_fileName = name;
    m_edit->setText(name);
}

QString Tfile_edit::BtnCaption() const {
    return m_button->text();
}

void Tfile_edit::setBtnCaption(const QString& caption) {
    m_button->setText(caption);
}

void Tfile_edit::setEditFont(const QFont& font) {
    m_edit->setFont(font);
}

void Tfile_edit::setEditColor(const QColor& color) {
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, color);
    m_edit->setPalette(palette);
}

void Tfile_edit::buttonClick() {
    // The dialog opens on the typed name (else the current one), inside the initial directory
    // when it is relative; only a chosen file becomes FileName.
    const QString current = m_edit->text().isEmpty() ? m_fileName : m_edit->text();
    QString start = current.isEmpty() ? m_initialDir : current;
    if (!current.isEmpty() && QFileInfo(current).isRelative() && !m_initialDir.isEmpty())
        start = QDir(m_initialDir).filePath(current);
    QString chosen = Dialogs::openFileName(m_title, start, m_filter);
    if (chosen.isEmpty())
        return;
    if (!m_defaultExt.isEmpty() && QFileInfo(chosen).suffix().isEmpty())
        chosen += QLatin1Char('.') + QString(m_defaultExt).remove(QLatin1String("*.")).remove('.');
    setFileName(chosen);
}

void Tfile_edit::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int side = height();
    m_edit->setGeometry(0, 0, std::max(0, width() - side), side);
    m_button->setGeometry(width() - side, 0, side, side);
}

} // namespace ostrim
