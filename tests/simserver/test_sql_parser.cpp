#include "sql_ast.h"
#include "sql_lexer.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <random>
#include <string>
#include <tuple>
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

TEST(SqlParser, SelectItemAliasForms) {
    ParseResult r = parseOk("select *, t.*, db..t.*, a, b c, d as e, f = g + 1, 'my col' = h, "
                            "i 'str alias', j as [br alias], @v = k, x.y z from t");
    const Select* s = onlySelect(r);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->items.size(), 12u);
    // expression, alias, variable assigned
    const std::vector<std::array<std::string, 3>> want = {
        {"*", "", ""},          {"t.*", "", ""},       {"db..t.*", "", ""},  {"a", "", ""},
        {"b", "c", ""},         {"d", "e", ""},        {"(g + 1)", "f", ""}, {"h", "my col", ""},
        {"i", "str alias", ""}, {"j", "br alias", ""}, {"k", "", "@v"},      {"x.y", "z", ""},
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        const SelectItem& item = s->items[i];
        EXPECT_EQ((std::array<std::string, 3>{show(item.expr.get()), item.alias, item.assignVar}),
                  want[i])
            << i;
    }
}

TEST(SqlParser, SelectClauses) {
    ParseResult r = parseOk("select distinct a, count(*) into #out from dbo.t where a > 1 "
                            "group by a, b having count(*) > 2 "
                            "union select x, 1 from u union all select y, 2 from v "
                            "order by 1 desc, a asc, b");
    const Select* s = onlySelect(r);
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->distinct);
    EXPECT_TRUE(s->hasInto);
    EXPECT_EQ(s->into.name, "#out");
    ASSERT_EQ(s->from.size(), 1u);
    EXPECT_EQ(qualified(s->from[0].table), ".dbo.t");
    EXPECT_EQ(show(s->where.get()), "(a > 1)");
    ASSERT_EQ(s->groupBy.size(), 2u);
    EXPECT_EQ(show(s->having.get()), "(count(*) > 2)");
    ASSERT_EQ(s->unions.size(), 2u);
    EXPECT_FALSE(s->unions[0].all);
    EXPECT_TRUE(s->unions[1].all);
    EXPECT_EQ(s->unions[1].select->from[0].table.name, "v");
    EXPECT_TRUE(s->unions[1].select->orderBy.empty());
    ASSERT_EQ(s->orderBy.size(), 3u);
    EXPECT_EQ(s->orderBy[0].expr->kind, Expr::Kind::Integer);
    const std::vector<bool> desc = {true, false, false};
    for (std::size_t i = 0; i < desc.size(); ++i) {
        EXPECT_EQ(s->orderBy[i].desc, desc[i]) << i;
    }
}

TEST(SqlParser, FromClauseJoinsAndNames) {
    ParseResult r = parseOk("select * from db.o.t1 a, db..t2 as b holdlock, #tmp "
                            "join t3 c on c.id = a.id inner join t4 on 1 = 1 "
                            "left outer join t5 e on e.x = 1 left join t6 on 1 = 1 "
                            "right join t7 on 2 = 2 cross join t8 "
                            "join (select id from t9) d on d.id = a.id");
    const Select* s = onlySelect(r);
    ASSERT_NE(s, nullptr);
    const std::vector<TableRef>& f = s->from;
    ASSERT_EQ(f.size(), 10u);
    using J = TableRef::Join;
    // join, table, alias; "left" after t6's "on" clause is not an alias.
    const std::vector<std::tuple<J, std::string, std::string>> want = {
        {J::First, "db.o.t1", "a"}, {J::Comma, "db..t2", "b"}, {J::Comma, "..#tmp", ""},
        {J::Inner, "..t3", "c"},    {J::Inner, "..t4", ""},    {J::Left, "..t5", "e"},
        {J::Left, "..t6", ""},      {J::Right, "..t7", ""},    {J::Cross, "..t8", ""},
        {J::Inner, "..", "d"}};
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(std::tuple(f[i].join, qualified(f[i].table), f[i].alias), want[i]) << i;
    }
    EXPECT_EQ(show(f[3].on.get()), "(c.id = a.id)");
    EXPECT_FALSE(f[8].on);
    ASSERT_TRUE(f[9].derived);
}

TEST(SqlParser, OldStyleOuterJoins) {
    EXPECT_EQ(cond("a.x *= b.x and b.y =* c.y"), "((a.x *= b.x) and (b.y =* c.y))");
    EXPECT_EQ(cond("a.x*=b.x"), "(a.x *= b.x)");
}

TEST(SqlParser, StatementSeparation) {
    ParseResult r = parseOk("select 1 select 2; select 3;;\n select 4");
    ASSERT_EQ(r.stmts.size(), 4u);
    for (const StmtPtr& s : r.stmts) {
        EXPECT_EQ(s->kind, Stmt::Kind::Select);
    }
    EXPECT_EQ(r.stmts[3]->line, 2);
    EXPECT_TRUE(parseOk("").stmts.empty());
    EXPECT_TRUE(parseOk("  -- only a comment\n /* and another */ ; ").stmts.empty());
}

TEST(SqlParser, DataModification) {
    ParseResult r = parseOk("insert into t (a, [b c]) values (1, 'x')\n"
                            "insert t select * from u\n"
                            "insert t (a) select 1\n"
                            "update db..t set a = a + 1, t.b = null, @v = c from t, u "
                            "where t.id = u.id\n"
                            "delete from t where a = 1\n"
                            "delete t from t, u where t.id = u.id\n"
                            "delete t\n"
                            "truncate table o.t");
    ASSERT_EQ(r.stmts.size(), 8u);
    const Stmt& ins = *r.stmts[0];
    EXPECT_EQ(ins.kind, Stmt::Kind::Insert);
    EXPECT_EQ(ins.table.name, "t");
    EXPECT_EQ(ins.columns, (std::vector<std::string>{"a", "b c"}));
    ASSERT_EQ(ins.values.size(), 1u);
    ASSERT_EQ(ins.values[0].size(), 2u);
    EXPECT_EQ(show(ins.values[0][1].get()), "'x'");
    EXPECT_FALSE(ins.select);
    ASSERT_TRUE(r.stmts[1]->select);
    EXPECT_TRUE(r.stmts[1]->columns.empty());
    ASSERT_TRUE(r.stmts[2]->select);
    EXPECT_EQ(r.stmts[2]->columns, (std::vector<std::string>{"a"}));

    const Stmt& up = *r.stmts[3];
    EXPECT_EQ(up.kind, Stmt::Kind::Update);
    EXPECT_EQ(up.table.db, "db");
    ASSERT_EQ(up.sets.size(), 3u);
    EXPECT_EQ(up.sets[0].first, "a");
    EXPECT_EQ(show(up.sets[0].second.get()), "(a + 1)");
    EXPECT_EQ(up.sets[1].first, "b");
    EXPECT_EQ(up.sets[2].first, "@v");
    EXPECT_EQ(up.from.size(), 2u);
    EXPECT_EQ(show(up.where.get()), "(t.id = u.id)");

    EXPECT_EQ(r.stmts[4]->kind, Stmt::Kind::Delete);
    EXPECT_TRUE(r.stmts[4]->from.empty());
    EXPECT_EQ(show(r.stmts[4]->where.get()), "(a = 1)");
    EXPECT_EQ(r.stmts[5]->from.size(), 2u);
    EXPECT_FALSE(r.stmts[6]->where);
    EXPECT_EQ(r.stmts[7]->kind, Stmt::Kind::Truncate);
    EXPECT_EQ(qualified(r.stmts[7]->table), ".o.t");
}

TEST(SqlParser, CreateTable) {
    ParseResult r = parseOk("create table #t (\n"
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
                            ") lock datarows");
    const Stmt* sp = only(r);
    ASSERT_NE(sp, nullptr);
    const Stmt& s = *sp;
    EXPECT_EQ(s.kind, Stmt::Kind::CreateTable);
    EXPECT_EQ(s.table.name, "#t");
    ASSERT_EQ(s.columnDefs.size(), 7u);
    const ColumnDef& id = s.columnDefs[0];
    EXPECT_EQ(id.type.name, "numeric");
    EXPECT_EQ(id.type.arg1, 10);
    EXPECT_EQ(id.type.arg2, 0);
    EXPECT_TRUE(id.identity);
    EXPECT_TRUE(id.primaryKey); // from the table constraint
    const ColumnDef& name = s.columnDefs[1];
    EXPECT_EQ(name.type.name, "varchar");
    EXPECT_EQ(name.type.arg1, 30);
    EXPECT_EQ(name.type.arg2, -1);
    EXPECT_EQ(name.nullability, -1);
    EXPECT_EQ(show(name.defaultValue.get()), "'x'");
    EXPECT_TRUE(name.unique);
    EXPECT_TRUE(name.primaryKey);
    EXPECT_EQ(s.columnDefs[2].nullability, 1);
    EXPECT_TRUE(s.columnDefs[2].unique); // single-column table constraint
    EXPECT_FALSE(s.columnDefs[2].primaryKey);
    EXPECT_EQ(s.columnDefs[3].nullability, -1);
    EXPECT_EQ(show(s.columnDefs[3].defaultValue.get()), "getdate()");
    EXPECT_EQ(s.columnDefs[4].type.name, "double precision");
    EXPECT_FALSE(s.columnDefs[4].unique); // two-column unique marks neither column
    EXPECT_TRUE(s.columnDefs[5].primaryKey);
    EXPECT_EQ(s.columnDefs[6].nullability, 0);
    EXPECT_EQ(show(s.columnDefs[6].defaultValue.get()), "(- 1)");
}

TEST(SqlParser, CreateProcedure) {
    const std::string text = "create PROC dbo.p1 (@a int, @b varchar(10) = 'x', @c money = -1 "
                             "output, @d int out)\n"
                             "with recompile as\n"
                             "  select @a   -- keep this comment\n"
                             "  return 1";
    ParseResult r = parseOk("  " + text + "\n\n  ");
    const Stmt* sp = only(r);
    ASSERT_NE(sp, nullptr);
    const Stmt& s = *sp;
    EXPECT_EQ(s.kind, Stmt::Kind::CreateProcedure);
    EXPECT_EQ(s.line, 1);
    EXPECT_EQ(s.table.owner, "dbo");
    EXPECT_EQ(s.table.name, "p1");
    ASSERT_EQ(s.params.size(), 4u);
    EXPECT_EQ(s.params[0].name, "@a");
    EXPECT_EQ(s.params[0].type.name, "int");
    EXPECT_FALSE(s.params[0].defaultValue);
    EXPECT_EQ(s.params[1].type.arg1, 10);
    EXPECT_EQ(show(s.params[1].defaultValue.get()), "'x'");
    EXPECT_EQ(show(s.params[2].defaultValue.get()), "(- 1)");
    EXPECT_TRUE(s.params[2].output);
    EXPECT_TRUE(s.params[3].output);
    EXPECT_FALSE(s.params[1].output);
    ASSERT_EQ(s.body.size(), 2u);
    EXPECT_EQ(s.body[0]->kind, Stmt::Kind::Select);
    EXPECT_EQ(s.body[0]->line, 3);
    EXPECT_EQ(s.body[1]->kind, Stmt::Kind::Return);
    EXPECT_EQ(s.sourceText, text);

    // Without parentheses, and with the body running to the end of the batch.
    ParseResult r2 = parseOk("create procedure p @x int as if @x > 0 begin print 'pos' end "
                             "else print 'neg' select 2");
    ASSERT_EQ(r2.stmts.size(), 1u);
    EXPECT_EQ(r2.stmts[0]->params.size(), 1u);
    EXPECT_EQ(r2.stmts[0]->body.size(), 2u);

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
    const Stmt& v = *r.stmts[0];
    EXPECT_EQ(v.kind, Stmt::Kind::CreateView);
    EXPECT_EQ(v.line, 2);
    EXPECT_EQ(v.table.owner, "dbo");
    EXPECT_EQ(v.table.name, "v_sales");
    EXPECT_EQ(v.columns, (std::vector<std::string>{"id", "total"}));
    ASSERT_TRUE(v.select);
    EXPECT_EQ(v.select->from[0].table.name, "sales");
    ASSERT_EQ(v.select->unions.size(), 1u);
    EXPECT_TRUE(v.select->unions[0].all);
    EXPECT_EQ(v.sourceText, view);
    EXPECT_EQ(r.stmts[1]->kind, Stmt::Kind::Select);
    EXPECT_EQ(r.stmts[1]->line, 6);

    // No column list; "with check option" belongs to the view's text.
    ParseResult r2 = parseOk("create view v as select a from t where a > 0 with check option;"
                             "insert t values (1)");
    ASSERT_EQ(r2.stmts.size(), 2u);
    EXPECT_TRUE(r2.stmts[0]->columns.empty());
    EXPECT_EQ(r2.stmts[0]->table.owner, "");
    EXPECT_EQ(show(r2.stmts[0]->select->where.get()), "(a > 0)");
    EXPECT_EQ(r2.stmts[0]->sourceText,
              "create view v as select a from t where a > 0 with check option");
    EXPECT_EQ(r2.stmts[1]->kind, Stmt::Kind::Insert);
}

TEST(SqlParser, CreateTrigger) {
    const std::string text = "create trigger dbo.trg_t on dbo.t for insert, UPDATE as\n"
                             "if update(a) or update(b)\n"
                             "begin rollback tran return end\n"
                             "select * from inserted -- last line";
    ParseResult r = parseOk(" " + text + "\n \n");
    const Stmt* sp = only(r);
    ASSERT_NE(sp, nullptr);
    const Stmt& t = *sp;
    EXPECT_EQ(t.kind, Stmt::Kind::CreateTrigger);
    EXPECT_EQ(qualified(t.table), ".dbo.trg_t");
    ASSERT_EQ(t.names.size(), 1u);
    EXPECT_EQ(qualified(t.names[0]), ".dbo.t");
    EXPECT_EQ(t.columns, (std::vector<std::string>{"insert", "update"}));
    // The body is the rest of the batch.
    ASSERT_EQ(t.body.size(), 2u);
    EXPECT_EQ(t.body[0]->kind, Stmt::Kind::If);
    EXPECT_EQ(show(t.body[0]->args[0].get()), "(update(a) or update(b))");
    EXPECT_EQ(t.body[0]->body[0]->body.size(), 2u);
    EXPECT_EQ(t.body[1]->kind, Stmt::Kind::Select);
    EXPECT_EQ(t.body[1]->line, 4);
    EXPECT_EQ(t.sourceText, text);

    ParseResult r2 = parseOk("create trigger tr on t for delete as delete u from u, deleted d "
                             "where u.id = d.id");
    ASSERT_EQ(r2.stmts.size(), 1u);
    EXPECT_EQ(r2.stmts[0]->columns, (std::vector<std::string>{"delete"}));
    EXPECT_EQ(r2.stmts[0]->names[0].owner, "");
    EXPECT_EQ(r2.stmts[0]->body.size(), 1u);
}

TEST(SqlParser, CreateIndex) {
    ParseResult r =
        parseOk("create unique clustered index ix1 on db.dbo.t (a desc, b asc, c)\n"
                "  with fillfactor = 80, ignore_dup_key, max_rows_per_page = 10, consumers = 2,\n"
                "  statistics using 20 values on seg1\n"
                "create nonclustered index ix2 on t (x)\n"
                "create index ix3 on db..t (y) with allow_dup_row, sorted_data on default\n"
                "create unique index ix4 on #t (z)\n"
                "select 1");
    ASSERT_EQ(r.stmts.size(), 5u);
    struct Want {
        std::string name, table;
        std::vector<std::string> columns;
        bool unique;
        int clustered;
        std::string segment;
        int line;
    };
    const std::vector<Want> want = {
        {"ix1", "db.dbo.t", {"a", "b", "c"}, true, 1, "seg1", 1},
        {"ix2", "..t", {"x"}, false, -1, "", 4},
        {"ix3", "db..t", {"y"}, false, 0, "default", 5},
        {"ix4", "..#t", {"z"}, true, 0, "", 6},
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        const Stmt& s = *r.stmts[i];
        EXPECT_EQ(s.kind, Stmt::Kind::CreateIndex) << i;
        EXPECT_EQ(s.name, want[i].name) << i;
        EXPECT_EQ(qualified(s.table), want[i].table) << i;
        EXPECT_EQ(s.columns, want[i].columns) << i;
        EXPECT_EQ(s.unique, want[i].unique) << i;
        EXPECT_EQ(s.clustered, want[i].clustered) << i;
        EXPECT_EQ(s.segment, want[i].segment) << i;
        EXPECT_EQ(s.line, want[i].line) << i;
    }
    EXPECT_EQ(r.stmts[4]->kind, Stmt::Kind::Select);
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
    struct Want {
        Stmt::Kind kind;
        std::string name, value;
    };
    using K = Stmt::Kind;
    const std::vector<Want> want = {
        {K::CreateRule, ".dbo.r_range", "(@v between 1 and 10)"},
        {K::CreateRule, "..r_list", "(@c in ['a', 'b'])"},
        {K::CreateRule, "..r_pat", "((@p like 'A%') or (@p is null))"},
        {K::CreateDefault, "..d_zero", "0"},
        {K::CreateDefault, ".dbo.d_text", "'N/A'"},
        {K::CreateDefault, "..d_now", "getdate()"},
        {K::CreateDefault, "..d_neg", "((- 1) * 5)"},
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        const Stmt& s = *r.stmts[i];
        EXPECT_EQ(s.kind, want[i].kind) << i;
        EXPECT_EQ(qualified(s.table), want[i].name) << i;
        ASSERT_EQ(s.args.size(), 1u) << i;
        EXPECT_EQ(show(s.args[0].get()), want[i].value) << i;
        EXPECT_EQ(s.sourceText, texts[i]) << i;
        EXPECT_EQ(s.line, static_cast<int>(i) + 1) << i;
    }
    EXPECT_EQ(r.stmts.back()->kind, Stmt::Kind::Select);
}

TEST(SqlParser, CreateDatabase) {
    ParseResult r = parseOk("create database sales\n"
                            "create database big on dev1 = 100, default = '50M'\n"
                            "  log on logdev = 20 with override for load\n"
                            "create database d2 log on l1\n"
                            "create database d3 on default\n"
                            "use big");
    ASSERT_EQ(r.stmts.size(), 5u);
    const std::vector<std::string> names = {"sales", "big", "d2", "d3"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(r.stmts[i]->kind, Stmt::Kind::CreateDatabase) << i;
        EXPECT_EQ(r.stmts[i]->name, names[i]) << i;
    }
    EXPECT_EQ(r.stmts[4]->kind, Stmt::Kind::Use);
    EXPECT_EQ(r.stmts[4]->name, "big");
}

TEST(SqlParser, GrantAndRevoke) {
    ParseResult r =
        parseOk("grant select, insert, UPDATE, delete, references on dbo.t to u1, grp, public\n"
                "grant update (a, b) on t to u1\n"
                "grant select on db..t (c) to PUBLIC with grant option\n"
                "grant all privileges on t to u2\n"
                "grant execute on p to u3\n"
                "grant all to u4\n"
                "grant create table, create view, create procedure, create default, create rule,\n"
                "  create database to dbo_user\n"
                "revoke grant option for select on t from u1 cascade\n"
                "revoke all on t from public\n"
                "revoke update (a) on t from u1\n"
                "revoke create table from u2, u3\n"
                "select 1");
    using K = Stmt::Kind;
    using V = std::vector<std::string>;
    // The object as db.owner.name, empty for a command permission.
    struct Want {
        K kind;
        V privileges;
        std::string object;
        V columns, grantees;
    };
    const std::vector<Want> want = {
        {K::Grant,
         {"select", "insert", "update", "delete", "references"},
         ".dbo.t",
         {},
         {"u1", "grp", "public"}},
        {K::Grant, {"update"}, "..t", {"a", "b"}, {"u1"}},
        {K::Grant, {"select"}, "db..t", {"c"}, {"public"}},
        {K::Grant, {"all"}, "..t", {}, {"u2"}},
        {K::Grant, {"execute"}, "..p", {}, {"u3"}},
        {K::Grant, {"all"}, "", {}, {"u4"}},
        {K::Grant,
         {"create table", "create view", "create procedure", "create default", "create rule",
          "create database"},
         "",
         {},
         {"dbo_user"}},
        {K::Revoke, {"select"}, "..t", {}, {"u1"}},
        {K::Revoke, {"all"}, "..t", {}, {"public"}},
        {K::Revoke, {"update"}, "..t", {"a"}, {"u1"}},
        {K::Revoke, {"create table"}, "", {}, {"u2", "u3"}},
    };
    ASSERT_EQ(r.stmts.size(), want.size() + 1);
    for (std::size_t i = 0; i < want.size(); ++i) {
        const Stmt& s = *r.stmts[i];
        EXPECT_EQ(s.kind, want[i].kind) << i;
        EXPECT_EQ(s.privileges, want[i].privileges) << i;
        V objects;
        for (const ObjectName& n : s.names) {
            objects.push_back(qualified(n));
        }
        EXPECT_EQ(objects, want[i].object.empty() ? V{} : V{want[i].object}) << i;
        EXPECT_EQ(s.columns, want[i].columns) << i;
        EXPECT_EQ(s.grantees, want[i].grantees) << i;
    }
    EXPECT_EQ(r.stmts[7]->line, 9);
    EXPECT_EQ(r.stmts.back()->kind, K::Select);
}

TEST(SqlParser, DropOtherObjects) {
    ParseResult r = parseOk("drop trigger trg1, dbo.trg2\n"
                            "drop rule r1\n"
                            "drop default dbo.d1, d2\n"
                            "drop view v1, o.v2, v3\n"
                            "drop index t.ix1, o.t.ix2\n"
                            "drop database db1");
    ASSERT_EQ(r.stmts.size(), 6u);
    using V = std::vector<std::string>;
    const std::vector<std::pair<std::string, V>> want = {
        {"trigger", {"..trg1", ".dbo.trg2"}}, {"rule", {"..r1"}},
        {"default", {".dbo.d1", "..d2"}},     {"view", {"..v1", ".o.v2", "..v3"}},
        {"index", {".t.ix1", "o.t.ix2"}},     {"database", {"..db1"}},
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        const Stmt& s = *r.stmts[i];
        EXPECT_EQ(s.kind, Stmt::Kind::Drop) << i;
        EXPECT_EQ(s.name, want[i].first) << i;
        V got;
        for (const ObjectName& n : s.names) {
            got.push_back(qualified(n));
        }
        EXPECT_EQ(got, want[i].second) << i;
    }
}

TEST(SqlParser, DropUseAndSet) {
    ParseResult r = parseOk("drop table t1, db..t2\n"
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
                            "set datefirst 7");
    ASSERT_EQ(r.stmts.size(), 14u);
    const Stmt& d1 = *r.stmts[0];
    EXPECT_EQ(d1.kind, Stmt::Kind::Drop);
    EXPECT_EQ(d1.name, "table");
    ASSERT_EQ(d1.names.size(), 2u);
    EXPECT_EQ(qualified(d1.names[1]), "db..t2");
    EXPECT_EQ(r.stmts[1]->name, "procedure");
    EXPECT_EQ(r.stmts[2]->name, "index");
    EXPECT_EQ(qualified(r.stmts[2]->names[0]), ".t.ix");
    EXPECT_EQ(r.stmts[3]->kind, Stmt::Kind::Use);
    EXPECT_EQ(r.stmts[3]->name, "my db");
    EXPECT_EQ(r.stmts[4]->name, "other");

    struct Want {
        Stmt::Kind kind;
        std::string name;
        bool on;
        std::string value;
    };
    const std::vector<Want> want = {
        {Stmt::Kind::SetOption, "nocount", true, ""},
        {Stmt::Kind::SetOption, "statistics io", false, ""},
        {Stmt::Kind::SetOption, "arithabort arith_overflow", true, ""},
        {Stmt::Kind::SetValue, "rowcount", false, "10"},
        {Stmt::Kind::SetValue, "textsize", false, "@n"},
        {Stmt::Kind::SetValue, "transaction isolation level", false, "3"},
        {Stmt::Kind::SetValue, "transaction isolation level", false, "0"},
        {Stmt::Kind::SetValue, "dateformat", false, "'mdy'"},
        {Stmt::Kind::SetValue, "datefirst", false, "7"},
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        const Stmt& s = *r.stmts[5 + i];
        EXPECT_EQ(s.kind, want[i].kind) << i;
        EXPECT_EQ(s.name, want[i].name) << i;
        EXPECT_EQ(s.on, want[i].on) << i;
        if (want[i].kind == Stmt::Kind::SetValue) {
            ASSERT_EQ(s.args.size(), 1u) << i;
            EXPECT_EQ(show(s.args[0].get()), want[i].value) << i;
        }
    }
}

TEST(SqlParser, ControlFlowAndMessages) {
    ParseResult r = parseOk("declare @a int, @b varchar(20)\n"
                            "if @a = 1 print 'one' else begin print 'other %1!', @a end\n"
                            "while @a < 10 begin select @a = @a + 1 if @a = 5 break continue end\n"
                            "raiserror 20001 'bad %1!', @a\n"
                            "raiserror @err\n"
                            "waitfor delay '00:00:01'\n"
                            "return\n"
                            "return @a + 1\n"
                            "kill 12");
    ASSERT_EQ(r.stmts.size(), 9u);
    const Stmt& decl = *r.stmts[0];
    EXPECT_EQ(decl.kind, Stmt::Kind::Declare);
    ASSERT_EQ(decl.decls.size(), 2u);
    EXPECT_EQ(decl.decls[1].name, "@b");
    EXPECT_EQ(decl.decls[1].type.name, "varchar");
    EXPECT_EQ(decl.decls[1].type.arg1, 20);

    const Stmt& ifs = *r.stmts[1];
    EXPECT_EQ(ifs.kind, Stmt::Kind::If);
    EXPECT_EQ(ifs.line, 2);
    EXPECT_EQ(show(ifs.args[0].get()), "(@a = 1)");
    ASSERT_EQ(ifs.body.size(), 2u);
    EXPECT_EQ(ifs.body[0]->kind, Stmt::Kind::Print);
    EXPECT_EQ(ifs.body[1]->kind, Stmt::Kind::Block);
    ASSERT_EQ(ifs.body[1]->body.size(), 1u);
    EXPECT_EQ(ifs.body[1]->body[0]->args.size(), 2u);

    const Stmt& wh = *r.stmts[2];
    EXPECT_EQ(wh.kind, Stmt::Kind::While);
    ASSERT_EQ(wh.body.size(), 1u);
    const Stmt& loop = *wh.body[0];
    ASSERT_EQ(loop.body.size(), 3u);
    EXPECT_EQ(loop.body[0]->select->items[0].assignVar, "@a");
    EXPECT_EQ(loop.body[1]->kind, Stmt::Kind::If);
    EXPECT_EQ(loop.body[1]->body[0]->kind, Stmt::Kind::Break);
    EXPECT_EQ(loop.body[2]->kind, Stmt::Kind::Continue);

    const Stmt& re = *r.stmts[3];
    EXPECT_EQ(re.kind, Stmt::Kind::Raiserror);
    ASSERT_EQ(re.args.size(), 3u);
    EXPECT_EQ(show(re.args[0].get()), "20001");
    EXPECT_EQ(show(re.args[1].get()), "'bad %1!'");
    EXPECT_EQ(r.stmts[4]->args.size(), 1u);
    EXPECT_EQ(r.stmts[5]->name, "delay");
    EXPECT_TRUE(r.stmts[6]->args.empty());
    EXPECT_EQ(show(r.stmts[7]->args[0].get()), "(@a + 1)");
    EXPECT_EQ(r.stmts[8]->kind, Stmt::Kind::Kill);
}

TEST(SqlParser, Transactions) {
    ParseResult r = parseOk("begin tran\nbegin transaction t1\nsave tran sp1\n"
                            "rollback tran sp1\ncommit\ncommit work\nrollback transaction\n"
                            "commit tran t1");
    using K = Stmt::Kind;
    const std::vector<std::pair<K, std::string>> want = {
        {K::BeginTran, ""},  {K::BeginTran, "t1"}, {K::SaveTran, "sp1"},  {K::RollbackTran, "sp1"},
        {K::CommitTran, ""}, {K::CommitTran, ""},  {K::RollbackTran, ""}, {K::CommitTran, "t1"},
    };
    ASSERT_EQ(r.stmts.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(r.stmts[i]->kind, want[i].first) << i;
        EXPECT_EQ(r.stmts[i]->name, want[i].second) << i;
        EXPECT_EQ(r.stmts[i]->line, static_cast<int>(i) + 1);
    }
}

TEST(SqlParser, ExecAndImplicitExec) {
    ParseResult r = parseOk("exec @rc = db.dbo.p 1, 'two', @x = @y output, @z out, mytable, "
                            "@d = default, -5\n"
                            "execute sp_who\n"
                            "exec p2");
    ASSERT_EQ(r.stmts.size(), 3u);
    const Stmt& e = *r.stmts[0];
    EXPECT_EQ(e.kind, Stmt::Kind::Exec);
    EXPECT_EQ(e.returnVar, "@rc");
    EXPECT_EQ(qualified(e.table), "db.dbo.p");
    ASSERT_EQ(e.execArgs.size(), 7u);
    EXPECT_EQ(show(e.execArgs[0].value.get()), "1");
    EXPECT_EQ(show(e.execArgs[1].value.get()), "'two'");
    EXPECT_EQ(e.execArgs[2].name, "@x");
    EXPECT_EQ(show(e.execArgs[2].value.get()), "@y");
    EXPECT_TRUE(e.execArgs[2].output);
    EXPECT_EQ(e.execArgs[3].name, "");
    EXPECT_TRUE(e.execArgs[3].output);
    EXPECT_EQ(e.execArgs[4].value->kind, Expr::Kind::String); // bare word
    EXPECT_EQ(e.execArgs[4].value->text, "mytable");
    EXPECT_EQ(e.execArgs[5].name, "@d");
    EXPECT_FALSE(e.execArgs[5].value);
    EXPECT_EQ(show(e.execArgs[6].value.get()), "(- 5)");
    EXPECT_TRUE(r.stmts[1]->execArgs.empty());
    EXPECT_EQ(r.stmts[2]->table.name, "p2");

    // The first statement may omit "exec"; a later one may not.
    ParseResult implicit = parseOk("sp_help mytable select 1");
    ASSERT_EQ(implicit.stmts.size(), 2u);
    EXPECT_EQ(implicit.stmts[0]->kind, Stmt::Kind::Exec);
    EXPECT_EQ(implicit.stmts[0]->table.name, "sp_help");
    ASSERT_EQ(implicit.stmts[0]->execArgs.size(), 1u);
    EXPECT_EQ(implicit.stmts[0]->execArgs[0].value->text, "mytable");
    EXPECT_EQ(implicit.stmts[1]->kind, Stmt::Kind::Select);
    ParseResult two = parseOk("myproc 1, 2");
    ASSERT_EQ(two.stmts.size(), 1u);
    EXPECT_EQ(two.stmts[0]->execArgs.size(), 2u);
    ParseResult go = parseOk("go");
    ASSERT_EQ(go.stmts.size(), 1u);
    EXPECT_EQ(go.stmts[0]->kind, Stmt::Kind::Exec);
    EXPECT_EQ(go.stmts[0]->table.name, "go");
    // After a select item a bare word is a column alias, as in Sybase.
    EXPECT_EQ(onlySelect(parseOk("select 1 sp_who"))->items[0].alias, "sp_who");
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
