// TSybComboBox and TSybListBox filled from ostrim-simserver.
#include "component_server.h"
#include "scripted_dialogs.h"
#include "sybcombobox.h"
#include "syblistbox.h"

#include <QFont>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

using test::Connection;
using test::connectToServer;
using test::runSql;
using test::ScriptedDialogs;

QStringList items(const QComboBox& box) {
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out << box.itemText(i);
    return out;
}

QStringList items(const QListWidget& box) {
    QStringList out;
    for (int i = 0; i < box.count(); ++i)
        out << box.item(i)->text();
    return out;
}

class ListControlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::recreateTables({"tempdb..colours", "tempdb..nothing"},
                             "create table tempdb..colours (name varchar(20))\n"
                             "insert tempdb..colours values ('red')\n"
                             "insert tempdb..colours values ('green')\n"
                             "create table tempdb..nothing (name varchar(20))");
    }
    void SetUp() override {
        m_db = connectToServer();
        ASSERT_TRUE(m_db->Connected());
        m_db->setName("listdb");
    }
    void TearDown() override { m_db->setName(""); }

    ScriptedDialogs m_dialogs;
    Connection m_db;
};

TEST_F(ListControlTest, ComboBoxTakesEveryResultSetAndSelectsTheFirstItem) {
    TSybComboBox box;
    box.setDbName("listdb");
    EXPECT_EQ(box.DbProc(), m_db->DbProc());
    box.setSql("select name from tempdb..colours order by name\n"
               "select 'blue' select 'navy', 'ignored'");
    box.addItem("stale");
    box.Fill();
    EXPECT_EQ(items(box), (QStringList{"green", "red", "blue", "navy"}));
    EXPECT_EQ(box.currentIndex(), 0);
    EXPECT_EQ(box.Value(), "green");
    EXPECT_TRUE(box.RowsReturned());

    box.setValue("blue");
    EXPECT_EQ(box.currentIndex(), 2);
    box.setValue("Blue");
    EXPECT_EQ(box.currentIndex(), -1) << "exact comparison";
    EXPECT_EQ(box.Value(), "Blue");
    EXPECT_EQ(box.count(), 4) << "a value that is no item stays out of the list";

    box.ClearSql();
    box.setSql("select name from tempdb..nothing");
    box.Fill();
    EXPECT_EQ(box.count(), 0);
    EXPECT_FALSE(box.RowsReturned());
    EXPECT_TRUE(m_dialogs.calls.empty());
}

TEST_F(ListControlTest, ComboBoxGeneratesItsQueryOnceFromTableAndField) {
    TSybComboBox box;
    box.setAutoDbProc(false);
    box.setDbName("listdb");
    EXPECT_FALSE(box.DbProc()) << "AutoDbProc off: no lookup";
    box.setTableName("tempdb..colours");
    box.setFieldName("name");
    box.Fill();
    EXPECT_EQ(box.count(), 0) << "no handle: nothing happens";
    EXPECT_TRUE(box.Sql().isEmpty());

    box.setDbProc(m_db->DbProc());
    box.Fill();
    EXPECT_EQ(box.Sql(), "select name from tempdb..colours");
    EXPECT_EQ(box.count(), 2);
    box.setFieldName("no_such_column");
    box.Fill();
    EXPECT_EQ(box.count(), 2) << "the generated query is kept in Sql";
}

TEST_F(ListControlTest, AutoSizeWidensToTheLongestItem) {
    TSybComboBox box;
    box.setDbProc(m_db->DbProc());
    QFont font = box.font();
    font.setPointSize(8);
    box.setFont(font);
    box.setAutoSize(true);

    box.resize(40, box.height());
    box.setSql("select 'a' select 'abc'");
    box.Fill();
    EXPECT_EQ(box.width(), 50) << "40 / 8 = 5 characters, 8 x 5 + 10";

    box.resize(40, box.height());
    box.setSql("select 'abc' select '0123456789'");
    box.Fill();
    EXPECT_EQ(box.width(), 90) << "10 characters: 8 x 10 + 10";

    box.setAutoSize(false);
    box.resize(40, box.height());
    box.Fill();
    EXPECT_EQ(box.width(), 40);
}

TEST_F(ListControlTest, ListBoxCancelsWhatIsPendingAndSelectsNothing) {
    DBPROCESS* p = m_db->DbProc().get();
    dbcmd(p, "select name from tempdb..colours");
    ASSERT_EQ(dbsqlexec(p), SUCCEED);
    ASSERT_EQ(dbresults(p), SUCCEED); // rows left unread on the handle

    TSybListBox list;
    list.setName("l_colours");
    list.setDbProc(m_db->DbProc());
    list.setSql("select name from tempdb..colours order by name select 'x'");
    list.Fill();
    EXPECT_EQ(items(list), (QStringList{"green", "red", "x"}));
    EXPECT_EQ(list.Value(), "");
    list.setCurrentRow(1);
    EXPECT_EQ(list.Value(), "red");
    EXPECT_EQ(TSybListBox::ListBoxList().back(), &list);

    // A combo box does not cancel: the pending rows make its batch fail, the list stays empty.
    dbcmd(p, "select name from tempdb..colours");
    ASSERT_EQ(dbsqlexec(p), SUCCEED);
    ASSERT_EQ(dbresults(p), SUCCEED);
    TSybComboBox box;
    box.setDbProc(m_db->DbProc());
    box.setSql("select 'mine'");
    box.Fill();
    EXPECT_EQ(box.count(), 0) << items(box).join("|").toStdString();
    dbcancel(p);
}

TEST_F(ListControlTest, DesignActiveFillsOnlyWithAQuery) {
    TSybListBox list;
    list.setDbName("listdb");
    list.setSql("x");
    list.setDesignActive(true);
    EXPECT_EQ(list.count(), 0) << "one character is no query";
    EXPECT_TRUE(m_dialogs.calls.empty());

    list.ClearSql();
    list.setTableName("tempdb..colours");
    list.setFieldName("name");
    list.setDesignActive(true);
    EXPECT_EQ(list.count(), 2);

    TSybComboBox box;
    box.setDbName("listdb");
    box.setSql("select 'ab'");
    box.setDesignActive(true);
    EXPECT_EQ(items(box), QStringList{"ab"});
}

} // namespace
} // namespace ostrim
