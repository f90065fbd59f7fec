#include "frame_test.h"

#include "sybquery.h"

namespace ostrim::test {

QByteArray lastLogin(const QString& user, const QString& database, const QString& server) {
    return ("[Run]\r\nLastUser=" + user + "\r\nLastDbName=" + database +
            "\r\nLastServerName=" + server + "\r\n")
        .toLatin1();
}

QStringList items(const QComboBox* box) {
    QStringList all;
    for (int i = 0; i < box->count(); ++i)
        all << box->itemText(i);
    return all;
}

QStringList items(const QListWidget* list) {
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all << list->item(i)->text();
    return all;
}

QString lastValue(DbProcHandle process, const QString& sql) {
    TSybQuery query;
    query.setDbProc(process);
    query.setSql(sql);
    EXPECT_EQ(query.Execute(), kSucceed) << sql.toStdString();
    QString value;
    while (query.Next() == kMoreRows)
        value = query.ColumnValue(1);
    return value;
}

void runAsSa(const QStringList& statements, const QString& database, const QString& server) {
    TSybDatabase sa;
    sa.setLoginPrompt(false);
    sa.setServerName(server);
    sa.setUserName("sa");
    if (!database.isEmpty())
        sa.setDBName(database);
    sa.connect();
    ASSERT_TRUE(sa.Connected());
    TSybQuery query;
    query.setDbProc(sa.DbProc());
    for (const QString& sql : statements) {
        query.setSql(sql);
        ASSERT_EQ(query.Execute(), kSucceed) << sql.toStdString();
        while (query.Next() == kMoreRows) {
        }
    }
    sa.disconnect();
}

} // namespace ostrim::test
