// Cutting a script into batches at its "go" lines, and reading a script from a file.
#include "file_helpers.h"
#include "qt_print.h"
#include "sybgrid.h"
#include "sybgrid_loader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <ios>

namespace ostrim {
namespace {

const QString RC = QString::fromLatin1(kRowCountQuery);

QStringList split(const QString& sql, bool showRowCount) {
    const SplitScript script = splitBatches(sql, showRowCount);
    EXPECT_EQ(script.batches.size(), script.rowCountQuery.size());
    for (int i = 0; i < script.batches.size(); ++i)
        EXPECT_EQ(script.rowCountQuery[i], script.batches[i] == RC) << i;
    return script.batches;
}

TEST(GridSplit, ScriptWithoutSeparatorIsOneBatchAndAlwaysGetsTheRowCountQuery) {
    EXPECT_EQ(split("select 1", false), QStringList({"select 1\r", RC}));
    EXPECT_EQ(split("select 1", true), QStringList({"select 1\r", RC}));
    EXPECT_EQ(RC, "select \"(\" + convert(varchar(10),@@rowcount) + \" rows affected)\"");
}

TEST(GridSplit, CrLfScriptKeepsTheCarriageReturnAndDropsTheLineFeedBeforeGo) {
    EXPECT_EQ(split("select 1\r\ngo\r\nselect 2", true),
              QStringList({"select 1\r", RC, "select 2\r", RC}));
    EXPECT_EQ(split("select 1\r\ngo\r\nselect 2", false),
              QStringList({"select 1\r", "select 2\r"}));
    EXPECT_EQ(split("select 1\ngo\nselect 2\n", false), QStringList({"select 1", "select 2\n\r"}));
}

TEST(GridSplit, OnlyALineOfGoAloneSeparates) {
    // Words ending in "go" at the end of a line stay in the batch.
    EXPECT_EQ(split("select * from cargo\nselect 'long ago'\nwhere 1 = 1 -- ago\n", false),
              QStringList({"select * from cargo\nselect 'long ago'\nwhere 1 = 1 -- ago\n\r", RC}));
    EXPECT_EQ(split("select 1 go\nselect 2", false), QStringList({"select 1 go\nselect 2\r", RC}));
    // Any letter case and blanks around it.
    EXPECT_EQ(split("select 1\n  Go \t\r\nselect 2\nGO", false),
              QStringList({"select 1", "select 2"}));
    EXPECT_EQ(split("select 1\ngoto\ngone", false), QStringList({"select 1\ngoto\ngone\r", RC}));
}

TEST(GridSplit, GoWithACountRunsTheBatchBeforeItThatManyTimes) {
    EXPECT_EQ(
        split("select 1\r\ngo 3\r\nselect 2", true),
        QStringList({"select 1\r", RC, "select 1\r", RC, "select 1\r", RC, "select 2\r", RC}));
    EXPECT_EQ(split("select 1\nGO\t2 \nselect 2", false),
              QStringList({"select 1", "select 1", "select 2\r"}));
    EXPECT_EQ(split("select 1\ngo 1", false), QStringList({"select 1", RC}));
    // Only a whole number from 1 to 100,000 after blanks counts; anything else stays in the batch.
    for (const char* line : {"go 5 rows", "go -1", "go 0", "go 100001", "go 3x", "go3", "go +2"}) {
        const QString sql = QStringLiteral("select 1\n") + line;
        EXPECT_EQ(split(sql, false), QStringList({sql + "\r", RC})) << line;
    }
    const SplitScript most = splitBatches("select 1\ngo 100000", false);
    EXPECT_EQ(most.batches.size(), 100'000);
    EXPECT_EQ(most.batches.last(), "select 1");
}

TEST(GridSplit, EachBatchKnowsTheLineOfTheScriptItBeginsOn) {
    // Line 0: select 1; 1: go 2; 2-3: the second batch; 4: go; 5: blank; 6: the third.
    const SplitScript script =
        splitBatches("select 1\r\ngo 2\r\nprint 'a'\r\nselect 2\r\ngo\r\n\r\nselect 3", true);
    ASSERT_EQ(script.batches.size(), 8);
    EXPECT_EQ(script.firstLines, QList<int>({0, 0, 0, 0, 2, 2, 5, 5}));
    EXPECT_EQ(splitBatches("select 1", false).firstLines, QList<int>({0, 0}));
}

TEST(GridSplit, EmptyBatchesAreKeptAndOnlyABlankRestIsDropped) {
    EXPECT_EQ(split("go\r\ngo\r\nselect 1", false), QStringList({"", "", "select 1\r"}));
    EXPECT_EQ(split("select 1\ngo\n  \n\t", false), QStringList({"select 1", RC}));
    EXPECT_EQ(split("select 1\ngo", true), QStringList({"select 1", RC}));
    // A script of nothing but separators.
    EXPECT_EQ(split("go\ngo\n", true), QStringList({"", RC, "", RC}));
    EXPECT_EQ(split("go\ngo\n", false), QStringList({"", ""}));
    EXPECT_EQ(split("GO", false), QStringList({"", RC}));
}

TEST(GridSplit, GridSplitsItsSqlAndLoadsScriptsFromFiles) {
    TSybGrid grid;
    grid.setSql("select 1\ngo\nselect 2");
    grid.setShowRowCount(false);
    grid.SplitBatches();
    EXPECT_EQ(grid.Batches(), QStringList({"select 1", "select 2\r"}));

    QTemporaryDir dir;
    const QString path = dir.filePath("script.sql");
    ASSERT_NO_FATAL_FAILURE(test::writeBytes(path, "select 1\r\ngo\r\n"));
    grid.setSql("old");
    grid.LoadSqlFromFile(path);
    EXPECT_EQ(grid.Sql(), "select 1\ngo");
    grid.setShowRowCount(true);
    grid.SplitBatches();
    EXPECT_EQ(grid.Batches(), QStringList({"select 1", RC})) << "the file's go line divides it";

    EXPECT_THROW(grid.LoadSqlFromFile(dir.filePath("missing.sql")), std::ios_base::failure);
    EXPECT_TRUE(grid.Sql().isEmpty());
}

TEST(GridStore, RowsKeepTheirCellsAcrossChunksAndMoves) {
    GridStore store;
    store.reset(2, true);
    std::string bytes;
    std::vector<std::uint32_t> ends;
    for (int r = 1; r <= 100; ++r) {
        bytes = "row" + std::to_string(r) + std::string(std::size_t(r % 7), 'x') + "end";
        ends = {3, std::uint32_t(bytes.size() - 3), std::uint32_t(bytes.size())};
        store.appendRow(bytes, ends.data(), r % 5 == 0 ? 0 : 3);
    }
    GridStore moved;
    moved.reset(2, false);
    moved.appendRows(store);
    EXPECT_EQ(store.writtenRows(), 0);
    ASSERT_EQ(moved.writtenRows(), 100);
    EXPECT_EQ(moved.cell(7, 1), "row");
    EXPECT_EQ(moved.cell(7, 2), "7");
    EXPECT_EQ(moved.cell(7, 3), "end");
    EXPECT_EQ(moved.cell(13, 2), "13xxxxxx");
    EXPECT_EQ(moved.cellCount(10), 0);
    EXPECT_TRUE(moved.cell(10, 1).isEmpty());
    EXPECT_TRUE(moved.cell(7, 4).isEmpty());
    EXPECT_TRUE(moved.cell(0, 1).isEmpty());
    EXPECT_TRUE(moved.cell(101, 1).isEmpty());
}

// Rows written in place: small chunks, so rows move to new chunks half-written; a long text
// that needs 32-bit cell ends; rows read while later ones are written into the same chunk.
TEST(GridStore, RowsWrittenInPlaceSurviveChunkChangesAndLongCells) {
    RowWriter writer(64);
    GridStore store;
    auto cellText = [](int r, int c) {
        return std::to_string(r) + "." + std::to_string(c) + std::string(std::size_t(r % 9), 'z');
    };
    for (int r = 1; r <= 200; ++r) {
        writer.begin(3);
        for (int c = 1; c <= 3; ++c) {
            const std::string text = cellText(r, c);
            std::memcpy(writer.room(text.size()), text.data(), text.size());
            writer.endCell(text.size());
        }
        store.append(writer.finish(), writer);
        ASSERT_EQ(store.cell(r, 3), cellText(r, 3)) << "readable as soon as it is finished";
        if (r == 100) {
            // Begun and abandoned: never seen.
            writer.begin(2);
            std::memset(writer.room(500), '!', 500);
            writer.endCell(500);
        }
    }
    const std::string longText(70000, 'L');
    writer.begin(3);
    writer.endCell(0);
    std::memcpy(writer.room(longText.size()), longText.data(), longText.size());
    writer.endCell(longText.size());
    std::memcpy(writer.room(4), "tail", 4);
    writer.endCell(4);
    store.append(writer.finish(), writer);

    ASSERT_EQ(store.writtenRows(), 201);
    for (int r = 1; r <= 200; ++r) {
        ASSERT_EQ(store.cellCount(r), 3);
        for (int c = 1; c <= 3; ++c)
            ASSERT_EQ(store.cell(r, c), cellText(r, c)) << r << "," << c;
    }
    EXPECT_EQ(store.cellCount(201), 3);
    EXPECT_TRUE(store.cell(201, 1).isEmpty());
    EXPECT_EQ(store.cell(201, 2).size(), qsizetype(longText.size()));
    EXPECT_EQ(store.cell(201, 2), longText);
    EXPECT_EQ(store.cell(201, 3), "tail");
    // The store alone keeps the rows alive.
    writer = RowWriter();
    EXPECT_EQ(store.cell(150, 2), cellText(150, 2));
}

} // namespace
} // namespace ostrim
