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

void expectError(const std::string& sql, int number, int line, const std::string& message) {
    ParseResult r = parseBatch(sql);
    EXPECT_FALSE(r.ok) << sql;
    EXPECT_TRUE(r.stmts.empty()) << sql;
    EXPECT_EQ(r.error.number, number) << sql;
    EXPECT_EQ(r.error.line, line) << sql;
    EXPECT_EQ(r.error.message, message) << sql;
}

} // namespace

TEST(SqlLexer, TokenKindsAndValues) {
    using sim::sql::TokenKind;
    auto lexed = sim::sql::tokenize(
        "Sel_1 #tmp [my col] 'it''s' \"say \"\"hi\"\"\" 42 12.5 .5 1e5 2.5E-3 $12.34 0x0A0b "
        "@v @@SPID <> != !< !> *= =* <= >= ~");
    ASSERT_TRUE(lexed.ok);
    struct Want {
        TokenKind kind;
        std::string text;
    };
    const std::vector<Want> want = {
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
        EXPECT_EQ(lexed.tokens[i].kind, want[i].kind) << i;
        EXPECT_EQ(lexed.tokens[i].text, want[i].text) << i;
    }
    EXPECT_EQ(lexed.tokens[0].lower, "sel_1");
}

TEST(SqlLexer, CommentsAndLineNumbers) {
    auto lexed =
        sim::sql::tokenize("a -- b c\n/* x /* nested\n */ still comment\n*/ d\n'two\nlines' e");
    ASSERT_TRUE(lexed.ok);
    ASSERT_EQ(lexed.tokens.size(), 5u);
    EXPECT_EQ(lexed.tokens[0].text, "a");
    EXPECT_EQ(lexed.tokens[0].line, 1);
    EXPECT_EQ(lexed.tokens[1].text, "d");
    EXPECT_EQ(lexed.tokens[1].line, 4);
    EXPECT_EQ(lexed.tokens[2].text, "two\nlines");
    EXPECT_EQ(lexed.tokens[2].line, 5);
    EXPECT_EQ(lexed.tokens[3].text, "e");
    EXPECT_EQ(lexed.tokens[3].line, 6);
}

TEST(SqlLexer, ReservedWords) {
    EXPECT_TRUE(sim::sql::isReservedWord("select"));
    EXPECT_TRUE(sim::sql::isReservedWord("add"));       // first of the table
    EXPECT_TRUE(sim::sql::isReservedWord("writetext")); // last of the table
    EXPECT_TRUE(sim::sql::isReservedWord("identity"));
    EXPECT_FALSE(sim::sql::isReservedWord("left"));
    EXPECT_FALSE(sim::sql::isReservedWord("go"));
    EXPECT_FALSE(sim::sql::isReservedWord("sp_who"));
    EXPECT_FALSE(sim::sql::isReservedWord("SELECT")); // callers pass lower case
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
    const Select* sp = onlySelect(r);
    ASSERT_NE(sp, nullptr);
    const Select& s = *sp;
    std::vector<std::string> got;
    for (const SelectItem& item : s.items) {
        got.push_back(show(item.expr.get()));
    }
    const std::vector<std::string> want = {
        "null", "12",     "12.50", "1e5", "money:12.34", "'o'k'",    "'d\"q'",  "0x0102",
        "@Var", "@@spid", "a",     "t.a", "o.t.a",       "db.o.t.a", "db..t.a",
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(s.items[3].expr->kind, Expr::Kind::Float);
    EXPECT_EQ(s.items[2].expr->kind, Expr::Kind::Decimal);
    EXPECT_EQ(s.items[14].expr->qualifiers, (std::vector<std::string>{"db", "", "t"}));
}

TEST(SqlParser, FunctionsCaseAndSubqueries) {
    ParseResult r = parseOk(
        "select COUNT(*), count(distinct x), Max(a + 1), getdate(), convert(varchar(30), d, 103),"
        " convert(numeric(10,2), 5), cast(a as int), user, substring(s, 1, 2),"
        " case a when 1 then 'one' when 2 then 'two' else 'many' end,"
        " case when a > 0 then 1 end, (select max(b) from t)");
    const Select* sp = onlySelect(r);
    ASSERT_NE(sp, nullptr);
    const Select& s = *sp;
    ASSERT_EQ(s.items.size(), 12u);
    std::vector<std::string> got;
    for (const SelectItem& item : s.items) {
        got.push_back(show(item.expr.get()));
    }
    const std::vector<std::string> want = {
        "count(*)",
        "count(distinct x)",
        "max((a + 1))",
        "getdate()",
        "convert(type:varchar, d, 103)",
        "convert(type:numeric, 5)",
        "convert(type:int, a)",
        "user()",
        "substring(s, 1, 2)",
        "case(a; 1, 'one', 2, 'two'; 'many')",
        "case(<null>; (a > 0), 1; <null>)",
        "subquery",
    };
    EXPECT_EQ(got, want);
    EXPECT_EQ(s.items[0].expr->args[0]->kind, Expr::Kind::Star);
    EXPECT_EQ(s.items[4].expr->type.arg1, 30);
    EXPECT_EQ(s.items[5].expr->type.arg1, 10);
    EXPECT_EQ(s.items[5].expr->type.arg2, 2);
    ASSERT_TRUE(s.items[11].expr->select);
    EXPECT_EQ(s.items[11].expr->select->from[0].table.name, "t");
}

TEST(SqlParser, SelectItemAliasForms) {
    ParseResult r = parseOk("select *, t.*, db..t.*, a, b c, d as e, f = g + 1, 'my col' = h, "
                            "i 'str alias', j as [br alias], @v = k, x.y z from t");
    const Select* sp = onlySelect(r);
    ASSERT_NE(sp, nullptr);
    const Select& s = *sp;
    ASSERT_EQ(s.items.size(), 12u);
    struct Want {
        std::string expr, alias, assignVar;
    };
    const std::vector<Want> want = {
        {"*", "", ""},          {"t.*", "", ""},       {"db..t.*", "", ""},  {"a", "", ""},
        {"b", "c", ""},         {"d", "e", ""},        {"(g + 1)", "f", ""}, {"h", "my col", ""},
        {"i", "str alias", ""}, {"j", "br alias", ""}, {"k", "", "@v"},      {"x.y", "z", ""},
    };
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(show(s.items[i].expr.get()), want[i].expr) << i;
        EXPECT_EQ(s.items[i].alias, want[i].alias) << i;
        EXPECT_EQ(s.items[i].assignVar, want[i].assignVar) << i;
    }
}

TEST(SqlParser, SelectClauses) {
    ParseResult r = parseOk("select distinct a, count(*) into #out from dbo.t where a > 1 "
                            "group by a, b having count(*) > 2 "
                            "union select x, 1 from u union all select y, 2 from v "
                            "order by 1 desc, a asc, b");
    const Select* sp = onlySelect(r);
    ASSERT_NE(sp, nullptr);
    const Select& s = *sp;
    EXPECT_TRUE(s.distinct);
    EXPECT_TRUE(s.hasInto);
    EXPECT_EQ(s.into.name, "#out");
    ASSERT_EQ(s.from.size(), 1u);
    EXPECT_EQ(s.from[0].table.owner, "dbo");
    EXPECT_EQ(s.from[0].table.name, "t");
    EXPECT_EQ(show(s.where.get()), "(a > 1)");
    ASSERT_EQ(s.groupBy.size(), 2u);
    EXPECT_EQ(show(s.having.get()), "(count(*) > 2)");
    ASSERT_EQ(s.unions.size(), 2u);
    EXPECT_FALSE(s.unions[0].all);
    EXPECT_TRUE(s.unions[1].all);
    EXPECT_EQ(s.unions[1].select->from[0].table.name, "v");
    EXPECT_TRUE(s.unions[1].select->orderBy.empty());
    ASSERT_EQ(s.orderBy.size(), 3u);
    EXPECT_EQ(s.orderBy[0].expr->kind, Expr::Kind::Integer);
    EXPECT_TRUE(s.orderBy[0].desc);
    EXPECT_FALSE(s.orderBy[1].desc);
    EXPECT_FALSE(s.orderBy[2].desc);
}

TEST(SqlParser, FromClauseJoinsAndNames) {
    ParseResult r = parseOk("select * from db.o.t1 a, db..t2 as b holdlock, #tmp "
                            "join t3 c on c.id = a.id inner join t4 on 1 = 1 "
                            "left outer join t5 e on e.x = 1 left join t6 on 1 = 1 "
                            "right join t7 on 2 = 2 cross join t8 "
                            "join (select id from t9) d on d.id = a.id");
    const Select* sp = onlySelect(r);
    ASSERT_NE(sp, nullptr);
    const std::vector<TableRef>& f = sp->from;
    ASSERT_EQ(f.size(), 10u);
    using J = TableRef::Join;
    const std::vector<J> joins = {J::First, J::Comma, J::Comma, J::Inner, J::Inner,
                                  J::Left,  J::Left,  J::Right, J::Cross, J::Inner};
    for (std::size_t i = 0; i < joins.size(); ++i) {
        EXPECT_EQ(f[i].join, joins[i]) << i;
    }
    EXPECT_EQ(f[0].table.db, "db");
    EXPECT_EQ(f[0].table.owner, "o");
    EXPECT_EQ(f[0].table.name, "t1");
    EXPECT_EQ(f[0].alias, "a");
    EXPECT_EQ(f[1].table.db, "db");
    EXPECT_EQ(f[1].table.owner, "");
    EXPECT_EQ(f[1].alias, "b");
    EXPECT_EQ(f[2].table.name, "#tmp");
    EXPECT_EQ(f[2].alias, "");
    EXPECT_EQ(show(f[3].on.get()), "(c.id = a.id)");
    EXPECT_EQ(f[5].alias, "e");
    EXPECT_EQ(f[6].alias, ""); // "left" after t6's "on" clause is not an alias
    EXPECT_EQ(f[8].table.name, "t8");
    EXPECT_FALSE(f[8].on);
    ASSERT_TRUE(f[9].derived);
    EXPECT_EQ(f[9].table.name, "");
    EXPECT_EQ(f[9].alias, "d");
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
    EXPECT_EQ(r.stmts[7]->table.owner, "o");
    EXPECT_EQ(r.stmts[7]->table.name, "t");
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
    EXPECT_EQ(d1.names[1].db, "db");
    EXPECT_EQ(d1.names[1].name, "t2");
    EXPECT_EQ(r.stmts[1]->name, "procedure");
    EXPECT_EQ(r.stmts[2]->name, "index");
    EXPECT_EQ(r.stmts[2]->names[0].owner, "t");
    EXPECT_EQ(r.stmts[2]->names[0].name, "ix");
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
    EXPECT_EQ(e.table.db, "db");
    EXPECT_EQ(e.table.owner, "dbo");
    EXPECT_EQ(e.table.name, "p");
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
    expectError("print 'x'\nsp_who", 102, 2, "Incorrect syntax near 'sp_who'.");
    // After a select item a bare word is a column alias, as in Sybase.
    EXPECT_EQ(onlySelect(parseOk("select 1 sp_who"))->items[0].alias, "sp_who");
}

TEST(SqlParser, ErrorMessages) {
    expectError("select * from", 102, 1, "Incorrect syntax near 'from'.");
    expectError("select a from t where", 102, 1, "Incorrect syntax near 'where'.");
    expectError("select 1\nselect a frm t", 102, 2, "Incorrect syntax near 't'.");
    expectError("select 1 +", 102, 1, "Incorrect syntax near '+'.");
    expectError("\n\nselect a, from t", 156, 3, "Incorrect syntax near the keyword 'from'.");
    expectError("select 1\n\nSELECT FROM t", 156, 3, "Incorrect syntax near the keyword 'FROM'.");
    expectError("insert t values (1,)", 102, 1, "Incorrect syntax near ')'.");
    expectError("select 'abc' 'def' 'x'", 102, 1, "Incorrect syntax near 'x'.");
    expectError("select 1 ?", 102, 1, "Incorrect syntax near '?'.");
    expectError("create view v as select 1", 156, 1, "Incorrect syntax near the keyword 'view'.");
    expectError("select 1\nselect 'abc", 105, 2,
                "Unclosed quote before the character string 'abc'.");
    expectError("select 1 /* open /* nested */", 113, 1, "Missing end comment mark '*/'.");
    // Names have at most four parts in a column and three in an object.
    expectError("select a.b.c.d.e from t", 102, 1, "Incorrect syntax near 'e'.");
    expectError("select * from a.b.c.d", 102, 1, "Incorrect syntax near 'd'.");
    expectError("select * from a....b", 102, 1, "Incorrect syntax near '.'.");
    expectError("select a.b.c.d.* from t", 102, 1, "Incorrect syntax near 'd'.");
    // The first error wins, even when the tokenizer would fail later on.
    expectError("select from\n'unclosed", 156, 1, "Incorrect syntax near the keyword 'from'.");
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
