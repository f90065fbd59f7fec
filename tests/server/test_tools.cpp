// External tools configured from a server window: "&Configure" edits them, the Tools menu lists
// them and starts each without a shell, in its working directory.
#include "file_helpers.h"
#include "frame_test.h"
#include "qt_wait.h"
#include "u_tool_options.h"
#include "window_helpers.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}, .entries = {{"DEMO"}}});

// A tool that writes its arguments after the first, one a line, and then its directory into
// the file its first argument names; the file appears whole.
QString writeEchoTool(const QString& dir) {
    QString path = dir + "/echo args";
    test::writeBytes(
        path, "#!/bin/sh\nout=$1\nshift\n"
              "{ for a in \"$@\"; do printf '%s\\n' \"$a\"; done; pwd -P; } > \"$out.part\"\n"
              "mv \"$out.part\" \"$out\"\n");
    EXPECT_TRUE(QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner));
    return path;
}

QStringList lines(const QString& path) {
    QStringList texts = QString::fromLocal8Bit(test::readBytes(path)).split('\n');
    if (!texts.isEmpty() && texts.last().isEmpty())
        texts.removeLast();
    return texts;
}

class Tools : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("alice", "ostrimdemo"));
        frame();
    }
    void answerProperties(const QString& title, const QString& program, const QString& dir,
                          const QString& parameters) {
        dialogs.dialogHandlers.push_back([=](QDialog& d) {
            auto& p = dynamic_cast<Tf_tool_properties&>(d);
            p.e_title->setText(title);
            p.e_program->setText(program);
            p.e_workingdir->setText(dir);
            p.e_parameters->setText(parameters);
            p.btn_ok->click();
            return p.result();
        });
    }
};

TEST_F(Tools, ConfiguredToolsJoinTheMenuAndStartInTheirDirectories) {
    QTemporaryDir scratch;
    ASSERT_TRUE(QDir(scratch.path()).mkpath("My Tools/work dir"));
    const QString program = writeEchoTool(scratch.filePath("My Tools"));
    const QString workDir = scratch.filePath("My Tools/work dir");
    const QString out1 = scratch.filePath("first"), out2 = scratch.filePath("second");
    Tserverform* w = connect("alice123");
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->Tools2->isEnabled());

    const size_t before = dialogs.calls.size();
    dialogs.dialogHandlers.push_back([](QDialog& d) {
        auto& options = dynamic_cast<Tf_tool_options&>(d);
        for (int i = 0; i < 3; ++i)
            options.btn_add->click();
        options.btn_close->click();
        return options.result();
    });
    answerProperties("In its directory", program, workDir,
                     "'" + out1 + "' -a \"two words\" 'it''s' back\\ slash");
    answerProperties("In ours", program, "", "'" + out2 + "'");
    answerProperties("Nowhere", program, scratch.filePath("missing"), "'" + out2 + "'");
    w->Tools2->trigger();
    ASSERT_EQ(dialogs.calls.size(), before + 4);
    EXPECT_EQ(dialogs.calls[before].dialogClass, "ostrim::Tf_tool_options");
    EXPECT_EQ(dialogs.calls[before].caption, "Tool Options");
    EXPECT_EQ(dialogs.calls[before + 1].caption, "Tool Properties");

    // Stored, and rebuilt into the menu once the dialog closed.
    ToolLists stored;
    ASSERT_TRUE(read_tools(home.filePath("OSTRIM.TOOLS"), stored).ok());
    EXPECT_EQ(stored.titles, (QStringList{"In its directory", "In ours", "Nowhere"}));
    const QList<QAction*> items = w->Tools1->actions();
    ASSERT_EQ(items.size(), 14);
    EXPECT_TRUE(items[10]->isSeparator());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[11 + i]->text(), stored.titles[i]);
        EXPECT_EQ(items[11 + i]->objectName(), "tool" + QString::number(i));
    }

    items[13]->trigger();
    test::expectLastBox(dialogs, 1, "Failed to execute program. Error Code 2", "Closing results",
                        QMessageBox::Critical);
    items[11]->trigger();
    items[12]->trigger();
    EXPECT_EQ(dialogs.messages().size(), 1u);
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(out1) && QFile::exists(out2); }));
    EXPECT_EQ(lines(out1),
              (QStringList{"-a", "two words", "its", "back slash", QDir(workDir).canonicalPath()}));
    EXPECT_EQ(lines(out2), QStringList{QDir::current().canonicalPath()});

    // Without tools the menu ends after "&Find Differences", with no separator; rebuilding
    // twice keeps the window's own ten items.
    main->tools = {};
    w->refresh_tools();
    w->refresh_tools();
    ASSERT_EQ(w->Tools1->actions().size(), 10);
    EXPECT_EQ(w->Tools1->actions().last(), w->FindDifferences1);
}

} // namespace
} // namespace ostrim
