// How fast the results window writes a loaded grid out: 1,000,000 rows of (int, varchar(30),
// datetime, money) loaded synchronously into a TSybGrid, then
//   (f) Export in the CSV layout to a file in /tmp, beside bsqldb writing the same select's
//       rows to a file (login and fetch included: the export only writes what the grid holds)
//   (g) Copy All (the text set on the clipboard, offscreen) and Save All to a file in /tmp
// Each step prints its time and the resident memory it added at its peak (VmHWM, reset through
// /proc/self/clear_refs before the step).
//
//   bench_export_grid --spawn [SIMSERVER] | HOST:PORT   [--rows N] [--bsqldb PATH] [--no-bsqldb]

#include "bench_support.h"
#include "grid_text.h"
#include "simserver_process.h"
#include "sybgrid.h"
#include "u_export.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>

#include <sybdb.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using bench::Clock;
using bench::Options;
using bench::seconds;

const char* kSelect = "select id, name, created, amount from bench_rows";
const QString kCsvFile = QStringLiteral("/tmp/ostrim-bench-export.csv");
const QString kSaveFile = QStringLiteral("/tmp/ostrim-bench-save.txt");
const char* kBsqldbFile = "/tmp/ostrim-bench-bsqldb.txt";

// A field of /proc/self/status, in MB.
double statusMb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::atof(line.c_str() + field.size() + 1) / 1024.0;
    return 0;
}

// Resets the peak resident size to the current one.
void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Step {
    double seconds = 0;
    double peakAddedMb = 0;
};

Step measure(const char* name, const std::function<void()>& work) {
    ::malloc_trim(0);
    const double before = statusMb("VmRSS");
    resetPeak();
    const auto start = Clock::now();
    work();
    Step s;
    s.seconds = seconds(Clock::now() - start);
    s.peakAddedMb = statusMb("VmHWM") - before;
    std::printf("  %-34s %8.3f s  +%.1f MB resident at the peak\n", name, s.seconds, s.peakAddedMb);
    std::fflush(stdout);
    return s;
}

qint64 fileSize(const QString& name) {
    return QFileInfo(name).size();
}

} // namespace

int main(int argc, char** argv) {
    const Options o = bench::parseOptions(argc, argv, "bench_export_grid");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::initDbLib();

    std::string host = o.host;
    const auto server = bench::spawnServer(o.spawn, o.serverBinary, {}, host);
    bench::prepareTable(host, o.rows, "bench_export_grid");
    std::printf("%ld rows x 4 columns from %s\n", o.rows, host.c_str());

    if (o.runBsqldb) {
        if (const auto s = bench::runBsqldb(o, host, kSelect, kBsqldbFile))
            std::printf("  bsqldb to a file (login and fetch)  %8.3f s  (%lld bytes)\n", *s,
                        qint64(QFileInfo(QString::fromLatin1(kBsqldbFile)).size()));
        ::unlink(kBsqldbFile);
    }

    DBPROCESS* dbproc = bench::openSa(host, 8192, "bench_export_grid");
    ostrim::TSybGrid grid;
    grid.setAutoDbProc(false);
    grid.setDbProc(ostrim::DbProcHandle(dbproc));
    grid.setSql(QString::fromLatin1(kSelect));
    measure("grid load (synchronous)", [&] { grid.Execute(); });
    if (grid.rowCount() != o.rows + 4) {
        std::cerr << "grid holds " << grid.rowCount() << " rows\n";
        return 1;
    }

    const auto ok = [](const ostrim::IoResult& result) {
        if (!result) {
            std::cerr << result.fileName().toStdString() << ": " << result.message().toStdString()
                      << "\n";
            std::exit(1);
        }
    };
    measure("(f) export CSV to a file", [&] {
        ok(ostrim::writeExport(kCsvFile, grid, {ostrim::Tf_export::Csv, true, {}, {}}, {}));
    });
    std::printf("      %lld bytes\n", fileSize(kCsvFile));
    qsizetype copied = 0;
    measure("(g) Copy All to the clipboard", [&] {
        QApplication::clipboard()->setText(ostrim::copyAllText(grid));
        copied = QApplication::clipboard()->text().size();
    });
    std::printf("      %lld characters\n", qint64(copied));
    QApplication::clipboard()->clear();
    measure("(g) Save All to a file", [&] { ok(ostrim::writeSaveAll(kSaveFile, grid)); });
    std::printf("      %lld bytes\n", fileSize(kSaveFile));
    QFile::remove(kCsvFile);
    QFile::remove(kSaveFile);
    dbclose(dbproc);
    return 0;
}
