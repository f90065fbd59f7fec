#pragma once
// Transact-SQL colouring of the editor: keywords, strings, comments (nested as the server nests
// them), numbers, variables and the "go" lines that cut a script into batches.

#include <QColor>
#include <QPointer>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTimer>

#include <array>
#include <cstdint>

class QTextBlock;
class QTextEdit;

namespace ostrim {

enum class SqlToken : std::uint8_t {
    Plain,
    Keyword,
    String,
    Comment,
    Number,
    Variable,  // @name
    Global,    // @@name
    Separator, // a "go" line
};
inline constexpr int kSqlTokenKinds = 8;

class SqlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    // Colours editor's document, in colours that read on its base colour, and follows changes of
    // its palette.
    explicit SqlHighlighter(QTextEdit* editor);
    ~SqlHighlighter() override;

    // Colours that read on `base`; the text is coloured anew only when they change.
    void setBackground(const QColor& base);
    // Off, the document shows its own formats only; on again, it is coloured at once.
    void setEnabled(bool enabled);
    bool isEnabled() const { return document() != nullptr; }
    // Colours the whole text anew without announcing a change of contents, as
    // QSyntaxHighlighter::rehighlight, which it hides, would (the window's Modified flag hangs
    // on textChanged).
    void rehighlight();

    QTextCharFormat format(SqlToken kind) const { return m_formats[std::size_t(kind)]; }
    // Lines far past an edit are still to be coloured (by the event loop, a few hundred lines
    // at a time).
    bool colouringPending() const { return !m_stale.from.isNull(); }

    // Lines coloured past the end of an edit before the rest waits for the event loop (more
    // than a window shows), and lines the event loop colours at a pass (each pass lays out the
    // document after them again; bench/README.md has the figures).
    static constexpr int kColouredAhead = 200;
    static constexpr int kRepairedAtOnce = 250;

protected:
    void highlightBlock(const QString& text) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void recolour();
    void editing(int from, int removed, int added);
    void markStale(const QTextBlock& block);
    void repairSome();

    QPointer<QTextEdit> m_editor;
    QPointer<QTextDocument> m_target;
    bool m_dark = false;
    std::array<QTextCharFormat, kSqlTokenKinds> m_formats;

    int m_editEnd = 0;       // where the text the document last announced as changed ends
    int m_colouredAhead = 0; // lines coloured past it since
    // From the first line whose state and colours wait to the last line where an edit's pass
    // stopped; the cursors follow later edits.
    struct Stale {
        QTextCursor from;
        QTextCursor to;
    } m_stale;
    QTimer m_repair;
};

} // namespace ostrim
