// How long the object differences take for two databases of many procedures: both catalogues
// read (a handful of queries each) and compared, names, layouts and texts. The procedures are
// made once in ostrimdemo and ostrimdemo2 of a demo server; every hundredth differs in text.
//
//   bench_diff_compare HOST:PORT            against a running demo server (login sa, no password)
//   bench_diff_compare --spawn [SIMSERVER]  starts one with --demo on a free port
//   options: --procedures N (default 2000)  --runs N (default 3)

#include "bench_support.h"
#include "catalog_reader.h"
#include "schema_compare.h"
#include "simserver_process.h"
#include "sybquery.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <sybdb.h>

namespace {

using bench::Clock;
using bench::seconds;

std::string procedureText(int number, bool changed) {
    const std::string name = "bench_proc_" + std::to_string(number);
    return "create procedure " + name + " @n int = 0\nas\n" +
           "select id, name from sysobjects where id = @n + " + std::to_string(number) + "\n" +
           (changed ? "select count(*) from sysobjects\n" : "") + "return 0\n";
}

// Makes database hold procedures 0 .. count-1, unless it already has them.
void prepare(DBPROCESS* process, const std::string& database, int count, bool second) {
    if (dbuse(process, database.c_str()) == FAIL) {
        std::cerr << "no database " << database << " (start the server with --demo)\n";
        std::exit(1);
    }
    const std::optional<long> have =
        bench::run(process, "select count(*) from sysobjects where name like \"bench_proc_%\"");
    if (have && *have == count)
        return;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        bench::run(process, procedureText(i, second && i % 100 == 0));
    std::printf("%-14s %d procedures made in %.2f s\n", database.c_str(), count,
                seconds(Clock::now() - start));
}

} // namespace

int main(int argc, char** argv) {
    const bench::ProcedureOptions options =
        bench::parseProcedureOptions(argc, argv, "bench_diff_compare", 2000, 3);
    std::string host = options.host;
    const int procedures = options.procedures;
    const int runs = options.runs;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto server = bench::spawnServer(options.spawn, options.serverBinary, {"--demo"}, host);
    bench::initDbLib();
    DBPROCESS* one = bench::openSa(host, 0, "bench_diff_compare");
    DBPROCESS* two = bench::openSa(host, 0, "bench_diff_compare");
    prepare(one, "ostrimdemo", procedures, false);
    prepare(two, "ostrimdemo2", procedures, true);

    ostrim::TSybQuery query1;
    ostrim::TSybQuery query2;
    for (auto [query, process] : {std::pair{&query1, one}, std::pair{&query2, two}}) {
        query->setAutoDbProc(false);
        query->setDbProc(ostrim::DbProcHandle(process));
    }
    double best = 0;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const ostrim::CatalogSnapshot a = ostrim::readCatalog(query1, "ostrimdemo");
        const auto read1 = Clock::now();
        const ostrim::CatalogSnapshot b = ostrim::readCatalog(query2, "ostrimdemo2");
        const auto read2 = Clock::now();
        const ostrim::CompareResult result = ostrim::compareSnapshots(a, b, {});
        const auto end = Clock::now();
        const double total = seconds(end - start);
        best = run == 0 ? total : std::min(best, total);
        std::printf("read + compare %.3f s (read %.3f s + %.3f s, compare %.3f s): %lld and %lld "
                    "procedures, %lld with different text\n",
                    total, seconds(read1 - start), seconds(read2 - read1), seconds(end - read2),
                    static_cast<long long>(a.procedures.size()),
                    static_cast<long long>(b.procedures.size()),
                    static_cast<long long>(result.side1.text.size()));
        std::fflush(stdout);
    }
    std::printf("best %.3f s\n", best);
    dbclose(one);
    dbclose(two);
    if (server)
        server->stop();
    return 0;
}
