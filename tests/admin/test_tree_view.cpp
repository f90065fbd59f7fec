// The server explorer against the demo server: the directory it reads, the login it is handed,
// the object kinds it lists, the copy of views, triggers and procedures between databases, one
// connection per server, and the server properties dialog.
#include "admin_helpers.h"
#include "frame_test.h"
#include "object_copier.h"
#include "server_directory.h"
#include "sybquery.h"
#include "u_server_properties.h"
#include "u_tree_main.h"

#include <QDropEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

namespace ostrim {
namespace {

// Three rows of syscomments: the copy must join them in order and without separators.
QString longProcedure() {
    QString text = "create procedure copy_me\nas\n";
    for (int i = 0; i < 14; ++i)
        text += "select step = " + QString::number(i) + ", label = \"line " + QString::number(i) +
                " of the copied procedure\"\n";
    return text;
}

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
                                    test::runAsSa({longProcedure()}, "ostrimdemo");
                                }});

QStringList childTexts(const QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* node, const QString& text) {
    for (int i = 0; i < node->childCount(); ++i)
        if (node->child(i)->text(0) == text)
            return node->child(i);
    return nullptr;
}

// The object's text rows as the server keeps them, in colid order.
QStringList objectRows(DbProcHandle process, const QString& database, const QString& name) {
    return test::firstColumn(process, "select c.text from " + database + "..syscomments c, " +
                                          database + "..sysobjects o where c.id = o.id and " +
                                          "o.name = \"" + name + "\" order by c.colid");
}

const QStringList kKinds = {"Users",          "Groups",           "System Tables", "User Tables",
                            "Views",          "Indexes",          "Triggers",      "Procedures",
                            "User Datatypes", "System Datatypes", "Segments"};

class TreeView : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        m_sybase = qgetenv("SYBASE");
        m_hadSybase = qEnvironmentVariableIsSet("SYBASE");
        m_home = qgetenv("HOME");
        // The directory also lists ~/.freetds.conf's servers: the tester's own must not show.
        qputenv("HOME", m_directory.path().toLocal8Bit());
        Tf_treeview::copied_names.clear();
    }
    void TearDown() override {
        explorer.reset();
        if (m_hadSybase)
            qputenv("SYBASE", m_sybase);
        else
            qunsetenv("SYBASE");
        qunsetenv("FREETDSCONF");
        qputenv("HOME", m_home);
        FrameTest::TearDown();
    }
    static QByteArray entry(const QString& name, int port = 0) {
        return ("[" + name + "]\r\nquery=TCP,127.0.0.1," +
                QString::number(port ? port : test::ServerEnvironment::server().port()) + "\r\n")
            .toLatin1();
    }
    // A server directory of the test's own.
    void useDirectory(const QByteArray& text) {
        ASSERT_TRUE(m_directory.isValid());
        QDir(m_directory.path()).mkpath("INI");
        QFile ini(m_directory.filePath("INI/SQL.INI"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(text);
        ini.close();
        qputenv("SYBASE", m_directory.path().toLocal8Bit());
    }
    Tf_treeview& open() {
        explorer = std::make_unique<Tf_treeview>();
        return *explorer;
    }
    // Accepts the next login dialog as sa.
    void acceptLogin() {
        dialogs.dialogHandlers.push_back([](QDialog& d) {
            d.findChild<QLineEdit*>("username")->setText("sa");
            d.findChild<QLineEdit*>("Password")->setText("");
            return int(QDialog::Accepted);
        });
    }
    int loginDialogs() {
        int n = 0;
        for (const auto& c : dialogs.calls)
            n += c.kind == "exec" && c.dialogClass == "ostrim::TPasswordDlg";
        return n;
    }
    // Opens on the directory's first server with the server window's login.
    QTreeWidgetItem* openConnected(const QString& server = "DEMO") {
        open().set_login("sa", "", server);
        explorer->FormActivate();
        return explorer->t->currentItem();
    }
    QTreeWidgetItem* openDemo() {
        useDirectory(entry("DEMO"));
        return openConnected();
    }
    // The object's text in ostrimdemo2 is that in ostrimdemo, and not empty.
    void expectCopied(const QString& name) {
        const DbProcHandle process = explorer->connectionOf(explorer->serverNode(0))->DbProc();
        const QString source = objectRows(process, "ostrimdemo", name).join("");
        EXPECT_FALSE(source.isEmpty()) << name.toStdString();
        EXPECT_EQ(objectRows(process, "ostrimdemo2", name).join(""), source) << name.toStdString();
    }
    // Sends a drag event of the object names over node; whether the tree accepted it.
    template <class Event> bool dragged(QTreeWidgetItem* node) {
        mime.setData("application/x-ostrim-object-names", {});
        Event event(explorer->t->visualItemRect(node).center(), Qt::CopyAction, &mime,
                    Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(explorer->t->viewport(), &event);
        return event.isAccepted();
    }
    QTreeWidgetItem* database(QTreeWidgetItem* server, const QString& name) {
        return childNamed(server->child(0), name);
    }
    void click(QTreeWidgetItem* node) {
        explorer->t->setCurrentItem(node);
        explorer->tClick();
    }
    void listKind(QTreeWidgetItem* databaseNode, const QString& kind) {
        click(childNamed(databaseNode, kind));
    }
    void select(const QStringList& names) {
        for (int i = 0; i < explorer->l->count(); ++i)
            explorer->l->item(i)->setSelected(names.contains(explorer->l->item(i)->text()));
    }
    QStringList messageTexts() {
        QStringList texts;
        for (const auto& m : dialogs.messages())
            texts << m.text;
        return texts;
    }

    std::unique_ptr<Tf_treeview> explorer;
    QMimeData mime;

private:
    QTemporaryDir m_directory;
    QByteArray m_sybase;
    QByteArray m_home;
    bool m_hadSybase = false;
};

TEST_F(TreeView, DirectoryLinesGiveTheServersInFileOrder) {
    qunsetenv("SYBASE");
    EXPECT_TRUE(directoryServerNames().isEmpty());
    ASSERT_EQ(open().t->topLevelItemCount(), 1);
    EXPECT_EQ(explorer->t->topLevelItem(0)->text(0), "SQL Servers");
    EXPECT_EQ(explorer->t->topLevelItem(0)->childCount(), 0) << "without a directory";

    useDirectory(entry("DEMO") + "; a comment\r\n" + entry("MY-SERVER 2") +
                 "[ODD] \r\nnot a header\r\n [INDENTED]\r\n");
    const QStringList expected = {"DEMO", "MY-SERVER 2", "ODD]"};
    EXPECT_EQ(directoryServerNames(), expected);

    Tf_treeview& w = open();
    EXPECT_EQ(w.windowTitle(), "Tree view");
    ASSERT_EQ(w.t->topLevelItemCount(), 1);
    QTreeWidgetItem* root = w.t->topLevelItem(0);
    EXPECT_EQ(root->text(0), "SQL Servers");
    EXPECT_EQ(root->data(0, Tf_treeview::kImageRole).toInt(), 0);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(childTexts(root), expected);
    ASSERT_EQ(w.connections().size(), 3u);
    const QStringList six = {"Databases",    "Logins",         "Database Devices",
                             "Dump Devices", "Remote Servers", "Caches"};
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem* server = root->child(i);
        EXPECT_EQ(server->data(0, Tf_treeview::kImageRole).toInt(), 1);
        EXPECT_EQ(childTexts(server), six);
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(server->child(c)->data(0, Tf_treeview::kImageRole).toInt(), 3);
        const TSybDatabase* connection = w.connections()[size_t(i)];
        EXPECT_EQ(w.connectionOf(server), connection);
        EXPECT_EQ(connection->ServerName(), expected[i]);
        EXPECT_EQ(connection->DBName(), "master");
        EXPECT_EQ(connection->UserName(), "sa");
        EXPECT_FALSE(connection->Connected());
        EXPECT_EQ(TSybDatabase::findDatabase(connection->Name()), connection);
    }
    EXPECT_EQ(w.connections()[1]->Name(), "db_MY_SERVER_2_1");
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(TreeView, ConnectionNamesStayDistinctAndShort) {
    EXPECT_EQ(connectionName("DEMO", 0), "db_DEMO_0");
    EXPECT_EQ(connectionName("MY-SERVER 2", 1), "db_MY_SERVER_2_1");
    EXPECT_NE(connectionName("A-B", 2), connectionName("A B", 3));
    const QString longName = connectionName(QString(40, QLatin1Char('x')), 12);
    EXPECT_EQ(longName.size(), 30);
    EXPECT_TRUE(longName.endsWith("_12"));
}

TEST_F(TreeView, OpeningServerIsFoundInAnyCaseWithoutLoginThenTheSecondAsks) {
    // The server window logged in as "demo": FreeTDS knows that name in any case.
    const QString conf = home.filePath("freetds.conf");
    QFile file(conf);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[demo]\n\thost = 127.0.0.1\n\tport = " +
               QByteArray::number(test::ServerEnvironment::server().port()) +
               "\n\ttds version = 5.0\n");
    file.close();
    qputenv("FREETDSCONF", conf.toLocal8Bit());
    useDirectory(entry("OTHER") + entry("DEMO") + entry("MY-SERVER 2"));

    QTreeWidgetItem* selected = openConnected("demo");
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->text(0), "DEMO");
    EXPECT_EQ(loginDialogs(), 0);
    EXPECT_TRUE(selected->isExpanded());
    TSybDatabase* demo = explorer->connectionOf(selected);
    ASSERT_TRUE(demo->Connected());
    EXPECT_EQ(demo->UserName(), "sa");
    EXPECT_TRUE(demo->LoginPrompt());
    const QStringList databases = childTexts(selected->child(0));
    EXPECT_TRUE(databases.contains("master"));
    EXPECT_TRUE(databases.contains("ostrimdemo"));
    EXPECT_TRUE(databases.contains("ostrimdemo2"));
    QStringList sorted = databases;
    sorted.sort();
    EXPECT_EQ(databases, sorted);
    QTreeWidgetItem* demoDb = database(selected, "ostrimdemo");
    ASSERT_NE(demoDb, nullptr);
    EXPECT_EQ(demoDb->data(0, Tf_treeview::kImageRole).toInt(), 2);
    EXPECT_EQ(childTexts(demoDb), kKinds);

    // The stored login is used up: the next server asks.
    acceptLogin();
    QTreeWidgetItem* second = explorer->serverNode(2);
    second->setExpanded(true);
    EXPECT_EQ(loginDialogs(), 1);
    EXPECT_TRUE(explorer->connectionOf(second)->Connected());
    EXPECT_TRUE(second->isExpanded());
    EXPECT_TRUE(dialogs.messages().empty());

    // Expanding again loads nothing twice.
    const int count = selected->child(0)->childCount();
    selected->setExpanded(false);
    selected->setExpanded(true);
    EXPECT_EQ(selected->child(0)->childCount(), count);
}

TEST_F(TreeView, ACancelledLoginCollapsesTheServerAgain) {
    useDirectory(entry("DEMO"));
    Tf_treeview& w = open();
    QTreeWidgetItem* server = w.serverNode(0);
    server->setExpanded(true); // no handler: the login dialog is cancelled
    EXPECT_EQ(loginDialogs(), 1);
    EXPECT_FALSE(w.connectionOf(server)->Connected());
    EXPECT_FALSE(server->isExpanded());
    EXPECT_EQ(server->child(0)->childCount(), 0);
}

TEST_F(TreeView, EachKindListsItsObjectsThroughTheServersConnection) {
    useDirectory(entry("DEMO") + entry("MY-SERVER 2"));
    QTreeWidgetItem* server = openConnected();
    QTreeWidgetItem* db = database(server, "ostrimdemo");
    ASSERT_NE(db, nullptr);
    const TSybDatabase* connection = explorer->connectionOf(server);
    const int codes[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 11};
    QList<QStringList> lists;
    for (int k = 0; k < kKinds.size(); ++k) {
        listKind(db, kKinds[k]);
        EXPECT_EQ(explorer->current_object_kind(), codes[k]) << kKinds[k].toStdString();
        EXPECT_EQ(connection->DBName(), "ostrimdemo");
        EXPECT_EQ(explorer->query->DbName(), connection->Name());
        EXPECT_EQ(explorer->query->DbProc(), connection->DbProc());
        for (int i = 0; i < explorer->l->count(); ++i)
            EXPECT_EQ(explorer->l->item(i)->data(Tf_treeview::kImageRole).toInt(), k);
        lists << test::items(explorer->l);
    }
    EXPECT_TRUE(lists[0].contains("alice"));
    EXPECT_TRUE(lists[0].contains("dbo"));
    EXPECT_FALSE(lists[0].contains("public"));
    EXPECT_TRUE(lists[1].contains("public"));
    EXPECT_TRUE(lists[2].contains("sysobjects"));
    EXPECT_FALSE(lists[2].contains("authors"));
    EXPECT_TRUE(lists[3].contains("authors"));
    EXPECT_FALSE(lists[3].contains("sysobjects"));
    EXPECT_EQ(lists[4], (QStringList{"author_names", "store_totals", "titleview"}));
    EXPECT_FALSE(lists[5].isEmpty());
    EXPECT_EQ(lists[6], (QStringList{"deltitle", "salestrig"}));
    EXPECT_EQ(lists[7], (QStringList{"author_report", "byroyalty", "copy_me", "title_sales"}));
    // phone_t is the first user type, numbered 100.
    EXPECT_EQ(lists[8], (QStringList{"id_t", "phone_t"}));
    EXPECT_TRUE(lists[9].contains("int"));
    EXPECT_FALSE(lists[9].contains("phone_t"));
    EXPECT_EQ(lists[10], (QStringList{"default", "fastseg", "logsegment", "system"}));

    // A click on the node listed last changes nothing; a database becomes the copy target.
    explorer->l->clear();
    explorer->tClick();
    EXPECT_EQ(explorer->l->count(), 0);
    click(database(server, "ostrimdemo2"));
    EXPECT_EQ(connection->DBName(), "ostrimdemo2");
    EXPECT_EQ(explorer->copyTarget().database, "ostrimdemo2");
    EXPECT_EQ(explorer->copyTarget().process, connection->DbProc());
    EXPECT_EQ(explorer->copyTarget().server, "DEMO");
    EXPECT_EQ(explorer->copySource().database, "ostrimdemo");
}

TEST_F(TreeView, OnlyViewsTriggersAndProceduresDragAndOnlyOntoADatabase) {
    QTreeWidgetItem* server = openDemo();
    QTreeWidgetItem* db = database(server, "ostrimdemo");
    QTreeWidgetItem* target = database(server, "ostrimdemo2");

    listKind(db, "User Tables");
    EXPECT_FALSE(explorer->mayDrag());
    EXPECT_FALSE(explorer->mayDropOn(target));
    explorer->lMouseDown();
    EXPECT_EQ(explorer->listPopup(), nullptr);

    for (const char* kind : {"Views", "Triggers", "Procedures"}) {
        listKind(db, kind);
        EXPECT_TRUE(explorer->mayDrag());
        EXPECT_TRUE(explorer->mayDropOn(target));
        EXPECT_FALSE(explorer->mayDropOn(server));
        EXPECT_FALSE(explorer->mayDropOn(target->child(4)));
        EXPECT_FALSE(explorer->mayDropOn(explorer->t->topLevelItem(0)));
        explorer->lMouseDown();
        EXPECT_EQ(explorer->listPopup(), explorer->edit_menu);
    }
}

TEST_F(TreeView, CopyNamesTakesTheSelectionInListOrder) {
    QTreeWidgetItem* server = openDemo();
    listKind(database(server, "ostrimdemo"), "Procedures");
    select({"title_sales", "author_report"});
    explorer->Copy1->trigger();
    EXPECT_EQ(Tf_treeview::copied_names, (QStringList{"author_report", "title_sales"}));
    select({});
    explorer->Copy1Click();
    EXPECT_TRUE(Tf_treeview::copied_names.isEmpty());
}

TEST_F(TreeView, AProcedureOfSeveralRowsArrivesIdentical) {
    QTreeWidgetItem* server = openDemo();
    const TSybDatabase* connection = explorer->connectionOf(server);
    ASSERT_GE(objectRows(connection->DbProc(), "ostrimdemo", "copy_me").size(), 3);
    ASSERT_TRUE(objectRows(connection->DbProc(), "ostrimdemo2", "copy_me").isEmpty());

    listKind(database(server, "ostrimdemo"), "Procedures");
    select({"copy_me"});
    explorer->Copy1Click();
    // Dropped as the tree takes it from a drag.
    QTreeWidgetItem* target = database(server, "ostrimdemo2");
    explorer->show();
    QApplication::processEvents();
    explorer->t->scrollToItem(target);
    EXPECT_TRUE(dragged<QDragEnterEvent>(target));
    EXPECT_TRUE(dragged<QDragMoveEvent>(target));
    EXPECT_FALSE(dragged<QDragMoveEvent>(server)) << "the same drag over the server node";
    dragged<QDragMoveEvent>(target);
    EXPECT_TRUE(dragged<QDropEvent>(target));

    EXPECT_TRUE(dialogs.messages().empty()) << messageTexts().join('|').toStdString();
    EXPECT_EQ(connection->DBName(), "ostrimdemo2");
    expectCopied("copy_me");
    EXPECT_EQ(test::lastValue(connection->DbProc(),
                              "select type from ostrimdemo2..sysobjects where name = \"copy_me\""),
              "P ");
}

TEST_F(TreeView, AMissingObjectIsReportedAndTheRestIsCopied) {
    QTreeWidgetItem* server = openDemo();
    test::runAsSa({"create view copied_after_missing as select title_id from titles"}, "ostrimdemo",
                  "DEMO");
    listKind(database(server, "ostrimdemo"), "Views");
    // A name holding a double quote must reach the server as one string, not a syntax error.
    Tf_treeview::copied_names = {"no_such_view", "odd\"name", " copied_after_missing "};
    explorer->paste(database(server, "ostrimdemo2"));
    const auto boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), 2u) << messageTexts().join('|').toStdString();
    EXPECT_EQ(boxes[0].text, "Could not find object no_such_view");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
    EXPECT_EQ(boxes[1].text, "Could not find object odd\"name");
    expectCopied("copied_after_missing");
}

TEST_F(TreeView, ACopyTheTargetRefusesDoesNotStopTheNextOne) {
    QTreeWidgetItem* server = openDemo();
    test::runAsSa({"create view only_here as select au_id from authors"}, "ostrimdemo", "DEMO");
    listKind(database(server, "ostrimdemo"), "Views");
    Tf_treeview::copied_names = {"titleview", "only_here"};
    explorer->paste(database(server, "ostrimdemo2"));
    // titleview exists in the target already: the server says so through the message handler.
    const auto boxes = dialogs.messages();
    ASSERT_FALSE(boxes.empty());
    EXPECT_TRUE(boxes[0].caption.startsWith("SQL Server Message - "))
        << boxes[0].caption.toStdString();
    expectCopied("only_here");
}

TEST_F(TreeView, CopyQuotesNamesAndSkipsOtherKinds) {
    EXPECT_EQ(doubleQuoted("plain"), "\"plain\"");
    EXPECT_EQ(doubleQuoted("a\"b\""), "\"a\"\"b\"\"\"");
    EXPECT_EQ(copyObject({}, {}, "authors", 4), CopyResult::Skipped);
}

class TreeViewTwoServers : public TreeView {
protected:
    static void SetUpTestSuite() {
        s_second = std::make_unique<test::SimServer>(std::vector<std::string>{"--name", "SECOND"});
        s_second->start();
    }
    static void TearDownTestSuite() {
        EXPECT_EQ(s_second->stop(), 0);
        s_second.reset();
    }
    static inline std::unique_ptr<test::SimServer> s_second;
};

TEST_F(TreeViewTwoServers, EachServerHasItsOwnConnection) {
    useDirectory(entry("DEMO") + entry("MY-SERVER 2", s_second->port()));
    QTreeWidgetItem* demo = openConnected();
    ASSERT_EQ(demo, explorer->serverNode(0));
    acceptLogin();
    QTreeWidgetItem* second = explorer->serverNode(1);
    second->setExpanded(true);
    EXPECT_EQ(loginDialogs(), 1);
    TSybDatabase* demoConnection = explorer->connectionOf(demo);
    TSybDatabase* secondConnection = explorer->connectionOf(second);
    ASSERT_TRUE(demoConnection->Connected());
    ASSERT_TRUE(secondConnection->Connected());
    EXPECT_NE(demoConnection->DbProc(), secondConnection->DbProc());
    EXPECT_EQ(test::lastValue(secondConnection->DbProc(), "select @@servername"), "SECOND");
    EXPECT_NE(test::lastValue(demoConnection->DbProc(), "select @@servername"), "SECOND");
    EXPECT_TRUE(childTexts(demo->child(0)).contains("ostrimdemo"));
    EXPECT_FALSE(childTexts(second->child(0)).contains("ostrimdemo"));
    EXPECT_TRUE(childTexts(second->child(0)).contains("master"));

    // The query finds the blank and hyphen server's connection by its component name.
    listKind(database(second, "master"), "System Tables");
    EXPECT_EQ(explorer->query->DbName(), "db_MY_SERVER_2_1");
    EXPECT_EQ(TSybDatabase::findDatabase(explorer->query->DbName()), secondConnection);
    EXPECT_EQ(explorer->query->DbProc(), secondConnection->DbProc());
    EXPECT_TRUE(test::items(explorer->l).contains("sysdatabases"));
    listKind(database(demo, "ostrimdemo"), "User Tables");
    EXPECT_EQ(explorer->query->DbName(), "db_DEMO_0");
    EXPECT_EQ(explorer->query->DbProc(), demoConnection->DbProc());

    // Disconnect one; Close disconnects the other too.
    explorer->t->setCurrentItem(second);
    explorer->tMouseDown();
    EXPECT_EQ(explorer->treePopup(), explorer->tree_server_submenu);
    explorer->Disconnect1->trigger();
    EXPECT_FALSE(secondConnection->Connected());
    EXPECT_FALSE(second->isExpanded());
    EXPECT_TRUE(demoConnection->Connected());
    explorer->ToolButton1->click();
    EXPECT_FALSE(demoConnection->Connected());
}

TEST_F(TreeView, ConnectAsksOnceTheStoredLoginIsUsedAndKeepsTheDatabases) {
    QTreeWidgetItem* server = openDemo();
    const int databases = server->child(0)->childCount();
    TSybDatabase* connection = explorer->connectionOf(server);
    explorer->t->setCurrentItem(server);
    explorer->Disconnect1Click();
    ASSERT_FALSE(connection->Connected());
    acceptLogin();
    explorer->Connect1->trigger();
    EXPECT_EQ(loginDialogs(), 1);
    EXPECT_TRUE(connection->Connected());
    EXPECT_TRUE(server->isExpanded());
    EXPECT_EQ(server->child(0)->childCount(), databases);
    EXPECT_TRUE(connection->LoginPrompt());
}

TEST_F(TreeView, PopupsFollowTheNodeLevel) {
    QTreeWidgetItem* server = openDemo();
    QTreeWidgetItem* db = database(server, "ostrimdemo");
    explorer->t->setCurrentItem(server);
    explorer->tMouseDown();
    EXPECT_EQ(explorer->treePopup(), explorer->tree_server_submenu);
    explorer->t->setCurrentItem(childNamed(db, "System Tables"));
    explorer->tMouseDown();
    EXPECT_EQ(explorer->treePopup(), explorer->tree_server_submenu);
    explorer->t->setCurrentItem(db);
    explorer->tMouseDown();
    EXPECT_EQ(explorer->treePopup(), nullptr);
    EXPECT_EQ(childTexts(server).size(), 6);
    QStringList items;
    for (QAction* a : explorer->tree_server_submenu->actions())
        items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, (QStringList{"&Connect", "&Disconnect", "-", "&Properties"}));
}

TEST_F(TreeView, ViewCommandsSwapSmallIconsAndList) {
    useDirectory(entry("DEMO"));
    Tf_treeview& w = open();
    EXPECT_EQ(w.listStyle(), Tf_treeview::ListStyle::ListArrangement);
    EXPECT_TRUE(w.ToolButton4->isChecked());
    EXPECT_TRUE(w.mnu_SmallIcons1->isChecked());
    EXPECT_EQ(w.ToolButton4->toolTip(), "Small Icons");
    EXPECT_EQ(w.l->flow(), QListView::TopToBottom);

    w.ToolButton5->click();
    EXPECT_EQ(w.listStyle(), Tf_treeview::ListStyle::SmallIcons);
    EXPECT_EQ(w.l->flow(), QListView::LeftToRight);
    EXPECT_TRUE(w.mnu_List1->isChecked());
    EXPECT_FALSE(w.mnu_SmallIcons1->isChecked());
    EXPECT_FALSE(w.ToolButton4->isChecked());

    w.mnu_LargeIcons1->trigger();
    EXPECT_EQ(w.l->viewMode(), QListView::IconMode);
    EXPECT_TRUE(w.ToolButton3->isChecked());
    EXPECT_FALSE(w.ToolButton5->isChecked());
    EXPECT_FALSE(w.mnu_List1->isChecked());
    EXPECT_EQ(w.l->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST_F(TreeView, PropertiesShowWhatTheConnectionLearnt) {
    useDirectory(entry("DEMO") + entry("MY-SERVER 2"));
    QTreeWidgetItem* server = openConnected();
    const TSybDatabase* connection = explorer->connectionOf(server);
    bool shown = false;
    dialogs.dialogHandlers.push_back([&](QDialog& d) {
        auto& p = dynamic_cast<Tf_server_properties&>(d);
        shown = true;
        EXPECT_EQ(p.windowTitle(), "DEMO Properties");
        EXPECT_EQ(p.e_server_name->text(), "DEMO");
        EXPECT_FALSE(connection->CharSet().isEmpty());
        EXPECT_EQ(p.e_character_set->text(), connection->CharSet());
        EXPECT_EQ(p.e_language->text(), connection->Language());
        EXPECT_FALSE(connection->DBVersion().isEmpty());
        EXPECT_EQ(p.m_version->toPlainText(), connection->DBVersion());
        EXPECT_EQ(p.m_libversion->toPlainText(), connection->DbLibVersion());
        EXPECT_FALSE(p.m_libversion->focusPolicy() & Qt::TabFocus);
        EXPECT_TRUE(p.e_server_name->isReadOnly() && p.m_version->isReadOnly());
        EXPECT_TRUE(p.e_version->isHidden() && p.e_build_date->isHidden());
        return int(QDialog::Accepted);
    });
    explorer->t->setCurrentItem(server);
    explorer->Properties1->trigger();
    EXPECT_TRUE(shown);

    // Not connected: no dialog.
    const size_t before = dialogs.calls.size();
    explorer->t->setCurrentItem(explorer->serverNode(1));
    explorer->Properties1Click();
    EXPECT_EQ(dialogs.calls.size(), before);
}

TEST_F(TreeView, ExploreServersOpensOnTheWindowsServer) {
    writeIni(test::lastLogin("sa", "master"));
    frame();
    Tserverform* w = connect();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->ExploreServers1->isEnabled());
    QPointer<QDialog> opened;
    const int loginsBefore = loginDialogs();
    dialogs.dialogHandlers.push_back([&](QDialog& d) {
        opened = &d;
        d.show();
        auto* tree = qobject_cast<Tf_treeview*>(&d);
        EXPECT_NE(tree, nullptr) << d.metaObject()->className();
        if (!tree)
            return int(QDialog::Rejected);
        QTreeWidgetItem* selected = tree->t->currentItem();
        EXPECT_EQ(selected ? selected->text(0) : QString(), "DEMO");
        EXPECT_TRUE(selected && tree->connectionOf(selected)->Connected());
        tree->CloseClick();
        return int(QDialog::Rejected);
    });
    w->ExploreServers1->trigger();
    EXPECT_TRUE(dialogs.dialogHandlers.empty()) << "the explorer was shown";
    EXPECT_EQ(loginDialogs(), loginsBefore);
    EXPECT_TRUE(opened.isNull());
}

} // namespace
} // namespace ostrim
