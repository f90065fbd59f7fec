#include "sql_highlighter.h"

#include <QEvent>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>

#include <algorithm>
#include <iterator>
#include <limits>
#include <string_view>

namespace ostrim {
namespace {

// Transact-SQL's statements, clauses and reserved words, lower case; "go" is a keyword only as a
// line of its own, which the scanner colours apart.
// clang-format off
constexpr std::string_view kKeywords[] = {
    "add", "all", "alter", "and", "any", "arith_overflow", "as", "asc", "at", "authorization",
    "begin", "between", "break", "browse", "bulk", "by", "cascade", "case", "char_convert", "check",
    "checkpoint", "close", "clustered", "commit", "compute", "confirm", "connect", "constraint",
    "continue", "controlrow", "create", "cross", "current", "cursor", "database", "dbcc",
    "deallocate", "declare", "default", "delete", "desc", "deterministic", "disk", "distinct",
    "double", "drop", "dummy", "dump", "else", "end", "endtran", "errlvl", "errordata", "errorexit",
    "escape", "except", "exclusive", "exec", "execute", "exists", "exit", "exp_row_size",
    "external", "fetch", "fillfactor", "for", "foreign", "from", "full", "func", "function", "goto",
    "grant", "group", "having", "holdlock", "identity", "identity_gap", "identity_insert",
    "identity_start", "if", "in", "index", "inner", "inout", "insert", "install", "intersect",
    "into", "is", "isolation", "jar", "join", "key", "kill", "left", "level", "like", "lineno",
    "load", "lock", "materialized", "max_rows_per_page", "mirror", "mirrorexit", "modify",
    "national", "new", "noholdlock", "nolock", "nonclustered", "nonscrollable", "not", "null",
    "nullif", "numeric_truncation", "of", "off", "offsets", "on", "once", "online", "only", "open",
    "option", "or", "order", "out", "outer", "output", "over", "partition", "perm", "permanent",
    "plan", "prepare", "primary", "print", "privileges", "proc", "procedure", "processexit",
    "proxy_table", "public", "quiesce", "raiserror", "read", "readpast", "readtext", "reconfigure",
    "references", "remove", "reorg", "replace", "replication", "reservepagegap", "return",
    "returns", "revoke", "right", "role", "rollback", "rowcount", "rows", "rule", "save", "schema",
    "scroll", "scrollable", "select", "set", "setuser", "shared", "shutdown", "some", "statistics",
    "stringsize", "stripe", "syb_identity", "syb_restree", "syb_terminate", "table", "temp",
    "temporary", "textsize", "then", "to", "top", "tran", "transaction", "trigger", "truncate",
    "tsequal", "union", "unique", "unpartition", "update", "use", "user", "user_option", "using",
    "values", "varying", "view", "waitfor", "when", "where", "while", "with", "work", "writetext",
};
// clang-format on
static_assert(std::is_sorted(std::begin(kKeywords), std::end(kKeywords)));

constexpr std::size_t kLongestKeyword = 18;
static_assert(std::all_of(std::begin(kKeywords), std::end(kKeywords),
                          [](std::string_view word) { return word.size() <= kLongestKeyword; }));

// A line's state as the scanner hands it to the next: kNormal outside anything, kInQuote or
// kInDoubleQuote inside an open string, kInComment + depth - 1 inside a block comment.
constexpr int kNormal = 0;
constexpr int kInQuote = 1;
constexpr int kInDoubleQuote = 2;
constexpr int kInComment = 3;

bool isKeyword(const QChar* word, qsizetype length) {
    if (length < 2 || std::size_t(length) > kLongestKeyword)
        return false;
    char lower[kLongestKeyword];
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = word[i].unicode();
        if (c >= 0x80)
            return false;
        lower[i] = char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
    }
    return std::binary_search(std::begin(kKeywords), std::end(kKeywords),
                              std::string_view(lower, std::size_t(length)));
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool isHexDigit(char16_t c) {
    return isDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

bool isWordStart(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_' || u == u'#';
    return c.isLetter();
}

bool isWordChar(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80)
        return isWordStart(c) || isDigit(u) || u == u'$' || u == u'@';
    return c.isLetterOrNumber();
}

// The rule the batch splitter cuts by: "go" alone, or with a count from 1 to 100,000.
bool isSeparatorLine(const QChar* s, qsizetype n) {
    qsizetype i = 0;
    while (i < n && isBlank(s[i].unicode()))
        ++i;
    while (n > i && isBlank(s[n - 1].unicode()))
        --n;
    if (n - i < 2 || (s[i].unicode() | 0x20) != u'g' || (s[i + 1].unicode() | 0x20) != u'o')
        return false;
    i += 2;
    if (i == n)
        return true;
    if (!isBlank(s[i].unicode()))
        return false;
    while (isBlank(s[i].unicode()))
        ++i;
    if (n - i > 6)
        return false;
    int count = 0;
    for (; i < n; ++i) {
        if (!isDigit(s[i].unicode()))
            return false;
        count = count * 10 + (s[i].unicode() - u'0');
    }
    return count >= 1 && count <= 100'000;
}

// From inside a string opened by quote: the index after its closing quote, or n when it stays
// open (closed false). A doubled quote is one quote of the string.
qsizetype stringEnd(const QChar* s, qsizetype n, qsizetype i, char16_t quote, bool& closed) {
    while (i < n) {
        if (s[i].unicode() == quote) {
            if (i + 1 < n && s[i + 1].unicode() == quote) {
                i += 2;
                continue;
            }
            closed = true;
            return i + 1;
        }
        ++i;
    }
    closed = false;
    return n;
}

// From inside a block comment `depth` deep: the index after the comment's last "*/", or n when
// it goes on (depth left above 0).
qsizetype commentEnd(const QChar* s, qsizetype n, qsizetype i, int& depth) {
    while (i + 1 < n) {
        const char16_t c = s[i].unicode();
        const char16_t next = s[i + 1].unicode();
        if (c == u'*' && next == u'/') {
            i += 2;
            if (--depth == 0)
                return i;
        } else if (c == u'/' && next == u'*') {
            i += 2;
            ++depth;
        } else {
            ++i;
        }
    }
    return n;
}

qsizetype numberEnd(const QChar* s, qsizetype n, qsizetype i) {
    if (s[i].unicode() == u'0' && i + 2 < n && (s[i + 1].unicode() | 0x20) == u'x' &&
        isHexDigit(s[i + 2].unicode())) {
        i += 2;
        while (i < n && isHexDigit(s[i].unicode()))
            ++i;
        return i;
    }
    while (i < n && isDigit(s[i].unicode()))
        ++i;
    if (i < n && s[i].unicode() == u'.') {
        ++i;
        while (i < n && isDigit(s[i].unicode()))
            ++i;
    }
    if (i < n && (s[i].unicode() | 0x20) == u'e') {
        qsizetype j = i + 1;
        if (j < n && (s[j].unicode() == u'+' || s[j].unicode() == u'-'))
            ++j;
        if (j < n && isDigit(s[j].unicode())) {
            while (j < n && isDigit(s[j].unicode()))
                ++j;
            i = j;
        }
    }
    return i;
}

// Hands each coloured stretch of the line to mark(start, length, kind), in order; returns the
// state the line ends in.
template <typename Mark> int scanLine(const QChar* s, qsizetype n, int state, Mark&& mark) {
    qsizetype i = 0;
    if (state == kInQuote || state == kInDoubleQuote) {
        bool closed = false;
        i = stringEnd(s, n, 0, state == kInQuote ? u'\'' : u'"', closed);
        mark(0, i, SqlToken::String);
        if (!closed)
            return state;
    } else if (state >= kInComment) {
        int depth = state - kInComment + 1;
        i = commentEnd(s, n, 0, depth);
        mark(0, i, SqlToken::Comment);
        if (depth > 0)
            return kInComment + depth - 1;
    } else if (isSeparatorLine(s, n)) {
        mark(0, n, SqlToken::Separator);
        return kNormal;
    }
    while (i < n) {
        const QChar c = s[i];
        const char16_t u = c.unicode();
        const char16_t next = i + 1 < n ? s[i + 1].unicode() : u'\0';
        if (u == u'\'' || u == u'"') {
            bool closed = false;
            const qsizetype end = stringEnd(s, n, i + 1, u, closed);
            mark(i, end - i, SqlToken::String);
            if (!closed)
                return u == u'\'' ? kInQuote : kInDoubleQuote;
            i = end;
        } else if (u == u'-' && next == u'-') {
            mark(i, n - i, SqlToken::Comment);
            return kNormal;
        } else if (u == u'/' && next == u'*') {
            int depth = 1;
            const qsizetype end = commentEnd(s, n, i + 2, depth);
            mark(i, end - i, SqlToken::Comment);
            if (depth > 0)
                return kInComment + depth - 1;
            i = end;
        } else if (u == u'@') {
            const bool global = next == u'@';
            qsizetype end = i + (global ? 2 : 1);
            const qsizetype name = end;
            while (end < n && isWordChar(s[end]))
                ++end;
            if (end > name)
                mark(i, end - i, global ? SqlToken::Global : SqlToken::Variable);
            i = end;
        } else if (isDigit(u) || (u == u'.' && isDigit(next))) {
            const qsizetype end = numberEnd(s, n, i);
            mark(i, end - i, SqlToken::Number);
            i = end;
        } else if (isWordStart(c)) {
            qsizetype end = i + 1;
            while (end < n && isWordChar(s[end]))
                ++end;
            if (isKeyword(s + i, end - i))
                mark(i, end - i, SqlToken::Keyword);
            i = end;
        } else {
            ++i;
        }
    }
    return kNormal;
}

QTextCharFormat colour(const QColor& color, bool bold = false) {
    QTextCharFormat format;
    format.setForeground(color);
    if (bold)
        format.setFontWeight(QFont::Bold);
    return format;
}

} // namespace

SqlHighlighter::SqlHighlighter(QTextEdit* editor)
    // Not QSyntaxHighlighter(editor): that attaches at once and colours on a later pass of its
    // own, which announces itself as a change of contents.
    : QSyntaxHighlighter(static_cast<QTextDocument*>(nullptr)), m_editor(editor),
      m_target(editor->document()) {
    setParent(editor);
    m_repair.setSingleShot(true);
    m_repair.setInterval(0);
    connect(&m_repair, &QTimer::timeout, this, &SqlHighlighter::repairSome);
    m_dark = editor->palette().color(QPalette::Base).lightness() < 128;
    recolour();
    editor->installEventFilter(this);
    setEnabled(true);
}

SqlHighlighter::~SqlHighlighter() {
    // Before QSyntaxHighlighter's own detach, which would announce a change of contents.
    setEnabled(false);
}

void SqlHighlighter::setBackground(const QColor& base) {
    const bool dark = base.lightness() < 128;
    if (dark == m_dark)
        return;
    m_dark = dark;
    recolour();
}

void SqlHighlighter::recolour() {
    // Dark shades on a light base, light ones on a dark base.
    auto pick = [this](QRgb light, QRgb dark) {
        return QColor(m_dark ? dark : light);
    };
    m_formats[std::size_t(SqlToken::Keyword)] = colour(pick(0x00008b, 0x82aaff));
    m_formats[std::size_t(SqlToken::String)] = colour(pick(0x9b0000, 0xff8f8f));
    m_formats[std::size_t(SqlToken::Comment)] = colour(pick(0x006400, 0x8fd48f));
    m_formats[std::size_t(SqlToken::Number)] = colour(pick(0x800080, 0xe0a0ff));
    m_formats[std::size_t(SqlToken::Variable)] = colour(pick(0x7a4a00, 0xf0c070));
    m_formats[std::size_t(SqlToken::Global)] = colour(pick(0x8b3a00, 0xffb070));
    m_formats[std::size_t(SqlToken::Separator)] = colour(pick(0x006b6b, 0x70e0e0), true);
    rehighlight();
}

void SqlHighlighter::rehighlight() {
    if (!document())
        return;
    // Colours live in the blocks' layouts, not in the text; the layout is told directly, so
    // the document's signals are not needed.
    const QSignalBlocker quiet(document());
    m_editEnd = std::numeric_limits<int>::max();
    QSyntaxHighlighter::rehighlight();
    m_stale = {};
}

void SqlHighlighter::editing(int from, int /*removed*/, int added) {
    m_editEnd = from + added;
    m_colouredAhead = 0;
}

void SqlHighlighter::markStale(const QTextBlock& block) {
    const int position = block.position();
    if (m_stale.from.isNull()) {
        m_stale.from = QTextCursor(document());
        m_stale.to = QTextCursor(document());
        m_stale.from.setPosition(position);
        m_stale.to.setPosition(position);
    } else {
        m_stale.from.setPosition(std::min(m_stale.from.position(), position));
        m_stale.to.setPosition(std::max(m_stale.to.position(), position));
    }
    if (!m_repair.isActive())
        m_repair.start();
}

void SqlHighlighter::repairSome() {
    if (m_stale.from.isNull() || !document())
        return;
    // Straight into the lines' layouts, the document laid out once for all of them:
    // rehighlightBlock would lay the rest of the document out again for each line. Up to the
    // last line an edit left behind every line is scanned; after it, until a line ends in the
    // state it had.
    QTextBlock block = m_stale.from.block();
    const int lastLeft = m_stale.to.block().blockNumber();
    const int from = block.position();
    int end = from;
    bool done = false;
    for (int i = 0; i < kRepairedAtOnce && block.isValid(); ++i) {
        QList<QTextLayout::FormatRange> ranges;
        const QString text = block.text();
        const int state =
            scanLine(text.constData(), text.size(), std::max(block.previous().userState(), kNormal),
                     [&](qsizetype start, qsizetype length, SqlToken kind) {
                         ranges.append({int(start), int(length), m_formats[std::size_t(kind)]});
                     });
        if (ranges != block.layout()->formats())
            block.layout()->setFormats(ranges);
        const bool settled = state == block.userState();
        block.setUserState(state);
        end = block.position() + block.length();
        const bool beyond = block.blockNumber() >= lastLeft;
        block = block.next();
        if (settled && beyond) {
            done = true;
            break;
        }
    }
    document()->markContentsDirty(from, end - from);
    if (done || !block.isValid()) {
        m_stale = {};
        return;
    }
    m_stale.from.setPosition(block.position());
    m_repair.start();
}

void SqlHighlighter::setEnabled(bool enabled) {
    if (enabled == isEnabled() || !m_target)
        return;
    if (!enabled) {
        m_repair.stop();
        m_stale = {};
        disconnect(m_target, &QTextDocument::contentsChange, this, &SqlHighlighter::editing);
        // Detaching clears the colours inside an edit block, which would announce a change.
        const QSignalBlocker quiet(m_target.data());
        setDocument(nullptr);
        return;
    }
    // Ahead of QSyntaxHighlighter's own connection, so that it sees where the edit ends.
    connect(m_target, &QTextDocument::contentsChange, this, &SqlHighlighter::editing);
    setDocument(m_target);
    // Coloured now, quietly, which also spares QSyntaxHighlighter's own later pass.
    rehighlight();
}

void SqlHighlighter::highlightBlock(const QString& text) {
    const int state = std::max(previousBlockState(), kNormal);
    const QTextBlock block = currentBlock();
    if (block.position() >= m_editEnd && ++m_colouredAhead > kColouredAhead) {
        // Far past the edit, where a comment or string opened or closed changes every line
        // after it: the line stays as it was, which ends QSyntaxHighlighter's pass here, and
        // repairSome goes on from it when the event loop is free. QSyntaxHighlighter lays out
        // every line it passes.
        for (const QTextLayout::FormatRange& range : block.layout()->formats())
            setFormat(range.start, range.length, range.format);
        setCurrentBlockState(block.userState());
        markStale(block);
        return;
    }
    setCurrentBlockState(scanLine(text.constData(), text.size(), state,
                                  [this](qsizetype start, qsizetype length, SqlToken kind) {
                                      setFormat(int(start), int(length),
                                                m_formats[std::size_t(kind)]);
                                  }));
}

bool SqlHighlighter::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor && event->type() == QEvent::PaletteChange)
        setBackground(m_editor->palette().color(QPalette::Base));
    return QSyntaxHighlighter::eventFilter(watched, event);
}

} // namespace ostrim
