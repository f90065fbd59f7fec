// FreeTDS's own command-line clients against the server: scripts in golden/ run through bsqldb
// and tsql, and their complete output is compared with hand-derived expected files. The
// clients do the formatting, so these check what the server sends, judged by independent code.

#include "catalog_checks.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/wait.h>

#ifndef OSTRIM_GOLDEN_DIR
#error "OSTRIM_GOLDEN_DIR must name tests/simserver/golden"
#endif

namespace ostrim::test {
namespace {

// A shell command's exit status and its output (stdout and stderr as the command redirects).
struct CommandOutput {
    int status = -1;
    std::string text;
};

CommandOutput commandOutput(const std::string& cmd) {
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

std::string readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct ToolRun {
    int exitCode = -1;
    std::string output; // stdout and stderr interleaved as written
};

// Runs the tool with stdin from a file and both output streams into one pipe. stdbuf makes the
// tool's stdout unbuffered so that rows and messages keep their order; a hung client is killed
// after 60 s, which fails the test instead of the whole ctest run.
ToolRun runTool(const std::vector<std::string>& args, const std::string& stdinPath) {
    std::string cmd = "timeout -s KILL 60 stdbuf -o0";
    for (const std::string& a : args) {
        cmd += " '" + a + "'";
    }
    const CommandOutput out = commandOutput(cmd + " < '" + stdinPath + "' 2>&1");
    return {WIFEXITED(out.status) ? WEXITSTATUS(out.status) : -1, out.text};
}

// Only what differs from run to run: the clock, session ids and the internal state codes of
// system messages (they locate the raising code inside a particular server build).
std::string normalise(const std::string& text) {
    static const std::regex now(R"(now:[^\t|\n]*)");
    static const std::regex spid(R"(spid:[0-9]+)");
    static const std::regex systemState(R"((Msg [0-9]{1,4} \(severity [0-9]+), state [0-9]+\))");
    std::string out = std::regex_replace(text, now, "now:<date>");
    out = std::regex_replace(out, spid, "spid:<n>");
    out = std::regex_replace(out, systemState, "$1, state <n>)");
    return out;
}

// Creation dates of catalogue rows (sysobjects.crdate, sysindexes.crdate) in DB-Library's
// format; only dates from 2024 on, so that the demo's own dates (1985 to 1994) stay checked.
std::string normaliseCreationDates(const std::string& text) {
    static const std::regex crdate(
        R"([A-Z][a-z]{2} [ 0-9][0-9] 20(2[4-9]|[3-9][0-9]) [ 0-9][0-9]:[0-9]{2}:[0-9]{2}:[0-9]{3}[AP]M)");
    return std::regex_replace(text, crdate, "<crdate>");
}

std::string diff(const std::string& expectedPath, const std::string& actual,
                 const std::string& name) {
    const std::string actualPath = std::string(OSTRIM_GOLDEN_ACTUAL_DIR) + "/" + name;
    std::ofstream(actualPath, std::ios::binary) << actual;
    const std::string cmd = "diff -u '" + expectedPath + "' '" + actualPath + "' 2>&1";
    return "actual output kept in " + actualPath + "\n" + commandOutput(cmd).text;
}

class Golden : public ::testing::Test {
protected:
    Golden() = default;
    explicit Golden(std::vector<std::string> serverArgs) : m_server(std::move(serverArgs)) {}

    void SetUp() override {
        // Both clients read these: protocol 5.0 (the server speaks nothing else) and the C
        // locale, which fixes FreeTDS's date format and client character set.
        ::setenv("TDSVER", "5.0", 1);
        ::setenv("LC_ALL", "C", 1);
        try {
            m_server.start();
        } catch (const std::exception& e) {
            GTEST_FAIL() << e.what();
        }
    }

    void check(const std::vector<std::string>& args, const std::string& script,
               const std::string& expected, bool creationDates = false) {
        const std::string dir = OSTRIM_GOLDEN_DIR;
        const ToolRun run = runTool(args, dir + "/" + script);
        EXPECT_EQ(run.exitCode, 0) << run.output;
        const std::string actual =
            creationDates ? normaliseCreationDates(normalise(run.output)) : normalise(run.output);
        const std::string wanted = readTextFile(dir + "/" + expected);
        EXPECT_TRUE(actual == wanted) << diff(dir + "/" + expected, actual, expected);
        EXPECT_TRUE(m_server.running());
    }

    std::string port() const { return std::to_string(m_server.port()); }

    // A server of its own: fresh data and a known name for the messages.
    SimServer m_server{{"--name", "GOLDEN"}};
};

TEST_F(Golden, CoreThroughBsqldb) {
    check({"bsqldb", "-S", m_server.host(), "-U", "sa", "-P", "", "-t", "|"}, "core.sql",
          "core.bsqldb.out");
}

TEST_F(Golden, CoreThroughTsql) {
    check({"tsql", "-H", "127.0.0.1", "-p", port(), "-U", "sa", "-P", "", "-o", "q"}, "core.sql",
          "core.tsql.out");
}

// bsqldb stops at the first error, so the error and control-flow script runs through tsql only.
TEST_F(Golden, ControlFlowAndMessagesThroughTsql) {
    check({"tsql", "-H", "127.0.0.1", "-p", port(), "-U", "sa", "-P", "", "-o", "q"}, "control.sql",
          "control.tsql.out");
}

// Browsing the demo database: object lists, sp_help, sp_helptext, sp_helpindex, views, a join.
class GoldenDemo : public Golden {
protected:
    GoldenDemo() : Golden({"--name", "GOLDEN", "--demo"}) {}
};

TEST_F(GoldenDemo, BrowseThroughBsqldb) {
    check({"bsqldb", "-S", m_server.host(), "-U", "sa", "-P", "", "-D", "ostrimdemo", "-t", "|"},
          "browse.sql", "browse.bsqldb.out", true);
}

} // namespace
} // namespace ostrim::test
