#include "sql_completion.h"

#include <QKeyEvent>
#include <QListWidget>
#include <QScrollBar>
#include <QTextEdit>

#include <algorithm>
#include <cstdlib>

namespace ostrim {

namespace {

struct Token {
    enum Kind { Name, Dot, Comma, Other };
    Kind kind;
    int position;
    QString text;
};

// The tokens of sql that matter to from clauses; comments and strings are left out.
std::vector<Token> sqlTokens(const QString& sql) {
    std::vector<Token> tokens;
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        if (c.isSpace()) {
            ++i;
        } else if (c == '-' && next == '-') {
            i = sql.indexOf('\n', i);
            i = i < 0 ? n : i;
        } else if (c == '/' && next == '*') {
            i = sql.indexOf(QLatin1String("*/"), i + 2);
            i = i < 0 ? n : i + 2;
        } else if (c == '\'' || c == '"') {
            // A doubled quote inside reads as two strings side by side: the same text skipped.
            i = sql.indexOf(c, i + 1);
            i = i < 0 ? n : i + 1;
        } else if (c == '[') {
            const qsizetype close = sql.indexOf(']', i + 1);
            const qsizetype end = close < 0 ? n : close;
            tokens.push_back({Token::Name, int(i), sql.mid(i + 1, end - i - 1)});
            i = end + 1;
        } else if (isNameChar(c)) {
            const qsizetype begin = i;
            while (i < n && isNameChar(sql[i]))
                ++i;
            tokens.push_back({Token::Name, int(begin), sql.mid(begin, i - begin)});
        } else {
            tokens.push_back({c == '.'   ? Token::Dot
                              : c == ',' ? Token::Comma
                                         : Token::Other,
                              int(i), QString(c)});
            ++i;
        }
    }
    return tokens;
}

// Words that end a table reference rather than name its alias.
bool isKeyword(const QString& word) {
    static const QStringList kKeywords{
        "and",      "as",      "at",     "begin",  "by",    "close",  "compute", "create",
        "cross",    "declare", "delete", "drop",   "else",  "end",    "exec",    "execute",
        "fetch",    "for",     "from",   "full",   "go",    "group",  "having",  "holdlock",
        "if",       "index",   "inner",  "insert", "into",  "join",   "left",    "noholdlock",
        "on",       "open",    "option", "or",     "order", "outer",  "plan",    "print",
        "readpast", "return",  "right",  "select", "set",   "shared", "union",   "update",
        "use",      "values",  "where",  "while",  "with"};
    return kKeywords.contains(word, Qt::CaseInsensitive);
}

bool isWord(const std::vector<Token>& tokens, std::size_t i, const char* word) {
    return i < tokens.size() && tokens[i].kind == Token::Name &&
           tokens[i].text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

bool isName(const std::vector<Token>& tokens, std::size_t i) {
    return i < tokens.size() && tokens[i].kind == Token::Name && !isKeyword(tokens[i].text);
}

// "[db.[owner].]table [[as] alias]" from i; moves i past it. False when no table stands at i.
bool readReference(const std::vector<Token>& tokens, std::size_t& i, TableReference& reference) {
    if (!isName(tokens, i))
        return false;
    reference = {tokens[i].text, {}, tokens[i].position};
    ++i;
    while (i < tokens.size() && tokens[i].kind == Token::Dot) {
        while (i < tokens.size() && tokens[i].kind == Token::Dot)
            ++i;
        if (!isName(tokens, i))
            return true;
        reference.table = tokens[i].text;
        reference.position = tokens[i].position;
        ++i;
    }
    if (isWord(tokens, i, "as"))
        ++i;
    if (isName(tokens, i))
        reference.alias = tokens[i++].text;
    return true;
}

} // namespace

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == '_' || c == '#' || c == '$' || c == '@';
}

TypedName typedName(const QString& text, int caret) {
    TypedName typed;
    caret = std::clamp(caret, 0, int(text.size()));
    int start = caret;
    while (start > 0 && isNameChar(text[start - 1]))
        --start;
    typed.start = start;
    typed.prefix = text.mid(start, caret - start);
    if (start > 0 && text[start - 1] == '.') {
        typed.qualified = true;
        int begin = start - 1;
        while (begin > 0 && isNameChar(text[begin - 1]))
            --begin;
        typed.qualifier = text.mid(begin, start - 1 - begin);
    }
    return typed;
}

TextSpan batchAround(const QString& text, int caret) {
    TextSpan span{0, int(text.size())};
    int lineStart = 0;
    while (lineStart <= text.size()) {
        int lineEnd = int(text.indexOf('\n', lineStart));
        if (lineEnd < 0)
            lineEnd = int(text.size());
        const bool isGo = QStringView(text)
                              .mid(lineStart, lineEnd - lineStart)
                              .trimmed()
                              .compare(QLatin1String("go"), Qt::CaseInsensitive) == 0;
        const bool caretLine = caret >= lineStart && caret <= lineEnd;
        if (isGo && !caretLine) {
            if (lineEnd < caret) {
                span.begin = lineEnd + 1;
            } else {
                span.end = lineStart;
                break;
            }
        }
        lineStart = lineEnd + 1;
    }
    return span;
}

std::vector<TableReference> tableReferences(const QString& sql) {
    std::vector<TableReference> references;
    const std::vector<Token> tokens = sqlTokens(sql);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const bool from = isWord(tokens, i, "from");
        if (!from && !isWord(tokens, i, "join"))
            continue;
        std::size_t at = i + 1;
        TableReference reference;
        while (readReference(tokens, at, reference)) {
            references.push_back(reference);
            // Only a from clause lists tables; a join names one.
            if (!from || at >= tokens.size() || tokens[at].kind != Token::Comma)
                break;
            ++at;
        }
    }
    return references;
}

QString qualifiedTable(const QString& text, int caret, const QString& qualifier) {
    const TextSpan batch = batchAround(text, caret);
    const std::vector<TableReference> references =
        tableReferences(text.mid(batch.begin, batch.end - batch.begin));
    const int at = caret - batch.begin;
    const TableReference* nearest = nullptr;
    for (const TableReference& r : references) {
        if (r.alias.compare(qualifier, Qt::CaseInsensitive) != 0)
            continue;
        if (!nearest || std::abs(r.position - at) < std::abs(nearest->position - at))
            nearest = &r;
    }
    return nearest ? nearest->table : qualifier;
}

QStringList completionCandidates(const CatalogueNames& names, const QString& text, int caret) {
    const TypedName typed = typedName(text, caret);
    QStringList pool;
    if (typed.qualified && !typed.qualifier.isEmpty())
        pool = names.columnsOf(qualifiedTable(text, caret, typed.qualifier));
    if (pool.isEmpty())
        pool = names.objects;
    QStringList candidates;
    for (const QString& name : std::as_const(pool))
        if (name.startsWith(typed.prefix, Qt::CaseInsensitive))
            candidates << name;
    return candidates;
}

namespace {

constexpr int kRefreshRole = Qt::UserRole;
constexpr int kShownRows = 10;

bool isTrigger(const QKeyEvent& key) {
    const Qt::KeyboardModifiers held = key.modifiers() & ~Qt::KeypadModifier;
    return key.key() == Qt::Key_Space && held == Qt::ControlModifier;
}

bool isPopupKey(int key) {
    switch (key) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

SqlCompleter::SqlCompleter(QTextEdit* editor, CompletionCatalogue::LoginSource login)
    : QObject(editor), m_editor(editor),
      m_catalogue(new CompletionCatalogue(std::move(login), this)),
      m_popup(new QListWidget(editor)) {
    m_popup->setObjectName(QStringLiteral("CompletionList"));
    // A child of the editor rather than a window of its own: it never takes the focus, and no
    // window manager has a say in it.
    m_popup->setFocusPolicy(Qt::NoFocus);
    m_popup->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    m_popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_popup->hide();
    editor->installEventFilter(this);
    connect(m_popup, &QListWidget::itemDoubleClicked, this, &SqlCompleter::choose);
    connect(editor, &QTextEdit::cursorPositionChanged, this, &SqlCompleter::follow);
    connect(editor, &QTextEdit::textChanged, this, &SqlCompleter::follow);
    connect(editor->verticalScrollBar(), &QScrollBar::valueChanged, this, &SqlCompleter::close);
    connect(m_catalogue, &CompletionCatalogue::readEnded, this, &SqlCompleter::readEnded);
}

SqlCompleter::~SqlCompleter() {
    delete m_popup;
}

void SqlCompleter::setEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled)
        close();
}

QListWidget* SqlCompleter::popup() const {
    return m_popup;
}

bool SqlCompleter::isOpen() const {
    return m_popup && !m_popup->isHidden();
}

bool SqlCompleter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_editor || !m_enabled)
        return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride: {
        // Taken here, so that no shortcut of the window fires for them.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isTrigger(*key) || (isOpen() && isPopupKey(key->key()))) {
            event->accept();
            return true;
        }
        return false;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isTrigger(*key)) {
            open();
            return true;
        }
        if (!isOpen()) {
            if (key->key() == Qt::Key_Escape)
                m_waiting = false;
            return false;
        }
        const int page = std::max(1, m_popup->height() / std::max(1, m_popup->sizeHintForRow(0)));
        switch (key->key()) {
        case Qt::Key_Escape:
            close();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
            choose(m_popup->currentItem());
            return true;
        case Qt::Key_Up:
            move(-1);
            return true;
        case Qt::Key_Down:
            move(1);
            return true;
        case Qt::Key_PageUp:
            move(-page);
            return true;
        case Qt::Key_PageDown:
            move(page);
            return true;
        default:
            return false;
        }
    }
    case QEvent::FocusOut:
        close();
        return false;
    default:
        return false;
    }
}

void SqlCompleter::open() {
    m_start = typedName(m_editor->toPlainText(), m_editor->textCursor().position()).start;
    if (m_catalogue->hasNames()) {
        show();
        return;
    }
    m_waiting = true;
    m_catalogue->request();
}

void SqlCompleter::show() {
    if (!fill()) {
        close();
        return;
    }
    place();
    m_popup->show();
    m_popup->raise();
}

void SqlCompleter::close() {
    m_waiting = false;
    m_start = -1;
    if (m_popup)
        m_popup->hide();
}

void SqlCompleter::follow() {
    if (!isOpen() && !m_waiting)
        return;
    const int start = typedName(m_editor->toPlainText(), m_editor->textCursor().position()).start;
    if (start != m_start)
        close();
    else if (isOpen())
        show();
}

void SqlCompleter::readEnded() {
    if (!m_waiting)
        return;
    m_waiting = false;
    show();
}

bool SqlCompleter::fill() {
    const QStringList names = completionCandidates(m_catalogue->names(), m_editor->toPlainText(),
                                                   m_editor->textCursor().position());
    if (names.isEmpty())
        return false;
    const QString current = m_popup->currentItem() ? m_popup->currentItem()->text() : QString();
    m_popup->clear();
    m_popup->addItems(names);
    auto* refresh = new QListWidgetItem(kRefresh, m_popup);
    QFont italic = refresh->font();
    italic.setItalic(true);
    refresh->setFont(italic);
    refresh->setData(kRefreshRole, true);
    // The choice stays on the name it was on while that one still matches.
    const int row = int(names.indexOf(current));
    m_popup->setCurrentRow(std::max(row, 0));
    return true;
}

void SqlCompleter::place() {
    QTextCursor start = m_editor->textCursor();
    start.setPosition(m_start);
    const QRect caret = m_editor->cursorRect(start).translated(m_editor->viewport()->pos());
    const int frame = 2 * m_popup->frameWidth();
    const int rows = std::min(int(m_popup->count()), kShownRows);
    const int width = std::min(std::max(m_popup->sizeHintForColumn(0) + frame +
                                            m_popup->verticalScrollBar()->sizeHint().width(),
                                        120),
                               m_editor->width());
    const int height = std::min(m_popup->sizeHintForRow(0) * rows + frame, m_editor->height());
    const int x = std::clamp(caret.left(), 0, std::max(0, m_editor->width() - width));
    int y = caret.bottom() + 1;
    if (y + height > m_editor->height())
        y = std::max(0, caret.top() - height);
    m_popup->setGeometry(x, y, width, height);
}

void SqlCompleter::move(int rows) {
    m_popup->setCurrentRow(std::clamp(m_popup->currentRow() + rows, 0, m_popup->count() - 1));
}

void SqlCompleter::choose(QListWidgetItem* item) {
    if (!item)
        return;
    const int start = m_start;
    if (item->data(kRefreshRole).toBool()) {
        close();
        m_start = start;
        m_waiting = true;
        m_catalogue->refresh();
        return;
    }
    const QString name = item->text();
    close();
    QTextCursor cursor = m_editor->textCursor();
    cursor.beginEditBlock();
    cursor.setPosition(start);
    cursor.setPosition(m_editor->textCursor().position(), QTextCursor::KeepAnchor);
    cursor.insertText(name);
    cursor.endEditBlock();
    m_editor->setTextCursor(cursor);
    emit inserted();
}

} // namespace ostrim
