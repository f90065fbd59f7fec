#pragma once
// What the benchmark programs share: options, DB-Library set-up, the benchmark table.

#include "simserver_process.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sybdb.h>
#include <sys/types.h>

namespace bench {

using Clock = std::chrono::steady_clock;

struct Options {
    std::string host;
    bool spawn = false;
    std::string serverBinary;
    long rows = 1000000;
    std::string bsqldb = "bsqldb";
    bool runBsqldb = true;
};

// HOST:PORT | --spawn [SIMSERVER], --rows N, --bsqldb PATH, --no-bsqldb; exits on misuse.
Options parseOptions(int argc, char** argv, const char* program);

// The benchmarks that make procedures: HOST:PORT | --spawn [SIMSERVER], --procedures N,
// --runs N, the counts defaulting to those given; exits on misuse.
struct ProcedureOptions {
    std::string host;
    bool spawn = false;
    std::string serverBinary;
    int procedures = 0;
    int runs = 0;
};
ProcedureOptions parseProcedureOptions(int argc, char** argv, const char* program, int procedures,
                                       int runs);

// With spawn, a simserver started with the arguments given, and host set to its address;
// without, nothing and host as it is.
std::unique_ptr<ostrim::test::SimServer> spawnServer(bool spawn, const std::string& binary,
                                                     const std::vector<std::string>& arguments,
                                                     std::string& host);

// dbinit and handlers that print errors and messages above severity 10; exits on failure.
void initDbLib();
// A TDS 5.0 sa login asking for the packet size given (0: the library's default).
DBPROCESS* openSa(const std::string& host, int packetSize, const char* appName);
// Runs a batch and discards its results; returns the first value of the last row, if any.
std::optional<long> run(DBPROCESS* dbproc, const std::string& sql);
// Makes bench_rows hold exactly `rows` rows (kept when it already does); returns how long the
// filling took, nothing when the table was kept.
std::optional<Clock::duration> prepareTable(const std::string& host, long rows, const char* app);

// Runs FreeTDS's bsqldb on "select ... go" with its output to output; the time it took, or
// nothing when it failed.
std::optional<double> runBsqldb(const Options& o, const std::string& host, const std::string& sql,
                                const char* output = "/dev/null");

double seconds(Clock::duration d);
// User plus system CPU time of a process, from /proc.
double processCpuSeconds(pid_t pid);

} // namespace bench
