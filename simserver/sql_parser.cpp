// Recursive-descent parser for Transact-SQL batches; builds the tree of sql_ast.h.

#include "sql_ast.h"
#include "sql_lexer.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace sim::ast {

namespace {

using sql::Token;
using sql::TokenKind;

// Deep enough for any real query, shallow enough that even sanitizer-sized frames stay far
// from the end of a thread's stack.
constexpr int kMaxDepth = 200;
constexpr int kMaxChain = 500;

// Thrown at the token the grammar cannot accept; parseBatch turns it into a Sybase error.
struct SyntaxError {
    std::size_t tokenIndex;
};

// A statement that parses yet Sybase refuses while compiling the batch, so nothing of the
// batch runs: an unknown set option, a compute by list the order by does not start with.
struct Refusal {
    ParseError error;
};

bool contains(std::initializer_list<std::string_view> words, std::string_view w) {
    return std::find(words.begin(), words.end(), w) != words.end();
}

// Reserved words that still name functions when a '(' follows ("update(col)" tests, inside a
// trigger, whether the statement changed a column).
bool isFunctionKeyword(std::string_view lower) {
    return contains(
        {"count", "sum", "avg", "min", "max", "convert", "coalesce", "nullif", "update"}, lower);
}

// Not reserved in Sybase, yet a name in these places would swallow join syntax.
bool isJoinWord(std::string_view lower) {
    return contains({"left", "right", "inner", "outer", "cross", "full", "then"}, lower);
}

bool isComparison(const Token& t) {
    if (t.kind != TokenKind::Operator) {
        return false;
    }
    return contains({"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>", "*=", "=*"}, t.text);
}

bool isLiteral(const Token& t) {
    switch (t.kind) {
    case TokenKind::Integer:
    case TokenKind::Decimal:
    case TokenKind::Float:
    case TokenKind::Money:
    case TokenKind::Hex:
    case TokenKind::String:
        return true;
    default:
        return false;
    }
}

std::string toLower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

ExprPtr makeExpr(Expr::Kind kind, std::string text, int line) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->text = std::move(text);
    e->line = line;
    return e;
}

class Parser {
public:
    Parser(const std::string& sql, sql::LexResult lexed)
        : m_sql(sql), m_tokens(std::move(lexed.tokens)), m_lexError(std::move(lexed.error)) {}

    ParseResult run() {
        ParseResult result;
        try {
            bool first = true;
            while (true) {
                while (acceptOp(";")) {
                }
                if (peek().kind == TokenKind::End) {
                    break;
                }
                result.stmts.push_back(parseStatement(first));
                first = false;
            }
        } catch (const SyntaxError& e) {
            result.stmts.clear();
            result.ok = false;
            result.error = describe(e.tokenIndex);
        } catch (const Refusal& e) {
            result.stmts.clear();
            result.ok = false;
            result.error = e.error;
        }
        return result;
    }

private:
    // RAII nesting counter: refuses to go deeper than kMaxDepth.
    class Depth {
    public:
        explicit Depth(Parser& p) : m_parser(p) {
            if (++m_parser.m_depth > kMaxDepth) {
                m_parser.fail();
            }
        }
        ~Depth() { --m_parser.m_depth; }
        Depth(const Depth&) = delete;
        Depth& operator=(const Depth&) = delete;

    private:
        Parser& m_parser;
    };

    // ---- token access -------------------------------------------------------------------

    const Token& peek(std::size_t ahead = 0) const {
        return m_tokens[std::min(m_pos + ahead, m_tokens.size() - 1)];
    }
    const Token& advance() {
        const Token& t = m_tokens[m_pos];
        if (m_pos + 1 < m_tokens.size()) {
            ++m_pos;
        }
        return t;
    }
    [[noreturn]] void fail() const { throw SyntaxError{m_pos}; }

    bool atWord(std::string_view w, std::size_t ahead = 0) const { return peek(ahead).isWord(w); }
    bool atOp(std::string_view op, std::size_t ahead = 0) const { return peek(ahead).isOp(op); }
    bool acceptWord(std::string_view w) {
        if (atWord(w)) {
            advance();
            return true;
        }
        return false;
    }
    bool acceptOp(std::string_view op) {
        if (atOp(op)) {
            advance();
            return true;
        }
        return false;
    }
    void expectWord(std::string_view w) {
        if (!acceptWord(w)) {
            fail();
        }
    }
    void expectOp(std::string_view op) {
        if (!acceptOp(op)) {
            fail();
        }
    }

    // A name that may start a reference: an unreserved word or a [delimited] identifier.
    static bool isName(const Token& t) {
        return (t.kind == TokenKind::Word && !sql::isReservedWord(t.lower)) ||
               t.kind == TokenKind::Delimited;
    }
    // After a '.', reserved words are unambiguous and Sybase accepts them.
    static bool isQualifiedPart(const Token& t) {
        return t.kind == TokenKind::Word || t.kind == TokenKind::Delimited;
    }
    static bool isAlias(const Token& t) { return isName(t) && !isJoinWord(t.lower); }

    std::string expectName() {
        if (!isName(peek())) {
            fail();
        }
        return advance().text;
    }

    int expectSmallInt() {
        const Token& t = peek();
        if (t.kind != TokenKind::Integer) {
            fail();
        }
        int value = 0;
        auto [ptr, ec] = std::from_chars(t.text.data(), t.text.data() + t.text.size(), value);
        if (ec != std::errc() || ptr != t.text.data() + t.text.size()) {
            fail();
        }
        advance();
        return value;
    }

    ParseError describe(std::size_t index) const {
        ParseError err;
        const Token* t = &m_tokens[index];
        if (t->kind == TokenKind::Error) {
            err.number = m_lexError.number;
            err.line = m_lexError.line;
            err.message = m_lexError.message;
            return err;
        }
        bool atEnd = false;
        if (t->kind == TokenKind::End) {
            atEnd = true;
            if (index > 0) {
                t = &m_tokens[index - 1];
            }
        }
        err.line = t->line;
        std::string shown =
            t->kind == TokenKind::String ? t->text : m_sql.substr(t->begin, t->end - t->begin);
        if (!atEnd && t->kind == TokenKind::Word && sql::isReservedWord(t->lower)) {
            err.number = 156;
            err.message = "Incorrect syntax near the keyword '" + shown + "'.";
        } else {
            err.number = 102;
            err.message = "Incorrect syntax near '" + shown + "'.";
        }
        return err;
    }

    // ---- names and types ----------------------------------------------------------------

    // name[.name...] with at most maxParts parts; "db..t" leaves an empty middle part.
    std::vector<std::string> parseDottedName(std::size_t maxParts) {
        std::vector<std::string> parts;
        parts.push_back(expectName());
        while (atOp(".")) {
            advance();
            if (parts.size() >= maxParts) {
                fail();
            }
            if (atOp(".")) {
                parts.emplace_back();
                continue;
            }
            if (!isQualifiedPart(peek())) {
                fail();
            }
            parts.push_back(advance().text);
        }
        return parts;
    }

    // readtext table.column pointer offset size [holdlock]
    // writetext [bulk] table.column pointer [timestamp = ts] [with log] [value]
    StmtPtr parseTextCommand(bool read) {
        StmtPtr s = newStmt(read ? Stmt::Kind::Readtext : Stmt::Kind::Writetext);
        advance();
        if (!read) {
            s->on = acceptWord("bulk");
        }
        for (const std::string& part : parseDottedName(4)) {
            s->name += (s->name.empty() ? "" : ".") + part;
        }
        s->args.push_back(parseExpr());
        if (read) {
            s->args.push_back(parseExpr());
            s->args.push_back(parseExpr());
            acceptWord("holdlock");
            return s;
        }
        ExprPtr timestamp;
        if (acceptWord("timestamp")) {
            expectOp("=");
            timestamp = parseExpr();
        }
        if (acceptWord("with")) {
            expectWord("log");
        }
        s->args.push_back(s->on ? nullptr : parseExpr());
        s->args.push_back(std::move(timestamp));
        return s;
    }

    // [owner.]name, for objects that cannot be created in another database.
    ObjectName parseOwnerName() {
        const std::vector<std::string> parts = parseDottedName(2);
        ObjectName name;
        name.name = parts.back();
        if (parts.size() == 2) {
            name.owner = parts[0];
        }
        return name;
    }

    // [db.][owner.]name
    ObjectName parseObjectName() {
        const std::vector<std::string> parts = parseDottedName(3);
        ObjectName name;
        name.name = parts.back();
        if (parts.size() >= 2) {
            name.owner = parts[parts.size() - 2];
        }
        if (parts.size() == 3) {
            name.db = parts[0];
        }
        return name;
    }

    TypeName parseType() {
        TypeName type;
        const Token& t = peek();
        if (t.kind == TokenKind::Delimited) {
            type.name = toLower(advance().text);
        } else if (isName(t) || t.isWord("double")) {
            type.name = advance().lower;
            if (type.name == "double" && atWord("precision")) {
                advance();
                type.name = "double precision";
            } else if (type.name == "unsigned" && isName(peek())) {
                type.name += " " + advance().lower;
            }
        } else {
            fail();
        }
        if (acceptOp("(")) {
            type.arg1 = expectSmallInt();
            if (acceptOp(",")) {
                type.arg2 = expectSmallInt();
            }
            expectOp(")");
        }
        return type;
    }

    // ---- expressions --------------------------------------------------------------------

    ExprPtr parseExpr() {
        Depth depth(*this);
        ExprPtr left = parseAnd();
        while (atWord("or")) {
            advance();
            left = binary("or", std::move(left), parseAnd());
        }
        return left;
    }

    ExprPtr parseAnd() {
        ExprPtr left = parseNot();
        while (atWord("and")) {
            advance();
            left = binary("and", std::move(left), parseNot());
        }
        return left;
    }

    ExprPtr parseNot() {
        if (!atWord("not")) {
            return parsePredicate();
        }
        Depth depth(*this);
        const int line = advance().line;
        ExprPtr operand = parseNot();
        if (operand->kind == Expr::Kind::Exists && !operand->negated) {
            operand->negated = true;
            return operand;
        }
        ExprPtr e = makeExpr(Expr::Kind::Unary, "not", line);
        e->args.push_back(std::move(operand));
        return e;
    }

    // Operator chains nest to the left without recursion here, but everything that walks the
    // tree later recurses: a chain of thousands of "+1" must be refused, not crash.
    ExprPtr binary(std::string op, ExprPtr left, ExprPtr right) {
        ExprPtr e = makeExpr(Expr::Kind::Binary, std::move(op), left->line);
        e->height = std::max(left->height, right->height) + 1;
        if (e->height > kMaxChain)
            fail();
        e->args.push_back(std::move(left));
        e->args.push_back(std::move(right));
        return e;
    }

    // One comparison or predicate; "a = b = c" is not Transact-SQL.
    ExprPtr parsePredicate() {
        ExprPtr left = parseAdditive();
        if (isComparison(peek())) {
            std::string op = advance().text;
            return binary(std::move(op), std::move(left), parseAdditive());
        }
        bool negated = false;
        if (atWord("not") && (atWord("between", 1) || atWord("in", 1) || atWord("like", 1))) {
            advance();
            negated = true;
        }
        const int line = left->line;
        if (acceptWord("between")) {
            ExprPtr e = makeExpr(Expr::Kind::Between, "", line);
            e->args.push_back(std::move(left));
            e->args.push_back(parseAdditive());
            expectWord("and");
            e->args.push_back(parseAdditive());
            e->negated = negated;
            return e;
        }
        if (acceptWord("in")) {
            expectOp("(");
            ExprPtr e;
            if (atWord("select")) {
                e = makeExpr(Expr::Kind::InSelect, "", line);
                e->args.push_back(std::move(left));
                e->select = parseSelect();
            } else {
                e = makeExpr(Expr::Kind::InList, "", line);
                e->args.push_back(std::move(left));
                do {
                    e->args.push_back(parseExpr());
                } while (acceptOp(","));
            }
            expectOp(")");
            e->negated = negated;
            return e;
        }
        if (acceptWord("like")) {
            ExprPtr e = makeExpr(Expr::Kind::Like, "", line);
            e->args.push_back(std::move(left));
            e->args.push_back(parseAdditive());
            if (acceptWord("escape")) {
                e->args.push_back(parseAdditive());
            }
            e->negated = negated;
            return e;
        }
        if (acceptWord("is")) {
            ExprPtr e = makeExpr(Expr::Kind::IsNull, "", line);
            e->negated = acceptWord("not");
            expectWord("null");
            e->args.push_back(std::move(left));
            return e;
        }
        return left;
    }

    ExprPtr parseAdditive() {
        ExprPtr left = parseMultiplicative();
        while (peek().kind == TokenKind::Operator &&
               contains({"+", "-", "&", "|", "^"}, peek().text)) {
            std::string op = advance().text;
            left = binary(std::move(op), std::move(left), parseMultiplicative());
        }
        return left;
    }

    ExprPtr parseMultiplicative() {
        ExprPtr left = parseUnary();
        while (peek().kind == TokenKind::Operator && contains({"*", "/", "%"}, peek().text)) {
            std::string op = advance().text;
            left = binary(std::move(op), std::move(left), parseUnary());
        }
        return left;
    }

    ExprPtr parseUnary() {
        if (peek().kind == TokenKind::Operator && contains({"-", "+", "~"}, peek().text)) {
            Depth depth(*this);
            const Token& op = advance();
            ExprPtr e = makeExpr(Expr::Kind::Unary, op.text, op.line);
            e->args.push_back(parseUnary());
            return e;
        }
        return parsePrimary();
    }

    ExprPtr parsePrimary() {
        const Token& t = peek();
        const int line = t.line;
        switch (t.kind) {
        case TokenKind::Integer:
            return makeExpr(Expr::Kind::Integer, advance().text, line);
        case TokenKind::Decimal:
            return makeExpr(Expr::Kind::Decimal, advance().text, line);
        case TokenKind::Float:
            return makeExpr(Expr::Kind::Float, advance().text, line);
        case TokenKind::Money:
            return makeExpr(Expr::Kind::Money, advance().text, line);
        case TokenKind::Hex:
            return makeExpr(Expr::Kind::Hex, advance().text, line);
        case TokenKind::String:
            return makeExpr(Expr::Kind::String, advance().text, line);
        case TokenKind::Variable:
            return makeExpr(Expr::Kind::Variable, advance().text, line);
        case TokenKind::Global:
            return makeExpr(Expr::Kind::Global, toLower(advance().text), line);
        case TokenKind::Delimited:
            return parseColumn();
        case TokenKind::Operator:
            if (t.text == "(") {
                advance();
                ExprPtr e;
                if (atWord("select")) {
                    e = makeExpr(Expr::Kind::Subquery, "", line);
                    e->select = parseSelect();
                } else {
                    e = parseExpr();
                }
                expectOp(")");
                return e;
            }
            fail();
        case TokenKind::Word:
            break;
        default:
            fail();
        }

        if (t.lower == "null") {
            advance();
            return makeExpr(Expr::Kind::Null, "", line);
        }
        if (t.lower == "case") {
            return parseCase();
        }
        if (t.lower == "exists") {
            advance();
            ExprPtr e = makeExpr(Expr::Kind::Exists, "", line);
            expectOp("(");
            e->select = parseSelect();
            expectOp(")");
            return e;
        }
        if (atOp("(", 1) && (isName(t) || isFunctionKeyword(t.lower))) {
            return parseFunction();
        }
        if (t.lower == "user") {
            // The bare "user" function: the current user's name.
            advance();
            return makeExpr(Expr::Kind::Function, "user", line);
        }
        if (!isName(t)) {
            fail();
        }
        return parseColumn();
    }

    // a, t.a, owner.t.a, db.owner.t.a (and "db..t.a").
    ExprPtr parseColumn() {
        const int line = peek().line;
        std::vector<std::string> parts = parseDottedName(4);
        ExprPtr e = makeExpr(Expr::Kind::Column, parts.back(), line);
        parts.pop_back();
        e->qualifiers = std::move(parts);
        return e;
    }

    ExprPtr parseFunction() {
        const Token& nameTok = advance();
        ExprPtr e = makeExpr(Expr::Kind::Function, nameTok.lower, nameTok.line);
        expectOp("(");
        if (e->text == "convert") {
            e->type = parseType();
            expectOp(",");
            e->args.push_back(parseExpr());
            if (acceptOp(",")) {
                e->args.push_back(parseExpr());
            }
        } else if (e->text == "cast") {
            // cast(x as t) means convert(t, x).
            e->text = "convert";
            e->args.push_back(parseExpr());
            expectWord("as");
            e->type = parseType();
        } else if (!atOp(")")) {
            if (acceptWord("distinct")) {
                e->negated = true;
            } else {
                acceptWord("all");
            }
            if (atOp("*") && atOp(")", 1)) {
                e->args.push_back(makeExpr(Expr::Kind::Star, "*", advance().line));
            } else {
                do {
                    e->args.push_back(parseExpr());
                } while (acceptOp(","));
            }
        }
        expectOp(")");
        return e;
    }

    ExprPtr parseCase() {
        ExprPtr e = makeExpr(Expr::Kind::Case, "", advance().line);
        if (!atWord("when")) {
            e->operand = parseExpr();
        }
        if (!atWord("when")) {
            fail();
        }
        while (acceptWord("when")) {
            e->args.push_back(parseExpr());
            expectWord("then");
            e->args.push_back(parseExpr());
        }
        if (acceptWord("else")) {
            e->elseExpr = parseExpr();
        }
        expectWord("end");
        return e;
    }

    // True when the tokens ahead read "name[.name...].*".
    bool atQualifiedStar() const {
        if (!isName(peek())) {
            return false;
        }
        std::size_t i = 1;
        while (atOp(".", i)) {
            const Token& n = peek(i + 1);
            if (n.isOp("*")) {
                return true;
            }
            if (n.isOp(".")) {
                ++i;
            } else if (isQualifiedPart(n)) {
                i += 2;
            } else {
                return false;
            }
        }
        return false;
    }

    // ---- select -------------------------------------------------------------------------

    SelectItem parseSelectItem() {
        SelectItem item;
        const Token& t = peek();
        if (t.isOp("*")) {
            item.expr = makeExpr(Expr::Kind::Star, "*", advance().line);
            return item;
        }
        if (atQualifiedStar()) {
            const int line = t.line;
            std::vector<std::string> parts;
            parts.push_back(advance().text);
            while (true) {
                expectOp(".");
                if (acceptOp("*")) {
                    break;
                }
                if (parts.size() >= 3) {
                    fail();
                }
                if (atOp(".")) {
                    parts.emplace_back();
                } else {
                    parts.push_back(advance().text);
                }
            }
            item.expr = makeExpr(Expr::Kind::Star, "*", line);
            item.expr->qualifiers = std::move(parts);
            return item;
        }
        if (atOp("=", 1)) {
            if (t.kind == TokenKind::Variable) {
                item.assignVar = advance().text;
                advance();
                item.expr = parseExpr();
                return item;
            }
            if (isName(t) || t.kind == TokenKind::String) {
                item.alias = advance().text;
                advance();
                item.expr = parseExpr();
                return item;
            }
        }
        item.expr = parseExpr();
        if (acceptWord("as")) {
            if (!isName(peek()) && peek().kind != TokenKind::String) {
                fail();
            }
            item.alias = advance().text;
        } else if (isAlias(peek()) || peek().kind == TokenKind::String) {
            item.alias = advance().text;
        }
        return item;
    }

    // Lock and index hints the simulator has no use for.
    void skipTableHints() {
        while (true) {
            if (acceptWord("holdlock") || acceptWord("noholdlock") || acceptWord("readpast") ||
                acceptWord("shared")) {
                continue;
            }
            if (atOp("(") && peek(1).kind == TokenKind::Word &&
                contains({"index", "prefetch", "lru", "mru", "parallel"}, peek(1).lower)) {
                advance();
                while (!atOp(")")) {
                    if (peek().kind == TokenKind::End || peek().kind == TokenKind::Error ||
                        atOp("(")) {
                        fail();
                    }
                    advance();
                }
                advance();
                continue;
            }
            return;
        }
    }

    TableRef parseTableFactor(TableRef::Join join) {
        TableRef ref;
        ref.join = join;
        if (atOp("(") && atWord("select", 1)) {
            advance();
            ref.derived = parseSelect();
            expectOp(")");
        } else {
            ref.table = parseObjectName();
        }
        skipTableHints();
        if (acceptWord("as")) {
            ref.alias = expectName();
        } else if (isAlias(peek())) {
            ref.alias = advance().text;
        }
        skipTableHints();
        return ref;
    }

    void parseTableRefs(std::vector<TableRef>& refs) {
        refs.push_back(parseTableFactor(TableRef::Join::First));
        while (true) {
            if (acceptOp(",")) {
                refs.push_back(parseTableFactor(TableRef::Join::Comma));
                continue;
            }
            TableRef::Join join;
            if (acceptWord("join")) {
                join = TableRef::Join::Inner;
            } else if (atWord("inner") && atWord("join", 1)) {
                advance();
                advance();
                join = TableRef::Join::Inner;
            } else if (atWord("left") || atWord("right")) {
                join = advance().lower == "left" ? TableRef::Join::Left : TableRef::Join::Right;
                acceptWord("outer");
                expectWord("join");
            } else if (atWord("cross") && atWord("join", 1)) {
                advance();
                advance();
                refs.push_back(parseTableFactor(TableRef::Join::Cross));
                continue;
            } else {
                return;
            }
            TableRef ref = parseTableFactor(join);
            expectWord("on");
            ref.on = parseExpr();
            refs.push_back(std::move(ref));
        }
    }

    // One select without union parts or order by.
    SelectPtr parseSelectCore() {
        Depth depth(*this);
        auto s = std::make_unique<Select>();
        s->line = peek().line;
        expectWord("select");
        if (acceptWord("distinct")) {
            s->distinct = true;
        } else {
            acceptWord("all");
        }
        // "top" is no reserved word: only a number after it makes it the row limit.
        if (atWord("top") && peek(1).kind == TokenKind::Integer) {
            advance();
            s->top = std::strtoll(advance().text.c_str(), nullptr, 10);
        }
        do {
            s->items.push_back(parseSelectItem());
        } while (acceptOp(","));
        if (acceptWord("into")) {
            s->hasInto = true;
            s->into = parseObjectName();
        }
        if (acceptWord("from")) {
            parseTableRefs(s->from);
        }
        if (acceptWord("where")) {
            s->where = parseExpr();
        }
        if (acceptWord("group")) {
            expectWord("by");
            do {
                s->groupBy.push_back(parseExpr());
            } while (acceptOp(","));
        }
        if (acceptWord("having")) {
            s->having = parseExpr();
        }
        return s;
    }

    // A view's select takes no order by; the word is then left for the caller to reject.
    SelectPtr parseSelect(bool allowOrderBy = true) {
        SelectPtr s = parseSelectCore();
        while (acceptWord("union")) {
            Select::UnionPart part;
            part.all = acceptWord("all");
            part.select = parseSelectCore();
            s->unions.push_back(std::move(part));
        }
        if (allowOrderBy && acceptWord("order")) {
            expectWord("by");
            do {
                OrderItem item;
                item.expr = parseExpr();
                if (acceptWord("desc")) {
                    item.desc = true;
                } else {
                    acceptWord("asc");
                }
                s->orderBy.push_back(std::move(item));
            } while (acceptOp(","));
        }
        return s;
    }

    // ---- compute ------------------------------------------------------------------------

    static bool sameExpr(const Expr& a, const Expr& b) {
        if (a.kind != b.kind || toLower(a.text) != toLower(b.text) ||
            a.args.size() != b.args.size() || a.negated != b.negated) {
            return false;
        }
        if (a.kind == Expr::Kind::Column) {
            // "t.price" and "price" name the same column when one side leaves the table out.
            if (!a.qualifiers.empty() && !b.qualifiers.empty() &&
                toLower(a.qualifiers.back()) != toLower(b.qualifiers.back())) {
                return false;
            }
            return true;
        }
        if (a.qualifiers != b.qualifiers || a.operand || b.operand || a.select || b.select) {
            return false;
        }
        for (std::size_t i = 0; i < a.args.size(); ++i) {
            if (!sameExpr(*a.args[i], *b.args[i])) {
                return false;
            }
        }
        return true;
    }

    // The select-list column (from 1) an expression names, by alias or by the same
    // expression; 0 when it names none.
    static int selectColumn(const Select& sel, const Expr& e) {
        for (std::size_t i = 0; i < sel.items.size(); ++i) {
            const SelectItem& item = sel.items[i];
            if (e.kind == Expr::Kind::Column && e.qualifiers.empty() && !item.alias.empty() &&
                toLower(item.alias) == toLower(e.text)) {
                return int(i + 1);
            }
            if (item.expr && item.expr->kind != Expr::Kind::Star && sameExpr(*item.expr, e)) {
                return int(i + 1);
            }
        }
        return 0;
    }

    // The select-list column an order by item sorts on; 0 for a column not in the list.
    static int orderColumn(const Select& sel, const OrderItem& item) {
        if (item.expr->kind == Expr::Kind::Integer) {
            int n = 0;
            std::from_chars(item.expr->text.data(), item.expr->text.data() + item.expr->text.size(),
                            n);
            return n;
        }
        return selectColumn(sel, *item.expr);
    }

    Compute parseCompute(const Select& sel) {
        Compute c;
        c.line = peek().line;
        expectWord("compute");
        do {
            ComputeAggregate agg;
            const Token& name = peek();
            if (!name.isWord("sum") && !name.isWord("avg") && !name.isWord("count") &&
                !name.isWord("min") && !name.isWord("max")) {
                fail();
            }
            agg.op = advance().lower;
            expectOp("(");
            const std::size_t operandAt = m_pos;
            agg.operand = parseExpr();
            expectOp(")");
            // The operand travels as a select-list column number.
            agg.column = selectColumn(sel, *agg.operand);
            if (agg.column == 0) {
                throw SyntaxError{operandAt};
            }
            c.aggregates.push_back(std::move(agg));
        } while (acceptOp(","));
        if (acceptWord("by")) {
            std::size_t i = 0;
            do {
                ExprPtr by = parseExpr();
                const int column = selectColumn(sel, *by);
                // Sybase's rule: the by list is the order by list's beginning, in order.
                if (column == 0 || i >= sel.orderBy.size() ||
                    orderColumn(sel, sel.orderBy[i]) != column) {
                    ParseError err;
                    err.number = 143;
                    err.line = c.line;
                    err.message = "A COMPUTE BY item was not found in the order by list. All "
                                  "expressions in the compute by list must also be present in "
                                  "the order by list.";
                    throw Refusal{err};
                }
                c.byColumns.push_back(column);
                ++i;
            } while (acceptOp(","));
        }
        return c;
    }

    // ---- statements ---------------------------------------------------------------------

    StmtPtr newStmt(Stmt::Kind kind) {
        auto s = std::make_unique<Stmt>();
        s->kind = kind;
        s->line = peek().line;
        return s;
    }

    // Whether an optional trailing expression (return, exec arguments) is present.
    bool atExpressionStart() const {
        const Token& t = peek();
        if (isLiteral(t) || t.kind == TokenKind::Variable || t.kind == TokenKind::Global) {
            return true;
        }
        if (t.kind == TokenKind::Operator) {
            return contains({"(", "-", "+", "~"}, t.text);
        }
        if (t.kind == TokenKind::Word) {
            return t.lower == "null" || t.lower == "case" ||
                   (atOp("(", 1) && (isName(t) || isFunctionKeyword(t.lower)));
        }
        return false;
    }

    StmtPtr parseStatement(bool firstInBatch) {
        Depth depth(*this);
        const Token& t = peek();
        if (t.kind == TokenKind::Word) {
            const std::string& w = t.lower;
            if (w == "select") {
                StmtPtr s = newStmt(Stmt::Kind::Select);
                s->select = parseSelect();
                while (atWord("compute")) {
                    s->select->computes.push_back(parseCompute(*s->select));
                }
                return s;
            }
            if (w == "insert") {
                return parseInsert();
            }
            if (w == "update") {
                return parseUpdate();
            }
            if (w == "delete") {
                return parseDelete();
            }
            if (w == "truncate") {
                StmtPtr s = newStmt(Stmt::Kind::Truncate);
                advance();
                expectWord("table");
                s->table = parseObjectName();
                return s;
            }
            if (w == "create") {
                return parseCreate();
            }
            if (w == "drop") {
                return parseDrop();
            }
            if (w == "grant" || w == "revoke") {
                return parseGrantOrRevoke(w == "grant");
            }
            if (w == "use") {
                StmtPtr s = newStmt(Stmt::Kind::Use);
                advance();
                if (!isName(peek()) && peek().kind != TokenKind::String) {
                    fail();
                }
                s->name = advance().text;
                return s;
            }
            if (w == "readtext" || w == "writetext") {
                return parseTextCommand(w == "readtext");
            }
            if (w == "set") {
                return parseSet();
            }
            if (w == "print") {
                StmtPtr s = newStmt(Stmt::Kind::Print);
                advance();
                do {
                    s->args.push_back(parseExpr());
                } while (acceptOp(","));
                return s;
            }
            if (w == "raiserror") {
                return parseRaiserror();
            }
            if (w == "waitfor") {
                StmtPtr s = newStmt(Stmt::Kind::Waitfor);
                advance();
                if (!atWord("delay") && !atWord("time")) {
                    fail();
                }
                s->name = advance().lower;
                s->args.push_back(parseExpr());
                return s;
            }
            if (w == "declare") {
                StmtPtr s = newStmt(Stmt::Kind::Declare);
                advance();
                do {
                    Declaration d;
                    if (peek().kind != TokenKind::Variable) {
                        fail();
                    }
                    d.name = advance().text;
                    d.type = parseType();
                    s->decls.push_back(std::move(d));
                } while (acceptOp(","));
                return s;
            }
            if (w == "if") {
                StmtPtr s = newStmt(Stmt::Kind::If);
                advance();
                s->args.push_back(parseExpr());
                s->body.push_back(parseStatement(false));
                if (atOp(";") && atWord("else", 1)) {
                    advance();
                }
                if (acceptWord("else")) {
                    s->body.push_back(parseStatement(false));
                }
                return s;
            }
            if (w == "while") {
                StmtPtr s = newStmt(Stmt::Kind::While);
                advance();
                s->args.push_back(parseExpr());
                s->body.push_back(parseStatement(false));
                return s;
            }
            if (w == "begin") {
                return parseBegin();
            }
            if (w == "return") {
                StmtPtr s = newStmt(Stmt::Kind::Return);
                advance();
                if (atExpressionStart()) {
                    s->args.push_back(parseExpr());
                }
                return s;
            }
            if (w == "break" || w == "continue") {
                StmtPtr s = newStmt(w == "break" ? Stmt::Kind::Break : Stmt::Kind::Continue);
                advance();
                return s;
            }
            if (w == "commit" || w == "rollback") {
                StmtPtr s =
                    newStmt(w == "commit" ? Stmt::Kind::CommitTran : Stmt::Kind::RollbackTran);
                advance();
                if (!acceptWord("tran") && !acceptWord("transaction")) {
                    acceptWord("work");
                }
                if (isAlias(peek()) || peek().kind == TokenKind::Variable) {
                    s->name = advance().text;
                }
                return s;
            }
            if (w == "save") {
                StmtPtr s = newStmt(Stmt::Kind::SaveTran);
                advance();
                if (!acceptWord("tran") && !acceptWord("transaction")) {
                    fail();
                }
                if (!isName(peek()) && peek().kind != TokenKind::Variable) {
                    fail();
                }
                s->name = advance().text;
                return s;
            }
            if (w == "exec" || w == "execute") {
                StmtPtr s = newStmt(Stmt::Kind::Exec);
                advance();
                parseExecBody(*s);
                return s;
            }
            if (w == "kill") {
                StmtPtr s = newStmt(Stmt::Kind::Kill);
                advance();
                s->args.push_back(parseExpr());
                return s;
            }
        }
        // Only the first statement of a batch may name a procedure without "exec".
        if (firstInBatch && isName(t)) {
            StmtPtr s = newStmt(Stmt::Kind::Exec);
            parseExecBody(*s);
            return s;
        }
        fail();
    }

    StmtPtr parseInsert() {
        StmtPtr s = newStmt(Stmt::Kind::Insert);
        advance();
        acceptWord("into");
        s->table = parseObjectName();
        if (atOp("(") && !atWord("select", 1)) {
            advance();
            do {
                s->columns.push_back(expectName());
            } while (acceptOp(","));
            expectOp(")");
        }
        if (acceptWord("values")) {
            do {
                expectOp("(");
                std::vector<ExprPtr> row;
                do {
                    row.push_back(parseExpr());
                } while (acceptOp(","));
                expectOp(")");
                s->values.push_back(std::move(row));
            } while (acceptOp(","));
        } else if (atWord("select")) {
            s->select = parseSelect();
        } else {
            fail();
        }
        return s;
    }

    StmtPtr parseUpdate() {
        StmtPtr s = newStmt(Stmt::Kind::Update);
        advance();
        s->table = parseObjectName();
        expectWord("set");
        do {
            std::string target;
            if (peek().kind == TokenKind::Variable) {
                target = advance().text;
            } else {
                // "t.col = x": the executor only needs the column.
                target = parseColumn()->text;
            }
            expectOp("=");
            s->sets.emplace_back(std::move(target), parseExpr());
        } while (acceptOp(","));
        if (acceptWord("from")) {
            parseTableRefs(s->from);
        }
        if (acceptWord("where")) {
            s->where = parseExpr();
        }
        return s;
    }

    StmtPtr parseDelete() {
        StmtPtr s = newStmt(Stmt::Kind::Delete);
        advance();
        acceptWord("from");
        s->table = parseObjectName();
        if (acceptWord("from")) {
            parseTableRefs(s->from);
        }
        if (acceptWord("where")) {
            s->where = parseExpr();
        }
        return s;
    }

    StmtPtr parseCreate() {
        const std::size_t createIndex = m_pos;
        if (atWord("table", 1)) {
            StmtPtr s = newStmt(Stmt::Kind::CreateTable);
            advance();
            advance();
            parseCreateTableBody(*s);
            return s;
        }
        if (atWord("procedure", 1) || atWord("proc", 1)) {
            StmtPtr s = newStmt(Stmt::Kind::CreateProcedure);
            advance();
            advance();
            parseCreateProcedureBody(*s, createIndex);
            return s;
        }
        if (atWord("view", 1)) {
            return parseCreateView(createIndex);
        }
        if (atWord("trigger", 1)) {
            return parseCreateTrigger(createIndex);
        }
        if (atWord("unique", 1) || atWord("clustered", 1) || atWord("nonclustered", 1) ||
            atWord("index", 1)) {
            return parseCreateIndex();
        }
        if (atWord("rule", 1) || atWord("default", 1)) {
            const bool rule = atWord("rule", 1);
            StmtPtr s = newStmt(rule ? Stmt::Kind::CreateRule : Stmt::Kind::CreateDefault);
            advance();
            advance();
            s->table = parseOwnerName();
            expectWord("as");
            // A rule is a condition on its @variable; a default is a plain value.
            s->args.push_back(rule ? parseExpr() : parseAdditive());
            s->sourceText = textFrom(createIndex);
            return s;
        }
        if (atWord("database", 1)) {
            return parseCreateDatabase();
        }
        advance();
        fail();
    }

    // The batch's text from the token at firstToken to the end of the last token consumed.
    std::string textFrom(std::size_t firstToken) const {
        const std::size_t begin = m_tokens[firstToken].begin;
        return m_sql.substr(begin, m_tokens[m_pos - 1].end - begin);
    }

    // The statements of a procedure or trigger: the rest of the batch, at least one.
    // sourceText runs from "create" to the end of the batch, trailing blanks dropped.
    void parseBodyToEndOfBatch(Stmt& s, std::size_t createIndex) {
        while (true) {
            while (acceptOp(";")) {
            }
            if (peek().kind == TokenKind::End) {
                break;
            }
            s.body.push_back(parseStatement(false));
        }
        if (s.body.empty()) {
            fail();
        }
        std::string text = m_sql.substr(m_tokens[createIndex].begin);
        const std::size_t last = text.find_last_not_of(" \t\r\n\f\v");
        text.erase(last == std::string::npos ? 0 : last + 1);
        s.sourceText = std::move(text);
    }

    StmtPtr parseCreateView(std::size_t createIndex) {
        StmtPtr s = newStmt(Stmt::Kind::CreateView);
        advance();
        advance();
        s->table = parseOwnerName();
        if (atOp("(")) {
            s->columns = parseNameList();
        }
        expectWord("as");
        s->select = parseSelect(false);
        if (atWord("with") && atWord("check", 1) && atWord("option", 2)) {
            advance();
            advance();
            advance();
        }
        s->sourceText = textFrom(createIndex);
        return s;
    }

    StmtPtr parseCreateTrigger(std::size_t createIndex) {
        StmtPtr s = newStmt(Stmt::Kind::CreateTrigger);
        advance();
        advance();
        s->table = parseOwnerName();
        expectWord("on");
        s->names.push_back(parseOwnerName());
        expectWord("for");
        do {
            if (!atWord("insert") && !atWord("update") && !atWord("delete")) {
                fail();
            }
            s->columns.push_back(advance().lower);
        } while (acceptOp(","));
        expectWord("as");
        parseBodyToEndOfBatch(*s, createIndex);
        return s;
    }

    StmtPtr parseCreateIndex() {
        StmtPtr s = newStmt(Stmt::Kind::CreateIndex);
        advance();
        s->unique = acceptWord("unique");
        if (acceptWord("clustered")) {
            s->clustered = 1;
        } else if (acceptWord("nonclustered")) {
            s->clustered = -1;
        }
        expectWord("index");
        s->name = expectName();
        expectWord("on");
        s->table = parseObjectName();
        expectOp("(");
        do {
            s->columns.push_back(expectName());
            if (!acceptWord("asc")) {
                acceptWord("desc");
            }
        } while (acceptOp(","));
        expectOp(")");
        if (acceptWord("with")) {
            do {
                skipIndexOption();
            } while (acceptOp(","));
        }
        if (acceptWord("on")) {
            // "default" is reserved yet names the default segment.
            if (atWord("default") || peek().kind == TokenKind::String) {
                s->segment = advance().text;
            } else {
                s->segment = expectName();
            }
        }
        return s;
    }

    // One "with" option of create index; the simulator keeps none of them.
    void skipIndexOption() {
        if (acceptWord("statistics")) {
            expectWord("using");
            expectSmallInt();
            expectWord("values");
            return;
        }
        const Token& t = peek();
        const bool numeric =
            t.kind == TokenKind::Word &&
            contains({"fillfactor", "max_rows_per_page", "reservepagegap", "consumers"}, t.lower);
        if (!numeric && !isName(t)) {
            fail();
        }
        advance();
        if (numeric) {
            expectOp("=");
            expectSmallInt();
        } else if (acceptOp("=")) {
            const Token& v = peek();
            if (v.kind != TokenKind::Integer && v.kind != TokenKind::String && !isName(v)) {
                fail();
            }
            advance();
        }
    }

    // "on dev [= size], ..." and "log on ..." device lists of create database.
    void skipDeviceList() {
        do {
            if (!acceptWord("default")) {
                expectName();
            }
            if (acceptOp("=")) {
                const TokenKind k = peek().kind;
                if (k != TokenKind::Integer && k != TokenKind::Decimal && k != TokenKind::String) {
                    fail();
                }
                advance();
            }
        } while (acceptOp(","));
    }

    StmtPtr parseCreateDatabase() {
        StmtPtr s = newStmt(Stmt::Kind::CreateDatabase);
        advance();
        advance();
        s->name = expectName();
        if (acceptWord("on")) {
            skipDeviceList();
        }
        if (acceptWord("log")) {
            expectWord("on");
            skipDeviceList();
        }
        if (acceptWord("with")) {
            expectWord("override");
        }
        if (acceptWord("for")) {
            if (!acceptWord("load")) {
                expectWord("proxy_update");
            }
        }
        return s;
    }

    // grant/revoke, object form ("grant select, update (a) on t to u") or command form
    // ("grant create table to u").
    StmtPtr parseGrantOrRevoke(bool grant) {
        StmtPtr s = newStmt(grant ? Stmt::Kind::Grant : Stmt::Kind::Revoke);
        advance();
        if (!grant && atWord("grant") && atWord("option", 1) && atWord("for", 2)) {
            advance();
            advance();
            advance();
        }
        bool command = false; // a "create ..." permission was named
        bool object = false;  // a permission that needs "on object"
        do {
            const Token& t = peek();
            if (t.isWord("all")) {
                advance();
                acceptWord("privileges");
                s->privileges.emplace_back("all");
            } else if (t.isWord("create")) {
                advance();
                const Token& what = peek();
                if (what.kind != TokenKind::Word ||
                    !contains({"table", "view", "procedure", "default", "rule", "database"},
                              what.lower)) {
                    fail();
                }
                s->privileges.push_back("create " + what.lower);
                advance();
                command = true;
            } else if (t.kind == TokenKind::Word &&
                       contains({"select", "insert", "update", "delete", "references", "execute"},
                                t.lower)) {
                s->privileges.push_back(t.lower);
                advance();
                object = true;
            } else {
                fail();
            }
        } while (acceptOp(","));
        if (!command && atOp("(")) {
            s->columns = parseNameList();
        }
        if (atWord("on") && !command) {
            advance();
            s->names.push_back(parseObjectName());
            if (atOp("(")) {
                if (!s->columns.empty()) {
                    fail();
                }
                s->columns = parseNameList();
            }
        } else if (object || !s->columns.empty()) {
            fail();
        }
        expectWord(grant ? "to" : "from");
        do {
            if (atWord("public")) {
                advance();
                s->grantees.emplace_back("public");
            } else {
                s->grantees.push_back(expectName());
            }
        } while (acceptOp(","));
        if (grant && !s->names.empty() && atWord("with") && atWord("grant", 1)) {
            advance();
            advance();
            expectWord("option");
            s->on = true;
        } else if (!grant) {
            acceptWord("cascade");
        }
        return s;
    }

    void skipClustered() {
        if (!acceptWord("clustered")) {
            acceptWord("nonclustered");
        }
    }

    std::vector<std::string> parseNameList() {
        std::vector<std::string> names;
        expectOp("(");
        do {
            names.push_back(expectName());
        } while (acceptOp(","));
        expectOp(")");
        return names;
    }

    void parseParenthesisedCheck() {
        expectOp("(");
        parseExpr();
        expectOp(")");
    }

    void parseReferences() {
        parseObjectName();
        if (atOp("(")) {
            parseNameList();
        }
    }

    void parseTableConstraint(Stmt& s) {
        if (acceptWord("primary")) {
            expectWord("key");
            skipClustered();
            for (const std::string& col : parseNameList()) {
                for (ColumnDef& def : s.columnDefs) {
                    if (def.name == col) {
                        def.primaryKey = true;
                    }
                }
            }
        } else if (acceptWord("unique")) {
            skipClustered();
            const std::vector<std::string> cols = parseNameList();
            // Only a single column is unique by itself.
            for (ColumnDef& def : s.columnDefs) {
                if (cols.size() == 1 && def.name == cols[0]) {
                    def.unique = true;
                }
            }
        } else if (acceptWord("foreign")) {
            expectWord("key");
            parseNameList();
            expectWord("references");
            parseReferences();
        } else if (acceptWord("check")) {
            parseParenthesisedCheck();
        } else {
            fail();
        }
    }

    ColumnDef parseColumnDef() {
        ColumnDef def;
        def.name = expectName();
        def.type = parseType();
        while (true) {
            if (acceptWord("null")) {
                def.nullability = 1;
            } else if (atWord("not") && atWord("null", 1)) {
                advance();
                advance();
                def.nullability = -1;
            } else if (acceptWord("identity")) {
                def.identity = true;
            } else if (acceptWord("default")) {
                def.defaultValue = parseAdditive();
            } else if (acceptWord("primary")) {
                expectWord("key");
                skipClustered();
                def.primaryKey = true;
            } else if (acceptWord("unique")) {
                skipClustered();
                def.unique = true;
            } else if (acceptWord("constraint")) {
                expectName();
            } else if (acceptWord("references")) {
                parseReferences();
            } else if (acceptWord("check")) {
                parseParenthesisedCheck();
            } else {
                return def;
            }
        }
    }

    void parseCreateTableBody(Stmt& s) {
        s.table = parseObjectName();
        expectOp("(");
        do {
            if (acceptWord("constraint")) {
                expectName();
                parseTableConstraint(s);
            } else if (atWord("primary") || atWord("unique") || atWord("foreign") ||
                       atWord("check")) {
                parseTableConstraint(s);
            } else {
                s.columnDefs.push_back(parseColumnDef());
            }
        } while (acceptOp(","));
        expectOp(")");
        // Storage clauses: "lock datarows", "on segment".
        while (true) {
            if (acceptWord("lock")) {
                if (peek().kind != TokenKind::Word) {
                    fail();
                }
                advance();
            } else if (acceptWord("on")) {
                expectName();
            } else {
                return;
            }
        }
    }

    void parseCreateProcedureBody(Stmt& s, std::size_t createIndex) {
        s.table = parseObjectName();
        const bool parenthesised = acceptOp("(");
        if (peek().kind == TokenKind::Variable) {
            do {
                ProcParam p;
                if (peek().kind != TokenKind::Variable) {
                    fail();
                }
                p.name = advance().text;
                p.type = parseType();
                if (acceptOp("=")) {
                    p.defaultValue = parseUnary();
                }
                if (acceptWord("output") || acceptWord("out")) {
                    p.output = true;
                }
                s.params.push_back(std::move(p));
            } while (acceptOp(","));
        }
        if (parenthesised) {
            expectOp(")");
        }
        if (acceptWord("with")) {
            expectWord("recompile");
        }
        expectWord("as");
        parseBodyToEndOfBatch(s, createIndex);
    }

    StmtPtr parseDrop() {
        StmtPtr s = newStmt(Stmt::Kind::Drop);
        advance();
        const Token& what = peek();
        if (what.kind != TokenKind::Word ||
            !contains({"table", "procedure", "proc", "view", "trigger", "index", "rule", "default",
                       "database"},
                      what.lower)) {
            fail();
        }
        s->name = what.lower == "proc" ? "procedure" : what.lower;
        advance();
        do {
            s->names.push_back(parseObjectName());
        } while (acceptOp(","));
        return s;
    }

    StmtPtr parseSet() {
        StmtPtr s = newStmt(Stmt::Kind::SetOption);
        advance();
        if (atWord("rowcount") || atWord("textsize")) {
            s->kind = Stmt::Kind::SetValue;
            s->name = advance().lower;
            s->args.push_back(parseUnary());
            return s;
        }
        if (atWord("transaction") && atWord("isolation", 1) && atWord("level", 2)) {
            advance();
            advance();
            advance();
            s->kind = Stmt::Kind::SetValue;
            s->name = "transaction isolation level";
            const int line = peek().line;
            const char* level = nullptr;
            if (atWord("read") && atWord("uncommitted", 1)) {
                level = "0";
            } else if (atWord("read") && atWord("committed", 1)) {
                level = "1";
            } else if (atWord("repeatable") && atWord("read", 1)) {
                level = "2";
            }
            if (level != nullptr) {
                advance();
                advance();
                s->args.push_back(makeExpr(Expr::Kind::Integer, level, line));
            } else if (acceptWord("serializable")) {
                s->args.push_back(makeExpr(Expr::Kind::Integer, "3", line));
            } else {
                s->args.push_back(parseUnary());
            }
            return s;
        }
        // Reserved words that occur inside option names.
        auto optionWord = [](const Token& t) {
            return t.kind == TokenKind::Word &&
                   (!sql::isReservedWord(t.lower) ||
                    contains({"statistics", "arith_overflow", "numeric_truncation", "char_convert",
                              "identity_insert", "offsets", "plan", "table", "role", "transaction",
                              "isolation", "level", "lock", "close"},
                             t.lower));
        };
        std::vector<std::string> words;
        std::string lastAsTyped;
        while (optionWord(peek())) {
            words.push_back(peek().lower);
            lastAsTyped = advance().text;
        }
        if (words.empty()) {
            fail();
        }
        // "close on endtran" holds the word "on" itself.
        if (words.size() == 1 && words[0] == "close" && atWord("on") && atWord("endtran", 1)) {
            advance();
            words.push_back("on");
            words.push_back(advance().lower);
        }
        auto joined = [&words](std::size_t count) {
            std::string name;
            for (std::size_t i = 0; i < count; ++i) {
                name += (i ? " " : "") + words[i];
            }
            return name;
        };
        if (atWord("on") || atWord("off")) {
            s->on = advance().lower == "on";
            s->name = joined(words.size());
            if (s->name == "switch") {
                parseTraceFlags();
            }
            requireKnownSetOption(*s);
            return s;
        }
        s->kind = Stmt::Kind::SetValue;
        if (atExpressionStart()) {
            s->name = joined(words.size());
            s->args.push_back(parseUnary());
            requireKnownSetOption(*s);
            return s;
        }
        // "set dateformat mdy": the last word is the value.
        if (words.size() < 2) {
            if (!knownSetOption(Stmt::Kind::SetOption, words[0]) &&
                !knownSetOption(Stmt::Kind::SetValue, words[0])) {
                refuseSetOption(*s, words[0]);
            }
            fail();
        }
        s->name = joined(words.size() - 1);
        s->args.push_back(makeExpr(Expr::Kind::String, lastAsTyped, s->line));
        requireKnownSetOption(*s);
        return s;
    }

    // "set switch on 3604, 302 with override": the trace flags and their options, which
    // simserver takes without effect.
    void parseTraceFlags() {
        while (peek().kind == TokenKind::Integer) {
            advance();
            if (!acceptOp(",")) {
                break;
            }
        }
        if (acceptWord("with")) {
            do {
                expectName();
            } while (acceptOp(","));
        }
    }

    // Sybase checks set options while it compiles the batch: an unknown one stops all of it.
    static bool knownSetOption(Stmt::Kind kind, const std::string& name) {
        static const char* const switches[] = {"showplan",
                                               "noexec",
                                               "parseonly",
                                               "fmtonly",
                                               "statistics io",
                                               "statistics time",
                                               "arithabort arith_overflow",
                                               "arithabort numeric_truncation",
                                               "arithabort",
                                               "arithignore arith_overflow",
                                               "arithignore",
                                               "fipsflagger",
                                               "nocount",
                                               "quoted_identifier",
                                               "chained",
                                               "ansinull",
                                               "ansi_permissions",
                                               "close on endtran",
                                               "char_convert",
                                               "statement_cache",
                                               "switch",
                                               "forceplan",
                                               "flushmessage",
                                               "procid",
                                               "self_recursion",
                                               "string_rtruncation",
                                               "textsize",
                                               "dup_in_subquery",
                                               "or_strategy",
                                               "sort_resources",
                                               "statistics subquerycache",
                                               "statistics simulate",
                                               "identity_insert",
                                               "transaction isolation level",
                                               "cis_rpc_handling",
                                               "triggers",
                                               "replication",
                                               "proc_return_status",
                                               "proc_output_params"};
        static const char* const values[] = {
            "rowcount",   "textsize",       "transaction isolation level",
            "dateformat", "datefirst",      "language",
            "lock",       "lock wait",      "char_convert",
            "clientname", "clienthostname", "clientapplname"};
        if (kind == Stmt::Kind::SetValue) {
            return std::any_of(std::begin(values), std::end(values),
                               [&](const char* v) { return name == v; });
        }
        // "identity_insert t on" names its table after the option.
        return std::any_of(std::begin(switches), std::end(switches), [&](const char* k) {
            const std::size_t n = std::char_traits<char>::length(k);
            return name.compare(0, n, k) == 0 && (name.size() == n || name[n] == ' ');
        });
    }

    [[noreturn]] static void refuseSetOption(const Stmt& s, const std::string& name) {
        ParseError err;
        err.number = 195;
        err.line = s.line;
        err.message = "'" + name + "' is not a recognized SET option.";
        throw Refusal{err};
    }

    static void requireKnownSetOption(const Stmt& s) {
        if (!knownSetOption(s.kind, s.name)) {
            refuseSetOption(s, s.name);
        }
    }

    StmtPtr parseRaiserror() {
        StmtPtr s = newStmt(Stmt::Kind::Raiserror);
        advance();
        s->args.push_back(parseAdditive());
        if (peek().kind == TokenKind::String || peek().kind == TokenKind::Variable) {
            s->args.push_back(parseAdditive());
        }
        while (acceptOp(",")) {
            s->args.push_back(parseExpr());
        }
        return s;
    }

    StmtPtr parseBegin() {
        if (atWord("tran", 1) || atWord("transaction", 1)) {
            StmtPtr s = newStmt(Stmt::Kind::BeginTran);
            advance();
            advance();
            if (isAlias(peek()) || peek().kind == TokenKind::Variable) {
                s->name = advance().text;
            }
            return s;
        }
        StmtPtr s = newStmt(Stmt::Kind::Block);
        advance();
        while (true) {
            while (acceptOp(";")) {
            }
            if (atWord("end")) {
                break;
            }
            s->body.push_back(parseStatement(false));
        }
        advance();
        return s;
    }

    bool atExecArgument() const {
        const Token& t = peek();
        return atExpressionStart() || isName(t) || t.isWord("default");
    }

    void parseExecBody(Stmt& s) {
        if (peek().kind == TokenKind::Variable && atOp("=", 1)) {
            s.returnVar = advance().text;
            advance();
        }
        s.table = parseObjectName();
        if (!atExecArgument()) {
            return;
        }
        do {
            ExecArg arg;
            if (peek().kind == TokenKind::Variable && atOp("=", 1)) {
                arg.name = advance().text;
                advance();
                if (acceptWord("default")) {
                    s.execArgs.push_back(std::move(arg));
                    continue;
                }
            }
            const Token& v = peek();
            if (isName(v)) {
                // Sybase takes an unquoted word as a character string argument.
                arg.value = makeExpr(Expr::Kind::String, v.text, v.line);
                advance();
            } else {
                arg.value = parseUnary();
            }
            if (acceptWord("output") || acceptWord("out")) {
                arg.output = true;
            }
            s.execArgs.push_back(std::move(arg));
        } while (acceptOp(","));
    }

    const std::string& m_sql;
    std::vector<Token> m_tokens;
    sql::LexError m_lexError;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

} // namespace

ParseResult parseBatch(const std::string& sql) {
    return Parser(sql, sql::tokenize(sql)).run();
}

} // namespace sim::ast
