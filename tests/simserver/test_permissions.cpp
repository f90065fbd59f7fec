// Object permissions as Sybase checks them, through real DB-Library logins of the demo's users:
// alice (group readers) and bob. Refusals are message 229 at severity 14 with Sybase's text.
// Objects made here are named perm_* and differ per test, so the tests also share one server.

#include "catalog_checks.h"
#include "dblib_client.h"
#include "simserver_environment.h"

namespace ostrim::test {
namespace {

[[maybe_unused]] const bool g_demoServer = useDemoServer();

std::string denied(const std::string& action, const std::string& object,
                   const std::string& owner = "dbo", const std::string& db = "ostrimdemo") {
    return action + " permission denied on object " + object + ", database " + db + ", owner " +
           owner;
}

std::vector<ServerMessage> errorMessages(DBPROCESS* p) {
    std::vector<ServerMessage> out;
    for (const auto& m : MessageLog::messagesFor(p)) {
        if (m.severity > 10) {
            out.push_back(m);
        }
    }
    return out;
}

class Permissions : public SimServerTest {
protected:
    static Connection login(const std::string& user, const std::string& password) {
        Connection c = connectSa(loginOf(user, password));
        if (c) {
            EXPECT_EQ(queryValue(c.get(), "select db_name()"), "ostrimdemo") << user;
        }
        return c;
    }
    static Connection alice() { return login("alice", "alice123"); }
    static Connection bob() { return login("bob", "bob12345"); }
    static Connection sa() {
        Connection c = connectSa();
        if (c) {
            run(c.get(), "use ostrimdemo");
        }
        return c;
    }

    // refusal empty: the batch runs without any error. Otherwise it meets exactly one error,
    // message 229 at severity 14 with this text.
    static void expectOutcome(DBPROCESS* p, const std::string& sql, const std::string& refusal,
                              const std::string& who = "") {
        if (refusal.empty()) {
            MessageLog::clear();
            const BatchResult r = exec(p, sql);
            EXPECT_TRUE(errorMessages(p).empty()) << who << ": " << sql << "\n"
                                                  << MessageLog::dump();
            EXPECT_EQ(r.sqlRc, SUCCEED) << who << ": " << sql;
            return;
        }
        expectOneError(p, sql, 229, refusal, who);
        EXPECT_EQ(queryValue(p, "select 42"), "42") << "connection unusable after: " << sql;
    }

    static void expectGrantRefused(DBPROCESS* p, const std::string& sql) {
        expectOneError(p, sql, 4613, "Grantor does not have GRANT permission.");
    }

    // The batch meets exactly one error, at severity 14.
    static void expectOneError(DBPROCESS* p, const std::string& sql, int number,
                               const std::string& text, const std::string& who = "") {
        MessageLog::clear();
        exec(p, sql);
        const auto errors = errorMessages(p);
        ASSERT_EQ(errors.size(), 1u) << who << ": " << sql << "\n" << MessageLog::dump();
        EXPECT_EQ(errors[0].number, number) << who << ": " << sql;
        EXPECT_EQ(errors[0].severity, 14) << who << ": " << sql;
        EXPECT_EQ(rtrim(errors[0].text), text) << who << ": " << sql;
    }
};

struct Case {
    const char* who; // "alice" or "bob"
    std::string sql;
    std::string refusal; // empty: allowed
};

// demo.sql: readers (alice) may select titles and authors; public may select titleview and
// execute title_sales; alice has all on sales; bob may insert into and update stores. Allowed
// writes name no row, so the demo data stays as it is.
TEST_F(Permissions, DemoGrantsDecideWhatAliceAndBobMayDo) {
    Connection s = sa(), a = alice(), b = bob();
    ASSERT_TRUE(s && a && b);
    const std::string data = "select (select count(*) from sales) + (select count(*) from "
                             "stores) + (select count(*) from titles)";
    const std::string before = queryValue(s.get(), data);
    const std::string titleSales =
        "declare @u int, @o int exec title_sales 'BU1032', @u output, @o output";
    const std::vector<Case> cases = {
        {"alice", "select count(*) from titles", ""},
        {"alice", "select count(*) from authors", ""},
        {"alice", "delete titles where title_id = 'none'", denied("DELETE", "titles")},
        {"alice", "insert titles (title_id, title, type) values ('ZZ0000', 'x', 'x')",
         denied("INSERT", "titles")},
        {"alice", "update titles set price = price where title_id = 'none'",
         denied("UPDATE", "titles")},
        {"alice", "select count(*) from stores", denied("SELECT", "stores")},
        {"alice", "select count(*) from titleauthor", denied("SELECT", "titleauthor")},
        {"alice", "select count(*) from sales", ""},
        {"alice", "update sales set qty = qty where ord_num = -1", ""},
        {"alice", "delete sales where ord_num = -1", ""},
        {"alice", "insert sales select * from sales where 1 = 0", ""},
        {"alice", "select count(*) from sales s, stores st where s.stor_id = st.stor_id",
         denied("SELECT", "stores")},
        {"alice", "select title from titles where pub_id in (select pub_id from publishers)",
         denied("SELECT", "publishers")},
        {"alice", "delete sales from sales, stores where sales.stor_id = stores.stor_id and 1 = 0",
         denied("SELECT", "stores")},
        {"alice", "select count(*) from titleview", ""},
        {"alice", titleSales, ""},
        {"alice", "exec byroyalty 40", denied("EXECUTE", "byroyalty")},
        {"alice", "select count(*) from ostrimdemo..stores", denied("SELECT", "stores")},
        {"bob", "select count(*) from titles", denied("SELECT", "titles")},
        {"bob", "update stores set city = city where stor_id = 'none'", ""},
        {"bob", "delete stores where stor_id = 'none'", denied("DELETE", "stores")},
        {"bob", "truncate table stores", denied("TRUNCATE TABLE", "stores")},
        {"bob", "select count(*) from store_totals", denied("SELECT", "store_totals")},
        {"bob", "select count(*) from titleview", ""},
        {"bob", titleSales, ""},
        {"bob", "exec author_report", denied("EXECUTE", "author_report")},
    };
    for (const Case& c : cases) {
        expectOutcome(std::string(c.who) == "alice" ? a.get() : b.get(), c.sql, c.refusal, c.who);
    }
    EXPECT_EQ(queryValue(s.get(), data), before);
}

TEST_F(Permissions, ARefusalEndsOnlyItsStatement) {
    Connection a = alice();
    ASSERT_TRUE(a);
    MessageLog::clear();
    const BatchResult r = exec(a.get(), "select 1\n"
                                        "delete titles where title_id = 'none'\n"
                                        "select @@error");
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 2u) << MessageLog::dump();
    EXPECT_EQ(sets[0]->rows, (std::vector<Row>{{"1"}}));
    EXPECT_EQ(sets[1]->rows, (std::vector<Row>{{"229"}}));
    const auto errors = errorMessages(a.get());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].line, 2);
}

TEST_F(Permissions, SystemTablesAndProceduresServeEveryUser) {
    Connection a = alice(), b = bob();
    ASSERT_TRUE(a && b);
    for (DBPROCESS* p : {a.get(), b.get()}) {
        for (const char* sql :
             {"select * from sysobjects", "select name from sysusers",
              "select name from master..syslogins", "select spid from master..sysprocesses",
              "select * from sysprotects", "sp_help", "sp_help titles", "sp_helptext titleview",
              "sp_helpindex titles", "sp_who"}) {
            const BatchResult r = run(p, sql);
            ASSERT_FALSE(r.rowResults().empty()) << sql;
            EXPECT_FALSE(r.rowResults()[0]->rows.empty()) << sql;
        }
        // Reading them is everyone's; changing them is not.
        expectOutcome(p, "delete sysobjects where id = -1", denied("DELETE", "sysobjects"));
        expectOutcome(p, "update sysusers set name = name where uid = -5",
                      denied("UPDATE", "sysusers"));
    }
}

TEST_F(Permissions, GrantsToAUserAGroupAndPublicAndTheirRevokes) {
    Connection s = sa(), a = alice(), b = bob();
    ASSERT_TRUE(s && a && b);
    run(s.get(), "create table perm_grants (n int) insert perm_grants values (1)");
    const std::string select = "select count(*) from perm_grants";
    const std::string revokes = "select count(*) from sysprotects where protecttype = 2 and "
                                "id = object_id('perm_grants')";
    struct Step {
        std::string statement; // run by sa
        bool alice, bob;       // may select afterwards
        int revokeRows;        // sysprotects rows that take a permission away
    };
    const std::vector<Step> steps = {
        {"select 1", false, false, 0},
        {"grant select on perm_grants to alice", true, false, 0},
        {"revoke select on perm_grants from alice", false, false, 0},
        {"grant select on perm_grants to readers", true, false, 0},
        {"grant select on perm_grants to public", true, true, 0},
        // A user's or a group's own revoke outweighs public's grant.
        {"revoke select on perm_grants from bob", true, false, 1},
        {"revoke select on perm_grants from readers", false, false, 2},
        // A user's own grant outweighs the group's revoke.
        {"grant select on perm_grants to alice", true, false, 2},
        // A later statement to public overrides every earlier one that conflicts.
        {"grant select on perm_grants to public", true, true, 0},
        {"revoke select on perm_grants from public", false, false, 0},
        {"grant select on perm_grants to bob", false, true, 0},
        {"revoke select on perm_grants from public", false, false, 0},
    };
    for (const Step& step : steps) {
        run(s.get(), step.statement);
        expectOutcome(a.get(), select, step.alice ? "" : denied("SELECT", "perm_grants"),
                      "alice after " + step.statement);
        expectOutcome(b.get(), select, step.bob ? "" : denied("SELECT", "perm_grants"),
                      "bob after " + step.statement);
        EXPECT_EQ(queryValue(s.get(), revokes), std::to_string(step.revokeRows)) << step.statement;
    }
    // Other actions are permissions of their own.
    run(s.get(), "grant insert on perm_grants to bob");
    expectOutcome(b.get(), "insert perm_grants values (2)", "");
    expectOutcome(b.get(), "delete perm_grants", denied("DELETE", "perm_grants"));
    expectOutcome(b.get(), select, denied("SELECT", "perm_grants"));
    run(s.get(), "drop table perm_grants");
}

TEST_F(Permissions, ViewsAndProceduresOfTheTablesOwnerNeedOnlyTheirOwnGrant) {
    Connection s = sa(), a = alice(), b = bob();
    ASSERT_TRUE(s && a && b);
    run(s.get(), "create table perm_base (n int)");
    run(s.get(), "insert perm_base values (1) insert perm_base values (2)");
    run(s.get(), "create view perm_view as select n from perm_base where n > 1");
    run(s.get(), "create procedure perm_purge as delete perm_base where n > 2 select count(*) "
                 "from perm_base");
    run(s.get(), "create procedure perm_outer as exec perm_purge");
    run(s.get(), "grant select on perm_view to alice");
    run(s.get(), "grant execute on perm_purge to alice");
    run(s.get(), "grant execute on perm_outer to bob");

    EXPECT_EQ(queryValue(a.get(), "select count(*) from perm_view"), "1");
    expectOutcome(a.get(), "select count(*) from perm_base", denied("SELECT", "perm_base"));
    expectOutcome(a.get(), "delete perm_base where n > 2", denied("DELETE", "perm_base"));
    EXPECT_EQ(queryValue(a.get(), "exec perm_purge"), "2");
    // perm_outer runs perm_purge, which bob may not execute himself.
    EXPECT_EQ(queryValue(b.get(), "exec perm_outer"), "2");
    expectOutcome(b.get(), "exec perm_purge", denied("EXECUTE", "perm_purge"));
    expectOutcome(b.get(), "select count(*) from perm_view", denied("SELECT", "perm_view"));

    // alice's view over dbo's table breaks the chain: whoever reads it needs select on the table.
    run(a.get(), "create view perm_alice_view as select n from perm_base");
    run(a.get(), "grant select on perm_alice_view to bob");
    run(a.get(), "create procedure perm_alice_purge as delete perm_base where n > 2");
    expectOutcome(a.get(), "select count(*) from perm_alice_view", denied("SELECT", "perm_base"));
    expectOutcome(b.get(), "select count(*) from perm_alice_view", denied("SELECT", "perm_base"));
    expectOutcome(a.get(), "exec perm_alice_purge", denied("DELETE", "perm_base"));
    run(s.get(), "grant select on perm_base to bob");
    EXPECT_EQ(queryValue(b.get(), "select count(*) from perm_alice_view"), "2");
    // bob's select on the table does not pass through alice's view to alice.
    expectOutcome(a.get(), "select count(*) from perm_alice_view", denied("SELECT", "perm_base"));

    for (const char* drop : {"drop view perm_alice_view", "drop procedure perm_alice_purge",
                             "drop procedure perm_outer", "drop procedure perm_purge",
                             "drop view perm_view", "drop table perm_base"}) {
        run(s.get(), drop);
    }
}

TEST_F(Permissions, ObjectsBelongToTheirCreatorWhoAloneGrantsOnThem) {
    Connection s = sa(), a = alice(), b = bob();
    ASSERT_TRUE(s && a && b);
    run(a.get(), "create table perm_mine (n int)");
    EXPECT_EQ(queryValue(s.get(), "select user_name(uid) from sysobjects where name = 'perm_mine'"),
              "alice");
    for (const char* sql : {"insert perm_mine values (1)", "update perm_mine set n = 2",
                            "select count(*) from perm_mine", "delete perm_mine where n = 5",
                            "truncate table perm_mine"}) {
        expectOutcome(a.get(), sql, "", "alice");
    }
    expectOutcome(b.get(), "select count(*) from perm_mine",
                  denied("SELECT", "perm_mine", "alice"));
    // Only an object's owner (or sa) grants on it.
    expectGrantRefused(b.get(), "grant select on perm_mine to bob");
    expectGrantRefused(a.get(), "grant delete on titles to alice");
    expectGrantRefused(a.get(), "revoke select on titles from readers");
    expectOutcome(a.get(), "delete titles where title_id = 'none'", denied("DELETE", "titles"));
    expectOutcome(a.get(), "select count(*) from titles", "");

    run(a.get(), "grant select on perm_mine to bob");
    expectOutcome(b.get(), "select count(*) from perm_mine", "");
    expectOutcome(b.get(), "delete perm_mine", denied("DELETE", "perm_mine", "alice"));
    // sa may do everything, whoever owns the object.
    run(s.get(), "insert perm_mine values (3) delete perm_mine");
    run(s.get(), "drop table perm_mine");
}

TEST_F(Permissions, GrantOptionLetsAUserPassAPermissionOn) {
    Connection s = sa(), a = alice(), b = bob();
    ASSERT_TRUE(s && a && b);
    run(s.get(), "create table perm_passed (n int)");
    run(s.get(), "grant select on perm_passed to alice with grant option");
    EXPECT_EQ(queryValue(s.get(), "select protecttype from sysprotects where id = "
                                  "object_id('perm_passed') and uid = user_id('alice')"),
              "0");
    expectGrantRefused(a.get(), "grant delete on perm_passed to bob");
    run(a.get(), "grant select on perm_passed to bob");
    expectOutcome(b.get(), "select count(*) from perm_passed", "");
    run(s.get(), "drop table perm_passed");
}

TEST_F(Permissions, TemporaryObjectsBelongToTheSessionThatMadeThem) {
    Connection a = alice();
    ASSERT_TRUE(a);
    for (const char* sql :
         {"create table #perm_scratch (n int)", "insert #perm_scratch values (1)",
          "update #perm_scratch set n = 2", "select count(*) from #perm_scratch",
          "delete #perm_scratch", "create table tempdb..perm_tmp (n int)",
          "insert tempdb..perm_tmp values (1)", "select count(*) from tempdb..perm_tmp",
          "delete tempdb..perm_tmp", "drop table tempdb..perm_tmp"}) {
        expectOutcome(a.get(), sql, "", "alice");
    }
    run(a.get(), "use tempdb");
    run(a.get(), "create table perm_tmp2 (n int)");
    EXPECT_EQ(queryValue(a.get(), "select count(*) from sysobjects where name = 'perm_tmp2' and "
                                  "uid = user_id()"),
              "1");
    run(a.get(), "drop table perm_tmp2");
}

TEST_F(Permissions, TheDatabaseOwnersLoginIsDboThere) {
    Connection s = connectSa();
    ASSERT_TRUE(s);
    run(s.get(), "create database perm_owned");
    run(s.get(), "execute sp_addlogin perm_owner, 'owner123', perm_owned");
    run(s.get(), "update master..sysdatabases set suid = suser_id('perm_owner') where name = "
                 "'perm_owned'");
    run(s.get(), "use perm_owned");
    run(s.get(), "create table perm_dbo_table (n int)");
    Connection owner = connectSa(loginOf("perm_owner", "owner123"));
    ASSERT_TRUE(owner);
    EXPECT_EQ(queryValue(owner.get(), "select db_name()"), "perm_owned");
    EXPECT_EQ(queryValue(owner.get(), "select user_name()"), "dbo");
    for (const char* sql :
         {"insert perm_dbo_table values (1)", "select count(*) from perm_dbo_table",
          "delete perm_dbo_table", "grant select on perm_dbo_table to public"}) {
        expectOutcome(owner.get(), sql, "", "perm_owner");
    }
    // Elsewhere the same login is no one special.
    expectOutcome(owner.get(), "select count(*) from ostrimdemo..titles",
                  denied("SELECT", "titles"));
}

TEST_F(Permissions, RemoteProcedureCallsAreCheckedAsExecuteIs) {
    Connection a = alice();
    ASSERT_TRUE(a);
    MessageLog::clear();
    rpc(a.get(), "byroyalty", {RpcParam::int4("@percentage", 40)});
    const auto errors = errorMessages(a.get());
    ASSERT_EQ(errors.size(), 1u) << MessageLog::dump();
    EXPECT_EQ(errors[0].number, 229);
    EXPECT_EQ(errors[0].severity, 14);
    EXPECT_EQ(rtrim(errors[0].text), denied("EXECUTE", "byroyalty"));

    Connection s = sa();
    ASSERT_TRUE(s);
    const std::string orders =
        queryValue(s.get(), "select count(*) from sales where title_id = 'BU1032'");
    MessageLog::clear();
    const BatchResult ok =
        rpc(a.get(), "title_sales",
            {RpcParam::varchar("@title_id", "BU1032"), RpcParam::int4("@units", 0, true),
             RpcParam::int4("@orders", 0, true)});
    EXPECT_TRUE(errorMessages(a.get()).empty()) << MessageLog::dump();
    EXPECT_TRUE(ok.hasRetStatus);
    EXPECT_EQ(ok.retStatus, 0);
    ASSERT_EQ(ok.outputs.size(), 2u);
    EXPECT_EQ(ok.outputs[1].value, orders);

    MessageLog::clear();
    const BatchResult help = rpc(a.get(), "sp_help", {RpcParam::varchar("@objname", "sales")});
    EXPECT_TRUE(errorMessages(a.get()).empty()) << MessageLog::dump();
    EXPECT_FALSE(help.rowResults().empty());
}

} // namespace
} // namespace ostrim::test
