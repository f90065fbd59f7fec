#pragma once
// The server window's editor: a QTextEdit with line numbers in a gutter over its left margin and
// the caret's line marked faintly.

#include <QTextEdit>
#include <QWidget>

namespace ostrim {

class SqlEdit;

// Paints the numbers of the editor's visible lines, level with them.
class LineGutter : public QWidget {
    Q_OBJECT
public:
    explicit LineGutter(SqlEdit* edit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SqlEdit* m_edit;
};

class SqlEdit : public QTextEdit {
    Q_OBJECT
public:
    explicit SqlEdit(QWidget* parent = nullptr);

    // Line numbers in the gutter and the caret's line marked, together (`LineNumbers`); off, the
    // gutter is hidden and takes no room.
    void setLineNumbers(bool on);
    bool lineNumbers() const { return m_lineNumbers; }

    LineGutter* gutter() const { return m_gutter; }
    // Room for the widest line number, whether shown or not.
    int gutterWidth() const;
    // The mark on the caret's line: a full-width extra selection carrying this property.
    static constexpr int kCurrentLineProperty = QTextFormat::UserProperty + 0x51;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Without the lines' colouring states, which Qt would write into the copied HTML.
    QMimeData* createMimeDataFromSelection() const override;
    void changeEvent(QEvent* event) override;

private:
    friend class LineGutter;
    void paintNumbers(QPaintEvent* event);
    void layoutGutter();
    void markCurrentLine();

    LineGutter* m_gutter;
    bool m_lineNumbers = false;
};

} // namespace ostrim
