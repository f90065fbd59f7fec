// How fast rows come through DB-Library from a simserver: 1,000,000 rows of
// (int, varchar(30), datetime, money), fetched with dbnextrow and every value converted to text,
// at several packet sizes, and the same query through FreeTDS's bsqldb for comparison.
//
//   bench_fetch_rows HOST:PORT            against a running server (login sa, empty password)
//   bench_fetch_rows --spawn [SIMSERVER]  starts a server on a free port with a temporary data dir
//   options: --rows N (default 1000000)  --bsqldb PATH (default bsqldb)  --no-bsqldb

#include "simserver_fixture.h"

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

using Clock = std::chrono::steady_clock;

int onError(DBPROCESS*, int severity, int dberr, int, char* text, char*) {
    std::fprintf(stderr, "db-library error %d (severity %d): %s\n", dberr, severity, text);
    return INT_CANCEL;
}

int onMessage(DBPROCESS*, DBINT number, int, int severity, char* text, char*, char*, int) {
    if (severity > 10) {
        std::fprintf(stderr, "server message %d (severity %d): %s\n", static_cast<int>(number),
                     severity, text);
    }
    return 0;
}

struct Options {
    std::string host;
    bool spawn = false;
    std::string serverBinary;
    long rows = 1000000;
    std::string bsqldb = "bsqldb";
    bool runBsqldb = true;
};

void usage() {
    std::cerr << "usage: bench_fetch_rows HOST:PORT | --spawn [SIMSERVER]\n"
                 "       [--rows N] [--bsqldb PATH] [--no-bsqldb]\n";
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--spawn") {
            o.spawn = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') {
                o.serverBinary = argv[++i];
            }
        } else if (a == "--rows" && i + 1 < argc) {
            o.rows = std::atol(argv[++i]);
        } else if (a == "--bsqldb" && i + 1 < argc) {
            o.bsqldb = argv[++i];
        } else if (a == "--no-bsqldb") {
            o.runBsqldb = false;
        } else if (!a.empty() && a[0] != '-' && o.host.empty()) {
            o.host = a;
        } else {
            usage();
        }
    }
    if (o.spawn == !o.host.empty() || o.rows <= 0) {
        usage();
    }
    return o;
}

DBPROCESS* open(const std::string& host, int packetSize) {
    LOGINREC* login = dblogin();
    DBSETLUSER(login, "sa");
    DBSETLPWD(login, "");
    DBSETLAPP(login, "bench_fetch_rows");
    dbsetlversion(login, DBVERSION_100);
    if (packetSize > 0) {
        DBSETLPACKET(login, packetSize);
    }
    DBPROCESS* dbproc = dbopen(login, host.c_str());
    dbloginfree(login);
    if (!dbproc) {
        std::cerr << "login to " << host << " failed\n";
        std::exit(1);
    }
    return dbproc;
}

// Runs a batch and discards its results; returns the first value of the last row, if any.
std::optional<long> run(DBPROCESS* dbproc, const std::string& sql) {
    dbcmd(dbproc, sql.c_str());
    if (dbsqlexec(dbproc) == FAIL) {
        std::cerr << "failed: " << sql << "\n";
        std::exit(1);
    }
    std::optional<long> value;
    for (RETCODE rc; (rc = dbresults(dbproc)) != NO_MORE_RESULTS;) {
        if (rc == FAIL) {
            std::cerr << "failed: " << sql << "\n";
            std::exit(1);
        }
        while (dbnextrow(dbproc) != NO_MORE_ROWS) {
            if (dbnumcols(dbproc) > 0 && dbdata(dbproc, 1)) {
                DBINT v = 0;
                dbconvert(dbproc, dbcoltype(dbproc, 1), dbdata(dbproc, 1), dbdatlen(dbproc, 1),
                          SYBINT4, reinterpret_cast<BYTE*>(&v), sizeof v);
                value = v;
            }
        }
    }
    return value;
}

// User plus system CPU time of a process, from /proc.
double processCpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // Fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void report(const std::string& what, long rows, Clock::duration elapsed) {
    const double s = seconds(elapsed);
    std::printf("%-34s %9ld rows %8.3f s %12.0f rows/s\n", what.c_str(), rows, s,
                s > 0 ? static_cast<double>(rows) / s : 0.0);
    std::fflush(stdout);
}

// The table is kept between runs against a running server when it already has the right size.
void prepare(const std::string& host, long rows) {
    DBPROCESS* dbproc = open(host, 0);
    const auto have = run(dbproc, "if object_id('bench_rows') is null select -1 "
                                  "else select count(*) from bench_rows");
    if (have && *have == rows) {
        std::printf("bench_rows already holds %ld rows\n", rows);
        dbclose(dbproc);
        return;
    }
    const auto start = Clock::now();
    run(dbproc, "if object_id('bench_rows') is not null drop table bench_rows");
    run(dbproc, "create table bench_rows (id int not null, name varchar(30) not null, "
                "created datetime not null, amount money not null)");
    run(dbproc, "insert bench_rows values (1, 'row 1', 'Jan 1 2024 9:00AM', 1.25)");
    // Doubling from one seed row: each pass copies the table with shifted values.
    for (long have_rows = 1; have_rows < rows; have_rows *= 2) {
        run(dbproc, "declare @m int select @m = max(id) from bench_rows\n"
                    "insert bench_rows select id + @m, 'row ' + convert(varchar(12), id + @m), "
                    "dateadd(ss, id + @m, 'Jan 1 2024 9:00AM'), amount + 0.75 from bench_rows");
    }
    run(dbproc, "delete bench_rows where id > " + std::to_string(rows));
    const auto count = run(dbproc, "select count(*) from bench_rows");
    dbclose(dbproc);
    if (!count || *count != rows) {
        std::cerr << "bench_rows has " << (count ? *count : -1) << " rows, expected " << rows
                  << "\n";
        std::exit(1);
    }
    report("fill (insert ... select doubling)", rows, Clock::now() - start);
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
    char script[] = "/tmp/ostrim-bench-XXXXXX";
    const int fd = ::mkstemp(script);
    const std::string sql = "select id, name, created, amount from bench_rows\ngo\n";
    if (fd < 0 || ::write(fd, sql.data(), sql.size()) != static_cast<ssize_t>(sql.size())) {
        std::cerr << "cannot write the bsqldb script\n";
        std::exit(1);
    }
    ::close(fd);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::setenv("TDSVER", "5.0", 1);
        ::execlp(o.bsqldb.c_str(), o.bsqldb.c_str(), "-S", host.c_str(), "-U", "sa", "-P", "", "-i",
                 script, nullptr);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const auto elapsed = Clock::now() - start;
    ::unlink(script);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << o.bsqldb << " failed (status " << status << ")\n";
        return;
    }
    report("bsqldb (login + fetch + print)", rows, elapsed);
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    if (dbinit() == FAIL) {
        return 1;
    }
    dberrhandle(onError);
    dbmsghandle(onMessage);

    std::unique_ptr<ostrim::test::SimServer> server;
    std::string host = o.host;
    if (o.spawn) {
        server =
            std::make_unique<ostrim::test::SimServer>(std::vector<std::string>{}, o.serverBinary);
        server->start();
        host = server->host();
        std::printf("spawned simserver on %s (data %s)\n", host.c_str(), server->dataDir().c_str());
    }

    prepare(host, o.rows);
    for (const int packet : {512, 2048, 8192}) {
        const double cpuBefore = server ? processCpuSeconds(server->pid()) : 0;
        fetch(host, packet, o.rows);
        if (server) {
            // The server's own CPU per row: how many rows/s it could feed a faster client.
            const double cpu = processCpuSeconds(server->pid()) - cpuBefore;
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
