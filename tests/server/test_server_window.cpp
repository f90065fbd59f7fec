// The server window in the frame, against the demo server: creation by Connect and New, the
// database list and captions, menus and their merging, the hint line, every
// close path with unsaved text, and the configuration file it leaves behind.
#include "frame_test.h"
#include "silent_server.h"
#include "sybquery.h"

#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

namespace ostrim {
namespace {

// Long names: the server directory reads 30 characters of a line, brackets included.
const QString kLongServer = "A_SERVER_NAME_OF_28_CHARS_XX";
const QString kLongDatabase = "a_database_of_30_characters_xx";

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}, {kLongServer.toStdString()}}, .prepare = [] {
         test::runAsSa({"create database " + kLongDatabase});
     }});

class ServerWindow : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("alice", "ostrimdemo"));
        frame();
    }
    Tserverform* newWindow() {
        main->New1->trigger();
        QApplication::processEvents();
        return qobject_cast<Tserverform*>(main->currentServer.data());
    }
    QMdiSubWindow* sub(Tserverform* w) { return qobject_cast<QMdiSubWindow*>(w->parentWidget()); }
    void activate(Tserverform* w) {
        main->mdiArea()->setActiveSubWindow(sub(w));
        QApplication::processEvents();
    }
    int children() { return int(main->mdiArea()->subWindowList().size()); }
    QStringList barItems() {
        QStringList items;
        for (QAction* a : main->menuBar()->actions())
            items << a->text();
        return items;
    }
    int boxes() { return int(dialogs.messages().size()); }
};

TEST_F(ServerWindow, ConnectOffersTheConfigurationAndListsTheDatabases) {
    QString offeredServer, offeredUser;
    dialogs.dialogHandlers.push_back([&](QDialog& d) {
        offeredServer = d.findChild<QComboBox*>("server")->currentText();
        offeredUser = d.findChild<QLineEdit*>("username")->text();
        d.findChild<QLineEdit*>("Password")->setText("alice123");
        return int(QDialog::Accepted);
    });
    main->Connect1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(offeredServer, "DEMO");
    EXPECT_EQ(offeredUser, "alice");
    auto* w = qobject_cast<Tserverform*>(main->currentServer.data());
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_TRUE(sub(w)->isMaximized());
    EXPECT_EQ(w->TitlePrefix, "DEMO/ostrimdemo:alice");
    EXPECT_EQ(w->windowTitle(), "DEMO/ostrimdemo:alice - Untitled.sql");
    EXPECT_TRUE(main->Disconnect1->isEnabled());

    EXPECT_EQ(test::items(w->type_list),
              (QStringList{"Databases", "Groups", "Indexes", "Logins", "Procedures", "Rules",
                           "Select", "System Datatypes", "Tables", "Triggers", "User Datatypes",
                           "Users", "Views"}));
    EXPECT_EQ(w->type_list->currentIndex(), 0);
    const QStringList databases = test::items(w->object_list);
    EXPECT_TRUE(databases.contains("master"));
    EXPECT_TRUE(databases.contains("ostrimdemo"));
    QStringList sorted = databases;
    sorted.sort();
    EXPECT_EQ(databases, sorted);
    // Activation selects the connection's own database in the list.
    EXPECT_EQ(w->object_list->currentText(), "ostrimdemo");

    // The window starts clean: plain text, speedwords on, nothing modified.
    EXPECT_FALSE(w->Modified);
    EXPECT_TRUE(w->memo->toPlainText().isEmpty());
    EXPECT_EQ(w->statusPanels[0]->text(), "1 : 1");
    EXPECT_EQ(w->statusPanels[1]->text(), "Plain Text");
    EXPECT_EQ(w->statusPanels[2]->text(), "Speedword ON");
    EXPECT_EQ(w->statusPanels[3]->text(), "");
    EXPECT_EQ(w->memo->font().family(), "Courier");
    EXPECT_EQ(w->memo->font().pixelSize(), 12);
    EXPECT_FALSE(w->memo->acceptRichText());
    w->memo->insertPlainText("select 1\nfrom x");
    EXPECT_TRUE(w->Modified);
    EXPECT_EQ(w->statusPanels[3]->text(), "Modified");
    EXPECT_EQ(w->statusPanels[0]->text(), "2 : 7");
}

TEST_F(ServerWindow, NewOpensWindowsOnTheLastConnectionWithoutADialog) {
    ASSERT_NE(connect("alice123"), nullptr);
    const size_t logins = dialogs.calls.size();
    Tserverform* second = newWindow();
    Tserverform* third = newWindow();
    ASSERT_NE(second, nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(dialogs.calls.size(), logins); // no dialog, no message
    EXPECT_EQ(second->windowTitle(), "DEMO/ostrimdemo:alice - Untitled.sql");
    EXPECT_EQ(third->windowTitle(), second->windowTitle());
    EXPECT_EQ(third->sybase->UserName(), "alice");
    EXPECT_EQ(children(), 3);
}

TEST_F(ServerWindow, CaptionPrefixIsCutAndMinimisingPutsTheDatabaseFirst) {
    writeIni(test::lastLogin("sa", kLongDatabase, kLongServer));
    Tserverform* w = connect("");
    ASSERT_NE(w, nullptr);
    const QString full = kLongServer + "/" + kLongDatabase + ":sa";
    ASSERT_GT(full.size(), 50);
    EXPECT_EQ(w->TitlePrefix, full.left(50));
    EXPECT_EQ(w->windowTitle(), full.left(50) + " - Untitled.sql");

    Tserverform* other = newWindow();
    ASSERT_NE(other, nullptr);
    writeFile("Ostrim.Ini", ""); // unused from here on
    sub(other)->showMinimized();
    QApplication::processEvents();
    EXPECT_EQ(other->windowTitle(),
              QString(kLongDatabase + "/" + kLongServer + ":sa").left(50) + " - Untitled.sql");
    sub(other)->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(other->windowTitle(), full.left(50) + " - Untitled.sql");
}

TEST_F(ServerWindow, MenusMergeIntoTheFrameWhileTheWindowIsActive) {
    EXPECT_EQ(barItems(), (QStringList{"&File", "&Server", "&Window", "&Help"}));
    Tserverform* w = connect("alice123");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(barItems(), (QStringList{"&File", "&Edit", "&Search", "F&onts", "Run", "&Options",
                                       "&Tools", "&Server", "&Window", "&Help"}));
    EXPECT_EQ(main->menuBar()->actions()[0], w->File2->menuAction());

    auto captions = [](QMenu* menu) {
        QStringList list;
        for (QAction* a : menu->actions())
            list << (a->isSeparator() ? "-" : a->text());
        return list;
    };
    EXPECT_EQ(captions(w->File2),
              (QStringList{"  &New", "  &Open", "  &ReOpen", "-", "  &Save", "  Save &as", "-",
                           "  &Print", "  Print set&up", "-", "&Generate DDL", "-", "E&xit"}));
    EXPECT_EQ(captions(w->Edit1), (QStringList{"  Cu&t", "  &Copy", "  &Paste", "  &Delete",
                                               "  &Undo/Redo", "-", "Select &all"}));
    EXPECT_EQ(captions(w->Search1),
              (QStringList{"&Find", "Find &next", "&Replace", "-", "&Go to Line Number"}));
    // The Edit menu's separator draws no shortcut; Ctrl+D still starts nothing in the editor.
    for (QAction* a : w->Edit1->actions()) {
        if (a->isSeparator()) {
            EXPECT_TRUE(a->shortcut().isEmpty());
        }
    }
    w->memo->setPlainText("keep");
    QTest::keyClick(w->memo, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(w->memo->toPlainText(), "keep");
    EXPECT_EQ(captions(w->Tools1),
              (QStringList{"&Configure", "-", "&Devices", "&Processes", "&Processes", "Speed&words",
                           "-", "&Search Database", "&Explore Servers", "&Find Differences"}));
    EXPECT_EQ(captions(w->PopupMenu1),
              (QStringList{"Cu&t", "&Copy", "&Paste", "&Delete", "&Undo/Redo", "-", "Select &all",
                           "-", "Paste &object text", "Paste &column text", "Paste &SQL History"}));
    EXPECT_EQ(captions(w->PopupMenu2), QStringList{"&Clear History"});
    EXPECT_EQ(w->Run1->shortcut(), QKeySequence("Ctrl+E"));
    EXPECT_EQ(w->GotoLineNumber1->shortcut(), QKeySequence("Alt+G"));
    EXPECT_EQ(w->Findnext1->shortcut(), QKeySequence("F3"));
    EXPECT_EQ(w->Open2->statusTip(), "Open File");
    EXPECT_FALSE(w->Devices1->isVisible());
    EXPECT_FALSE(w->Processes1->isEnabled());
    EXPECT_TRUE(w->FindDifferences1->isEnabled()); // opens the object differences
    EXPECT_FALSE(w->toolButton(24)->isEnabled());
    EXPECT_FALSE(w->toolButton(26)->isEnabled());
    // A tool bar button follows its menu item's state.
    EXPECT_EQ(w->toolButton(15)->isEnabled(), w->Run1->isEnabled());
    EXPECT_EQ(w->toolButton(15)->toolTip(), "Run (Ctrl+E)");
    EXPECT_EQ(w->toolButton(1)->toolTip(), "Close");
    EXPECT_EQ(w->toolButton(17)->toolTip(), "Undo/Redo (Ctrl+Z)");

    // The editor's clipboard commands act on its text.
    w->memo->setPlainText("abc");
    w->Selectall1->trigger();
    w->Cut1->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "");
    w->Paste1->trigger();
    w->Paste1->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "abcabc");
    w->Undo1->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "abc");

    // The tool buttons Connect and Disconnect are the frame's commands.
    w->Modified = false;
    w->toolButton(14)->click();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_EQ(barItems(), (QStringList{"&File", "&Server", "&Window", "&Help"}));
    EXPECT_FALSE(main->Window1->isEnabled());
}

TEST_F(ServerWindow, HintLineShowsTheHintUnderTheMouse) {
    Tserverform* w = connect("alice123");
    ASSERT_NE(w, nullptr);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(w->toolButton(8), &enter);
    EXPECT_EQ(w->server_statusbar2->currentMessage(), "Cut (Ctrl+X)");
    QApplication::sendEvent(w->speedButton("btn_views"), &enter);
    EXPECT_EQ(w->server_statusbar2->currentMessage(), "Views");
}

TEST_F(ServerWindow, UnsavedTextIsConfirmedOnEveryClosePath) {
    Tserverform* w = connect("alice123");
    ASSERT_NE(w, nullptr);
    auto edit = [](Tserverform* window) {
        window->memo->insertPlainText("select 1");
    };
    auto lastBoxIsTheQuestion = [this] {
        ASSERT_GT(boxes(), 0);
        const auto box = dialogs.messages().back();
        EXPECT_EQ(box.text, "Contents has changed. Continue ?");
        EXPECT_EQ(box.caption, "Close");
        EXPECT_EQ(box.buttons, QMessageBox::Yes | QMessageBox::No);
    };

    // Unchanged text closes without a question.
    w->toolButton(1)->click();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_EQ(boxes(), 0);

    // The Close button: No keeps the window and its text, Yes closes it.
    w = connect("alice123");
    ASSERT_NE(w, nullptr);
    edit(w);
    dialogs.messageAnswers = {QMessageBox::No};
    w->toolButton(1)->click();
    QApplication::processEvents();
    lastBoxIsTheQuestion();
    EXPECT_EQ(children(), 1);
    EXPECT_TRUE(w->Modified);
    dialogs.messageAnswers = {QMessageBox::Yes};
    w->toolButton(1)->click();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_EQ(boxes(), 2);

    // Switching windows keeps the mark, so the frame's close box, Disconnect and
    // Disconnect all still ask.
    w = connect("alice123");
    Tserverform* other = newWindow();
    ASSERT_NE(other, nullptr);
    edit(w);
    activate(other);
    activate(w);
    EXPECT_TRUE(w->Modified);
    dialogs.messageAnswers = {QMessageBox::No};
    sub(w)->close();
    QApplication::processEvents();
    EXPECT_EQ(boxes(), 3);
    EXPECT_EQ(children(), 2);

    activate(w);
    dialogs.messageAnswers = {QMessageBox::No};
    main->Disconnect1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(boxes(), 4);
    EXPECT_EQ(children(), 2);

    // Disconnect all: the unchanged window goes, the changed one stays on No.
    dialogs.messageAnswers = {QMessageBox::No};
    main->Disconnectall1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(boxes(), 5);
    ASSERT_EQ(children(), 1);
    EXPECT_EQ(main->mdiArea()->subWindowList()[0]->widget(), w);
    EXPECT_TRUE(main->Window1->isEnabled());

    // The program's exit stops on No and goes on Yes.
    dialogs.messageAnswers = {QMessageBox::No};
    EXPECT_FALSE(main->close());
    EXPECT_EQ(boxes(), 6);
    EXPECT_EQ(children(), 1);
    lastBoxIsTheQuestion();
    dialogs.messageAnswers = {QMessageBox::Yes};
    EXPECT_TRUE(main->close());
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_FALSE(main->Window1->isEnabled());
}

TEST_F(ServerWindow, AltXDisconnectsTheActiveWindowAndEndsTheProgramOnlyWithoutOne) {
    Tserverform* first = connect("alice123");
    ASSERT_NE(first, nullptr);
    Tserverform* second = newWindow();
    ASSERT_NE(second, nullptr);
    QApplication::setActiveWindow(main.get());
    activate(second);
    second->memo->setFocus();
    QPointer<Tserverform> watched = second;
    QTest::keyClick(second->memo, Qt::Key_X, Qt::AltModifier);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(!watched) << "the active window is disconnected";
    EXPECT_EQ(children(), 1);
    EXPECT_TRUE(main->isVisible()) << "the program goes on";
    EXPECT_EQ(main->Disconnect1->shortcut(), QKeySequence("Alt+X"));
    EXPECT_TRUE(main->Exit2->shortcut().isEmpty());

    activate(first);
    QTest::keyClick(first->memo, Qt::Key_X, Qt::AltModifier);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_TRUE(main->isVisible());
    // With no window left, the key ends the program as the frame's menu says.
    EXPECT_EQ(main->Exit2->shortcut(), QKeySequence("Alt+X"));
    EXPECT_TRUE(main->Disconnect1->shortcut().isEmpty());
    EXPECT_EQ(main->Disconnect1->text(), "Disconnect\tAlt+X");
    QTest::keyClick(main.get(), Qt::Key_X, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_FALSE(main->isVisible());
}

TEST_F(ServerWindow, ALostConnectionIsReportedOnceAndCanBeReconnected) {
    Tserverform* w = connect("alice123");
    ASSERT_NE(w, nullptr);
    const QString own = test::lastValue(w->sybase->DbProc(), "select @@spid");
    ASSERT_FALSE(own.isEmpty());
    test::runAsSa({"kill " + own});

    // Each click is one action: it reports the dead connection in one box, then asks once.
    dialogs.calls.clear();
    dialogs.messageAnswers = {QMessageBox::Ok, QMessageBox::No};
    w->speedButton("btn_tables")->click();
    QApplication::processEvents();
    auto boxes = [&](const QString& caption) {
        int n = 0;
        for (const auto& m : dialogs.messages())
            n += m.caption == caption;
        return n;
    };
    ASSERT_EQ(boxes("DB-Library error"), 1);
    ASSERT_EQ(boxes("Connection lost"), 1);
    EXPECT_EQ(dialogs.messages().back().text, "The connection to DEMO was lost. Reconnect?");
    EXPECT_EQ(dialogs.messages().back().buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(w->object_list->count(), 0) << "No leaves the window as it is";

    dialogs.calls.clear();
    dialogs.messageAnswers = {QMessageBox::Ok, QMessageBox::Yes};
    w->speedButton("btn_tables")->click();
    QApplication::processEvents();
    EXPECT_EQ(boxes("DB-Library error"), 1);
    EXPECT_EQ(boxes("Connection lost"), 1);
    EXPECT_EQ(w->type_list->currentText(), "Tables");
    EXPECT_GE(w->object_list->findText("authors"), 0) << "the list fills again";
    EXPECT_EQ(w->sybase->DBName(), "ostrimdemo");
    EXPECT_EQ(dialogs.calls.size(), 2u) << "no login dialog: the window knew its password";
}

TEST_F(ServerWindow, ClosingWritesTheWindowsValuesInTheFilesOrder) {
    writeFile("Ostrim.Ini", "[Run]\r\nLastUser=alice\r\nLastDbName=ostrimdemo\r\n"
                            "LastServerName=DEMO\r\nHistory5=/old/five.sql\r\n"
                            "[Config]\r\nShowPlan=0\r\nProcessesDelay=9\r\n[Mine]\r\nKept=1\r\n");
    Tserverform* w = connect("alice123");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(main->recentFiles.count(), 1);
    w->options.ShowPlan = true;
    w->options.RichText = true;
    w->options.AppendPaste = false;
    main->config.BackgroundProcess = false;
    w->toolButton(1)->click();
    QApplication::processEvents();
    ASSERT_EQ(children(), 0);

    const QString text = ini();
    QStringList keys;
    for (const QString& line : text.split("\r\n", Qt::SkipEmptyParts))
        keys << line.section('=', 0, 0);
    const QStringList expected =
        QString("[Run] LastUser LastDbName LastServerName History5 DefaultDir HistoryFile History1 "
                "LoginTimeOut MessagesInResults ShowNullText SyntaxColours LineNumbers Completion "
                "CellViewer ShowHiddenCommands [Config] ShowPlan "
                "ProcessesDelay NoExec "
                "CheckSyntax ShowIo ShowTime ArithAbort ArithIgnore ShowNonAnsi ExecSelected "
                "BackgroundProcess Appendgo AppendPaste OpenNewWindow PasteCREATE PasteDROP "
                "ProcessesSProc SeperateDBProc RichText TextForeGroundColor TextBackGroundColor "
                "[Mine] Kept")
            .split(' ');
    EXPECT_EQ(keys, expected) << text.toStdString();
    for (const char* line :
         {"LastUser=alice", "LastServerName=DEMO", "ShowPlan=1", "RichText=1", "AppendPaste=0",
          "BackgroundProcess=0", "ProcessesDelay=9", "History1=/old/five.sql"})
        EXPECT_TRUE(text.contains(QString(line) + "\r\n")) << line;
    EXPECT_TRUE(text.contains("LoginTimeOut=15\r\n")) << "the default, written back";
}

TEST_F(ServerWindow, FailedOrCancelledLoginLeavesNoWindowButWritesTheValues) {
    dialogs.dialogHandlers.push_back([](QDialog& d) {
        d.findChild<QLineEdit*>("username")->setText("bob");
        d.findChild<QLineEdit*>("Password")->setText("wrong");
        return int(QDialog::Accepted);
    });
    main->Connect1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_EQ(main->currentServer.data(), nullptr);
    EXPECT_EQ(boxes(), 1) << "the failed login's box";
    EXPECT_TRUE(ini().contains("LastUser=bob\r\n")) << ini().toStdString();
    EXPECT_EQ(barItems(), (QStringList{"&File", "&Server", "&Window", "&Help"}));
}

TEST_F(ServerWindow, AServerThatNeverAnswersTheLoginFailsItAfterLoginTimeOut) {
    test::SilentServer silent;
    writeFile("Ostrim.Ini", "[Run]\r\nLastUser=sa\r\nLastServerName=" +
                                silent.address().toLatin1() + "\r\nLoginTimeOut=2\r\n");
    dialogs.dialogHandlers.push_back([](QDialog&) { return int(QDialog::Accepted); });
    QElapsedTimer clock;
    clock.start();
    main->Connect1->trigger();
    QApplication::processEvents();
    EXPECT_LT(clock.elapsed(), 10000) << "ended by the login timeout, not by the server giving up";
    EXPECT_GE(silent.accepted(), 1) << "the login reached the server";
    EXPECT_EQ(children(), 0);
    EXPECT_EQ(boxes(), 1) << "the failed login's box";
    EXPECT_TRUE(ini().contains("LoginTimeOut=2\r\n")) << ini().toStdString();
}

} // namespace
} // namespace ostrim
