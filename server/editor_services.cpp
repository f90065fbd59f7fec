// Editor services: speedwords, bookmarks, comments, search, line jump, fonts and text modes.

#include "editor_services.h"

#include "dialogs.h"
#include "file_error_box.h"
#include "program_dir.h"
#include "rtf.h"
#include "sql_highlighter.h"
#include "text_file.h"
#include "u_gotoline.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace ostrim {

namespace {

// The last key is kept as a 16-bit key code; these are the codes of the keys it is asked about.
constexpr quint16 kKeyControl = 17;

quint16 keyCode(int key) {
    switch (key) {
    case Qt::Key_Control:
        return kKeyControl;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Space:
        return 32;
    default:
        break;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return quint16(key);
    return 0;
}

bool isModifierKey(int key) {
    return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt ||
           key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

// Routes another object's events to the services, which keep the handlers together. Owned by
// the services, so that the hook goes with them.
class EventHook : public QObject {
public:
    EventHook(QObject* watched, QObject* owner, std::function<bool(QEvent*)> handler)
        : QObject(owner), m_handler(std::move(handler)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override { return m_handler(event); }

private:
    std::function<bool(QEvent*)> m_handler;
};

} // namespace

// The find and replace dialogs: modeless, with the fields of the standard ones. The whole-word
// box is there but hidden, and the direction is offered but every search runs forward.
class SearchDialog : public QDialog {
public:
    SearchDialog(QWidget* parent, bool replace) : QDialog(parent) {
        setObjectName(replace ? "ReplaceDialog1" : "FindDialog1");
        setWindowTitle(replace ? "Replace" : "Find");
        setModal(false);
        findText = new QLineEdit(this);
        findText->setObjectName("FindText");
        matchCase = new QCheckBox("Match &case", this);
        matchCase->setObjectName("MatchCase");
        auto* wholeWord = new QCheckBox("Match &whole word only", this);
        wholeWord->setObjectName("WholeWord");
        wholeWord->hide();
        auto* fields = new QGridLayout;
        auto* findLabel = new QLabel("Fi&nd what:", this);
        findLabel->setBuddy(findText);
        fields->addWidget(findLabel, 0, 0);
        fields->addWidget(findText, 0, 1);
        if (replace) {
            replaceText = new QLineEdit(this);
            replaceText->setObjectName("ReplaceText");
            auto* replaceLabel = new QLabel("Re&place with:", this);
            replaceLabel->setBuddy(replaceText);
            fields->addWidget(replaceLabel, 1, 0);
            fields->addWidget(replaceText, 1, 1);
        }
        fields->addWidget(wholeWord, 2, 0, 1, 2);
        fields->addWidget(matchCase, 3, 0, 1, 2);
        if (!replace) {
            auto* up = new QRadioButton("&Up", this);
            up->setObjectName("Up");
            down = new QRadioButton("&Down", this);
            down->setObjectName("Down");
            fields->addWidget(up, 4, 0);
            fields->addWidget(down, 4, 1);
        }
        auto* buttons = new QVBoxLayout;
        auto button = [this, buttons](const char* name, const QString& text) {
            auto* b = new QPushButton(text, this);
            b->setObjectName(name);
            b->setAutoDefault(false);
            buttons->addWidget(b);
            return b;
        };
        findNext = button("FindNext", "&Find Next");
        findNext->setDefault(true);
        if (replace) {
            replaceOne = button("Replace", "&Replace");
            replaceAll = button("ReplaceAll", "Replace &All");
        }
        QPushButton* cancel = button("Cancel", "Cancel");
        buttons->addStretch();
        // Tab goes down the fields, then the options, then the buttons: what is typed after
        // the find text must land in the replace text.
        QWidget* previous = findText;
        for (QWidget* next :
             std::initializer_list<QWidget*>{replaceText, matchCase, findChild<QRadioButton*>("Up"),
                                             down, findNext, replaceOne, replaceAll, cancel}) {
            if (next) {
                setTabOrder(previous, next);
                previous = next;
            }
        }
        connect(cancel, &QPushButton::clicked, this, &QDialog::hide);
        // As in the standard dialogs: nothing to search for, nothing to press.
        auto follow = [this] {
            const bool any = !findText->text().isEmpty();
            for (QPushButton* b : {findNext, replaceOne, replaceAll})
                if (b)
                    b->setEnabled(any);
        };
        connect(findText, &QLineEdit::textChanged, this, follow);
        follow();
        auto* layout = new QHBoxLayout(this);
        layout->addLayout(fields, 1);
        layout->addLayout(buttons);
    }

    QLineEdit* findText = nullptr;
    QLineEdit* replaceText = nullptr;
    QCheckBox* matchCase = nullptr;
    QRadioButton* down = nullptr;
    QPushButton* findNext = nullptr;
    QPushButton* replaceOne = nullptr;
    QPushButton* replaceAll = nullptr;

    Qt::CaseSensitivity caseSensitivity() const {
        return matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
    }
};

enum class SearchOutcome { Found, NotFound, PastEnd };

namespace {

// Searches forward from state.start and selects the match. The next search begins after the
// whole match, so that searching a in aa finds both. Case-insensitive matching compares
// character by character: upper-casing the whole text could change its length (ß becomes SS)
// and with it every position after.
SearchOutcome searchMemo(QTextEdit& memo, EditorServices::SearchState& state,
                         const QString& pattern, Qt::CaseSensitivity cs) {
    const QString text = memo.toPlainText();
    if (state.start > text.size())
        return SearchOutcome::PastEnd;
    const qsizetype found = text.indexOf(pattern, std::max(state.start, 1) - 1, cs);
    if (found < 0)
        return SearchOutcome::NotFound;
    QTextCursor cursor(memo.document());
    cursor.setPosition(int(found));
    cursor.setPosition(int(found + pattern.size()), QTextCursor::KeepAnchor);
    memo.setTextCursor(cursor);
    state.start = int(found + pattern.size()) + 1;
    return SearchOutcome::Found;
}

// The selected text with the editor's paragraph breaks as line feeds.
QString selectedLines(const QTextCursor& cursor) {
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

QStringList splitSelection(const QString& text) {
    QString lines = text;
    lines.remove(QLatin1Char('\r'));
    return lines.split(QLatin1Char('\n'));
}

} // namespace

void insertAtCaret(QTextEdit& editor, const QString& text) {
    QTextCursor cursor = editor.textCursor();
    cursor.insertText(text);
    editor.setTextCursor(cursor);
}

QByteArray editorRtf(const QTextEdit& editor) {
    return documentToRtf(*editor.document());
}

void loadRtf(QTextEdit& editor, const QByteArray& rtf) {
    if (!looksLikeRtf(rtf)) {
        editor.setPlainText(splitLines(rtf).join(QLatin1Char('\n')));
        return;
    }
    QTextCursor cursor(editor.document());
    // One change notification for the whole load, as for a plain one.
    cursor.beginEditBlock();
    cursor.select(QTextCursor::Document);
    cursor.removeSelectedText();
    insertRuns(cursor, readRtf(rtf));
    cursor.endEditBlock();
    editor.document()->clearUndoRedoStacks();
    editor.setTextCursor(QTextCursor(editor.document()));
}

EditorServices::EditorServices(const Widgets& widgets, const Document& document,
                               const QStringList& speedwords)
    : m_widgets(widgets), m_document(document), m_speedwords(speedwords),
      m_find(new SearchDialog(widgets.window, false)),
      m_replace(new SearchDialog(widgets.window, true)),
      m_colours(new SqlHighlighter(widgets.memo)) {
    m_colours->setEnabled(false);
    installKeys();
    connect(m_widgets.memo, &QTextEdit::cursorPositionChanged, this,
            &EditorServices::showCaretPosition);
    connect(m_find->findNext, &QPushButton::clicked, this, &EditorServices::findNext);
    connect(m_replace->findNext, &QPushButton::clicked, this, &EditorServices::findForReplace);
    connect(m_replace->replaceOne, &QPushButton::clicked, this, [this] { replace(false); });
    connect(m_replace->replaceAll, &QPushButton::clicked, this, [this] { replace(true); });
}

QWidget* EditorServices::findDialog() const {
    return m_find;
}

QWidget* EditorServices::replaceDialog() const {
    return m_replace;
}

void EditorServices::installKeys() {
    new EventHook(m_widgets.memo, this, [this](QEvent* event) {
        switch (event->type()) {
        case QEvent::ShortcutOverride: {
            // Keys of the window's own that the editor or a shortcut would otherwise take:
            // Ctrl+K deletes to the end of the line in the editor on some desktops.
            auto* key = static_cast<QKeyEvent*>(event);
            const bool control = key->modifiers() & Qt::ControlModifier;
            if (key->key() == Qt::Key_Escape ||
                (control && (key->key() == Qt::Key_K || key->key() == Qt::Key_Q))) {
                event->accept();
                return true;
            }
            return false;
        }
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (memoKeyDown(key->key(), key->modifiers()))
                return true;
            memoKeyPress(key->key(), key->text());
            return false;
        }
        case QEvent::KeyRelease:
            showCaretPosition();
            return false;
        default:
            return false;
        }
    });
    const std::pair<QLineEdit*, void (EditorServices::*)(int, Qt::KeyboardModifiers)> catchers[] = {
        {m_widgets.bookmarkSet, &EditorServices::setBookmark},
        {m_widgets.bookmarkJump, &EditorServices::jumpToBookmark}};
    for (const auto& catcher : catchers) {
        new EventHook(catcher.first, this, [this, handler = catcher.second](QEvent* event) {
            // The catcher takes the next key whatever it is: no shortcut fires in between.
            if (event->type() == QEvent::ShortcutOverride) {
                event->accept();
                return true;
            }
            if (event->type() != QEvent::KeyPress)
                return false;
            auto* key = static_cast<QKeyEvent*>(event);
            // Ctrl may still be held from Ctrl+K; a modifier alone is not the key awaited.
            if (!isModifierKey(key->key()))
                (this->*handler)(key->key(), key->modifiers());
            return true;
        });
    }
}

bool EditorServices::memoKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    m_document.quietChange = false;
    const quint16 previous = m_lastKeyDown;
    m_lastKeyDown = keyCode(key);
    if (key == Qt::Key_Escape) {
        if (!speedwordMode) {
            speedwordsOn();
            return true;
        }
        if (!speedwordBuffer.isEmpty())
            insertKeyword();
        speedwordBuffer.clear();
        m_widgets.speedEdit->clear();
        speedwordsOff();
        return true;
    }
    // Ctrl must still be down: Ctrl pressed and let go before a K is no Ctrl+K.
    if ((key == Qt::Key_K || key == Qt::Key_Q) && previous == kKeyControl &&
        (modifiers & Qt::ControlModifier)) {
        (key == Qt::Key_K ? m_widgets.bookmarkSet : m_widgets.bookmarkJump)->setFocus();
        return true;
    }
    return false;
}

void EditorServices::memoKeyPress(int key, const QString& text) {
    m_document.quietChange = false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        if (!speedwordMode)
            speedwordsOn();
        speedwordBuffer.clear();
        m_widgets.speedEdit->clear();
        return;
    }
    if (!speedwordMode)
        return;
    QString typed = text;
    if (key == Qt::Key_Backspace)
        typed = QStringLiteral("\b");
    else if (key == Qt::Key_Tab)
        typed = QStringLiteral("\t");
    if (typed.isEmpty())
        return;
    // Backspace and tab count as characters; other control characters (Ctrl+letter, Delete)
    // type nothing.
    for (const QChar c : typed)
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\b') &&
            c != QLatin1Char('\t'))
            return;
    speedwordBuffer += typed;
    m_widgets.speedEdit->setText(speedwordBuffer);
}

void EditorServices::speedwordsOn() {
    speedwordMode = true;
    speedwordBuffer.clear();
    m_widgets.speedEdit->clear();
    m_widgets.speedwordPanel->setText("Speedword ON");
}

void EditorServices::speedwordsOff() {
    speedwordMode = false;
    m_widgets.speedwordPanel->setText("Speedword OFF");
}

void EditorServices::insertKeyword() {
    const auto match =
        std::find_if(m_speedwords.begin(), m_speedwords.end(), [](const QString& word) {
            return word.startsWith(speedwordBuffer, Qt::CaseSensitive);
        });
    if (match == m_speedwords.end()) {
        speedwordsOff();
        return;
    }
    // Inserted directly rather than through the clipboard: one edit the editor can undo, and
    // the user's clipboard text is never touched.
    insertAtCaret(*m_widgets.memo, match->mid(speedwordBuffer.size()));
}

void EditorServices::setBookmark(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(modifiers & Qt::KeypadModifier)) {
        const RowCol at = rowCol(*m_widgets.memo);
        m_document.bookmarks[std::size_t(key - Qt::Key_0)] = {at.line + 1, at.column + 1};
    }
    m_widgets.memo->setFocus();
}

void EditorServices::jumpToBookmark(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_0 && key <= Qt::Key_9 && !(modifiers & Qt::KeypadModifier)) {
        const auto& mark = m_document.bookmarks[std::size_t(key - Qt::Key_0)];
        if (mark[0] >= 1 && mark[1] >= 1)
            setRowCol(*m_widgets.memo, mark[0] - 1, mark[1] - 1);
    }
    m_widgets.memo->setFocus();
}

EditorServices::RowCol EditorServices::rowCol(const QTextEdit& editor) {
    const int start = editor.textCursor().selectionStart();
    const QTextBlock block = editor.document()->findBlock(start);
    return {block.blockNumber(), start - block.position()};
}

void EditorServices::setRowCol(QTextEdit& editor, int line, int column) {
    QTextDocument* document = editor.document();
    // Beyond the text the caret stops at its last line, or at its end.
    const QTextBlock block =
        document->findBlockByNumber(std::clamp(line, 0, document->blockCount() - 1));
    QTextCursor cursor(document);
    cursor.setPosition(std::clamp(block.position() + column, 0, document->characterCount() - 1));
    editor.setTextCursor(cursor);
}

QString EditorServices::commentedLines(const QString& text) {
    QStringList lines = splitSelection(text);
    for (QString& line : lines)
        line.prepend(QLatin1String("--"));
    return lines.join(QLatin1String("\r\n"));
}

QString EditorServices::uncommentedLines(const QString& text) {
    QStringList lines = splitSelection(text);
    for (QString& line : lines)
        if (line.startsWith(QLatin1String("--")))
            line.remove(0, 2);
    return lines.join(QLatin1String("\r\n"));
}

void EditorServices::showCaretPosition() {
    // Where the selection starts, however it was made.
    const RowCol at = rowCol(*m_widgets.memo);
    m_widgets.caretPanel->setText(QString::number(at.line + 1) + " : " +
                                  QString::number(at.column + 1));
}

void EditorServices::setTextMode(bool rich) {
    m_widgets.memo->setAcceptRichText(rich);
    m_widgets.textModePanel->setText(rich ? "Rich Text" : "Plain Text");
    m_colours->setEnabled(m_colouring && !rich);
}

void EditorServices::setColouring(bool on) {
    m_colouring = on;
    m_colours->setEnabled(on && !m_widgets.memo->acceptRichText());
}

void EditorServices::comment() {
    QTextCursor cursor = m_widgets.memo->textCursor();
    cursor.insertText(commentedLines(selectedLines(cursor)));
    m_widgets.memo->setTextCursor(cursor);
}

void EditorServices::uncomment() {
    QTextCursor cursor = m_widgets.memo->textCursor();
    if (!cursor.hasSelection())
        return;
    cursor.insertText(uncommentedLines(selectedLines(cursor)));
    m_widgets.memo->setTextCursor(cursor);
}

void EditorServices::openFind() {
    findState = {};
    m_find->down->setChecked(true);
    m_find->show();
    m_find->raise();
    m_find->activateWindow();
}

SearchOutcome EditorServices::search(SearchDialog& dialog, SearchState& state) {
    const SearchOutcome outcome =
        searchMemo(*m_widgets.memo, state, dialog.findText->text(), dialog.caseSensitivity());
    if (outcome == SearchOutcome::PastEnd)
        Dialogs::message("Reached the end of the file.", "Information", QMessageBox::Information,
                         QMessageBox::Ok);
    return outcome;
}

void EditorServices::reportNotFound(SearchDialog& dialog, const QString& title) {
    Dialogs::message("Text not found !", title, QMessageBox::Critical, QMessageBox::Ok);
    dialog.hide();
}

void EditorServices::findNext() {
    if (m_find->findText->text().isEmpty())
        return;
    if (search(*m_find, findState) == SearchOutcome::NotFound)
        reportNotFound(*m_find, "Find");
}

void EditorServices::openReplace() {
    replaceState = {};
    m_replace->show();
    m_replace->raise();
    m_replace->activateWindow();
}

void EditorServices::findForReplace() {
    if (m_replace->findText->text().isEmpty())
        return;
    m_widgets.memo->setFocus();
    if (search(*m_replace, replaceState) == SearchOutcome::NotFound) {
        replaceState.notFound = true;
        reportNotFound(*m_replace, "Replace/Find");
    }
}

void EditorServices::replace(bool all) {
    const QString pattern = m_replace->findText->text();
    const QString replacement = m_replace->replaceText->text();
    const Qt::CaseSensitivity cs = m_replace->caseSensitivity();
    if (pattern.isEmpty())
        return;
    QTextEdit& memo = *m_widgets.memo;
    // A selection found without matching case differs from the find text exactly, yet is the
    // text to replace: compared as the search compares.
    auto selectionMatches = [&] {
        const QString selected = memo.textCursor().selectedText();
        return !selected.isEmpty() && selected.compare(pattern, cs) == 0;
    };
    auto replaceSelection = [&] {
        QTextCursor cursor = memo.textCursor();
        const int at = cursor.selectionStart();
        cursor.insertText(replacement);
        memo.setTextCursor(cursor);
        // The next search begins after the inserted text: a replacement that contains the find
        // text is not found again, so Replace all always ends.
        replaceState.start = at + int(replacement.size()) + 1;
    };
    if (!all) {
        if (!selectionMatches())
            findForReplace();
        // After a failed search the user's own selection is no match: it stays as it is.
        if (!selectionMatches())
            return;
        replaceSelection();
        findForReplace();
        return;
    }
    memo.setFocus();
    replaceState.notFound = false;
    {
        // One step for Undo/Redo, one change notification for the whole run.
        QTextCursor edit(memo.document());
        edit.beginEditBlock();
        while (true) {
            if (!selectionMatches() &&
                searchMemo(memo, replaceState, pattern, cs) != SearchOutcome::Found)
                break;
            replaceSelection();
        }
        edit.endEditBlock();
    }
    // The run ends when no further match is left; from the end of the text that is so too, so
    // every run ends with the not-found box.
    replaceState.notFound = true;
    reportNotFound(*m_replace, "Replace/Find");
}

void EditorServices::goToLine() {
    QTextEdit& memo = *m_widgets.memo;
    Tf_gotoline dialog(m_widgets.window);
    dialog.edt_line_number->setText(QString::number(rowCol(memo).line + 1));
    if (Dialogs::exec(dialog) != Tf_gotoline::kResultOk)
        return;
    const QString text = dialog.edt_line_number->text();
    bool valid = false;
    const int line = text.trimmed().toInt(&valid);
    if (!valid) {
        Dialogs::message("'" + text + "' is not a valid integer value", "Ostrim",
                         QMessageBox::Critical, QMessageBox::Ok);
        return;
    }
    setRowCol(memo, line - 1, 0);
    showCaretPosition();
    memo.setFocus();
}

void EditorServices::addStyle(bool bold, bool italic, bool underline) {
    QTextCharFormat format;
    if (bold)
        format.setFontWeight(QFont::Bold);
    if (italic)
        format.setFontItalic(true);
    if (underline)
        format.setFontUnderline(true);
    applyFormat(format);
}

void EditorServices::applyFormat(const QTextCharFormat& format) {
    QTextEdit& memo = *m_widgets.memo;
    // Plain text saves no attributes: changing them changes nothing the user could lose.
    const bool formatOnly = !memo.acceptRichText();
    m_formatOnly = formatOnly;
    // The selection's attributes, or the editor's default ones: the whole text and what is
    // typed next.
    if (!memo.textCursor().hasSelection()) {
        QTextCursor all(memo.document());
        all.select(QTextCursor::Document);
        all.mergeCharFormat(format);
    }
    memo.mergeCurrentCharFormat(format);
    m_formatOnly = false;
}

void EditorServices::chooseFont() {
    QTextEdit& memo = *m_widgets.memo;
    const QTextCursor cursor = memo.textCursor();
    const QTextCharFormat current =
        cursor.hasSelection() ? cursor.charFormat() : memo.currentCharFormat();
    QFont font = current.font().resolve(memo.document()->defaultFont());
    if (!Dialogs::chooseFont(font, "Font"))
        return;
    QTextCharFormat format;
    format.setFont(font);
    applyFormat(format);
    memo.setFocus();
}

void EditorServices::switchTextMode(bool rich) {
    QTextEdit& memo = *m_widgets.memo;
    // Beside the configuration, not in whatever directory the program was started from.
    const QString path = programFilePath("ostrim.tmp");
    const QByteArray content = memo.acceptRichText()
                                   ? editorRtf(memo)
                                   : joinLines(memo.toPlainText().split(QLatin1Char('\n')));
    IoResult result = writeFileSafely(path, content, FileMode::Private);
    QByteArray written;
    if (result)
        result = readFileCreatingIfMissing(path, written);
    // A failed write changes nothing: no mode, no panel, and no quiet next change.
    if (!reportIo(result))
        return;
    if (!m_document.modified)
        m_document.quietChange = true;
    setTextMode(rich);
    const QString text = looksLikeRtf(written) ? plainText(readRtf(written))
                                               : splitLines(written).join(QLatin1Char('\n'));
    // Formatting is dropped: the text takes the editor's plain attributes, not those at the
    // caret.
    memo.setTextCursor(QTextCursor(memo.document()));
    QTextCharFormat plain;
    plain.setForeground(memo.palette().color(QPalette::Text));
    memo.setCurrentCharFormat(plain);
    memo.setPlainText(text);
}

} // namespace ostrim
