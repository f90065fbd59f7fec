#include "sql_lexer.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace sim::sql {

namespace {

// Sorted for binary search.
constexpr std::string_view kReserved[] = {
    "add",
    "all",
    "alter",
    "and",
    "any",
    "arith_overflow",
    "as",
    "asc",
    "at",
    "authorization",
    "avg",
    "begin",
    "between",
    "break",
    "browse",
    "bulk",
    "by",
    "cascade",
    "case",
    "char_convert",
    "check",
    "checkpoint",
    "close",
    "clustered",
    "coalesce",
    "commit",
    "compute",
    "confirm",
    "connect",
    "constraint",
    "continue",
    "controlrow",
    "convert",
    "count",
    "count_big",
    "create",
    "current",
    "cursor",
    "database",
    "dbcc",
    "deallocate",
    "declare",
    "default",
    "delete",
    "desc",
    "deterministic",
    "disk",
    "distinct",
    "double",
    "drop",
    "dummy",
    "dump",
    "else",
    "end",
    "endtran",
    "errlvl",
    "errordata",
    "errorexit",
    "escape",
    "except",
    "exclusive",
    "exec",
    "execute",
    "exists",
    "exit",
    "exp_row_size",
    "external",
    "fetch",
    "fillfactor",
    "for",
    "foreign",
    "from",
    "func",
    "function",
    "goto",
    "grant",
    "group",
    "having",
    "holdlock",
    "identity",
    "identity_gap",
    "identity_insert",
    "identity_start",
    "if",
    "in",
    "index",
    "inout",
    "insensitive",
    "insert",
    "install",
    "intersect",
    "into",
    "is",
    "isolation",
    "jar",
    "join",
    "key",
    "kill",
    "level",
    "like",
    "lineno",
    "load",
    "lock",
    "materialized",
    "max",
    "max_rows_per_page",
    "min",
    "mirror",
    "mirrorexit",
    "modify",
    "national",
    "new",
    "noholdlock",
    "non_sensitive",
    "nonclustered",
    "nonscrollable",
    "not",
    "null",
    "nullif",
    "numeric_truncation",
    "of",
    "off",
    "offsets",
    "on",
    "once",
    "online",
    "only",
    "open",
    "option",
    "or",
    "order",
    "out",
    "output",
    "over",
    "partition",
    "perm",
    "permanent",
    "plan",
    "prepare",
    "primary",
    "print",
    "privileges",
    "proc",
    "procedure",
    "processexit",
    "proxy_table",
    "public",
    "quiesce",
    "raiserror",
    "read",
    "readpast",
    "readtext",
    "reconfigure",
    "references",
    "remove",
    "reorg",
    "replace",
    "replication",
    "reservepagegap",
    "return",
    "returns",
    "revoke",
    "role",
    "rollback",
    "rowcount",
    "rows",
    "rule",
    "save",
    "schema",
    "scroll",
    "scrollable",
    "select",
    "semi_sensitive",
    "set",
    "setuser",
    "shared",
    "shutdown",
    "some",
    "statistics",
    "stringsize",
    "stripe",
    "sum",
    "syb_identity",
    "syb_restree",
    "syb_terminate",
    "table",
    "temp",
    "temporary",
    "textsize",
    "to",
    "tracefile",
    "tran",
    "transaction",
    "trigger",
    "truncate",
    "tsequal",
    "union",
    "unique",
    "unpartition",
    "update",
    "use",
    "user",
    "user_option",
    "using",
    "values",
    "varying",
    "view",
    "waitfor",
    "when",
    "where",
    "while",
    "with",
    "work",
    "writetext",
};
static_assert(std::is_sorted(std::begin(kReserved), std::end(kReserved)));

bool isLetter(unsigned char c) {
    // Bytes of multi-byte UTF-8 sequences count as letters so national names pass through.
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}
bool isHexDigit(unsigned char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool isIdentChar(unsigned char c) {
    return isLetter(c) || isDigit(c) || c == '$' || c == '#';
}

std::string toLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

class Lexer {
public:
    explicit Lexer(std::string_view sql) : m_sql(sql) {}

    LexResult run() {
        LexResult result;
        // Typical Transact-SQL averages well over four bytes per token.
        result.tokens.reserve(m_sql.size() / 4 + 16);
        while (true) {
            if (!skipSpaceAndComments(result)) {
                break;
            }
            if (m_pos >= m_sql.size()) {
                Token end;
                end.begin = end.end = m_pos;
                end.line = m_line;
                result.tokens.push_back(std::move(end));
                break;
            }
            if (!next(result)) {
                break;
            }
        }
        return result;
    }

private:
    unsigned char at(std::size_t i) const {
        return i < m_sql.size() ? static_cast<unsigned char>(m_sql[i]) : 0;
    }

    void fail(LexResult& result, std::size_t begin, int line, int number, std::string message) {
        result.ok = false;
        result.error = {number, line, std::move(message)};
        Token t;
        t.kind = TokenKind::Error;
        t.begin = begin;
        t.end = m_sql.size();
        t.line = line;
        result.tokens.push_back(std::move(t));
    }

    // Returns false when an unterminated comment ended the batch.
    bool skipSpaceAndComments(LexResult& result) {
        while (m_pos < m_sql.size()) {
            unsigned char c = at(m_pos);
            if (c == '\n') {
                ++m_line;
                ++m_pos;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                ++m_pos;
            } else if (c == '-' && at(m_pos + 1) == '-') {
                while (m_pos < m_sql.size() && m_sql[m_pos] != '\n') {
                    ++m_pos;
                }
            } else if (c == '/' && at(m_pos + 1) == '*') {
                std::size_t begin = m_pos;
                int line = m_line;
                int depth = 0;
                while (m_pos < m_sql.size()) {
                    if (at(m_pos) == '/' && at(m_pos + 1) == '*') {
                        ++depth;
                        m_pos += 2;
                    } else if (at(m_pos) == '*' && at(m_pos + 1) == '/') {
                        --depth;
                        m_pos += 2;
                        if (depth == 0) {
                            break;
                        }
                    } else {
                        if (at(m_pos) == '\n') {
                            ++m_line;
                        }
                        ++m_pos;
                    }
                }
                if (depth != 0) {
                    fail(result, begin, line, 113, "Missing end comment mark '*/'.");
                    return false;
                }
            } else {
                break;
            }
        }
        return true;
    }

    void push(LexResult& result, TokenKind kind, std::size_t begin, std::string text) {
        Token t;
        t.kind = kind;
        t.text = std::move(text);
        if (kind == TokenKind::Word) {
            t.lower = toLower(t.text);
        }
        t.begin = begin;
        t.end = m_pos;
        t.line = m_line;
        result.tokens.push_back(std::move(t));
    }

    // Returns false after an error token.
    bool next(LexResult& result) {
        const std::size_t begin = m_pos;
        const unsigned char c = at(m_pos);
        const unsigned char c1 = at(m_pos + 1);

        if (isLetter(c) || c == '#') {
            while (m_pos < m_sql.size() && isIdentChar(at(m_pos))) {
                ++m_pos;
            }
            push(result, TokenKind::Word, begin, std::string(m_sql.substr(begin, m_pos - begin)));
            return true;
        }
        if (c == '@') {
            const bool global = c1 == '@';
            m_pos += global ? 2 : 1;
            const std::size_t nameStart = m_pos;
            while (m_pos < m_sql.size() && isIdentChar(at(m_pos))) {
                ++m_pos;
            }
            if (m_pos == nameStart) {
                push(result, TokenKind::Invalid, begin,
                     std::string(m_sql.substr(begin, m_pos - begin)));
                return true;
            }
            push(result, global ? TokenKind::Global : TokenKind::Variable, begin,
                 std::string(m_sql.substr(begin, m_pos - begin)));
            return true;
        }
        if (c == '0' && (c1 == 'x' || c1 == 'X')) {
            m_pos += 2;
            while (m_pos < m_sql.size() && isHexDigit(at(m_pos))) {
                ++m_pos;
            }
            push(result, TokenKind::Hex, begin, std::string(m_sql.substr(begin, m_pos - begin)));
            return true;
        }
        if (isDigit(c) || (c == '.' && isDigit(c1))) {
            const TokenKind kind = scanNumber();
            push(result, kind, begin, std::string(m_sql.substr(begin, m_pos - begin)));
            return true;
        }
        if (c == '$' && (isDigit(c1) || (c1 == '.' && isDigit(at(m_pos + 2))))) {
            ++m_pos;
            const std::size_t digits = m_pos;
            scanNumber();
            push(result, TokenKind::Money, begin,
                 std::string(m_sql.substr(digits, m_pos - digits)));
            return true;
        }
        if (c == '\'' || c == '"') {
            return scanString(result, static_cast<char>(c));
        }
        if (c == '[') {
            return scanBracketed(result);
        }
        static constexpr std::array<std::string_view, 8> kTwoChar = {
            "<>", "!=", "<=", ">=", "!<", "!>", "*=", "=*"};
        const std::string_view two = m_sql.substr(m_pos, 2);
        if (std::find(kTwoChar.begin(), kTwoChar.end(), two) != kTwoChar.end()) {
            m_pos += 2;
            push(result, TokenKind::Operator, begin, std::string(two));
            return true;
        }
        static constexpr std::string_view kOneChar = "+-*/%=<>&|^~(),.;";
        ++m_pos;
        const bool op = kOneChar.find(static_cast<char>(c)) != std::string_view::npos;
        push(result, op ? TokenKind::Operator : TokenKind::Invalid, begin,
             std::string(1, static_cast<char>(c)));
        return true;
    }

    TokenKind scanNumber() {
        TokenKind kind = TokenKind::Integer;
        while (isDigit(at(m_pos))) {
            ++m_pos;
        }
        if (at(m_pos) == '.') {
            kind = TokenKind::Decimal;
            ++m_pos;
            while (isDigit(at(m_pos))) {
                ++m_pos;
            }
        }
        const unsigned char e = at(m_pos);
        if (e == 'e' || e == 'E') {
            std::size_t p = m_pos + 1;
            if (at(p) == '+' || at(p) == '-') {
                ++p;
            }
            if (isDigit(at(p))) {
                kind = TokenKind::Float;
                m_pos = p;
                while (isDigit(at(m_pos))) {
                    ++m_pos;
                }
            }
        }
        return kind;
    }

    // Quoted strings and [bracketed] names: a doubled closing character stands for itself.
    bool scanString(LexResult& result, char quote) {
        return scanEnclosed(result, quote, TokenKind::String);
    }

    bool scanBracketed(LexResult& result) {
        return scanEnclosed(result, ']', TokenKind::Delimited);
    }

    bool scanEnclosed(LexResult& result, char close, TokenKind kind) {
        const std::size_t begin = m_pos;
        const int line = m_line;
        std::string value;
        ++m_pos;
        while (true) {
            if (m_pos >= m_sql.size()) {
                if (kind == TokenKind::String)
                    fail(result, begin, line, 105,
                         "Unclosed quote before the character string '" + value + "'.");
                else
                    fail(result, begin, line, 102,
                         "Incorrect syntax near '" + std::string(m_sql.substr(begin, 30)) + "'.");
                return false;
            }
            const char ch = m_sql[m_pos];
            if (ch == close) {
                if (at(m_pos + 1) == static_cast<unsigned char>(close)) {
                    value += close;
                    m_pos += 2;
                    continue;
                }
                ++m_pos;
                break;
            }
            if (ch == '\n') {
                ++m_line;
            }
            value += ch;
            ++m_pos;
        }
        Token t;
        t.kind = kind;
        t.text = std::move(value);
        t.begin = begin;
        t.end = m_pos;
        t.line = line;
        result.tokens.push_back(std::move(t));
        return true;
    }

    std::string_view m_sql;
    std::size_t m_pos = 0;
    int m_line = 1;
};

} // namespace

LexResult tokenize(std::string_view sql) {
    return Lexer(sql).run();
}

bool isReservedWord(std::string_view lower) {
    return std::binary_search(std::begin(kReserved), std::end(kReserved), lower);
}

} // namespace sim::sql
