// Bulk copy through FreeTDS's freebcp: "insert bulk" with TDS 5.0 bulk rows in, a select out.

#include "catalog_checks.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace ostrim::test {
namespace {

struct ToolRun {
    int exitCode = -1;
    std::string output;
};

ToolRun runShell(const std::string& cmd) {
    ToolRun run;
    if (FILE* pipe = ::popen((cmd + " 2>&1").c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
            run.output.append(buf, n);
        }
        const int status = ::pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return run;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The first line where two files differ, for a readable failure.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::istringstream x(a), y(b);
    std::string l, r;
    for (int n = 1;; ++n) {
        const bool more = bool(std::getline(x, l)), moreToo = bool(std::getline(y, r));
        if (!more && !moreToo) {
            return "same lines";
        }
        if (l != r || more != moreToo) {
            return "line " + std::to_string(n) + ":\n  in:  " + l + "\n  out: " + r;
        }
    }
}

class BulkCopy : public SaTest {
protected:
    void SetUp() override {
        if (runShell("command -v freebcp").exitCode != 0) {
            GTEST_SKIP() << "freebcp (freetds-bin) is not installed";
        }
        SaTest::SetUp();
        ::setenv("TDSVER", "5.0", 1);
        ::setenv("LC_ALL", "C", 1);
        m_dir =
            std::filesystem::temp_directory_path() / ("ostrim-bulk-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_dir);
    }

    void TearDown() override {
        if (!m_dir.empty()) {
            std::filesystem::remove_all(m_dir);
        }
    }

    ToolRun freebcp(const std::string& table, const std::string& direction,
                    const std::filesystem::path& file) {
        return runShell("timeout -s KILL 60 freebcp master.." + table + " " + direction + " '" +
                        file.string() + "' -c -S " + host() + " -U sa -P ''");
    }

    // Loads the rows with freebcp in, writes them out again and compares the two files.
    void roundTrip(const std::string& table, const std::string& rows, int count) {
        const auto in = m_dir / (table + ".in"), out = m_dir / (table + ".out");
        std::ofstream(in, std::ios::binary) << rows;
        const ToolRun load = freebcp(table, "in", in);
        ASSERT_EQ(load.exitCode, 0) << load.output;
        EXPECT_EQ(queryValue(m_sa, "select count(*) from " + table), std::to_string(count));
        const ToolRun save = freebcp(table, "out", out);
        ASSERT_EQ(save.exitCode, 0) << save.output;
        const std::string back = readFile(out);
        EXPECT_TRUE(back == rows) << firstDifference(rows, back);
    }

    std::filesystem::path m_dir;
};

TEST_F(BulkCopy, HundredThousandRowsOfEveryKindComeBackAsTheyWent) {
    run(m_sa, "create table bulk_kinds (i int null, s smallint not null, t tinyint null,"
              " v varchar(20) null, c char(5) not null, d datetime null, sd smalldatetime null,"
              " m money null, n numeric(10,2) null, b bit not null, x text null)");
    // Values in the forms freebcp writes them, NULLs (empty fields) in every nullable column.
    std::string rows;
    char line[512];
    for (int i = 0; i < 100000; ++i) {
        const bool null = i % 7 == 3;
        if (null) {
            std::snprintf(line, sizeof line, "%d\t%d\t\t\tc%04d\t\t\t\t\t%d\t\n", i,
                          i % 30000 - 15000, i % 10000, i % 2);
        } else {
            std::snprintf(line, sizeof line,
                          "%d\t%d\t%d\tname %d\tc%04d\t2024-%02d-%02d %02d:%02d:%02d.%03d\t"
                          "2023-%02d-%02d %02d:%02d:00.000\t%d.%04d\t%d.%02d\t%d\ttext %d\n",
                          i, i % 30000 - 15000, i % 256, i, i % 10000, i % 12 + 1, i % 28 + 1,
                          i % 24, i % 60, i * 7 % 60, i * 10 % 1000, i % 12 + 1, i % 28 + 1, i % 24,
                          i % 60, i - 50000, i % 10000, i - 50000, i % 100, i % 2, i);
        }
        rows += line;
    }
    roundTrip("bulk_kinds", rows, 100000);
}

TEST_F(BulkCopy, LongValuesAndTrailingNullsFindTheirColumns) {
    // Rows past 255 bytes carry the high bytes of their offsets in a table of their own.
    run(m_sa, "create table bulk_long (i int null, v varchar(700) null, w varchar(400) null,"
              " k int null)");
    std::string rows;
    for (int i = 0; i < 50; ++i) {
        rows += std::to_string(i) + "\t" + std::string(size_t(i) * 13, 'a') + "\t" +
                (i % 3 == 0 ? "" : std::string(size_t(i) * 7, 'b')) + "\t" +
                (i % 4 == 0 ? "" : std::to_string(i)) + "\n";
    }
    roundTrip("bulk_long", rows, 50);
}

TEST_F(BulkCopy, FloatsBinariesAndImagesComeBackToo) {
    run(m_sa, "create table bulk_other (f float null, r real null, sm smallmoney null,"
              " bn binary(4) not null, vb varbinary(10) null, im image null, bi bigint null,"
              " nn numeric(8,3) not null)");
    roundTrip("bulk_other",
              "1.5\t2.25\t12.3400\t01020304\tabcd\t0a0b0c\t9000000000\t-12.345\n"
              "\t\t\t00000000\t\t\t\t0.000\n",
              2);
}

TEST_F(BulkCopy, ARefusedBatchIsAnErrorAndLeavesNoRows) {
    run(m_sa, "create table bulk_unique (i int not null)\n"
              "create unique index bulk_unique_i on bulk_unique (i)");
    const auto in = m_dir / "dup.in";
    std::ofstream(in, std::ios::binary) << "1\n2\n1\n";
    const ToolRun load = freebcp("bulk_unique", "in", in);
    // freebcp still counts the rows it sent and exits 0; the server's message is the refusal.
    EXPECT_NE(load.output.find("Msg 2601"), std::string::npos) << load.output;
    EXPECT_EQ(queryValue(m_sa, "select count(*) from bulk_unique"), "0");
}

} // namespace
} // namespace ostrim::test
