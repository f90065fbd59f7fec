// The workbench's own catalogue queries, sent exactly as the program sends them, against the
// demo databases (server started with --demo). Every expected value below is worked out from
// simserver/scripts/demo.sql, demo2.sql and demo_logins.sql, and from the fixed catalogue
// contents every database starts with (system tables, the public group, dbo and guest, the
// segments system/default/logsegment, the master device).

#include "catalog_checks.h"
#include "dblib_client.h"
#include "simserver_environment.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <thread>
#include <tuple>

#ifndef OSTRIM_SQL_DIR
#error "OSTRIM_SQL_DIR must name sql/"
#endif
#ifndef OSTRIM_DEMO_SCRIPT_DIR
#error "OSTRIM_DEMO_SCRIPT_DIR must name simserver/scripts"
#endif

namespace ostrim::test {
namespace {

// This binary's shared server carries the demo databases.
[[maybe_unused]] const bool g_demoServer = [] {
    SimServerEnvironment::serverArguments() = {"--demo"};
    return true;
}();

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

// A connection that moved to db the way the workbench does it: DB-Library's dbuse.
class DemoTest : public SimServerTest {
protected:
    Connection open(const std::string& db) {
        Connection c = connectSa();
        if (c) {
            EXPECT_EQ(dbuse(c.get(), db.c_str()), SUCCEED) << MessageLog::dump();
            EXPECT_EQ(queryValue(c.get(), "select db_name()"), db);
        }
        return c;
    }
};

// --- What every connect sends ---------------------------------------------------------------

class ConnectTexts : public DemoTest {};

TEST_F(ConnectTexts, DbuseReachesEachDemoDatabaseAndVersionQueryGivesOneRow) {
    for (const std::string db : {"ostrimdemo", "ostrimdemo2", "master"}) {
        Connection c = open(db);
        ASSERT_TRUE(c);
        const Names version = list(c.get(), "select @@version");
        ASSERT_EQ(version.size(), 1u);
        EXPECT_FALSE(trim(version[0]).empty());
    }
}

// --- Server window: object lists and object details -------------------------------------

class ObjectLists : public DemoTest {};

TEST_F(ObjectLists, EveryKindOfTheServerWindowInOstrimdemo) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    EXPECT_EQ(list(p, "select name from master..sysdatabases order by name"), kDatabases);
    EXPECT_EQ(list(p, "select name from sysusers where gid=uid order by name"),
              (Names{"public", "readers"}));
    // A table's key index comes first (indid 1), then the others; indid-0 rows are not listed.
    EXPECT_EQ(
        list(p, "select so.name + \".\" + si.name from sysobjects so,sysindexes si where "
                "so.id = si.id  and si.indid<> 0 and so.type in (\"U\",\"S\") order by "
                "so.name,si.indid"),
        (Names{"authors.auidind", "authors.aunmind", "publishers.pubind", "sales.salesind",
               "sales.salesdateind", "titleauthor.taind", "titles.titleidind", "titles.titleind"}));
    EXPECT_EQ(list(p, "select name from master..syslogins order by name"),
              (Names{"alice", "bob", "carol", "sa"}));
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"P\" order by name"),
              (Names{"author_report", "byroyalty", "title_sales"}));
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"R\" order by name"),
              (Names{"pub_idrule"}));
    EXPECT_EQ(list(p, "select name from sysobjects where type in (\"U\",\"S\") order by name"),
              sorted(concat(kDemoTables, kSystemTables)));
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"TR\" order by name"),
              (Names{"deltitle", "salestrig"}));
    // phone_t is the first user type, numbered 100 as on Sybase, so neither list shows it.
    EXPECT_EQ(list(p, "select name from systypes where usertype > 100 order by name"),
              (Names{"id_t"}));
    EXPECT_EQ(list(p, "select name from sysusers where gid<>uid order by name"),
              (Names{"alice", "bob", "dbo", "guest"}));
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"V\" order by name"),
              (Names{"author_names", "store_totals", "titleview"}));
}

TEST_F(ObjectLists, SystemDatatypesAreSortedBaseTypesWithoutUserTypes) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    const Names types =
        list(c.get(), "select name from systypes where usertype < 100 order by name");
    EXPECT_EQ(types, sorted(types));
    // Every base type the demo tables use, and none of the demo's own types.
    for (const char* base :
         {"bit", "char", "datetime", "float", "int", "money", "numeric", "real", "smallint",
          "smallmoney", "text", "tinyint", "varchar", "binary", "varbinary", "image", "decimal"}) {
        EXPECT_NE(std::find(types.begin(), types.end(), base), types.end()) << base;
    }
    for (const char* user : {"phone_t", "id_t"}) {
        EXPECT_EQ(std::find(types.begin(), types.end(), user), types.end()) << user;
    }
}

TEST_F(ObjectLists, SecondDemoDatabaseShowsItsDifferences) {
    Connection c = open("ostrimdemo2");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    // demo2.sql: bob dropped, carol added, store_totals dropped, reviews and reviewtrig added.
    EXPECT_EQ(list(p, "select name from sysusers where gid<>uid order by name"),
              (Names{"alice", "carol", "dbo", "guest"}));
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"V\" order by name"),
              (Names{"author_names", "titleview"}));
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"TR\" order by name"),
              (Names{"deltitle", "reviewtrig", "salestrig"}));
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"P\" order by name"),
              (Names{"author_report", "byroyalty", "title_sales"}));
    const Names indexes =
        list(p, "select so.name + \".\" + si.name from sysobjects so,sysindexes si where so.id "
                "= si.id  and si.indid<> 0 and so.type in (\"U\",\"S\") order by "
                "so.name,si.indid");
    EXPECT_NE(std::find(indexes.begin(), indexes.end(), "reviews.reviewind"), indexes.end());
    EXPECT_EQ(indexes.size(), 9u);
}

class ObjectDetails : public DemoTest {};

TEST_F(ObjectDetails, ColumnQueryListsColumnsAndParametersInColidOrder) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    auto columns = [&](const std::string& name) {
        return list(p, "select name from syscolumns where id = object_id(\"" + name +
                           "\") order by colid");
    };
    EXPECT_EQ(columns("titles"), (Names{"title_id", "title", "type", "pub_id", "price", "advance",
                                        "royalty", "ytd_sales", "notes", "pubdate"}));
    EXPECT_EQ(columns("titleview"),
              (Names{"title", "au_ord", "au_lname", "price", "ytd_sales", "pub_id"}));
    EXPECT_EQ(columns("author_names"), (Names{"id", "full_name", "city"}));
    EXPECT_EQ(columns("author_report"), (Names{"@state", "@with_titles"}));
    EXPECT_EQ(columns("title_sales"), (Names{"@title_id", "@units", "@orders"}));
    // An empty object list gives an empty name: no rows and no error.
    EXPECT_EQ(columns(""), Names{});
}

TEST_F(ObjectDetails, UserTypeProcedureWithoutExecuteDescribesEachDemoType) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    const BatchResult phone = run(c.get(), "sp_ostrim_get_user_type phone_t");
    EXPECT_EQ(phone.rowResults().size(), 1u);
    EXPECT_EQ(column1(phone),
              (Names{"Type: varchar(20)", "Nulls: null", "Default: none", "Rule: none"}));
    EXPECT_EQ(list(c.get(), "sp_ostrim_get_user_type id_t"),
              (Names{"Type: numeric(8,0)", "Nulls: not null", "Default: none", "Rule: none"}));
}

struct IndexParts {
    std::string head, keys, options, segment;
};

TEST_F(ObjectDetails, IndexProcedureGivesOneRowForEveryListedIndex) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    // From the create index statements of demo.sql.
    const std::map<std::string, IndexParts> expected{
        {"authors.auidind",
         {"create unique clustered index auidind on authors", "au_id", "", "on default"}},
        {"authors.aunmind",
         {"create nonclustered index aunmind on authors", "au_lname, au_fname", "", "on default"}},
        {"publishers.pubind",
         {"create unique clustered index pubind on publishers", "pub_id", "", "on default"}},
        {"sales.salesind",
         {"create clustered index salesind on sales", "title_id, ord_num", "", "on default"}},
        {"sales.salesdateind",
         {"create nonclustered index salesdateind on sales", "ord_date", "", "on default"}},
        {"titleauthor.taind",
         {"create unique clustered index taind on titleauthor", "au_id, title_id", "",
          "on default"}},
        {"titles.titleidind",
         {"create unique clustered index titleidind on titles", "title_id", "", "on default"}},
        {"titles.titleind",
         {"create nonclustered index titleind on titles", "title", "", "on fastseg"}},
    };
    const Names entries =
        list(p, "select so.name + \".\" + si.name from sysobjects so,sysindexes si where so.id "
                "= si.id  and si.indid<> 0 and so.type in (\"U\",\"S\") order by "
                "so.name,si.indid");
    ASSERT_EQ(entries.size(), expected.size());
    for (const std::string& entry : entries) {
        SCOPED_TRACE(entry);
        const size_t dot = entry.find('.');
        ASSERT_NE(dot, std::string::npos);
        const BatchResult r =
            run(p, "sp_ostrim_get_index " + entry.substr(0, dot) + "," + entry.substr(dot + 1));
        ASSERT_EQ(r.rowResults().size(), 1u);
        const ResultSet& set = *r.rowResults()[0];
        ASSERT_EQ(set.rows.size(), 1u);
        ASSERT_GE(set.rows[0].size(), 4u);
        const auto it = expected.find(entry);
        ASSERT_NE(it, expected.end());
        // Column 1 is used untrimmed, except that a trailing blank is allowed.
        EXPECT_EQ(rtrim(text(set.rows[0][0])), it->second.head);
        EXPECT_EQ(text(set.rows[0][0]).substr(0, 7), "create ");
        EXPECT_EQ(trim(text(set.rows[0][1])), it->second.keys);
        EXPECT_EQ(trim(text(set.rows[0][2])), it->second.options);
        EXPECT_EQ(trim(text(set.rows[0][3])), it->second.segment);
    }
    // An index that does not exist gives no row.
    const BatchResult none = run(p, "sp_ostrim_get_index titles,nosuchind");
    for (const ResultSet* set : none.rowResults()) {
        EXPECT_TRUE(set->rows.empty());
    }
}

TEST_F(ObjectDetails, StoredTextJoinsBackToTheCreateStatementOfTheScript) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    auto stored = [&](const std::string& name) {
        return run(p, "select text from syscomments where id = object_id(\"" + name + "\")");
    };
    // author_report is longer than one 255-character row: four rows, joined in the order sent.
    ASSERT_EQ(kAuthorReport.size(), 829u);
    EXPECT_EQ(kAuthorReport, createTextInScript(kDemo, "procedure", "author_report"));
    const BatchResult report = stored("author_report");
    ASSERT_EQ(report.rowResults().size(), 1u);
    const auto& rows = report.rowResults()[0]->rows;
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(text(rows[i][0]).size(), 255u) << "row " << i;
    }
    EXPECT_EQ(joined(report), kAuthorReport);

    const std::vector<std::pair<std::string, std::string>> objects{
        {"procedure", "title_sales"}, {"procedure", "byroyalty"}, {"view", "titleview"},
        {"view", "author_names"},     {"view", "store_totals"},   {"trigger", "deltitle"},
        {"trigger", "salestrig"},     {"rule", "pub_idrule"},     {"default", "typedflt"}};
    for (const auto& [kind, name] : objects) {
        EXPECT_EQ(joined(stored(name)), createTextInScript(kDemo, kind, name)) << name;
    }
}

// One line of the table layout: name, type, null flag, length, precision, colid.
using Layout = std::vector<Names>;

Layout tableLayout(DBPROCESS* p, const std::string& table) {
    const BatchResult r =
        run(p, "select c.name, t.name, convert(varchar(8),convert(bit, (c.status & 8))), "
               "convert(varchar(6),c.length), convert(varchar(6),c.prec), c.colid from "
               "syscolumns c, systypes t where c.id = object_id(\"" +
                   table + "\") and c.usertype *= t.usertype order by c.colid");
    Layout out;
    for (const ResultSet* set : r.rowResults()) {
        for (const Row& row : set->rows) {
            Names line;
            for (const Value& v : row) {
                line.push_back(text(v));
            }
            out.push_back(line);
        }
    }
    return out;
}

TEST_F(ObjectDetails, TableLayoutGivesTypeNullFlagLengthAndPrecision) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
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

// --- DDL generator --------------------------------------------------------------------------

class DdlGenerator : public DemoTest {};

TEST_F(DdlGenerator, DatabaseListOnThreeLinesAndUnorderedObjectLists) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    EXPECT_EQ(list(p, "select name\r\nfrom master..sysdatabases\r\norder by name"), kDatabases);
    EXPECT_EQ(list(p, "select name\nfrom master..sysdatabases\norder by name"), kDatabases);
    EXPECT_EQ(sorted(list(p, "select name from sysobjects where type=\"P\"")),
              (Names{"author_report", "byroyalty", "title_sales"}));
    EXPECT_EQ(sorted(list(p, "select name from sysobjects where type=\"V\"")),
              (Names{"author_names", "store_totals", "titleview"}));
    EXPECT_EQ(sorted(list(p, "select name from sysobjects where type=\"TR\"")),
              (Names{"deltitle", "salestrig"}));
}

TEST_F(DdlGenerator, ObjectSourceOrderedByColidIsTheScriptText) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    auto source = [&](const std::string& name) {
        return joined(run(c.get(), "select text from syscomments where id=object_id(\"" + name +
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

TEST_F(ServerExplorer, NodeListsOfADemoDatabase) {
    Connection c = open("master");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    EXPECT_EQ(list(p, "select name from master..sysdatabases order by name"), kDatabases);
    ASSERT_EQ(dbuse(p, "ostrimdemo"), SUCCEED);
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"S\" order by name"), kSystemTables);
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"U\" order by name"), kDemoTables);
    // No indid filter: tables without a clustered index appear under their own name.
    EXPECT_EQ(list(p, "select name from sysindexes order by name"),
              sorted(concat({"auidind", "aunmind", "blurbs", "pubind", "salesdateind", "salesind",
                             "stores", "taind", "titleidind", "titleind"},
                            kSystemTables)));
    EXPECT_EQ(list(p, "select name from syssegments order by name"),
              (Names{"default", "fastseg", "logsegment", "system"}));
}

TEST_F(ServerExplorer, CopyLooksUpTheIdAndReadsTheTextFromAnotherDatabase) {
    Connection c = open("master");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    const Names id =
        list(p, "select id from ostrimdemo..sysobjects where name = \"author_report\"");
    ASSERT_EQ(id.size(), 1u);
    ASSERT_EQ(list(p, "select convert(varchar(15), id) from ostrimdemo..sysobjects where name = "
                      "\"author_report\" and type = \"P\""),
              id);
    EXPECT_EQ(joined(run(p, "select text from ostrimdemo..syscomments where id=" + id[0])),
              kAuthorReport);
    // A name that is also a column name is a string here, not the column.
    EXPECT_EQ(list(p, "select id from ostrimdemo..sysobjects where name = \"id\""), Names{});
    EXPECT_EQ(list(p, "select id from ostrimdemo..sysobjects where name = \"name\""), Names{});
}

TEST_F(ServerExplorer, CopiedTextRecreatesTheObjectInTheTargetDatabase) {
    Connection source = open("ostrimdemo");
    Connection target = open("ostrimdemo2");
    ASSERT_TRUE(source && target);
    // store_totals exists only in ostrimdemo; its tables exist in both.
    const std::string id = list(source.get(), "select id from ostrimdemo..sysobjects where name "
                                              "= \"store_totals\"")
                               .at(0);
    const std::string view =
        joined(run(source.get(), "select text from ostrimdemo..syscomments where id=" + id));
    ASSERT_EQ(view, createTextInScript(kDemo, "view", "store_totals"));
    run(target.get(), view);
    EXPECT_EQ(list(target.get(), "select type from sysobjects where name = \"store_totals\""),
              Names{"V "});
    EXPECT_EQ(joined(run(target.get(), "select text from syscomments where id = "
                                       "object_id(\"store_totals\")")),
              view);
    // Same rows in both databases: 4 stores.
    EXPECT_EQ(list(target.get(), "select count(*) from store_totals"), Names{"4"});
    // Leave ostrimdemo2 as demo2.sql made it.
    run(target.get(), "drop view store_totals");
    EXPECT_EQ(list(target.get(), "select name from sysobjects where name = \"store_totals\""),
              Names{});
}

// --- Object differences ---------------------------------------------------------------------

class ObjectDifferences : public DemoTest {};

TEST_F(ObjectDifferences, BothSidesListTheirKindsAndTheirOwnTexts) {
    Connection one = open("master");
    Connection two = open("master");
    ASSERT_TRUE(one && two);
    EXPECT_EQ(sorted(list(one.get(), "select name\r\nfrom master..sysdatabases")), kDatabases);
    ASSERT_EQ(dbuse(one.get(), "ostrimdemo"), SUCCEED);
    ASSERT_EQ(dbuse(two.get(), "ostrimdemo2"), SUCCEED);
    const std::string procedures = "select name from sysobjects where type=\"P\" order by name";
    const std::string triggers = "select name from sysobjects where type=\"TR\" order by name";
    const std::string views = "select name from sysobjects where type=\"V\" order by name";
    const std::string tables = "select name from sysobjects where type=\"U\" order by name";
    EXPECT_EQ(list(one.get(), procedures), list(two.get(), procedures));
    EXPECT_EQ(list(one.get(), triggers), (Names{"deltitle", "salestrig"}));
    EXPECT_EQ(list(two.get(), triggers), (Names{"deltitle", "reviewtrig", "salestrig"}));
    EXPECT_EQ(list(one.get(), views), (Names{"author_names", "store_totals", "titleview"}));
    EXPECT_EQ(list(two.get(), views), (Names{"author_names", "titleview"}));
    EXPECT_EQ(list(one.get(), tables), kDemoTables);
    EXPECT_EQ(list(two.get(), tables), (Names{"authors", "blurbs", "publishers", "reviews", "sales",
                                              "stores", "titleauthor", "titles"}));
    // byroyalty has the same name on both sides but demo2.sql re-created it.
    const std::string text = "select text from syscomments where id = object_id(\"byroyalty\")";
    EXPECT_EQ(joined(run(one.get(), text)), createTextInScript(kDemo, "procedure", "byroyalty"));
    EXPECT_EQ(joined(run(two.get(), text)), createTextInScript(kDemo2, "procedure", "byroyalty"));
}

// --- Process monitor ------------------------------------------------------------------------

class ProcessMonitor : public DemoTest {};

// The index of the first column whose name, trimmed and in capitals, is SPID.
int spidColumn(const ResultSet& set) {
    for (size_t i = 0; i < set.columnNames.size(); ++i) {
        std::string n = trim(set.columnNames[i]);
        std::transform(n.begin(), n.end(), n.begin(), ::toupper);
        if (n == "SPID") {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TEST_F(ProcessMonitor, SpWhoWithCarriageReturnThenRowCountListsBothSessions) {
    Connection c = open("ostrimdemo");
    ConnectOptions alice;
    alice.user = "alice";
    alice.password = "alice123";
    Connection other = connectSa(alice);
    ASSERT_TRUE(c && other);
    // alice's default database is ostrimdemo (demo_logins.sql).
    EXPECT_EQ(queryValue(other.get(), "select db_name()"), "ostrimdemo");
    const int mine = dbspid(c.get());
    const int hers = dbspid(other.get());

    const BatchResult who = run(c.get(), "sp_who\r");
    ASSERT_EQ(who.rowResults().size(), 1u);
    const ResultSet& set = *who.rowResults()[0];
    const int spid = spidColumn(set);
    ASSERT_GE(spid, 0);
    auto column = [&](const char* name) {
        for (size_t i = 0; i < set.columnNames.size(); ++i) {
            if (trim(set.columnNames[i]) == name) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    const int login = column("loginame"), dbname = column("dbname");
    ASSERT_GE(login, 0);
    ASSERT_GE(dbname, 0);
    std::map<int, std::pair<std::string, std::string>> sessions;
    for (const Row& row : set.rows) {
        const std::string value = trim(text(row[static_cast<size_t>(spid)]));
        ASSERT_LE(value.size(), 5u);
        sessions[std::stoi(value)] = {trim(text(row[static_cast<size_t>(login)])),
                                      trim(text(row[static_cast<size_t>(dbname)]))};
    }
    EXPECT_EQ(sessions[mine], (std::pair<std::string, std::string>{"sa", "ostrimdemo"}));
    EXPECT_EQ(sessions[hers], (std::pair<std::string, std::string>{"alice", "ostrimdemo"}));

    // The grid's row count: one unnamed column, one row, sp_who's row count.
    const BatchResult count =
        run(c.get(), "select \"(\" + convert(varchar(10),@@rowcount) + \" rows affected)\"");
    ASSERT_EQ(count.rowResults().size(), 1u);
    EXPECT_EQ(count.rowResults()[0]->columnNames, Names{""});
    EXPECT_EQ(column1(count), Names{"(" + std::to_string(set.rows.size()) + " rows affected)"});
}

TEST_F(ProcessMonitor, OwnProcedureGivesSevenColumnsByPosition) {
    Connection c = open("ostrimdemo2");
    ASSERT_TRUE(c);
    const int mine = dbspid(c.get());
    const BatchResult who = run(c.get(), "execute sp_ostrim_who");
    ASSERT_EQ(who.rowResults().size(), 1u);
    const ResultSet& set = *who.rowResults()[0];
    ASSERT_GE(set.columnNames.size(), 7u);
    int found = 0;
    for (const Row& row : set.rows) {
        const std::string spid = text(row[0]);
        EXPECT_LE(spid.size(), 5u);
        if (trim(spid) != std::to_string(mine)) {
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
    Connection c = open("ostrimdemo");
    Connection victim = connectSa();
    ASSERT_TRUE(c && victim);
    const int mine = dbspid(c.get());
    const int other = dbspid(victim.get());
    // What a selection on the wrong row, the own row or a stale row sends.
    for (const auto& [sql, number] :
         std::vector<std::pair<std::string, int>>{{"kill spid", 0},
                                                  {"kill (2 ro", 0},
                                                  {"kill " + std::to_string(mine), 6104},
                                                  {"kill 31999", 6106}}) {
        MessageLog::clear();
        exec(c.get(), sql);
        EXPECT_NE(errorsOf(c.get()), "") << sql;
        if (number) {
            EXPECT_TRUE(MessageLog::find(number)) << sql << "\n" << MessageLog::dump();
        }
        EXPECT_EQ(queryValue(c.get(), "select 1"), "1") << sql;
    }
    run(c.get(), "kill " + std::to_string(other));
    // The killed session goes away: its next batch fails and sp_who no longer lists it.
    exec(victim.get(), "select 1");
    EXPECT_TRUE(dbdead(victim.get()));
    bool gone = false;
    for (int attempt = 0; attempt < 50 && !gone; ++attempt) {
        const BatchResult who = run(c.get(), "sp_who\r");
        ASSERT_EQ(who.rowResults().size(), 1u);
        const int spid = spidColumn(*who.rowResults()[0]);
        ASSERT_GE(spid, 0);
        gone = true;
        for (const Row& row : who.rowResults()[0]->rows) {
            if (trim(text(row[static_cast<size_t>(spid)])) == std::to_string(other)) {
                gone = false;
            }
        }
        if (!gone) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
    EXPECT_TRUE(gone);
}

// --- Database search ------------------------------------------------------------------------

class DatabaseSearch : public DemoTest {};

std::string searchText(const std::string& kind, const std::string& t) {
    return "select distinct so.type + \" - \" + so.name from syscomments sc,sysobjects so where "
           "sc.text like \"%" +
           t + "%\" and so.id = sc.id and so.type=\"" + kind + "\"";
}

TEST_F(DatabaseSearch, EachKindFindsTheObjectsWhoseTextHoldsTheWord) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    // title_sales reads title_id, byroyalty titleauthor, author_report titles.
    EXPECT_EQ(sorted(list(p, searchText("P", "title"))),
              (Names{"P  - author_report", "P  - byroyalty", "P  - title_sales"}));
    EXPECT_EQ(sorted(list(p, searchText("P", "royaltyper"))), (Names{"P  - byroyalty"}));
    EXPECT_EQ(sorted(list(p, searchText("TR", "sales"))),
              (Names{"TR - deltitle", "TR - salestrig"}));
    EXPECT_EQ(sorted(list(p, searchText("TR", "raiserror"))), (Names{"TR - salestrig"}));
    EXPECT_EQ(sorted(list(p, searchText("V", "au_lname"))),
              (Names{"V  - author_names", "V  - titleview"}));
    EXPECT_EQ(sorted(list(p, "select distinct \"T - \" + so.name from syscolumns sc,sysobjects so "
                             "where sc.name like \"%title%\" and so.id = sc.id and so.type=\"U\"")),
              (Names{"T - blurbs", "T - sales", "T - titleauthor", "T - titles"}));
    EXPECT_EQ(sorted(list(p, "select distinct \"T - \" + so.name from syscolumns sc,sysobjects so "
                             "where sc.name like \"%ord%\" and so.id = sc.id and so.type=\"U\"")),
              (Names{"T - sales", "T - titleauthor"}));
}

TEST_F(DatabaseSearch, LikeIsCaseSensitiveAndDoesNotSpanTextRows) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    // Sybase's default binary sort order: "AUTHORS" is not "authors".
    EXPECT_EQ(list(p, searchText("P", "AUTHORS")), Names{});
    EXPECT_EQ(list(p, searchText("P", "authors")), (Names{"P  - author_report"}));
    // "declare @count" is cut by the end of author_report's first 255-character row.
    ASSERT_EQ(kAuthorReport.substr(245, 14), "declare @count");
    EXPECT_EQ(list(p, searchText("P", "declare @count")), Names{});
    EXPECT_EQ(list(p, searchText("P", "declare @c")), (Names{"P  - author_report"}));
}

// --- Form expert ----------------------------------------------------------------------------

class FormExpert : public DemoTest {};

TEST_F(FormExpert, SingleQuotedTableListAndColumnList) {
    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    EXPECT_EQ(sorted(list(c.get(), "select name from sysobjects where type in ('U','S')")),
              sorted(concat(kDemoTables, kSystemTables)));
    EXPECT_EQ(list(c.get(), "select name from syscolumns where id=object_id(\"stores\") order by "
                            "colid"),
              (Names{"stor_id", "stor_name", "city", "state", "payterms"}));
}

// --- Devices --------------------------------------------------------------------------------

class Devices : public DemoTest {};

TEST_F(Devices, DeviceListAndDeviceRows) {
    Connection c = open("master");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    // The server's devices (catalog bootstrap): master, sysprocsdev, datadev (mirrored), logdev
    // and a tape dump device.
    EXPECT_EQ(sorted(list(p, "select name from master..sysdevices")),
              (Names{"datadev", "logdev", "master", "sysprocsdev", "tapedump1"}));
    auto deviceRow = [&](const std::string& name) {
        const BatchResult r = run(p, "select name,phyname,low,high,mirrorname from "
                                     "master..sysdevices where name = \"" +
                                         name + "\"");
        Names out;
        if (r.rowResults().size() == 1 && r.rowResults()[0]->rows.size() == 1) {
            for (const Value& v : r.rowResults()[0]->rows[0]) {
                out.push_back(text(v));
            }
        }
        return out;
    };
    const std::string dir = server().dataDir();
    // low = vdevno * 2^24 + first page; high = low + pages - 1. master: 51200 pages = 100 MB.
    EXPECT_EQ(deviceRow("master"), (Names{"master", dir + "/master.dat", "0", "51199", ""}));
    // datadev: device 2, 102400 pages = 200 MB, mirrored.
    EXPECT_EQ(deviceRow("datadev"), (Names{"datadev", dir + "/data.dat", "33554432", "33656831",
                                           dir + "/data_mirror.dat"}));
    // A device name equal to a column name must not match every row.
    EXPECT_EQ(deviceRow("name"), Names{});
}

TEST_F(Devices, PagesPerMegabyteAndDeviceNumberComeFromSptValues) {
    Connection c = open("master");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    // 2048-byte pages: 512 pages per MB; the size of master is (51199 - 0 + 1) / 512 = 100 MB.
    const Names pages = list(p, "select numpgsmb = (1048576. / v.low) from master.dbo.spt_values "
                                "v where v.number = 1 and v.type = \"E\"");
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_TRUE(std::regex_match(pages[0], std::regex(R"(512(\.0*)?)"))) << pages[0];
    // low = vdevno * 2^24 + first page: master is device 0, sysprocsdev 1, datadev 2, logdev 3.
    for (const auto& [device, vdevno] : std::vector<std::pair<std::string, std::string>>{
             {"master", "0"}, {"sysprocsdev", "1"}, {"datadev", "2"}, {"logdev", "3"}}) {
        EXPECT_EQ(list(p, "select device_number = convert(tinyint, substring(convert(binary(4),"
                          "d.low),v.low,1)) from master.dbo.sysdevices d, master.dbo.spt_values "
                          "v  where d.name = \"" +
                              device + "\" and v.type = \"E\" and v.number = 3"),
                  Names{vdevno})
            << device;
    }
}

// --- The program's server-side procedures, installed from sql/ with FreeTDS's bsqldb --------

class ServerProcedureScripts : public DemoTest {};

struct ToolOutput {
    int status = -1;
    std::string text;
};

// bsqldb on one script file, stdout and stderr together.
ToolOutput bsqldb(const std::string& host, const std::string& db, const std::string& file) {
    ::setenv("TDSVER", "5.0", 1);
    ::setenv("LC_ALL", "C", 1);
    const std::string cmd =
        "bsqldb -S " + host + " -U sa -P '' -D " + db + " -i '" + file + "' 2>&1";
    ToolOutput out;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (!pipe) {
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
        out.text.append(buf, n);
    }
    out.status = ::pclose(pipe);
    return out;
}

TEST_F(ServerProcedureScripts, InstallThroughBsqldbThenCallInTheWorkbenchShape) {
    const std::string dir = OSTRIM_SQL_DIR;
    for (const std::string name :
         {"sp_ostrim_get_index", "sp_ostrim_get_user_type", "sp_ostrim_who"}) {
        SCOPED_TRACE(name);
        // Each script drops the procedure the server installed at start and creates it again.
        const ToolOutput run1 = bsqldb(host(), "master", dir + "/" + name + ".sql");
        EXPECT_EQ(run1.status, 0) << run1.text;
        EXPECT_EQ(run1.text.find("Msg "), std::string::npos) << run1.text;
        Connection c = open("master");
        ASSERT_TRUE(c);
        EXPECT_EQ(list(c.get(), "select type from sysobjects where name = \"" + name + "\""),
                  Names{"P "});
        EXPECT_EQ(joined(run(c.get(), "select text from syscomments where id = object_id(\"" +
                                          name + "\")")),
                  createTextInScript(dir + "/" + name + ".sql", "procedure", name));
    }

    Connection c = open("ostrimdemo");
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    // Index: one result set, one row, at least four columns.
    for (const auto& [call, head, keys, segment] :
         std::vector<std::tuple<std::string, std::string, std::string, std::string>>{
             {"sp_ostrim_get_index titles,titleidind",
              "create unique clustered index titleidind on titles", "title_id", "on default"},
             {"sp_ostrim_get_index titles,titleind", "create nonclustered index titleind on titles",
              "title", "on fastseg"},
             {"sp_ostrim_get_index titleauthor,taind",
              "create unique clustered index taind on titleauthor", "au_id, title_id",
              "on default"}}) {
        SCOPED_TRACE(call);
        const BatchResult r = run(p, call);
        ASSERT_EQ(r.rowResults().size(), 1u);
        const ResultSet& set = *r.rowResults()[0];
        ASSERT_EQ(set.rows.size(), 1u);
        ASSERT_GE(set.rows[0].size(), 4u);
        EXPECT_EQ(rtrim(text(set.rows[0][0])), head);
        EXPECT_EQ(trim(text(set.rows[0][1])), keys);
        EXPECT_EQ(trim(text(set.rows[0][2])), "");
        EXPECT_EQ(trim(text(set.rows[0][3])), segment);
    }
    // User type: rows in column 1, one result set.
    const BatchResult type = run(p, "sp_ostrim_get_user_type phone_t");
    EXPECT_EQ(type.rowResults().size(), 1u);
    EXPECT_EQ(column1(type),
              (Names{"Type: varchar(20)", "Nulls: null", "Default: none", "Rule: none"}));
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
