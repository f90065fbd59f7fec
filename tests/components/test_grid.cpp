// TSybGrid's synchronous run against ostrim-simserver: row layout, blanks, widths, rejected
// batches and the column queries.
#include "component_server.h"
#include "scripted_dialogs.h"
#include "sybgrid.h"
#include "u_cell_viewer.h"

#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

#include <cstring>

namespace ostrim {
namespace {

using test::runSql;

constexpr int kNumbers = 500;
// Wide enough to scroll sideways in a small grid.
const char* const kWideSelect = "select id, name, name as n2, name as n3, id as i2, name as n4, "
                                "name as n5, id as i3 from numbers";

// What shows at a point of the grid's viewport: the view painting there (the grid itself or one
// of its fixed views) and the cell it paints.
struct Shown {
    const QWidget* view = nullptr;
    QModelIndex index;
};

Shown shownAt(TSybGrid& grid, QPoint inViewport) {
    const QPoint at = grid.viewport()->mapTo(&grid, inViewport);
    QWidget* widget = grid.childAt(at);
    if (widget == grid.viewport())
        return {&grid, grid.indexAt(inViewport)};
    if (const auto* fixed = qobject_cast<const GridFixedCells*>(widget))
        return {fixed, fixed->indexAt(fixed->mapFrom(&grid, at))};
    return {};
}

// With OSTRIM_GRID_SNAPSHOT set to a directory, pictures of the grids go there to be looked at.
void saveSnapshot(const QImage& image, const char* name) {
    const QString dir = qEnvironmentVariable("OSTRIM_GRID_SNAPSHOT");
    if (!dir.isEmpty())
        image.save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// Shows the grid, runs a wide select of kNumbers rows and scrolls to its bottom right corner.
void showScrolledToTheEnd(TSybGrid& grid) {
    grid.resize(360, 240);
    grid.show();
    grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
    grid.setSql(QString::fromLatin1(kWideSelect));
    grid.Execute();
    ASSERT_EQ(grid.rowCount(), kNumbers + 4);
    QCoreApplication::processEvents();
    grid.scrollToBottom();
    grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
    QCoreApplication::processEvents();
}

QStringList rowCells(TSybGrid& grid, int row) {
    QStringList cells;
    for (int c = 0; c < grid.colCount(); ++c)
        cells << grid.cell(c, row);
    return cells;
}

class GridTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_db = test::connectToServer();
        ASSERT_TRUE(s_db->Connected());
        const DbProcHandle p = s_db->DbProc();
        runSql(p, "create table t3 (a int not null, b varchar(10) not null, c char(3) not null)");
        runSql(p, "insert t3 values (1, 'one', 'x') insert t3 values (22, 'two', 'yy')");
        runSql(p, "create table t5 (v int not null, w varchar(20) null, x int null, "
                  "y varchar(5) null, z datetime null)");
        runSql(p, "insert t5 values (7, NULL, NULL, '', 'Jan 2 2024 10:00AM')");
        runSql(p, "insert t5 values (8, 'eight', 3, 'e', NULL)");
        test::fillNumbered(p, "numbers", kNumbers);
        runSql(p, "create table typed (n int not null, m money not null, f float not null, "
                  "d numeric(6,2) not null, b bit not null, t text null)");
        runSql(p, "insert typed values (1, $2.5, 1.5, 3.25, 1, '" + kLongText + "')");
        runSql(p, "insert typed values (2, $0, 0, 0, 0, 'first\r\nsecond')");
    }
    static inline const QString kLongText = QString(599, u'x') + u'y';
    static void TearDownTestSuite() { s_db.reset(); }
    void SetUp() override {
        m_grid.setAutoDbProc(false);
        m_grid.setDbProc(s_db->DbProc());
    }
    void run(const QString& sql) {
        m_grid.setSql(sql);
        m_grid.Execute();
    }

    static inline test::Connection s_db;
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

TEST_F(GridTest, AComputeRowShowsItsAggregatesUnderTheColumnsTheyAggregate) {
    run("select c, a from t3 order by c compute sum(a) by c");
    ASSERT_EQ(m_grid.rowCount(), 8);
    EXPECT_EQ(rowCells(m_grid, 2), QStringList({"2", "x  ", "1"}));
    EXPECT_EQ(rowCells(m_grid, 3), QStringList({"3", " ", "1"}));
    EXPECT_EQ(rowCells(m_grid, 4), QStringList({"4", "yy ", "22"}));
    EXPECT_EQ(rowCells(m_grid, 5), QStringList({"5", " ", "22"}));
    EXPECT_EQ(rowCells(m_grid, 7), QStringList({"7", "(2 rows affected)", ""}));
    // The blank under no aggregate is no NULL value, and only the regular rows are the result's.
    m_grid.setShowNullText(true);
    const GridModel& model = *m_grid.gridModel();
    EXPECT_EQ(model.data(model.index(3, 1), Qt::DisplayRole).toString(), " ");
    EXPECT_EQ(m_grid.DataRows(), 2);

    // Two aggregates of one column share its cell; an empty result still has its compute row.
    run("select a from t3 compute sum(a), max(a)\ngo\nselect b from t3 where a = 0 compute "
        "count(b)");
    ASSERT_EQ(m_grid.rowCount(), 11);
    EXPECT_EQ(rowCells(m_grid, 4), QStringList({"4", "23 / 22"}));
    EXPECT_EQ(rowCells(m_grid, 7), QStringList({"7", "b"}));
    EXPECT_EQ(rowCells(m_grid, 8), QStringList({"8", "0"}));
    EXPECT_EQ(rowCells(m_grid, 10), QStringList({"10", "(0 rows affected)"}));
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

    // "go 3" runs the batch three times, each with its own count.
    m_grid.setShowRowCount(true);
    run("update t3 set c = c where a = 1\ngo 3");
    EXPECT_EQ(m_grid.rowCount(), 7);
    for (const int row : {2, 4, 6})
        EXPECT_EQ(m_grid.cell(1, row), "(1 rows affected)") << row;
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

TEST_F(GridTest, TheFixedRowAndColumnStayInPlaceWhileTheRestScrolls) {
    SKIP_WHEN_SHOWN_UNDER_TSAN();
    ASSERT_NO_FATAL_FAILURE(showScrolledToTheEnd(m_grid));
    ASSERT_GT(m_grid.verticalScrollBar()->value(), 0);
    ASSERT_GT(m_grid.horizontalScrollBar()->value(), 0);
    EXPECT_LT(m_grid.rowViewportPosition(1), 0) << "the grid's own rows scrolled away";
    EXPECT_LT(m_grid.columnViewportPosition(1), 0) << "and so did its own columns";

    const QRect area = m_grid.viewport()->rect();
    const int rowHeight = m_grid.rowHeight(0);
    const int colWidth = m_grid.columnWidth(0);
    const Shown corner = shownAt(m_grid, {2, 2});
    EXPECT_NE(corner.view, &m_grid);
    EXPECT_EQ(corner.index, m_grid.gridModel()->index(0, 0));
    for (const int x : {colWidth + 4, area.width() / 2, area.width() - 4}) {
        const Shown top = shownAt(m_grid, {x, rowHeight / 2});
        EXPECT_NE(top.view, &m_grid) << x;
        EXPECT_EQ(top.index.row(), 0) << x;
        EXPECT_EQ(top.index.column(), m_grid.columnAt(x)) << "the column beneath, at " << x;
    }
    for (const int y : {rowHeight + 4, area.height() / 2, area.height() - 4}) {
        const Shown left = shownAt(m_grid, {colWidth / 2, y});
        EXPECT_NE(left.view, &m_grid) << y;
        EXPECT_EQ(left.index.column(), 0) << y;
        EXPECT_EQ(left.index.row(), m_grid.rowAt(y)) << "the row beneath, at " << y;
        EXPECT_EQ(left.index.data().toString(), QString::number(m_grid.rowAt(y))) << y;
    }
    // The last row and column show whole, clear of the fixed ones.
    const int lastRow = m_grid.rowCount() - 1;
    const int lastCol = m_grid.colCount() - 1;
    EXPECT_GE(m_grid.rowViewportPosition(lastRow), rowHeight);
    EXPECT_LE(m_grid.rowViewportPosition(lastRow) + m_grid.rowHeight(lastRow), area.height());
    EXPECT_LE(m_grid.columnViewportPosition(lastCol) + m_grid.columnWidth(lastCol), area.width());
    const QPoint inLast(m_grid.columnViewportPosition(lastCol) + 2,
                        m_grid.rowViewportPosition(lastRow) + 2);
    EXPECT_EQ(shownAt(m_grid, inLast).view, &m_grid);
    EXPECT_EQ(shownAt(m_grid, inLast).index, m_grid.gridModel()->index(lastRow, lastCol));

    // Painted as fixed cells: row 0 is empty, so inside a cell of it there is only background.
    const QImage image = m_grid.grab().toImage();
    const QPoint inFixedRow = m_grid.viewport()->mapTo(&m_grid, QPoint(area.width() / 2, 5));
    EXPECT_EQ(image.pixelColor(inFixedRow), QGuiApplication::palette().button().color());
    saveSnapshot(image, "fixed_scrolled");
}

TEST_F(GridTest, TheCursorStaysOutOfTheFixedCellsAndOutFromUnderThem) {
    SKIP_WHEN_SHOWN_UNDER_TSAN();
    ASSERT_NO_FATAL_FAILURE(showScrolledToTheEnd(m_grid));
    GridModel* model = m_grid.gridModel();
    const int rowHeight = m_grid.rowHeight(0);
    const int colWidth = m_grid.columnWidth(0);

    // The first row and column below and right of the fixed ones: partly under them.
    const int row = m_grid.rowAt(rowHeight + 1);
    const int col = m_grid.columnAt(colWidth + 1);
    ASSERT_GT(row, 1);
    ASSERT_GT(col, 1);
    m_grid.setCurrentIndex(model->index(row, col));
    QTest::keyClick(&m_grid, Qt::Key_Up);
    EXPECT_EQ(m_grid.currentIndex(), model->index(row - 1, col));
    EXPECT_GE(m_grid.rowViewportPosition(row - 1), rowHeight) << "scrolled out from under row 0";
    QTest::keyClick(&m_grid, Qt::Key_Left);
    EXPECT_EQ(m_grid.currentIndex(), model->index(row - 1, col - 1));
    EXPECT_GE(m_grid.columnViewportPosition(col - 1), colWidth) << "and from under column 0";

    QTest::keyClick(&m_grid, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&m_grid, Qt::Key_Up);
    QTest::keyClick(&m_grid, Qt::Key_Left);
    EXPECT_EQ(m_grid.currentIndex(), model->index(1, 1)) << "never into row 0 or column 0";
    EXPECT_EQ(m_grid.rowViewportPosition(1), rowHeight);
    EXPECT_EQ(m_grid.columnViewportPosition(1), colWidth);
}

TEST_F(GridTest, ScrolledCellsCanBeSelectedAndEditedAndTheFixedOnesCannot) {
    SKIP_WHEN_SHOWN_UNDER_TSAN();
    ASSERT_NO_FATAL_FAILURE(showScrolledToTheEnd(m_grid));
    GridModel* model = m_grid.gridModel();
    // Data rows: the last ones before the row-count query's two rows.
    const QModelIndex first = model->index(m_grid.rowCount() - 4, m_grid.colCount() - 2);
    const QModelIndex last = model->index(m_grid.rowCount() - 6, m_grid.colCount() - 3);
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, m_grid.visualRect(first).center());
    EXPECT_EQ(m_grid.currentIndex(), first);
    QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      m_grid.visualRect(last).center());
    EXPECT_EQ(m_grid.currentIndex(), last);
    EXPECT_EQ(m_grid.selectionModel()->selectedIndexes().size(), 3 * 2);

    // A click on the fixed row or column over the grid changes nothing.
    const QPoint onFixedRow =
        m_grid.viewport()->mapTo(&m_grid, QPoint(m_grid.viewport()->width() / 2, 5));
    QWidget* fixedRow = m_grid.childAt(onFixedRow);
    ASSERT_NE(fixedRow, nullptr);
    ASSERT_NE(fixedRow, m_grid.viewport());
    QTest::mouseClick(fixedRow, Qt::LeftButton, {}, fixedRow->mapFrom(&m_grid, onFixedRow));
    QTest::mouseClick(fixedRow, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_grid.currentIndex(), last);
    EXPECT_EQ(m_grid.selectionModel()->selectedIndexes().size(), 3 * 2);

    QTest::keyClick(&m_grid, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor, &m_grid) << "an editor opened";
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, "edited");
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits from a queued call
    EXPECT_EQ(m_grid.cell(last.column(), last.row()), "edited");
    EXPECT_EQ(m_grid.cell(first.column(), first.row()),
              QStringLiteral("row %1").arg(first.row() - 1));
}

TEST_F(GridTest, FixedRowsAndColumnsCanBeSetAndFollowTheGrid) {
    SKIP_WHEN_SHOWN_UNDER_TSAN();
    EXPECT_EQ(m_grid.FixedRows(), 1);
    EXPECT_EQ(m_grid.FixedCols(), 1);
    ASSERT_NO_FATAL_FAILURE(showScrolledToTheEnd(m_grid));
    GridModel* model = m_grid.gridModel();
    m_grid.setFixedRows(0);
    m_grid.setFixedCols(2);
    QCoreApplication::processEvents();
    EXPECT_TRUE(model->flags(model->index(0, 2)) & Qt::ItemIsSelectable) << "row 0 is free";
    EXPECT_FALSE(model->flags(model->index(5, 1)) & Qt::ItemIsEditable) << "column 1 is fixed";
    EXPECT_EQ(model->index(5, 1).data(Qt::BackgroundRole).value<QBrush>(),
              QGuiApplication::palette().button());

    const int fixedWidth = m_grid.columnWidth(0) + m_grid.columnWidth(1);
    const int y = m_grid.viewport()->height() / 2;
    const Shown keyColumn = shownAt(m_grid, {fixedWidth - 3, y});
    EXPECT_NE(keyColumn.view, &m_grid);
    EXPECT_EQ(keyColumn.index.column(), 1);
    EXPECT_EQ(keyColumn.index.row(), m_grid.rowAt(y));
    const Shown top = shownAt(m_grid, {fixedWidth + 4, 3});
    EXPECT_EQ(top.view, &m_grid) << "no fixed row";
    EXPECT_EQ(top.index.row(), m_grid.rowAt(3));

    // Column 1 widens: the data beneath moves right with it.
    m_grid.setColumnWidth(1, m_grid.columnWidth(1) + 40);
    QCoreApplication::processEvents();
    const Shown wider = shownAt(m_grid, {fixedWidth + 30, y});
    EXPECT_NE(wider.view, &m_grid);
    EXPECT_EQ(wider.index.column(), 1);
    EXPECT_EQ(shownAt(m_grid, {fixedWidth + 44, y}).view, &m_grid);
    saveSnapshot(m_grid.grab().toImage(), "two_fixed_columns_no_fixed_row");
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

TEST_F(GridTest, NumbersLeanRightAndTheViewerShowsAWholeValueWhileTheTextStays) {
    m_grid.setCellViewer(true);
    m_grid.setEditTriggers(QAbstractItemView::NoEditTriggers);
    run("select n, m, f, d, b, t from typed order by n");
    ASSERT_EQ(m_grid.rowCount(), 6);
    const GridModel& model = *m_grid.gridModel();
    auto alignment = [&](int col, int row) {
        return model.data(model.index(row, col), Qt::TextAlignmentRole);
    };
    const QVariant right = QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    for (int col = 1; col <= 4; ++col)
        EXPECT_EQ(alignment(col, 2), right) << col;
    EXPECT_FALSE(alignment(5, 2).isValid()) << "bit";
    EXPECT_FALSE(alignment(6, 2).isValid()) << "text";
    EXPECT_FALSE(alignment(1, 1).isValid()) << "column names";
    EXPECT_FALSE(alignment(1, 5).isValid()) << "the row count";
    EXPECT_EQ(rowCells(m_grid, 2).mid(0, 6), QStringList({"2", "1", "2.5000", "1.5", "3.25", "1"}));

    std::vector<std::pair<QString, QString>> shown; // caption, text
    auto look = [&](QDialog& d) {
        auto& viewer = dynamic_cast<Tf_cell_viewer&>(d);
        shown.emplace_back(viewer.windowTitle(), viewer.memo_value->toPlainText());
        viewer.btn_copy->click();
        return int(QDialog::Accepted);
    };
    m_dialogs.dialogHandlers = {look, look};
    // As the window system delivers it: the first click, then the second as a double-click.
    auto doubleClick = [this](QPoint at) {
        QTest::mouseClick(m_grid.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(m_grid.viewport(), Qt::LeftButton, {}, at);
    };
    m_grid.resize(800, 300);
    m_grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_grid));
    // The text column is wider than the grid: its left end is on screen.
    doubleClick(m_grid.visualRect(model.index(2, 6)).topLeft() + QPoint(4, 4));
    m_grid.setCurrentIndex(model.index(3, 6));
    QTest::keyClick(&m_grid, Qt::Key_Return, Qt::ShiftModifier);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0], std::make_pair(QString("Cell Value - t, row 2"), kLongText));
    EXPECT_EQ(shown[1].second, "first\nsecond");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "first\r\nsecond")
        << "the copy is the value as the grid holds it";

    // Where a double-click edits, it still edits; and switched off, nothing leans or opens.
    m_grid.setEditTriggers(QAbstractItemView::DoubleClicked);
    doubleClick(m_grid.visualRect(model.index(2, 1)).center());
    const auto* editor = m_grid.viewport()->findChild<QLineEdit*>();
    EXPECT_TRUE(editor && editor->isVisible());
    m_grid.setCellViewer(false);
    EXPECT_FALSE(alignment(1, 2).isValid());
    QTest::keyClick(&m_grid, Qt::Key_Escape);
    m_grid.setCurrentIndex(model.index(2, 6));
    QTest::keyClick(&m_grid, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(shown.size(), 2u);
}

} // namespace
} // namespace ostrim
