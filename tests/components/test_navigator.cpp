// TSybNavigator: its buttons, and the rows it moves of a query against ostrim-simserver.
#include "component_server.h"
#include "scripted_dialogs.h"
#include "sybedit.h"
#include "sybnavigator.h"
#include "sybquery.h"

#include <QMdiArea>
#include <QToolButton>
#include <QWidget>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>

namespace ostrim {
namespace {

using test::Connection;
using test::connectToServer;

using Buttons = std::array<bool, 4>;

Buttons moveButtons(const TSybNavigator& navigator) {
    return {navigator.btn_first()->isEnabled(), navigator.btn_prior()->isEnabled(),
            navigator.btn_next()->isEnabled(), navigator.btn_last()->isEnabled()};
}

class NavigatorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::recreateTables({"tempdb..navrows"}, "create table tempdb..navrows (id int)\n"
                                                  "insert tempdb..navrows values (1)\n"
                                                  "insert tempdb..navrows values (2)\n"
                                                  "insert tempdb..navrows values (3)");
    }

    void SetUp() override {
        m_db = connectToServer();
        ASSERT_TRUE(m_db->Connected());
        m_db->setBufferSize(10);
    }
    void TearDown() override { m_db->setBufferSize(0); }

    // A query named name on owner over the three rows, executed on this test's connection
    // unless another is given.
    TSybQuery* executed(QObject* owner, const QString& name, DbProcHandle process = {}) {
        auto* q = new TSybQuery(owner);
        q->setName(name);
        q->setAutoDbProc(false);
        q->setDbProc(process ? process : m_db->DbProc());
        q->setSql("select id from tempdb..navrows order by id");
        EXPECT_EQ(q->Execute(), SUCCEED);
        return q;
    }
    static TSybNavigator* navigatorOn(QWidget* form, const QString& dataSet) {
        auto* navigator = new TSybNavigator(form);
        navigator->setName("nav");
        navigator->setDataSet(dataSet);
        return navigator;
    }

    Connection m_db;
    test::ScriptedDialogs m_dialogs;
};

TEST(Navigator, FreshBarHasTenButtonsOnlyInsertEnabled) {
    TSybNavigator navigator;
    EXPECT_EQ(navigator.size(), QSize(250, 25));
    const char* names[] = {"btn_first",  "btn_prior", "btn_next", "btn_last",   "btn_insert",
                           "btn_delete", "btn_edit",  "btn_post", "btn_cancel", "btn_refresh"};
    const QStringList hints = {"First record",  "Prior record",  "Next record", "Last record",
                               "Insert record", "Delete record", "Edit",        "Post edit",
                               "Cancel update", "Refresh data"};
    EXPECT_EQ(navigator.HintsList(), hints);
    EXPECT_EQ(navigator.findChildren<QToolButton*>().size(), 10);
    for (int i = 0; i < TSybNavigator::kButtonCount; ++i) {
        SCOPED_TRACE(i);
        QToolButton* button = navigator.button(i);
        EXPECT_EQ(button, navigator.findChild<QToolButton*>(names[i]));
        EXPECT_EQ(button->geometry(), QRect(25 * i, 0, 25, 25));
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->toolTip(), hints[i]);
        EXPECT_EQ(button->isEnabled(), i == 4);
    }
    EXPECT_FALSE(navigator.ShowHint());
    EXPECT_TRUE(navigator.AutoDbProc());
    EXPECT_FALSE(navigator.DbProc());

    // A stored hint list reaches the buttons at loading; missing lines leave no hint.
    navigator.setHintsList({"one", "two"});
    EXPECT_EQ(navigator.btn_first()->toolTip(), "First record");
    navigator.loaded();
    EXPECT_EQ(navigator.btn_first()->toolTip(), "one");
    EXPECT_EQ(navigator.btn_prior()->toolTip(), "two");
    EXPECT_EQ(navigator.btn_next()->toolTip(), "");
}

TEST(Navigator, NamesAreCutAndTheBarIsListedOnce) {
    const QString longName(40, 'n');
    {
        TSybNavigator navigator;
        navigator.setDataSet(longName);
        EXPECT_EQ(navigator.DataSet(), longName.left(30));
        navigator.setDbName(longName);
        EXPECT_EQ(navigator.DbName(), longName.left(30));
        EXPECT_FALSE(NavigatorLink::isListed(&navigator)) << "listed when named";
        navigator.setName(longName);
        navigator.setName("bar");
        EXPECT_EQ(navigator.Name(), "bar");
        EXPECT_EQ(std::count(NavigatorLink::NavigatorList().begin(),
                             NavigatorLink::NavigatorList().end(), &navigator),
                  1);
    }
    EXPECT_TRUE(NavigatorLink::NavigatorList().empty());
}

TEST_F(NavigatorTest, DbNameAndDesignActiveCopyTheConnectionsProcess) {
    m_db->setName("navdb");
    TSybNavigator navigator;
    navigator.setDbName("navdb");
    EXPECT_EQ(navigator.DbProc(), m_db->DbProc());
    navigator.setDbProc({});
    navigator.setDesignActive(true);
    EXPECT_EQ(navigator.DbProc(), m_db->DbProc());
    navigator.setDbName("other");
    EXPECT_EQ(navigator.DbProc(), m_db->DbProc()) << "no connection of that name: kept";
    m_db->setName("");
}

TEST_F(NavigatorTest, ClicksMoveTheQueryWhichSetsTheButtons) {
    QWidget form;
    auto* navigator = navigatorOn(&form, "navq");
    TSybQuery* q = executed(&form, "navq");
    ASSERT_EQ(q->boundNavigator(), navigator);

    ASSERT_EQ(q->Next(), kMoreRows);
    EXPECT_EQ(moveButtons(*navigator), (Buttons{false, false, true, true}));
    struct Step {
        QToolButton* button;
        int row; // 0: past the end, no row
        Buttons after;
    };
    const Step steps[] = {
        {navigator->btn_insert(), 1, {false, false, true, true}}, // does nothing
        {navigator->btn_next(), 2, {true, true, true, true}},
        {navigator->btn_next(), 3, {true, true, true, true}},
        {navigator->btn_next(), 0, {true, true, false, false}},
        {navigator->btn_first(), 1, {false, false, true, true}},
        {navigator->btn_last(), 3, {true, true, false, false}},
        {navigator->btn_prior(), 2, {true, true, true, true}},
        {navigator->btn_prior(), 1, {false, false, true, true}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button->objectName().toStdString() + " to row " +
                     std::to_string(step.row));
        ASSERT_TRUE(step.button->isEnabled());
        step.button->click();
        EXPECT_EQ(moveButtons(*navigator), step.after);
        if (step.row > 0) {
            EXPECT_EQ(q->ColumnValue(1), QString::number(step.row));
        }
    }
    EXPECT_TRUE(m_dialogs.calls.empty());
}

TEST_F(NavigatorTest, ADataSetNamingNothingLeavesTheButtonsInert) {
    QWidget form;
    TSybQuery* q = executed(&form, "navq");
    auto* navigator = navigatorOn(&form, "navq");
    ASSERT_EQ(q->Next(), kMoreRows);
    ASSERT_EQ(q->Next(), kMoreRows);
    navigator->setDataSet("nothing");
    navigator->setMoveButtons(true, true, true, true);
    for (QToolButton* button : {navigator->btn_first(), navigator->btn_prior(),
                                navigator->btn_next(), navigator->btn_last()})
        button->click();
    EXPECT_EQ(moveButtons(*navigator), (Buttons{true, true, true, true}));
    EXPECT_EQ(q->ColumnValue(1), "2");
    EXPECT_EQ(q->Next(), kMoreRows) << "the query's own place is untouched";
    EXPECT_EQ(q->ColumnValue(1), "3");
}

// Two windows of one kind hold components of the same names; each reaches its own.
// The windows are children of one frame, as data modification windows are.
TEST_F(NavigatorTest, SameNamesInTwoWindowsStayApart) {
    QMdiArea frame;
    auto& first = *new QWidget;
    auto& second = *new QWidget;
    frame.addSubWindow(&first);
    frame.addSubWindow(&second);
    struct Window {
        TSybNavigator* navigator;
        TSybQuery* query;
        TSybEdit* edit;
    };
    std::array<Window, 2> windows{};
    int i = 0;
    for (QWidget* form : {&first, &second}) {
        auto* panel = new QWidget(form);
        auto* navigator = new TSybNavigator(panel);
        navigator->setName("nav_modify");
        navigator->setDataSet("q_modify_form2");
        auto* edit = new TSybEdit(panel);
        edit->setName("e_id");
        edit->setDataSet("q_modify_form2");
        edit->setDataField("id");
        windows[size_t(i++)] = {navigator, nullptr, edit};
    }
    // The second window's query enters QueryList first, so the process-wide first match is the
    // wrong one for the first window, and the first navigator the wrong one for the second.
    Connection other = connectToServer();
    other->setBufferSize(10);
    windows[1].query = executed(&second, "q_modify_form2", other->DbProc());
    windows[0].query = executed(&first, "q_modify_form2");
    for (const Window& window : windows) {
        EXPECT_EQ(window.query->boundNavigator(), window.navigator);
        ASSERT_EQ(window.query->Next(), kMoreRows);
    }
    windows[0].navigator->btn_next()->click();
    EXPECT_EQ(windows[0].query->ColumnValue(1), "2");
    EXPECT_EQ(windows[1].query->ColumnValue(1), "1");
    windows[1].navigator->btn_next()->click();
    windows[1].navigator->btn_next()->click();
    EXPECT_EQ(windows[1].query->ColumnValue(1), "3");
    EXPECT_EQ(windows[0].query->ColumnValue(1), "2");
    // Each window's edit shows its own query's row.
    EXPECT_EQ(windows[0].edit->text(), "2");
    EXPECT_EQ(windows[1].edit->text(), "3");

    // Outside any window holding the name, the first in the list answers, as before.
    TSybNavigator loose;
    loose.setName("loose");
    loose.setDataSet("q_modify_form2");
    loose.setMoveButtons(true, true, true, true);
    loose.btn_first()->click();
    EXPECT_EQ(windows[1].query->ColumnValue(1), "1");
    EXPECT_EQ(windows[0].query->ColumnValue(1), "2");
    TSybQuery unowned;
    unowned.setName("q_modify_form2");
    unowned.setAutoDbProc(false);
    EXPECT_EQ(unowned.Execute(), FAIL);
    EXPECT_EQ(unowned.boundNavigator(), windows[0].navigator);
    other->setBufferSize(0);
}

} // namespace
} // namespace ostrim
