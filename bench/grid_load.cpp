// How fast TSybGrid loads 1,000,000 rows of (int, varchar(30), datetime, money) from a simserver,
// beside the plain DB-Library loop and bsqldb, at 8192- and 512-byte packets:
//   (a0) dbnextrow alone, character values copied, nothing converted: the floor of any load
//   (a) dbnextrow + dbconvert of every value, nothing kept
//   (b) TSybGrid, synchronous Execute
//   (c) TSybGrid, background Execute until Terminated, offscreen with the event loop running;
//       a 10 ms probe timer gives the longest stall of the GUI thread
//   (d) bsqldb with its output to /dev/null (its own default packet size)
// Resident memory added by each grid load is read from /proc/self/statm with the grid alive; the
// longest insert is the GUI thread's CPU time from the model's rowsAboutToBeInserted to its
// rowsInserted for one hand-off.
//
//   bench_grid_load --spawn [SIMSERVER] | HOST:PORT   [--rows N] [--bsqldb PATH] [--no-bsqldb]
//                   [--only LETTERS] [--packet N]
// --only (e.g. "--only b"; "0" is (a0)) and --packet narrow a run down to what a profiler
// should see.

#include "bench_support.h"
#include "simserver_process.h"
#include "sybgrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::Options;
using bench::run;
using bench::seconds;

DBPROCESS* open(const std::string& host, int packetSize) {
    return bench::openSa(host, packetSize, "bench_grid_load");
}

const char* kSelect = "select id, name, created, amount from bench_rows";

qint64 threadCpuNs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// User and system CPU time of this process (every thread), in seconds.
double processCpu() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// (a) with convert: every value through dbconvert, as FreeTDS's own clients do; (a0) without:
// character values copied, nothing converted, the floor any load stands on.
double plainLoop(const std::string& host, int packet, long expected, bool convert) {
    DBPROCESS* dbproc = open(host, packet);
    const double cpuBefore = processCpu();
    const auto start = Clock::now();
    dbcmd(dbproc, kSelect);
    if (dbsqlexec(dbproc) == FAIL || dbresults(dbproc) != SUCCEED)
        std::exit(1);
    const int ncols = dbnumcols(dbproc);
    std::vector<bool> character(std::size_t(ncols) + 1);
    for (int c = 1; c <= ncols; ++c)
        character[std::size_t(c)] = dbcoltype(dbproc, c) == SYBCHAR;
    char text[256];
    long rows = 0;
    std::size_t bytes = 0;
    for (STATUS s; (s = dbnextrow(dbproc)) != NO_MORE_ROWS;) {
        if (s == FAIL)
            std::exit(1);
        ++rows;
        for (int c = 1; c <= ncols; ++c) {
            const DBINT n = dbdatlen(dbproc, c);
            const BYTE* data = dbdata(dbproc, c);
            if (convert) {
                const DBINT converted = dbconvert(dbproc, dbcoltype(dbproc, c), data, n, SYBCHAR,
                                                  reinterpret_cast<BYTE*>(text), sizeof text);
                bytes += converted > 0 ? std::size_t(converted) : 0;
            } else if (character[std::size_t(c)] && data && n > 0) {
                std::memcpy(text, data, std::min<std::size_t>(std::size_t(n), sizeof text));
                bytes += std::size_t(n);
            }
        }
    }
    while (dbresults(dbproc) != NO_MORE_RESULTS) {
    }
    const double s = seconds(Clock::now() - start);
    std::printf("  %-33s%8.3f s  client CPU %.3f s  (granted packet %d)\n",
                convert ? "(a) plain dbnextrow loop" : "(a0) dbnextrow only (floor)", s,
                processCpu() - cpuBefore, dbgetpacket(dbproc));
    dbclose(dbproc);
    if (rows != expected || bytes == 0)
        std::exit(1);
    return s;
}

struct GridFigures {
    double seconds = 0;
    double cpu = 0; // client CPU time, all its threads
    double addedMb = 0;
    double stallMs = 0;
    double stallCpuMs = 0;  // of it, CPU time the GUI thread spent: the rest it waited for a core
    double insertCpuMs = 0; // the longest insert of a hand-off's rows, GUI thread CPU time
};

GridFigures gridLoad(const std::string& host, int packet, long expected, bool background) {
    DBPROCESS* dbproc = open(host, packet);
    GridFigures f;
    const double before = residentMb();
    {
        ostrim::TSybGrid grid;
        grid.resize(800, 600);
        grid.show();
        grid.setAutoDbProc(false);
        grid.setDbProc(ostrim::DbProcHandle(dbproc));
        grid.setBackground(background);
        grid.setSql(QString::fromLatin1(kSelect));

        QElapsedTimer sinceProbe;
        qint64 longestGap = 0;
        qint64 longestGapCpu = 0;
        qint64 cpuAtProbe = threadCpuNs();
        QTimer probe;
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout, &grid, [&] {
            const qint64 gap = sinceProbe.nsecsElapsed();
            const qint64 cpu = threadCpuNs();
            if (gap > longestGap) {
                longestGap = gap;
                longestGapCpu = cpu - cpuAtProbe;
            }
            cpuAtProbe = cpu;
            sinceProbe.restart();
        });

        // From the model's announcement of a hand-off's rows until the view has taken them.
        qint64 insertStart = 0;
        qint64 longestInsert = 0;
        QObject::connect(grid.gridModel(), &QAbstractItemModel::rowsAboutToBeInserted, &grid,
                         [&] { insertStart = threadCpuNs(); });
        QObject::connect(grid.gridModel(), &QAbstractItemModel::rowsInserted, &grid, [&] {
            longestInsert = std::max(longestInsert, threadCpuNs() - insertStart);
        });

        const double cpuBefore = processCpu();
        const auto start = Clock::now();
        grid.Execute();
        if (background) {
            sinceProbe.start();
            cpuAtProbe = threadCpuNs();
            probe.start();
            // The event loop runs meanwhile, as in the results window: the probe measures it.
            grid.waitForLoader(QDeadlineTimer(QDeadlineTimer::Forever));
            grid.Terminated(); // takes the rows the loader handed over last
            probe.stop();
        }
        f.seconds = seconds(Clock::now() - start);
        f.cpu = processCpu() - cpuBefore;
        f.addedMb = residentMb() - before;
        f.stallMs = double(longestGap) / 1e6 - 10.0;
        f.stallCpuMs = double(longestGapCpu) / 1e6;
        f.insertCpuMs = double(longestInsert) / 1e6;
        // header + rows + row-count header and row, after row 0
        if (grid.rowCount() != expected + 4 || grid.cell(1, 2) != "1") {
            std::cerr << "grid holds " << grid.rowCount() << " rows\n";
            std::exit(1);
        }
    }
    dbclose(dbproc);
    ::malloc_trim(0); // the next load starts from what the process really holds
    std::printf("  (%c) TSybGrid %-18s %8.3f s  client CPU %.3f s  +%.1f MB resident",
                background ? 'c' : 'b', background ? "background" : "synchronous", f.seconds, f.cpu,
                f.addedMb);
    if (background)
        std::printf(", longest GUI stall %.1f ms over the 10 ms tick (GUI thread busy %.1f ms "
                    "of that gap)",
                    f.stallMs, f.stallCpuMs);
    std::printf(", longest insert %.1f ms CPU", f.insertCpuMs);
    std::printf("\n");
    std::fflush(stdout);
    return f;
}

double bsqldb(const Options& o, const std::string& host) {
    const auto s = bench::runBsqldb(o, host, kSelect);
    if (!s)
        return 0;
    std::printf("(d) bsqldb > /dev/null (login included) %8.3f s\n", *s);
    return *s;
}

} // namespace

int main(int argc, char** argv) {
    std::string only = "0abc";
    std::vector<int> packets{8192, 512};
    std::vector<char*> args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--only" && i + 1 < argc)
            only = argv[++i];
        else if (a == "--packet" && i + 1 < argc)
            packets = {std::atoi(argv[++i])};
        else
            args.push_back(argv[i]);
    }
    const auto wanted = [&](char load) {
        return only.find(load) != std::string::npos;
    };
    const Options o = bench::parseOptions(int(args.size()), args.data(), "bench_grid_load");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::initDbLib();

    std::string host = o.host;
    const auto server = bench::spawnServer(o.spawn, o.serverBinary, {}, host);
    bench::prepareTable(host, o.rows, "bench_grid_load");
    std::printf("%ld rows x 4 columns from %s\n", o.rows, host.c_str());

    const double d = o.runBsqldb ? bsqldb(o, host) : 0;
    for (const int packet : packets) {
        std::printf("packet %d:\n", packet);
        const double a0 = wanted('0') ? plainLoop(host, packet, o.rows, false) : 0;
        const double a = wanted('a') ? plainLoop(host, packet, o.rows, true) : 0;
        const GridFigures b = wanted('b') ? gridLoad(host, packet, o.rows, false) : GridFigures{};
        const GridFigures c = wanted('c') ? gridLoad(host, packet, o.rows, true) : GridFigures{};
        if (a == 0 || b.seconds == 0 || c.seconds == 0)
            continue;
        std::printf("  ratios: (b)/(a) %.2f  (c)/(a) %.2f", b.seconds / a, c.seconds / a);
        if (a0 > 0)
            std::printf("  (a)/(a0) %.2f  (b)/(a0) %.2f  (c)/(a0) %.2f", a / a0, b.seconds / a0,
                        c.seconds / a0);
        if (d > 0)
            std::printf("  (b)/(d) %.2f  (c)/(d) %.2f", b.seconds / d, c.seconds / d);
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
