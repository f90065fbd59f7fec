// How long the database search takes over many procedures: the search window's Search, headless,
// for a text that spans two syscomments rows of one procedure (found only by joining its rows)
// and for a text found nowhere. The procedures are made once in database searchbench.
//
//   bench_db_search HOST:PORT            against a running server (login sa, no password)
//   bench_db_search --spawn [SIMSERVER]  starts one on a free port
//   options: --procedures N (default 5000)  --runs N (default 5)

#include "db_search.h"
#include "bench_support.h"
#include "counting_dialogs.h"
#include "dialogs.h"
#include "simserver_process.h"
#include "sybquery.h"
#include "u_db_search.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sybdb.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::seconds;

constexpr char kDatabase[] = "searchbench";
constexpr char kAcross[] = "spans_two_rows_marker";
constexpr char kNowhere[] = "found_in_no_procedure";
constexpr size_t kRow = 255;
constexpr size_t kSourceSize = 2000;

// About 2 KB of statements; the marked one has kAcross split after its eighth character at the
// end of its fourth syscomments row.
std::string procedureText(int number, bool marked) {
    std::string text =
        "create procedure search_proc_" + std::to_string(number) + " @n int = 0\nas\n";
    const std::string line = "select id, name, type from sysobjects where id = @n + " +
                             std::to_string(number) + " and name like \"x%\"\n";
    if (marked) {
        const size_t at = 4 * kRow - 8;
        while (text.size() + line.size() < at)
            text += line;
        text += "--" + std::string(at - text.size() - 2, '-') + kAcross + "\n";
    }
    while (text.size() + line.size() < kSourceSize)
        text += line;
    return text + "return 0\n";
}

void prepare(DBPROCESS* process, int count) {
    const std::optional<long> exists = bench::run(
        process, std::string("select count(*) from master..sysdatabases where name = \"") +
                     kDatabase + "\"");
    if (!exists || *exists == 0)
        bench::run(process, std::string("create database ") + kDatabase);
    if (dbuse(process, kDatabase) == FAIL) {
        std::cerr << "cannot use or create database " << kDatabase << "\n";
        std::exit(1);
    }
    const std::optional<long> have =
        bench::run(process, "select count(*) from sysobjects where name like \"search_proc_%\"");
    if (!have || *have != count) {
        const auto start = Clock::now();
        for (int i = have.value_or(0); i < count; ++i)
            bench::run(process, procedureText(i, i == count / 2));
        std::printf("%d procedures made in %.2f s\n", count, seconds(Clock::now() - start));
    }
    const std::optional<long> rows = bench::run(process, "select count(*) from syscomments");
    const std::optional<long> bytes =
        bench::run(process, "select sum(datalength(text)) from syscomments");
    std::printf("source to search: %ld syscomments rows, %ld bytes\n", rows.value_or(-1),
                bytes.value_or(-1));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv) {
    const bench::ProcedureOptions options =
        bench::parseProcedureOptions(argc, argv, "bench_db_search", 5000, 5);
    std::string host = options.host;
    const int procedures = options.procedures;
    const int runs = options.runs;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto server = bench::spawnServer(options.spawn, options.serverBinary, {}, host);
    bench::initDbLib();
    DBPROCESS* process = bench::openSa(host, 0, "bench_db_search");
    prepare(process, procedures);

    bench::CountingDialogs dialogs;
    ostrim::Dialogs::install(&dialogs);
    ostrim::Tf_db_search search(nullptr);
    search.q_search->setDbProc(ostrim::DbProcHandle(process));
    search.q_search->setDbName(kDatabase);
    int failures = 0;
    const pid_t serverPid = server ? server->pid() : -1;
    for (const char* text : {kAcross, kNowhere}) {
        std::vector<double> times;
        const double clientCpu = bench::processCpuSeconds(getpid());
        const double serverCpu = serverPid > 0 ? bench::processCpuSeconds(serverPid) : 0;
        for (int run = 0; run < runs; ++run) {
            const int messagesBefore = dialogs.messages;
            search.e_searchtext->setText(text);
            const auto start = Clock::now();
            search.Button2->click();
            times.push_back(seconds(Clock::now() - start));
            const bool found = search.lb_search->count() > 0;
            const bool expected =
                text == kAcross
                    ? search.lb_search->count() == 1 && dialogs.messages == messagesBefore
                    : !found && dialogs.messages == messagesBefore + 1;
            failures += !expected;
            std::printf("%-22s %.3f s, %d line(s)%s%s\n", text, times.back(),
                        search.lb_search->count(), found ? ": " : "",
                        found ? search.lb_search->item(0)->text().toLocal8Bit().constData() : "");
        }
        std::printf("%-22s median %.3f s over %d runs", text, median(times), runs);
        std::printf("; CPU a run: client %.3f s",
                    (bench::processCpuSeconds(getpid()) - clientCpu) / runs);
        if (serverPid > 0)
            std::printf(", server %.3f s",
                        (bench::processCpuSeconds(serverPid) - serverCpu) / runs);
        std::printf("\n");
        std::fflush(stdout);
    }
    // The share of the three like queries, which see one row at a time, in the time above.
    std::vector<double> likeTimes;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        for (const ostrim::SearchKind kind :
             {ostrim::SearchKind::Procedures, ostrim::SearchKind::Triggers,
              ostrim::SearchKind::Views}) {
            search.q_search->setSql(ostrim::searchSql(kind, kNowhere));
            search.q_search->Execute();
            while (search.q_search->Next() == ostrim::kMoreRows) {
            }
        }
        likeTimes.push_back(seconds(Clock::now() - start));
    }
    std::printf("%-22s median %.3f s for the like queries alone\n", kNowhere, median(likeTimes));
    ostrim::Dialogs::install(nullptr);
    if (failures)
        std::printf("%d run(s) listed other than expected\n", failures);
    dbclose(process);
    if (server)
        server->stop();
    return failures ? 1 : 0;
}
