// The parser on its own: tokens, expression shapes, where one statement ends and the next begins,
// Sybase's syntax error numbers and lines, and input no client sends. What the parsed statements
// do is seen end to end through the server by the workbench's own tests.

#include "sql_ast.h"
#include "sql_lexer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

using namespace sim::ast;

namespace {

std::string joined(const std::vector<std::string>& parts, const std::string& sep) {
    std::string s;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        s += (i ? sep : "") + parts[i];
    }
    return s;
}

// An expression fully parenthesised, so that tree shapes compare as text.
std::string show(const Expr* e) {
    if (!e) {
        return "<null>";
    }
    auto list = [](const std::vector<ExprPtr>& args, std::size_t from = 0) {
        std::vector<std::string> parts;
        for (std::size_t i = from; i < args.size(); ++i) {
            parts.push_back(show(args[i].get()));
        }
        return joined(parts, ", ");
    };
    std::string qualifiers;
    for (const std::string& q : e->qualifiers) {
        qualifiers += q + ".";
    }
    const std::string no = e->negated ? "not " : "";
    const auto arg = [e](std::size_t i) {
        return show(e->args[i].get());
    };
    switch (e->kind) {
    case Expr::Kind::Null:
        return "null";
    case Expr::Kind::Integer:
    case Expr::Kind::Hex:
    case Expr::Kind::Variable:
    case Expr::Kind::Global:
        return e->text;
    case Expr::Kind::Decimal:
        return "dec:" + e->text;
    case Expr::Kind::Float:
        return "float:" + e->text;
    case Expr::Kind::Money:
        return "money:" + e->text;
    case Expr::Kind::String:
        return "'" + e->text + "'";
    case Expr::Kind::Column:
        return qualifiers + e->text;
    case Expr::Kind::Star:
        return qualifiers + "*";
    case Expr::Kind::Unary:
        return "(" + e->text + " " + arg(0) + ")";
    case Expr::Kind::Binary:
        return "(" + arg(0) + " " + e->text + " " + arg(1) + ")";
    case Expr::Kind::Function:
        return e->text + "(" + (e->negated ? "distinct " : "") +
               (e->type.name.empty() ? ""
                                     : e->type.name + "/" + std::to_string(e->type.arg1) + "/" +
                                           std::to_string(e->type.arg2) + ", ") +
               list(e->args) + ")";
    case Expr::Kind::Case:
        return "case(" + show(e->operand.get()) + "; " + list(e->args) + "; " +
               show(e->elseExpr.get()) + ")";
    case Expr::Kind::Subquery:
        return "subquery";
    case Expr::Kind::Exists:
        return no + "exists";
    case Expr::Kind::InList:
        return "(" + arg(0) + " " + no + "in [" + list(e->args, 1) + "])";
    case Expr::Kind::InSelect:
        return "(" + arg(0) + " " + no + "in subquery)";
    case Expr::Kind::Between:
        return "(" + arg(0) + " " + no + "between " + arg(1) + " and " + arg(2) + ")";
    case Expr::Kind::Like:
        return "(" + arg(0) + " " + no + "like " + list(e->args, 1) + ")";
    case Expr::Kind::IsNull:
        return "(" + arg(0) + " is " + no + "null)";
    }
    return "?";
}

// A statement as its kind, the object it names, its line when not the first, and the statements
// of its body.
std::string outline(const Stmt& s) {
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
    const ObjectName& t = s.table;
    const std::string object =
        t.name.empty()
            ? s.name
            : (t.db.empty() && t.owner.empty() ? "" : t.db + "." + t.owner + ".") + t.name;
    std::vector<std::string> body;
    for (const StmtPtr& b : s.body) {
        body.push_back(outline(*b));
    }
    return kinds[static_cast<int>(s.kind)] + (object.empty() ? "" : " " + object) +
           (s.line == 1 ? "" : " @" + std::to_string(s.line)) +
           (body.empty() ? "" : " {" + joined(body, "; ") + "}");
}

} // namespace

TEST(SqlLexer, TokenKindsValuesAndLines) {
    using sim::sql::TokenKind;
    auto lexed = sim::sql::tokenize(
        "Sel_1 #tmp [my col] 'it''s' \"say \"\"hi\"\"\" 42 12.5 .5 1e5 2.5E-3 $12.34 0x0A0b "
        "@v @@SPID <> != !< !> *= =* <= >= ~ -- b c\n/* x /* nested\n */ still\n*/ d\n'two\nl' e");
    ASSERT_TRUE(lexed.ok);
    const std::vector<std::tuple<TokenKind, std::string, int>> want = {
        {TokenKind::Word, "Sel_1", 1},
        {TokenKind::Word, "#tmp", 1},
        {TokenKind::Delimited, "my col", 1},
        {TokenKind::String, "it's", 1},
        {TokenKind::String, "say \"hi\"", 1},
        {TokenKind::Integer, "42", 1},
        {TokenKind::Decimal, "12.5", 1},
        {TokenKind::Decimal, ".5", 1},
        {TokenKind::Float, "1e5", 1},
        {TokenKind::Float, "2.5E-3", 1},
        {TokenKind::Money, "12.34", 1},
        {TokenKind::Hex, "0x0A0b", 1},
        {TokenKind::Variable, "@v", 1},
        {TokenKind::Global, "@@SPID", 1},
        {TokenKind::Operator, "<>", 1},
        {TokenKind::Operator, "!=", 1},
        {TokenKind::Operator, "!<", 1},
        {TokenKind::Operator, "!>", 1},
        {TokenKind::Operator, "*=", 1},
        {TokenKind::Operator, "=*", 1},
        {TokenKind::Operator, "<=", 1},
        {TokenKind::Operator, ">=", 1},
        {TokenKind::Operator, "~", 1},
        {TokenKind::Word, "d", 4},
        {TokenKind::String, "two\nl", 5},
        {TokenKind::Word, "e", 6},
        {TokenKind::End, "", 6},
    };
    ASSERT_EQ(lexed.tokens.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(lexed.tokens[i].kind, std::get<0>(want[i])) << i;
        EXPECT_EQ(lexed.tokens[i].text, std::get<1>(want[i])) << i;
        EXPECT_EQ(lexed.tokens[i].line, std::get<2>(want[i])) << i;
    }
    EXPECT_EQ(lexed.tokens[0].lower, "sel_1");
    // "add" is the first of the table, "writetext" the last; callers pass lower case.
    for (const char* word : {"select", "add", "writetext", "identity"}) {
        EXPECT_TRUE(sim::sql::isReservedWord(word)) << word;
    }
    for (const char* word : {"left", "go", "sp_who", "SELECT"}) {
        EXPECT_FALSE(sim::sql::isReservedWord(word)) << word;
    }
}

// Each text is "select <items> where <condition>"; the items and the condition, rendered.
TEST(SqlParser, ExpressionShapes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1 where a + b * c = d and not e = 1 or f = 2",
         "((((a + (b * c)) = d) and (not (e = 1))) or (f = 2))"},
        {"1 where a = 1 or b = 2 and c = 3", "((a = 1) or ((b = 2) and (c = 3)))"},
        // Unary minus and ~ bind tighter than '*'; bitwise operators sit with + and -.
        {"1 where -a * b = ~c & d | e ^ f", "(((- a) * b) = ((((~ c) & d) | e) ^ f))"},
        {"1 where a - b - c = a / b % c", "(((a - b) - c) = ((a / b) % c))"},
        {"1 where (a + b) * c = 0", "(((a + b) * c) = 0)"},
        {"1 where not not a = 1", "(not (not (a = 1)))"},
        {"1 where a !< 1 and b !> 2 and c != 3 and d <> 4",
         "((((a !< 1) and (b !> 2)) and (c != 3)) and (d <> 4))"},
        {"1 where a between 1 and 2 and b not between x + 1 and 9",
         "((a between 1 and 2) and (b not between (x + 1) and 9))"},
        {"1 where a in (1, 'x', @v) or b not in (select c from t)",
         "((a in [1, 'x', @v]) or (b not in subquery))"},
        {"1 where name like 'a%' and n not like '[_]%' escape '\\'",
         "((name like 'a%') and (n not like '[_]%', '\\'))"},
        {"1 where a is null and b is not null", "((a is null) and (b is not null))"},
        {"1 where exists (select 1) and not exists (select 2 from t)", "(exists and not exists)"},
        {"1 where a.x *= b.x and b.y =* c.y and a.x*=b.x",
         "(((a.x *= b.x) and (b.y =* c.y)) and (a.x *= b.x))"},
        {"null, 12, 12.50, 1e5, $12.34, 'o''k', \"d\"\"q\", 0x0102, @Var, @@SPID, t.a, o.t.a, "
         "db.o.t.a, db..t.a, t.*",
         "null|12|dec:12.50|float:1e5|money:12.34|'o'k'|'d\"q'|0x0102|@Var|@@spid|t.a|o.t.a|"
         "db.o.t.a|db..t.a|t.*"},
        {"COUNT(*), count(distinct x), Max(a + 1), convert(varchar(30), d, 103), "
         "convert(numeric(10,2), 5), cast(a as int), user",
         "count(*)|count(distinct x)|max((a + 1))|convert(varchar/30/-1, d, 103)|"
         "convert(numeric/10/2, 5)|convert(int/-1/-1, a)|user()"},
        {"case a when 1 then 'one' else 'many' end, case when a > 0 then 1 end, (select 1)",
         "case(a; 1, 'one'; 'many')|case(<null>; (a > 0), 1; <null>)|subquery"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        const ParseResult r = parseBatch("select " + text);
        ASSERT_TRUE(r.ok) << r.error.message;
        ASSERT_EQ(r.stmts.size(), 1u);
        const Select& s = *r.stmts[0]->select;
        std::vector<std::string> items;
        for (const SelectItem& item : s.items) {
            items.push_back(show(item.expr.get()));
        }
        EXPECT_EQ(s.where ? show(s.where.get()) : joined(items, "|"), expected);
    }
    // "a = b = c" is not Transact-SQL.
    EXPECT_FALSE(parseBatch("select 1 where a = b = c").ok);
}

// A batch, the outline of every statement it parses into and, for a create statement first,
// the text the catalogue keeps of it.
TEST(SqlParser, StatementsEndWhereSybaseEndsThem) {
    struct Case {
        std::string sql;
        std::vector<std::string> outlines;
        std::string source = {};
    };
    const std::vector<Case> cases = {
        {"select 1 select 2; select 3;;\n select 4", {"select", "select", "select", "select @2"}},
        {"  -- only a comment\n /* and another */ ; ", {}},
        // The first statement may omit "exec"; after a select item a bare word is an alias.
        {"sp_help mytable select 1", {"exec sp_help", "select"}},
        {"myproc 1, 2", {"exec myproc"}},
        {"go", {"exec go"}},
        {"select 1 sp_who", {"select"}},
        {"exec @rc = db.dbo.p 1, @x = @y output, @d = default\nexecute sp_who",
         {"exec db.dbo.p", "exec sp_who @2"}},
        // A procedure's and a trigger's body run to the end of the batch.
        {" create PROC dbo.p1 (@a int, @b varchar(10) = 'x', @c money = -1 output)\n"
         "with recompile as\n  select @a   -- keep this comment\n  return 1\n\n  ",
         {"create proc .dbo.p1 {select @3; return @4}"},
         "create PROC dbo.p1 (@a int, @b varchar(10) = 'x', @c money = -1 output)\n"
         "with recompile as\n  select @a   -- keep this comment\n  return 1"},
        {"create procedure p @x int as if @x > 0 begin print 'pos' end else print 'neg' select 2",
         {"create proc p {if {block {print}; print}; select}"},
         "create procedure p @x int as if @x > 0 begin print 'pos' end else print 'neg' select 2"},
        {" create trigger dbo.trg_t on dbo.t for insert, UPDATE as\nif update(a)\n"
         "begin rollback tran return end\nselect * from inserted -- last\n \n",
         {"create trigger .dbo.trg_t {if @2 {block @3 {rollback tran @3; return @3}}; select @4}"},
         "create trigger dbo.trg_t on dbo.t for insert, UPDATE as\nif update(a)\n"
         "begin rollback tran return end\nselect * from inserted -- last"},
        // A view ends with its select; "with check option" belongs to it.
        {"\ncreate view dbo.v (id, total) as\n  select s.id, sum(s.a) -- per id\n  from s group by "
         "s.id\n  union all select 0, 0  \n  select 1",
         {"create view .dbo.v @2", "select @6"},
         "create view dbo.v (id, total) as\n  select s.id, sum(s.a) -- per id\n  from s group by "
         "s.id\n  union all select 0, 0"},
        {"create view v as select a from t where a > 0 with check option;insert t values (1)",
         {"create view v", "insert t"},
         "create view v as select a from t where a > 0 with check option"},
        {"create rule dbo.r_range as @v between 1 and 10  -- note\ncreate default d as -1 * 5\n"
         "create default d_now as getdate() select 1",
         {"create rule .dbo.r_range", "create default d @2", "create default d_now @3",
          "select @3"},
         "create rule dbo.r_range as @v between 1 and 10"},
        {"create unique clustered index ix1 on db.dbo.t (a desc, b asc, c)\n  with fillfactor = "
         "80, ignore_dup_key, max_rows_per_page = 10, consumers = 2,\n  statistics using 20 "
         "values on seg1\ncreate index ix3 on db..t (y) with allow_dup_row, sorted_data on "
         "default\nselect 1",
         {"create index db.dbo.t", "create index db..t @4", "select @5"}},
        {"create database big on dev1 = 100, default = '50M'\n  log on logdev = 20 with "
         "override for load\ncreate database d2 log on l1\nuse [my db]",
         {"create database big", "create database d2 @3", "use my db @4"}},
        {"grant select on db..t (c) to PUBLIC with grant option\ngrant create table, create "
         "view,\n  create database to u\nrevoke grant option for select on t from u1 cascade\n"
         "revoke all on t from public",
         {"grant", "grant @2", "revoke @4", "revoke @5"}},
        {"drop index t.ix1, o.t.ix2\ndrop default dbo.d1, d2\nset arithabort arith_overflow on\n"
         "set transaction isolation level read uncommitted\nset dateformat mdy",
         {"drop index", "drop default @2", "set option arithabort arith_overflow @3",
          "set value transaction isolation level @4", "set value dateformat @5"}},
        {"declare @a int\nwhile @a < 10 begin select @a = @a + 1 if @a = 5 break continue end\n"
         "raiserror 20001 'bad %1!', @a\nwaitfor delay '00:00:01'\nbegin transaction t1\n"
         "save tran sp1\nrollback tran sp1\ncommit work\nkill 12",
         {"declare", "while @2 {block @2 {select @2; if @2 {break @2}; continue @2}}",
          "raiserror @3", "waitfor delay @4", "begin tran t1 @5", "save tran sp1 @6",
          "rollback tran sp1 @7", "commit tran @8", "kill @9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const ParseResult r = parseBatch(c.sql);
        ASSERT_TRUE(r.ok) << r.error.line << ": " << r.error.message;
        std::vector<std::string> got;
        for (const StmtPtr& s : r.stmts) {
            got.push_back(outline(*s));
        }
        EXPECT_EQ(got, c.outlines);
        if (!c.source.empty()) {
            EXPECT_EQ(r.stmts.at(0)->sourceText, c.source);
        }
    }
}

TEST(SqlParser, ErrorMessages) {
    struct Case {
        std::string sql;
        int line;
        int number;
        std::string near; // the token; "keyword" errors are 156, others 102
    };
    const std::vector<Case> cases = {
        {"select * from", 1, 102, "from"},
        {"select a from t where", 1, 102, "where"},
        {"select 1\nselect a frm t", 2, 102, "t"},
        {"select 1 +", 1, 102, "+"},
        {"\n\nselect a, from t", 3, 156, "from"},
        {"select 1\n\nSELECT FROM t", 3, 156, "FROM"},
        {"insert t values (1,)", 1, 102, ")"},
        {"select 'abc' 'def' 'x'", 1, 102, "x"},
        {"select 1 ?", 1, 102, "?"},
        {"create schema authorization dbo", 1, 156, "schema"},
        // Names have at most four parts in a column and three in an object.
        {"select a.b.c.d.e from t", 1, 102, "e"},
        {"select * from a.b.c.d", 1, 102, "d"},
        {"select * from a....b", 1, 102, "."},
        {"select a.b.c.d.* from t", 1, 102, "d"},
        // The first error wins, even when the tokenizer would fail later on.
        {"select from\n'unclosed", 1, 156, "from"},
        // After the first statement a procedure call needs "exec".
        {"print 'x'\nsp_who", 2, 102, "sp_who"},
        // Statements simserver has no use for stay syntax errors.
        {"checkpoint", 1, 156, "checkpoint"},
        {"dbcc checkdb(master)", 1, 156, "dbcc"},
        {"dump database d to '/tmp/d.dmp'", 1, 156, "dump"},
        {"select 1\nload database d from '/tmp/d.dmp'", 2, 156, "load"},
        // A view's select takes no order by; views live in the current database.
        {"create view v as select a from t\norder by a", 2, 156, "order"},
        {"create view db.o.v as select 1", 1, 102, "v"},
        {"create view v select 1", 1, 156, "select"},
        {"create view v as", 1, 102, "as"},
        {"create trigger tr on t for select as print 'x'", 1, 156, "select"},
        {"create trigger tr on t for insert as", 1, 102, "as"},
        {"create trigger tr for insert as print 'x'", 1, 156, "for"},
        {"create trigger tr on t for insert update as print 'x'", 1, 156, "update"},
        {"create proc p as", 1, 102, "as"},
        {"create index ix on t (a) with fillfactor 80", 1, 102, "80"},
        {"create index ix on t", 1, 102, "t"},
        {"create index ix on t ()", 1, 102, ")"},
        {"create unique view v as select 1", 1, 156, "view"},
        {"create clustered nonclustered index ix on t (a)", 1, 156, "nonclustered"},
        {"create index o.ix on t (a)", 1, 102, "."},
        {"create rule r @v > 1", 1, 102, "@v"},
        {"create rule r as", 1, 102, "as"},
        // A default is a value, not a condition.
        {"create default d as 1 = 1", 1, 102, "="},
        {"create default as 1", 1, 156, "as"},
        {"create database d on dev = x", 1, 102, "x"},
        {"create database d log dev", 1, 102, "dev"},
        {"create database d with", 1, 102, "with"},
        {"create database db1.d", 1, 102, "."},
        // Object permissions need an object, command permissions must not have one.
        {"grant select to u", 1, 156, "to"},
        {"grant create table on t to u", 1, 156, "on"},
        {"grant select (a) on t (b) to u", 1, 102, "("},
        {"grant all (a) to u", 1, 156, "to"},
        {"grant create index to u", 1, 156, "index"},
        {"grant drop on t to u", 1, 156, "drop"},
        {"revoke select on t to u", 1, 156, "to"},
        {"grant select on t to", 1, 102, "to"},
        // "with grant option" is for object permissions only.
        {"grant create table to u with grant option", 1, 156, "with"},
        {"drop view v1,", 1, 102, ","},
        {"drop trigger", 1, 102, "trigger"},
        // A compute aggregate travels as a select-list column number.
        {"select a from t order by a compute sum(b)", 1, 102, "b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const ParseResult r = parseBatch(c.sql);
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.stmts.empty());
        EXPECT_EQ(r.error.number, c.number);
        EXPECT_EQ(r.error.line, c.line);
        EXPECT_EQ(r.error.message, c.number == 156
                                       ? "Incorrect syntax near the keyword '" + c.near + "'."
                                       : "Incorrect syntax near '" + c.near + "'.");
    }
    // Errors of the tokenizer, and statements Sybase refuses while it compiles the batch.
    const std::string computeBy = "A COMPUTE BY item was not found in the order by list. All "
                                  "expressions in the compute by list must also be present in "
                                  "the order by list.";
    const std::vector<std::tuple<std::string, int, int, std::string>> worded = {
        {"select 1\nselect 'abc", 2, 105, "Unclosed quote before the character string 'abc'."},
        {"select 1 /* open /* nested */", 1, 113, "Missing end comment mark '*/'."},
        {"select 1\nset bogus on\nselect 2", 2, 195, "'bogus' is not a recognized SET option."},
        {"set bogus 5", 1, 195, "'bogus' is not a recognized SET option."},
        {"set bogus", 1, 195, "'bogus' is not a recognized SET option."},
        {"select a, b from t order by b\ncompute sum(b) by a", 2, 143, computeBy},
        {"select a, b from t order by a compute sum(b) by a, b", 1, 143, computeBy},
        {"select a, b from t compute sum(b) by a", 1, 143, computeBy},
    };
    for (const auto& [sql, line, number, message] : worded) {
        const ParseResult r = parseBatch(sql);
        EXPECT_FALSE(r.ok) << sql;
        EXPECT_EQ(r.error.number, number) << sql;
        EXPECT_EQ(r.error.line, line) << sql;
        EXPECT_EQ(r.error.message, message) << sql;
    }
}

TEST(SqlParser, ComputeClausesNameSelectListColumns) {
    const ParseResult r = parseBatch("select type, price as p from titles order by 1, p\n"
                                     "compute sum(p), count(price) by type\n"
                                     "compute max(type), avg(titles.price)");
    ASSERT_TRUE(r.ok) << r.error.message;
    ASSERT_EQ(r.stmts.size(), 1u);
    const auto& computes = r.stmts[0]->select->computes;
    ASSERT_EQ(computes.size(), 2u);
    std::vector<std::string> seen;
    for (const Compute& c : computes) {
        std::string text;
        for (const ComputeAggregate& a : c.aggregates) {
            text += a.op + std::to_string(a.column) + " ";
        }
        for (int by : c.byColumns) {
            text += "by" + std::to_string(by) + " ";
        }
        seen.push_back(text);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"sum2 count2 by1 ", "max1 avg2 "}));
    EXPECT_EQ(computes[1].line, 3);
}

TEST(SqlParser, NestingDepthIsBounded) {
    EXPECT_TRUE(parseBatch("select " + std::string(150, '(') + "1" + std::string(150, ')')).ok);
    std::vector<std::string> deep;
    for (const char* open : {"(", "-", "not "}) {
        std::string sql = "select 1 where ";
        for (int i = 0; i < 100000; ++i) {
            sql += open;
        }
        deep.push_back(sql + "1 = 1");
    }
    std::string ifs;
    for (int i = 0; i < 50000; ++i) {
        ifs += "if 1 = 1 ";
    }
    deep.push_back(ifs + "select 1");
    for (const std::string& sql : deep) {
        const ParseResult r = parseBatch(sql);
        EXPECT_FALSE(r.ok) << sql.substr(0, 30);
        EXPECT_EQ(r.error.message.rfind("Incorrect syntax near", 0), 0u) << sql.substr(0, 30);
    }
}

TEST(SqlParser, AMegabyteBatchGivesEveryStatementItsLine) {
    std::string sql;
    int rows = 0;
    for (; sql.size() < 1'000'000; ++rows) {
        sql += "insert into t (a, b, c) values (" + std::to_string(rows) +
               ", 'some text here', 12.5 * 3) -- row\n";
    }
    const ParseResult r = parseBatch(sql);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.stmts.size(), static_cast<std::size_t>(rows));
    EXPECT_EQ(r.stmts.back()->line, rows);
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
        const ParseResult r = parseBatch(sql);
        ++(r.ok ? parsed : rejected);
        if (!r.ok) {
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
        for (int k = 1 + static_cast<int>(rng() % 4); k > 0 && !s.empty(); --k) {
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
    // The mutations leave some batches valid and break others; both paths must be exercised.
    EXPECT_GT(parsed, 0);
    EXPECT_GT(rejected, 0);
}
