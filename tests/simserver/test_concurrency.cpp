// Many sessions writing one database at once: the server serializes them, so no client ever
// sees an error, and a transaction of a killed session is rolled back.

#include "catalog_checks.h"

#include <atomic>
#include <thread>

namespace ostrim::test {
namespace {

class Writers : public SaTest {};

TEST_F(Writers, ConcurrentInsertsAndTransactionsNeverFail) {
    ASSERT_TRUE(succeeds(m_sa, "create table conc_t (who int, n int)"));

    constexpr int kThreads = 6, kInserts = 60;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    threads.reserve(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            Connection c = connect(host(), ConnectOptions{});
            if (!c) {
                ++failures;
                return;
            }
            for (int i = 0; i < kInserts; ++i) {
                std::string sql =
                    "insert conc_t values (" + std::to_string(t) + ", " + std::to_string(i) + ")";
                // Every third write goes through an explicit transaction that also reads.
                if (i % 3 == 0)
                    sql = "begin tran select count(*) from conc_t " + sql + " commit tran";
                if (exec(c.get(), sql).sqlRc != SUCCEED)
                    ++failures;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0) << MessageLog::dump();
    EXPECT_TRUE(MessageLog::messages().empty()) << MessageLog::dump();
    EXPECT_EQ(queryValue(m_sa, "select count(*) from conc_t"), std::to_string(kThreads * kInserts));
    EXPECT_EQ(queryValue(m_sa, "select count(distinct who) from conc_t"), std::to_string(kThreads));
}

TEST_F(Writers, KilledSessionsOpenTransactionIsRolledBackAndReleased) {
    Connection a = connectSa();
    ASSERT_TRUE(a);
    ASSERT_TRUE(succeeds(m_sa, "create table conc_k (n int)"));
    const std::string spidA = queryValue(a.get(), "select @@spid");
    ASSERT_TRUE(succeeds(a.get(), "begin tran insert conc_k values (1)"));
    EXPECT_EQ(queryValue(a.get(), "select @@trancount"), "1");

    ASSERT_TRUE(succeeds(m_sa, "kill " + spidA));
    // The killing session can write at once, and A's uncommitted row is gone.
    ASSERT_TRUE(succeeds(m_sa, "insert conc_k values (2)"));
    EXPECT_EQ(queryValue(m_sa, "select sum(n) from conc_k"), "2");
    EXPECT_NE(exec(a.get(), "select 1").sqlRc, SUCCEED);
    EXPECT_TRUE(dbdead(a.get()));
}

} // namespace
} // namespace ostrim::test
