// The server's TDS 5.0 conversation as FreeTDS DB-Library sees it: login, result sets,
// messages, RPC, attention and many sessions at once.

#include "catalog_checks.h"

#include <cstdlib>
#include <latch>
#include <set>
#include <thread>

namespace ostrim::test {
namespace {

// Only the line end and blanks DB-Library leaves after a message text.
std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

int intValue(const Value& v) {
    if (!v) {
        throw std::runtime_error("NULL where a number was expected");
    }
    return std::stoi(*v);
}

class Login : public SaTest {};

TEST_F(Login, SaGetsASessionWithItsOwnSpid) {
    Connection b = connectSa();
    ASSERT_TRUE(b);

    EXPECT_EQ(dbtds(m_sa), DBTDS_5_0);
    // dbspid comes from the "select @@spid" that FreeTDS sends right after the login.
    const int spidA = dbspid(m_sa);
    const int spidB = dbspid(b.get());
    EXPECT_GT(spidA, 0);
    EXPECT_GT(spidB, 0);
    EXPECT_NE(spidA, spidB);
    EXPECT_EQ(intValue(exec(m_sa, "select @@spid").scalar()), spidA);
    EXPECT_EQ(queryValue(m_sa, "select db_name()"), "master");
    EXPECT_EQ(queryValue(m_sa, "select suser_name()"), "sa");
}

TEST_F(Login, WrongPasswordOrUnknownUserIsRefusedWith4002) {
    for (const auto& [user, password] :
         {std::pair<std::string, std::string>{"sa", "wrong"}, {"nobody", ""}}) {
        MessageLog::clear();
        Connection c = connect(host(), loginOf(user, password));
        EXPECT_FALSE(c) << user;
        const auto msg = MessageLog::find(4002);
        ASSERT_TRUE(msg) << user << "\n" << MessageLog::dump();
        EXPECT_EQ(msg->severity, 14);
        EXPECT_EQ(trimmed(msg->text), "Login failed.");
    }
    // The refused attempts must not disturb the next good login.
    EXPECT_TRUE(connectSa());
}

TEST_F(Login, DefaultAutoVersionFallsBackToTds50) {
    // The variable would override the library's own choice, which is what is tested here.
    ::unsetenv("TDSVER");
    ConnectOptions options;
    options.tds50 = false;
    Connection c = connectSa(options);
    ASSERT_TRUE(c);
    EXPECT_EQ(dbtds(c.get()), DBTDS_5_0);
    EXPECT_EQ(queryValue(c.get(), "select 1"), "1");
}

class Batches : public SaTest {};

TEST_F(Batches, EveryStatementGivesItsOwnResultWithCounts) {
    const BatchResult r = exec(m_sa, "create table batch_t (a int, b varchar(10))\n"
                                     "insert batch_t values (1, 'one')\n"
                                     "insert batch_t values (2, 'two')\n"
                                     "insert batch_t select a + 10, b from batch_t\n"
                                     "select a, b from batch_t order by a\n"
                                     "select a from batch_t where a > 100\n"
                                     "update batch_t set b = 'x' where a > 10\n"
                                     "select count(*) from batch_t\n");
    ASSERT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
    ASSERT_EQ(r.results.size(), 8u) << MessageLog::dump();
    for (const auto& set : r.results) {
        EXPECT_EQ(set.rc, SUCCEED);
    }

    // create table: no columns, no count.
    EXPECT_TRUE(r.results[0].columnNames.empty());
    EXPECT_FALSE(r.results[0].hasCount);
    EXPECT_EQ(r.results[0].count, -1);
    // inserts: counts only.
    EXPECT_EQ(r.results[1].count, 1);
    EXPECT_EQ(r.results[2].count, 1);
    EXPECT_TRUE(r.results[3].columnNames.empty());
    EXPECT_EQ(r.results[3].count, 2);

    const ResultSet& rows = r.results[4];
    EXPECT_EQ(rows.columnNames, (std::vector<std::string>{"a", "b"}));
    // DB-Library reports varchar columns as SYBCHAR.
    EXPECT_EQ(rows.columnTypes, (std::vector<int>{SYBINT4, SYBCHAR}));
    ASSERT_EQ(rows.rows.size(), 4u);
    EXPECT_EQ(rows.rows[0], (Row{"1", "one"}));
    EXPECT_EQ(rows.rows[3], (Row{"12", "two"}));
    EXPECT_EQ(rows.count, 4);

    // An empty result set still has its columns and a count of 0.
    const ResultSet& empty = r.results[5];
    EXPECT_EQ(empty.columnNames, (std::vector<std::string>{"a"}));
    EXPECT_TRUE(empty.rows.empty());
    EXPECT_TRUE(empty.hasCount);
    EXPECT_EQ(empty.count, 0);

    EXPECT_EQ(r.results[6].count, 2);
    ASSERT_EQ(r.results[7].rows.size(), 1u);
    EXPECT_EQ(r.results[7].rows[0], (Row{"4"}));
}

class Messages : public SaTest {};

TEST_F(Messages, EachCarriesItsNumberSeverityAndText) {
    struct Case {
        const char* sql;
        RETCODE rc;
        int number, severity;
        const char* text; // null: not looked at
    };
    const Case cases[] = {
        {"print \"hello\"", SUCCEED, 0, 10, "hello"},
        {"raiserror 20001 \"boom\"", FAIL, 20001, 16, "boom"},
        {"select * from no_such_table", FAIL, 208, 16, nullptr},
        {"select 1 2", FAIL, 102, 15, nullptr},
        {"select 1/0", FAIL, 3607, 16, nullptr},
        {"use no_such_db", FAIL, 911, 11, nullptr},
        {"no_such_proc", FAIL, 2812, 16, nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.sql);
        MessageLog::clear();
        const BatchResult r = exec(m_sa, k.sql);
        EXPECT_EQ(r.sqlRc, k.rc);
        const auto msgs = MessageLog::messagesFor(m_sa);
        ASSERT_EQ(msgs.size(), 1u) << MessageLog::dump();
        EXPECT_EQ(msgs[0].number, k.number);
        EXPECT_EQ(msgs[0].severity, k.severity);
        if (k.text) {
            EXPECT_EQ(trimmed(msgs[0].text), k.text);
        }
        // Informational messages are not errors for DB-Library; the others come with SYBESMSG.
        EXPECT_EQ(MessageLog::hasError(SYBESMSG), k.severity > 10) << MessageLog::dump();
        EXPECT_FALSE(r.dead);
    }
    // After all that, the session is still in master and usable.
    EXPECT_EQ(queryValue(m_sa, "select db_name()"), "master");

    // In the middle of a batch: the statements around an error still deliver their rows.
    const BatchResult middle = exec(m_sa, "select 1 raiserror 20001 \"boom\" select 2");
    EXPECT_EQ(middle.sqlRc, SUCCEED);
    ASSERT_EQ(middle.results.size(), 3u) << MessageLog::dump();
    EXPECT_EQ(middle.results[0].rc, SUCCEED);
    EXPECT_EQ(middle.results[0].rows, (std::vector<Row>{{"1"}}));
    EXPECT_EQ(middle.results[1].rc, FAIL);
    EXPECT_EQ(middle.results[2].rc, SUCCEED);
    EXPECT_EQ(middle.results[2].rows, (std::vector<Row>{{"2"}}));
}

class Rpc : public SaTest {};

TEST_F(Rpc, RowsOutputParametersAndReturnStatus) {
    ASSERT_TRUE(succeeds(m_sa, "create procedure rpc_greet @name varchar(20), @times int,\n"
                               "    @greeting varchar(40) output, @twice int output as\n"
                               "select @greeting = 'hello ' + @name, @twice = @times * 2\n"
                               "select @name as who, char_length(@name) as len\n"
                               "return 7"));
    const BatchResult r =
        rpc(m_sa, "rpc_greet",
            {RpcParam::varchar("@name", "world"), RpcParam::int4("@times", 21),
             RpcParam::null("@greeting", SYBVARCHAR, true, 40), RpcParam::int4("@twice", 0, true)});
    ASSERT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0]->columnNames, (std::vector<std::string>{"who", "len"}));
    EXPECT_EQ(sets[0]->rows, (std::vector<Row>{{"world", "5"}}));
    EXPECT_TRUE(r.hasRetStatus);
    EXPECT_EQ(r.retStatus, 7);
    ASSERT_EQ(r.outputs.size(), 2u);
    EXPECT_EQ(r.outputs[0].name, "@greeting");
    EXPECT_EQ(r.outputs[0].value, Value("hello world"));
    EXPECT_EQ(r.outputs[1].name, "@twice");
    EXPECT_EQ(r.outputs[1].type, SYBINT4);
    EXPECT_EQ(r.outputs[1].value, Value("42"));

    // NULL input: NULL * 2 is NULL.
    const BatchResult n =
        rpc(m_sa, "rpc_greet",
            {RpcParam::varchar("@name", "x"), RpcParam::null("@times", SYBINT4),
             RpcParam::null("@greeting", SYBVARCHAR, true, 40), RpcParam::int4("@twice", 5, true)});
    ASSERT_EQ(n.outputs.size(), 2u) << MessageLog::dump();
    EXPECT_EQ(n.outputs[1].value, std::nullopt);

    MessageLog::clear();
    EXPECT_EQ(rpc(m_sa, "no_such_proc", {RpcParam::int4("@a", 1)}).sqlRc, FAIL);
    const auto msg = MessageLog::find(2812);
    ASSERT_TRUE(msg) << MessageLog::dump();
    EXPECT_EQ(msg->severity, 16);
    // The failed call's error stays with its own reply: a rowless statement next still succeeds.
    EXPECT_TRUE(succeeds(m_sa, "set nocount off"));
    EXPECT_EQ(queryValue(m_sa, "select 1"), "1");
}

class Attention : public SaTest {};

TEST_F(Attention, CancelStopsAWaitfor) {
    Connection watcher = connectSa();
    ASSERT_TRUE(watcher);
    // Longer than the test's timeout: only the attention can end it.
    ASSERT_TRUE(send(m_sa, "waitfor delay \"01:00:00\""));
    ASSERT_TRUE(awaitProcess(watcher.get(), dbspid(m_sa), "cmd", "WAITFOR"));
    EXPECT_EQ(dbcancel(m_sa), SUCCEED) << MessageLog::dump();
    EXPECT_FALSE(dbdead(m_sa));
    EXPECT_EQ(queryValue(m_sa, "select 1"), "1");
}

TEST_F(Attention, CancelAfterTheFirstResultSetDiscardsTheRest) {
    ASSERT_EQ(dbcmd(m_sa, "select 1 select 2 select 3"), SUCCEED);
    ASSERT_EQ(dbsqlexec(m_sa), SUCCEED);
    ASSERT_EQ(dbresults(m_sa), SUCCEED);
    EXPECT_EQ(dbcancel(m_sa), SUCCEED);
    // The reply to the next batch must not be shifted by leftovers of the cancelled one.
    EXPECT_EQ(queryValue(m_sa, "select 'next'"), "next");
}

class Compute : public SaTest {
protected:
    void SetUp() override {
        SaTest::SetUp();
        run(m_sa, "create table #sales (kind varchar(10), price money, n int)\n"
                  "insert #sales values ('a', $1.50, 1)\n"
                  "insert #sales values ('a', $2.25, 2)\n"
                  "insert #sales values ('b', $4.00, 5)");
    }

    // dbnextrow's codes for the batch's one result set, and each compute row's values.
    struct Read {
        std::vector<STATUS> codes;
        std::vector<Row> computeRows;
        DBINT count = -1;
    };
    Read readAll() {
        Read out;
        for (STATUS code; (code = dbnextrow(m_sa)) != NO_MORE_ROWS && code != FAIL;) {
            out.codes.push_back(code);
            if (code == REG_ROW) {
                continue;
            }
            Row values;
            for (int c = 1; c <= dbnumalts(m_sa, code); ++c) {
                values.push_back(dbadlen(m_sa, code, c) == 0
                                     ? std::nullopt
                                     : toText(m_sa, dbalttype(m_sa, code, c),
                                              dbadata(m_sa, code, c), dbadlen(m_sa, code, c)));
            }
            out.computeRows.push_back(std::move(values));
        }
        out.count = dbcount(m_sa);
        return out;
    }

    void start(const std::string& sql) {
        MessageLog::clear();
        ASSERT_EQ(dbcmd(m_sa, sql.c_str()), SUCCEED);
        ASSERT_EQ(dbsqlexec(m_sa), SUCCEED) << MessageLog::dump();
        ASSERT_EQ(dbresults(m_sa), SUCCEED) << MessageLog::dump();
    }
};

TEST_F(Compute, ByGroupsFollowEachGroupWithItsComputeRow) {
    start("select kind, price, n from #sales order by kind "
          "compute sum(price), avg(n), count(price), min(n), max(kind) by kind");

    EXPECT_EQ(dbnumcompute(m_sa), 1);
    ASSERT_EQ(dbnumalts(m_sa, 1), 5);
    const int ops[] = {SYBAOPSUM, SYBAOPAVG, SYBAOPCNT, SYBAOPMIN, SYBAOPMAX};
    const int operands[] = {2, 3, 2, 3, 1};
    // Sybase: sum of money is money, avg of int is int, min and max keep the column's type.
    const int types[] = {SYBMONEY, SYBINT4, SYBINT4, SYBINT4, SYBCHAR};
    for (int c = 1; c <= 5; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(dbaltop(m_sa, 1, c), ops[c - 1]);
        EXPECT_EQ(dbaltcolid(m_sa, 1, c), operands[c - 1]);
        EXPECT_EQ(dbalttype(m_sa, 1, c), types[c - 1]);
    }
    int size = 0;
    BYTE* by = dbbylist(m_sa, 1, &size);
    ASSERT_EQ(size, 1);
    EXPECT_EQ(by[0], 1);

    const Read r = readAll();
    EXPECT_EQ(r.codes, (std::vector<STATUS>{REG_ROW, REG_ROW, 1, REG_ROW, 1}));
    ASSERT_EQ(r.computeRows.size(), 2u);
    // avg of an int truncates: (1 + 2) / 2.
    EXPECT_EQ(r.computeRows[0], (Row{"3.7500", "1", "2", "1", "a"}));
    EXPECT_EQ(r.computeRows[1], (Row{"4.0000", "5", "1", "5", "b"}));
    // The count is of the regular rows.
    EXPECT_EQ(r.count, 3);
    EXPECT_EQ(queryValue(m_sa, "select @@rowcount"), "3");
}

TEST_F(Compute, AnEmptyResultStillGetsOneComputeRow) {
    start("select kind from #sales where kind = 'missing' compute max(kind), count(kind)");
    const Read r = readAll();
    EXPECT_EQ(r.codes, (std::vector<STATUS>{1}));
    ASSERT_EQ(r.computeRows.size(), 1u);
    EXPECT_EQ(r.computeRows[0], (Row{std::nullopt, "0"}));
    EXPECT_EQ(r.count, 0);
}

TEST_F(Compute, ByListMustBeginTheOrderByList) {
    play(m_sa, {
                   {"select kind, n from #sales order by kind, n compute sum(n) by kind, n", ""},
                   {"select kind, n from #sales order by 1 compute sum(n) by kind", ""},
                   {"select kind, n from #sales order by kind, n compute sum(n) by n", "Msg 143"},
                   {"select kind, n from #sales compute sum(n) by kind", "Msg 143"},
                   {"select kind from #sales order by kind compute sum(n)", "Msg 102"},
               });
}

class Concurrency : public SimServerTest {};

TEST_F(Concurrency, FiftySessionsAtOnceEachWithItsOwnSpid) {
    constexpr int kSessions = 50;
    std::vector<int> spids(kSessions, -1);
    std::vector<std::string> failures(kSessions);
    std::latch allConnected(kSessions);
    std::vector<std::thread> threads;
    threads.reserve(kSessions);
    for (int i = 0; i < kSessions; ++i) {
        threads.emplace_back([&, i] {
            Connection c = connect(host(), ConnectOptions{});
            allConnected.count_down();
            if (!c) {
                failures[i] = "login failed";
                return;
            }
            // Every session holds its connection until all are open, so they overlap.
            allConnected.wait();
            const BatchResult r = exec(c.get(), "select @@spid, " + std::to_string(i));
            try {
                const auto sets = r.rowResults();
                if (sets.size() != 1 || sets[0]->rows.size() != 1) {
                    failures[i] = "unexpected result";
                    return;
                }
                spids[i] = intValue(sets[0]->rows[0][0]);
                if (intValue(sets[0]->rows[0][1]) != i || spids[i] != dbspid(c.get())) {
                    failures[i] = "wrong values";
                }
            } catch (const std::exception& e) {
                failures[i] = e.what();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    for (int i = 0; i < kSessions; ++i) {
        EXPECT_EQ(failures[i], "") << "session " << i;
    }
    EXPECT_EQ(std::set<int>(spids.begin(), spids.end()).size(), static_cast<size_t>(kSessions));
}

} // namespace
} // namespace ostrim::test
