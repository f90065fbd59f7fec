// Cutting a script into batches at its "go" lines, and reading a script from a file.
#include "sybgrid.h"
#include "sybgrid_loader.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ios>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[';
    for (const QString& s : list)
        *os << '"' << s.toStdString() << "\" ";
    *os << ']';
}

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
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("select 1\r\ngo\r\n");
    file.close();
    grid.setSql("old");
    grid.LoadSqlFromFile(path);
    EXPECT_EQ(grid.Sql(), "select 1\ngo");
    grid.setShowRowCount(true);
    grid.SplitBatches();
    EXPECT_EQ(grid.Batches(), QStringList({"select 1", RC})) << "the file's go line divides it";

    EXPECT_THROW(grid.LoadSqlFromFile(dir.filePath("missing.sql")), std::ios_base::failure);
    EXPECT_TRUE(grid.Sql().isEmpty());
}

TEST(GridStore, RowsKeepTheirCellsAcrossChunksAndCopies) {
    GridStore store(64); // small chunks: rows land in many of them
    store.reset(2, true);
    std::string bytes;
    std::vector<std::uint32_t> ends;
    for (int r = 1; r <= 100; ++r) {
        bytes = "row" + std::to_string(r) + std::string(std::size_t(r % 7), 'x') + "end";
        ends = {3, std::uint32_t(bytes.size() - 3), std::uint32_t(bytes.size())};
        store.appendRow(bytes, ends.data(), r % 5 == 0 ? 0 : 3);
    }
    GridStore copy;
    copy.reset(2, false);
    copy.appendRows(store);
    for (const GridStore* s : {&store, &copy}) {
        ASSERT_EQ(s->writtenRows(), 100);
        EXPECT_EQ(s->cell(7, 1), "row");
        EXPECT_EQ(s->cell(7, 2), "7");
        EXPECT_EQ(s->cell(7, 3), "end");
        EXPECT_EQ(s->cell(13, 2), "13xxxxxx");
        EXPECT_EQ(s->cellCount(10), 0);
        EXPECT_TRUE(s->cell(10, 1).isEmpty());
        EXPECT_TRUE(s->cell(7, 4).isEmpty());
        EXPECT_TRUE(s->cell(0, 1).isEmpty());
        EXPECT_TRUE(s->cell(101, 1).isEmpty());
    }
}

} // namespace
} // namespace ostrim
