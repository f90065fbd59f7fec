// Many sessions writing one database at once: the server serializes them, so no client ever
// sees an error; the writers that wait show in the process list as a lock queue, and a killed
// holder's transaction is rolled back.

#include "catalog_checks.h"

#include <atomic>
#include <chrono>
#include <map>
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

// A holds the gate in an open transaction; B, then C, wait for it with an insert each.
class LockQueue : public SaTest {
protected:
    struct Process {
        std::string status, cmd;
        int blocked = -1;
        int timeBlocked = -1;
    };
    using Processes = std::map<int, Process>;

    Processes processes() {
        Processes out;
        const BatchResult r =
            run(m_sa, "select spid, status, cmd, blocked, time_blocked from master..sysprocesses");
        for (const ResultSet* set : r.rowResults()) {
            for (const Row& row : set->rows) {
                out[number(row[0])] = {trim(text(row[1])), trim(text(row[2])), number(row[3]),
                                       number(row[4])};
            }
        }
        return out;
    }

    // Polls until each spid waits on the one given with it, leaving the last look in m_seen;
    // the deadline only keeps a broken server from hanging the test.
    ::testing::AssertionResult awaitQueue(const std::map<int, int>& blockedBy) {
        for (int attempt = 0; attempt < 2000; ++attempt) {
            m_seen = processes();
            const bool reached =
                std::all_of(blockedBy.begin(), blockedBy.end(), [&](const auto& want) {
                    const auto it = m_seen.find(want.first);
                    return it != m_seen.end() && it->second.blocked == want.second;
                });
            if (reached) {
                return ::testing::AssertionSuccess();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        auto failure = ::testing::AssertionFailure() << "spid: blocked, status";
        for (const auto& [spid, p] : m_seen) {
            failure << "\n" << spid << ": " << p.blocked << ", " << p.status;
        }
        return failure;
    }

    // Blocking spid by spid, as a procedure's result shows it in the columns given.
    std::map<int, int> blockers(const std::string& procedure, size_t spidColumn,
                                size_t blockedColumn) {
        std::map<int, int> out;
        const BatchResult r = run(m_sa, procedure);
        for (const ResultSet* set : r.rowResults()) {
            for (const Row& row : set->rows) {
                out[number(row.at(spidColumn))] = number(row.at(blockedColumn));
            }
        }
        return out;
    }

    static int number(const Value& v) { return std::stoi(trim(text(v))); }

    Processes m_seen;
};

TEST_F(LockQueue, WaitersQueueInOrderAndMoveUpWhenOneLeaves) {
    ASSERT_TRUE(succeeds(m_sa, "create table blk_t (n int)"));
    enum class Leaver { Holder, KilledWaiter, CancelledWaiter };
    struct Case {
        const char* what;
        const char* batchOfB;
        Leaver leaves;
        bool bKeepsGate;
        const char* sum; // of the rows that stay: A's 1, B's 2, C's 3
    };
    const Case cases[] = {
        {"holder killed", "insert blk_t values (2)", Leaver::Holder, false, "5"},
        {"holder killed, B in a transaction", "begin tran insert blk_t values (2)", Leaver::Holder,
         true, "5"},
        {"first waiter killed", "insert blk_t values (2)", Leaver::KilledWaiter, false, "4"},
        {"first waiter cancelled", "insert blk_t values (2)", Leaver::CancelledWaiter, false, "4"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        ASSERT_TRUE(succeeds(m_sa, "delete blk_t"));
        Connection a = connectSa(), b = connectSa(), c = connectSa();
        ASSERT_TRUE(a && b && c);
        const int spidA = dbspid(a.get()), spidB = dbspid(b.get()), spidC = dbspid(c.get());
        ASSERT_TRUE(succeeds(a.get(), "begin tran insert blk_t values (1)"));
        // C is sent only once B waits, so the order of the queue is known.
        ASSERT_TRUE(send(b.get(), k.batchOfB));
        ASSERT_TRUE(awaitQueue({{spidB, spidA}}));
        ASSERT_TRUE(send(c.get(), "insert blk_t values (3)"));
        ASSERT_TRUE(awaitQueue({{spidB, spidA}, {spidC, spidB}}));
        const Processes queued = m_seen;
        for (int spid : {spidB, spidC}) {
            EXPECT_EQ(queued.at(spid).status, "lock sleep");
            EXPECT_GE(queued.at(spid).timeBlocked, 0);
        }
        EXPECT_EQ(queued.at(spidC).cmd, "INSERT");
        // The holder waits for nothing: it is idle, with its transaction open.
        EXPECT_EQ(queued.at(spidA).blocked, 0);
        EXPECT_EQ(queued.at(spidA).timeBlocked, 0);
        EXPECT_NE(queued.at(spidA).status, "lock sleep");
        // sp_who: spid 2nd, blk_spid 7th; sp_ostrim_who: spid 1st, blocking spid 5th.
        for (const auto& listed : {blockers("sp_who", 1, 6), blockers("sp_ostrim_who", 0, 4)}) {
            EXPECT_EQ(listed.at(spidA), 0);
            EXPECT_EQ(listed.at(spidB), spidA);
            EXPECT_EQ(listed.at(spidC), spidB);
        }

        switch (k.leaves) {
        case Leaver::Holder: {
            ASSERT_TRUE(succeeds(m_sa, "kill " + std::to_string(spidA)));
            const BatchResult ofB = reply(b.get());
            EXPECT_EQ(ofB.sqlRc, SUCCEED) << MessageLog::dump();
            EXPECT_FALSE(ofB.dead);
            EXPECT_EQ(queryValue(b.get(), "select count(*) from blk_t where n = 2"), "1");
            if (k.bKeepsGate) {
                ASSERT_TRUE(awaitQueue({{spidC, spidB}}));
                EXPECT_EQ(m_seen.at(spidC).status, "lock sleep");
                EXPECT_TRUE(succeeds(b.get(), "commit tran"));
            }
            break;
        }
        case Leaver::KilledWaiter:
            ASSERT_TRUE(succeeds(m_sa, "kill " + std::to_string(spidB)));
            ASSERT_TRUE(awaitQueue({{spidC, spidA}}));
            EXPECT_EQ(m_seen.at(spidC).status, "lock sleep");
            EXPECT_NE(reply(b.get()).sqlRc, SUCCEED);
            EXPECT_TRUE(dbdead(b.get()));
            EXPECT_TRUE(succeeds(a.get(), "commit tran"));
            break;
        case Leaver::CancelledWaiter:
            EXPECT_EQ(dbcancel(b.get()), SUCCEED);
            ASSERT_TRUE(awaitQueue({{spidC, spidA}, {spidB, 0}}));
            EXPECT_EQ(m_seen.at(spidC).status, "lock sleep");
            EXPECT_EQ(queryValue(b.get(), "select @@spid"), std::to_string(spidB));
            EXPECT_TRUE(succeeds(a.get(), "commit tran"));
            break;
        }
        const BatchResult ofC = reply(c.get());
        EXPECT_EQ(ofC.sqlRc, SUCCEED) << MessageLog::dump();
        EXPECT_EQ(queryValue(m_sa, "select sum(n) from blk_t"), k.sum);
        EXPECT_EQ(processes().at(spidC).blocked, 0);
    }
}

} // namespace
} // namespace ostrim::test
