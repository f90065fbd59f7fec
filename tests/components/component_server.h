#pragma once
// One ostrim-simserver per test binary for the component tests, and connections to it.

#include "sybdatabase.h"

#include <QString>

#include <memory>

namespace ostrim::test {

// Registered as a GoogleTest environment by component_server.cpp.
QString serverAddress();

// Disconnects before freeing, as the owning windows do.
struct Disconnecting {
    void operator()(TSybDatabase* database) const {
        database->disconnect();
        delete database;
    }
};
using Connection = std::unique_ptr<TSybDatabase, Disconnecting>;

// A connection to the test server as sa, without the login dialog.
Connection connectToServer();

// Sends a batch on the connection and reads every result; returns dbsqlexec's code.
int runBatch(DbProcHandle process, const char* sql);

} // namespace ostrim::test
