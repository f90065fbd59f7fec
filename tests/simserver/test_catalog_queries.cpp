// The workbench's own catalogue queries, sent exactly as the program sends them, against the
// demo databases (server started with --demo). Every expected value below is worked out from
// simserver/scripts/demo.sql, demo2.sql and demo_logins.sql, and from the fixed catalogue
// contents every database starts with (system tables, the public group, dbo and guest, the
// segments system/default/logsegment) and the devices every server starts with (see
// Catalog::bootstrap): master (device 0, 1024 pages), sysprocsdev (1), datadev (2, mirrored),
// logdev (3) and the tape tapedump1.

#include "catalog_checks.h"
#include "dblib_client.h"
#include "simserver_environment.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <map>

#ifndef OSTRIM_SQL_DIR
#error "OSTRIM_SQL_DIR must name sql/"
#endif
#ifndef OSTRIM_DEMO_SCRIPT_DIR
#error "OSTRIM_DEMO_SCRIPT_DIR must name simserver/scripts"
#endif

namespace ostrim::test {
namespace {

// This binary's shared server carries the demo databases.
[[maybe_unused]] const bool g_demoServer = useDemoServer();

const std::string kDemo = std::string(OSTRIM_DEMO_SCRIPT_DIR) + "/demo.sql";
const std::string kDemo2 = std::string(OSTRIM_DEMO_SCRIPT_DIR) + "/demo2.sql";

// The create text of author_report, copied from demo.sql: 829 characters, four syscomments rows.
const std::string kAuthorReport =
    R"(create procedure author_report @state char(2) = null, @with_titles bit = 1
as
/* A report of authors, optionally of one state, with the titles each wrote and how well
   those titles sold. It is longer than one row of syscomments on purpose. */
declare @count int
select @count = count(*) from authors where @state is null or state = @state
if @count = 0
begin
    print "No authors in state %1!.", @state
    return 1
end
select au_id, name = au_fname + " " + au_lname, city, state
from authors
where @state is null or state = @state
order by au_lname, au_fname
if @with_titles = 1
    select t.title_id, t.title, a.au_lname, t.ytd_sales
    from titles t, titleauthor ta, authors a
    where t.title_id = ta.title_id and ta.au_id = a.au_id
        and (@state is null or a.state = @state)
    order by t.ytd_sales desc
return 0)";

const Names kDatabases{"master", "model", "ostrimdemo", "ostrimdemo2", "tempdb"};
const Names kSystemTables{"syscolumns",  "syscomments", "sysindexes", "sysobjects",
                          "sysprotects", "syssegments", "systypes",   "sysusers"};
const Names kDemoTables{"authors", "blurbs",      "publishers", "sales",
                        "stores",  "titleauthor", "titles"};

Names concat(Names a, const Names& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Connections that moved to their database the way the workbench does it: DB-Library's dbuse.
// The fixture keeps them open until the test ends.
class DemoTest : public SimServerTest {
protected:
    DBPROCESS* open(const std::string& db) {
        Connection c = connectSa();
        if (!c) {
            return nullptr;
        }
        EXPECT_EQ(dbuse(c.get(), db.c_str()), SUCCEED) << MessageLog::dump();
        EXPECT_EQ(queryValue(c.get(), "select db_name()"), db);
        m_connections.push_back(std::move(c));
        return m_connections.back().get();
    }

    // A database of this binary's own, for objects the demo does not have; made once.
    DBPROCESS* scratch() {
        DBPROCESS* p = open("master");
        if (!p) {
            return p;
        }
        if (list(p, "select name from master..sysdatabases where name = \"admin_scratch\"")
                .empty()) {
            run(p, "create database admin_scratch");
        }
        run(p, "use admin_scratch");
        EXPECT_EQ(queryValue(p, "select db_name()"), "admin_scratch");
        return p;
    }

private:
    std::vector<Connection> m_connections;
};

// A list the workbench fills: database, query, the names expected (sorted first when asked).
struct ListCase {
    std::string db, sql;
    Names expected;
    bool sortFirst = false;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.db << ": " << c.sql;
}

class Lists : public DemoTest, public ::testing::WithParamInterface<ListCase> {};

TEST_P(Lists, GiveTheDemoNames) {
    const ListCase& c = GetParam();
    SCOPED_TRACE(c.db + ": " + c.sql);
    DBPROCESS* p = open(c.db);
    ASSERT_TRUE(p);
    const Names got = list(p, c.sql);
    EXPECT_EQ(c.sortFirst ? sorted(got) : got, c.expected);
}

const std::string kColumns = "select name from syscolumns where id = object_id(\"";
const std::string kColumnsEnd = "\") order by colid";

std::string searchText(const std::string& kind, const std::string& t) {
    return "select distinct so.type + \" - \" + so.name from syscomments sc,sysobjects so where "
           "sc.text like \"%" +
           t + "%\" and so.id = sc.id and so.type=\"" + kind + "\"";
}

std::string columnSearch(const std::string& t) {
    return "select distinct \"T - \" + so.name from syscolumns sc,sysobjects so where sc.name like "
           "\"%" +
           t + "%\" and so.id = sc.id and so.type=\"U\"";
}

const std::string kDemoDb = "ostrimdemo";

// Object details, database search, form expert, DDL generator and the object differences, in
// ostrimdemo unless said otherwise. The server window's lists of the demo (groups, indexes,
// logins, procedures, rules, triggers, users, views, a view's and a procedure's columns) are
// checked through the window in tests/server/test_object_text.cpp.
INSTANTIATE_TEST_SUITE_P(
    Workbench, Lists,
    ::testing::Values(
        ListCase{kDemoDb, "select name from master..sysdatabases order by name", kDatabases},
        ListCase{kDemoDb, "select name from sysusers where uid = 0 and gid = 0", {"public"}},
        ListCase{kDemoDb, "select name from sysobjects where type in (\"U\",\"S\") order by name",
                 sorted(concat(kDemoTables, kSystemTables))},
        // phone_t is the first user type, numbered 100 as on Sybase, so neither list shows it.
        ListCase{kDemoDb, "select name from systypes where usertype > 100 order by name", {"id_t"}},
        // demo2.sql: bob dropped, carol added, store_totals dropped, reviews and reviewtrig added.
        ListCase{"ostrimdemo2",
                 "select name from sysusers where gid<>uid order by name",
                 {"alice", "carol", "dbo", "guest"}},
        ListCase{"ostrimdemo2", objectsOfType("V"), {"author_names", "titleview"}},
        ListCase{"ostrimdemo2", objectsOfType("TR"), {"deltitle", "reviewtrig", "salestrig"}},
        ListCase{"ostrimdemo2", objectsOfType("P"), {"author_report", "byroyalty", "title_sales"}},
        ListCase{kDemoDb,
                 kColumns + "titles" + kColumnsEnd,
                 {"title_id", "title", "type", "pub_id", "price", "advance", "royalty", "ytd_sales",
                  "notes", "pubdate"}},
        ListCase{kDemoDb,
                 kColumns + "titleview" + kColumnsEnd,
                 {"title", "au_ord", "au_lname", "price", "ytd_sales", "pub_id"}},
        // An empty object list gives an empty name: no rows and no error.
        ListCase{kDemoDb, kColumns + kColumnsEnd, {}},
        ListCase{kDemoDb,
                 "sp_ostrim_get_user_type id_t",
                 {"Type: numeric(8,0)", "Nulls: not null", "Default: none", "Rule: none"}},
        // title_sales reads title_id, byroyalty titleauthor, author_report titles.
        ListCase{kDemoDb,
                 searchText("P", "title"),
                 {"P  - author_report", "P  - byroyalty", "P  - title_sales"},
                 true},
        ListCase{kDemoDb, searchText("P", "royaltyper"), {"P  - byroyalty"}, true},
        ListCase{kDemoDb, searchText("TR", "sales"), {"TR - deltitle", "TR - salestrig"}, true},
        ListCase{kDemoDb, searchText("TR", "raiserror"), {"TR - salestrig"}, true},
        ListCase{
            kDemoDb, searchText("V", "au_lname"), {"V  - author_names", "V  - titleview"}, true},
        ListCase{kDemoDb,
                 columnSearch("title"),
                 {"T - blurbs", "T - sales", "T - titleauthor", "T - titles"},
                 true},
        ListCase{kDemoDb, columnSearch("ord"), {"T - sales", "T - titleauthor"}, true},
        // Sybase's default binary sort order: "AUTHORS" is not "authors".
        ListCase{kDemoDb, searchText("P", "AUTHORS"), {}},
        ListCase{kDemoDb, searchText("P", "authors"), {"P  - author_report"}},
        // "declare @count" is cut by the end of author_report's first 255-character row.
        ListCase{kDemoDb, searchText("P", "declare @count"), {}},
        ListCase{kDemoDb, searchText("P", "declare @c"), {"P  - author_report"}},
        // The form expert's single-quoted table list and its column list.
        ListCase{kDemoDb, "select name from sysobjects where type in ('U','S')",
                 sorted(concat(kDemoTables, kSystemTables)), true},
        ListCase{kDemoDb,
                 "select name from syscolumns where id=object_id(\"stores\") order by colid",
                 {"stor_id", "stor_name", "city", "state", "payterms"}},
        // The DDL generator: the database list on three lines, unordered object lists.
        ListCase{kDemoDb, "select name\r\nfrom master..sysdatabases\r\norder by name", kDatabases},
        ListCase{kDemoDb, "select name\nfrom master..sysdatabases\norder by name", kDatabases},
        ListCase{kDemoDb,
                 "select name from sysobjects where type=\"P\"",
                 {"author_report", "byroyalty", "title_sales"},
                 true},
        ListCase{kDemoDb,
                 "select name from sysobjects where type=\"V\"",
                 {"author_names", "store_totals", "titleview"},
                 true},
        ListCase{kDemoDb,
                 "select name from sysobjects where type=\"TR\"",
                 {"deltitle", "salestrig"},
                 true},
        // The server explorer's nodes; without an indid filter, tables without a clustered index
        // appear under their own name.
        ListCase{kDemoDb, objectsOfType("S"), kSystemTables},
        ListCase{kDemoDb, objectsOfType("U"), kDemoTables},
        ListCase{kDemoDb, "select name from sysindexes order by name",
                 sorted(concat({"auidind", "aunmind", "blurbs", "pubind", "salesdateind",
                                "salesind", "stores", "taind", "titleidind", "titleind"},
                               kSystemTables))},
        ListCase{kDemoDb,
                 "select name from syssegments order by name",
                 {"default", "fastseg", "logsegment", "system"}},
        // The object differences: the database list without order, and the other side's lists.
        ListCase{"master", "select name\r\nfrom master..sysdatabases", kDatabases, true},
        ListCase{"ostrimdemo2",
                 objectsOfType("U"),
                 {"authors", "blurbs", "publishers", "reviews", "sales", "stores", "titleauthor",
                  "titles"}},
        // The device list: master, sysprocsdev, datadev (mirrored), logdev and a tape dump device.
        ListCase{"master",
                 "select name from master..sysdevices",
                 {"datadev", "logdev", "master", "sysprocsdev", "tapedump1"},
                 true}));

// --- What every connect sends ---------------------------------------------------------------

class ConnectTexts : public DemoTest {};

TEST_F(ConnectTexts, DbuseReachesEachDemoDatabaseAndVersionQueryGivesOneRow) {
    for (const std::string db : {"ostrimdemo", "ostrimdemo2", "master"}) {
        DBPROCESS* p = open(db);
        ASSERT_TRUE(p);
        const Names version = list(p, "select @@version");
        ASSERT_EQ(version.size(), 1u);
        EXPECT_FALSE(trim(version[0]).empty());
    }
}

// --- Server window: object lists and object details -------------------------------------

class ObjectLists : public DemoTest {};

TEST_F(ObjectLists, TheFirstUserTypeIsNumbered100AndListedOnlyWithGreaterOrEqual) {
    DBPROCESS* demo = open("ostrimdemo");
    ASSERT_TRUE(demo);
    // demo.sql adds phone_t first, then id_t.
    EXPECT_EQ(list(demo, "select usertype from systypes where name = \"phone_t\""), Names{"100"});
    EXPECT_EQ(list(demo, "select usertype from systypes where name = \"id_t\""), Names{"101"});
    EXPECT_EQ(list(demo, "select name from systypes where usertype >= 100 order by name"),
              (Names{"id_t", "phone_t"}));
    const Names types = list(demo, "select name from systypes where usertype < 100 order by name");
    EXPECT_EQ(types, sorted(types));
    // Every base type the demo tables use, and none of the demo's own types.
    for (const char* base : {"bit", "char", "datetime", "float", "int", "money", "numeric", "real",
                             "smallint", "smallmoney", "text", "tinyint", "varchar", "binary",
                             "varbinary", "image", "decimal", "sysname", "timestamp"}) {
        EXPECT_NE(std::find(types.begin(), types.end(), base), types.end()) << base;
    }
    for (const char* user : {"phone_t", "id_t"}) {
        EXPECT_EQ(std::find(types.begin(), types.end(), user), types.end()) << user;
    }

    // In a database of its own, sp_addtype numbers from 100 as well.
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    if (list(p, "select name from systypes where name = \"admin_first_t\"").empty()) {
        ASSERT_TRUE(list(p, "select name from systypes where usertype >= 100").empty());
        run(p, "sp_addtype admin_first_t, \"varchar(12)\", \"null\"");
    }
    EXPECT_EQ(list(p, "select usertype from systypes where name = \"admin_first_t\""),
              Names{"100"});
    EXPECT_EQ(list(p, "select name from systypes where usertype > 100 order by name"), Names{});
    EXPECT_EQ(list(p, "select name from systypes where usertype >= 100 order by name"),
              Names{"admin_first_t"});
}

TEST_F(ObjectLists, SecondDemoDatabaseShowsItsDifferences) {
    DBPROCESS* p = open("ostrimdemo2");
    ASSERT_TRUE(p);
    const Names indexes = list(p, kIndexList);
    EXPECT_NE(std::find(indexes.begin(), indexes.end(), "reviews.reviewind"), indexes.end());
    EXPECT_EQ(indexes.size(), 9u);
}

class ObjectDetails : public DemoTest {};

// Column 1 of the only row of the only result set, untrimmed, then columns 2 to 4 trimmed.
void expectIndexRow(const BatchResult& r, const std::string& head, const std::string& keys,
                    const std::string& segment) {
    ASSERT_EQ(r.rowResults().size(), 1u);
    const ResultSet& set = *r.rowResults()[0];
    ASSERT_EQ(set.rows.size(), 1u);
    ASSERT_GE(set.rows[0].size(), 4u);
    // Column 1 is used untrimmed, except that a trailing blank is allowed.
    EXPECT_EQ(rtrim(text(set.rows[0][0])), head);
    EXPECT_EQ(text(set.rows[0][0]).substr(0, 7), "create ");
    EXPECT_EQ(trim(text(set.rows[0][1])), keys);
    EXPECT_EQ(trim(text(set.rows[0][2])), "");
    EXPECT_EQ(trim(text(set.rows[0][3])), segment);
}

const Names kPhoneType{"Type: varchar(20)", "Nulls: null", "Default: none", "Rule: none"};

TEST_F(ObjectDetails, IndexProcedureGivesOneRowForEveryListedIndex) {
    DBPROCESS* p = open("ostrimdemo");
    ASSERT_TRUE(p);
    // From the create index statements of demo.sql: head, keys, segment.
    const std::map<std::string, std::array<std::string, 3>> expected{
        {"authors.auidind",
         {"create unique clustered index auidind on authors", "au_id", "on default"}},
        {"authors.aunmind",
         {"create nonclustered index aunmind on authors", "au_lname, au_fname", "on default"}},
        {"publishers.pubind",
         {"create unique clustered index pubind on publishers", "pub_id", "on default"}},
        {"sales.salesind",
         {"create clustered index salesind on sales", "title_id, ord_num", "on default"}},
        {"sales.salesdateind",
         {"create nonclustered index salesdateind on sales", "ord_date", "on default"}},
        {"titleauthor.taind",
         {"create unique clustered index taind on titleauthor", "au_id, title_id", "on default"}},
        {"titles.titleidind",
         {"create unique clustered index titleidind on titles", "title_id", "on default"}},
        {"titles.titleind",
         {"create nonclustered index titleind on titles", "title", "on fastseg"}},
    };
    const Names entries = list(p, kIndexList);
    ASSERT_EQ(entries.size(), expected.size());
    for (const std::string& entry : entries) {
        SCOPED_TRACE(entry);
        const size_t dot = entry.find('.');
        ASSERT_NE(dot, std::string::npos);
        const auto it = expected.find(entry);
        ASSERT_NE(it, expected.end());
        const auto& [head, keys, segment] = it->second;
        expectIndexRow(
            run(p, "sp_ostrim_get_index " + entry.substr(0, dot) + "," + entry.substr(dot + 1)),
            head, keys, segment);
    }
    // An index that does not exist gives no row.
    for (const ResultSet* set : run(p, "sp_ostrim_get_index titles,nosuchind").rowResults()) {
        EXPECT_TRUE(set->rows.empty());
    }
}

TEST_F(ObjectDetails, StoredTextJoinsBackToTheCreateStatementOfTheScript) {
    DBPROCESS* p = open("ostrimdemo");
    ASSERT_TRUE(p);
    // author_report is longer than one 255-character row: four rows, joined in the order sent.
    ASSERT_EQ(kAuthorReport.size(), 829u);
    EXPECT_EQ(kAuthorReport, createTextInScript(kDemo, "procedure", "author_report"));
    const BatchResult report =
        run(p, "select text from syscomments where id = object_id(\"author_report\")");
    ASSERT_EQ(report.rowResults().size(), 1u);
    const auto& rows = report.rowResults()[0]->rows;
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(text(rows[i][0]).size(), 255u) << "row " << i;
    }
    EXPECT_EQ(joined(report), kAuthorReport);
    // The search rows rely on "declare @count" straddling the end of the first row.
    EXPECT_EQ(kAuthorReport.substr(245, 14), "declare @count");

    const std::vector<std::pair<std::string, std::string>> objects{
        {"procedure", "title_sales"}, {"procedure", "byroyalty"}, {"view", "titleview"},
        {"view", "author_names"},     {"view", "store_totals"},   {"trigger", "deltitle"},
        {"trigger", "salestrig"},     {"rule", "pub_idrule"},     {"default", "typedflt"}};
    for (const auto& [kind, name] : objects) {
        EXPECT_EQ(storedText(p, name), createTextInScript(kDemo, kind, name)) << name;
    }
}

// One line of the table layout: name, type, null flag, length, precision, colid.
using Layout = std::vector<Names>;

Layout tableLayout(DBPROCESS* p, const std::string& table) {
    return ostrim::test::table(
        run(p, "select c.name, t.name, convert(varchar(8),convert(bit, (c.status & 8))), "
               "convert(varchar(6),c.length), convert(varchar(6),c.prec), c.colid from "
               "syscolumns c, systypes t where c.id = object_id(\"" +
                   table + "\") and c.usertype *= t.usertype order by c.colid"));
}

TEST_F(ObjectDetails, TableLayoutGivesTypeNullFlagLengthAndPrecision) {
    DBPROCESS* p = open("ostrimdemo");
    ASSERT_TRUE(p);
    // Lengths are Sybase's storage lengths; numeric(p) takes 2 + floor(p * log2(10) / 8) bytes.
    EXPECT_EQ(tableLayout(p, "titles"), (Layout{{"title_id", "varchar", "0", "6", "", "1"},
                                                {"title", "varchar", "0", "80", "", "2"},
                                                {"type", "char", "0", "12", "", "3"},
                                                {"pub_id", "char", "1", "4", "", "4"},
                                                {"price", "money", "1", "8", "", "5"},
                                                {"advance", "money", "1", "8", "", "6"},
                                                {"royalty", "int", "1", "4", "", "7"},
                                                {"ytd_sales", "int", "1", "4", "", "8"},
                                                {"notes", "varchar", "1", "200", "", "9"},
                                                {"pubdate", "datetime", "0", "8", "", "10"}}));
    EXPECT_EQ(tableLayout(p, "sales"), (Layout{{"ord_num", "id_t", "0", "5", "8", "1"},
                                               {"stor_id", "char", "0", "4", "", "2"},
                                               {"title_id", "varchar", "0", "6", "", "3"},
                                               {"ord_date", "datetime", "0", "8", "", "4"},
                                               {"qty", "smallint", "0", "2", "", "5"},
                                               {"discount", "numeric", "1", "4", "5", "6"},
                                               {"paid", "smallmoney", "1", "4", "", "7"},
                                               {"rate", "real", "1", "4", "", "8"},
                                               {"weight", "float", "1", "8", "", "9"}}));
    // phone_t was added as "varchar(20)", "null", so the column allows NULL without saying so.
    EXPECT_EQ(tableLayout(p, "authors"), (Layout{{"au_id", "int", "0", "4", "", "1"},
                                                 {"au_lname", "varchar", "0", "40", "", "2"},
                                                 {"au_fname", "varchar", "0", "20", "", "3"},
                                                 {"phone", "phone_t", "1", "20", "", "4"},
                                                 {"address", "varchar", "1", "40", "", "5"},
                                                 {"city", "varchar", "1", "20", "", "6"},
                                                 {"state", "char", "1", "2", "", "7"},
                                                 {"zip", "char", "1", "5", "", "8"},
                                                 {"contract", "bit", "0", "1", "", "9"}}));
    EXPECT_EQ(tableLayout(p, "blurbs"), (Layout{{"title_id", "varchar", "0", "6", "", "1"},
                                                {"copy", "text", "1", "16", "", "2"}}));
    EXPECT_EQ(tableLayout(p, "titleauthor"), (Layout{{"au_id", "int", "0", "4", "", "1"},
                                                     {"title_id", "varchar", "0", "6", "", "2"},
                                                     {"au_ord", "tinyint", "1", "1", "", "3"},
                                                     {"royaltyper", "int", "1", "4", "", "4"}}));
}

// --- DDL generator ------------------------------------------------------------------------

class DdlGenerator : public DemoTest {};

TEST_F(DdlGenerator, ObjectSourceOrderedByColidIsTheScriptText) {
    DBPROCESS* p = open("ostrimdemo");
    ASSERT_TRUE(p);
    auto source = [&](const std::string& name) {
        return joined(run(p, "select text from syscomments where id=object_id(\"" + name +
                                 "\") order by colid"));
    };
    EXPECT_EQ(source("author_report"), kAuthorReport);
    EXPECT_EQ(source("store_totals"), createTextInScript(kDemo, "view", "store_totals"));
    EXPECT_EQ(source("salestrig"), createTextInScript(kDemo, "trigger", "salestrig"));
    // No such object: no rows.
    EXPECT_EQ(source("nosuchproc"), "");
}

// --- Server explorer ------------------------------------------------------------------------

class ServerExplorer : public DemoTest {};

TEST_F(ServerExplorer, SegmentsAndIndexesOfANewDatabase) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    // The names of the three are test_ddl.cpp's.
    EXPECT_EQ(list(p, "select segment from syssegments order by segment"), (Names{"0", "1", "2"}));
    // Every system table has its data row in sysindexes, under the table's name.
    EXPECT_EQ(list(p, "select name from sysindexes order by name"),
              list(p, "select name from sysobjects where type=\"S\" order by name"));
}

// The copy's lookup of a name (doubled quotes, a missing name), its join of several rows and
// the batch that recreates the object are run through the tree view in test_tree_view.cpp.
TEST_F(ServerExplorer, ANameInDoubleQuotesIsAStringEvenWhenItNamesAColumn) {
    DBPROCESS* p = open("ostrimdemo2");
    ASSERT_TRUE(p);
    EXPECT_EQ(list(p, "select id from ostrimdemo..sysobjects where name = \"id\""), Names{});
    EXPECT_EQ(list(p, "select id from ostrimdemo..sysobjects where name = \"name\""), Names{});
    const Names id =
        list(p, "select id from ostrimdemo..sysobjects where name = \"author_report\"");
    ASSERT_EQ(id.size(), 1u);
    EXPECT_EQ(list(p, "select convert(varchar(15), id) from ostrimdemo..sysobjects where name = "
                      "\"author_report\" and type = \"P\""),
              id);
}

TEST_F(ServerExplorer, TextOfMoreThan255RowsContinuesInColid2) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    // 260 lines of 255 bytes: 260 rows, the last five in the second run of colid2.
    std::string text = "create procedure admin_long_text\nas\n";
    for (int i = 0; text.size() < 259u * 255u + 10u; ++i) {
        const std::string head = "-- line " + std::to_string(i) + " ";
        text += head + std::string(254 - head.size(), char('a' + i % 26)) + "\n";
    }
    text += "select 4242";
    exec(p, "drop procedure admin_long_text");
    run(p, text);
    const std::string id = queryValue(p, "select object_id(\"admin_long_text\")");
    const std::string rows = "select colid2, colid from syscomments where id=" + id;
    const auto order = table(run(p, rows + " order by colid2, colid"));
    ASSERT_EQ(order.size(), 260u);
    EXPECT_EQ(order[0], (Names{"0", "1"}));
    EXPECT_EQ(order[254], (Names{"0", "255"}));
    EXPECT_EQ(order[255], (Names{"1", "1"}));
    EXPECT_EQ(order[259], (Names{"1", "5"}));
    EXPECT_EQ(
        joined(run(p, "select text from syscomments where id=" + id + " order by colid2, colid")),
        text);
    // The server reads its own procedure back in the same order.
    EXPECT_EQ(queryValue(p, "admin_long_text"), "4242");
}

// --- Object differences ---------------------------------------------------------------------

class ObjectDifferences : public DemoTest {};

TEST_F(ObjectDifferences, BothSidesListTheirKindsAndTheirOwnTexts) {
    DBPROCESS* one = open("ostrimdemo");
    DBPROCESS* two = open("ostrimdemo2");
    ASSERT_TRUE(one && two);
    // The lists of each side are rows of the Lists table; here the sides meet.
    EXPECT_EQ(list(one, objectsOfType("P")), list(two, objectsOfType("P")));
    // byroyalty has the same name on both sides but demo2.sql re-created it.
    EXPECT_EQ(storedText(one, "byroyalty"), createTextInScript(kDemo, "procedure", "byroyalty"));
    EXPECT_EQ(storedText(two, "byroyalty"), createTextInScript(kDemo2, "procedure", "byroyalty"));
}

// --- Process monitor ------------------------------------------------------------------------

class ProcessMonitor : public DemoTest {};

// The index of the first column whose name, trimmed and in capitals, is name.
int columnIndex(const ResultSet& set, const std::string& name) {
    for (size_t i = 0; i < set.columnNames.size(); ++i) {
        std::string n = trim(set.columnNames[i]);
        std::transform(n.begin(), n.end(), n.begin(), ::toupper);
        if (n == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// sp_who's sessions: spid to login and database.
std::map<int, std::pair<std::string, std::string>> whoSessions(const ResultSet& set) {
    const int spid = columnIndex(set, "SPID");
    const int login = columnIndex(set, "LOGINAME");
    const int dbname = columnIndex(set, "DBNAME");
    EXPECT_GE(spid, 0);
    EXPECT_GE(login, 0);
    EXPECT_GE(dbname, 0);
    std::map<int, std::pair<std::string, std::string>> sessions;
    if (spid < 0 || login < 0 || dbname < 0) {
        return sessions;
    }
    for (const Row& row : set.rows) {
        const std::string value = trim(text(row[static_cast<size_t>(spid)]));
        EXPECT_LE(value.size(), 5u);
        sessions[std::stoi(value)] = {trim(text(row[static_cast<size_t>(login)])),
                                      trim(text(row[static_cast<size_t>(dbname)]))};
    }
    return sessions;
}

TEST_F(ProcessMonitor, SpWhoWithCarriageReturnThenRowCountListsBothSessions) {
    DBPROCESS* p = open("ostrimdemo");
    Connection other = connectSa(loginOf("alice", "alice123"));
    ASSERT_TRUE(p && other);
    // alice's default database is ostrimdemo (demo_logins.sql).
    EXPECT_EQ(queryValue(other.get(), "select db_name()"), "ostrimdemo");
    const BatchResult who = run(p, "sp_who\r");
    ASSERT_EQ(who.rowResults().size(), 1u);
    const ResultSet& set = *who.rowResults()[0];
    auto sessions = whoSessions(set);
    using Session = std::pair<std::string, std::string>;
    EXPECT_EQ(sessions[dbspid(p)], (Session{"sa", "ostrimdemo"}));
    EXPECT_EQ(sessions[dbspid(other.get())], (Session{"alice", "ostrimdemo"}));

    // The grid's row count: one unnamed column, one row, sp_who's row count.
    const BatchResult count =
        run(p, "select \"(\" + convert(varchar(10),@@rowcount) + \" rows affected)\"");
    ASSERT_EQ(count.rowResults().size(), 1u);
    EXPECT_EQ(count.rowResults()[0]->columnNames, Names{""});
    EXPECT_EQ(column1(count), Names{"(" + std::to_string(set.rows.size()) + " rows affected)"});
}

TEST_F(ProcessMonitor, OwnProcedureGivesSevenColumnsByPosition) {
    DBPROCESS* p = open("ostrimdemo2");
    ASSERT_TRUE(p);
    const BatchResult who = run(p, "execute sp_ostrim_who");
    ASSERT_EQ(who.rowResults().size(), 1u);
    const ResultSet& set = *who.rowResults()[0];
    ASSERT_GE(set.columnNames.size(), 7u);
    int found = 0;
    for (const Row& row : set.rows) {
        const std::string spid = text(row[0]);
        EXPECT_LE(spid.size(), 5u);
        if (trim(spid) != std::to_string(dbspid(p))) {
            continue;
        }
        ++found;
        EXPECT_FALSE(trim(text(row[1])).empty()); // status
        EXPECT_EQ(trim(text(row[2])), "sa");
        EXPECT_EQ(trim(text(row[4])), "0"); // not blocked
        EXPECT_EQ(trim(text(row[5])), "ostrimdemo2");
        EXPECT_FALSE(trim(text(row[6])).empty()); // command
    }
    EXPECT_EQ(found, 1);
}

TEST_F(ProcessMonitor, KillEndsAnotherSessionAndRefusesBadTargets) {
    DBPROCESS* p = open("ostrimdemo");
    Connection victim = connectSa();
    ASSERT_TRUE(p && victim);
    const int other = dbspid(victim.get());
    // What a selection on the wrong row, the own row or a stale row sends.
    for (const auto& [sql, number] :
         std::vector<std::pair<std::string, int>>{{"kill (2 ro", 0},
                                                  {"kill " + std::to_string(dbspid(p)), 6104},
                                                  {"kill 31999", 6106}}) {
        MessageLog::clear();
        const RETCODE rc = exec(p, sql).sqlRc;
        EXPECT_NE(errorsOf(p), "") << sql;
        if (number) {
            EXPECT_EQ(rc, FAIL) << sql;
            EXPECT_TRUE(MessageLog::find(number)) << sql << "\n" << MessageLog::dump();
        }
        EXPECT_EQ(queryValue(p, "select 1"), "1") << sql;
    }
    run(p, "kill " + std::to_string(other));
    // The killed session's next batch fails. That sp_who then leaves it out, and that "kill
    // spid" from the names row is refused, is seen through the process monitor in
    // test_processes.cpp.
    EXPECT_NE(exec(victim.get(), "select 1").sqlRc, SUCCEED);
    EXPECT_TRUE(dbdead(victim.get()));
}

// --- Devices dialog
// -------------------------------------------------------------------------------

class DeviceDetails : public DemoTest {
protected:
    void SetUp() override {
        DemoTest::SetUp();
        m_master = open("master");
        ASSERT_TRUE(m_master);
    }

    // The first statement of a device's details: pages per megabyte, as text.
    std::string pagesPerMegabyte() {
        const Names rows = list(m_master, "select numpgsmb = (1048576. / v.low) from "
                                          "master.dbo.spt_values v where v.number = 1 and "
                                          "v.type = \"E\"");
        return rows.size() == 1 ? rows[0] : "<" + std::to_string(rows.size()) + " rows>";
    }

    // The second: name, physical name, low, high, mirror name; NULL reads as "<null>".
    std::vector<Names> deviceRow(const std::string& name) {
        return table(run(m_master, "select name,phyname,low,high,mirrorname from "
                                   "master..sysdevices where name = \"" +
                                       name + "\""),
                     "<null>");
    }

    // The third: the device number.
    Names deviceNumber(const std::string& name) {
        return list(m_master,
                    "select device_number = convert(tinyint, substring(convert(binary(4),d.low),"
                    "v.low,1)) from master.dbo.sysdevices d, master.dbo.spt_values v  where "
                    "d.name = \"" +
                        name + "\" and v.type = \"E\" and v.number = 3");
    }

    DBPROCESS* m_master = nullptr;
};

TEST_F(DeviceDetails, SptValuesDescribeTwoKilobytePagesAndTheDeviceNumberByte) {
    EXPECT_EQ(table(run(m_master, "select number, low from master.dbo.spt_values where "
                                  "type = \"E\" and number in (1, 3) order by number")),
              (std::vector<Names>{{"1", "2048"}, {"3", "1"}}));
    // A numeric quotient keeps its fraction digits, as the dialog's digit scan expects.
    EXPECT_EQ(pagesPerMegabyte(), "512.00000000000");
}

TEST_F(DeviceDetails, MasterDeviceOfLow0AndHigh1023IsTwoMegabytes) {
    const auto rows = deviceRow("master");
    ASSERT_EQ(rows.size(), 1u);
    const std::string dir = server().dataDir();
    EXPECT_EQ(rows[0], (Names{"master", dir + "/master.dat", "0", "1023", "<null>"}));
    EXPECT_EQ(deviceNumber("master"), Names{"0"});
}

TEST_F(DeviceDetails, MirroredDataDeviceShowsItsMirrorNumberAndSize) {
    const auto rows = deviceRow("datadev");
    ASSERT_EQ(rows.size(), 1u);
    const std::string dir = server().dataDir();
    // Device 2: low = 2 << 24; 102400 pages = 200 MB.
    EXPECT_EQ(rows[0], (Names{"datadev", dir + "/data.dat", "33554432", "33656831",
                              dir + "/data_mirror.dat"}));
    EXPECT_EQ(deviceNumber("datadev"), Names{"2"});
    // Mirrored (64) and its mirror enabled (512).
    EXPECT_EQ(list(m_master, "select status & 576 from master..sysdevices where name = "
                             "\"datadev\""),
              Names{"576"});
}

TEST_F(DeviceDetails, UnmirroredDeviceHasAnEmptyMirrorName) {
    for (const std::string device : {"master", "sysprocsdev", "logdev"}) {
        const auto rows = table(run(m_master, "select mirrorname from master..sysdevices where "
                                              "name = \"" +
                                                  device + "\""));
        EXPECT_EQ(rows, (std::vector<Names>{{""}})) << device;
    }
}

TEST_F(DeviceDetails, DumpDeviceHasAControllerAndNoPages) {
    EXPECT_EQ(table(run(m_master, "select low, high, cntrltype, status & 16 from "
                                  "master..sysdevices where name = \"tapedump1\"")),
              (std::vector<Names>{{"0", "0", "2", "16"}}));
    EXPECT_EQ(list(m_master, "select count(*) from master..sysdevices where cntrltype > 0"),
              Names{"1"});
}

TEST_F(DeviceDetails, QuoteOrColumnNameMatchesNoDevice) {
    EXPECT_TRUE(deviceRow("mas\"\"ter").empty());
    // Nor does a name that is also a column name.
    EXPECT_TRUE(deviceRow("name").empty());
    EXPECT_TRUE(deviceNumber("mas\"\"ter").empty());
}

TEST_F(DeviceDetails, BinaryBytesOfAnIntAreBigEndian) {
    const auto row = table(run(m_master, "select convert(binary(4), 16909060), "
                                         "substring(convert(binary(4), 16909060), 2, 1), "
                                         "convert(tinyint, substring(convert(binary(4), "
                                         "16909060), 4, 1)), convert(binary(4), -1)"));
    EXPECT_EQ(row, (std::vector<Names>{{"01020304", "02", "4", "ffffffff"}}));
    const BatchResult typed = run(m_master, "select substring(convert(binary(4), 258), 3, 1)");
    ASSERT_EQ(typed.rowResults().size(), 1u);
    const int type = typed.rowResults()[0]->columnTypes.at(0);
    EXPECT_TRUE(type == SYBVARBINARY || type == SYBBINARY) << type;
}

// --- The program's server-side procedures, installed from sql/ with FreeTDS's bsqldb --------

class ServerProcedureScripts : public DemoTest {};

TEST_F(ServerProcedureScripts, InstallThroughBsqldbThenCallInTheWorkbenchShape) {
    const std::string dir = OSTRIM_SQL_DIR;
    ::setenv("TDSVER", "5.0", 1);
    ::setenv("LC_ALL", "C", 1);
    DBPROCESS* m = open("master");
    ASSERT_TRUE(m);
    for (const std::string name :
         {"sp_ostrim_get_index", "sp_ostrim_get_user_type", "sp_ostrim_who"}) {
        SCOPED_TRACE(name);
        // Each script drops the procedure the server installed at start and creates it again.
        const CommandOutput run1 =
            commandOutput("bsqldb -S " + host() + " -U sa -P '' -D master -i '" + dir + "/" + name +
                          ".sql' 2>&1");
        EXPECT_EQ(run1.status, 0) << run1.text;
        EXPECT_EQ(run1.text.find("Msg "), std::string::npos) << run1.text;
        EXPECT_EQ(list(m, "select type from sysobjects where name = \"" + name + "\""),
                  Names{"P "});
        EXPECT_EQ(storedText(m, name),
                  createTextInScript(dir + "/" + name + ".sql", "procedure", name));
    }

    DBPROCESS* p = open("ostrimdemo");
    ASSERT_TRUE(p);
    // Index: one result set, one row, at least four columns.
    expectIndexRow(run(p, "sp_ostrim_get_index titles,titleind"),
                   "create nonclustered index titleind on titles", "title", "on fastseg");
    // User type: rows in column 1, one result set.
    const BatchResult type = run(p, "sp_ostrim_get_user_type phone_t");
    EXPECT_EQ(type.rowResults().size(), 1u);
    EXPECT_EQ(column1(type), kPhoneType);
    // Processes: one result set, seven columns in the classic sp_who order.
    const BatchResult who = run(p, "execute sp_ostrim_who");
    ASSERT_EQ(who.rowResults().size(), 1u);
    Names columns;
    for (const std::string& n : who.rowResults()[0]->columnNames) {
        columns.push_back(trim(n));
    }
    EXPECT_EQ(columns, (Names{"spid", "status", "loginame", "hostname", "blk", "dbname", "cmd"}));
    bool mine = false;
    for (const Row& row : who.rowResults()[0]->rows) {
        if (trim(text(row[0])) == std::to_string(dbspid(p))) {
            mine = true;
            EXPECT_EQ(trim(text(row[2])), "sa");
            EXPECT_EQ(trim(text(row[5])), "ostrimdemo");
        }
    }
    EXPECT_TRUE(mine);
}

} // namespace
} // namespace ostrim::test
