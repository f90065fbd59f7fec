// How fast the results window runs a script of many small batches, beside bsqldb running the
// same file: 10,000 batches (--batches N) of one insert each, every one followed by a "go" line.
//   (e1) TSybGrid as the results window sets it up (line numbers, the row-count query after
//        each batch, no background load, a connection of its own opened by TSybDatabase),
//        synchronous Execute, offscreen; login and Execute timed apart
//   (e1') the same without the row-count query: what that extra round trip per batch costs
//   (e2) bsqldb -i FILE -o /dev/null (login included)
// The table is emptied before each and must hold every row after it, or the program fails.
//
//   bench_script_run --spawn [SIMSERVER] | HOST:PORT   [--batches N] [--runs N]
//                    [--bsqldb PATH] [--no-bsqldb] [--only LOADS]
// --only takes any of "1", "n" (e1') and "2", e.g. "--only 1" for a profiler.

#include "bench_support.h"
#include "counting_dialogs.h"
#include "dialogs.h"
#include "simserver_process.h"
#include "sybdatabase.h"
#include "sybgrid.h"

#include <QApplication>
#include <QFile>

#include <sybdb.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::seconds;

constexpr char kApp[] = "bench_script_run";
constexpr char kRowCountText[] = "(1 rows affected)";

double processCpu() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Setup {
    std::string host;
    DBPROCESS* admin = nullptr; // creates, empties and counts the table
    int batches = 0;
    pid_t serverPid = -1;
    bench::CountingDialogs* dialogs = nullptr;
};

void emptyTable(const Setup& s) {
    bench::run(s.admin, "truncate table bench_script");
}

void requireRows(const Setup& s, const char* load) {
    const std::optional<long> count = bench::run(s.admin, "select count(*) from bench_script");
    if (count.value_or(-1) != s.batches) {
        std::fprintf(stderr, "%s: bench_script holds %ld rows, expected %d\n", load,
                     count.value_or(-1), s.batches);
        std::exit(1);
    }
}

std::string scriptText(int batches) {
    std::string text;
    text.reserve(std::size_t(batches) * 60);
    for (int n = 1; n <= batches; ++n) {
        const std::string number = std::to_string(n);
        text += "insert bench_script values (" + number + ", \"name " + number + "\", " + number +
                ".25)\ngo\n";
    }
    return text;
}

struct Figures {
    double seconds = 0;   // login and run
    double login = 0;     // the grid's only: bsqldb's is not told apart
    double cpu = 0;       // client, all threads, login and run
    double serverCpu = 0; // with --spawn
};

void printFigures(const char* label, const Figures& f) {
    std::printf("  %-44s %7.3f s", label, f.seconds);
    if (f.login > 0)
        std::printf(" (login %.3f s)", f.login);
    std::printf("  client CPU %.3f s", f.cpu);
    if (f.serverCpu > 0)
        std::printf("  server CPU %.3f s", f.serverCpu);
    std::printf("\n");
    std::fflush(stdout);
}

// The results window's run: its own TSybDatabase connection, then the grid's Execute.
Figures gridRun(const Setup& s, const QString& script, bool showRowCount) {
    emptyTable(s);
    Figures f;
    const double serverCpu = s.serverPid > 0 ? bench::processCpuSeconds(s.serverPid) : 0;
    const double cpu = processCpu();
    const auto start = Clock::now();
    ostrim::TSybDatabase database;
    database.setName("sybase_results");
    database.setDBName("master");
    database.setLoginPrompt(false);
    database.setUserName("sa");
    database.setServerName(QString::fromStdString(s.host));
    database.setPassword({});
    database.setLoginTimeOut(10);
    database.connect();
    if (!database.Connected()) {
        std::fprintf(stderr, "the grid's login to %s failed\n", s.host.c_str());
        std::exit(1);
    }
    f.login = seconds(Clock::now() - start);
    int rowCountLines = 0;
    {
        ostrim::TSybGrid grid;
        grid.setDbName("sybase");
        grid.setShowLineNum(true);
        grid.setShowRowCount(showRowCount);
        grid.setAutoDbProc(false);
        grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid.resize(1000, 700);
        grid.show();
        grid.setSql(script);
        grid.setDbProc(database.DbProc());
        grid.setBackground(false);
        grid.Execute();
        f.seconds = seconds(Clock::now() - start);
        f.cpu = processCpu() - cpu;
        if (s.serverPid > 0)
            f.serverCpu = bench::processCpuSeconds(s.serverPid) - serverCpu;
        if (!grid.Completed()) {
            std::fprintf(stderr, "the grid's run did not complete\n");
            std::exit(1);
        }
        for (int row = 1; row < grid.rowCount(); ++row)
            rowCountLines += grid.cell(1, row) == QLatin1String(kRowCountText);
    }
    database.disconnect();
    requireRows(s, showRowCount ? "e1" : "e1'");
    if (rowCountLines != (showRowCount ? s.batches : 0) || s.dialogs->messages > 0) {
        std::fprintf(stderr, "the grid shows %d row counts and raised %d boxes\n", rowCountLines,
                     s.dialogs->messages);
        std::exit(1);
    }
    return f;
}

// bsqldb's stderr goes to a file, shown when it fails.
std::optional<Figures> bsqldbRun(const Setup& s, const std::string& program,
                                 const std::string& scriptFile) {
    emptyTable(s);
    char errors[] = "/tmp/ostrim-bench-errors-XXXXXX";
    const int errorFd = ::mkstemp(errors);
    if (errorFd < 0) {
        std::cerr << "cannot make a file for bsqldb's errors\n";
        std::exit(1);
    }
    Figures f;
    const double serverCpu = s.serverPid > 0 ? bench::processCpuSeconds(s.serverPid) : 0;
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errorFd, STDERR_FILENO);
        ::setenv("TDSVER", "5.0", 1);
        ::execlp(program.c_str(), program.c_str(), "-S", s.host.c_str(), "-U", "sa", "-P", "", "-i",
                 scriptFile.c_str(), "-o", "/dev/null", nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    f.seconds = seconds(Clock::now() - start);
    f.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (s.serverPid > 0)
        f.serverCpu = bench::processCpuSeconds(s.serverPid) - serverCpu;
    ::close(errorFd);
    const bool failed = !WIFEXITED(status) || WEXITSTATUS(status) != 0;
    if (failed) {
        std::ifstream in(errors);
        std::string line;
        for (int n = 0; n < 10 && std::getline(in, line); ++n)
            std::cerr << "bsqldb: " << line << "\n";
        std::cerr << program << " failed (status " << status << ")\n";
    }
    ::unlink(errors);
    if (failed)
        return std::nullopt;
    requireRows(s, "e2");
    return f;
}

} // namespace

int main(int argc, char** argv) {
    int batches = 10000;
    int runs = 1;
    std::string only = "1n2";
    std::vector<char*> args{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--batches" && i + 1 < argc)
            batches = std::atoi(argv[++i]);
        else if (a == "--runs" && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else if (a == "--only" && i + 1 < argc)
            only = argv[++i];
        else
            args.push_back(argv[i]);
    }
    const bench::Options o = bench::parseOptions(int(args.size()), args.data(), kApp);
    if (batches < 1 || runs < 1) {
        std::cerr << "--batches and --runs take a count from 1\n";
        return 2;
    }
    const auto wanted = [&](char load) {
        return only.find(load) != std::string::npos;
    };
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A box means something went wrong: it is printed and counted, and the run fails.
    bench::CountingDialogs dialogs(true);
    ostrim::Dialogs::install(&dialogs);
    bench::initDbLib();

    Setup s;
    s.host = o.host;
    const auto server = bench::spawnServer(o.spawn, o.serverBinary, {}, s.host);
    s.serverPid = server ? server->pid() : -1;
    s.batches = batches;
    s.dialogs = &dialogs;
    s.admin = bench::openSa(s.host, 0, kApp);
    bench::run(s.admin, "if object_id('bench_script') is not null drop table bench_script");
    bench::run(s.admin, "create table bench_script (id int, name varchar(30), amount money)");

    const std::string text = scriptText(batches);
    char scriptFile[] = "/tmp/ostrim-bench-script-XXXXXX";
    const int fd = ::mkstemp(scriptFile);
    if (fd < 0 || ::write(fd, text.data(), text.size()) != ssize_t(text.size())) {
        std::cerr << "cannot write the script\n";
        return 1;
    }
    ::close(fd);
    // As the editor would hand it over: the file's text, read back.
    QFile file(QString::fromLocal8Bit(scriptFile));
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << "cannot read the script back\n";
        return 1;
    }
    const QString script = QString::fromLocal8Bit(file.readAll());
    file.close();
    std::printf("%d batches of one insert, %zu bytes, against %s\n", batches, text.size(),
                s.host.c_str());

    int failures = 0;
    for (int run = 1; run <= runs; ++run) {
        std::printf("run %d:\n", run);
        const Figures e1 = wanted('1') ? gridRun(s, script, true) : Figures{};
        if (wanted('1'))
            printFigures("(e1) TSybGrid, row counts", e1);
        if (wanted('n'))
            printFigures("(e1') TSybGrid, no row counts", gridRun(s, script, false));
        std::optional<Figures> e2;
        if (wanted('2') && o.runBsqldb) {
            e2 = bsqldbRun(s, o.bsqldb, scriptFile);
            if (e2)
                printFigures("(e2) bsqldb -i FILE -o /dev/null", *e2);
            else
                ++failures;
        }
        if (e1.seconds > 0 && e2)
            std::printf("  e1/e2 %.2f (e1's run alone %.3f s: %.2f of e2)\n",
                        e1.seconds / e2->seconds, e1.seconds - e1.login,
                        (e1.seconds - e1.login) / e2->seconds);
        std::fflush(stdout);
    }
    ::unlink(scriptFile);
    bench::run(s.admin, "drop table bench_script");
    dbclose(s.admin);
    ostrim::Dialogs::install(nullptr);
    return failures ? 1 : 0;
}
