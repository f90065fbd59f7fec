#pragma once
// The component tests' server (server_environment.h, registered by component_server.cpp):
// connections to it as sa, batches on them, and waits on the event loop.

#include "qt_print.h"
#include "qt_wait.h"
#include "server_environment.h"
#include "sybdatabase.h"

#include <QString>
#include <QStringList>

#include <memory>

// Qt paints shown widgets with threads of its own pool; Qt is not built for ThreadSanitizer, so
// it reports races inside Qt that it cannot see the locks of. Tests that show a grid skip there.
#if defined(__SANITIZE_THREAD__)
#define SKIP_WHEN_SHOWN_UNDER_TSAN() GTEST_SKIP() << "shows widgets: Qt's painting threads"
#else
#define SKIP_WHEN_SHOWN_UNDER_TSAN() (void)0
#endif

namespace ostrim::test {

inline QString serverAddress() {
    return QString::fromStdString(ServerEnvironment::host());
}

// Disconnects before freeing, as the owning windows do.
struct Disconnecting {
    void operator()(TSybDatabase* database) const {
        database->disconnect();
        delete database;
    }
};
using Connection = std::unique_ptr<TSybDatabase, Disconnecting>;

// A connection as sa, without the login dialog.
Connection connectTo(const QString& server);
inline Connection connectToServer() {
    return connectTo(serverAddress());
}

// Sends a batch and reads every result; returns dbsqlexec's code.
int runSql(DbProcHandle process, const QString& sql);
// Fills table `name` (id int, name varchar(30)) with ids 1..rows.
void fillNumbered(DbProcHandle process, const QString& name, int rows);
// Drops the tables (a fresh server has none: the failures are not shown) and runs create, which
// must succeed.
void recreateTables(const QStringList& tables, const QString& create);
// What the server says connection spid is doing ("WAITFOR", "AWAITING COMMAND", ...), asked
// over another connection, watcher.
QString serverCommand(DbProcHandle watcher, int spid);

} // namespace ostrim::test
