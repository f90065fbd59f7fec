#include "bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

namespace {

int onError(DBPROCESS*, int severity, int dberr, int, char* text, char*) {
    std::fprintf(stderr, "db-library error %d (severity %d): %s\n", dberr, severity, text);
    return INT_CANCEL;
}

int onMessage(DBPROCESS*, DBINT number, int, int severity, char* text, char*, char*, int) {
    if (severity > 10)
        std::fprintf(stderr, "server message %d (severity %d): %s\n", int(number), severity, text);
    return 0;
}

[[noreturn]] void usage(const char* program) {
    std::cerr << "usage: " << program << " HOST:PORT | --spawn [SIMSERVER]\n"
              << "       [--rows N] [--bsqldb PATH] [--no-bsqldb]\n";
    std::exit(2);
}

} // namespace

Options parseOptions(int argc, char** argv, const char* program) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--spawn") {
            o.spawn = true;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                o.serverBinary = argv[++i];
        } else if (a == "--rows" && i + 1 < argc) {
            o.rows = std::atol(argv[++i]);
        } else if (a == "--bsqldb" && i + 1 < argc) {
            o.bsqldb = argv[++i];
        } else if (a == "--no-bsqldb") {
            o.runBsqldb = false;
        } else if (!a.empty() && a[0] != '-' && o.host.empty()) {
            o.host = a;
        } else {
            usage(program);
        }
    }
    if (o.spawn == !o.host.empty() || o.rows <= 0)
        usage(program);
    return o;
}

ProcedureOptions parseProcedureOptions(int argc, char** argv, const char* program, int procedures,
                                       int runs) {
    ProcedureOptions o{{}, false, {}, procedures, runs};
    bool valid = true;
    for (int i = 1; i < argc && valid; ++i) {
        const std::string a = argv[i];
        if (a == "--spawn") {
            o.spawn = true;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                o.serverBinary = argv[++i];
        } else if (a == "--procedures" && i + 1 < argc) {
            o.procedures = std::atoi(argv[++i]);
        } else if (a == "--runs" && i + 1 < argc) {
            o.runs = std::atoi(argv[++i]);
        } else if (!a.empty() && a[0] != '-' && o.host.empty()) {
            o.host = a;
        } else {
            valid = false;
        }
    }
    if (!valid || o.spawn == !o.host.empty() || o.procedures < 1 || o.runs < 1) {
        std::cerr << "usage: " << program << " HOST:PORT | --spawn [SIMSERVER]\n"
                  << "       [--procedures N] [--runs N]\n";
        std::exit(2);
    }
    return o;
}

std::unique_ptr<ostrim::test::SimServer> spawnServer(bool spawn, const std::string& binary,
                                                     const std::vector<std::string>& arguments,
                                                     std::string& host) {
    if (!spawn)
        return nullptr;
    auto server = std::make_unique<ostrim::test::SimServer>(arguments, binary);
    server->start();
    host = server->host();
    return server;
}

void initDbLib() {
    if (dbinit() == FAIL)
        std::exit(1);
    dberrhandle(onError);
    dbmsghandle(onMessage);
}

DBPROCESS* openSa(const std::string& host, int packetSize, const char* appName) {
    LOGINREC* login = dblogin();
    DBSETLUSER(login, "sa");
    DBSETLPWD(login, "");
    DBSETLAPP(login, appName);
    dbsetlversion(login, DBVERSION_100);
    if (packetSize > 0)
        DBSETLPACKET(login, packetSize);
    DBPROCESS* dbproc = dbopen(login, host.c_str());
    dbloginfree(login);
    if (!dbproc) {
        std::cerr << "login to " << host << " failed\n";
        std::exit(1);
    }
    return dbproc;
}

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

std::optional<Clock::duration> prepareTable(const std::string& host, long rows, const char* app) {
    DBPROCESS* dbproc = openSa(host, 0, app);
    const auto have = run(dbproc, "if object_id('bench_rows') is null select -1 "
                                  "else select count(*) from bench_rows");
    if (have && *have == rows) {
        dbclose(dbproc);
        return std::nullopt;
    }
    const auto start = Clock::now();
    run(dbproc, "if object_id('bench_rows') is not null drop table bench_rows");
    run(dbproc, "create table bench_rows (id int not null, name varchar(30) not null, "
                "created datetime not null, amount money not null)");
    run(dbproc, "insert bench_rows values (1, 'row 1', 'Jan 1 2024 9:00AM', 1.25)");
    // Doubling from one seed row: each pass copies the table with shifted values.
    for (long haveRows = 1; haveRows < rows; haveRows *= 2)
        run(dbproc, "declare @m int select @m = max(id) from bench_rows\n"
                    "insert bench_rows select id + @m, 'row ' + convert(varchar(12), id + @m), "
                    "dateadd(ss, id + @m, 'Jan 1 2024 9:00AM'), amount + 0.75 from bench_rows");
    run(dbproc, "delete bench_rows where id > " + std::to_string(rows));
    const auto count = run(dbproc, "select count(*) from bench_rows");
    dbclose(dbproc);
    if (!count || *count != rows) {
        std::cerr << "bench_rows has " << (count ? *count : -1) << " rows, expected " << rows
                  << "\n";
        std::exit(1);
    }
    return Clock::now() - start;
}

std::optional<double> runBsqldb(const Options& o, const std::string& host, const std::string& sql,
                                const char* output) {
    char script[] = "/tmp/ostrim-bench-XXXXXX";
    const int fd = ::mkstemp(script);
    const std::string text = sql + "\ngo\n";
    if (fd < 0 || ::write(fd, text.data(), text.size()) != ssize_t(text.size())) {
        std::cerr << "cannot write the bsqldb script\n";
        std::exit(1);
    }
    ::close(fd);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(output, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::setenv("TDSVER", "5.0", 1);
        ::execlp(o.bsqldb.c_str(), o.bsqldb.c_str(), "-S", host.c_str(), "-U", "sa", "-P", "", "-i",
                 script, nullptr);
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double s = seconds(Clock::now() - start);
    ::unlink(script);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << o.bsqldb << " failed (status " << status << ")\n";
        return std::nullopt;
    }
    return s;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

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

} // namespace bench
