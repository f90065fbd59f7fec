// The frame against a real server: menus, Connect/New/Disconnect, the configuration file as
// the connection windows leave it, the command-line file and menu merging.
#include "frame_test.h"
#include "sybaselogin.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.entries = {{"SIMSERVER"}}});

class Frame : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("sa", "master", "SIMSERVER"));
    }
    // Not shown: activation is the test's to send.
    Tmain& frame(const QString& commandLineFile = {}) {
        return FrameTest::frame(commandLineFile, false);
    }
    int children() { return int(main->mdiArea()->subWindowList().size()); }
};

TEST_F(Frame, MenusCarryTheirCaptionsShortcutsAndGroups) {
    Tmain& m = frame();
    EXPECT_EQ(m.windowTitle(), "Ostrim");
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
    connect(); // the login dialog as the configuration fills it
    ASSERT_EQ(children(), 1) << dialogs.calls.size();
    EXPECT_TRUE(m.Window1->isEnabled());
    EXPECT_EQ(m.lastConnection.server, "SIMSERVER");
    EXPECT_EQ(m.lastConnection.user, "sa");
    EXPECT_TRUE(dialogs.messages().empty());

    m.New1->trigger();
    EXPECT_EQ(children(), 2);
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

TEST_F(Frame, CommandLineFileConnectsOnceOnActivation) {
    Tmain& m = frame(writeFile("start.sql", "select 1\n"));
    EXPECT_TRUE(m.openAtStart);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&m, &activate); // the login is cancelled
    QApplication::sendEvent(&m, &activate);
    EXPECT_EQ(calls("exec"), 1) << "one login";

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
