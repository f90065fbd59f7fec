#pragma once

// Helpers shared by the simserver tests: batches that must succeed or must be refused, scripted
// steps with the rows or the error each must give, and a fixture that starts from an sa
// connection.

#include "dblib_client.h"
#include "simserver_environment.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace ostrim::test {

// NULL and an empty string both read as the empty text, as in the workbench.
inline std::string text(const Value& v) {
    return v ? *v : std::string();
}

inline std::string trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    const size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

// A batch that must run without any error message.
inline BatchResult run(DBPROCESS* dbproc, const std::string& sql) {
    MessageLog::clear();
    BatchResult r = exec(dbproc, sql);
    EXPECT_EQ(r.sqlRc, SUCCEED) << sql << "\n" << MessageLog::dump();
    for (const auto& m : MessageLog::messagesFor(dbproc)) {
        EXPECT_LE(m.severity, 10) << sql << "\nMsg " << m.number << ": " << m.text;
    }
    EXPECT_FALSE(r.dead) << sql;
    return r;
}

// Makes the binary's shared server carry the demo databases; call from a namespace-scope
// initialiser, before GoogleTest starts the server.
inline bool useDemoServer() {
    SimServerEnvironment::serverArguments() = {"--demo"};
    return true;
}

// dbsqlexec accepted the batch; the message log is the failure's explanation.
inline ::testing::AssertionResult succeeds(DBPROCESS* dbproc, const std::string& sql) {
    if (exec(dbproc, sql).sqlRc == SUCCEED) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << sql.substr(0, 200) << "\n" << MessageLog::dump();
}

// A test that starts with an sa connection to the shared server; the test does not run without.
class SaTest : public SimServerTest {
protected:
    void SetUp() override {
        SimServerTest::SetUp();
        m_connection = connectSa();
        ASSERT_TRUE(m_connection) << MessageLog::dump();
        m_sa = m_connection.get();
    }

    Connection m_connection;
    DBPROCESS* m_sa = nullptr;
};

// Polls a session's row of sysprocesses from another session until the column shows the value.
// The bound only keeps a broken server from hanging the test.
inline ::testing::AssertionResult
awaitProcess(DBPROCESS* watcher, int spid, const std::string& column, const std::string& value) {
    const std::string sql =
        "select " + column + " from master..sysprocesses where spid = " + std::to_string(spid);
    std::string seen;
    for (int i = 0; i < 2000; ++i) {
        if ((seen = trim(queryValue(watcher, sql))) == value) {
            return ::testing::AssertionSuccess();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ::testing::AssertionFailure() << column << " of spid " << spid << " stayed " << seen;
}

inline ConnectOptions loginOf(const std::string& user, const std::string& password) {
    ConnectOptions options;
    options.user = user;
    options.password = password;
    return options;
}

// Every row of every result set: values joined by "|", rows by "\n", NULL as "NULL".
inline std::string rowsText(const BatchResult& r) {
    std::string out;
    for (const ResultSet* set : r.rowResults()) {
        for (const Row& row : set->rows) {
            std::string line;
            for (size_t i = 0; i < row.size(); ++i) {
                line += (i ? "|" : "") + row[i].value_or("NULL");
            }
            out += (out.empty() ? "" : "\n") + line;
        }
    }
    return out;
}

// A statement and what it must give:
//   ""             no error; the rows are not looked at
//   "-"            no error and no rows
//   "Msg N"        exactly one error (severity above 10), number N, and the session still answers
//   "Msg N: text"  the same, with this text
//   anything else  no error, and these rows as rowsText writes them
struct Step {
    std::string sql, expect;
};

inline void play(DBPROCESS* p, const std::string& sql, const std::string& expect) {
    SCOPED_TRACE(sql.substr(0, 300));
    MessageLog::clear();
    const BatchResult r = exec(p, sql);
    const bool withText = expect.find(':') != std::string::npos;
    std::string errors;
    for (const auto& m : MessageLog::messagesFor(p)) {
        if (m.severity > 10) {
            errors += (errors.empty() ? "" : "\n") + ("Msg " + std::to_string(m.number)) +
                      (withText ? ": " + trim(m.text) : "");
        }
    }
    if (expect.rfind("Msg ", 0) == 0) {
        EXPECT_EQ(errors, expect) << MessageLog::dump();
        EXPECT_EQ(queryValue(p, "select 42"), "42") << "the session no longer answers";
        return;
    }
    EXPECT_EQ(errors, "");
    EXPECT_EQ(r.sqlRc, SUCCEED) << MessageLog::dump();
    if (!expect.empty()) {
        EXPECT_EQ(rowsText(r), expect == "-" ? "" : expect);
    }
}

inline void play(DBPROCESS* p, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        play(p, s.sql, s.expect);
    }
}

} // namespace ostrim::test
