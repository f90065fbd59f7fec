// Object permissions as Sybase checks them, through real DB-Library logins of the demo's users:
// alice (group readers) and bob. Refusals are message 229 at severity 14 with Sybase's text.
// Objects made here are named perm_* and differ per test, so the tests also share one server.

#include "catalog_checks.h"

#include <map>

namespace ostrim::test {
namespace {

[[maybe_unused]] const bool g_demoServer = useDemoServer();

std::string denied(const std::string& action, const std::string& object,
                   const std::string& owner = "dbo", const std::string& db = "ostrimdemo") {
    return "Msg 229: " + action + " permission denied on object " + object + ", database " + db +
           ", owner " + owner;
}

const std::string kNoGrant = "Msg 4613: Grantor does not have GRANT permission.";

// A statement of one of the sessions and what it must give (see Step).
struct Turn {
    std::string who, sql, expect;
};

class Permissions : public SimServerTest {
protected:
    void SetUp() override {
        SimServerTest::SetUp();
        for (const auto& [who, password] : {std::pair<std::string, std::string>{"sa", ""},
                                            {"alice", "alice123"},
                                            {"bob", "bob12345"}}) {
            Connection c = connectSa(loginOf(who, password));
            ASSERT_TRUE(c) << who;
            if (who == "sa") {
                run(c.get(), "use ostrimdemo");
            }
            ASSERT_EQ(queryValue(c.get(), "select db_name()"), "ostrimdemo") << who;
            m_sessions[who] = std::move(c);
        }
    }

    DBPROCESS* session(const std::string& who) { return m_sessions.at(who).get(); }

    void play(const std::vector<Turn>& turns) {
        for (const Turn& t : turns) {
            SCOPED_TRACE(t.who);
            ostrim::test::play(session(t.who), t.sql, t.expect);
        }
    }

    std::map<std::string, Connection> m_sessions;
};

// demo.sql: readers (alice) may select titles and authors; public may select titleview and
// execute title_sales; alice has all on sales; bob may insert into and update stores. Allowed
// writes name no row, so the demo data stays as it is.
TEST_F(Permissions, DemoGrantsDecideWhatAliceAndBobMayDo) {
    const std::string data = "select (select count(*) from sales) + (select count(*) from "
                             "stores) + (select count(*) from titles)";
    const std::string before = queryValue(session("sa"), data);
    const std::string titleSales =
        "declare @u int, @o int exec title_sales 'BU1032', @u output, @o output";
    play({
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
        // System tables and procedures serve everyone; changing the tables is sa's.
        {"bob", "select count(*) from sysobjects where id = object_id('sysobjects')", "1"},
        {"alice", "select count(*) from master..syslogins where name = 'alice'", "1"},
        {"bob", "select count(*) from sysprotects where 1 = 0", "0"},
        {"alice", "sp_helptext titleview", ""},
        {"bob", "sp_helpindex titles", ""},
        {"bob", "select count(*) from master..sysprocesses where spid = @@spid", "1"},
        {"alice", "select count(*) from sysusers where name = 'bob'", "1"},
        {"alice", "sp_help titles", ""},
        {"bob", "sp_who", ""},
        {"alice", "delete sysobjects where id = -1", denied("DELETE", "sysobjects")},
        {"bob", "update sysusers set name = name where uid = -5", denied("UPDATE", "sysusers")},
    });
    EXPECT_EQ(queryValue(session("sa"), data), before);
}

TEST_F(Permissions, ARefusalEndsOnlyItsStatement) {
    MessageLog::clear();
    const BatchResult r = exec(session("alice"), "select 1\n"
                                                 "delete titles where title_id = 'none'\n"
                                                 "select @@error");
    EXPECT_EQ(rowsText(r), "1\n229");
    const auto messages = MessageLog::messagesFor(session("alice"));
    ASSERT_EQ(messages.size(), 1u) << MessageLog::dump();
    EXPECT_EQ(messages[0].line, 2);
    EXPECT_EQ(messages[0].severity, 14);
}

TEST_F(Permissions, GrantsToAUserAGroupAndPublicAndTheirRevokes) {
    DBPROCESS* sa = session("sa");
    run(sa, "create table perm_grants (n int) insert perm_grants values (1)");
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
        SCOPED_TRACE(step.statement);
        play({{"sa", step.statement, ""},
              {"alice", select, step.alice ? "1" : denied("SELECT", "perm_grants")},
              {"bob", select, step.bob ? "1" : denied("SELECT", "perm_grants")},
              {"sa", revokes, std::to_string(step.revokeRows)}});
    }
    // Other actions are permissions of their own.
    play({{"sa", "grant insert on perm_grants to bob", ""},
          {"bob", "insert perm_grants values (2)", ""},
          {"bob", "delete perm_grants", denied("DELETE", "perm_grants")},
          {"bob", select, denied("SELECT", "perm_grants")},
          {"sa", "drop table perm_grants", ""}});
}

// A view or procedure needs only its own grant while its owner also owns what it uses; another
// owner in the chain needs the reader's own permission. Only an owner (or sa) grants.
TEST_F(Permissions, OwnershipChainsAndWhoMayGrant) {
    play({
        {"sa",
         "create table perm_base (n int) insert perm_base values (1) "
         "insert perm_base values (2)",
         ""},
        {"sa", "create view perm_view as select n from perm_base where n > 1", ""},
        {"sa",
         "create procedure perm_purge as delete perm_base where n > 2 "
         "select count(*) from perm_base",
         ""},
        {"sa", "create procedure perm_outer as exec perm_purge", ""},
        {"sa", "grant select on perm_view to alice", ""},
        {"sa", "grant execute on perm_purge to alice", ""},
        {"sa", "grant execute on perm_outer to bob", ""},
        {"alice", "select count(*) from perm_view", "1"},
        {"alice", "select count(*) from perm_base", denied("SELECT", "perm_base")},
        {"alice", "delete perm_base where n > 2", denied("DELETE", "perm_base")},
        {"alice", "exec perm_purge", "2"},
        // perm_outer runs perm_purge, which bob may not execute himself.
        {"bob", "exec perm_outer", "2"},
        {"bob", "exec perm_purge", denied("EXECUTE", "perm_purge")},
        {"bob", "select count(*) from perm_view", denied("SELECT", "perm_view")},
        // alice's view over dbo's table breaks the chain.
        {"alice", "create view perm_alice_view as select n from perm_base", ""},
        {"alice", "grant select on perm_alice_view to bob", ""},
        {"alice", "create procedure perm_alice_purge as delete perm_base where n > 2", ""},
        {"alice", "select count(*) from perm_alice_view", denied("SELECT", "perm_base")},
        {"bob", "select count(*) from perm_alice_view", denied("SELECT", "perm_base")},
        {"alice", "exec perm_alice_purge", denied("DELETE", "perm_base")},
        {"sa", "grant select on perm_base to bob", ""},
        {"bob", "select count(*) from perm_alice_view", "2"},
        // bob's select on the table does not pass through alice's view to alice.
        {"alice", "select count(*) from perm_alice_view", denied("SELECT", "perm_base")},
        // What alice creates is hers, to use and to grant on.
        {"alice", "create table perm_mine (n int)", ""},
        {"sa", "select user_name(uid) from sysobjects where name = 'perm_mine'", "alice"},
        {"alice",
         "insert perm_mine values (1) update perm_mine set n = 2 "
         "delete perm_mine where n = 5 select count(*) from perm_mine",
         "1"},
        {"alice", "truncate table perm_mine", ""},
        {"bob", "select count(*) from perm_mine", denied("SELECT", "perm_mine", "alice")},
        {"bob", "grant select on perm_mine to bob", kNoGrant},
        {"alice", "grant delete on titles to alice", kNoGrant},
        {"alice", "revoke select on titles from readers", kNoGrant},
        {"alice", "delete titles where title_id = 'none'", denied("DELETE", "titles")},
        {"alice", "grant select on perm_mine to bob", ""},
        {"bob", "select count(*) from perm_mine", "0"},
        {"bob", "delete perm_mine", denied("DELETE", "perm_mine", "alice")},
        // sa may do everything, whoever owns the object.
        {"sa", "insert perm_mine values (3) delete perm_mine", ""},
        // With grant option, alice passes on what she was given, and only that.
        {"sa", "create table perm_passed (n int)", ""},
        {"sa", "grant select on perm_passed to alice with grant option", ""},
        {"sa",
         "select protecttype from sysprotects where id = object_id('perm_passed') and "
         "uid = user_id('alice')",
         "0"},
        {"alice", "grant delete on perm_passed to bob", kNoGrant},
        {"alice", "grant select on perm_passed to bob", ""},
        {"bob", "select count(*) from perm_passed", "0"},
        {"sa",
         "drop table perm_passed drop table perm_mine drop view perm_alice_view "
         "drop procedure perm_alice_purge drop procedure perm_outer "
         "drop procedure perm_purge drop view perm_view drop table perm_base",
         ""},
    });
}

TEST_F(Permissions, TemporaryObjectsAndTheDatabaseOwnersOwnDatabase) {
    play({
        {"alice",
         "create table #perm_scratch (n int) insert #perm_scratch values (1) "
         "update #perm_scratch set n = 2 delete #perm_scratch",
         ""},
        {"alice", "select count(*) from #perm_scratch", "0"},
        {"alice", "create table tempdb..perm_tmp (n int) insert tempdb..perm_tmp values (1)", ""},
        {"alice", "select count(*) from tempdb..perm_tmp", "1"},
        {"alice", "delete tempdb..perm_tmp drop table tempdb..perm_tmp", ""},
        {"alice", "use tempdb create table perm_tmp2 (n int)", ""},
        {"alice", "select count(*) from sysobjects where name = 'perm_tmp2' and uid = user_id()",
         "1"},
        {"alice", "drop table perm_tmp2 use ostrimdemo", ""},
        // The login that owns a database is dbo there, and no one special elsewhere.
        {"sa", "create database perm_owned", ""},
        {"sa", "execute sp_addlogin perm_owner, 'owner123', perm_owned", ""},
        {"sa",
         "update master..sysdatabases set suid = suser_id('perm_owner') where name = "
         "'perm_owned'",
         ""},
        {"sa", "create table perm_owned..perm_dbo_table (n int)", ""},
    });
    m_sessions["owner"] = connectSa(loginOf("perm_owner", "owner123"));
    ASSERT_TRUE(m_sessions["owner"]);
    play({{"owner", "select db_name(), user_name()", "perm_owned|dbo"},
          {"owner", "insert perm_dbo_table values (1) delete perm_dbo_table", ""},
          {"owner", "grant select on perm_dbo_table to public", ""},
          {"owner", "select count(*) from ostrimdemo..titles", denied("SELECT", "titles")}});
}

TEST_F(Permissions, RemoteProcedureCallsAreCheckedAsExecuteIs) {
    DBPROCESS* alice = session("alice");
    MessageLog::clear();
    rpc(alice, "byroyalty", {RpcParam::int4("@percentage", 40)});
    const auto messages = MessageLog::messagesFor(alice);
    ASSERT_EQ(messages.size(), 1u) << MessageLog::dump();
    EXPECT_EQ(messages[0].severity, 14);
    EXPECT_EQ("Msg " + std::to_string(messages[0].number) + ": " + trim(messages[0].text),
              denied("EXECUTE", "byroyalty"));

    const std::string orders =
        queryValue(session("sa"), "select count(*) from sales where title_id = 'BU1032'");
    MessageLog::clear();
    const BatchResult ok =
        rpc(alice, "title_sales",
            {RpcParam::varchar("@title_id", "BU1032"), RpcParam::int4("@units", 0, true),
             RpcParam::int4("@orders", 0, true)});
    EXPECT_TRUE(MessageLog::messagesFor(alice).empty()) << MessageLog::dump();
    EXPECT_TRUE(ok.hasRetStatus);
    EXPECT_EQ(ok.retStatus, 0);
    ASSERT_EQ(ok.outputs.size(), 2u);
    EXPECT_EQ(ok.outputs[1].value, orders);
}

} // namespace
} // namespace ostrim::test
