// TSybGrid's synchronous run against ostrim-simserver: row layout, blanks, widths, rejected
// batches and the column queries.
#include "scripted_dialogs.h"
#include "sybgrid.h"
#include "test_grid_server.h"

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace ostrim {
namespace {

using test::runSql;

QStringList rowCells(TSybGrid& grid, int row) {
    QStringList cells;
    for (int c = 0; c < grid.colCount(); ++c)
        cells << grid.cell(c, row);
    return cells;
}

class GridTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_db = test::connectToGridServer().release();
        ASSERT_TRUE(s_db->Connected());
        const DbProcHandle p = s_db->DbProc();
        runSql(p, "create table t3 (a int not null, b varchar(10) not null, c char(3) not null)");
        runSql(p, "insert t3 values (1, 'one', 'x') insert t3 values (22, 'two', 'yy')");
        runSql(p, "create table t5 (v int not null, w varchar(20) null, x int null, "
                  "y varchar(5) null, z datetime null)");
        runSql(p, "insert t5 values (7, NULL, NULL, '', 'Jan 2 2024 10:00AM')");
        runSql(p, "insert t5 values (8, 'eight', 3, 'e', NULL)");
    }
    static void TearDownTestSuite() {
        test::GridDisconnect()(s_db);
        s_db = nullptr;
    }
    void SetUp() override {
        m_grid.setAutoDbProc(false);
        m_grid.setDbProc(s_db->DbProc());
    }
    void run(const QString& sql) {
        m_grid.setSql(sql);
        m_grid.Execute();
    }

    static inline TSybDatabase* s_db = nullptr;
    test::ScriptedDialogs m_dialogs;
    TSybGrid m_grid;
};

TEST_F(GridTest, ResultSetsOf3And5ColumnsFollowOneAnotherWithNamesAndNumbers) {
    run("select a, b, c from t3\ngo\nselect * from t5");
    EXPECT_EQ(m_grid.colCount(), 6);
    EXPECT_EQ(m_grid.ColumnCount(), 5);
    EXPECT_TRUE(m_grid.RowsReturned());
    ASSERT_EQ(m_grid.rowCount(), 11);
    EXPECT_EQ(rowCells(m_grid, 0), QStringList({"", "", "", "", "", ""}));
    EXPECT_EQ(rowCells(m_grid, 1), QStringList({"1", "a", "b", "c", "", ""}));
    EXPECT_EQ(rowCells(m_grid, 2), QStringList({"2", "1", "one", "x  ", "", ""}));
    EXPECT_EQ(rowCells(m_grid, 3), QStringList({"3", "22", "two", "yy ", "", ""}));
    // The row-count query: a header without a name, then its single row.
    EXPECT_EQ(rowCells(m_grid, 4), QStringList({"4", "", "", "", "", ""}));
    EXPECT_EQ(rowCells(m_grid, 5), QStringList({"5", "(2 rows affected)", "", "", "", ""}));
    EXPECT_EQ(rowCells(m_grid, 6), QStringList({"6", "v", "w", "x", "y", "z"}));
    // NULL and the empty string both show as one blank.
    EXPECT_EQ(rowCells(m_grid, 7),
              QStringList({"7", "7", " ", " ", " ", "Jan  2 2024 10:00:00:000AM"}));
    EXPECT_EQ(rowCells(m_grid, 8), QStringList({"8", "8", "eight", "3", "e", " "}));
    EXPECT_EQ(rowCells(m_grid, 10), QStringList({"10", "(2 rows affected)", "", "", "", ""}));
    // Column 0 fits the last row number: two characters.
    EXPECT_EQ(m_grid.columnWidth(0), 2 * 9 + 5);
    EXPECT_EQ(m_grid.CharUnit(), 9);
}

TEST_F(GridTest, WithoutLineNumbersColumnZeroIsABlank13PixelsWide) {
    m_grid.setShowLineNum(false);
    run("select a from t3");
    ASSERT_EQ(m_grid.rowCount(), 6);
    for (int r = 1; r < 6; ++r)
        EXPECT_EQ(m_grid.cell(0, r), " ") << r;
    EXPECT_EQ(m_grid.cell(0, 0), "");
    EXPECT_EQ(m_grid.columnWidth(0), 13);
}

TEST_F(GridTest, ARunWithoutHandleKeepsTheRowsAndAnUpdateShowsOnlyItsCount) {
    run("select b from t3 where a = 22");
    ASSERT_EQ(m_grid.cell(1, 2), "two");
    m_grid.setDbProc({});
    run("select 1");
    EXPECT_EQ(m_grid.cell(1, 2), "two");
    EXPECT_EQ(m_grid.rowCount(), 5);

    // A statement without rows: the row-count query's result is all there is.
    m_grid.setDbProc(s_db->DbProc());
    m_grid.setShowRowCount(false);
    run("update t3 set c = c where a = 1");
    EXPECT_EQ(m_grid.rowCount(), 3);
    EXPECT_EQ(m_grid.cell(1, 2), "(1 rows affected)");
    EXPECT_EQ(m_grid.cell(1, 1), "");
    EXPECT_TRUE(m_grid.RowsReturned()) << "the row-count query returns rows";
}

TEST_F(GridTest, WidthsOnlyGrowByCharactersTimesCharUnit) {
    run("select 'twenty characters...' as s, 1 as n, "
        "'x' as a_column_named_longer\n"
        "go\nselect 'short', 2, 'y'");
    EXPECT_EQ(m_grid.columnWidth(1), 20 * 9) << "the longest value, not the last one";
    EXPECT_EQ(m_grid.columnWidth(2), 64) << "narrow values keep the default width";
    EXPECT_EQ(m_grid.columnWidth(3), int(strlen("a_column_named_longer")) * 9)
        << "the header name counts too";

    run("select 'ab', 'cd'");
    EXPECT_EQ(m_grid.columnWidth(1), 20 * 9) << "column 1 survives the emptying of the grid";
    EXPECT_EQ(m_grid.columnWidth(2), 64) << "columns from 2 up come back at the default width";
    EXPECT_EQ(m_grid.colCount(), 3);
}

TEST_F(GridTest, ABatchDbLibraryRefusesIsNamedAndNeverLeaksIntoTheNext) {
    run("select a from t3 where a = ?");
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].caption, "DB-Library error");
    EXPECT_TRUE(m_dialogs.messages()[0].text.startsWith("Batch 1 was not sent"))
        << m_dialogs.messages()[0].text.toStdString();
    // The row-count query still runs on its own.
    ASSERT_EQ(m_grid.rowCount(), 3);
    EXPECT_EQ(m_grid.cell(1, 1), "");
    EXPECT_TRUE(m_grid.cell(1, 2).startsWith("(")) << m_grid.cell(1, 2).toStdString();
    EXPECT_TRUE(m_grid.cell(1, 2).endsWith(" rows affected)"));

    m_dialogs.calls.clear();
    run("select 1\ngo\nselect '?' -- ?\ngo\nselect 2 where 1 = ?\ngo\nselect 3");
    ASSERT_EQ(m_dialogs.messages().size(), 1u) << "quoted and commented marks are fine";
    EXPECT_TRUE(m_dialogs.messages()[0].text.startsWith("Batch 3 was not sent"));
    EXPECT_TRUE(m_dialogs.messages()[0].text.contains("select 2 where 1 = ?"));
    EXPECT_EQ(m_grid.cell(1, 12), "3") << "the batch after the refused one runs";
    EXPECT_EQ(m_grid.cell(1, 6), "?");

    // A batch the server refuses is reported by the server's message, not as unsent.
    m_dialogs.calls.clear();
    run("select nosuchcolumn from t3\ngo\nselect 4");
    ASSERT_FALSE(m_dialogs.messages().empty());
    for (const auto& box : m_dialogs.messages())
        EXPECT_TRUE(box.caption.startsWith("SQL Server Message - ")) << box.caption.toStdString();
    EXPECT_EQ(m_grid.cell(1, 4), "4");
}

TEST_F(GridTest, ColumnQueriesSpeakOfTheCurrentResultSet) {
    run("select a, b, c from t3\ngo\nselect * from t5");
    DBPROCESS* p = s_db->DbProc().get();
    dbcmd(p, "select v, w, z, c from t5, t3 where 1 = 0");
    ASSERT_EQ(dbsqlexec(p), SUCCEED);
    ASSERT_EQ(dbresults(p), SUCCEED);
    EXPECT_EQ(m_grid.ColumnName(2), "w");
    EXPECT_EQ(m_grid.ColumnTypeName(1), "int");
    EXPECT_EQ(m_grid.ColumnIndex("z"), 3);
    EXPECT_EQ(m_grid.ColumnIndex("Z"), 0);
    EXPECT_EQ(m_grid.ColumnIndex("nope"), 0);
    EXPECT_FALSE(m_grid.IsCharColumn(1));
    EXPECT_TRUE(m_grid.IsCharColumn(3)) << "datetime values need quotes";
    EXPECT_TRUE(m_grid.IsCharColumn(4));
    while (dbresults(p) != NO_MORE_RESULTS) {
    }
}

// The grid converts values itself, straight into its rows; its text must be that of the
// conversion every other window uses.
TEST_F(GridTest, CellsHoldTheColumnConversionsTextForEveryType) {
    const QString select = QStringLiteral(
        "select convert(int, -42), convert(smallint, 7), convert(tinyint, 5), "
        "convert(float, 1.5), convert(real, 2.25), convert(money, 12.3456), "
        "convert(numeric(10,3), 3.14159), convert(datetime, 'Jan 2 2024 10:00AM'), "
        "convert(bit, 1), convert(varbinary(200), 0x0a0b0c0d), "
        "convert(varbinary(200), replicate('a', 200)), 'chars', convert(char(5), 'ab'), "
        "convert(varchar(10), ''), convert(int, NULL), convert(text, 'some text')");
    run(select);
    ASSERT_GE(m_grid.rowCount(), 3);
    const DbProcHandle p = s_db->DbProc();
    dbcmd(p.get(), select.toLocal8Bit().constData());
    ASSERT_EQ(dbsqlexec(p.get()), SUCCEED);
    ASSERT_EQ(dbresults(p.get()), SUCCEED);
    ASSERT_EQ(dbnextrow(p.get()), REG_ROW);
    const int columns = dbnumcols(p.get());
    ASSERT_EQ(columns, 16);
    ASSERT_EQ(m_grid.colCount(), columns + 1);
    for (int c = 1; c <= columns; ++c) {
        QString expected = columnText(p, c);
        if (expected.isEmpty())
            expected = QStringLiteral(" ");
        EXPECT_EQ(m_grid.cell(c, 2), expected) << "column " << c;
    }
    EXPECT_EQ(m_grid.cell(11, 2).size(), 255) << "a long binary value is cut";
    EXPECT_EQ(m_grid.cell(15, 2), " ");
    dbcanquery(p.get());
    while (dbresults(p.get()) == SUCCEED)
        dbcanquery(p.get());
}

TEST_F(GridTest, CellsCanBeEditedAndEmptied) {
    run("select a, b from t3");
    m_grid.setCell(2, 2, "changed");
    EXPECT_TRUE(
        m_grid.gridModel()->setData(m_grid.gridModel()->index(3, 1), QString(), Qt::EditRole));
    EXPECT_EQ(m_grid.cell(2, 2), "changed");
    EXPECT_EQ(m_grid.cell(1, 3), "");
    EXPECT_EQ(m_grid.cell(2, 3), "two");
    EXPECT_FALSE(m_grid.gridModel()->flags(m_grid.gridModel()->index(0, 1)) & Qt::ItemIsEditable);
    run("select a, b from t3");
    EXPECT_EQ(m_grid.cell(2, 2), "one") << "a new run drops the edits";
}

} // namespace
} // namespace ostrim
