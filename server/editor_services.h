#pragma once
// The editor's services in a server window: speedwords, bookmarks, comments, find and replace,
// the line jump, fonts and the text modes. They work on the widgets the window hands over.

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>

class QLabel;
class QLineEdit;
class QTextCharFormat;
class QTextEdit;
class QWidget;

namespace ostrim {

class SearchDialog;
class SqlHighlighter;
enum class SearchOutcome;

// Per digit key, the line and column (both from 1) it marks; {0, 0} marks nothing.
using BookmarkTable = std::array<std::array<qint32, 2>, 10>;

// Inserts text at the caret as one edit the editor can undo; the clipboard is not used, so the
// user's clipboard text stays as it was.
void insertAtCaret(QTextEdit& editor, const QString& text);
// The editor's content as RTF, and the content replaced by an RTF text (for rich-text files).
QByteArray editorRtf(const QTextEdit& editor);
void loadRtf(QTextEdit& editor, const QByteArray& rtf);

class EditorServices : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QWidget* window; // parent of the search and line dialogs
        QTextEdit* memo;
        QLineEdit* speedEdit;    // the speedword typed so far
        QLineEdit* bookmarkSet;  // takes the digit after Ctrl+K
        QLineEdit* bookmarkJump; // takes the digit after Ctrl+Q
        QLabel* caretPanel;
        QLabel* textModePanel;
        QLabel* speedwordPanel;
    };
    // The window's document state that editing reads and changes.
    struct Document {
        const bool& modified;
        bool& quietChange;
        BookmarkTable& bookmarks;
    };
    EditorServices(const Widgets& widgets, const Document& document, const QStringList& speedwords);

    // Program-wide: every server window shares them.
    static inline QString speedwordBuffer;
    static inline bool speedwordMode = false;
    struct SearchState {
        int start; // 1-based index where the next search begins; 0 is the beginning too
        bool notFound;
    };
    static inline SearchState findState{0, false};
    static inline SearchState replaceState{0, false};

    // Line and column, both from 0, of the selection start; and the caret to a line and column.
    struct RowCol {
        int line = 0;
        int column = 0;
    };
    static RowCol rowCol(const QTextEdit& editor);
    static void setRowCol(QTextEdit& editor, int line, int column);
    // Each line with "--" before it; and each line without its leading "--". Lines are joined
    // with CRLF.
    static QString commentedLines(const QString& text);
    static QString uncommentedLines(const QString& text);

    // The modeless find and replace dialogs.
    QWidget* findDialog() const;
    QWidget* replaceDialog() const;
    // True while attributes change in plain mode, where they are not part of the text.
    bool changingFormatOnly() const { return m_formatOnly; }

    void showCaretPosition();
    void setTextMode(bool rich);
    // Transact-SQL colouring, in plain-text mode only: rich text keeps the user's formatting.
    void setColouring(bool on);
    // Speedword mode on with an empty buffer: every activation, and New.
    void speedwordsOn();
    // A name put in by the completion ends the word, as a typed blank does: the speedword
    // buffer starts anew, and the change is the user's.
    void wordCompleted() { memoKeyPress(Qt::Key_Space, QStringLiteral(" ")); }
    void insertKeyword();
    void comment();
    void uncomment();
    void openFind();
    void findNext();
    void openReplace();
    void findForReplace();
    // One replacement, or all of them.
    void replace(bool all);
    void goToLine();
    void chooseFont();
    void addStyle(bool bold, bool italic, bool underline);
    // The mode switch drops the formatting: the text goes through "ostrim.tmp".
    void switchTextMode(bool rich);

private:
    void installKeys();
    bool memoKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void memoKeyPress(int key, const QString& text);
    void setBookmark(int key, Qt::KeyboardModifiers modifiers);
    void jumpToBookmark(int key, Qt::KeyboardModifiers modifiers);
    void speedwordsOff();
    // A search with the dialog's text from state on; the end of the text is reported.
    SearchOutcome search(SearchDialog& dialog, SearchState& state);
    // The search ran out: said, and the dialog closed.
    void reportNotFound(SearchDialog& dialog, const QString& title);
    // To the selection, or to the whole text and what is typed next.
    void applyFormat(const QTextCharFormat& format);

    Widgets m_widgets;
    Document m_document;
    const QStringList& m_speedwords;
    SearchDialog* m_find;
    SearchDialog* m_replace;
    // The 16-bit code of the last key pressed in the editor: Ctrl+K is Ctrl, then K.
    quint16 m_lastKeyDown = 0;
    bool m_formatOnly = false;
    SqlHighlighter* m_colours;
    bool m_colouring = false;
};

} // namespace ostrim
