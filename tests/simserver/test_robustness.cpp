// Statements that once crashed, hung or corrupted the server: each is refused with Sybase's
// error and the connection stays usable.

#include "simserver_environment.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace ostrim::test {
namespace {

class Robustness : public SimServerTest {
protected:
    // The statement fails with the given message number and the connection still answers.
    static void expectRefused(DBPROCESS* p, const std::string& sql, int number) {
        MessageLog::clear();
        exec(p, sql);
        EXPECT_TRUE(MessageLog::find(number).has_value()) << sql.substr(0, 60) << "\n"
                                                          << MessageLog::dump();
        EXPECT_EQ(queryValue(p, "select 42"), "42") << sql.substr(0, 60);
    }
};

TEST_F(Robustness, HostileStatementsAreRefusedAndTheConnectionGoesOn) {
    Connection c = connectSa();
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    std::string chain = "select 1";
    for (int i = 0; i < 20000; ++i)
        chain += "+1";
    expectRefused(p, chain, 102);
    // An overflow found while a row is being sent must not leave half a row behind.
    expectRefused(p, "select 2147483647 + 1", 3606);
    expectRefused(p, "select convert(tinyint, 300)", 247);
    expectRefused(p, "select datalength(convert(char(2000000000), 'x'))", 131);
    expectRefused(p, "waitfor delay '99999999:00'", 8038);
    expectRefused(p, "create table rb_small (s smallint) insert rb_small values (70000)", 3606);
    EXPECT_EQ(queryValue(p, "select count(*) from rb_small"), "0");
}

TEST_F(Robustness, LongValuesAndTheirNullsKeepTheStreamInStep) {
    Connection c = connectSa();
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    ASSERT_EQ(exec(p, "create table rb_long (id int, v varchar(400) null, b varbinary(300) null)\n"
                      "insert rb_long values (1, null, null)\n"
                      "insert rb_long values (2, replicate('x', 300), null)")
                  .sqlRc,
              SUCCEED)
        << MessageLog::dump();
    const BatchResult r = exec(p, "select id, v, b from rb_long order by id");
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 1u);
    ASSERT_EQ(sets[0]->rows.size(), 2u);
    EXPECT_EQ(sets[0]->rows[0][1], std::nullopt);
    EXPECT_EQ(sets[0]->rows[0][2], std::nullopt);
    EXPECT_EQ(sets[0]->rows[1][1], std::string(300, 'x'));
    EXPECT_EQ(queryValue(p, "select 42"), "42");
}

TEST_F(Robustness, DatabaseNamesCannotNameOtherFiles) {
    Connection c = connectSa();
    ASSERT_TRUE(c);
    expectRefused(c.get(), "create database [../escaped]", 102);
    expectRefused(c.get(), "create database [./master]", 102);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(server().dataDir()).parent_path() /
                                         "escaped.db"));
}

TEST_F(Robustness, OnlyTheAdministratorKillsOrCreatesDatabases) {
    Connection sa = connectSa();
    ASSERT_TRUE(sa);
    exec(sa.get(), "sp_addlogin rb_user, 'rb_pass1', master");
    ConnectOptions options;
    options.user = "rb_user";
    options.password = "rb_pass1";
    Connection user = connect(host(), options);
    ASSERT_TRUE(user) << MessageLog::dump();
    const std::string saSpid = queryValue(sa.get(), "select @@spid");
    expectRefused(user.get(), "kill " + saSpid, 6102);
    expectRefused(user.get(), "create database rb_db", 262);
    EXPECT_EQ(queryValue(sa.get(), "select 1"), "1");
}

TEST_F(Robustness, CancelInsideATransactionKeepsTheTransaction) {
    Connection c = connectSa();
    ASSERT_TRUE(c);
    DBPROCESS* p = c.get();
    ASSERT_EQ(exec(p, "create table rb_tx (n int)").sqlRc, SUCCEED) << MessageLog::dump();
    ASSERT_EQ(exec(p, "begin tran insert rb_tx values (1)").sqlRc, SUCCEED);
    // A long statement inside the transaction, cancelled while it runs.
    dbcmd(p, "declare @i int select @i = 0 while @i < 2000000 select @i = @i + 1");
    ASSERT_EQ(dbsqlsend(p), SUCCEED);
    std::this_thread::sleep_for(std::chrono::milliseconds(200)); // let it start running
    ASSERT_EQ(dbcancel(p), SUCCEED);
    EXPECT_EQ(queryValue(p, "select @@trancount"), "1");
    ASSERT_EQ(exec(p, "rollback tran").sqlRc, SUCCEED);
    EXPECT_EQ(queryValue(p, "select count(*) from rb_tx"), "0");
}

} // namespace
} // namespace ostrim::test
