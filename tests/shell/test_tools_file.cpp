#include "tools_file.h"

#include "file_helpers.h"

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
    const ToolLists tools = readFrom("Title=Short tag\r\n"
                                     "title      =wrong case\r\n"
                                     " Title      =leading blank\r\n"
                                     "Title\r\n"
                                     "\r\n"
                                     "# Title      =comment\r\n"
                                     "Title      =\r\n"
                                     "Title      =\r\n"
                                     "Speedword  =go\r\n");
    // The two bare tags are two empty titles.
    EXPECT_EQ(tools.titles, (QStringList{"", ""}));
    EXPECT_TRUE(tools.programs.isEmpty());
    EXPECT_EQ(tools.speedwords, QStringList{"go"});
}

TEST_F(ToolsFileTest, ListsAreFilledIndependently) {
    const ToolLists tools = readFrom("Title      =First\r\n"
                                     "Title      =Second\r\n"
                                     "Program    =/bin/first\r\n");
    EXPECT_EQ(tools.titles, (QStringList{"First", "Second"}));
    EXPECT_EQ(tools.programs, QStringList{"/bin/first"});

    // Written back, the second tool gets an empty program line.
    ASSERT_TRUE(write_tools(path(), tools));
    EXPECT_EQ(test::readBytes(path()), QByteArray("Title      =First\r\n"
                                                  "Program    =/bin/first\r\n"
                                                  "WorkingDir =\r\n"
                                                  "Parameters =\r\n"
                                                  "Title      =Second\r\n"
                                                  "Program    =\r\n"
                                                  "WorkingDir =\r\n"
                                                  "Parameters =\r\n"));
}

TEST_F(ToolsFileTest, RewritePutsToolsFirstThenSpeedwords) {
    const ToolLists tools = readFrom("Speedword  =select\r\n"
                                     "Parameters =-b\r\n"
                                     "Speedword  =update\r\n"
                                     "WorkingDir =/w\r\n"
                                     "Title      =B\r\n"
                                     "Program    =/bin/b\r\n"
                                     "Title      =A\r\n");
    ASSERT_TRUE(write_tools(path(), tools));
    EXPECT_EQ(test::readBytes(path()), QByteArray("Title      =B\r\n"
                                                  "Program    =/bin/b\r\n"
                                                  "WorkingDir =/w\r\n"
                                                  "Parameters =-b\r\n"
                                                  "Title      =A\r\n"
                                                  "Program    =\r\n"
                                                  "WorkingDir =\r\n"
                                                  "Parameters =\r\n"
                                                  "Speedword  =select\r\n"
                                                  "Speedword  =update\r\n"));
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
    EXPECT_FALSE(readResult.message().isEmpty());
    EXPECT_EQ(tools.speedwords, QStringList{"kept"});
    EXPECT_FALSE(write_tools(bad, tools).ok());
}

} // namespace
} // namespace ostrim
