#pragma once
// What the administration window tests share: a login of their own beside the windows', list
// picks, and the server's own answers to compare the windows with.

#include "sybdatabase.h"
#include "sybquery.h"

#include <QListWidget>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace ostrim::test {

// Logs db in as sa on DEMO without a prompt, into database unless empty.
inline void loginAsSa(TSybDatabase& db, const QString& database = {}) {
    db.setLoginPrompt(false);
    db.setServerName("DEMO");
    db.setUserName("sa");
    if (!database.isEmpty())
        db.setDBName(database);
    db.connect();
    ASSERT_TRUE(db.Connected());
}

// Makes the one item of list reading text the current and a selected one.
inline void pick(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text.toStdString();
    list->setCurrentItem(found[0]);
    found[0]->setSelected(true);
}

// The first column of every row sql gives on process, in the server's order.
inline QStringList firstColumn(DbProcHandle process, const QString& sql) {
    TSybQuery query;
    query.setAutoDbProc(false);
    query.setDbProc(process);
    query.setSql(sql);
    EXPECT_EQ(query.Execute(), kSucceed) << sql.toStdString();
    QStringList values;
    while (query.Next() == kMoreRows)
        values << query.ColumnValue(1);
    return values;
}

inline QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace ostrim::test
