#pragma once
// Tfile_edit: a one-line edit with a square button at its right that picks a file. The file
// name reaches FileName through the button only, not by typing.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace ostrim {

class Tfile_edit : public QWidget {
    Q_OBJECT
public:
    explicit Tfile_edit(QWidget* parent = nullptr);

    QString FileName() const { return m_fileName; }
    // Stored, shown in the edit and offered by the dialog.
    void setFileName(const QString& name);
    QString InitialDir() const { return m_initialDir; }
    void setInitialDir(const QString& dir) { m_initialDir = dir; }
    QString Title() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    // Description and pattern pairs, "Text files (*.txt);;All files (*)".
    QString Filter() const { return m_filter; }
    void setFilter(const QString& filter) { m_filter = filter; }
    int FilterIndex() const { return m_filterIndex; }
    void setFilterIndex(int index) { m_filterIndex = index; }
    QString DefaultExt() const { return m_defaultExt; }
    void setDefaultExt(const QString& ext) { m_defaultExt = ext; }
    QString BtnCaption() const;
    void setBtnCaption(const QString& caption);
    void setEditFont(const QFont& font);
    void setEditColor(const QColor& color);

    QLineEdit* edit() const { return m_edit; }
    QToolButton* button() const { return m_button; }

    // The button: the dialog starts from the edit's text when there is one.
    void buttonClick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_edit;
    QToolButton* m_button;
    QString m_fileName;
    QString m_initialDir;
    QString m_title;
    QString m_filter;
    int m_filterIndex = 1;
    QString m_defaultExt;
};

} // namespace ostrim
