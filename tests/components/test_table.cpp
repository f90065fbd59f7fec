// TSybTable against ostrim-simserver, moved directly and by a navigator.
#include "component_server.h"
#include "scripted_dialogs.h"
#include "sybedit.h"
#include "sybnavigator.h"
#include "sybtable.h"

#include <QToolButton>
#include <QWidget>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

using test::Connection;
using test::connectToServer;
using test::runSql;
using test::ScriptedDialogs;

class TableTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::recreateTables({"tempdb..tabrows"},
                             "create table tempdb..tabrows (id int, name varchar(20))\n"
                             "insert tempdb..tabrows values (1, 'one')\n"
                             "insert tempdb..tabrows values (2, 'two')\n"
                             "insert tempdb..tabrows values (3, 'three')");
    }

    void SetUp() override {
        m_db = connectToServer();
        ASSERT_TRUE(m_db->Connected());
        m_table = new TSybTable(&m_form);
        m_table->setName("tab");
        m_table->setAutoDbProc(false);
        m_table->setDbProc(m_db->DbProc());
    }
    void TearDown() override { m_db->setBufferSize(0); }

    // Sends the rows' query on the table's process, leaving them pending.
    void pendRows() {
        DBPROCESS* p = m_db->DbProc().get();
        dbcmd(p, "select id, name from tempdb..tabrows order by id");
        ASSERT_EQ(dbsqlexec(p), SUCCEED);
        ASSERT_EQ(dbresults(p), SUCCEED);
    }

    ScriptedDialogs m_dialogs;
    Connection m_db;
    QWidget m_form;
    TSybTable* m_table = nullptr;
};

TEST_F(TableTest, WithoutBufferSizeEveryMoveIsNoMoreRows) {
    pendRows();
    EXPECT_EQ(m_table->Next(), NO_MORE_ROWS);
    EXPECT_EQ(m_table->Prior(), NO_MORE_ROWS);
    EXPECT_EQ(m_table->First(), NO_MORE_ROWS);
    EXPECT_EQ(m_table->Last(), NO_MORE_ROWS);
    EXPECT_EQ(dbnextrow(m_db->DbProc().get()), MORE_ROWS) << "the rows were left alone";
    dbcancel(m_db->DbProc().get());
}

TEST_F(TableTest, TableNameListsColumnsOnlyWhileDesignActive) {
    pendRows();
    m_table->setTableName("tempdb..tabrows");
    EXPECT_TRUE(m_table->DesignFields().isEmpty());
    DBPROCESS* p = m_db->DbProc().get();
    EXPECT_EQ(dbnextrow(p), MORE_ROWS) << "nothing was sent: the pending rows are still there";
    EXPECT_EQ(columnText(m_db->DbProc(), 1), "1");
    while (dbnextrow(p) != NO_MORE_ROWS) {
    }
    EXPECT_TRUE(m_dialogs.calls.empty());

    ASSERT_EQ(runSql(m_db->DbProc(), "use tempdb"), SUCCEED);
    m_table->setTableName("tabrows");
    m_table->setDesignActive(true);
    EXPECT_EQ(m_table->DesignFields(), (QStringList{"id", "name"}));
    runSql(m_db->DbProc(), "use master");
}

TEST_F(TableTest, MovesFillBoundControlsAndTheNavigatorFindsTheTable) {
    auto* name = new TSybEdit(&m_form);
    name->setName("ed_name");
    name->setDataSet("tab");
    name->setDataField("name");
    EXPECT_EQ(m_table->Fields(), QStringList{"ed_name"});
    auto* navigator = new TSybNavigator(&m_form);
    navigator->setName("tabnav");
    navigator->setDataSet("tab");
    m_table->setBufferSize(10);
    ASSERT_EQ(m_table->LastResult(), SUCCEED);
    pendRows();

    EXPECT_EQ(m_table->Next(), MORE_ROWS);
    EXPECT_EQ(name->text(), "one");
    EXPECT_EQ(m_table->Next(), MORE_ROWS);
    EXPECT_EQ(name->text(), "two");
    navigator->setMoveButtons(true, true, true, true);
    struct Step {
        QToolButton* button;
        QString shown;
    };
    const Step steps[] = {
        {navigator->btn_prior(), "one"},
        {navigator->btn_prior(), "one"},
        {navigator->btn_next(), "two"},
        // DB-Library's last row is the last one received so far.
        {navigator->btn_last(), "two"},
        {navigator->btn_first(), "one"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button->objectName().toStdString());
        step.button->click();
        EXPECT_EQ(name->text(), step.shown);
        EXPECT_TRUE(navigator->btn_first()->isEnabled() && navigator->btn_last()->isEnabled())
            << "a table leaves the navigator's buttons alone";
    }
    EXPECT_EQ(m_table->Next(), MORE_ROWS);
    EXPECT_EQ(name->text(), "two");
    EXPECT_EQ(m_table->Next(), MORE_ROWS);
    EXPECT_EQ(name->text(), "three");
    EXPECT_EQ(m_table->Last(), MORE_ROWS);
    EXPECT_EQ(name->text(), "three");
    EXPECT_EQ(m_table->Next(), NO_MORE_ROWS);
    delete name;
    EXPECT_TRUE(m_table->Fields().isEmpty());
}

} // namespace
} // namespace ostrim
