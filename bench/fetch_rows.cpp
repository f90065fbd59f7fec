// How fast rows come through DB-Library from a simserver: 1,000,000 rows of
// (int, varchar(30), datetime, money), fetched with dbnextrow and every value converted to text,
// at several packet sizes, and the same query through FreeTDS's bsqldb for comparison.
//
//   bench_fetch_rows HOST:PORT            against a running server (login sa, empty password)
//   bench_fetch_rows --spawn [SIMSERVER]  starts a server on a free port with a temporary data dir
//   options: --rows N (default 1000000)  --bsqldb PATH (default bsqldb)  --no-bsqldb

#include "bench_support.h"
#include "simserver_process.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sybdb.h>

namespace {

using bench::Clock;
using bench::Options;
using bench::run;
using bench::seconds;

DBPROCESS* open(const std::string& host, int packetSize) {
    return bench::openSa(host, packetSize, "bench_fetch_rows");
}

void report(const std::string& what, long rows, Clock::duration elapsed) {
    const double s = seconds(elapsed);
    std::printf("%-34s %9ld rows %8.3f s %12.0f rows/s\n", what.c_str(), rows, s,
                s > 0 ? static_cast<double>(rows) / s : 0.0);
    std::fflush(stdout);
}

void fetch(const std::string& host, int packetSize, long expected) {
    DBPROCESS* dbproc = open(host, packetSize);
    const int negotiated = dbgetpacket(dbproc);
    const auto start = Clock::now();
    dbcmd(dbproc, "select id, name, created, amount from bench_rows");
    if (dbsqlexec(dbproc) == FAIL || dbresults(dbproc) != SUCCEED) {
        std::cerr << "select failed\n";
        std::exit(1);
    }
    const int ncols = dbnumcols(dbproc);
    std::vector<int> types(static_cast<size_t>(ncols));
    for (int c = 0; c < ncols; ++c) {
        types[static_cast<size_t>(c)] = dbcoltype(dbproc, c + 1);
    }
    char text[256];
    long rows = 0;
    size_t bytes = 0; // keeps the conversions observable
    for (STATUS s; (s = dbnextrow(dbproc)) != NO_MORE_ROWS;) {
        if (s == FAIL) {
            std::cerr << "dbnextrow failed\n";
            std::exit(1);
        }
        ++rows;
        for (int c = 0; c < ncols; ++c) {
            const DBINT n = dbconvert(dbproc, types[static_cast<size_t>(c)], dbdata(dbproc, c + 1),
                                      dbdatlen(dbproc, c + 1), SYBCHAR,
                                      reinterpret_cast<BYTE*>(text), sizeof text);
            bytes += n > 0 ? static_cast<size_t>(n) : 0;
        }
    }
    while (dbresults(dbproc) != NO_MORE_RESULTS) {
    }
    const auto elapsed = Clock::now() - start;
    dbclose(dbproc);
    if (rows != expected || bytes == 0) {
        std::cerr << "fetched " << rows << " rows, expected " << expected << "\n";
        std::exit(1);
    }
    report("dblib packet " + std::to_string(packetSize) + " (got " + std::to_string(negotiated) +
               ")",
           rows, elapsed);
}

void fetchWithBsqldb(const Options& o, const std::string& host, long rows) {
    if (const auto s =
            bench::runBsqldb(o, host, "select id, name, created, amount from bench_rows"))
        std::printf("%-34s %9ld rows %8.3f s %12.0f rows/s\n", "bsqldb (login + fetch + print)",
                    rows, *s, *s > 0 ? double(rows) / *s : 0.0);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = bench::parseOptions(argc, argv, "bench_fetch_rows");
    bench::initDbLib();

    std::string host = o.host;
    const auto server = bench::spawnServer(o.spawn, o.serverBinary, {}, host);
    if (server)
        std::printf("spawned simserver on %s (data %s)\n", host.c_str(), server->dataDir().c_str());

    if (const auto filled = bench::prepareTable(host, o.rows, "bench_fetch_rows"))
        report("fill (insert ... select doubling)", o.rows, *filled);
    else
        std::printf("bench_rows already holds %ld rows\n", o.rows);
    for (const int packet : {512, 2048, 8192}) {
        const double cpuBefore = server ? bench::processCpuSeconds(server->pid()) : 0;
        fetch(host, packet, o.rows);
        if (server) {
            // The server's own CPU per row: how many rows/s it could feed a faster client.
            const double cpu = bench::processCpuSeconds(server->pid()) - cpuBefore;
            std::printf("  server CPU %.3f s, %.2f us/row: it alone could send %.0f rows/s\n", cpu,
                        cpu * 1e6 / double(o.rows), cpu > 0 ? double(o.rows) / cpu : 0.0);
            std::fflush(stdout);
        }
    }
    if (o.runBsqldb) {
        fetchWithBsqldb(o, host, o.rows);
    }
    return 0;
}
