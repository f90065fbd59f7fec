#pragma once

// Helpers shared by the simserver tests: batches that must succeed or must be refused, rows read
// as text the way the workbench fills its lists, object texts from the demo scripts, and a
// fixture that starts from an sa connection.

#include "dblib_client.h"
#include "simserver_environment.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ostrim::test {

using Names = std::vector<std::string>;

// NULL and an empty string both read as the empty text, as in the workbench.
inline std::string text(const Value& v) {
    return v ? *v : std::string();
}

inline std::string rtrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r')) {
        s.pop_back();
    }
    return s;
}

inline std::string trim(std::string s) {
    s = rtrim(std::move(s));
    const size_t start = s.find_first_not_of(' ');
    return start == std::string::npos ? std::string() : s.substr(start);
}

// Errors (severity above 10) that the server sent to this connection, one per line.
inline std::string errorsOf(DBPROCESS* dbproc) {
    std::string out;
    for (const auto& m : MessageLog::messagesFor(dbproc)) {
        if (m.severity > 10) {
            out += "Msg " + std::to_string(m.number) + ": " + m.text + "\n";
        }
    }
    return out;
}

// A batch that must run without any error message.
inline BatchResult run(DBPROCESS* dbproc, const std::string& sql) {
    MessageLog::clear();
    BatchResult r = exec(dbproc, sql);
    EXPECT_EQ(r.sqlRc, SUCCEED) << sql << "\n" << MessageLog::dump();
    EXPECT_EQ(errorsOf(dbproc), "") << sql;
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

// Column 1 of every row of every result set (a list fill).
inline Names column1(const BatchResult& r) {
    Names out;
    for (const ResultSet* set : r.rowResults()) {
        for (const Row& row : set->rows) {
            out.push_back(row.empty() ? std::string() : text(row[0]));
        }
    }
    return out;
}

inline Names list(DBPROCESS* dbproc, const std::string& sql) {
    return column1(run(dbproc, sql));
}

inline Names sorted(Names n) {
    std::sort(n.begin(), n.end());
    return n;
}

// Column 1 of every row joined with nothing between, as object text is read back.
inline std::string joined(const BatchResult& r) {
    std::string out;
    for (const std::string& piece : column1(r)) {
        out += piece;
    }
    return out;
}

// Every row of every result set, each value as text; NULL reads as nullText.
inline std::vector<Names> table(const BatchResult& r, const std::string& nullText = "") {
    std::vector<Names> out;
    for (const ResultSet* set : r.rowResults()) {
        for (const Row& row : set->rows) {
            Names line;
            for (const Value& v : row) {
                line.push_back(v ? *v : nullText);
            }
            out.push_back(line);
        }
    }
    return out;
}

// An object's text from syscomments, joined.
inline std::string storedText(DBPROCESS* p, const std::string& name) {
    return joined(run(p, "select text from syscomments where id = object_id(\"" + name + "\")"));
}

// The workbench's index list: "table.index" for every index but the indid-0 rows.
inline const std::string kIndexList =
    "select so.name + \".\" + si.name from sysobjects so,sysindexes si where so.id = si.id  and "
    "si.indid<> 0 and so.type in (\"U\",\"S\") order by so.name,si.indid";

// The workbench's list of the objects of one type.
inline std::string objectsOfType(const std::string& type) {
    return "select name from sysobjects where type=\"" + type + "\" order by name";
}

inline ConnectOptions loginOf(const std::string& user, const std::string& password) {
    ConnectOptions options;
    options.user = user;
    options.password = password;
    return options;
}

// A batch that must fail with this error number; the connection must still answer afterwards.
inline void expectRefused(DBPROCESS* p, const std::string& sql, int number) {
    MessageLog::clear();
    exec(p, sql);
    const auto msg = MessageLog::find(number);
    EXPECT_TRUE(msg && msg->severity > 10) << sql.substr(0, 60) << "\n" << MessageLog::dump();
    EXPECT_EQ(queryValue(p, "select 42"), "42")
        << "connection unusable after: " << sql.substr(0, 60);
}

// A shell command's exit status and its output (stdout and stderr as the command redirects).
struct CommandOutput {
    int status = -1;
    std::string text;
};

inline CommandOutput commandOutput(const std::string& cmd) {
    CommandOutput out;
    if (FILE* pipe = ::popen(cmd.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
            out.text.append(buf, n);
        }
        out.status = ::pclose(pipe);
    }
    return out;
}

inline std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The batch of a script (batches end at a line "go") that creates the named object, from its
// "create" keyword to its last character: the text the catalogue must keep.
inline std::string createTextInScript(const std::string& path, const std::string& kind,
                                      const std::string& name) {
    const std::string script = readTextFile(path);
    std::istringstream lines(script);
    std::string line, batch;
    std::vector<std::string> batches;
    while (std::getline(lines, line)) {
        if (rtrim(line) == "go") {
            batches.push_back(batch);
            batch.clear();
        } else {
            batch += line + "\n";
        }
    }
    batches.push_back(batch);
    const std::string head = "create " + kind + " " + name;
    for (const std::string& b : batches) {
        const size_t at = b.find(head);
        if (at == std::string::npos) {
            continue;
        }
        const char after = at + head.size() < b.size() ? b[at + head.size()] : '\n';
        if (after == ' ' || after == '\n') {
            return rtrim(b.substr(at));
        }
    }
    throw std::runtime_error("no '" + head + "' in " + path);
}

} // namespace ostrim::test
