#include "component_server.h"

#include "simserver_process.h"

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

namespace ostrim::test {

namespace {

class ServerEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        s_server = std::make_unique<SimServer>();
        s_server->start();
    }
    void TearDown() override {
        EXPECT_EQ(s_server->stop(), 0);
        s_server.reset();
    }
    static inline std::unique_ptr<SimServer> s_server;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

} // namespace

QString serverAddress() {
    return QString::fromStdString(ServerEnvironment::s_server->host());
}

Connection connectToServer() {
    Connection database(new TSybDatabase);
    database->setLoginPrompt(false);
    database->setServerName(serverAddress());
    database->setUserName(QStringLiteral("sa"));
    database->connect();
    return database;
}

int runBatch(DbProcHandle process, const char* sql) {
    DBPROCESS* p = process.get();
    dbcmd(p, sql);
    const RETCODE rc = dbsqlexec(p);
    while (dbresults(p) == SUCCEED)
        while (dbnextrow(p) != NO_MORE_ROWS) {
        }
    return rc;
}

} // namespace ostrim::test
