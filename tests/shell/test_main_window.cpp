// The frame against a real server: menus, Connect/New/Disconnect, the configuration file as
// the connection windows leave it, the command-line file and menu merging.
#include "scripted_dialogs.h"
#include "simserver_process.h"
#include "sybaselogin.h"
#include "sybdatabase.h"
#include "u_main.h"
#include "u_server.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace ostrim {
namespace {

using test::ScriptedDialogs;
using test::SimServer;

class FrameEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        s_server = std::make_unique<SimServer>();
        s_server->start();
        s_sybase = std::make_unique<QTemporaryDir>();
        QDir(s_sybase->path()).mkpath("INI");
        QFile ini(s_sybase->filePath("INI/SQL.INI"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[SIMSERVER]\r\nquery=TCP,127.0.0.1," + QByteArray::number(s_server->port()) +
                  "\r\n");
        ini.close();
        qputenv("SYBASE", s_sybase->path().toLocal8Bit());
    }
    void TearDown() override {
        s_server.reset();
        s_sybase.reset();
    }
    static std::unique_ptr<SimServer> s_server;
    static std::unique_ptr<QTemporaryDir> s_sybase;
};
std::unique_ptr<SimServer> FrameEnvironment::s_server;
std::unique_ptr<QTemporaryDir> FrameEnvironment::s_sybase;
const auto* const s_env = ::testing::AddGlobalTestEnvironment(new FrameEnvironment);

// Accepts the login dialog with the given password.
std::function<int(QDialog&)> login(const QString& password) {
    return [password](QDialog& d) {
        d.findChild<QLineEdit*>("Password")->setText(password);
        return int(QDialog::Accepted);
    };
}

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("OSTRIM_HOME", home.path().toLocal8Bit());
        writeIni("[Run]\r\nLastUser=sa\r\nLastDbName=master\r\nLastServerName=SIMSERVER\r\n");
    }
    void TearDown() override {
        main.reset();
        qunsetenv("OSTRIM_HOME");
    }
    void writeIni(const QByteArray& text) {
        QFile f(home.filePath("Ostrim.Ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QString ini() {
        QFile f(home.filePath("Ostrim.Ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    Tmain& frame(const QString& commandLineFile = {}) {
        main = std::make_unique<Tmain>(commandLineFile);
        main->setServerWindowFactory([](Tmain& m) -> QWidget* { return Tserverform::open(m); });
        return *main;
    }
    int children() { return int(main->mdiArea()->subWindowList().size()); }

    QTemporaryDir home;
    ScriptedDialogs dialogs;
    std::unique_ptr<Tmain> main;
};

TEST_F(Frame, MenusCarryTheirCaptionsShortcutsAndGroups) {
    Tmain& m = frame();
    EXPECT_EQ(m.windowTitle(), "Ostrim");
    QStringList tops;
    for (QAction* a : m.menuBar()->actions())
        tops << a->text();
    EXPECT_EQ(tops, (QStringList{"&File", "&Server", "&Window", "&Help"}));
    EXPECT_EQ(m.Exit2->text(), "E&xit");
    EXPECT_EQ(m.Exit2->shortcut(), QKeySequence("Alt+X")) << "while no window is open";
    EXPECT_EQ(m.Connect1->shortcut(), QKeySequence("Alt+C"));
    EXPECT_EQ(m.Disconnectall1->shortcut(), QKeySequence("Alt+A"));
    EXPECT_EQ(m.New1->shortcut(), QKeySequence("Alt+N"));
    // One key cannot start two commands: Disconnect only shows it while no window is open.
    EXPECT_TRUE(m.Disconnect1->shortcut().isEmpty());
    EXPECT_TRUE(m.Disconnect1->text().endsWith("Alt+X"));
    EXPECT_FALSE(m.Window1->isEnabled());

    m.About1->trigger();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, "exec");
    EXPECT_EQ(dialogs.calls[0].dialogClass, "ostrim::Tf_about");
}

TEST_F(Frame, ConnectLogsInWithTheConfigurationsLastValues) {
    Tmain& m = frame();
    dialogs.dialogHandlers.push_back([](QDialog& d) {
        // The login dialog offers the configuration's last server and user.
        EXPECT_EQ(d.findChild<QComboBox*>("server")->currentText(), "SIMSERVER");
        EXPECT_EQ(d.findChild<QLineEdit*>("username")->text(), "sa");
        return int(QDialog::Accepted);
    });
    m.Connect1->trigger();
    ASSERT_EQ(children(), 1) << dialogs.calls.size();
    EXPECT_TRUE(m.Window1->isEnabled());
    EXPECT_EQ(m.mdiArea()->subWindowList()[0]->widget()->windowTitle(),
              "SIMSERVER/master:sa - Untitled.sql");
    EXPECT_EQ(m.lastConnection.server, "SIMSERVER");
    EXPECT_EQ(m.lastConnection.user, "sa");
    EXPECT_TRUE(dialogs.messages().empty());

    // New opens a second window on the same values, without the dialog.
    size_t before = dialogs.calls.size();
    m.New1->trigger();
    EXPECT_EQ(children(), 2);
    for (size_t i = before; i < dialogs.calls.size(); ++i)
        EXPECT_NE(dialogs.calls[i].kind, "exec");

    m.Disconnect1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(children(), 1);
    m.Disconnectall1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_FALSE(m.Window1->isEnabled());
    m.Disconnect1->trigger(); // nothing left: nothing happens
    EXPECT_EQ(children(), 0);
    EXPECT_TRUE(ini().contains("LastServerName=SIMSERVER\r\n"));
}

TEST_F(Frame, CancelledLoginLeavesNoWindowAndStillWritesTheConfiguration) {
    writeIni("[Run]\r\nLastUser=bob\r\nLastDbName=pubs\r\nLastServerName=SIMSERVER\r\n"
             "[Mine]\r\nKept=yes\r\n");
    Tmain& m = frame();
    dialogs.dialogHandlers.push_back([](QDialog& d) {
        d.findChild<QLineEdit*>("username")->setText("carol");
        return int(QDialog::Rejected);
    });
    m.Connect1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    EXPECT_TRUE(dialogs.messages().empty());
    // The values the window had go to the file; a cancel takes none from the dialog.
    const QString text = ini();
    EXPECT_TRUE(text.contains("LastUser=bob\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("LastDbName=pubs\r\n"));
    EXPECT_TRUE(text.contains("[Mine]\r\nKept=yes\r\n"));
}

TEST_F(Frame, FailedLoginShowsOneBoxAndNoWindow) {
    Tmain& m = frame();
    dialogs.dialogHandlers.push_back(login("wrong"));
    m.Connect1->trigger();
    QApplication::processEvents();
    EXPECT_EQ(children(), 0);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Could not login to Server");
    EXPECT_EQ(dialogs.messages()[0].caption, "DB-Library error");
}

TEST_F(Frame, CommandLineFileConnectsOnceOnActivation) {
    QFile script(home.filePath("start.sql"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("select 1\n");
    script.close();
    Tmain& m = frame(script.fileName());
    EXPECT_TRUE(m.openAtStart);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&m, &activate); // the login is cancelled
    QApplication::sendEvent(&m, &activate);
    int logins = 0;
    for (const auto& c : dialogs.calls)
        logins += c.kind == "exec";
    EXPECT_EQ(logins, 1);

    Tmain& other = frame(home.filePath("missing.sql"));
    EXPECT_FALSE(other.openAtStart);
}

TEST(MenuMerge, ChildGroupsReplaceTheFramesAndKeepGroupOrder) {
    QMenu file, server, window, help, childFile, childEdit, childWindow;
    QAction run("Run");
    auto items = [](std::initializer_list<QMenu*> menus) {
        QList<QAction*> list;
        for (QMenu* m : menus)
            list << m->menuAction();
        return list;
    };
    const QList<GroupedMenu> frameMenus{{0, &file}, {9, &server}, {10, &window}, {10, &help}};
    EXPECT_EQ(mergedMenus(frameMenus, {}), items({&file, &server, &window, &help}));
    // A child's group 0 replaces File; its groups 1 and 2 go between, a bare command among
    // them; its 10 replaces both of 10.
    QList<QAction*> expected = items({&childFile, &childEdit});
    expected << &run << server.menuAction() << childWindow.menuAction();
    EXPECT_EQ(
        mergedMenus(frameMenus, {{0, &childFile}, {2, &run}, {1, &childEdit}, {10, &childWindow}}),
        expected);
}

} // namespace
} // namespace ostrim
