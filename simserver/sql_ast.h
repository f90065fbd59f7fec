#pragma once
// Syntax tree of the Transact-SQL subset simserver understands. The parser builds it
// for a whole batch; the executor walks statements and hands queries to the translator.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim::ast {

struct Select;
struct Stmt;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;
using StmtPtr = std::unique_ptr<Stmt>;
using SelectPtr = std::unique_ptr<Select>;

// A type as written: "varchar(30)" -> {"varchar", 30}; "numeric(10,2)" -> {"numeric", 10, 2}.
// The name is lower case; -1 where the text gives no number.
struct TypeName {
    std::string name;
    int arg1 = -1;
    int arg2 = -1;
};

// [db.][owner.]name as written; parts left out are empty ("db..t" has an empty owner).
// Brackets and quotes of delimited identifiers are removed. "#t" keeps its '#'.
struct ObjectName {
    std::string db;
    std::string owner;
    std::string name;
};

// "[[db.]owner.]table.column" ("db..table.column" included) as the table and the column; nothing
// when the text names no table and column.
inline std::optional<std::pair<ObjectName, std::string>> columnPath(const std::string& text) {
    std::vector<std::string> parts;
    for (size_t at = 0;;) {
        const size_t dot = text.find('.', at);
        parts.push_back(text.substr(at, dot - at));
        if (dot == std::string::npos)
            break;
        at = dot + 1;
    }
    if (parts.size() < 2 || parts.size() > 4 || parts.back().empty() ||
        parts[parts.size() - 2].empty())
        return std::nullopt;
    ObjectName n;
    n.name = parts[parts.size() - 2];
    if (parts.size() >= 3)
        n.owner = parts[parts.size() - 3];
    if (parts.size() == 4)
        n.db = parts[0];
    return std::pair{n, parts.back()};
}

struct Expr {
    enum class Kind {
        Null,     // null
        Integer,  // text = digits as written (may exceed 64 bits)
        Decimal,  // text = "12.50" (fixed point literal)
        Float,    // text = "1e5"
        Money,    // text = "$12.34" without the '$'
        String,   // text = value with doubled quotes undone
        Hex,      // text = "0x0102" as written
        Column,   // text = column name; qualifiers = preceding parts (table, owner.table, ...)
        Variable, // text = "@name" (lower case kept as written)
        Global,   // text = "@@name" in lower case
        Unary,    // text = "-", "+", "~", "not"; args[0]
        Binary, // text = operator in lower case: + - * / % = <> != < > <= >= !< !> *= =* & | ^ and
                // or
        Function, // text = function name in lower case; args; type set for convert()
                  // (cast(x as t) arrives as convert); negated = DISTINCT inside an
                  // aggregate: count(distinct x) is text "count", negated, args = x
        Case,     // operand (may be null); args = when1, then1, when2, then2, ...; elseExpr (may be
                  // null)
        Subquery, // select (scalar subquery)
        Exists,   // select; negated for NOT EXISTS
        InList,   // args[0] = tested value, args[1..] = list; negated for NOT IN
        InSelect, // args[0] = tested value, select; negated for NOT IN
        Between,  // args = value, low, high; negated for NOT BETWEEN
        Like,     // args = value, pattern[, escape]; negated for NOT LIKE
        IsNull,   // args[0]; negated for IS NOT NULL
        Star,     // "*" or "t.*" (qualifiers = ["t"]) in a select list or count(*)
    };
    Kind kind = Kind::Null;
    std::string text;
    std::vector<std::string> qualifiers;
    std::vector<ExprPtr> args;
    ExprPtr operand;
    ExprPtr elseExpr;
    SelectPtr select;
    TypeName type; // convert(type, expr[, style]): type here, args = expr[, style]
    bool negated = false;
    int line = 1;
    int height = 0; // nesting of binary operators below and including this node
};

struct SelectItem {
    ExprPtr expr;
    std::string alias;     // "name = expr", "expr as name", "expr name", "'name' = expr"
    std::string assignVar; // "@v = expr": the variable receives the value, no row is sent
};

struct TableRef {
    enum class Join { First, Comma, Inner, Left, Right, Cross };
    Join join = Join::First;
    ObjectName table;  // empty name when derived is set
    SelectPtr derived; // (select ...) alias
    std::string alias;
    ExprPtr on; // for Inner/Left/Right
};

struct OrderItem {
    ExprPtr expr; // an Integer expr is a position
    bool desc = false;
};

// "compute sum(x), max(y) by a, b": each aggregate's operand and each by item resolved to its
// select-list column, counted from 1, as the ALTFMT token carries them.
struct ComputeAggregate {
    std::string op; // "sum", "avg", "count", "min", "max"
    ExprPtr operand;
    int column = 0;
};

struct Compute {
    std::vector<ComputeAggregate> aggregates;
    std::vector<int> byColumns;
    int line = 1;
};

struct Select {
    bool distinct = false;
    int64_t top = -1; // "select top N": at most N rows; -1 without
    std::vector<SelectItem> items;
    bool hasInto = false;
    ObjectName into;
    std::vector<TableRef> from;
    ExprPtr where;
    std::vector<ExprPtr> groupBy;
    ExprPtr having;
    // "select ... union [all] select ..." chains: each further select with its own flag.
    struct UnionPart {
        bool all = false;
        SelectPtr select;
    };
    std::vector<UnionPart> unions;
    std::vector<OrderItem> orderBy; // applies to the whole union
    std::vector<Compute> computes;  // a top-level select's compute clauses, in order
    int line = 1;
};

struct ColumnDef {
    std::string name;
    TypeName type;
    int nullability = 0; // 0 not said, 1 "null", -1 "not null"
    bool identity = false;
    ExprPtr defaultValue;
    bool primaryKey = false;
    bool unique = false;
};

struct Declaration {
    std::string name; // "@v"
    TypeName type;
};

struct ProcParam {
    std::string name; // "@p"
    TypeName type;
    ExprPtr defaultValue; // "= value", may be null
    bool output = false;
};

struct ExecArg {
    std::string name; // "@p" for "@p = value", else empty
    ExprPtr value;    // a Variable expr for output arguments, may be null for "@p = default"
    bool output = false;
};

struct Stmt {
    enum class Kind {
        Select,          // select
        Insert,          // table, columns, values rows or select
        Update,          // table, sets, from, where
        Delete,          // table, from, where
        Truncate,        // table
        CreateTable,     // table, columnDefs
        Drop,            // name = "table", "procedure", "view", ... in lower case; names
                         // ("drop index t.i" gives owner = "t", name = "i"; with
                         // "owner.t.i" db = table owner, owner = table, name = index)
        CreateProcedure, // table = procedure name; params; body = statements after "as";
                         // sourceText = the statement's text from "create" to its end, as typed
        Use,             // name = database
        SetOption, // name = option words in lower case joined by one blank ("statistics io"); on
        SetValue,  // name = "rowcount" / "textsize" / ...; args[0] = value expr
                   // ("set dateformat mdy": name "dateformat", String "mdy")
        Print,     // args = format expr, then arguments
        Raiserror, // args[0] = number, args[1] = message (optional), then arguments
        Waitfor,   // name = "delay" or "time"; args[0]
        Declare,   // decls
        If,        // args[0] = condition; body[0] = then, body[1] = else (optional)
        While,     // args[0] = condition; body[0]
        Block,     // begin ... end: body
        Return,    // args[0] optional
        Break,
        Continue,
        BeginTran, // name optional
        CommitTran,
        RollbackTran,
        SaveTran,
        Exec, // procedure in table (db/owner/name); execArgs; returnVar = "@rc" in "exec @rc = p"
        Kill, // args[0]
        CreateView,     // table = view; columns = optional column list; select; sourceText
        CreateTrigger,  // table = trigger; names[0] = table it is on; columns = events in lower
                        // case ("insert", "update", "delete"); body; sourceText
        CreateIndex,    // name = index; table = table; columns = key columns in order;
                        // unique; clustered (1 clustered, -1 nonclustered, 0 not said);
                        // segment = "on <segment>" name, empty when not given
        CreateRule,     // table = rule; args[0] = condition (with its @variable); sourceText
        CreateDefault,  // table = default; args[0] = value; sourceText
        CreateDatabase, // name = database
        Grant,          // privileges (lower case, "all" for all); names = objects (empty for
                        // command grants such as "grant create table to u"); columns = optional
                        // column list; grantees = users and groups ("public" included);
                        // on = "with grant option"
        Revoke,         // as Grant
        Readtext,       // name = "table.column" as written; args = pointer, offset, size
        Writetext,      // name as Readtext; on = bulk (the value follows as bulk data);
                        // args = pointer, value (null for bulk), timestamp (null when absent)
    };
    Kind kind = Kind::Select;
    int line = 1;
    SelectPtr select;
    ObjectName table;
    std::vector<ObjectName> names;
    std::vector<std::string> columns;
    std::vector<std::vector<ExprPtr>> values;
    std::vector<std::pair<std::string, ExprPtr>> sets; // column or "@var", value
    std::vector<TableRef> from;
    ExprPtr where;
    std::vector<ColumnDef> columnDefs;
    std::string name;
    bool on = false;
    std::vector<ExprPtr> args;
    std::vector<Declaration> decls;
    std::vector<StmtPtr> body;
    std::vector<ExecArg> execArgs;
    std::string returnVar;
    std::vector<ProcParam> params;
    std::string sourceText;
    bool unique = false;
    int clustered = 0;
    std::string segment;
    std::vector<std::string> privileges;
    std::vector<std::string> grantees;
};

// Sybase reports syntax errors as 102 "Incorrect syntax near 'x'." or, when the offending
// token is a reserved word, 156 "Incorrect syntax near the keyword 'x'.".
struct ParseError {
    int number = 102;
    int line = 1;
    std::string message; // without the trailing newline
};

struct ParseResult {
    std::vector<StmtPtr> stmts;
    bool ok = true;
    ParseError error;
};

ParseResult parseBatch(const std::string& sql);

} // namespace sim::ast
