#pragma once
// The grid tests' server: one ostrim-simserver per test binary, connections to it as sa, and
// helpers that wait on the event loop.

#include "simserver_process.h"
#include "sybdatabase.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QTest>

#include <memory>
#include <ostream>
#include <string>

// Readable QString values in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

// Qt paints shown widgets with threads of its own pool; Qt is not built for ThreadSanitizer, so
// it reports races inside Qt that it cannot see the locks of. Tests that show a grid skip there.
#if defined(__SANITIZE_THREAD__)
#define SKIP_WHEN_SHOWN_UNDER_TSAN() GTEST_SKIP() << "shows widgets: Qt's painting threads"
#else
#define SKIP_WHEN_SHOWN_UNDER_TSAN() (void)0
#endif

namespace ostrim::test {

// Disconnects before freeing, as owning windows do.
struct GridDisconnect {
    void operator()(TSybDatabase* database) const {
        database->disconnect();
        delete database;
    }
};
using GridConnection = std::unique_ptr<TSybDatabase, GridDisconnect>;

SimServer& gridServer();
GridConnection connectTo(const std::string& host);
inline GridConnection connectToGridServer() {
    return connectTo(gridServer().host());
}

// Sends a batch and reads every result; returns dbsqlexec's code.
int runSql(DbProcHandle process, const QString& sql);
// Fills table `name` (id int, name varchar(30)) with ids 1..rows.
void fillNumbered(DbProcHandle process, const QString& name, int rows);
// What the server says connection spid is doing ("WAITFOR", "AWAITING COMMAND", ...), asked
// over another connection, watcher.
QString serverCommand(DbProcHandle watcher, int spid);

// Runs the event loop until pred holds; false on timeout.
template <class Pred> bool waitUntil(Pred pred, int timeoutMs = 30000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

} // namespace ostrim::test
