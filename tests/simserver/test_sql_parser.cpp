#include "sql_ast.h"
#include "sql_lexer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

using namespace sim::ast;

namespace {

ParseResult parseOk(const std::string& sql) {
    ParseResult r = parseBatch(sql);
    EXPECT_TRUE(r.ok) << sql << "\n -> " << r.error.number << " line " << r.error.line << ": "
                      << r.error.message;
    return r;
}

// The single statement of a batch, or null (after a recorded failure).
const Stmt* only(const ParseResult& r) {
    if (r.stmts.size() != 1) {
        ADD_FAILURE() << "expected one statement, got " << r.stmts.size();
        return nullptr;
    }
    return r.stmts[0].get();
}

const Select* onlySelect(const ParseResult& r) {
    const Stmt* s = only(r);
    return s ? s->select.get() : nullptr;
}

// Renders an expression as a fully parenthesised string so tree shapes compare easily.
std::string show(const Expr* e) {
    if (!e) {
        return "<null>";
    }
    auto join = [](const std::vector<ExprPtr>& args, std::size_t from = 0) {
        std::string s;
        for (std::size_t i = from; i < args.size(); ++i) {
            s += (i > from ? ", " : "") + show(args[i].get());
        }
        return s;
    };
    auto qual = [e]() {
        std::string s;
        for (const std::string& q : e->qualifiers) {
            s += q + ".";
        }
        return s;
    };
    const std::string no = e->negated ? "not " : "";
    switch (e->kind) {
    case Expr::Kind::Null:
        return "null";
    case Expr::Kind::Integer:
    case Expr::Kind::Decimal:
    case Expr::Kind::Float:
    case Expr::Kind::Hex:
        return e->text;
    case Expr::Kind::Money:
        return "money:" + e->text;
    case Expr::Kind::String:
        return "'" + e->text + "'";
    case Expr::Kind::Column:
        return qual() + e->text;
    case Expr::Kind::Variable:
    case Expr::Kind::Global:
        return e->text;
    case Expr::Kind::Unary:
        return "(" + e->text + " " + show(e->args[0].get()) + ")";
    case Expr::Kind::Binary:
        return "(" + show(e->args[0].get()) + " " + e->text + " " + show(e->args[1].get()) + ")";
    case Expr::Kind::Function:
        return e->text + "(" + (e->negated ? "distinct " : "") +
               (e->type.name.empty() ? "" : "type:" + e->type.name + ", ") + join(e->args) + ")";
    case Expr::Kind::Case:
        return "case(" + show(e->operand.get()) + "; " + join(e->args) + "; " +
               show(e->elseExpr.get()) + ")";
    case Expr::Kind::Subquery:
        return "subquery";
    case Expr::Kind::Exists:
        return no + "exists";
    case Expr::Kind::InList:
        return "(" + show(e->args[0].get()) + " " + no + "in [" + join(e->args, 1) + "])";
    case Expr::Kind::InSelect:
        return "(" + show(e->args[0].get()) + " " + no + "in subquery)";
    case Expr::Kind::Between:
        return "(" + show(e->args[0].get()) + " " + no + "between " + show(e->args[1].get()) +
               " and " + show(e->args[2].get()) + ")";
    case Expr::Kind::Like:
        return "(" + show(e->args[0].get()) + " " + no + "like " + join(e->args, 1) + ")";
    case Expr::Kind::IsNull:
        return "(" + show(e->args[0].get()) + " is " + no + "null)";
    case Expr::Kind::Star:
        return qual() + "*";
    }
    return "?";
}

// The where clause of "select 1 where <cond>", rendered.
std::string cond(const std::string& text) {
    ParseResult r = parseOk("select 1 where " + text);
    if (!r.ok || r.stmts.empty() || !r.stmts[0]->select) {
        return "<parse failed>";
    }
    return show(r.stmts[0]->select->where.get());
}

std::string qualified(const ObjectName& n) {
    return n.db + "." + n.owner + "." + n.name;
}

// Every select item, rendered.
std::vector<std::string> items(const Select& s) {
    std::vector<std::string> out;
    for (const SelectItem& item : s.items) {
        out.push_back(show(item.expr.get()));
    }
    return out;
}

struct SyntaxError {
    int number;
    std::string message;
};

SyntaxError near(const std::string& token) {
    return {102, "Incorrect syntax near '" + token + "'."};
}

SyntaxError keyword(const std::string& token) {
    return {156, "Incorrect syntax near the keyword '" + token + "'."};
}

std::string joinAll(const std::vector<std::string>& parts, const std::string& sep = ",") {
    std::string s;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        s += (i ? sep : "") + parts[i];
    }
    return s;
}

std::string shown(const std::vector<ExprPtr>& exprs) {
    std::vector<std::string> parts;
    parts.reserve(exprs.size());
    for (const ExprPtr& e : exprs) {
        parts.push_back(show(e.get()));
    }
    return joinAll(parts);
}

std::string typeText(const TypeName& t) {
    return t.name + (t.arg1 < 0 ? "" : "(" + std::to_string(t.arg1)) +
           (t.arg2 < 0 ? "" : "," + std::to_string(t.arg2)) + (t.arg1 < 0 ? "" : ")");
}

// " key:value" when the value is not empty.
std::string field(const std::string& key, const std::string& value) {
    return value.empty() ? "" : " " + key + ":" + value;
}

std::string dump(const Select& s);

std::string dumpFrom(const std::vector<TableRef>& from) {
    static const char* const joins[] = {"", ", ", " join ", " left ", " right ", " cross "};
    std::string out;
    for (const TableRef& t : from) {
        out += joins[static_cast<int>(t.join)] +
               (t.derived ? "(" + dump(*t.derived) + ")" : qualified(t.table)) +
               (t.alias.empty() ? "" : " " + t.alias) + (t.on ? " on " + show(t.on.get()) : "");
    }
    return out;
}

// A select as one line: the items, then each clause that is there.
std::string dump(const Select& s) {
    std::vector<std::string> items;
    for (const SelectItem& item : s.items) {
        items.push_back((item.assignVar.empty() ? "" : item.assignVar + "=") +
                        show(item.expr.get()) + (item.alias.empty() ? "" : " as " + item.alias));
    }
    std::string out =
        (s.distinct ? "distinct " : "") + joinAll(items) +
        (s.hasInto ? " into:" + qualified(s.into) : "") + field("from", dumpFrom(s.from)) +
        (s.where ? " where:" + show(s.where.get()) : "") + field("group", shown(s.groupBy)) +
        (s.having ? " having:" + show(s.having.get()) : "");
    for (const Select::UnionPart& u : s.unions) {
        out += std::string(u.all ? " union all{" : " union{") + dump(*u.select) + "}";
    }
    std::vector<std::string> order;
    for (const OrderItem& o : s.orderBy) {
        order.push_back(show(o.expr.get()) + (o.desc ? " desc" : ""));
    }
    return out + field("order", joinAll(order));
}

// A statement as one line: its kind, its line when not the first, then every field that is set.
std::string dump(const Stmt& s) {
    static const char* const kinds[] = {"select",      "insert",         "update",
                                        "delete",      "truncate",       "create table",
                                        "drop",        "create proc",    "use",
                                        "set option",  "set value",      "print",
                                        "raiserror",   "waitfor",        "declare",
                                        "if",          "while",          "block",
                                        "return",      "break",          "continue",
                                        "begin tran",  "commit tran",    "rollback tran",
                                        "save tran",   "exec",           "kill",
                                        "create view", "create trigger", "create index",
                                        "create rule", "create default", "create database",
                                        "grant",       "revoke"};
    std::vector<std::string> names, values, sets, defs, decls, body, execArgs, params;
    for (const ObjectName& n : s.names) {
        names.push_back(qualified(n));
    }
    for (const auto& row : s.values) {
        values.push_back("(" + shown(row) + ")");
    }
    for (const auto& [column, value] : s.sets) {
        sets.push_back(column + "=" + show(value.get()));
    }
    for (const ColumnDef& c : s.columnDefs) {
        defs.push_back(c.name + " " + typeText(c.type) +
                       (c.nullability ? (c.nullability > 0 ? " null" : " not null") : "") +
                       (c.identity ? " identity" : "") +
                       (c.defaultValue ? " default " + show(c.defaultValue.get()) : "") +
                       (c.primaryKey ? " pk" : "") + (c.unique ? " unique" : ""));
    }
    for (const Declaration& d : s.decls) {
        decls.push_back(d.name + " " + typeText(d.type));
    }
    for (const StmtPtr& b : s.body) {
        body.push_back(dump(*b));
    }
    for (const ExecArg& a : s.execArgs) {
        execArgs.push_back((a.name.empty() ? "" : a.name + "=") +
                           (a.value ? show(a.value.get()) : "default") + (a.output ? " out" : ""));
    }
    for (const ProcParam& p : s.params) {
        params.push_back(p.name + " " + typeText(p.type) +
                         (p.defaultValue ? "=" + show(p.defaultValue.get()) : "") +
                         (p.output ? " out" : ""));
    }
    const ObjectName& t = s.table;
    return kinds[static_cast<int>(s.kind)] + (s.line == 1 ? "" : " @" + std::to_string(s.line)) +
           field("t", t.db.empty() && t.owner.empty() && t.name.empty() ? "" : qualified(t)) +
           field("name", s.name) + field("n", joinAll(names)) + field("c", joinAll(s.columns)) +
           field("v", joinAll(values)) + field("set", joinAll(sets)) +
           (s.select ? " {" + dump(*s.select) + "}" : "") + field("from", dumpFrom(s.from)) +
           (s.where ? " where:" + show(s.where.get()) : "") + field("defs", joinAll(defs, "; ")) +
           (s.on ? " on" : "") + field("args", shown(s.args)) + field("decl", joinAll(decls)) +
           field("x", joinAll(execArgs)) + field("rv", s.returnVar) + field("p", joinAll(params)) +
           (s.unique ? " unique" : "") +
           (s.clustered ? " clustered:" + std::to_string(s.clustered) : "") +
           field("seg", s.segment) + field("priv", joinAll(s.privileges)) +
           field("to", joinAll(s.grantees)) +
           (body.empty() ? "" : " {" + joinAll(body, "; ") + "}");
}

// Every statement of a batch that must parse, dumped.
std::vector<std::string> dumps(const std::string& sql) {
    std::vector<std::string> out;
    for (const StmtPtr& s : parseOk(sql).stmts) {
        out.push_back(dump(*s));
    }
    return out;
}

} // namespace

TEST(SqlLexer, TokenKindsAndValues) {
    using sim::sql::TokenKind;
    auto lexed = sim::sql::tokenize(
        "Sel_1 #tmp [my col] 'it''s' \"say \"\"hi\"\"\" 42 12.5 .5 1e5 2.5E-3 $12.34 0x0A0b "
        "@v @@SPID <> != !< !> *= =* <= >= ~");
    ASSERT_TRUE(lexed.ok);
    const std::vector<std::pair<TokenKind, std::string>> want = {
        {TokenKind::Word, "Sel_1"},        {TokenKind::Word, "#tmp"},
        {TokenKind::Delimited, "my col"},  {TokenKind::String, "it's"},
        {TokenKind::String, "say \"hi\""}, {TokenKind::Integer, "42"},
        {TokenKind::Decimal, "12.5"},      {TokenKind::Decimal, ".5"},
        {TokenKind::Float, "1e5"},         {TokenKind::Float, "2.5E-3"},
        {TokenKind::Money, "12.34"},       {TokenKind::Hex, "0x0A0b"},
        {TokenKind::Variable, "@v"},       {TokenKind::Global, "@@SPID"},
        {TokenKind::Operator, "<>"},       {TokenKind::Operator, "!="},
        {TokenKind::Operator, "!<"},       {TokenKind::Operator, "!>"},
        {TokenKind::Operator, "*="},       {TokenKind::Operator, "=*"},
        {TokenKind::Operator, "<="},       {TokenKind::Operator, ">="},
        {TokenKind::Operator, "~"},        {TokenKind::End, ""},
    };
    ASSERT_EQ(lexed.tokens.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(lexed.tokens[i].kind, want[i].first) << i;
        EXPECT_EQ(lexed.tokens[i].text, want[i].second) << i;
    }
    EXPECT_EQ(lexed.tokens[0].lower, "sel_1");
}

TEST(SqlLexer, CommentsAndLineNumbers) {
    auto lexed =
        sim::sql::tokenize("a -- b c\n/* x /* nested\n */ still comment\n*/ d\n'two\nlines' e");
    ASSERT_TRUE(lexed.ok);
    ASSERT_EQ(lexed.tokens.size(), 5u);
    const std::vector<std::pair<std::string, int>> want = {
        {"a", 1}, {"d", 4}, {"two\nlines", 5}, {"e", 6}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(lexed.tokens[i].text, want[i].first) << i;
        EXPECT_EQ(lexed.tokens[i].line, want[i].second) << i;
    }
}

TEST(SqlLexer, ReservedWords) {
    // "add" is the first of the table, "writetext" the last.
    for (const char* word : {"select", "add", "writetext", "identity"}) {
        EXPECT_TRUE(sim::sql::isReservedWord(word)) << word;
    }
    // Callers pass lower case, so "SELECT" is not found.
    for (const char* word : {"left", "go", "sp_who", "SELECT"}) {
        EXPECT_FALSE(sim::sql::isReservedWord(word)) << word;
    }
}

TEST(SqlParser, ExpressionPrecedence) {
    EXPECT_EQ(cond("a + b * c = d and not e = 1 or f = 2"),
              "((((a + (b * c)) = d) and (not (e = 1))) or (f = 2))");
    EXPECT_EQ(cond("a = 1 or b = 2 and c = 3"), "((a = 1) or ((b = 2) and (c = 3)))");
    // Unary minus and ~ bind tighter than '*'; bitwise operators sit with + and -.
    EXPECT_EQ(cond("-a * b = ~c & d | e ^ f"), "(((- a) * b) = ((((~ c) & d) | e) ^ f))");
    EXPECT_EQ(cond("a - b - c = a / b % c"), "(((a - b) - c) = ((a / b) % c))");
    EXPECT_EQ(cond("(a + b) * c = 0"), "(((a + b) * c) = 0)");
    EXPECT_EQ(cond("not not a = 1"), "(not (not (a = 1)))");
    EXPECT_EQ(cond("a !< 1 and b !> 2 and c != 3 and d <> 4"),
              "((((a !< 1) and (b !> 2)) and (c != 3)) and (d <> 4))");
    // "a = b = c" is not Transact-SQL.
    EXPECT_FALSE(parseBatch("select 1 where a = b = c").ok);
}

TEST(SqlParser, Predicates) {
    EXPECT_EQ(cond("a between 1 and 2 and b not between x + 1 and 9"),
              "((a between 1 and 2) and (b not between (x + 1) and 9))");
    EXPECT_EQ(cond("a in (1, 'x', @v) or b not in (select c from t)"),
              "((a in [1, 'x', @v]) or (b not in subquery))");
    EXPECT_EQ(cond("name like 'a%' and n not like '[_]%' escape '\\'"),
              "((name like 'a%') and (n not like '[_]%', '\\'))");
    EXPECT_EQ(cond("a is null and b is not null"), "((a is null) and (b is not null))");
    EXPECT_EQ(cond("exists (select 1) and not exists (select 2 from t)"),
              "(exists and not exists)");
}

TEST(SqlParser, LiteralsAndReferences) {
    ParseResult r = parseOk("select null, 12, 12.50, 1e5, $12.34, 'o''k', \"d\"\"q\", 0x0102, "
                            "@Var, @@SPID, a, t.a, o.t.a, db.o.t.a, db..t.a");
    const Select* s = onlySelect(r);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(items(*s), (std::vector<std::string>{"null", "12", "12.50", "1e5", "money:12.34",
                                                   "'o'k'", "'d\"q'", "0x0102", "@Var", "@@spid",
                                                   "a", "t.a", "o.t.a", "db.o.t.a", "db..t.a"}));
    EXPECT_EQ(s->items[3].expr->kind, Expr::Kind::Float);
    EXPECT_EQ(s->items[2].expr->kind, Expr::Kind::Decimal);
    EXPECT_EQ(s->items[14].expr->qualifiers, (std::vector<std::string>{"db", "", "t"}));
}

TEST(SqlParser, FunctionsCaseAndSubqueries) {
    ParseResult r = parseOk(
        "select COUNT(*), count(distinct x), Max(a + 1), getdate(), convert(varchar(30), d, 103),"
        " convert(numeric(10,2), 5), cast(a as int), user, substring(s, 1, 2),"
        " case a when 1 then 'one' when 2 then 'two' else 'many' end,"
        " case when a > 0 then 1 end, (select max(b) from t)");
    const Select* s = onlySelect(r);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->items.size(), 12u);
    EXPECT_EQ(items(*s), (std::vector<std::string>{
                             "count(*)", "count(distinct x)", "max((a + 1))", "getdate()",
                             "convert(type:varchar, d, 103)", "convert(type:numeric, 5)",
                             "convert(type:int, a)", "user()", "substring(s, 1, 2)",
                             "case(a; 1, 'one', 2, 'two'; 'many')",
                             "case(<null>; (a > 0), 1; <null>)", "subquery"}));
    EXPECT_EQ(s->items[0].expr->args[0]->kind, Expr::Kind::Star);
    EXPECT_EQ(s->items[4].expr->type.arg1, 30);
    EXPECT_EQ(s->items[5].expr->type.arg1, 10);
    EXPECT_EQ(s->items[5].expr->type.arg2, 2);
    ASSERT_TRUE(s->items[11].expr->select);
    EXPECT_EQ(s->items[11].expr->select->from[0].table.name, "t");
}

TEST(SqlParser, SelectClauses) {
    ParseResult r = parseOk("select distinct a, count(*) into #out from dbo.t where a > 1 "
                            "group by a, b having count(*) > 2 "
                            "union select x, 1 from u union all select y, 2 from v "
                            "order by 1 desc, a asc, b");
    const Stmt* s = only(r);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(dump(*s), "select {distinct a,count(*) into:..#out from:.dbo.t where:(a > 1) "
                        "group:a,b having:(count(*) > 2) union{x,1 from:..u} "
                        "union all{y,2 from:..v} order:1 desc,a,b}");
    // "order by 1" names a position, not a column.
    EXPECT_EQ(s->select->orderBy[0].expr->kind, Expr::Kind::Integer);
}

TEST(SqlParser, StatementSeparation) {
    EXPECT_EQ(
        dumps("select 1 select 2; select 3;;\n select 4"),
        (std::vector<std::string>{"select {1}", "select {2}", "select {3}", "select @2 {4}"}));
    EXPECT_TRUE(parseOk("").stmts.empty());
    EXPECT_TRUE(parseOk("  -- only a comment\n /* and another */ ; ").stmts.empty());
}

TEST(SqlParser, OldStyleOuterJoins) {
    EXPECT_EQ(cond("a.x *= b.x and b.y =* c.y"), "((a.x *= b.x) and (b.y =* c.y))");
    EXPECT_EQ(cond("a.x*=b.x"), "(a.x *= b.x)");
}

// A batch and the dumps of the statements it must parse into.
struct ShapeCase {
    std::string name;
    std::string sql;
    std::vector<std::string> stmts;
};

void PrintTo(const ShapeCase& c, std::ostream* os) {
    *os << c.name;
}

class Statements : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(Statements, ParseIntoTheirShapes) {
    EXPECT_EQ(dumps(GetParam().sql), GetParam().stmts) << GetParam().sql;
}

INSTANTIATE_TEST_SUITE_P(
    SqlParser, Statements,
    ::testing::Values(
        ShapeCase{"SelectItemAliasForms",
                  "select *, t.*, db..t.*, a, b c, d as e, f = g + 1, 'my col' = h, "
                  "i 'str alias', j as [br alias], @v = k, x.y z from t",
                  {"select {*,t.*,db..t.*,a,b as c,d as e,(g + 1) as f,h as my col,"
                   "i as str alias,j as br alias,@v=k,x.y as z from:..t}"}},
        // "left" after t6's "on" clause is not an alias.
        ShapeCase{"FromClauseJoinsAndNames",
                  "select * from db.o.t1 a, db..t2 as b holdlock, #tmp "
                  "join t3 c on c.id = a.id inner join t4 on 1 = 1 "
                  "left outer join t5 e on e.x = 1 left join t6 on 1 = 1 "
                  "right join t7 on 2 = 2 cross join t8 "
                  "join (select id from t9) d on d.id = a.id",
                  {"select {* from:db.o.t1 a, db..t2 b, ..#tmp join ..t3 c on (c.id = a.id) "
                   "join ..t4 on (1 = 1) left ..t5 e on (e.x = 1) left ..t6 on (1 = 1) "
                   "right ..t7 on (2 = 2) cross ..t8 join (id from:..t9) d on (d.id = a.id)}"}},
        ShapeCase{"DataModification",
                  "insert into t (a, [b c]) values (1, 'x')\n"
                  "insert t select * from u\n"
                  "insert t (a) select 1\n"
                  "update db..t set a = a + 1, t.b = null, @v = c from t, u where t.id = u.id\n"
                  "delete from t where a = 1\n"
                  "delete t from t, u where t.id = u.id\n"
                  "delete t\n"
                  "truncate table o.t",
                  {"insert t:..t c:a,b c v:(1,'x')", "insert @2 t:..t {* from:..u}",
                   "insert @3 t:..t c:a {1}",
                   "update @4 t:db..t set:a=(a + 1),b=null,@v=c from:..t, ..u where:(t.id = u.id)",
                   "delete @5 t:..t where:(a = 1)",
                   "delete @6 t:..t from:..t, ..u where:(t.id = u.id)", "delete @7 t:..t",
                   "truncate @8 t:.o.t"}},
        // A table constraint marks its column when it names only one: "pk" makes id and name
        // the primary key, "unique (amount)" makes amount unique, "unique (f, n)" marks neither.
        ShapeCase{"CreateTable",
                  "create table #t (\n"
                  " id numeric(10,0) identity,\n"
                  " name varchar(30) not null default 'x' unique,\n"
                  " amount money null,\n"
                  " d datetime default getdate() not null,\n"
                  " f double precision,\n"
                  " k int primary key,\n"
                  " n int default -1,\n"
                  " constraint pk primary key clustered (id, name),\n"
                  " unique (amount), unique (f, n),\n"
                  " foreign key (k) references other (id),\n"
                  " check (n > -5)\n"
                  ") lock datarows",
                  {"create table t:..#t defs:id numeric(10,0) identity pk; "
                   "name varchar(30) not null default 'x' pk unique; amount money null unique; "
                   "d datetime not null default getdate(); f double precision; k int pk; "
                   "n int default (- 1)"}},
        // Without parentheses, and with the body running to the end of the batch.
        ShapeCase{"CreateProcedureBareParameters",
                  "create procedure p @x int as if @x > 0 begin print 'pos' end "
                  "else print 'neg' select 2",
                  {"create proc t:..p p:@x int {if args:(@x > 0) {block {print args:'pos'}; "
                   "print args:'neg'}; select {2}}"}},
        ShapeCase{"CreateTriggerForDelete",
                  "create trigger tr on t for delete as delete u from u, deleted d "
                  "where u.id = d.id",
                  {"create trigger t:..tr n:..t c:delete {delete t:..u from:..u, ..deleted d "
                   "where:(u.id = d.id)}"}},
        ShapeCase{"CreateIndex",
                  "create unique clustered index ix1 on db.dbo.t (a desc, b asc, c)\n"
                  "  with fillfactor = 80, ignore_dup_key, max_rows_per_page = 10, "
                  "consumers = 2,\n"
                  "  statistics using 20 values on seg1\n"
                  "create nonclustered index ix2 on t (x)\n"
                  "create index ix3 on db..t (y) with allow_dup_row, sorted_data on default\n"
                  "create unique index ix4 on #t (z)\n"
                  "select 1",
                  {"create index t:db.dbo.t name:ix1 c:a,b,c unique clustered:1 seg:seg1",
                   "create index @4 t:..t name:ix2 c:x clustered:-1",
                   "create index @5 t:db..t name:ix3 c:y seg:default",
                   "create index @6 t:..#t name:ix4 c:z unique", "select @7 {1}"}},
        ShapeCase{"CreateDatabase",
                  "create database sales\n"
                  "create database big on dev1 = 100, default = '50M'\n"
                  "  log on logdev = 20 with override for load\n"
                  "create database d2 log on l1\n"
                  "create database d3 on default\n"
                  "use big",
                  {"create database name:sales", "create database @2 name:big",
                   "create database @4 name:d2", "create database @5 name:d3", "use @6 name:big"}},
        // "on" is "with grant option".
        ShapeCase{"GrantAndRevoke",
                  "grant select, insert, UPDATE, delete, references on dbo.t to u1, grp, public\n"
                  "grant update (a, b) on t to u1\n"
                  "grant select on db..t (c) to PUBLIC with grant option\n"
                  "grant all privileges on t to u2\n"
                  "grant execute on p to u3\n"
                  "grant all to u4\n"
                  "grant create table, create view, create procedure, create default, "
                  "create rule,\n"
                  "  create database to dbo_user\n"
                  "revoke grant option for select on t from u1 cascade\n"
                  "revoke all on t from public\n"
                  "revoke update (a) on t from u1\n"
                  "revoke create table from u2, u3\n"
                  "select 1",
                  {"grant n:.dbo.t priv:select,insert,update,delete,references to:u1,grp,public",
                   "grant @2 n:..t c:a,b priv:update to:u1",
                   "grant @3 n:db..t c:c on priv:select to:public", "grant @4 n:..t priv:all to:u2",
                   "grant @5 n:..p priv:execute to:u3", "grant @6 priv:all to:u4",
                   "grant @7 priv:create table,create view,create procedure,create default,"
                   "create rule,create database to:dbo_user",
                   "revoke @9 n:..t priv:select to:u1", "revoke @10 n:..t priv:all to:public",
                   "revoke @11 n:..t c:a priv:update to:u1",
                   "revoke @12 priv:create table to:u2,u3", "select @13 {1}"}},
        ShapeCase{"DropOtherObjects",
                  "drop trigger trg1, dbo.trg2\n"
                  "drop rule r1\n"
                  "drop default dbo.d1, d2\n"
                  "drop view v1, o.v2, v3\n"
                  "drop index t.ix1, o.t.ix2\n"
                  "drop database db1",
                  {"drop name:trigger n:..trg1,.dbo.trg2", "drop @2 name:rule n:..r1",
                   "drop @3 name:default n:.dbo.d1,..d2", "drop @4 name:view n:..v1,.o.v2,..v3",
                   "drop @5 name:index n:.t.ix1,o.t.ix2", "drop @6 name:database n:..db1"}},
        ShapeCase{"DropUseAndSet",
                  "drop table t1, db..t2\n"
                  "drop proc p\n"
                  "drop index t.ix\n"
                  "use [my db]\n"
                  "use \"other\"\n"
                  "set NoCount ON\n"
                  "set statistics io off\n"
                  "set arithabort arith_overflow on\n"
                  "set rowcount 10\n"
                  "set textsize @n\n"
                  "set transaction isolation level 3\n"
                  "set transaction isolation level read uncommitted\n"
                  "set dateformat mdy\n"
                  "set datefirst 7",
                  {"drop name:table n:..t1,db..t2", "drop @2 name:procedure n:..p",
                   "drop @3 name:index n:.t.ix", "use @4 name:my db", "use @5 name:other",
                   "set option @6 name:nocount on", "set option @7 name:statistics io",
                   "set option @8 name:arithabort arith_overflow on",
                   "set value @9 name:rowcount args:10", "set value @10 name:textsize args:@n",
                   "set value @11 name:transaction isolation level args:3",
                   "set value @12 name:transaction isolation level args:0",
                   "set value @13 name:dateformat args:'mdy'",
                   "set value @14 name:datefirst args:7"}},
        ShapeCase{"ControlFlowAndMessages",
                  "declare @a int, @b varchar(20)\n"
                  "if @a = 1 print 'one' else begin print 'other %1!', @a end\n"
                  "while @a < 10 begin select @a = @a + 1 if @a = 5 break continue end\n"
                  "raiserror 20001 'bad %1!', @a\n"
                  "raiserror @err\n"
                  "waitfor delay '00:00:01'\n"
                  "return\n"
                  "return @a + 1\n"
                  "kill 12",
                  {"declare decl:@a int,@b varchar(20)",
                   "if @2 args:(@a = 1) {print @2 args:'one'; block @2 {print @2 "
                   "args:'other %1!',@a}}",
                   "while @3 args:(@a < 10) {block @3 {select @3 {@a=(@a + 1)}; if @3 "
                   "args:(@a = 5) {break @3}; continue @3}}",
                   "raiserror @4 args:20001,'bad %1!',@a", "raiserror @5 args:@err",
                   "waitfor @6 name:delay args:'00:00:01'", "return @7", "return @8 args:(@a + 1)",
                   "kill @9 args:12"}},
        ShapeCase{"Transactions",
                  "begin tran\nbegin transaction t1\nsave tran sp1\nrollback tran sp1\ncommit\n"
                  "commit work\nrollback transaction\ncommit tran t1",
                  {"begin tran", "begin tran @2 name:t1", "save tran @3 name:sp1",
                   "rollback tran @4 name:sp1", "commit tran @5", "commit tran @6",
                   "rollback tran @7", "commit tran @8 name:t1"}},
        // A bare word argument is a string; "@d = default" has no value.
        ShapeCase{"Exec",
                  "exec @rc = db.dbo.p 1, 'two', @x = @y output, @z out, mytable, "
                  "@d = default, -5\n"
                  "execute sp_who\n"
                  "exec p2",
                  {"exec t:db.dbo.p x:1,'two',@x=@y out,@z out,'mytable',@d=default,(- 5) rv:@rc",
                   "exec @2 t:..sp_who", "exec @3 t:..p2"}},
        // The first statement may omit "exec"; a later one may not (see ErrorMessages).
        ShapeCase{"ImplicitExec",
                  "sp_help mytable select 1",
                  {"exec t:..sp_help x:'mytable'", "select {1}"}},
        ShapeCase{"ImplicitExecWithArguments", "myproc 1, 2", {"exec t:..myproc x:1,2"}},
        ShapeCase{"ImplicitExecOfGo", "go", {"exec t:..go"}},
        // After a select item a bare word is a column alias, as in Sybase.
        ShapeCase{"AliasThatLooksLikeAProcedure", "select 1 sp_who", {"select {1 as sp_who}"}}),
    [](const ::testing::TestParamInfo<ShapeCase>& p) { return p.param.name; });

TEST(SqlParser, CreateProcedure) {
    const std::string text = "create PROC dbo.p1 (@a int, @b varchar(10) = 'x', @c money = -1 "
                             "output, @d int out)\n"
                             "with recompile as\n"
                             "  select @a   -- keep this comment\n"
                             "  return 1";
    ParseResult r = parseOk("  " + text + "\n\n  ");
    const Stmt* s = only(r);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(dump(*s), "create proc t:.dbo.p1 p:@a int,@b varchar(10)='x',@c money=(- 1) out,"
                        "@d int out {select @3 {@a}; return @4 args:1}");
    EXPECT_EQ(s->sourceText, text);
    EXPECT_FALSE(parseBatch("create proc p as").ok);
}

TEST(SqlParser, CreateView) {
    const std::string view = "create view dbo.v_sales (id, total) as\n"
                             "  select s.id, sum(s.amount) -- per id\n"
                             "  from sales s group by s.id\n"
                             "  union all select 0, 0";
    // The view ends with its select; the next statement is separate.
    ParseResult r = parseOk("\n" + view + "  \n  select 1");
    ASSERT_EQ(r.stmts.size(), 2u);
    EXPECT_EQ(dump(*r.stmts[0]), "create view @2 t:.dbo.v_sales c:id,total {s.id,sum(s.amount) "
                                 "from:..sales s group:s.id union all{0,0}}");
    EXPECT_EQ(r.stmts[0]->sourceText, view);
    EXPECT_EQ(dump(*r.stmts[1]), "select @6 {1}");

    // No column list; "with check option" belongs to the view's text.
    ParseResult r2 = parseOk("create view v as select a from t where a > 0 with check option;"
                             "insert t values (1)");
    ASSERT_EQ(r2.stmts.size(), 2u);
    EXPECT_EQ(dump(*r2.stmts[0]), "create view t:..v {a from:..t where:(a > 0)}");
    EXPECT_EQ(r2.stmts[0]->sourceText,
              "create view v as select a from t where a > 0 with check option");
    EXPECT_EQ(dump(*r2.stmts[1]), "insert t:..t v:(1)");
}

TEST(SqlParser, CreateTrigger) {
    const std::string text = "create trigger dbo.trg_t on dbo.t for insert, UPDATE as\n"
                             "if update(a) or update(b)\n"
                             "begin rollback tran return end\n"
                             "select * from inserted -- last line";
    // The body is the rest of the batch.
    ParseResult r = parseOk(" " + text + "\n \n");
    const Stmt* s = only(r);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(dump(*s), "create trigger t:.dbo.trg_t n:.dbo.t c:insert,update {if @2 "
                        "args:(update(a) or update(b)) {block @3 {rollback tran @3; return @3}}; "
                        "select @4 {* from:..inserted}}");
    EXPECT_EQ(s->sourceText, text);
}

TEST(SqlParser, CreateRuleAndDefault) {
    const std::vector<std::string> texts = {
        "create rule dbo.r_range as @v between 1 and 10",
        "create rule r_list as @c in ('a', 'b')",
        "create rule r_pat as @p like 'A%' or @p is null",
        "create default d_zero as 0",
        "create default dbo.d_text as 'N/A'",
        "create default d_now as getdate()",
        "create default d_neg as -1 * 5",
    };
    std::string batch;
    for (const std::string& t : texts) {
        batch += t + "  -- note\n";
    }
    ParseResult r = parseOk(batch + "select 1");
    ASSERT_EQ(r.stmts.size(), texts.size() + 1);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(r.stmts[i]->sourceText, texts[i]) << i;
    }
    EXPECT_EQ(
        dumps(batch + "select 1"),
        (std::vector<std::string>{
            "create rule t:.dbo.r_range args:(@v between 1 and 10)",
            "create rule @2 t:..r_list args:(@c in ['a', 'b'])",
            "create rule @3 t:..r_pat args:((@p like 'A%') or (@p is null))",
            "create default @4 t:..d_zero args:0", "create default @5 t:.dbo.d_text args:'N/A'",
            "create default @6 t:..d_now args:getdate()",
            "create default @7 t:..d_neg args:((- 1) * 5)", "select @8 {1}"}));
}

TEST(SqlParser, ErrorMessages) {
    struct Case {
        std::string sql;
        int line;
        SyntaxError error;
    };
    const std::vector<Case> cases = {
        {"select * from", 1, near("from")},
        {"select a from t where", 1, near("where")},
        {"select 1\nselect a frm t", 2, near("t")},
        {"select 1 +", 1, near("+")},
        {"\n\nselect a, from t", 3, keyword("from")},
        {"select 1\n\nSELECT FROM t", 3, keyword("FROM")},
        {"insert t values (1,)", 1, near(")")},
        {"select 'abc' 'def' 'x'", 1, near("x")},
        {"select 1 ?", 1, near("?")},
        {"create schema authorization dbo", 1, keyword("schema")},
        {"select 1\nselect 'abc", 2, {105, "Unclosed quote before the character string 'abc'."}},
        {"select 1 /* open /* nested */", 1, {113, "Missing end comment mark '*/'."}},
        // Names have at most four parts in a column and three in an object.
        {"select a.b.c.d.e from t", 1, near("e")},
        {"select * from a.b.c.d", 1, near("d")},
        {"select * from a....b", 1, near(".")},
        {"select a.b.c.d.* from t", 1, near("d")},
        // The first error wins, even when the tokenizer would fail later on.
        {"select from\n'unclosed", 1, keyword("from")},
        // After the first statement a procedure call needs "exec".
        {"print 'x'\nsp_who", 2, near("sp_who")},
        // Statements simserver has no use for stay syntax errors.
        {"checkpoint", 1, keyword("checkpoint")},
        {"dbcc checkdb(master)", 1, keyword("dbcc")},
        {"dump database d to '/tmp/d.dmp'", 1, keyword("dump")},
        {"select 1\nload database d from '/tmp/d.dmp'", 2, keyword("load")},
        // A view's select takes no order by; views live in the current database.
        {"create view v as select a from t\norder by a", 2, keyword("order")},
        {"create view db.o.v as select 1", 1, near("v")},
        {"create view v select 1", 1, keyword("select")},
        {"create view v as", 1, near("as")},
        {"create trigger tr on t for select as print 'x'", 1, keyword("select")},
        {"create trigger tr on t for insert as", 1, near("as")},
        {"create trigger tr for insert as print 'x'", 1, keyword("for")},
        {"create trigger tr on t for insert update as print 'x'", 1, keyword("update")},
        {"create index ix on t (a) with fillfactor 80", 1, near("80")},
        {"create index ix on t", 1, near("t")},
        {"create index ix on t ()", 1, near(")")},
        {"create unique view v as select 1", 1, keyword("view")},
        {"create clustered nonclustered index ix on t (a)", 1, keyword("nonclustered")},
        {"create index o.ix on t (a)", 1, near(".")},
        {"create rule r @v > 1", 1, near("@v")},
        {"create rule r as", 1, near("as")},
        // A default is a value, not a condition.
        {"create default d as 1 = 1", 1, near("=")},
        {"create default as 1", 1, keyword("as")},
        {"create database d on dev = x", 1, near("x")},
        {"create database d log dev", 1, near("dev")},
        {"create database d with", 1, near("with")},
        {"create database db1.d", 1, near(".")},
        // Object permissions need an object, command permissions must not have one.
        {"grant select to u", 1, keyword("to")},
        {"grant create table on t to u", 1, keyword("on")},
        {"grant select (a) on t (b) to u", 1, near("(")},
        {"grant all (a) to u", 1, keyword("to")},
        {"grant create index to u", 1, keyword("index")},
        {"grant drop on t to u", 1, keyword("drop")},
        {"revoke select on t to u", 1, keyword("to")},
        {"grant select on t to", 1, near("to")},
        // "with grant option" is for object permissions only.
        {"grant create table to u with grant option", 1, keyword("with")},
        {"drop view v1,", 1, near(",")},
        {"drop trigger", 1, near("trigger")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        ParseResult r = parseBatch(c.sql);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.stmts.empty());
        EXPECT_EQ(r.error.number, c.error.number);
        EXPECT_EQ(r.error.line, c.line);
        EXPECT_EQ(r.error.message, c.error.message);
    }
}

TEST(SqlParser, NestingDepthIsBounded) {
    std::string ok = "select " + std::string(150, '(') + "1" + std::string(150, ')');
    EXPECT_TRUE(parseBatch(ok).ok);
    for (const std::string& open : {std::string("("), std::string("-"), std::string("not ")}) {
        std::string deep = "select 1 where ";
        for (int i = 0; i < 100000; ++i) {
            deep += open;
        }
        deep += "1 = 1";
        ParseResult r = parseBatch(deep);
        EXPECT_FALSE(r.ok) << open;
        EXPECT_EQ(r.error.message.rfind("Incorrect syntax near", 0), 0u) << open;
    }
    std::string ifs;
    for (int i = 0; i < 50000; ++i) {
        ifs += "if 1 = 1 ";
    }
    ParseResult r = parseBatch(ifs + "select 1");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error.message.rfind("Incorrect syntax near", 0), 0u);
}

TEST(SqlParser, LargeBatchParsesQuickly) {
    std::string sql;
    for (int i = 0; sql.size() < 1'000'000; ++i) {
        sql += "insert into t (a, b, c) values (" + std::to_string(i) +
               ", 'some text here', 12.5 * 3) -- row\n";
    }
    const auto start = std::chrono::steady_clock::now();
    ParseResult r = parseBatch(sql);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    ASSERT_TRUE(r.ok);
    EXPECT_GT(r.stmts.size(), 10000u);
    EXPECT_EQ(r.stmts.back()->line, static_cast<int>(r.stmts.size()));
    // Generous: sanitizer builds are several times slower than release ones.
    EXPECT_LT(ms, 10000);
}

// Random bytes and mutated valid batches must end in a result, never a crash or a hang.
TEST(SqlParser, SurvivesRandomAndMutatedInput) {
    const std::vector<std::string> seeds = {
        "select a, b = c + 1 from db..t x left join u on x.id = u.id where a in (1, 2) "
        "group by a having count(*) > 1 order by 1 desc",
        "create proc p (@a int = 1 output) as begin if exists (select 1) return 1 else "
        "print 'x' end",
        "create table #t (a int not null identity, b varchar(10) default 'x' primary key)",
        "update t set a = case when b is null then 0 else b end from t, u where t.x *= u.x",
        "exec @rc = p 1, @x = @y output, word declare @v int set rowcount @v",
        "insert t (a) values (convert(numeric(10,2), '1.5')) /* c */ -- d\n select \"q\"\"\"",
        "create trigger tr on o.t for insert, update as if update(a) rollback tran "
        "grant select (a) on t to public",
        "create unique clustered index i on db..t (a desc) with fillfactor = 5 on seg "
        "create view v (x) as select 1 union select 2 revoke all on t from u cascade",
    };
    const std::string alphabet = "abcdeselctfromwhere()@#$[]'\"*=<>!-+/%~&|^,.;:0123456789 \n"
                                 "\t\x01\xff";
    std::mt19937 rng(20240611u);
    int parsed = 0;
    int rejected = 0;
    auto run = [&](const std::string& sql) {
        ParseResult r = parseBatch(sql);
        if (r.ok) {
            ++parsed;
        } else {
            ++rejected;
            EXPECT_FALSE(r.error.message.empty());
            EXPECT_GE(r.error.line, 1);
        }
    };
    for (int i = 0; i < 2000; ++i) {
        std::string s(rng() % 200, '\0');
        for (char& c : s) {
            c = static_cast<char>(rng() % 3 == 0 ? rng() % 256 : alphabet[rng() % alphabet.size()]);
        }
        run(s);
    }
    for (int i = 0; i < 3000; ++i) {
        std::string s = seeds[rng() % seeds.size()];
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < edits && !s.empty(); ++k) {
            const std::size_t at = rng() % s.size();
            switch (rng() % 3) {
            case 0:
                s.erase(at, 1 + rng() % 5);
                break;
            case 1:
                s.insert(at, 1, alphabet[rng() % alphabet.size()]);
                break;
            default:
                s.insert(at, s.substr(rng() % s.size(), rng() % 20));
                break;
            }
        }
        run(s);
    }
    EXPECT_EQ(parsed + rejected, 5000);
    // The mutations leave some batches valid and break others; both paths must be exercised.
    EXPECT_GT(parsed, 0);
    EXPECT_GT(rejected, 0);
}
