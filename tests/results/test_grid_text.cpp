// The fixed-width layout and the Copy, Cut and Save texts built on it, over grids filled as runs
// fill them; the line writer.
#include "file_helpers.h"
#include "grid_builder.h"
#include "grid_text.h"
#include "qt_print.h"
#include "sybgrid.h"

#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace ostrim {
namespace {

using test::fillGrid;
using test::ResultSet;
using test::rowCountResult;

QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}

// "select a, b from t" with two rows, then the row-count query.
void fillTwoByTwo(TSybGrid& grid) {
    fillGrid(grid, {ResultSet{{"a", "b"}, {{"1", "one"}, {"22", "two"}}}, rowCountResult(2)});
}

TEST(FixedWidth, CopyAllOfOneBatchGivesFiveLinesAndOnlyTheLastEndsInBlanks) {
    TSybGrid grid;
    fillTwoByTwo(grid);
    // "(2 rows affected)" widened column 1 to 17 characters; column 2 kept its 64 pixels.
    ASSERT_EQ(grid.columnWidth(1), 17 * 9);
    ASSERT_EQ(grid.columnWidth(2), 64);
    const QString expected = "a" + blanks(17) + "b\r\n" +    //
                             "1" + blanks(17) + "one\r\n" +  //
                             "22" + blanks(16) + "two\r\n" + //
                             "\r\n" +                        //
                             "(2 rows affected) \r\n";
    EXPECT_EQ(copyAllText(grid), expected);
}

TEST(FixedWidth, ANullKeepsItsColumnAndACutCellLetsTheNextTextMoveUp) {
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"a", "b", "c"}, {{"1", QString(), "x"}}}, rowCountResult(1)});
    grid.setColumnWidth(1, 64);
    const GridRect row2{1, 2, 3, 2};
    EXPECT_EQ(copySelectedText(grid, row2), "1" + blanks(7) + " " + blanks(7) + "x\r\n");

    EXPECT_EQ(cutSelectedText(grid, GridRect{2, 2, 2, 2}), " \r\n");
    EXPECT_EQ(grid.cell(2, 2), "") << "emptied, not a blank";
    const QString after = copySelectedText(grid, row2);
    EXPECT_EQ(after, "1" + blanks(7) + "x\r\n");
    EXPECT_EQ(after.indexOf('x'), 8) << "where the second column's text would have started";
}

TEST(FixedWidth, CutEmptiesEveryCopiedCellAndNothingElse) {
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"a", "b", "c"}, {{"1", "2", "3"}, {"4", "5", "6"}}}});
    const QString cut = cutSelectedText(grid, GridRect{2, 2, 3, 3});
    EXPECT_EQ(cut, "2" + blanks(7) + "3\r\n5" + blanks(7) + "6\r\n");
    for (int row = 2; row <= 3; ++row) {
        EXPECT_EQ(grid.cell(1, row), row == 2 ? "1" : "4");
        EXPECT_EQ(grid.cell(2, row), "");
        EXPECT_EQ(grid.cell(3, row), "");
    }
    EXPECT_EQ(grid.cell(2, 1), "b") << "the header row was not selected";
    EXPECT_EQ(cutSelectedText(grid, GridRect{2, 2, 3, 3}), "\r\n\r\n");
}

TEST(FixedWidth, WidthsRoundToTheNearestCharacterWithHalvesToEven) {
    EXPECT_EQ(columnChars(68, 9), 8) << "7.56";
    EXPECT_EQ(columnChars(67, 9), 7) << "7.44";
    EXPECT_EQ(columnChars(64, 9), 7);
    EXPECT_EQ(columnChars(63, 9), 7);
    EXPECT_EQ(columnChars(0, 9), 0);
    // Nine pixels a character never gives a half; a unit of ten does.
    EXPECT_EQ(columnChars(25, 10), 2);
    EXPECT_EQ(columnChars(35, 10), 4);
    EXPECT_EQ(columnChars(15, 10), 2);
    EXPECT_EQ(columnChars(45, 10), 4);

    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"ab", "c"}, {}}});
    grid.setColumnWidth(1, 68);
    EXPECT_EQ(fixedWidthLine(grid, 1, 1, 2), "ab" + blanks(7) + "c");
    grid.setColumnWidth(1, 67);
    EXPECT_EQ(fixedWidthLine(grid, 1, 1, 2), "ab" + blanks(6) + "c");
}

TEST(FixedWidth, ATextFillingItsColumnGetsOneBlankAndALongerOneRunsOn) {
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"a", "b", "c"}, {{"x", "y", "z"}}}});
    for (int c = 1; c <= 3; ++c)
        grid.setColumnWidth(c, 63); // 7 characters
    grid.setCell(1, 2, "seven77");
    grid.setCell(2, 2, "eight888");
    EXPECT_EQ(fixedWidthLine(grid, 2, 1, 3), "seven77 eight888z");
    EXPECT_EQ(fixedWidthLine(grid, 2, 2, 2), "eight888");
    EXPECT_EQ(fixedWidthLine(grid, 2, 3, 3), "z") << "the last column is never padded";
}

TEST(FixedWidth, SaveAllStartsWithTheEmptyFixedRow) {
    TSybGrid grid;
    fillTwoByTwo(grid);
    const QStringList lines = saveAllLines(grid);
    ASSERT_EQ(lines.size(), grid.rowCount());
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines.mid(1).join("\r\n") + "\r\n", copyAllText(grid));
}

TEST(FixedWidth, SaveSelectedBeginsWithTwoEmptyLines) {
    TSybGrid grid;
    fillTwoByTwo(grid);
    EXPECT_EQ(saveSelectedLines(grid, GridRect{2, 2, 2, 3}), QStringList({"", "", "one", "two"}));
    EXPECT_EQ(saveSelectedLines(grid, GridRect{1, 1, 2, 1}),
              QStringList({"", "", "a" + blanks(17) + "b"}));
}

TEST(Selection, IsTheBoundingRectangleOrTheCurrentCell) {
    TSybGrid grid;
    fillGrid(grid,
             {ResultSet{{"a", "b", "c"}, {{"1", "2", "3"}, {"4", "5", "6"}}}, rowCountResult(2)});
    QItemSelectionModel* model = grid.selectionModel();
    model->setCurrentIndex(grid.model()->index(3, 2), QItemSelectionModel::NoUpdate);
    GridRect rect = selectionRect(grid);
    EXPECT_EQ((std::array{rect.left, rect.top, rect.right, rect.bottom}), (std::array{2, 3, 2, 3}));

    model->select(QItemSelection(grid.model()->index(4, 3), grid.model()->index(2, 2)),
                  QItemSelectionModel::ClearAndSelect);
    rect = selectionRect(grid);
    EXPECT_EQ((std::array{rect.left, rect.top, rect.right, rect.bottom}), (std::array{2, 2, 3, 4}));

    grid.selectAll();
    rect = selectionRect(grid);
    EXPECT_EQ((std::array{rect.left, rect.top, rect.right, rect.bottom}),
              (std::array{1, 1, 3, grid.rowCount() - 1}))
        << "the fixed row and column are not part of a selection";
}

class WriteLines : public test::TempDirTest {};

TEST_F(WriteLines, EndsEveryLineWithCrLfInUtf8AndReplacesTheFile) {
    const QString path = m_dir.filePath("out.txt");
    ASSERT_TRUE(writeLines(path, {"first line that is long", "", "Z\u00fcrich"}));
    ASSERT_TRUE(writeLines(path, {"", "x", "Z\u00fcrich"}));
    EXPECT_EQ(test::readBytes(path), QByteArray("\r\nx\r\nZ\xc3\xbcrich\r\n"));
    ASSERT_TRUE(writeLines(path, {}));
    EXPECT_EQ(test::readBytes(path), QByteArray());
}

// The writers copy ASCII as bytes and take other text through Qt's encoder: widths still count
// what the grid's text counts (UTF-16 units), and the file holds UTF-8.
TEST_F(WriteLines, NonAsciiTextKeepsItsPaddingAndReachesTheFileAsUtf8) {
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"a", "b", "c", "d"},
                              {{"Z\u00fcrich", "\u65e5\u672c", "\U0001D11E", "x"}}}});
    for (int c = 1; c <= 4; ++c)
        grid.setColumnWidth(c, 63); // 7 characters
    const QString row =
        "Z\u00fcrich" + blanks(2) + "\u65e5\u672c" + blanks(6) + "\U0001D11E" + blanks(6) + "x";
    EXPECT_EQ(fixedWidthLine(grid, 2, 1, 4), row);
    const QString path = m_dir.filePath("all.txt");
    ASSERT_TRUE(writeSaveAll(path, grid));
    EXPECT_EQ(test::readBytes(path),
              ("\r\na" + blanks(7) + "b" + blanks(7) + "c" + blanks(7) + "d\r\n" + row + "\r\n")
                  .toUtf8());
}

// Files and the copied text are built a block of about a megabyte at a time.
TEST_F(WriteLines, TextOfManyBlocksComesOutWhole) {
    QList<QStringList> rows;
    for (int i = 0; i < 30000; ++i)
        rows.append({QString::number(i), QString(40, QChar(u'a' + i % 26)), "\u00e9t\u00e9"});
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"n", "text", "s"}, rows}, rowCountResult(30000)});
    const QStringList lines = saveAllLines(grid);
    ASSERT_EQ(lines.size(), 30004);
    const QString text = lines.join("\r\n") + "\r\n";
    ASSERT_GT(text.toUtf8().size(), 2 << 20);
    const QString path = m_dir.filePath("all.txt");
    ASSERT_TRUE(writeSaveAll(path, grid));
    EXPECT_EQ(test::readBytes(path), text.toUtf8());
    EXPECT_EQ(copyAllText(grid), text.mid(2));
    EXPECT_FALSE(writeSaveAll("/dev/full", grid).ok()) << "a full disk in the first block";
}

TEST_F(WriteLines, AFailedWriteNamesTheFileAndKeepsTheOldOne) {
    const QString missing = m_dir.filePath("no/such/dir/out.txt");
    IoResult result = writeLines(missing, {"x"});
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.fileName(), missing);
    EXPECT_FALSE(result.message().isEmpty());
    EXPECT_FALSE(writeLines(m_dir.path(), {"x"}).ok()) << "a directory";
    // Opening succeeds there; the writing fails, and the device stays a device.
    ASSERT_TRUE(QFile::exists("/dev/full"));
    EXPECT_FALSE(writeLines("/dev/full", {"x"}).ok()) << "always full";
    EXPECT_FALSE(QFileInfo("/dev/full").isFile());
}

} // namespace
} // namespace ostrim
