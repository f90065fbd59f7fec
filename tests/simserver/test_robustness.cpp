// Statements that once crashed, hung or corrupted the server: each is refused with Sybase's
// error and the connection stays usable.

#include "catalog_checks.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace ostrim::test {
namespace {

class Robustness : public SaTest {};

TEST_F(Robustness, HostileStatementsAreRefusedAndTheConnectionGoesOn) {
    std::string chain = "select 1";
    for (int i = 0; i < 20000; ++i)
        chain += "+1";
    expectRefused(m_sa, chain, 102);
    // An overflow found while a row is being sent must not leave half a row behind.
    expectRefused(m_sa, "select 2147483647 + 1", 3606);
    expectRefused(m_sa, "select convert(tinyint, 300)", 247);
    expectRefused(m_sa, "select datalength(convert(char(2000000000), 'x'))", 131);
    expectRefused(m_sa, "waitfor delay '99999999:00'", 8038);
    expectRefused(m_sa, "create table rb_small (s smallint) insert rb_small values (70000)", 3606);
    // A kill of the own session or of one that is not there.
    expectRefused(m_sa, "kill " + queryValue(m_sa, "select @@spid"), 6104);
    expectRefused(m_sa, "kill 31999", 6106);
    expectRefused(m_sa, "kill (2 ro", 102);
    EXPECT_EQ(queryValue(m_sa, "select count(*) from rb_small"), "0");
}

TEST_F(Robustness, LongValuesAndTheirNullsKeepTheStreamInStep) {
    ASSERT_TRUE(
        succeeds(m_sa, "create table rb_long (id int, v varchar(400) null, b varbinary(300) null)\n"
                       "insert rb_long values (1, null, null)\n"
                       "insert rb_long values (2, replicate('x', 300), null)"));
    const BatchResult r = exec(m_sa, "select id, v, b from rb_long order by id");
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 1u);
    ASSERT_EQ(sets[0]->rows.size(), 2u);
    EXPECT_EQ(sets[0]->rows[0][1], std::nullopt);
    EXPECT_EQ(sets[0]->rows[0][2], std::nullopt);
    EXPECT_EQ(sets[0]->rows[1][1], std::string(300, 'x'));
    EXPECT_EQ(queryValue(m_sa, "select 42"), "42");
}

TEST_F(Robustness, DatabaseNamesCannotNameOtherFiles) {
    expectRefused(m_sa, "create database [../escaped]", 102);
    expectRefused(m_sa, "create database [./master]", 102);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(server().dataDir()).parent_path() /
                                         "escaped.db"));
}

TEST_F(Robustness, OnlyTheAdministratorKillsOrCreatesDatabases) {
    exec(m_sa, "sp_addlogin rb_user, 'rb_pass1', master");
    Connection user = connect(host(), loginOf("rb_user", "rb_pass1"));
    ASSERT_TRUE(user) << MessageLog::dump();
    expectRefused(user.get(), "kill " + queryValue(m_sa, "select @@spid"), 6102);
    expectRefused(user.get(), "create database rb_db", 262);
    EXPECT_EQ(queryValue(m_sa, "select 1"), "1");
}

TEST_F(Robustness, CancelInsideATransactionKeepsTheTransaction) {
    ASSERT_TRUE(succeeds(m_sa, "create table rb_tx (n int)"));
    ASSERT_TRUE(succeeds(m_sa, "begin tran insert rb_tx values (1)"));
    // A long statement inside the transaction, cancelled while it runs.
    dbcmd(m_sa, "declare @i int select @i = 0 while @i < 2000000 select @i = @i + 1");
    ASSERT_EQ(dbsqlsend(m_sa), SUCCEED);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let it start running
    ASSERT_EQ(dbcancel(m_sa), SUCCEED);
    EXPECT_EQ(queryValue(m_sa, "select @@trancount"), "1");
    ASSERT_TRUE(succeeds(m_sa, "rollback tran"));
    EXPECT_EQ(queryValue(m_sa, "select count(*) from rb_tx"), "0");
}

} // namespace
} // namespace ostrim::test
