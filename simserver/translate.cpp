#include "translate.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

namespace sim {

using ast::Expr;
using Kind = ast::Expr::Kind;

SqlError SqlError::make(int number, int severity, std::string text, int line, uint8_t state) {
    SqlError e;
    e.message.number = number;
    e.message.severity = uint8_t(severity);
    e.message.state = state;
    // The server's own messages end in a newline; print and raiserror texts do not.
    e.message.text = std::move(text) + "\n";
    e.message.line = uint16_t(std::clamp(line, 0, 65535));
    return e;
}

namespace {

std::string lower(std::string s) {
    for (auto& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

SqlError objectNotFound(const std::string& name, int line) {
    return SqlError::make(208, 16,
                          name + " not found. Specify owner.objectname or use sp_help to check "
                                 "whether the object exists (sp_help may produce lots of output).",
                          line);
}

// A typed piece of SQLite SQL.
struct Sql {
    Sql() = default;
    Sql(std::string t, SqlType ty, bool k, std::string ex = {})
        : text(std::move(t)), type(ty), known(k), exact(std::move(ex)) {}
    std::string text;
    SqlType type;
    bool known = false;
    std::string exact; // a number literal as written: money takes it without a double
};

bool isMoney(const Sql& s) {
    return s.known && (s.type.code == SqlType::Money || s.type.code == SqlType::SmallMoney);
}

SqlError arithmeticOverflow(int line) {
    return SqlError::make(3606, 16, "Arithmetic overflow occurred.", line);
}

// SQL for a value in money's ten-thousandths.
std::string moneyText(const Sql& s, int line) {
    if (isMoney(s))
        return s.text;
    int64_t m = 0;
    if (!s.exact.empty()) {
        switch (parseMoney(s.exact, false, m)) {
        case MoneyParse::Ok:
            // SQLite reads -9223372036854775808 as a negated real.
            return m == INT64_MIN ? "(-9223372036854775807 - 1)" : std::to_string(m);
        case MoneyParse::Overflow:
            throw arithmeticOverflow(line);
        case MoneyParse::NotNumber:
            break;
        }
    }
    return "syb_money(" + s.text + ")";
}

// Money as a plain number, where it meets float, real or numeric.
std::string plainText(const Sql& s) {
    return isMoney(s) ? "(" + s.text + " / 10000.0)" : s.text;
}

bool aboveMoney(const SqlType& t) {
    return t.code == SqlType::Real || t.code == SqlType::Float || t.code == SqlType::Numeric ||
           t.code == SqlType::Decimal;
}

Sql typed(std::string text, SqlType t) {
    return {std::move(text), t, true};
}
Sql untyped(std::string text) {
    return {std::move(text), SqlType::varchar(255), false};
}

struct Source {
    std::string alias;  // what qualifiers match
    std::string sqlRef; // how the translated SQL names it
    std::vector<ColumnInfo> columns;
    int tableId = 0; // a base table's object id; 0 for views and derived tables
};

struct Scope {
    std::vector<Source> sources;
    const Scope* parent = nullptr;
};

class Translator {
public:
    Translator(TranslateContext& ctx, Translation& out)
        : m_ctx(ctx), m_out(out), m_db(ctx.currentDb()), m_chain(ctx.moduleOwner()) {}

    // The target of a delete or update, named again in its FROM list, needs no select
    // permission there.
    void exempt(const TableInfo& target) { m_exempt = target; }

    Sql expr(const Expr& e, const Scope& scope);
    // renames: output names for the columns in order (a view's column list).
    std::string select(const ast::Select& s, const Scope* parent,
                       std::vector<ResultColumn>* columns,
                       const std::vector<std::string>* renames = nullptr);
    Source tableSource(const ast::ObjectName& n, const std::string& alias, int line,
                       std::string& tableSql);
    std::string fromClause(const std::vector<ast::TableRef>& refs, Scope& scope, const Expr* where,
                           std::string* whereOut, int line);
    // Set before the outermost select only: nested ones never send rows to the client.
    void wantTextPointers() { m_textPointers = true; }
    std::string param(Value v) {
        m_out.params.push_back(std::move(v));
        return "?" + std::to_string(m_out.params.size());
    }

private:
    Sql column(const Expr& e, const Scope& scope);
    // The base table of the scope a column reference reads, with the column's id; null when
    // the column comes from a view, a derived table or an outer scope.
    const Source* tableOfColumn(const Expr& e, const Scope& scope, int* colid) const;
    Sql textFunction(const Expr& e, const Scope& scope);
    Sql function(const Expr& e, const Scope& scope);
    Sql binary(const Expr& e, const Scope& scope);
    std::string list(const std::vector<ast::ExprPtr>& args, size_t from, const Scope& scope);

    TranslateContext& m_ctx;
    Translation& m_out;
    std::string m_db; // names without a database resolve here
    int m_viewDepth = 0;
    bool m_textPointers = false;
    std::optional<ChainOwner> m_chain; // owner of the view or procedure being translated
    std::optional<TableInfo> m_exempt;
};

SqlType widerNumeric(const SqlType& a, const SqlType& b) {
    auto rank = [](const SqlType& t) {
        switch (t.code) {
        case SqlType::Bit:
        case SqlType::TinyInt:
            return 1;
        case SqlType::SmallInt:
            return 2;
        case SqlType::Int:
            return 3;
        case SqlType::BigInt:
            return 4;
        case SqlType::SmallMoney:
            return 5;
        case SqlType::Money:
            return 6;
        case SqlType::Numeric:
        case SqlType::Decimal:
            return 7;
        case SqlType::Real:
            return 8;
        case SqlType::Float:
            return 9;
        default:
            return 0;
        }
    };
    SqlType r = rank(a) >= rank(b) ? a : b;
    if (r.code == SqlType::Bit || r.code == SqlType::TinyInt || r.code == SqlType::SmallInt)
        r = SqlType::of(SqlType::Int);
    r.nullable = true;
    return r;
}

// Precision and scale an exact operand takes in numeric arithmetic: integers count as
// numeric(digits, 0).
std::pair<int, int> exactDigits(const SqlType& t) {
    switch (t.code) {
    case SqlType::Bit:
        return {1, 0};
    case SqlType::TinyInt:
        return {3, 0};
    case SqlType::SmallInt:
        return {5, 0};
    case SqlType::Int:
        return {10, 0};
    case SqlType::BigInt:
        return {19, 0};
    case SqlType::Numeric:
    case SqlType::Decimal:
        return {t.precision, t.scale};
    default:
        return {18, 0};
    }
}

// ASE's quotient of exact numbers: scale max(s1 + p2 + 1, 6), precision that scale plus the
// integer digits of the dividend and the scale of the divisor, both within 38; so
// 1048576. / 2048 reads 512.00000000000, not 512.
SqlType numericQuotient(const SqlType& a, const SqlType& b, SqlType::Code code) {
    auto [p1, s1] = exactDigits(a);
    auto [p2, s2] = exactDigits(b);
    int scale = std::max(s1 + p2 + 1, 6);
    int precision = scale + p1 - s1 + s2;
    if (precision > 38) {
        scale = std::max(0, scale - (precision - 38));
        precision = 38;
    }
    SqlType t = SqlType::of(code, precision);
    t.scale = scale;
    return t;
}

Sql Translator::column(const Expr& e, const Scope& scope) {
    const std::string& name = e.text;
    std::string qual = e.qualifiers.empty() ? std::string() : e.qualifiers.back();
    for (const Scope* s = &scope; s; s = s->parent) {
        // Exact case first, as the server's binary sort order compares names.
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& src : s->sources) {
                if (!qual.empty() && !(pass ? sameName(qual, src.alias) : qual == src.alias))
                    continue;
                for (const auto& c : src.columns) {
                    if (pass ? sameName(c.name, name) : c.name == name) {
                        SqlType t = c.type;
                        return typed(src.sqlRef + "." + quoteId(c.name), t);
                    }
                }
            }
        }
    }
    throw SqlError::make(207, 16, "Invalid column name '" + name + "'.", e.line);
}

const Source* Translator::tableOfColumn(const Expr& e, const Scope& scope, int* colid) const {
    std::string qual = e.qualifiers.empty() ? std::string() : e.qualifiers.back();
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& src : scope.sources) {
            if (!qual.empty() && !(pass ? sameName(qual, src.alias) : qual == src.alias))
                continue;
            for (size_t i = 0; i < src.columns.size(); ++i) {
                const std::string& c = src.columns[i].name;
                if (pass ? sameName(c, e.text) : c == e.text) {
                    *colid = int(i + 1);
                    return src.tableId != 0 ? &src : nullptr;
                }
            }
        }
    }
    return nullptr;
}

// textptr(column) and textvalid('table.column', pointer), over the pointer form of
// text_pointer.h.
Sql Translator::textFunction(const Expr& e, const Scope& scope) {
    const auto pointerType = SqlType::of(SqlType::VarBinary, 16);
    if (e.text == "textptr") {
        if (e.args.size() != 1)
            throw SqlError::make(174, 15, "The function 'textptr' requires 1 arguments.", e.line);
        const Expr& c = *e.args[0];
        if (c.kind != Kind::Column)
            throw SqlError::make(
                7135, 16, "The textptr function requires a text or image column argument.", e.line);
        Sql value = expr(c, scope);
        int colid = 0;
        const Source* src = tableOfColumn(c, scope, &colid);
        if (!src || (value.type.code != SqlType::Text && value.type.code != SqlType::Image))
            throw SqlError::make(
                7135, 16, "The textptr function requires a text or image column argument.", e.line);
        return typed("sim_textptr(" + std::to_string(src->tableId) + ", " + std::to_string(colid) +
                         ", " + src->sqlRef + ".rowid, " + value.text + ")",
                     pointerType);
    }
    // textvalid
    if (e.args.size() != 2)
        throw SqlError::make(174, 15, "The function 'textvalid' requires 2 arguments.", e.line);
    const auto intType = SqlType::of(SqlType::Int);
    const Expr& named = *e.args[0];
    if (named.kind != Kind::String)
        throw SqlError::make(
            7134, 16, "The first argument of textvalid must be a 'table.column' string.", e.line);
    Sql pointer = expr(*e.args[1], scope);
    const auto path = ast::columnPath(named.text);
    if (!path)
        return typed("0", intType);
    const auto& [n, column] = *path;
    auto [schema, name] = resolveObject(n, m_ctx, m_db);
    auto info = m_ctx.table(schema, name);
    if (!info || info->type == "V")
        return typed("0", intType);
    for (size_t i = 0; i < info->columns.size(); ++i) {
        const ColumnInfo& c = info->columns[i];
        if (!sameName(c.name, column))
            continue;
        if (c.type.code != SqlType::Text && c.type.code != SqlType::Image)
            return typed("0", intType);
        // The alias keeps the pointer expression's own table names pointing outside.
        return typed("(SELECT count(*) FROM " + quoteId(schema) + "." + quoteId(name) +
                         " AS sim_textvalid WHERE sim_textvalid.rowid = sim_textptr_row(" +
                         pointer.text + ", " + std::to_string(info->id) + ", " +
                         std::to_string(i + 1) + ") AND sim_textvalid." + quoteId(c.name) +
                         " IS NOT NULL)",
                     intType);
    }
    return typed("0", intType);
}

std::string Translator::list(const std::vector<ast::ExprPtr>& args, size_t from,
                             const Scope& scope) {
    std::string r;
    for (size_t i = from; i < args.size(); ++i)
        r += (i > from ? ", " : "") + plainText(expr(*args[i], scope));
    return r;
}

// Datetime columns hold canonical text: a literal compared with one is brought to that form.
std::string asDatetimeIfNeeded(const Sql& other, const Expr& e, const std::string& text) {
    if (other.known && other.type.isDateTime() && e.kind == Kind::String)
        return "syb_to_datetime(" + text + ")";
    return text;
}

Sql Translator::binary(const Expr& e, const Scope& scope) {
    const std::string& op = e.text;
    if (op == "and" || op == "or") {
        Sql a = expr(*e.args[0], scope), b = expr(*e.args[1], scope);
        return typed("(" + a.text + (op == "and" ? " AND " : " OR ") + b.text + ")",
                     SqlType::of(SqlType::Int));
    }
    Sql a = expr(*e.args[0], scope), b = expr(*e.args[1], scope);
    static const std::map<std::string, std::string> comparisons = {
        {"=", "="},   {"<>", "<>"}, {"!=", "<>"}, {"<", "<"},  {">", ">"}, {"<=", "<="},
        {">=", ">="}, {"!<", ">="}, {"!>", "<="}, {"*=", "="}, {"=*", "="}};
    if (auto it = comparisons.find(op); it != comparisons.end()) {
        std::string at = asDatetimeIfNeeded(b, *e.args[0], a.text);
        std::string bt = asDatetimeIfNeeded(a, *e.args[1], b.text);
        if (isMoney(a) != isMoney(b)) {
            const Sql& other = isMoney(a) ? b : a;
            bool plain = other.known && other.exact.empty() && aboveMoney(other.type);
            at = plain ? plainText(a) : moneyText(a, e.line);
            bt = plain ? plainText(b) : moneyText(b, e.line);
        }
        return typed("(" + at + " " + it->second + " " + bt + ")", SqlType::of(SqlType::Int));
    }
    bool numeric = a.known && b.known && a.type.isNumeric() && b.type.isNumeric();
    if ((isMoney(a) || isMoney(b)) && (op == "+" || op == "-" || op == "*" || op == "/")) {
        const Sql& other = isMoney(a) ? b : a;
        bool plain = other.known && (aboveMoney(other.type) || !other.type.isNumeric());
        if (!plain) {
            SqlType t = isMoney(a) && isMoney(b) ? widerNumeric(a.type, b.type)
                        : isMoney(a)             ? a.type
                                                 : b.type;
            t.nullable = true;
            return typed("syb_money_op('" + op + "', " + moneyText(a, e.line) + ", " +
                             moneyText(b, e.line) + ", " +
                             (t.code == SqlType::SmallMoney ? "1" : "0") + ")",
                         t);
        }
        a.text = plainText(a);
        b.text = plainText(b);
    } else if (op == "%") {
        a.text = plainText(a);
        b.text = plainText(b);
    }
    if (op == "+") {
        if (numeric)
            return typed("(" + a.text + " + " + b.text + ")", widerNumeric(a.type, b.type));
        bool stringy = (a.known && (a.type.isCharacter() || a.type.code == SqlType::Unknown)) ||
                       (b.known && (b.type.isCharacter() || b.type.code == SqlType::Unknown));
        if (stringy) {
            int len =
                std::min(16384, (a.known ? a.type.length : 255) + (b.known ? b.type.length : 255));
            if ((a.known && a.type.code == SqlType::Text) ||
                (b.known && b.type.code == SqlType::Text))
                return typed("syb_concat(" + a.text + ", " + b.text + ")",
                             SqlType::of(SqlType::Text));
            return typed("syb_concat(" + a.text + ", " + b.text + ")", SqlType::varchar(len));
        }
        if (a.known && a.type.isDateTime())
            return typed("syb_dateadd('day', " + b.text + ", " + a.text + ")", a.type);
        Sql r = untyped("syb_plus(" + a.text + ", " + b.text + ")");
        if (a.known && a.type.isNumeric())
            r = typed(r.text, widerNumeric(a.type, a.type));
        return r;
    }
    if (op == "-" || op == "*") {
        Sql r{"(" + a.text + " " + op + " " + b.text + ")", SqlType::of(SqlType::Float), false};
        if (numeric || (a.known && a.type.isNumeric())) {
            r.type = numeric ? widerNumeric(a.type, b.type) : widerNumeric(a.type, a.type);
            r.known = true;
        }
        return r;
    }
    if (op == "/" || op == "%") {
        Sql r{std::string(op == "/" ? "syb_div(" : "syb_mod(") + a.text + ", " + b.text + ")",
              SqlType::of(SqlType::Int), false};
        if (numeric) {
            r.type = widerNumeric(a.type, b.type);
            r.known = true;
            if (op == "/" && (r.type.code == SqlType::Numeric || r.type.code == SqlType::Decimal))
                r.type = numericQuotient(a.type, b.type, r.type.code);
        }
        return r;
    }
    if (op == "&" || op == "|")
        return typed("(" + a.text + " " + op + " " + b.text + ")", SqlType::of(SqlType::Int));
    if (op == "^")
        return typed("((" + a.text + " | " + b.text + ") - (" + a.text + " & " + b.text + "))",
                     SqlType::of(SqlType::Int));
    throw SqlError::make(102, 15, "Incorrect syntax near '" + op + "'.", e.line);
}

// Fixed storage size of a type for datalength(); 0 for variable-length data.
int fixedLength(const Sql& s) {
    if (!s.known)
        return 0;
    if (s.type.isCharacter() || s.type.isBinary() || s.type.code == SqlType::Unknown)
        return 0;
    return s.type.length;
}

Sql Translator::function(const Expr& e, const Scope& scope) {
    const std::string& f = e.text;
    auto arg = [&](size_t i) {
        return expr(*e.args.at(i), scope);
    };
    auto argc = e.args.size();
    auto need = [&](size_t lo, size_t hi) {
        if (argc < lo || argc > hi)
            throw SqlError::make(
                174, 15, "The function '" + f + "' requires " + std::to_string(lo) + " arguments.",
                e.line);
    };
    // A date part is written as a bare word: dateadd(day, 1, d).
    auto datePart = [&](size_t i) {
        const Expr& p = *e.args.at(i);
        if (p.kind == Kind::Column || p.kind == Kind::String)
            return quoteLiteral(lower(p.text));
        throw SqlError::make(155, 15, "'" + p.text + "' is not a recognized datepart option.",
                             e.line);
    };
    auto intType = SqlType::of(SqlType::Int);
    auto name30 = SqlType::varchar(30);
    if (f == "textptr" || f == "textvalid")
        return textFunction(e, scope);

    if (f == "count") {
        if (argc == 1 && e.args[0]->kind == Kind::Star)
            return typed("count(*)", intType);
        need(1, 1);
        return typed(std::string("count(") + (e.negated ? "DISTINCT " : "") + arg(0).text + ")",
                     intType);
    }
    if (f == "sum" || f == "avg" || f == "min" || f == "max") {
        need(1, 1);
        Sql a = arg(0);
        std::string inner = (e.negated ? "DISTINCT " : "") + a.text;
        SqlType t = a.known ? a.type : SqlType::of(SqlType::Float);
        t.nullable = true;
        if (f == "min" || f == "max")
            return {f + "(" + inner + ")", t, a.known};
        if (t.code == SqlType::Bit || t.code == SqlType::TinyInt || t.code == SqlType::SmallInt)
            t = SqlType::of(SqlType::Int);
        if (t.code == SqlType::Numeric || t.code == SqlType::Decimal)
            t.precision = 38;
        if (f == "avg" && t.isInteger())
            return {"CAST(avg(" + inner + ") AS INTEGER)", t, a.known};
        if (isMoney(a))
            return typed("syb_money_" + f + "(" + inner + ")", SqlType::of(SqlType::Money));
        return {f + "(" + inner + ")", t, a.known};
    }
    if (f == "convert") {
        need(1, 2);
        Sql v = arg(0);
        SqlType target = typeFromAst(e.type);
        if ((target.isCharacter() || target.isBinary()) && e.type.arg1 < 0 &&
            target.code != SqlType::Text)
            target.length = 30;
        std::string style = argc > 1 ? arg(1).text : "NULL";
        if ((target.code == SqlType::Money || target.code == SqlType::SmallMoney) &&
            !v.exact.empty())
            v.text = quoteLiteral(v.exact);
        return typed("syb_convert(" + quoteLiteral(target.name()) + ", " + v.text + ", " + style +
                         ", " + quoteLiteral(v.known ? v.type.name() : "") + ")",
                     target);
    }
    if (f == "isnull") {
        need(2, 2);
        Sql a = arg(0), b = arg(1);
        if (isMoney(a))
            b.text = moneyText(b, e.line);
        return {"ifnull(" + a.text + ", " + b.text + ")", a.known ? a.type : b.type,
                a.known || b.known};
    }
    if (f == "coalesce") {
        Sql a = arg(0);
        if (isMoney(a)) {
            std::string items = a.text;
            for (size_t i = 1; i < argc; ++i)
                items += ", " + moneyText(arg(i), e.line);
            return typed("coalesce(" + items + ")", a.type);
        }
        return {"coalesce(" + list(e.args, 0, scope) + ")", a.type, a.known};
    }
    if (f == "nullif") {
        need(2, 2);
        Sql a = arg(0);
        std::string b = isMoney(a) ? moneyText(arg(1), e.line) : arg(1).text;
        return {"nullif(" + a.text + ", " + b + ")", a.type, a.known};
    }
    if (f == "char_length") {
        need(1, 1);
        return typed("length(" + arg(0).text + ")", intType);
    }
    if (f == "datalength") {
        need(1, 1);
        Sql a = arg(0);
        return typed("syb_datalength(" + a.text + ", " + std::to_string(fixedLength(a)) + ")",
                     intType);
    }
    if (f == "substring") {
        need(3, 3);
        Sql s = arg(0);
        std::string call = "substr(" + s.text + ", " + arg(1).text + ", " + arg(2).text + ")";
        // Bytes of a binary value stay binary: the device-number query converts one to tinyint.
        if (s.known && s.type.isBinary() && s.type.code != SqlType::Image)
            return typed(call, SqlType::of(SqlType::VarBinary, s.type.length));
        return typed(call, SqlType::varchar(s.known && s.type.isCharacter() ? s.type.length : 255));
    }
    if (f == "upper" || f == "lower" || f == "ltrim" || f == "rtrim" || f == "reverse") {
        need(1, 1);
        Sql s = arg(0);
        SqlType t = SqlType::varchar(s.known && s.type.isCharacter() ? s.type.length : 255);
        if (f == "ltrim" || f == "rtrim") // an all-blank value trims to NULL
            return typed("nullif(" + f + "(" + s.text + ", ' '), '')", t);
        if (f == "reverse")
            return typed("syb_reverse(" + s.text + ")", t);
        return typed(f + "(" + s.text + ")", t);
    }
    if (f == "str") {
        need(1, 3);
        std::string len = argc > 1 ? arg(1).text : "10";
        std::string dec = argc > 2 ? arg(2).text : "0";
        int width = argc > 1 && e.args[1]->kind == Kind::Integer ? std::stoi(e.args[1]->text) : 10;
        return typed("syb_str(" + plainText(arg(0)) + ", " + len + ", " + dec + ")",
                     SqlType::of(SqlType::Char, std::clamp(width, 1, 255)));
    }
    if (f == "getdate") {
        need(0, 0);
        return typed("syb_getdate()", SqlType::of(SqlType::DateTime));
    }
    if (f == "dateadd") {
        need(3, 3);
        return typed("syb_dateadd(" + datePart(0) + ", " + arg(1).text + ", syb_to_datetime(" +
                         arg(2).text + "))",
                     SqlType::of(SqlType::DateTime));
    }
    if (f == "datediff") {
        need(3, 3);
        return typed("syb_datediff(" + datePart(0) + ", syb_to_datetime(" + arg(1).text +
                         "), syb_to_datetime(" + arg(2).text + "))",
                     intType);
    }
    if (f == "datepart" || f == "datename") {
        need(2, 2);
        return typed("syb_" + f + "(" + datePart(0) + ", syb_to_datetime(" + arg(1).text + "))",
                     f == "datepart" ? intType : name30);
    }
    if (f == "object_id") {
        need(1, 1);
        return typed("syb_object_id(" + arg(0).text + ")", intType);
    }
    if (f == "object_name") {
        need(1, 2);
        return typed("syb_object_name(" + list(e.args, 0, scope) + ")", name30);
    }
    if (f == "db_name" || f == "user_name" || f == "suser_name") {
        need(0, 1);
        return typed("syb_" + f + "(" + list(e.args, 0, scope) + ")", name30);
    }
    if (f == "db_id" || f == "user_id" || f == "suser_id") {
        need(0, 1);
        return typed("syb_" + f + "(" + list(e.args, 0, scope) + ")", intType);
    }
    if (f == "col_name") {
        need(2, 3);
        return typed("syb_col_name(" + list(e.args, 0, scope) + ")", name30);
    }
    if (f == "index_col") {
        need(3, 4);
        return typed("syb_index_col(" + list(e.args, 0, scope) + ")", name30);
    }
    if (f == "col_length") {
        need(2, 2);
        return typed("syb_col_length(" + list(e.args, 0, scope) + ")", intType);
    }
    if (f == "host_name" || f == "host_id") {
        need(0, 0);
        return typed("syb_" + f + "()", name30);
    }
    if (f == "abs" || f == "sign") {
        need(1, 1);
        Sql a = arg(0);
        if (f == "sign" && isMoney(a))
            return typed("(sign(" + a.text + ") * 10000)", a.type);
        return {f + "(" + a.text + ")", a.type, a.known};
    }
    if (f == "round") {
        need(1, 2);
        Sql a = arg(0);
        std::string digits = argc > 1 ? arg(1).text : "0";
        if (isMoney(a))
            return typed("syb_money_round(" + a.text + ", " + digits + ", 'r')", a.type);
        return {"syb_round(" + a.text + ", " + digits + ")", a.type, a.known};
    }
    if (f == "ceiling" || f == "floor") {
        need(1, 1);
        Sql a = arg(0);
        if (isMoney(a))
            return typed("syb_money_round(" + a.text + ", 0, '" + f.substr(0, 1) + "')", a.type);
        return {"syb_" + f + "(" + a.text + ")", a.type, a.known};
    }
    if (f == "power" || f == "sqrt" || f == "exp" || f == "log" || f == "log10" || f == "sin" ||
        f == "cos" || f == "tan" || f == "pi" || f == "rand") {
        return typed("syb_math(" + quoteLiteral(f) + (argc ? ", " : "") + list(e.args, 0, scope) +
                         ")",
                     SqlType::of(SqlType::Float));
    }
    if (f == "charindex") {
        need(2, 2);
        return typed("instr(" + arg(1).text + ", " + arg(0).text + ")", intType);
    }
    if (f == "replicate") {
        need(2, 2);
        return typed("syb_replicate(" + arg(0).text + ", " + arg(1).text + ")",
                     SqlType::varchar(255));
    }
    if (f == "space") {
        need(1, 1);
        return typed("syb_replicate(' ', " + arg(0).text + ")", SqlType::varchar(255));
    }
    if (f == "right" || f == "left") {
        need(2, 2);
        Sql s = arg(0);
        std::string n = arg(1).text;
        return typed(f == "left" ? "substr(" + s.text + ", 1, " + n + ")"
                                 : "substr(" + s.text + ", -(" + n + "))",
                     SqlType::varchar(s.known && s.type.isCharacter() ? s.type.length : 255));
    }
    if (f == "ascii") {
        need(1, 1);
        return typed("unicode(" + arg(0).text + ")", intType);
    }
    if (f == "char") {
        need(1, 1);
        return typed("char(" + arg(0).text + ")", SqlType::of(SqlType::Char, 1));
    }
    throw SqlError::make(14216, 16,
                         "Function '" + f +
                             "' not found. If this is a SQLJ function or SQL function, use "
                             "sp_help to check whether the object exists (sp_help may produce "
                             "lots of output).",
                         e.line);
}

Sql Translator::expr(const Expr& e, const Scope& scope) {
    switch (e.kind) {
    case Kind::Null:
        return {"NULL", SqlType::of(SqlType::Int), false};
    case Kind::Integer: {
        errno = 0;
        long long v = std::strtoll(e.text.c_str(), nullptr, 10);
        if (errno == ERANGE) {
            SqlType t = SqlType::of(SqlType::Numeric, std::min<int>(int(e.text.size()), 38));
            return typed("'" + e.text + "'", t);
        }
        if (v > INT32_MAX || v < INT32_MIN) {
            SqlType t = SqlType::of(SqlType::Numeric, std::min<int>(int(e.text.size()), 38));
            Sql r = typed(e.text, t);
            r.exact = e.text;
            return r;
        }
        Sql r = typed(e.text, SqlType::of(SqlType::Int));
        r.exact = e.text;
        return r;
    }
    case Kind::Decimal: {
        auto dot = e.text.find('.');
        int scale = dot == std::string::npos ? 0 : int(e.text.size() - dot - 1);
        int digits = int(std::count_if(e.text.begin(), e.text.end(),
                                       [](char c) { return std::isdigit(uint8_t(c)); }));
        SqlType t = SqlType::of(SqlType::Numeric, std::clamp(std::max(digits, scale + 1), 1, 38));
        t.scale = std::min(scale, t.precision);
        std::string text = e.text;
        if (!text.empty() && text[0] == '.')
            text = "0" + text;
        if (!text.empty() && text.back() == '.')
            text += "0";
        Sql r = typed(text, t);
        r.exact = text;
        return r;
    }
    case Kind::Float:
        return typed(e.text, SqlType::of(SqlType::Float));
    case Kind::Money: {
        Sql literal{"", SqlType::of(SqlType::Int), true, e.text.empty() ? "0" : e.text};
        Sql r = typed(moneyText(literal, e.line), SqlType::of(SqlType::Money));
        r.exact = literal.exact;
        return r;
    }
    case Kind::String: {
        // Sybase has no empty string: '' is a single blank wherever it is used.
        std::string v = e.text.empty() ? std::string(" ") : e.text;
        return typed(quoteLiteral(v), SqlType::varchar(int(v.size())));
    }
    case Kind::Hex: {
        std::string hex = e.text.size() > 2 ? e.text.substr(2) : "";
        if (hex.size() % 2)
            hex = "0" + hex;
        return typed("X'" + hex + "'",
                     SqlType::of(SqlType::VarBinary, std::max<int>(1, int(hex.size() / 2))));
    }
    case Kind::Column:
        return column(e, scope);
    case Kind::Variable: {
        const Variable* v = m_ctx.variable(e.text);
        if (!v)
            throw SqlError::make(137, 15, "Must declare variable '" + e.text + "'.", e.line);
        return typed(param(v->value), v->type);
    }
    case Kind::Global: {
        std::string name = e.text.size() > 2 ? lower(e.text.substr(2)) : e.text;
        auto v = m_ctx.global(name);
        if (!v)
            throw SqlError::make(137, 15, "Must declare variable '" + e.text + "'.", e.line);
        return typed(param(v->value), v->type);
    }
    case Kind::Unary: {
        Sql a = expr(*e.args[0], scope);
        if (e.text == "not")
            return typed("(NOT " + a.text + ")", SqlType::of(SqlType::Int));
        if (e.text == "+")
            return a;
        Sql r{"(" + e.text + a.text + ")", a.type, a.known};
        if (e.text == "-" && !a.exact.empty() && a.exact[0] != '-')
            r.exact = "-" + a.exact;
        return r;
    }
    case Kind::Binary:
        return binary(e, scope);
    case Kind::Function:
        return function(e, scope);
    case Kind::Case: {
        std::string s = "CASE";
        if (e.operand)
            s += " " + expr(*e.operand, scope).text;
        Sql first;
        std::vector<Sql> results;
        for (size_t i = 1; i < e.args.size(); i += 2)
            results.push_back(expr(*e.args[i], scope));
        if (e.elseExpr)
            results.push_back(expr(*e.elseExpr, scope));
        // Any money result makes the whole case money, as money ranks above the integers.
        for (const auto& r : results)
            if ((!first.known && r.known) || (isMoney(r) && !isMoney(first)))
                first = r;
        auto result = [&](size_t k) {
            return isMoney(first) ? moneyText(results[k], e.line) : results[k].text;
        };
        for (size_t i = 0; i + 1 < e.args.size(); i += 2)
            s += " WHEN " + expr(*e.args[i], scope).text + " THEN " + result(i / 2);
        if (e.elseExpr)
            s += " ELSE " + result(results.size() - 1);
        return {s + " END", first.known ? first.type : SqlType::varchar(255), first.known};
    }
    case Kind::Subquery: {
        std::vector<ResultColumn> cols;
        std::string sub = select(*e.select, &scope, &cols);
        Sql r = untyped("(" + sub + ")");
        if (!cols.empty() && cols[0].known) {
            r.type = cols[0].type;
            r.known = true;
        }
        return r;
    }
    case Kind::Exists:
        return typed(std::string(e.negated ? "(NOT EXISTS (" : "(EXISTS (") +
                         select(*e.select, &scope, nullptr) + "))",
                     SqlType::of(SqlType::Int));
    case Kind::InList: {
        Sql v = expr(*e.args[0], scope);
        std::string items;
        for (size_t i = 1; i < e.args.size(); ++i) {
            Sql it = expr(*e.args[i], scope);
            items +=
                (i > 1 ? ", " : "") +
                (isMoney(v) ? moneyText(it, e.line) : asDatetimeIfNeeded(v, *e.args[i], it.text));
        }
        return typed("(" + v.text + (e.negated ? " NOT IN (" : " IN (") + items + "))",
                     SqlType::of(SqlType::Int));
    }
    case Kind::InSelect: {
        Sql v = expr(*e.args[0], scope);
        return typed("(" + v.text + (e.negated ? " NOT IN (" : " IN (") +
                         select(*e.select, &scope, nullptr) + "))",
                     SqlType::of(SqlType::Int));
    }
    case Kind::Between: {
        Sql v = expr(*e.args[0], scope);
        Sql l = expr(*e.args[1], scope), h = expr(*e.args[2], scope);
        std::string lo =
            isMoney(v) ? moneyText(l, e.line) : asDatetimeIfNeeded(v, *e.args[1], l.text);
        std::string hi =
            isMoney(v) ? moneyText(h, e.line) : asDatetimeIfNeeded(v, *e.args[2], h.text);
        return typed("(" + v.text + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " +
                         hi + ")",
                     SqlType::of(SqlType::Int));
    }
    case Kind::Like: {
        Sql v = expr(*e.args[0], scope);
        std::string s =
            "(" + v.text + (e.negated ? " NOT LIKE " : " LIKE ") + expr(*e.args[1], scope).text;
        if (e.args.size() > 2)
            s += " ESCAPE " + expr(*e.args[2], scope).text;
        return typed(s + ")", SqlType::of(SqlType::Int));
    }
    case Kind::IsNull:
        return typed("(" + expr(*e.args[0], scope).text +
                         (e.negated ? " IS NOT NULL)" : " IS NULL)"),
                     SqlType::of(SqlType::Int));
    case Kind::Star:
        throw SqlError::make(102, 15, "Incorrect syntax near '*'.", e.line);
    }
    throw SqlError::make(102, 15, "Incorrect syntax near '" + e.text + "'.", e.line);
}

// Conjuncts of a WHERE clause joined by AND at the top.
void conjuncts(const Expr* e, std::vector<const Expr*>& out) {
    if (!e)
        return;
    if (e->kind == Kind::Binary && e->text == "and") {
        conjuncts(e->args[0].get(), out);
        conjuncts(e->args[1].get(), out);
        return;
    }
    out.push_back(e);
}

bool isOuterJoin(const Expr* e) {
    return e->kind == Kind::Binary && (e->text == "*=" || e->text == "=*");
}

// Which source of the scope a column expression belongs to (-1 when not a plain column).
int sourceOf(const Expr& e, const Scope& scope) {
    if (e.kind != Kind::Column)
        return -1;
    std::string qual = e.qualifiers.empty() ? std::string() : e.qualifiers.back();
    for (size_t i = 0; i < scope.sources.size(); ++i) {
        const auto& src = scope.sources[i];
        if (!qual.empty() && !sameName(qual, src.alias))
            continue;
        for (const auto& c : src.columns)
            if (sameName(c.name, e.text))
                return int(i);
    }
    return -1;
}

} // namespace

std::pair<std::string, std::string> resolveObject(const ast::ObjectName& n,
                                                  const TranslateContext& ctx) {
    return resolveObject(n, ctx, ctx.currentDb());
}

std::pair<std::string, std::string>
resolveObject(const ast::ObjectName& n, const TranslateContext& ctx, const std::string& currentDb) {
    if (!n.name.empty() && n.name[0] == '#')
        return {"temp", n.name};
    if (n.db.empty() || n.db == currentDb)
        return {currentDb, n.name};
    if (!ctx.databaseExists(n.db))
        throw SqlError::make(911, 11,
                             "Attempt to locate entry in sysdatabases for database '" + n.db +
                                 "' by name failed - no entry found under that name. Make sure "
                                 "that name is entered properly.");
    return {n.db, n.name};
}

Source Translator::tableSource(const ast::ObjectName& n, const std::string& alias, int line,
                               std::string& tableSql) {
    auto [schema, name] = resolveObject(n, m_ctx, m_db);
    auto info = m_ctx.table(schema, name);
    if (!info) {
        std::string shown = n.db.empty() ? name : n.db + "." + n.owner + "." + name;
        throw objectNotFound(shown, line);
    }
    if (!(m_exempt && m_viewDepth == 0 && m_exempt->db == info->db && m_exempt->id == info->id))
        m_ctx.requireAccess(*info, Access::Select, m_chain, line);
    Source s;
    s.alias = alias.empty() ? info->name : alias;
    s.columns = info->columns;
    s.sqlRef = quoteId(s.alias);
    if (schema == "master" && info->name == "sysprocesses") {
        // The process list is a live snapshot kept in the session's temporary schema.
        m_out.readsProcesses = true;
        tableSql = "temp.\"sysprocesses\" AS " + s.sqlRef;
    } else if (info->type == "V") {
        // A view is its stored select, read in the view's own database, under its column names.
        auto def = m_ctx.viewDefinition(schema, info->id);
        if (!def || !def->select || ++m_viewDepth > 16)
            throw objectNotFound(name, line);
        std::vector<std::string> names;
        for (const auto& c : info->columns)
            names.push_back(c.name);
        std::string saved = m_db;
        auto savedChain = m_chain;
        m_db = schema;
        m_chain = ChainOwner{schema, info->uid};
        std::string sub = select(*def->select, nullptr, nullptr, &names);
        m_db = saved;
        m_chain = savedChain;
        --m_viewDepth;
        tableSql = "(" + sub + ") AS " + s.sqlRef;
    } else {
        tableSql = quoteId(schema) + "." + quoteId(name) + " AS " + s.sqlRef;
        s.tableId = info->id;
    }
    return s;
}

SqlError typeTooLong(const ast::TypeName& t) {
    return SqlError::make(131, 15,
                          "The size (" + std::to_string(t.arg1) + ") given to the type '" + t.name +
                              "' exceeds the maximum. The largest size allowed is " +
                              std::to_string(SqlType::kMaxLength) + ".");
}

SqlType typeFromAst(const ast::TypeName& t) {
    if (t.arg1 > SqlType::kMaxLength)
        throw typeTooLong(t);
    auto st = SqlType::fromName(t.name, t.arg1, t.arg2);
    if (!st)
        throw SqlError::make(2715, 16, "Can't find type '" + t.name + "'.");
    return *st;
}

std::string Translator::fromClause(const std::vector<ast::TableRef>& refs, Scope& scope,
                                   const Expr* where, std::string* whereOut, int line) {
    struct Item {
        std::string sql; // table with alias, or derived table
        ast::TableRef::Join join;
        const ast::TableRef* ref;
    };
    std::vector<Item> items;
    for (const auto& r : refs) {
        Source src;
        std::string tableSql;
        if (r.derived) {
            std::vector<ResultColumn> cols;
            std::string sub = select(*r.derived, scope.parent, &cols);
            src.alias = r.alias;
            src.sqlRef = quoteId(r.alias);
            for (const auto& c : cols)
                src.columns.push_back({c.name, c.type, false});
            tableSql = "(" + sub + ") AS " + quoteId(r.alias);
        } else {
            src = tableSource(r.table, r.alias, line, tableSql);
        }
        scope.sources.push_back(std::move(src));
        items.push_back({tableSql, r.join, &r});
    }
    // Old-style outer joins: the inner table of "a *= b" becomes a LEFT JOIN after the rest.
    std::vector<const Expr*> conds;
    conjuncts(where, conds);
    std::map<int, std::vector<const Expr*>> joinConds;
    std::vector<const Expr*> rest;
    for (const Expr* c : conds) {
        if (!isOuterJoin(c)) {
            rest.push_back(c);
            continue;
        }
        bool left = c->text == "*=";
        int inner = sourceOf(*c->args[left ? 1 : 0], scope);
        if (inner < 0)
            throw SqlError::make(301, 16, "Query contains an illegal outer-join request.", c->line);
        joinConds[inner].push_back(c);
    }
    std::string sql;
    bool firstItem = true;
    for (size_t i = 0; i < items.size(); ++i) {
        if (joinConds.count(int(i)))
            continue;
        const auto& it = items[i];
        if (firstItem) {
            sql += it.sql;
            firstItem = false;
            continue;
        }
        switch (it.join) {
        case ast::TableRef::Join::Inner:
            sql += " JOIN " + it.sql + " ON " + expr(*it.ref->on, scope).text;
            break;
        case ast::TableRef::Join::Left:
            sql += " LEFT JOIN " + it.sql + " ON " + expr(*it.ref->on, scope).text;
            break;
        case ast::TableRef::Join::Right:
            // SQLite 3.39+ knows RIGHT JOIN.
            sql += " RIGHT JOIN " + it.sql + " ON " + expr(*it.ref->on, scope).text;
            break;
        case ast::TableRef::Join::Cross:
            sql += " CROSS JOIN " + it.sql;
            break;
        default:
            sql += ", " + it.sql;
            break;
        }
    }
    for (auto& [inner, list] : joinConds) {
        std::string on;
        for (const Expr* c : list) {
            on += (on.empty() ? "" : " AND ") + std::string("(") + expr(*c->args[0], scope).text +
                  " = " + expr(*c->args[1], scope).text + ")";
        }
        sql += (firstItem ? "" : " LEFT JOIN ") + items[size_t(inner)].sql + " ON " + on;
        firstItem = false;
    }
    if (whereOut) {
        std::string w;
        for (const Expr* c : rest)
            w += (w.empty() ? "" : " AND ") + expr(*c, scope).text;
        *whereOut = w;
    }
    return sql;
}

std::string Translator::select(const ast::Select& s, const Scope* parent,
                               std::vector<ResultColumn>* columns,
                               const std::vector<std::string>* renames) {
    const bool textPointers = m_textPointers;
    m_textPointers = false;
    Scope scope;
    scope.parent = parent;
    std::string where;
    std::string from;
    if (!s.from.empty())
        from = fromClause(s.from, scope, s.where.get(), &where, s.line);
    else if (s.where)
        where = expr(*s.where, scope).text;

    std::vector<ResultColumn> cols;
    std::string list;
    struct TextSource {
        size_t column;
        const Source* table;
        int colid;
    };
    std::vector<TextSource> textSources;
    auto noteText = [&](const Source* src, int colid) {
        const SqlType::Code code = cols.back().type.code;
        if (src && src->tableId != 0 && (code == SqlType::Text || code == SqlType::Image))
            textSources.push_back({cols.size() - 1, src, colid});
    };
    auto add = [&](const std::string& sql, std::string name, const Sql& t) {
        if (renames && cols.size() < renames->size())
            name = (*renames)[cols.size()];
        list += (list.empty() ? "" : ", ") + sql;
        if (!name.empty())
            list += " AS " + quoteId(name);
        cols.push_back({name, t.type, t.known});
    };
    for (const auto& item : s.items) {
        const Expr& e = *item.expr;
        if (e.kind == Kind::Star) {
            std::string qual = e.qualifiers.empty() ? std::string() : e.qualifiers.back();
            bool any = false;
            for (const auto& src : scope.sources) {
                if (!qual.empty() && !sameName(qual, src.alias))
                    continue;
                any = true;
                int colid = 0;
                for (const auto& c : src.columns) {
                    add(src.sqlRef + "." + quoteId(c.name), c.name, typed("", c.type));
                    noteText(&src, ++colid);
                }
            }
            if (!any)
                throw objectNotFound(qual.empty() ? "*" : qual, e.line);
            continue;
        }
        Sql v = expr(e, scope);
        std::string name = item.alias;
        if (name.empty() && e.kind == Kind::Column)
            name = e.text;
        if (!item.assignVar.empty())
            name.clear();
        add(v.text, name, v);
        if (e.kind == Kind::Column) {
            int colid = 0;
            const Source* src = tableOfColumn(e, scope, &colid);
            noteText(src, colid);
        }
    }
    // Grouping or merging rows leaves no single row for a pointer to name.
    if (textPointers && !s.distinct && s.groupBy.empty() && s.unions.empty()) {
        size_t next = cols.size();
        for (const auto& t : textSources) {
            list += ", " + t.table->sqlRef + ".rowid";
            cols[t.column].rowidColumn = int(next++);
            cols[t.column].tableId = t.table->tableId;
            cols[t.column].colid = t.colid;
        }
    }
    std::string sql = std::string("SELECT ") + (s.distinct ? "DISTINCT " : "") + list;
    if (!from.empty())
        sql += " FROM " + from;
    if (!where.empty())
        sql += " WHERE " + where;
    if (!s.groupBy.empty()) {
        std::string g;
        for (const auto& e : s.groupBy)
            g += (g.empty() ? "" : ", ") + expr(*e, scope).text;
        sql += " GROUP BY " + g;
    }
    if (s.having)
        sql += " HAVING " + expr(*s.having, scope).text;
    for (const auto& u : s.unions) {
        std::vector<ResultColumn> other;
        sql += (u.all ? " UNION ALL " : " UNION ") + select(*u.select, parent, &other);
        for (size_t i = 0; i < cols.size() && i < other.size(); ++i)
            if (!cols[i].known && other[i].known) {
                cols[i].type = other[i].type;
                cols[i].known = true;
            }
    }
    if (!s.orderBy.empty()) {
        std::string o;
        for (const auto& item : s.orderBy) {
            const Expr& e = *item.expr;
            std::string text;
            if (e.kind == Kind::Integer) {
                text = e.text;
            } else if (e.kind == Kind::Column && e.qualifiers.empty()) {
                for (const auto& c : cols)
                    if (!c.name.empty() && sameName(c.name, e.text))
                        text = quoteId(c.name);
                if (text.empty())
                    text = expr(e, scope).text;
            } else {
                text = expr(e, scope).text;
            }
            o += (o.empty() ? "" : ", ") + text + (item.desc ? " DESC" : "");
        }
        sql += " ORDER BY " + o;
    }
    if (s.top >= 0)
        sql += " LIMIT " + std::to_string(s.top);
    if (columns)
        *columns = std::move(cols);
    return sql;
}

Translation translateSelect(const ast::Select& s, TranslateContext& ctx, bool textPointers) {
    Translation t;
    Translator tr(ctx, t);
    if (textPointers)
        tr.wantTextPointers();
    t.sql = tr.select(s, nullptr, &t.columns);
    return t;
}

Translation translateScalar(const ast::Expr& e, TranslateContext& ctx) {
    Translation t;
    Translator tr(ctx, t);
    Scope empty;
    Sql v = tr.expr(e, empty);
    t.sql = "SELECT " + v.text;
    t.columns.push_back({"", v.type, v.known});
    return t;
}

namespace {

// Values going into datetime columns are brought to the stored form first, those going into
// money columns to ten-thousandths.
std::string coerceTo(const ColumnInfo& c, const Sql& v, int line) {
    if (c.type.isDateTime())
        return "syb_to_datetime(" + v.text + ")";
    if (c.type.code == SqlType::Money || c.type.code == SqlType::SmallMoney)
        return "syb_fit(" + moneyText(v, line) + ", " + quoteLiteral(c.type.name()) + ")";
    if (c.type.isInteger() && c.type.code != SqlType::Bit)
        return "syb_fit(" + plainText(v) + ", " + quoteLiteral(c.type.name()) + ")";
    return plainText(v);
}

const ColumnInfo& findColumn(const TableInfo& t, const std::string& name, int line) {
    for (const auto& c : t.columns)
        if (c.name == name)
            return c;
    for (const auto& c : t.columns)
        if (sameName(c.name, name))
            return c;
    throw SqlError::make(207, 16, "Invalid column name '" + name + "'.", line);
}

TableInfo targetTable(const ast::ObjectName& n, TranslateContext& ctx, Access access, int line) {
    auto [schema, name] = resolveObject(n, ctx);
    auto info = ctx.table(schema, name);
    if (!info)
        throw objectNotFound(name, line);
    if (info->type == "V")
        throw SqlError::make(4405, 16,
                             "View '" + name +
                                 "' is not updatable because the FROM clause "
                                 "names multiple tables.",
                             line);
    ctx.requireAccess(*info, access, ctx.moduleOwner(), line);
    return *info;
}

} // namespace

Translation translateInsert(const ast::Stmt& s, TranslateContext& ctx) {
    Translation t;
    Translator tr(ctx, t);
    TableInfo table = targetTable(s.table, ctx, Access::Insert, s.line);
    std::vector<const ColumnInfo*> cols;
    if (s.columns.empty()) {
        for (const auto& c : table.columns)
            if (!c.identity)
                cols.push_back(&c);
    } else {
        for (const auto& name : s.columns)
            cols.push_back(&findColumn(table, name, s.line));
    }
    std::string colList;
    for (const auto* c : cols)
        colList += (colList.empty() ? "" : ", ") + quoteId(c->name);
    t.sql = "INSERT INTO " + quoteId(table.db) + "." + quoteId(table.name) + " (" + colList + ") ";
    auto countError = [&] {
        return SqlError::make(213, 16,
                              "Insert error: column name or number of supplied values does not "
                              "match table definition.",
                              s.line);
    };
    if (s.select) {
        std::vector<ResultColumn> rc;
        std::string sub = tr.select(*s.select, nullptr, &rc);
        if (rc.size() != cols.size())
            throw countError();
        bool coerce = false;
        for (size_t i = 0; i < cols.size(); ++i)
            coerce = coerce || coerceTo(*cols[i], Sql{"x", rc[i].type, rc[i].known}, s.line) != "x";
        if (!coerce) {
            t.sql += sub;
            return t;
        }
        // Name the inner columns by position so the outer select can convert them.
        std::string names;
        for (size_t i = 0; i < cols.size(); ++i)
            names += (i ? ", " : "") + std::string("c") + std::to_string(i + 1);
        std::string conv;
        for (size_t i = 0; i < cols.size(); ++i)
            conv += (i ? ", " : "") +
                    coerceTo(*cols[i], Sql{"c" + std::to_string(i + 1), rc[i].type, rc[i].known},
                             s.line);
        t.sql = "INSERT INTO " + quoteId(table.db) + "." + quoteId(table.name) + " (" + colList +
                ") WITH src(" + names + ") AS (" + sub + ") SELECT " + conv + " FROM src";
        return t;
    }
    std::string rows;
    Scope none;
    for (const auto& row : s.values) {
        if (row.size() != cols.size())
            throw countError();
        std::string r;
        for (size_t i = 0; i < row.size(); ++i)
            r += (i ? ", " : "") + coerceTo(*cols[i], tr.expr(*row[i], none), s.line);
        rows += (rows.empty() ? "(" : ", (") + r + ")";
    }
    t.sql += "VALUES " + rows;
    return t;
}

Translation translateUpdate(const ast::Stmt& s, TranslateContext& ctx) {
    Translation t;
    Translator tr(ctx, t);
    TableInfo table = targetTable(s.table, ctx, Access::Update, s.line);
    tr.exempt(table);
    Scope scope;
    Source self{table.name, quoteId(table.db) + "." + quoteId(table.name), table.columns};
    std::string from, where;
    std::string alias;
    // "update t set ... from t, u": t in the FROM list is the target itself.
    for (const auto& r : s.from)
        if (!r.derived && r.table.name == s.table.name)
            alias = r.alias;
    if (!alias.empty()) {
        self.alias = alias;
        self.sqlRef = quoteId(alias);
    }
    scope.sources.push_back(self);
    if (!s.from.empty()) {
        Scope fromScope;
        fromScope.sources.push_back(self);
        // Re-translate the FROM list without the target.
        std::vector<const ast::TableRef*> kept;
        for (const auto& r : s.from)
            if (r.derived || r.table.name != s.table.name)
                kept.push_back(&r);
        if (!kept.empty()) {
            std::vector<ast::TableRef> copy;
            for (const auto* r : kept) {
                ast::TableRef c;
                c.join = ast::TableRef::Join::Comma;
                c.table = r->table;
                c.alias = r->alias;
                if (r->derived)
                    throw SqlError::make(102, 15, "Incorrect syntax near '('.", s.line);
                copy.push_back(std::move(c));
            }
            copy[0].join = ast::TableRef::Join::First;
            from = tr.fromClause(copy, fromScope, s.where.get(), &where, s.line);
            scope = fromScope;
        } else if (s.where) {
            where = tr.expr(*s.where, scope).text;
        }
    } else if (s.where) {
        where = tr.expr(*s.where, scope).text;
    }
    std::string sets;
    for (const auto& [name, value] : s.sets) {
        if (!name.empty() && name[0] == '@')
            throw SqlError::make(102, 15, "Incorrect syntax near '" + name + "'.", s.line);
        const ColumnInfo& c = findColumn(table, name, s.line);
        sets += (sets.empty() ? "" : ", ") + quoteId(c.name) + " = " +
                coerceTo(c, tr.expr(*value, scope), s.line);
    }
    // SQLite names the target by its table name only: an alias must not be used in SET/WHERE.
    std::string target = quoteId(table.db) + "." + quoteId(table.name);
    if (!alias.empty())
        target += " AS " + quoteId(alias);
    t.sql = "UPDATE " + target + " SET " + sets;
    if (!from.empty())
        t.sql += " FROM " + from;
    if (!where.empty())
        t.sql += " WHERE " + where;
    return t;
}

Translation translateDelete(const ast::Stmt& s, TranslateContext& ctx) {
    Translation t;
    Translator tr(ctx, t);
    TableInfo table = targetTable(s.table, ctx, Access::Delete, s.line);
    tr.exempt(table);
    std::string target = quoteId(table.db) + "." + quoteId(table.name);
    if (s.from.empty()) {
        Scope scope;
        scope.sources.push_back({table.name, target, table.columns});
        t.sql = "DELETE FROM " + target;
        if (s.where)
            t.sql += " WHERE " + tr.expr(*s.where, scope).text;
        return t;
    }
    // "delete t from t, u where ...": pick the rows by rowid through a join.
    Scope scope;
    std::string where;
    std::string from = tr.fromClause(s.from, scope, s.where.get(), &where, s.line);
    std::string ref;
    for (const auto& src : scope.sources)
        if (sameName(src.alias, table.name))
            ref = src.sqlRef;
    if (ref.empty()) {
        ast::TableRef self;
        self.join = ast::TableRef::Join::Comma;
        self.table = s.table;
        Scope again;
        std::vector<ast::TableRef> refs;
        refs.push_back(std::move(self));
        for (const auto& r : s.from) {
            ast::TableRef c;
            c.join = ast::TableRef::Join::Comma;
            c.table = r.table;
            c.alias = r.alias;
            refs.push_back(std::move(c));
        }
        refs[0].join = ast::TableRef::Join::First;
        from = tr.fromClause(refs, again, s.where.get(), &where, s.line);
        ref = again.sources[0].sqlRef;
    }
    t.sql = "DELETE FROM " + target + " WHERE rowid IN (SELECT " + ref + ".rowid FROM " + from +
            (where.empty() ? "" : " WHERE " + where) + ")";
    return t;
}

} // namespace sim
