// DDL round trips: each kind of object is created, found in the catalogue with Sybase's codes
// and shapes, dropped with the statement the workbench sends and seen gone. Each test works in
// a database of its own, made with create database and entered with use.

#include "catalog_checks.h"
#include "dblib_client.h"
#include "simserver_environment.h"

#include <set>

namespace ostrim::test {
namespace {

using Rows = std::vector<Names>;

// Every row of a query, NULL as "NULL" so that it can be told apart.
Rows rowsOf(DBPROCESS* p, const std::string& sql) {
    return table(run(p, sql), "NULL");
}

std::string one(DBPROCESS* p, const std::string& sql) {
    const auto rows = rowsOf(p, sql);
    return rows.size() == 1 && rows[0].size() == 1 ? rows[0][0] : "<not one value>";
}

std::string objectId(DBPROCESS* p, const std::string& name) {
    return one(p, "select id from sysobjects where name = \"" + name + "\"");
}

class Ddl : public SimServerTest {
protected:
    // The scratch database all DDL tests share (objects are named per test), entered with use.
    // It is made on first use with create database. The fixture keeps the connection open.
    DBPROCESS* scratch() {
        m_connection = connectSa();
        DBPROCESS* p = m_connection.get();
        if (!p) {
            return p;
        }
        if (list(p, "select name from master..sysdatabases where name = \"" + kScratch + "\"")
                .empty()) {
            run(p, "create database " + kScratch);
        }
        run(p, "use " + kScratch);
        EXPECT_EQ(queryValue(p, "select db_name()"), kScratch);
        return p;
    }

    static inline const std::string kScratch = "ddl_scratch";

    static std::string objectType(DBPROCESS* p, const std::string& name) {
        const Names t = list(p, "select type from sysobjects where name = \"" + name + "\"");
        return t.size() == 1 ? t[0] : "<" + std::to_string(t.size()) + " rows>";
    }

    // A drop removes everything the catalogue holds about the object; a second drop fails.
    static void expectDropped(DBPROCESS* p, const std::string& drop, const std::string& id) {
        run(p, drop);
        EXPECT_EQ(catalogRows(p, id), 0) << drop;
        expectRefused(p, drop, 3701);
    }

    // Everything the catalogue holds about an object id.
    static int catalogRows(DBPROCESS* p, const std::string& id) {
        int n = 0;
        for (const char* table :
             {"sysobjects", "syscolumns", "syscomments", "sysindexes", "sysprotects"}) {
            n += std::stoi(
                one(p, std::string("select count(*) from ") + table + " where id = " + id));
        }
        return n;
    }

private:
    Connection m_connection;
};

// --- Databases ------------------------------------------------------------------------------

class Databases : public Ddl {};

TEST_F(Databases, CreateDatabaseGivesAnEmptyCatalogueAndUseEntersIt) {
    Connection c = connectSa();
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    run(p, "create database ddl_db");
    EXPECT_EQ(list(p, "select name from master..sysdatabases where name = \"ddl_db\""),
              Names{"ddl_db"});
    run(p, "use ddl_db");
    EXPECT_EQ(queryValue(p, "select db_name()"), "ddl_db");
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"U\" order by name"), Names{});
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"S\" order by name"),
              (Names{"syscolumns", "syscomments", "sysindexes", "sysobjects", "sysprotects",
                     "syssegments", "systypes", "sysusers"}));
    EXPECT_EQ(list(p, "select name from syssegments order by segment"),
              (Names{"system", "default", "logsegment"}));
    EXPECT_EQ(list(p, "select name from sysusers where gid=uid order by name"), Names{"public"});
    EXPECT_EQ(one(p, "select db_id(\"ddl_db\") - db_id()"), "0");
    // Sybase: database already exists.
    expectRefused(p, "create database ddl_db", 1801);
    run(p, "use master");
    EXPECT_EQ(queryValue(p, "select db_name()"), "master");
}

// --- Tables and user types ------------------------------------------------------------------

class Tables : public Ddl {};

TEST_F(Tables, ManyTypesUserTypeAndNullabilityInSyscolumns) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "sp_addtype ddl_code_t, \"char(3)\", \"not null\"");
    // The first user type of a database is numbered 100, the next ones above it.
    const std::string usertype =
        one(p, "select usertype from systypes where name = \"ddl_code_t\"");
    EXPECT_GE(std::stoi(usertype), 100);
    EXPECT_EQ(rowsOf(p, "select type, length, allownulls from systypes where name = "
                        "\"ddl_code_t\""),
              (Rows{{"47", "3", "0"}}));
    run(p, "create table ddl_types (a tinyint not null, b smallint null, c int not null, "
           "d numeric(10,3) null, e decimal(6,2) not null, f float null, g real not null, "
           "h money null, i smallmoney not null, j datetime null, k smalldatetime not null, "
           "l char(10) not null, m varchar(30) null, n binary(4) null, o varbinary(8) not null, "
           "p bit not null, q text null, r image null, s ddl_code_t, u ddl_code_t null)");
    EXPECT_EQ(objectType(p, "ddl_types"), "U ");
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"U\" and name like \"ddl_ty%\""),
              Names{"ddl_types"});
    // name, type, usertype, length, prec, scale, allows NULL (status bit 8). Sybase codes:
    // a nullable integer, float, money or datetime column takes the "n" type (38, 109, 110,
    // 111), a nullable char becomes 39 and binary 37; numeric(p) takes 2 + p*log2(10)/8 bytes.
    const Rows expected{
        {"a", "48", "5", "1", "NULL", "NULL", "0"},   {"b", "38", "6", "2", "NULL", "NULL", "8"},
        {"c", "56", "7", "4", "NULL", "NULL", "0"},   {"d", "108", "10", "6", "10", "3", "8"},
        {"e", "55", "26", "4", "6", "2", "0"},        {"f", "109", "8", "8", "NULL", "NULL", "8"},
        {"g", "59", "23", "4", "NULL", "NULL", "0"},  {"h", "110", "11", "8", "NULL", "NULL", "8"},
        {"i", "122", "21", "4", "NULL", "NULL", "0"}, {"j", "111", "12", "8", "NULL", "NULL", "8"},
        {"k", "58", "22", "4", "NULL", "NULL", "0"},  {"l", "47", "1", "10", "NULL", "NULL", "0"},
        {"m", "39", "2", "30", "NULL", "NULL", "8"},  {"n", "37", "3", "4", "NULL", "NULL", "8"},
        {"o", "37", "4", "8", "NULL", "NULL", "0"},   {"p", "50", "16", "1", "NULL", "NULL", "0"},
        {"q", "35", "19", "16", "NULL", "NULL", "8"}, {"r", "34", "20", "16", "NULL", "NULL", "8"},
        {"s", "47", "100", "3", "NULL", "NULL", "0"}, {"u", "39", "100", "3", "NULL", "NULL", "8"},
    };
    const auto actual = rowsOf(p, "select name, type, usertype, length, prec, scale, status & 8 "
                                  "from syscolumns where id = object_id(\"ddl_types\") order by "
                                  "colid");
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "column " << expected[i][0];
    }
    EXPECT_EQ(list(p, "select convert(varchar(3), colid) from syscolumns where id = "
                      "object_id(\"ddl_types\") and colid between 1 and 20"),
              (Names{"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10",
                     "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"}));
    // A table without a clustered index has its indid-0 row, named like the table.
    EXPECT_EQ(rowsOf(p, "select name, indid from sysindexes where id = object_id(\"ddl_types\")"),
              (Rows{{"ddl_types", "0"}}));
    // The type is in use: it cannot be dropped yet.
    expectRefused(p, "execute sp_droptype ddl_code_t", 17342);

    expectRefused(p, "create table ddl_types (a int)", 2714);
    expectDropped(p, "drop table ddl_types", objectId(p, "ddl_types"));
    EXPECT_EQ(one(p, "select object_id(\"ddl_types\")"), "NULL");
    run(p, "execute sp_droptype ddl_code_t");
    EXPECT_EQ(list(p, "select name from systypes where name = \"ddl_code_t\""), Names{});
}

// --- Views ----------------------------------------------------------------------------------

class Views : public Ddl {};

TEST_F(Views, TextInRowsOf255JoinsBackAndColumnsAreRecorded) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "create table ddl_base (k int not null, v varchar(20) null)");
    // 20 lines of 40 characters: 800 characters of comment, so the text needs 4 rows.
    std::string comment;
    for (int i = 0; i < 20; ++i) {
        comment += "-- " + std::string(36, static_cast<char>('a' + i)) + "\n";
    }
    const std::string view = "create view ddl_view (key_value, text_value)\nas\n" + comment +
                             "select k, v from ddl_base where k > 0";
    ASSERT_GT(view.size(), 3u * 255u);
    run(p, view);
    EXPECT_EQ(objectType(p, "ddl_view"), "V ");
    EXPECT_EQ(list(p, "select name from syscolumns where id = object_id(\"ddl_view\") order by "
                      "colid"),
              (Names{"key_value", "text_value"}));
    const auto rows = rowsOf(p, "select colid, datalength(text) from syscomments where id = "
                                "object_id(\"ddl_view\") order by colid");
    ASSERT_EQ(rows.size(), 4u);
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][0], std::to_string(i + 1));
        EXPECT_EQ(rows[i][1], std::to_string(i < 3 ? 255 : view.size() - 3 * 255));
    }
    EXPECT_EQ(storedText(p, "ddl_view"), view);
    expectRefused(p, view, 2714);
    expectDropped(p, "drop view ddl_view", objectId(p, "ddl_view"));
}

// --- Procedures -----------------------------------------------------------------------------

class Procedures : public Ddl {};

TEST_F(Procedures, ParametersWithDefaultsAndOutputsAndTheirCatalogueRows) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    const std::string proc = "create procedure ddl_proc @a int, @b varchar(10) = \"x\",\n"
                             "    @c int = null output, @d money output\n"
                             "as\n"
                             "select @c = @a * 2, @d = @a + 0.5\n"
                             "select @b\n"
                             "return 3";
    run(p, proc);
    EXPECT_EQ(objectType(p, "ddl_proc"), "P ");
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"P\" and name like \"ddl_pr%\""),
              Names{"ddl_proc"});
    // name, usertype, length, output (status bit 0x40).
    EXPECT_EQ(rowsOf(p, "select name, usertype, length, status & 64 from syscolumns where id = "
                        "object_id(\"ddl_proc\") order by colid"),
              (Rows{{"@a", "7", "4", "0"},
                    {"@b", "2", "10", "0"},
                    {"@c", "7", "4", "64"},
                    {"@d", "11", "8", "64"}}));
    EXPECT_EQ(storedText(p, "ddl_proc"), proc);

    // Defaults and outputs work.
    const BatchResult r = run(p, "declare @r int, @m money\n"
                                 "execute ddl_proc 5, @c = @r output, @d = @m output\n"
                                 "select @r, convert(varchar(10), @m)");
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0]->rows.at(0).at(0), Value("x"));
    EXPECT_EQ(sets[1]->rows.at(0).at(0), Value("10"));
    EXPECT_EQ(sets[1]->rows.at(0).at(1), Value("5.50"));

    expectRefused(p, proc, 2714);
    expectRefused(p, "execute ddl_nosuchproc", 2812);
    expectRefused(p, "ddl_nosuchproc 1, 2", 2812);
    expectDropped(p, "drop procedure ddl_proc", objectId(p, "ddl_proc"));
    expectRefused(p, "execute ddl_proc 1", 2812);
}

// --- Triggers -------------------------------------------------------------------------------

class Triggers : public Ddl {};

TEST_F(Triggers, TableRowPointsAtItsTriggersAndDropClearsThem) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "create table ddl_trig_t (a int not null)");
    const std::string iu = "create trigger ddl_trig_iu on ddl_trig_t for insert, update\nas\n"
                           "if exists (select 1 from inserted where a < 0)\n"
                           "    rollback transaction";
    const std::string del = "create trigger ddl_trig_d on ddl_trig_t for delete\nas\n"
                            "print \"deleted\"";
    run(p, iu);
    run(p, del);
    EXPECT_EQ(objectType(p, "ddl_trig_iu"), "TR");
    EXPECT_EQ(objectType(p, "ddl_trig_d"), "TR");
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"TR\" and name like \"ddl_trig%\" "
                      "order by name"),
              (Names{"ddl_trig_d", "ddl_trig_iu"}));
    const std::string idIu = objectId(p, "ddl_trig_iu");
    const std::string idDel = objectId(p, "ddl_trig_d");
    EXPECT_EQ(rowsOf(p, "select instrig, updtrig, deltrig from sysobjects where name = "
                        "\"ddl_trig_t\""),
              (Rows{{idIu, idIu, idDel}}));
    // On Sybase a trigger's own deltrig column holds the id of its table.
    const std::string table = objectId(p, "ddl_trig_t");
    EXPECT_EQ(one(p, "select deltrig from sysobjects where name = \"ddl_trig_iu\""), table);
    EXPECT_EQ(joined(run(p, "select text from syscomments where id = " + idIu)), iu);
    expectRefused(p, iu, 2714);

    // The server stores and lists triggers but does not run their bodies.
    MessageLog::clear();
    exec(p, "insert ddl_trig_t values (-1)");
    EXPECT_EQ(one(p, "select count(*) from ddl_trig_t"), "1");

    expectDropped(p, "drop trigger ddl_trig_d", idDel);
    EXPECT_EQ(rowsOf(p, "select instrig, updtrig, deltrig from sysobjects where name = "
                        "\"ddl_trig_t\""),
              (Rows{{idIu, idIu, "0"}}));
    // Dropping the table takes its remaining trigger with it.
    run(p, "drop table ddl_trig_t");
    EXPECT_EQ(catalogRows(p, idIu), 0);
}

// --- Indexes --------------------------------------------------------------------------------

class Indexes : public Ddl {};

TEST_F(Indexes, ClusteredReplacesTheHeapRowNonclusteredFollowAndSegmentsAreKept) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "execute sp_addsegment ddl_seg, " + kScratch + ", master");
    const std::string segment = one(p, "select segment from syssegments where name = \"ddl_seg\"");
    run(p, "create table ddl_ix (a int not null, b char(5) not null, c varchar(10) null)");
    run(p, "create nonclustered index ix_b on ddl_ix (b, c)");
    // name, indid, unique (status bit 2), segment. Without a clustered index the heap row stays.
    const std::string query = "select name, indid, status & 2, segment from sysindexes where id "
                              "= object_id(\"ddl_ix\") order by indid";
    EXPECT_EQ(rowsOf(p, query), (Rows{{"ddl_ix", "0", "0", "1"}, {"ix_b", "2", "0", "1"}}));
    run(p, "create unique clustered index ix_a on ddl_ix (a)");
    run(p, "create unique nonclustered index ix_c on ddl_ix (c) on ddl_seg");
    EXPECT_EQ(
        rowsOf(p, query),
        (Rows{{"ix_a", "1", "2", "1"}, {"ix_b", "2", "0", "1"}, {"ix_c", "3", "2", segment}}));
    EXPECT_EQ(rowsOf(p, "select index_col(\"ddl_ix\", 2, 1), index_col(\"ddl_ix\", 2, 2), "
                        "index_col(\"ddl_ix\", 1, 1)"),
              (Rows{{"b", "c", "a"}}));
    EXPECT_EQ(list(p, kIndexList), (Names{"ddl_ix.ix_a", "ddl_ix.ix_b", "ddl_ix.ix_c"}));
    // The unique index is enforced.
    run(p, "insert ddl_ix values (1, \"x\", \"one\")");
    MessageLog::clear();
    exec(p, "insert ddl_ix values (1, \"y\", \"two\")");
    EXPECT_EQ(one(p, "select count(*) from ddl_ix"), "1");

    expectRefused(p, "create nonclustered index ix_b on ddl_ix (c)", 1913);
    run(p, "drop index ddl_ix.ix_a");
    EXPECT_EQ(
        rowsOf(p, query),
        (Rows{{"ddl_ix", "0", "0", "1"}, {"ix_b", "2", "0", "1"}, {"ix_c", "3", "2", segment}}));
    MessageLog::clear();
    exec(p, "drop index ddl_ix.ix_a");
    EXPECT_NE(errorsOf(p), "");
    run(p, "drop index ddl_ix.ix_c");
    run(p, "drop index ddl_ix.ix_b");
    EXPECT_EQ(rowsOf(p, query), (Rows{{"ddl_ix", "0", "0", "1"}}));
}

// --- Rules and defaults ---------------------------------------------------------------------

class RulesAndDefaults : public Ddl {};

TEST_F(RulesAndDefaults, CreateBindAndDrop) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "create table ddl_rt (qty int null, note varchar(10) null)");
    const std::string rule = "create rule ddl_positive as @v > 0";
    const std::string dflt = "create default ddl_zero as 0";
    run(p, rule);
    run(p, dflt);
    EXPECT_EQ(objectType(p, "ddl_positive"), "R ");
    EXPECT_EQ(objectType(p, "ddl_zero"), "D ");
    EXPECT_EQ(list(p, "select name from sysobjects where type=\"R\" and name like \"ddl_pos%\""),
              Names{"ddl_positive"});
    EXPECT_EQ(storedText(p, "ddl_positive"), rule);
    EXPECT_EQ(storedText(p, "ddl_zero"), dflt);
    run(p, "execute sp_bindrule ddl_positive, \"ddl_rt.qty\"");
    run(p, "execute sp_bindefault ddl_zero, \"ddl_rt.qty\"");
    EXPECT_EQ(rowsOf(p, "select domain - object_id(\"ddl_positive\"), cdefault - "
                        "object_id(\"ddl_zero\") from syscolumns where id = object_id(\"ddl_rt\") "
                        "and name = \"qty\""),
              (Rows{{"0", "0"}}));
    expectRefused(p, rule, 2714);
    expectRefused(p, dflt, 2714);

    run(p, "drop table ddl_rt");
    expectDropped(p, "drop rule ddl_positive", objectId(p, "ddl_positive"));
    expectDropped(p, "drop default ddl_zero", objectId(p, "ddl_zero"));
    EXPECT_EQ(list(p, "select name from sysobjects where name in (\"ddl_positive\", \"ddl_zero\")"),
              Names{});
}

// --- Users, groups, logins and permissions --------------------------------------------------

class Security : public Ddl {};

TEST_F(Security, LoginsUsersAndGroupsComeAndGo) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "execute sp_addlogin ddl_login, \"secret12\", " + kScratch);
    EXPECT_EQ(rowsOf(p, "select name, dbname from master..syslogins where name = \"ddl_login\""),
              (Rows{{"ddl_login", kScratch}}));
    run(p, "execute sp_addgroup ddl_grp");
    run(p, "execute sp_adduser ddl_login, ddl_user, ddl_grp");
    EXPECT_EQ(list(p,
                   "select name from sysusers where gid=uid and name in (\"ddl_grp\", \"public\") "
                   "order by name"),
              (Names{"ddl_grp", "public"}));
    const Names users = list(p, "select name from sysusers where gid<>uid order by name");
    EXPECT_NE(std::find(users.begin(), users.end(), "ddl_user"), users.end());
    EXPECT_EQ(one(p, "select count(*) from sysusers u, sysusers g, master..syslogins l where "
                     "u.name = \"ddl_user\" and g.name = \"ddl_grp\" and u.gid = g.uid and "
                     "u.suid = l.suid and l.name = \"ddl_login\""),
              "1");
    {
        Connection user = connectSa(loginOf("ddl_login", "secret12"));
        ASSERT_TRUE(user);
        EXPECT_EQ(queryValue(user.get(), "select db_name()"), kScratch);
        EXPECT_EQ(queryValue(user.get(), "select user_name()"), "ddl_user");
    }
    // A group with members stays.
    expectRefused(p, "execute sp_dropgroup ddl_grp", 17334);
    run(p, "execute sp_dropuser ddl_user");
    run(p, "execute sp_dropgroup ddl_grp");
    EXPECT_EQ(list(p, "select name from sysusers where name like \"ddl%\""), Names{});
    run(p, "execute sp_droplogin ddl_login");
    EXPECT_EQ(list(p, "select name from master..syslogins where name = \"ddl_login\""), Names{});
    MessageLog::clear();
    EXPECT_FALSE(connect(host(), loginOf("ddl_login", "secret12")));
}

TEST_F(Security, GrantAndRevokeWriteSybaseActionCodes) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "create table ddl_gt (a int null)");
    run(p, "create procedure ddl_gp as select 1");
    run(p, "execute sp_addgroup ddl_readers");
    const std::string table = objectId(p, "ddl_gt");
    const std::string proc = objectId(p, "ddl_gp");
    const std::string group = one(p, "select uid from sysusers where name = \"ddl_readers\"");
    run(p, "grant select on ddl_gt to public");
    run(p, "grant insert, delete, update on ddl_gt to ddl_readers");
    run(p, "grant references on ddl_gt to ddl_readers");
    run(p, "grant execute on ddl_gp to public");
    run(p, "grant create table to ddl_readers");
    // id, uid, action, protecttype (1: grant). 193 select, 195 insert, 196 delete, 197 update,
    // 151 references, 224 execute, 198 create table (id 0: a statement permission).
    const std::string query = "select id, uid, action, protecttype from sysprotects where id in "
                              "(0, " +
                              table + ", " + proc + ") order by action, id, uid";
    EXPECT_EQ(rowsOf(p, query), (Rows{{table, group, "151", "1"},
                                      {table, "0", "193", "1"},
                                      {table, group, "195", "1"},
                                      {table, group, "196", "1"},
                                      {table, group, "197", "1"},
                                      {"0", group, "198", "1"},
                                      {proc, "0", "224", "1"}}));
    run(p, "revoke select on ddl_gt from public");
    run(p, "revoke insert, delete, update, references on ddl_gt from ddl_readers");
    run(p, "revoke create table from ddl_readers");
    EXPECT_EQ(rowsOf(p, "select id, uid, action from sysprotects where protecttype = 1 and id in "
                        "(0, " +
                            table + ", " + proc + ")"),
              (Rows{{proc, "0", "224"}}));
    // grant all on a table: delete, insert, references, select, update.
    run(p, "grant all on ddl_gt to ddl_readers");
    EXPECT_EQ(list(p, "select convert(varchar(5), action) from sysprotects where protecttype = 1 "
                      "and id = " +
                          table + " order by action"),
              (Names{"151", "193", "195", "196", "197"}));
    // Dropping the objects drops their permissions.
    run(p, "drop table ddl_gt");
    run(p, "drop procedure ddl_gp");
    EXPECT_EQ(one(p, "select count(*) from sysprotects where id in (" + table + ", " + proc + ")"),
              "0");
    run(p, "execute sp_dropgroup ddl_readers");
}

// --- The workbench's drop texts -------------------------------------------------------------

TEST_F(Security, WorkbenchDropTextsRemoveEachKind) {
    DBPROCESS* p = scratch();
    ASSERT_TRUE(p);
    run(p, "sp_addtype ddl_dt, int");
    run(p, "execute sp_addgroup ddl_dg");
    run(p, "execute sp_addlogin ddl_dl, \"secret12\"");
    run(p, "execute sp_adduser ddl_dl, ddl_du");
    run(p, "create table ddl_dtab (a int not null)");
    run(p, "create index ddl_dix on ddl_dtab (a)");
    run(p, "create view ddl_dview as select a from ddl_dtab");
    run(p, "create procedure ddl_dproc as select 1");
    run(p, "create trigger ddl_dtrig on ddl_dtab for insert as print \"x\"");
    run(p, "create rule ddl_drule as @x > 1");
    for (const auto& [sql, check] : std::vector<std::pair<std::string, std::string>>{
             {"execute sp_dropuser ddl_du", "select name from sysusers where name = \"ddl_du\""},
             {"execute sp_dropgroup ddl_dg", "select name from sysusers where name = \"ddl_dg\""},
             {"execute sp_droplogin ddl_dl",
              "select name from master..syslogins where name = \"ddl_dl\""},
             {"execute sp_droptype ddl_dt", "select name from systypes where name = \"ddl_dt\""},
             {"drop index ddl_dtab.ddl_dix",
              "select name from sysindexes where name = \"ddl_dix\""},
             {"drop procedure ddl_dproc", "select name from sysobjects where name = \"ddl_dproc\""},
             {"drop rule ddl_drule", "select name from sysobjects where name = \"ddl_drule\""},
             {"drop trigger ddl_dtrig", "select name from sysobjects where name = \"ddl_dtrig\""},
             {"drop view ddl_dview", "select name from sysobjects where name = \"ddl_dview\""},
             {"drop table ddl_dtab", "select name from sysobjects where name = \"ddl_dtab\""}}) {
        run(p, sql);
        EXPECT_EQ(list(p, check), Names{}) << sql;
    }
}

// --- Many databases: last, because a failure here can stop the server from taking logins -----

class ManyDatabases : public Ddl {};

TEST_F(ManyDatabases, TwelveUserDatabasesCanAllBeUsedFromNewLogins) {
    Connection c = connectSa();
    ASSERT_TRUE(c);
    const int existing = std::stoi(one(c.get(), "select count(*) from master..sysdatabases"));
    for (int i = existing; i < 15; ++i) {
        run(c.get(), "create database ddl_many" + std::to_string(i));
    }
    const Names all = list(c.get(), "select name from master..sysdatabases order by dbid");
    ASSERT_EQ(all.size(), 15u);
    Connection fresh = connectSa();
    ASSERT_TRUE(fresh);
    for (const std::string& db : all) {
        run(fresh.get(), "use " + db);
        EXPECT_EQ(queryValue(fresh.get(), "select db_name()"), db);
    }
}

} // namespace
} // namespace ostrim::test
