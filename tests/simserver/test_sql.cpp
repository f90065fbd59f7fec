// Data through DB-Library: every basic type on the wire, durability across a crash, packet sizes
// and batches larger than one TDS message buffer.

#include "catalog_checks.h"

#include <cstdint>
#include <cstring>
#include <sqlite3.h>
#include <string>

namespace ostrim::test {
namespace {

class DataTypes : public SaTest {};

TEST_F(DataTypes, EveryBasicTypeAndItsNullRoundTrips) {
    // char and binary are NOT NULL so that their fixed width (padding) shows; bit cannot be NULL.
    ASSERT_TRUE(succeeds(m_sa, R"sql(
create table types_t (
    c char(5) not null, vc varchar(20) null, ti tinyint null, si smallint null, i int null,
    bi bigint null, b bit not null, f float null, r real null, n numeric(10,2) null,
    m money null, sm smallmoney null, dt datetime null, sdt smalldatetime null, tx text null,
    bn binary(4) not null, vb varbinary(8) null)
insert types_t values ('ab', 'hello', 255, -32768, 2147483647, -9000000000, 1, 3.25, 1.5,
    123.45, 12.34, -5.678, 'Apr 1 2023 1:01:01.500PM', 'Apr 1 2023 1:02PM', 'some text',
    0x01abff, 0x0102)
insert types_t values ('z', null, null, null, null, null, 0, null, null, null, null, null,
    null, null, null, 0x00, null)
)sql"));

    const BatchResult r = exec(m_sa, "select * from types_t order by b desc");
    ASSERT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 1u);
    const ResultSet& s = *sets[0];
    // Name, dbcoltype, the values of both rows as text. dbcoltype folds varchar into SYBCHAR and
    // varbinary into SYBBINARY; the texts are FreeTDS's own conversions (dbconvert to SYBCHAR).
    struct Column {
        std::string name;
        int type;
        Value value, nullRow;
    };
    const std::vector<Column> columns = {
        {"c", SYBCHAR, "ab   ", "z    "},
        {"vc", SYBCHAR, "hello", std::nullopt},
        {"ti", SYBINT1, "255", std::nullopt},
        {"si", SYBINT2, "-32768", std::nullopt},
        {"i", SYBINT4, "2147483647", std::nullopt},
        {"bi", SYBINT8, "-9000000000", std::nullopt},
        {"b", SYBBIT, "1", "0"},
        {"f", SYBFLT8, "3.25", std::nullopt},
        {"r", SYBREAL, "1.5", std::nullopt},
        {"n", SYBNUMERIC, "123.45", std::nullopt},
        {"m", SYBMONEY, "12.3400", std::nullopt},
        {"sm", SYBMONEY4, "-5.6780", std::nullopt},
        {"dt", SYBDATETIME, "Apr  1 2023  1:01:01:500PM", std::nullopt},
        {"sdt", SYBDATETIME4, "Apr  1 2023  1:02:00:000PM", std::nullopt},
        {"tx", SYBTEXT, "some text", std::nullopt},
        {"bn", SYBBINARY, "01abff00", "00000000"},
        {"vb", SYBBINARY, "0102", std::nullopt},
    };
    ASSERT_EQ(s.columnNames.size(), columns.size());
    ASSERT_EQ(s.columnTypes.size(), columns.size());
    ASSERT_EQ(s.rows.size(), 2u);
    ASSERT_EQ(s.rows[0].size(), columns.size());
    ASSERT_EQ(s.rows[1].size(), columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        SCOPED_TRACE("column " + columns[i].name);
        EXPECT_EQ(s.columnNames[i], columns[i].name);
        EXPECT_EQ(s.columnTypes[i], columns[i].type);
        EXPECT_EQ(s.rows[0][i], columns[i].value);
        EXPECT_EQ(s.rows[1][i], columns[i].nullRow);
    }
}

TEST_F(DataTypes, EmptyStringComesBackAsOneSpace) {
    // Sybase has no zero-length non-NULL varchar: '' is stored and returned as a single blank.
    EXPECT_EQ(exec(m_sa, "select ''").scalar(), Value(" "));
    EXPECT_EQ(queryValue(m_sa, "select datalength('')"), "1");
    EXPECT_EQ(exec(m_sa, "select convert(varchar(10), null)").scalar(), std::nullopt);
}

TEST_F(DataTypes, ColumnLengthsFollowTheDeclaredTypes) {
    ASSERT_TRUE(succeeds(m_sa, "create table lengths_t (vc varchar(20) null, c char(5) not null, "
                               "i int null, m money null, d datetime null)\n"
                               "insert lengths_t values ('a', 'b', 1, 2, 'Jan 1 2020')"));
    // Result grids size their columns from dbcollen, so the declared lengths must arrive.
    const BatchResult r = exec(m_sa, "select vc, c, i, m, d, convert(varchar(10), i), 'abc' "
                                     "from lengths_t");
    ASSERT_EQ(r.rowResults().size(), 1u) << MessageLog::dump();
    EXPECT_EQ(r.rowResults()[0]->columnLengths, (std::vector<int>{20, 5, 4, 8, 8, 10, 3}));
}

// Money is an integer count of ten-thousandths: no value may pass through a double.
TEST_F(DataTypes, MoneyIsExact) {
    play(
        m_sa,
        {
            {"create table #m (k int, m money null, s smallmoney null)\n"
             "insert #m values (1, -922337203685477.5808, -214748.3648)\n"
             "insert #m values (2, 922337203685477.5807, 214748.3647)\n"
             "insert #m values (3, 900000000000000.1234, $0.0001)\n"
             "insert #m values (4, $1.2345, 2.5555)\n"
             "insert #m values (5, convert(money, '-0.0001'), convert(smallmoney, '$1.00005'))",
             ""},
            {"create table #d (k int, m money default $1.25 null)\ninsert #d (k) values (1)\n"
             "select m from #d",
             "1.2500"},
            {"select m, s from #m order by k",
             "-922337203685477.5808|-214748.3648\n922337203685477.5807|214748.3647\n"
             "900000000000000.1234|0.0001\n1.2345|2.5555\n-0.0001|1.0001"},
            {"select sum(m), avg(m), sum(s), avg(s) from #m where k > 2",
             "900000000000001.3578|300000000000000.4526|3.5557|1.1852"},
            {"select count(*) from #m where m = 900000000000000.1234 or m < -922337203685477", "2"},
            {"select $1.2345 * 3, $10 / 3, $1.5 * $1.5, $0.0001 / 2, m - 1 from #m where k = 3",
             "3.7035|3.3333|2.2500|0.0001|899999999999999.1234"},
            {"select convert(varchar(30), m) from #m where k = 1", "-922337203685477.58"},
            {"select round(m, 2), ceiling(m), floor(m), case when k = 3 then m else 0 end from #m "
             "where k in (3, 4) order by k",
             "900000000000000.1200|900000000000001.0000|900000000000000.0000|"
             "900000000000000.1234\n1.2300|2.0000|1.0000|0.0000"},
            {"declare @m money\nselect @m = $12.345\nraiserror 20000 'cost %1!', @m",
             "Msg 20000: cost 12.35"},
            {"declare @m money\nselect @m = m from #m where k = 2\nselect @m",
             "922337203685477.5807"},
            {"select sum(m) from #m where k in (2, 3)", "Msg 3606: Arithmetic overflow occurred."},
            {"select m + $0.0001 from #m where k = 2", "Msg 3606"},
            {"insert #m (k, s) values (6, 214748.3648)", "Msg 3606"},
            {"select convert(money, '922337203685477.5808')", "Msg 247"},
        });
}

// The wire form of both limits: high and low 32 bits for money, one int32 for smallmoney.
TEST_F(DataTypes, MoneyLimitsReachTheClientExactly) {
    ASSERT_EQ(dbcmd(m_sa,
                    "select convert(money, '-922337203685477.5808'), "
                    "convert(money, '922337203685477.5807'), "
                    "convert(smallmoney, '-214748.3648'), convert(smallmoney, '214748.3647')"),
              SUCCEED);
    ASSERT_EQ(dbsqlexec(m_sa), SUCCEED) << MessageLog::dump();
    ASSERT_EQ(dbresults(m_sa), SUCCEED);
    ASSERT_EQ(dbnextrow(m_sa), REG_ROW);
    auto money = [&](int col) {
        DBMONEY v{};
        EXPECT_EQ(dbdatlen(m_sa, col), DBINT(sizeof v));
        std::memcpy(&v, dbdata(m_sa, col), sizeof v);
        return (int64_t(v.mnyhigh) << 32) | int64_t(v.mnylow);
    };
    auto smallMoney = [&](int col) {
        DBMONEY4 v{};
        EXPECT_EQ(dbdatlen(m_sa, col), DBINT(sizeof v));
        std::memcpy(&v, dbdata(m_sa, col), sizeof v);
        return v.mny4;
    };
    EXPECT_EQ(money(1), INT64_MIN);
    EXPECT_EQ(money(2), INT64_MAX);
    EXPECT_EQ(smallMoney(3), INT32_MIN);
    EXPECT_EQ(smallMoney(4), INT32_MAX);
    dbcanquery(m_sa);
    EXPECT_EQ(dbresults(m_sa), NO_MORE_RESULTS);
}

// Sybase 15's "select top N": the first N rows in the order asked for.
TEST_F(DataTypes, SelectTopLimitsTheRows) {
    play(m_sa,
         {
             {"create table #top (top int, v varchar(5))\n"
              "insert #top values (3, 'c')\ninsert #top values (1, 'a')\ninsert #top values (2, "
              "'b')",
              ""},
             {"select top 2 v from #top order by top", "a\nb"},
             {"select top 2 * from #top order by v desc", "3|c\n2|b"},
             {"select top 0 v from #top", "-"},
             {"select distinct top 1 top from #top order by top desc", "3"},
             // Without a number after it, top is the column of that name.
             {"select top from #top where v = 'b'", "2"},
             {"select v from #top where top = (select top 1 top from #top order by top desc)", "c"},
         });
}

class SetOptions : public SaTest {};

TEST_F(SetOptions, EachOptionTurnsOnAndOffWithoutError) {
    for (const char* option :
         {"showplan", "statistics io", "statistics time", "fipsflagger",
          "arithabort arith_overflow", "arithignore arith_overflow", "nocount"}) {
        MessageLog::clear();
        EXPECT_EQ(exec(m_sa, std::string("set ") + option + " on").sqlRc, SUCCEED) << option;
        // Queries still run and return their rows while the option is on; a real server may
        // add informational output (plans, I/O and time statistics), never errors.
        EXPECT_EQ(exec(m_sa, "select 6 * 7").scalar(), Value("42")) << option;
        EXPECT_EQ(exec(m_sa, std::string("set ") + option + " off").sqlRc, SUCCEED) << option;
        for (const auto& m : MessageLog::messages()) {
            EXPECT_LE(m.severity, 10) << option << ": " << m.number << " " << m.text;
        }
    }
}

// That noexec and parseonly skip execution is in golden/control.sql; syntax is still checked.
TEST_F(SetOptions, ParseonlyStillChecksSyntax) {
    ASSERT_TRUE(succeeds(m_sa, "set parseonly on"));
    MessageLog::clear();
    EXPECT_EQ(exec(m_sa, "select 1 2").sqlRc, FAIL);
    EXPECT_TRUE(MessageLog::find(102)) << MessageLog::dump();
    ASSERT_TRUE(succeeds(m_sa, "set parseonly off"));
}

TEST_F(SetOptions, TextsizeCutsTextValues) {
    run(m_sa, "create table #doc (body text)\ninsert #doc values ('0123456789')");
    play(m_sa, "set textsize 3\nselect body from #doc\nselect @@textsize", "012\n3");
    play(m_sa, "set textsize 0\nselect body from #doc\nselect @@textsize", "0123456789\n32768");
}

TEST_F(SetOptions, FmtonlySendsTheFormatWithoutRows) {
    const BatchResult r = run(m_sa, "set fmtonly on\nselect name, id from sysobjects");
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0]->columnNames, (std::vector<std::string>{"name", "id"}));
    EXPECT_TRUE(sets[0]->rows.empty());
    play(m_sa, "set fmtonly off\nselect 1", "1");
}

TEST_F(SetOptions, AnUnknownOptionStopsTheWholeBatch) {
    MessageLog::clear();
    const BatchResult r = exec(m_sa, "select 1\nset bogus on\nselect 2");
    EXPECT_TRUE(r.rowResults().empty());
    const auto messages = MessageLog::messagesFor(m_sa);
    ASSERT_EQ(messages.size(), 1u) << MessageLog::dump();
    EXPECT_EQ(messages[0].number, 195);
    EXPECT_EQ(trim(messages[0].text), "'bogus' is not a recognized SET option.");
    EXPECT_EQ(messages[0].line, 2);
}

TEST_F(SetOptions, SybaseOptionsAreAccepted) {
    for (const char* sql : {"set fmtonly off", "set lock wait 5", "set lock nowait",
                            "set lock wait", "set close on endtran on", "set close on endtran off",
                            "set char_convert off", "set char_convert on", "set char_convert utf8",
                            "set statement_cache on", "set statement_cache off",
                            "set switch on 3604", "set switch off 3604, 302", "set textsize 100"}) {
        play(m_sa, sql, "-");
    }
}

TEST_F(SetOptions, ChainedModeOpensATransactionAtTheFirstDataStatement) {
    play(m_sa, {
                   {"create table #chain (a int)", "-"},
                   {"set chained on\nselect @@tranchained, @@trancount", "1|0"},
                   {"insert #chain values (1)\nselect @@trancount", "1"},
                   {"set chained off", "Msg 226"},
                   {"rollback\nselect @@trancount", "0"},
                   {"select count(*) from #chain\nselect @@trancount", "0\n1"},
                   {"commit\nset chained off\nselect @@tranchained, @@trancount", "0|0"},
               });
}

class PacketSize : public SaTest {};

TEST_F(PacketSize, LargePacketsCarryABigResult) {
    ConnectOptions options;
    options.packetSize = 8192;
    Connection c = connectSa(options);
    ASSERT_TRUE(c);
    const int negotiated = dbgetpacket(c.get());
    EXPECT_GE(negotiated, 512);
    EXPECT_LE(negotiated, 8192);

    // 2^11 rows of ~200 bytes: many packets of any size.
    ASSERT_TRUE(succeeds(c.get(), "create table big_t (id int, pad varchar(200))\n"
                                  "insert big_t values (1, replicate('x', 200))\n"));
    for (int i = 0; i < 11; ++i) {
        ASSERT_TRUE(succeeds(c.get(), "insert big_t select id + (select count(*) from big_t), pad "
                                      "from big_t"));
    }
    const BatchResult r = exec(c.get(), "select id, pad from big_t order by id");
    ASSERT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 1u);
    ASSERT_EQ(sets[0]->rows.size(), 2048u);
    EXPECT_EQ(sets[0]->count, 2048);
    for (size_t i = 0; i < sets[0]->rows.size(); ++i) {
        const Row& row = sets[0]->rows[i];
        ASSERT_EQ(row[0], Value(std::to_string(i + 1)));
        ASSERT_EQ(row[1], Value(std::string(200, 'x')));
    }
}

TEST_F(PacketSize, BatchTextOver64KB) {
    std::string sql = "create table wide_batch_t (id int, note varchar(40))\n";
    constexpr int kRows = 2000;
    for (int i = 0; i < kRows; ++i) {
        sql += "insert wide_batch_t values (" + std::to_string(i) +
               ", 'a line that makes the batch long')\n";
    }
    sql += "select count(*), sum(id) from wide_batch_t\n";
    ASSERT_GT(sql.size(), 64u * 1024u);
    const BatchResult r = exec(m_sa, sql);
    ASSERT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
    const auto sets = r.rowResults();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0]->rows, (std::vector<Row>{{"2000", std::to_string(kRows * (kRows - 1) / 2)}}));
    // One result per insert plus the create table and the select.
    EXPECT_EQ(r.results.size(), static_cast<size_t>(kRows + 2));
}

// Uses its own server: it is killed and restarted.
TEST(Durability, CommittedDataSurvivesKill9AndRestart) {
    SimServer server;
    ASSERT_NO_THROW(server.start());
    {
        Connection c = connect(server.host());
        ASSERT_TRUE(c) << MessageLog::dump();
        ASSERT_TRUE(succeeds(c.get(), "create table durable_t (id int, name varchar(20))\n"
                                      "insert durable_t values (1, 'one')\n"
                                      "begin tran\n"
                                      "insert durable_t values (2, 'two')\n"
                                      "commit tran\n"));
        // Left open and uncommitted when the server dies: must not survive.
        ASSERT_TRUE(succeeds(c.get(), "begin tran insert durable_t values (3, 'three')"));
        server.kill9();
    }
    EXPECT_FALSE(server.running());
    ASSERT_NO_THROW(server.start());
    Connection c = connect(server.host());
    ASSERT_TRUE(c) << MessageLog::dump();
    const BatchResult r = exec(c.get(), "select id, name from durable_t order by id");
    ASSERT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
    ASSERT_EQ(r.rowResults().size(), 1u);
    EXPECT_EQ(r.rowResults()[0]->rows, (std::vector<Row>{{"1", "one"}, {"2", "two"}}));
    c.close();
    EXPECT_EQ(server.stop(), 0);
}

// A data directory from before money was kept in ten-thousandths reads the same after a start.
TEST(Durability, MoneyOfAnOlderDataDirectoryIsConverted) {
    SimServer server;
    ASSERT_NO_THROW(server.start());
    {
        Connection c = connect(server.host());
        ASSERT_TRUE(c) << MessageLog::dump();
        ASSERT_TRUE(succeeds(c.get(), "create table old_money (m money null, s smallmoney null)\n"
                                      "insert old_money values (1, 2)"));
    }
    ASSERT_EQ(server.stop(), 0);
    // What the older server had written: real numbers of units, file format 0.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((server.dataDir() + "/master.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "update old_money set m = 12.5, s = -0.25; pragma user_version = 0",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_NO_THROW(server.start());
    Connection c = connect(server.host());
    ASSERT_TRUE(c) << MessageLog::dump();
    EXPECT_EQ(rowsText(exec(c.get(), "select m, s from old_money")), "12.5000|-0.2500");
    c.close();
    EXPECT_EQ(server.stop(), 0);
}

} // namespace
} // namespace ostrim::test
