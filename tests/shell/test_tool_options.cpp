// The external tools without a server: how parameters are split, why a tool does not start, and
// the tool dialogs on the frame's lists, driven through the scripted dialog service.
#include "file_helpers.h"
#include "scripted_dialogs.h"
#include "u_main.h"
#include "u_tool_options.h"
#include "window_helpers.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>

namespace ostrim {
namespace {

TEST(SplitShellWords, SplitsAsAPosixShellWithoutExpanding) {
    const struct {
        QString text;
        QStringList words;
    } cases[] = {
        {"", {}},
        {" \t\n ", {}},
        {"-a \"two words\"", {"-a", "two words"}},
        {"  a\tb\nc  ", {"a", "b", "c"}},
        {"'single \"quoted\" \\n'", {"single \"quoted\" \\n"}},
        {"back\\ slash \\'x\\\"", {"back slash", "'x\""}},
        {"\"a\\\"b \\\\ \\$ \\x\"", {"a\"b \\ $ \\x"}},
        {"a\"b c\"'d e'f", {"ab cd ef"}},
        {"\"\" '' x", {"", "", "x"}},
        {"one\\\ntwo \\\n three", {"onetwo", "three"}},
        {"\"line\\\njoined\"", {"linejoined"}},
        {"$HOME *.sql ~ a;b > out | #c", {"$HOME", "*.sql", "~", "a;b", ">", "out", "|", "#c"}},
        {"end\\", {"end\\"}},
    };
    for (const auto& c : cases) {
        const std::optional<QStringList> words = splitShellWords(c.text);
        ASSERT_TRUE(words.has_value()) << c.text.toStdString();
        EXPECT_EQ(*words, c.words) << c.text.toStdString();
    }
    for (const QString open : {"\"open", "a 'open", "\"escaped end\\\"", "'a'\"b"})
        EXPECT_FALSE(splitShellWords(open).has_value()) << open.toStdString();
}

TEST(StartTool, SaysWhyAToolDoesNotStart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plain = dir.filePath("not executable");
    test::writeBytes(plain, "#!/bin/sh\n");
    const struct {
        QString program, parameters, workingDir;
        int error;
    } cases[] = {
        {"/bin/true", "\"open", {}, EINVAL},
        {"/bin/true", {}, dir.filePath("missing"), ENOENT},
        {"/bin/true", {}, plain, ENOTDIR},
        {dir.filePath("missing"), {}, {}, ENOENT},
        {{}, {}, {}, ENOENT},
        {"no-such-program-of-ostrim", {}, {}, ENOENT},
        {plain, {}, {}, EACCES},
        {dir.path(), {}, {}, EACCES},
        {"true", "-a 'b c'", dir.path(), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(startTool(c.program, c.parameters, c.workingDir), c.error)
            << c.program.toStdString() << " in " << c.workingDir.toStdString();
}

// The frame with its tool lists in a temporary OSTRIM_HOME; no server window.
class ToolDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("OSTRIM_HOME", home.path().toLocal8Bit());
        main = std::make_unique<Tmain>();
    }
    void TearDown() override {
        main.reset();
        qunsetenv("OSTRIM_HOME");
    }

    // Tools "A", "B", ... with values derived from their titles.
    static ToolLists named(const QStringList& titles) {
        ToolLists tools;
        for (const QString& t : titles) {
            tools.titles << t;
            tools.programs << "/bin/" + t;
            tools.workingDirs << "/dir/" + t;
            tools.parameters << "-" + t;
        }
        return tools;
    }
    void giveTools(const QStringList& titles) { main->tools = named(titles); }
    // The properties dialog as the user leaves it: fields typed, then OK or Cancel.
    void answerProperties(const QString& title, const QString& program, bool ok = true) {
        dialogs.dialogHandlers.push_back([=](QDialog& d) {
            auto& p = dynamic_cast<Tf_tool_properties&>(d);
            p.e_title->setText(title);
            p.e_program->setText(program);
            p.e_workingdir->setText("/work/" + title);
            p.e_parameters->setText("-p " + title);
            (ok ? p.btn_ok : p.btn_cancel)->click();
            return p.result();
        });
    }
    QStringList listed(const Tf_tool_options& d) {
        QStringList texts;
        for (int i = 0; i < d.l_tools->count(); ++i)
            texts << d.l_tools->item(i)->text();
        return texts;
    }
    QStringList messageTexts() {
        QStringList texts;
        for (const auto& m : dialogs.messages())
            texts << m.text;
        return texts;
    }

    QTemporaryDir home;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<Tmain> main;
};

TEST_F(ToolDialogs, BrowseFillsAnEmptyTitleOnly) {
    const QString chosen = "/opt/My Tools/run.sh";
    const struct {
        QString title, answer, title_after, program_after;
    } cases[] = {
        {"", chosen, "run.sh", chosen},
        {"  ", chosen, "run.sh", chosen},
        {"Mine", chosen, "Mine", chosen},
        {"", "", "", "/usr/bin/old"}, // cancelled
    };
    for (const auto& c : cases) {
        dialogs.calls.clear();
        Tf_tool_properties p;
        EXPECT_EQ(p.windowTitle(), "Tool Properties");
        p.e_title->setText(c.title);
        p.e_program->setText("/usr/bin/old");
        dialogs.fileAnswers.push_back(c.answer);
        p.btn_browse->click();
        EXPECT_EQ(p.e_title->text(), c.title_after) << c.title.toStdString();
        EXPECT_EQ(p.e_program->text(), c.program_after);
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].kind, "open");
        EXPECT_EQ(dialogs.calls[0].caption, "Browse");
        EXPECT_EQ(dialogs.calls[0].text, "/usr/bin");
    }
}

TEST_F(ToolDialogs, OkWarnsAboutAMissingTitleOrProgramAndClosesAnyway) {
    const struct {
        QString title, program, message;
    } cases[] = {
        {"", "/bin/x", "Title must be entered!"},
        {" \t", "/bin/x", "Title must be entered!"},
        {"", "", "Title must be entered!"},
        {"T", "", "Program must be entered!"},
        {"T", "/bin/x", ""},
    };
    for (const auto& c : cases) {
        dialogs.calls.clear();
        Tf_tool_properties p;
        p.e_title->setText(c.title);
        p.e_program->setText(c.program);
        p.btn_ok->click();
        EXPECT_EQ(p.result(), QDialog::Accepted);
        const auto boxes = dialogs.messages();
        ASSERT_EQ(boxes.size(), c.message.isEmpty() ? 0u : 1u) << c.title.toStdString();
        if (c.message.isEmpty())
            continue;
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].caption, "Tool Properties");
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    }
}

TEST_F(ToolDialogs, AddAppendsATitledToolAndLeavesTheButtonsAsOpened) {
    Tf_tool_options d(*main);
    EXPECT_EQ(d.windowTitle(), "Tool Options");
    EXPECT_FALSE(d.btn_edit->isEnabled());
    EXPECT_FALSE(d.btn_delete->isEnabled());

    answerProperties("", "/bin/x");
    d.btn_add->click();
    EXPECT_EQ(messageTexts(), QStringList{"Title must be entered!"});
    answerProperties("Cancelled", "/bin/x", false);
    d.btn_add->click();
    EXPECT_EQ(d.l_tools->count(), 0);
    EXPECT_EQ(main->tools, ToolLists{});

    answerProperties("A", "/bin/a");
    d.btn_add->click();
    EXPECT_EQ(listed(d), QStringList{"A"});
    EXPECT_EQ(main->tools, (ToolLists{{"A"}, {"/bin/a"}, {"/work/A"}, {"-p A"}, {}}));
    EXPECT_FALSE(d.btn_edit->isEnabled());
    EXPECT_FALSE(d.btn_delete->isEnabled());
    EXPECT_TRUE(dialogs.dialogHandlers.empty());
}

TEST_F(ToolDialogs, EditStoresTheFieldsAsEnteredEvenAnEmptyTitle) {
    giveTools({"A", "B"});
    Tf_tool_options d(*main);
    EXPECT_EQ(d.l_tools->currentRow(), 0);
    EXPECT_TRUE(d.btn_edit->isEnabled());
    d.l_tools->setCurrentRow(1);
    QStringList shown;
    dialogs.dialogHandlers.push_back([&](QDialog& dialog) {
        auto& p = dynamic_cast<Tf_tool_properties&>(dialog);
        shown = {p.e_title->text(), p.e_program->text(), p.e_workingdir->text(),
                 p.e_parameters->text()};
        return int(QDialog::Rejected);
    });
    d.btn_edit->click();
    EXPECT_EQ(shown, (QStringList{"B", "/bin/B", "/dir/B", "-B"}));
    EXPECT_EQ(main->tools, named({"A", "B"})) << "cancelled";

    // A double click edits too.
    answerProperties("", "");
    emit d.l_tools->itemDoubleClicked(d.l_tools->item(1));
    EXPECT_EQ(messageTexts(), QStringList{"Title must be entered!"});
    EXPECT_EQ(listed(d), (QStringList{"A", ""}));
    EXPECT_EQ(main->tools,
              (ToolLists{{"A", ""}, {"/bin/A", ""}, {"/dir/A", "/work/"}, {"-A", "-p "}, {}}));
}

TEST_F(ToolDialogs, MovesStopAtTheEndsAndNothingActsWithoutASelection) {
    giveTools({"A", "B", "C"});
    const ToolLists original = main->tools;
    Tf_tool_options d(*main);
    d.SpeedButton1->click(); // first up
    d.l_tools->setCurrentRow(2);
    d.SpeedButton2->click(); // last down
    EXPECT_EQ(main->tools, original);
    EXPECT_EQ(d.l_tools->currentRow(), 2);

    d.l_tools->setCurrentRow(-1);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             d.SpeedButton1, d.SpeedButton2, d.btn_edit, d.btn_delete})
        b->click();
    EXPECT_EQ(main->tools, original);
    EXPECT_EQ(listed(d), original.titles);
    EXPECT_TRUE(dialogs.calls.empty());

    d.l_tools->setCurrentRow(1);
    d.SpeedButton1->click();
    EXPECT_EQ(d.l_tools->currentRow(), 0);
    EXPECT_EQ(listed(d), (QStringList{"B", "A", "C"}));
    EXPECT_EQ(main->tools, named({"B", "A", "C"}));
    d.SpeedButton2->click();
    d.SpeedButton2->click();
    EXPECT_EQ(d.l_tools->currentRow(), 2);
    EXPECT_EQ(main->tools, named({"A", "C", "B"}));

    d.l_tools->setCurrentRow(1);
    d.btn_delete->click();
    d.btn_delete->click(); // nothing is selected any more
    EXPECT_EQ(listed(d), (QStringList{"A", "B"}));
    EXPECT_EQ(main->tools, named({"A", "B"}));
}

TEST_F(ToolDialogs, AToolAddedBesideAShortFileKeepsItsValuesTogether) {
    main->tools = {};
    main->tools.titles = {"A", "B"};
    main->tools.programs = {"/bin/a"};
    Tf_tool_options d(*main);
    answerProperties("C", "/bin/c");
    d.btn_add->click();
    EXPECT_EQ(main->tools.programs, (QStringList{"/bin/a", "", "/bin/c"}));
    EXPECT_EQ(main->tools.workingDirs, (QStringList{"", "", "/work/C"}));
}

TEST_F(ToolDialogs, CloseAndEscapeStoreTheToolsInTheirNewOrder) {
    giveTools({"A", "B"});
    main->tools.speedwords = {"go"};
    {
        Tf_tool_options d(*main);
        d.l_tools->setCurrentRow(1);
        d.SpeedButton1->click();
        d.btn_close->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    const QString file = home.filePath("OSTRIM.TOOLS");
    const QByteArray a = test::toolRecord("A", "/bin/A", "/dir/A", "-A");
    EXPECT_EQ(test::readBytes(file),
              test::toolRecord("B", "/bin/B", "/dir/B", "-B") + a + "Speedword  =go\r\n");
    test::writeBytes(file, "Title      =From file\r\n");
    {
        Tf_tool_options d(*main);
        d.btn_delete->click();
        d.reject(); // Escape
    }
    EXPECT_EQ(test::readBytes(file), a + "Speedword  =go\r\n");
    EXPECT_EQ(main->tools.titles, QStringList{"A"});
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(ToolDialogs, AFailedWriteIsReportedAndKeepsTheChanges) {
    giveTools({"A"});
    Tf_tool_options d(*main);
    d.btn_delete->click();
    // A directory in the file's place cannot be replaced by the new file.
    const QString file = home.filePath("OSTRIM.TOOLS");
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir(home.path()).mkdir("OSTRIM.TOOLS"));
    d.btn_close->click();
    const auto boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith(file)) << boxes[0].text.toStdString();
    EXPECT_EQ(boxes[0].caption, "Ostrim");
    EXPECT_TRUE(main->tools.titles.isEmpty());
}

} // namespace
} // namespace ostrim
