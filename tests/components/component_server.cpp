#include "component_server.h"

#include "scripted_dialogs.h"

#include <sybdb.h>
#include <sybfront.h>

namespace ostrim::test {

namespace {
[[maybe_unused]] ServerEnvironment* const g_environment = addServerEnvironment();
} // namespace

Connection connectTo(const QString& server) {
    Connection database(new TSybDatabase);
    database->setLoginPrompt(false);
    database->setServerName(server);
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

void recreateTables(const QStringList& tables, const QString& create) {
    ScriptedDialogs quiet;
    Connection setup = connectToServer();
    ASSERT_TRUE(setup->Connected());
    for (const QString& table : tables)
        runSql(setup->DbProc(), "drop table " + table);
    ASSERT_EQ(runSql(setup->DbProc(), create), SUCCEED);
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
