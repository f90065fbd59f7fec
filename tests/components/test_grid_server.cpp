#include "test_grid_server.h"

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

namespace ostrim::test {

namespace {

class GridServerEnvironment : public ::testing::Environment {
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
    ::testing::AddGlobalTestEnvironment(new GridServerEnvironment);

} // namespace

SimServer& gridServer() {
    return *GridServerEnvironment::s_server;
}

GridConnection connectTo(const std::string& host) {
    GridConnection database(new TSybDatabase);
    database->setLoginPrompt(false);
    database->setServerName(QString::fromStdString(host));
    database->setUserName(QStringLiteral("sa"));
    database->connect();
    return database;
}

int runSql(DbProcHandle process, const QString& sql) {
    DBPROCESS* p = process.get();
    dbcmd(p, sql.toLocal8Bit().constData());
    const RETCODE rc = dbsqlexec(p);
    while (dbresults(p) == SUCCEED)
        while (dbnextrow(p) != NO_MORE_ROWS) {
        }
    return rc;
}

void fillNumbered(DbProcHandle process, const QString& name, int rows) {
    runSql(
        process,
        QStringLiteral("create table %1 (id int not null, name varchar(30) not null)").arg(name));
    runSql(process, QStringLiteral("insert %1 values (1, 'row 1')").arg(name));
    for (int have = 1; have < rows; have *= 2)
        runSql(process, QStringLiteral("declare @m int select @m = max(id) from %1\n"
                                       "insert %1 select id + @m, 'row ' + convert(varchar(12), "
                                       "id + @m) from %1")
                            .arg(name));
    runSql(process, QStringLiteral("delete %1 where id > %2").arg(name).arg(rows));
}

QString serverCommand(DbProcHandle watcher, int spid) {
    DBPROCESS* p = watcher.get();
    dbcmd(p, QStringLiteral("select cmd from master..sysprocesses where spid = %1")
                 .arg(spid)
                 .toLatin1()
                 .constData());
    QString command;
    if (dbsqlexec(p) == SUCCEED) {
        while (dbresults(p) == SUCCEED)
            while (dbnextrow(p) == REG_ROW)
                command = columnText(watcher, 1).trimmed();
    }
    return command;
}

} // namespace ostrim::test
