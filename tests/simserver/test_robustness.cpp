// Statements that once crashed, hung or corrupted the server: each is refused with Sybase's
// error and the connection stays usable.

#include "catalog_checks.h"

#include <filesystem>

namespace ostrim::test {
namespace {

class Robustness : public SaTest {};

TEST_F(Robustness, HostileStatementsAreRefusedAndTheConnectionGoesOn) {
    std::string chain = "select 1";
    for (int i = 0; i < 20000; ++i) {
        chain += "+1";
    }
    const std::string spid = queryValue(m_sa, "select @@spid");
    play(m_sa, {{chain, "Msg 102"},
                // An overflow found while a row is being sent must not leave half a row behind.
                {"select 2147483647 + 1", "Msg 3606"},
                {"select convert(tinyint, 300)", "Msg 247"},
                {"select datalength(convert(char(2000000000), 'x'))", "Msg 131"},
                {"waitfor delay '99999999:00'", "Msg 8038"},
                {"create table rb_small (s smallint) insert rb_small values (70000)", "Msg 3606"},
                {"select count(*) from rb_small", "0"},
                // A kill of the own session or of one that is not there.
                {"kill " + spid, "Msg 6104"},
                {"kill 31999", "Msg 6106"},
                {"kill (2 ro", "Msg 102"},
                // Database names cannot name other files.
                {"create database [../escaped]", "Msg 102"},
                {"create database [./master]", "Msg 102"}});
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(server().dataDir()).parent_path() /
                                         "escaped.db"));
    // Only the administrator kills or creates databases.
    play(m_sa, "sp_addlogin rb_user, 'rb_pass1', master", "");
    Connection user = connect(host(), loginOf("rb_user", "rb_pass1"));
    ASSERT_TRUE(user) << MessageLog::dump();
    play(user.get(), {{"kill " + spid, "Msg 6102"}, {"create database rb_db", "Msg 262"}});
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

TEST_F(Robustness, CancelInsideATransactionKeepsTheTransaction) {
    ASSERT_TRUE(succeeds(m_sa, "create table rb_tx (n int)"));
    ASSERT_TRUE(succeeds(m_sa, "begin tran insert rb_tx values (1)"));
    Connection watcher = connectSa();
    ASSERT_TRUE(watcher);
    // A loop inside the transaction that only the cancel ends.
    ASSERT_TRUE(send(m_sa, "declare @i int select @i = 0 while 1 = 1 select @i = @i + 1"));
    ASSERT_TRUE(awaitProcess(watcher.get(), dbspid(m_sa), "status", "running"));
    ASSERT_EQ(dbcancel(m_sa), SUCCEED);
    EXPECT_EQ(queryValue(m_sa, "select @@trancount"), "1");
    ASSERT_TRUE(succeeds(m_sa, "rollback tran"));
    EXPECT_EQ(queryValue(m_sa, "select count(*) from rb_tx"), "0");
}

} // namespace
} // namespace ostrim::test
