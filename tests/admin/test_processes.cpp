// The two process monitors opened from server windows on a demo server: the procedure's grid
// with its kill and its chains of blocked processes, and the fixed-column list.
#include "admin_helpers.h"
#include "blocking_chain.h"
#include "busy_connection.h"
#include "frame_test.h"
#include "qt_wait.h"
#include "sybgrid.h"
#include "u_processes.h"
#include "u_processes_self.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <sybdb.h>
#include <sybfront.h>

#include <memory>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
         test::runAsSa({"create table queue_items (n int not null)",
                        "create procedure list_names as select name from sysdatabases"});
     }});

// Another login of sa to the demo server, closed with the object.
struct Session {
    Session() {
        test::loginAsSa(db);
        spid = test::lastValue(db.DbProc(), "select @@spid").toInt();
    }
    ~Session() { db.disconnect(); }
    // Sends sql without waiting for its answer.
    void send(const char* sql) {
        dbcmd(db.DbProc().get(), sql);
        ASSERT_EQ(dbsqlsend(db.DbProc().get()), SUCCEED);
    }
    // The answer to what send sent; true when the statement succeeded.
    bool finished() {
        DBPROCESS* p = db.DbProc().get();
        bool ok = dbsqlok(p) == SUCCEED;
        while (dbresults(p) != NO_MORE_RESULTS)
            ok = ok && dbcanquery(p) == SUCCEED;
        return ok;
    }
    TSybDatabase db;
    int spid = 0;
};

// The delegate's look of a grid cell: what paints it.
struct CellStyle : QStyledItemDelegate {
    static QStyleOptionViewItem of(const TSybGrid& grid, int row) {
        QStyleOptionViewItem option;
        auto* delegate = static_cast<QStyledItemDelegate*>(grid.itemDelegate());
        (delegate->*(&CellStyle::initStyleOption))(&option, grid.model()->index(row, 1));
        return option;
    }
};

class Processes : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame();
        Tf_processes_self::RememberedRow = 1;
    }
    Tserverform* open(bool showHidden = false) {
        writeIni(test::lastLogin("sa", "master") + (showHidden ? "ShowHiddenCommands=1\r\n" : ""));
        return connect("");
    }
    template <class Monitor> Monitor* child() const {
        for (QMdiSubWindow* sub : main->mdiArea()->subWindowList())
            if (auto* monitor = qobject_cast<Monitor*>(sub->widget()))
                return monitor;
        return nullptr;
    }
    // Opens the self-defined monitor from window and waits for its first reload.
    Tf_processes_self* openMonitor(Tserverform& window) {
        window.Processes21->trigger();
        auto* monitor = child<Tf_processes_self>();
        if (!monitor)
            return nullptr;
        QObject::connect(monitor, &Tf_processes_self::reloaded, monitor, [this] { ++reloads; });
        EXPECT_TRUE(test::waitUntil([&] { return reloads > 0; }));
        return monitor;
    }
    // Runs step, which ends in a reload, and waits for it.
    void reloadAfter(const std::function<void()>& step) {
        const int before = reloads;
        step();
        ASSERT_TRUE(test::waitUntil([&] { return reloads > before; }));
    }
    static int currentRow(const Tf_processes_self& m) {
        return m.g_processes->currentIndex().row();
    }
    static void select(Tf_processes_self& m, int row) {
        m.g_processes->setCurrentIndex(m.g_processes->model()->index(row, 1));
    }
    // The first process row's first cell after the last one, which follows in the grid.
    static int lastProcessRow(const Tf_processes_self& m) {
        int row = 1;
        while (m.g_processes->gridModel()->rowKind(row + 1) == RowKind::Data)
            ++row;
        return row;
    }
    int serverMessages() const {
        int n = 0;
        for (const test::DialogCall& c : dialogs.messages())
            n += c.caption != "Error" && c.caption != "Processes";
        return n;
    }

    int reloads = 0;
};

TEST_F(Processes, TheVisibleItemListsTheConfiguredProcedureAndKillNeedsASpidColumn) {
    Tserverform* w = open();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->Processes21->isEnabled());
    Tf_processes_self* m = openMonitor(*w);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->windowTitle(), "Processes");
    EXPECT_TRUE(m->parentWidget()->isMaximized());
    EXPECT_EQ(m->g_processes->DbProc(), w->sybase->DbProc()) << "the window's connection";
    EXPECT_EQ(m->g_processes->Sql(), "sp_who");
    EXPECT_EQ(m->g_processes->cell(2, 1).trimmed(), "spid");
    EXPECT_EQ(currentRow(*m), 1) << "the opening selects grid row 1";
    EXPECT_EQ((QStringList{m->e_delay->text(), m->Label7->text(), m->chk_repeat->text(),
                           m->ToolButton3->toolTip(), m->File1->title(), m->Config1->text()}),
              (QStringList{"5", "Delay (sec)", "Repeat", "Kill Process", "&File", "&Config"}));
    EXPECT_EQ(m->childMenus().size(), 2);

    // Cancel keeps the procedure; OK takes the name typed.
    dialogs.dialogHandlers.push_back([](QDialog&) { return int(QDialog::Rejected); });
    dialogs.dialogHandlers.push_back([](QDialog& d) {
        auto& ask = dynamic_cast<Tf_processes_ask&>(d);
        EXPECT_EQ(ask.windowTitle(), "Self defined processes procedure");
        EXPECT_EQ(ask.e_procedure->text(), "sp_who");
        EXPECT_EQ(ask.Label1->text(), "Procedure name");
        EXPECT_TRUE(ask.Label2->text().contains("column with heading \"spid\""));
        ask.e_procedure->setText("list_names");
        ask.Button1->click();
        return d.result();
    });
    m->Config1->trigger();
    EXPECT_EQ(main->config.ProcessesSProc, "sp_who");
    m->Config1->trigger();
    EXPECT_EQ(main->config.ProcessesSProc, "list_names");
    EXPECT_EQ(m->g_processes->Sql(), "list_names");

    reloadAfter([&] { m->ToolButton2->click(); });
    EXPECT_EQ(m->g_processes->cell(1, 1).trimmed(), "name");
    EXPECT_FALSE(m->ToolButton4->isEnabled()) << "no blocker column";
    m->ToolButton3->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "SPID could not be found!");
    EXPECT_EQ(dialogs.messages()[0].caption, "Error");
    EXPECT_EQ(dialogs.messages()[0].icon, QMessageBox::Warning);
}

TEST_F(Processes, KillsTheSelectedProcessAndTheSelectionStaysOnAProcessRow) {
    Tserverform* w = open();
    ASSERT_NE(w, nullptr);
    auto victim = std::make_unique<Session>();
    auto gone = std::make_unique<Session>();
    Tf_processes_self* m = openMonitor(*w);
    ASSERT_NE(m, nullptr);

    // On the names row the kill names the heading, which the server refuses.
    reloadAfter([&] { m->ToolButton3->click(); });
    EXPECT_GE(serverMessages(), 1) << "the server's answer to \"kill spid\"";
    EXPECT_NE(m->rowOfProcess(victim->spid), 0) << "nobody was killed";

    // The highest spid is the last process row; when it is gone the selection comes back
    // to the new last one, not onto the row count below it.
    ASSERT_EQ(m->rowOfProcess(gone->spid), lastProcessRow(*m));
    const int goneSpid = gone->spid;
    select(*m, m->rowOfProcess(goneSpid));
    gone.reset();
    reloadAfter([&] { m->ToolButton2->click(); });
    EXPECT_EQ(m->rowOfProcess(goneSpid), 0);
    EXPECT_EQ(currentRow(*m), lastProcessRow(*m));
    EXPECT_TRUE(m->g_processes->selectionModel()->isRowSelected(currentRow(*m)));

    // Not while a results window reads from the connection.
    select(*m, m->rowOfProcess(victim->spid));
    const std::size_t before = dialogs.messages().size();
    {
        const BusyConnection loading(w->sybase->DbProc());
        m->ToolButton3->click();
    }
    ASSERT_EQ(dialogs.messages().size(), before + 1);
    EXPECT_TRUE(dialogs.messages().back().text.startsWith("A results window is still loading"));
    reloadAfter([&] { m->ToolButton2->click(); });
    EXPECT_NE(m->rowOfProcess(victim->spid), 0);

    reloadAfter([&] { m->ToolButton3->click(); });
    EXPECT_EQ(m->rowOfProcess(victim->spid), 0) << "killed and no longer listed";
    EXPECT_NE(test::lastValue(w->sybase->DbProc(), "select @@spid"), "")
        << "the monitor's connection lives on";

    // Closing the server window ends its connection: the monitor closes at its next reload.
    QPointer<Tf_processes_self> monitor = m;
    w->ToolButton1Click();
    monitor->ToolButton2->click();
    EXPECT_TRUE(test::waitUntil([&] { return monitor.isNull(); }));
}

TEST_F(Processes, TheDelayIsStoredByRepeatOnlyAndABlankOneIsRefused) {
    Tserverform* w = open();
    ASSERT_NE(w, nullptr);
    Tf_processes_self* m = openMonitor(*w);
    ASSERT_NE(m, nullptr);
    m->e_delay->setText("7");
    reloadAfter([&] { m->ToolButton2->click(); });
    EXPECT_EQ(m->e_delay->text(), "5") << "typed without Repeat: the stored delay comes back";

    m->e_delay->clear();
    m->chk_repeat->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Please enter the delay in seconds.");
    EXPECT_EQ(dialogs.messages()[0].caption, "Processes");
    EXPECT_FALSE(m->chk_repeat->isChecked());
    EXPECT_FALSE(m->tim_delay->isActive());
    EXPECT_EQ(main->config.ProcessesDelay, 5);

    m->e_delay->setText("1");
    m->chk_repeat->click();
    EXPECT_TRUE(m->chk_repeat->isChecked());
    EXPECT_EQ(m->tim_delay->interval(), 1000);
    EXPECT_EQ(main->config.ProcessesDelay, 1);
    const int before = reloads;
    EXPECT_TRUE(test::waitUntil([&] { return reloads > before; })) << "the timer reloads";
    m->chk_repeat->click();
    EXPECT_FALSE(m->tim_delay->isActive());

    // Closing keeps a delay typed as a number, and the stored one when the edit is blank.
    m->e_delay->clear();
    QPointer<Tf_processes_self> closing = m;
    QTest::keyClick(m->g_processes, Qt::Key_Escape);
    EXPECT_TRUE(test::waitUntil([&] { return closing.isNull(); })) << "Esc closes the window";
    EXPECT_EQ(main->config.ProcessesDelay, 1);
}

TEST_F(Processes, ShowsWhoBlocksWhomAndKillingTheHeadLetsTheNextFinish) {
    Tserverform* w = open();
    ASSERT_NE(w, nullptr);
    Session a, b, c;
    a.send("begin tran insert into queue_items values (1)");
    ASSERT_TRUE(a.finished());
    ASSERT_EQ(test::lastValue(a.db.DbProc(), "select @@trancount"), "1");
    const auto blockedBy = [&](const Session& waiting, const Session& blocker) {
        const QString sql = "select blocked from master..sysprocesses where spid = " +
                            QString::number(waiting.spid);
        return test::waitUntil([&] {
            return test::lastValue(w->sybase->DbProc(), sql) == QString::number(blocker.spid);
        });
    };
    b.send("insert into queue_items values (2)");
    ASSERT_TRUE(blockedBy(b, a));
    c.send("insert into queue_items values (3)");
    ASSERT_TRUE(blockedBy(c, b));

    Tf_processes_self* m = openMonitor(*w);
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(m->ToolButton4->isEnabled());
    m->ToolButton4->click();
    EXPECT_TRUE(m->tv_blocking->isVisible());
    ASSERT_EQ(m->tv_blocking->topLevelItemCount(), 1);
    QTreeWidgetItem* head = m->tv_blocking->topLevelItem(0);
    EXPECT_EQ(head->text(0), QString::number(a.spid));
    EXPECT_EQ(head->text(1), "sa");
    ASSERT_EQ(head->childCount(), 1);
    QTreeWidgetItem* second = head->child(0);
    EXPECT_EQ(second->text(0), QString::number(b.spid));
    EXPECT_EQ(second->text(3).toUpper(), "INSERT");
    ASSERT_EQ(second->childCount(), 1);
    EXPECT_EQ(second->child(0)->text(0), QString::number(c.spid));
    EXPECT_TRUE(head->font(0).bold());

    // The grid shows the same: the head in bold, the waiting rows tinted, the others plain.
    const QStyleOptionViewItem plain = CellStyle::of(*m->g_processes, 1);
    for (const auto& [spid, bold, tinted] :
         {std::tuple{a.spid, true, false}, std::tuple{b.spid, false, true},
          std::tuple{c.spid, false, true}}) {
        const QStyleOptionViewItem style = CellStyle::of(*m->g_processes, m->rowOfProcess(spid));
        EXPECT_EQ(style.font.bold(), bold) << spid;
        EXPECT_EQ(style.backgroundBrush != plain.backgroundBrush, tinted) << spid;
    }

    // Choosing the head in the tree selects its row, and the kill acts on it.
    m->tv_blocking->setCurrentItem(head);
    EXPECT_EQ(currentRow(*m), m->rowOfProcess(a.spid));
    reloadAfter([&] { m->ToolButton3->click(); });
    EXPECT_TRUE(b.finished()) << "B's insert completes once A is gone";
    EXPECT_TRUE(c.finished());
    EXPECT_EQ(test::firstColumn(w->sybase->DbProc(), "select n from queue_items order by n"),
              (QStringList{"2", "3"}))
        << "A's transaction is rolled back";
    EXPECT_EQ(m->rowOfProcess(a.spid), 0);
}

TEST_F(Processes, TheHiddenItemListsFixedColumnLinesAndKills) {
    Tserverform* w = open(false);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(w->Processes1->isVisible());
    w->ToolButton1Click();
    w = open(true);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->Processes1->isVisible());
    auto last = std::make_unique<Session>();
    w->Processes1->trigger();
    auto* m = child<Tf_processes>();
    ASSERT_NE(m, nullptr);
    EXPECT_TRUE(test::waitUntil([&] { return m->l_processes->count() > 0; }));
    EXPECT_EQ((QStringList{m->Label1->text(), m->Label2->text(), m->Label3->text(),
                           m->Label4->text(), m->Label5->text(), m->Label6->text()}),
              (QStringList{"Spid", "Status", "Login", "Command", "Blocked", "Database"}));
    EXPECT_EQ(m->l_processes->currentRow(), 0);
    const QString own = test::lastValue(w->sybase->DbProc(), "select @@spid");
    const QList<QListWidgetItem*> mine = m->l_processes->findItems(own, Qt::MatchStartsWith);
    ASSERT_FALSE(mine.isEmpty());
    const QString line = mine[0]->text();
    EXPECT_EQ(line.size(), 75);
    EXPECT_EQ(line.mid(20, 10).trimmed(), "sa");
    EXPECT_EQ(line.mid(54, 5).trimmed(), "0");
    EXPECT_EQ(line.mid(61).trimmed(), "master");

    // The last line is the newest login's: killed, the list is one shorter and the
    // selection moves up to its new last line.
    const int count = m->l_processes->count();
    ASSERT_EQ(m->l_processes->item(count - 1)->text().left(5).trimmed(),
              QString::number(last->spid));
    m->l_processes->setCurrentRow(count - 1);
    m->ToolButton3->click();
    EXPECT_EQ(m->l_processes->count(), count - 1);
    EXPECT_EQ(m->l_processes->currentRow(), count - 2);

    // Closing keeps the delay typed.
    QPointer<Tf_processes> monitor = m;
    m->e_delay->setText("9");
    m->Close1->trigger();
    EXPECT_TRUE(test::waitUntil([&] { return monitor.isNull(); }));
    EXPECT_EQ(main->config.ProcessesDelay, 9);
}

} // namespace
} // namespace ostrim
