#include "tools_file.h"

#include "file_helpers.h"
#include "window_helpers.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

class ToolsFileTest : public test::TempDirTest {
protected:
    QString path() const { return m_dir.filePath("OSTRIM.TOOLS"); }

    ToolLists readFrom(const QByteArray& bytes) {
        test::writeBytes(path(), bytes);
        ToolLists tools;
        const IoResult result = read_tools(path(), tools);
        EXPECT_TRUE(result.ok()) << result.message().toStdString();
        return tools;
    }
};

TEST_F(ToolsFileTest, OnlyExactTagsCount) {
    const ToolLists tools =
        readFrom("Title=Short tag\r\ntitle      =wrong case\r\n Title      =leading blank\r\n"
                 "Title\r\n\r\n# Title      =comment\r\nTitle      =\r\nTitle      =\r\n"
                 "Speedword  =go\r\n");
    // The two bare tags are two empty titles.
    EXPECT_EQ(tools.titles, (QStringList{"", ""}));
    EXPECT_TRUE(tools.programs.isEmpty());
    EXPECT_EQ(tools.speedwords, QStringList{"go"});
}

TEST_F(ToolsFileTest, ListsAreFilledIndependently) {
    const ToolLists tools =
        readFrom("Title      =First\r\nTitle      =Second\r\nProgram    =/bin/first\r\n");
    EXPECT_EQ(tools.titles, (QStringList{"First", "Second"}));
    EXPECT_EQ(tools.programs, QStringList{"/bin/first"});

    // Written back, the second tool gets an empty program line.
    ASSERT_TRUE(write_tools(path(), tools));
    EXPECT_EQ(test::readBytes(path()),
              test::toolRecord("First", "/bin/first") + test::toolRecord("Second"));
}

TEST_F(ToolsFileTest, RewritePutsToolsFirstThenSpeedwords) {
    const ToolLists tools =
        readFrom("Speedword  =select\r\nParameters =-b\r\nSpeedword  =update\r\n"
                 "WorkingDir =/w\r\nTitle      =B\r\nProgram    =/bin/b\r\nTitle      =A\r\n");
    ASSERT_TRUE(write_tools(path(), tools));
    EXPECT_EQ(test::readBytes(path()), test::toolRecord("B", "/bin/b", "/w", "-b") +
                                           test::toolRecord("A") +
                                           "Speedword  =select\r\nSpeedword  =update\r\n");
}

TEST_F(ToolsFileTest, RoundTripKeepsEveryValue) {
    ToolLists tools;
    tools.titles = {"isql", "Notes"};
    tools.programs = {"/usr/bin/isql", "/usr/bin/kate"};
    tools.workingDirs = {"/home/u", ""};
    tools.parameters = {"-Usa -SSYBASE", "  spaced  "};
    tools.speedwords = {"sp_help", "sysobjects"};
    ASSERT_TRUE(write_tools(path(), tools));
    ToolLists reread;
    ASSERT_TRUE(read_tools(path(), reread));
    EXPECT_EQ(reread, tools);
}

TEST_F(ToolsFileTest, MissingFileIsCreatedEmptyAndErrorsAreReported) {
    ToolLists tools;
    tools.titles = {"old"};
    ASSERT_TRUE(read_tools(path(), tools));
    EXPECT_EQ(tools, ToolLists());
    EXPECT_TRUE(QFile::exists(path()));

    // No speedwords and no tools: an empty file.
    test::writeBytes(path(), "Speedword  =x\r\n");
    ASSERT_TRUE(write_tools(path(), ToolLists()));
    EXPECT_TRUE(test::readBytes(path()).isEmpty());

    const QString bad = m_dir.filePath("nowhere/OSTRIM.TOOLS");
    tools.speedwords = {"kept"};
    const IoResult readResult = read_tools(bad, tools);
    EXPECT_FALSE(readResult.ok());
    EXPECT_EQ(tools.speedwords, QStringList{"kept"});
    EXPECT_FALSE(write_tools(bad, tools).ok());
}

} // namespace
} // namespace ostrim
