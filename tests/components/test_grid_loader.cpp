// The background load: the same grid as a synchronous run, progressive rows, abort, pause, a
// stop that reaches the server, and a server that dies under the loader or ignores the stop.
#include "component_server.h"
#include "scripted_dialogs.h"
#include "sybgrid.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTimer>

#include <sybdb.h>
#include <sybfront.h>

#include <signal.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

using test::runSql;
using test::waitUntil;

constexpr int kLongRows = 100000;
// Ten thousand million rows: no load of it ends before it is stopped, however the threads run.
const QString kEndless = "select a.id, a.name from numbers a, numbers b";

class GridLoaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_db = test::connectToServer();
        ASSERT_TRUE(s_db->Connected());
        const DbProcHandle p = s_db->DbProc();
        runSql(p, "create table t3 (a int not null, b varchar(10) not null, c char(3) not null)");
        runSql(p, "insert t3 values (1, 'one', 'x') insert t3 values (22, 'two', 'yy')");
        runSql(p, "create table t5 (v int not null, w varchar(20) null, x int null, "
                  "y varchar(5) null, z money null)");
        runSql(p,
               "insert t5 values (7, NULL, NULL, '', 1.5) insert t5 values (8, 'e', 3, 'e', NULL)");
        test::fillNumbered(p, "numbers", kLongRows);
    }
    static void TearDownTestSuite() { s_db.reset(); }
    // On the suite's connection unless another is given.
    static void prepare(TSybGrid& grid, const QString& sql, bool background,
                        DbProcHandle process = {}) {
        grid.setAutoDbProc(false);
        grid.setDbProc(process ? process : s_db->DbProc());
        grid.setBackground(background);
        grid.setSql(sql);
    }
    // Whether connection spid comes to wait inside a WAITFOR, asked over watcher.
    static bool waitingFor(DbProcHandle watcher, int spid) {
        return waitUntil([&] { return test::serverCommand(watcher, spid) == "WAITFOR"; });
    }
    // Every row so far is whole: no cell of a loaded data row is empty.
    static bool lastRowWhole(TSybGrid& grid) {
        const int last = grid.rowCount() - 1;
        return grid.cell(1, last) != "" && grid.cell(2, last) != "";
    }

    static inline test::Connection s_db;
    test::ScriptedDialogs m_dialogs;
};

TEST_F(GridLoaderTest, BackgroundLoadEqualsSynchronousLoadCellForCell) {
    const QString script = "select c, a from t3 order by c compute sum(a) by c\ngo\n"
                           "select a, b, c from t3\ngo\nselect * from t5\ngo\n"
                           "select id, name from numbers where id <= 30000\ngo\n"
                           "select 'a long value of thirty chars..' go\ngo\nselect x from t5";
    TSybGrid sync;
    prepare(sync, script, false);
    sync.Execute();

    TSybGrid background;
    prepare(background, script, true);
    QSignalSpy inserted(background.gridModel(), &QAbstractItemModel::rowsInserted);
    QSignalSpy finished(&background, &TSybGrid::loaderFinished);
    background.Execute();
    ASSERT_TRUE(waitUntil([&] { return background.Terminated(); }));
    ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));

    ASSERT_EQ(background.rowCount(), sync.rowCount());
    ASSERT_EQ(background.colCount(), sync.colCount());
    EXPECT_EQ(background.ColumnCount(), 5);
    EXPECT_EQ(sync.rowCount(), 30030);
    EXPECT_EQ(sync.cell(1, 30021), "go") << "a trailing go is a column alias, not a separator";
    for (int r = 0; r < sync.rowCount(); ++r)
        for (int c = 0; c < sync.colCount(); ++c)
            ASSERT_EQ(background.cell(c, r), sync.cell(c, r)) << "column " << c << " row " << r;
    for (int c = 0; c < sync.colCount(); ++c)
        EXPECT_EQ(background.columnWidth(c), sync.columnWidth(c)) << c;
    // Rows arrived in batches, each inserted once, in order.
    EXPECT_GE(inserted.count(), 1);
    EXPECT_LT(inserted.count(), 1000);
    int next = 2;
    for (const auto& args : inserted) {
        EXPECT_EQ(args.at(1).toInt(), next);
        next = args.at(2).toInt() + 1;
    }
}

TEST_F(GridLoaderTest, AbortDuringALongResultKeepsTheRowsSoFarAndAddsNoneAfterwards) {
    TSybGrid grid;
    prepare(grid, kEndless + "\ngo\nselect 'after'", true);
    QSignalSpy finished(&grid, &TSybGrid::loaderFinished);
    grid.Execute();
    ASSERT_TRUE(waitUntil([&] { return grid.rowCount() > 10; }));
    grid.Loader()->Terminate();
    ASSERT_TRUE(grid.Terminated());
    const int rows = grid.rowCount();
    const QString last = grid.cell(2, rows - 1);
    ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(grid.rowCount(), rows) << "no row after Terminated";
    EXPECT_NE(grid.cell(1, rows - 1), "after") << "stopped inside the result";
    EXPECT_EQ(grid.cell(2, rows - 1), last);
    EXPECT_TRUE(lastRowWhole(grid));
    EXPECT_EQ(grid.cell(1, 2), "1");
    EXPECT_EQ(grid.cell(2, rows - 1), "row " + grid.cell(1, rows - 1));

    // The server was told to stop: the next run on the same connection is served at once.
    grid.setBackground(false);
    grid.setSql("select b from t3 where a = 22");
    grid.Execute();
    EXPECT_EQ(grid.rowCount(), 5);
    EXPECT_EQ(grid.cell(1, 2), "two");
}

// Rows that arrive out of sight only stretch the scroll range; the grid must still reach them.
TEST_F(GridLoaderTest, AGridShownWhileItLoadsScrollsToItsLastRow) {
    SKIP_WHEN_SHOWN_UNDER_TSAN();
    TSybGrid grid;
    grid.resize(400, 300);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    prepare(grid, "select id, name from numbers", true);
    grid.Execute();
    ASSERT_TRUE(waitUntil([&] { return grid.Terminated(); }));
    QCoreApplication::processEvents();
    const int last = grid.rowCount() - 1;
    ASSERT_EQ(last, kLongRows + 3);
    EXPECT_GE(grid.rowAt(grid.viewport()->height() - 1), 0) << "the first rows fill the grid";

    grid.scrollToBottom();
    QCoreApplication::processEvents();
    const QScrollBar* bar = grid.verticalScrollBar();
    EXPECT_EQ(bar->value(), bar->maximum());
    EXPECT_GE(grid.rowViewportPosition(last), grid.rowHeight(0)) << "clear of the fixed row";
    EXPECT_LE(grid.rowViewportPosition(last) + grid.rowHeight(last), grid.viewport()->height());
    EXPECT_LT(grid.rowViewportPosition(last - 1), grid.rowViewportPosition(last));
    const int lastData = last - 2;
    EXPECT_EQ(grid.cell(2, lastData), QStringLiteral("row %1").arg(kLongRows));
    EXPECT_EQ(grid.rowAt(grid.rowViewportPosition(lastData) + 1), lastData) << "shown";
}

TEST_F(GridLoaderTest, PauseHoldsTheRowsAndAbortEndsAPausedLoader) {
    TSybGrid grid;
    prepare(grid, kEndless, true);
    QSignalSpy finished(&grid, &TSybGrid::loaderFinished);
    grid.Execute();
    ASSERT_TRUE(waitUntil([&] { return grid.rowCount() > 10; }));
    grid.Loader()->Suspend();
    // Held at a stop point, the loader has handed over its last rows before the pause.
    ASSERT_TRUE(waitUntil([&] { return grid.Paused(); }));
    EXPECT_FALSE(grid.Terminated()) << "rows show while the load runs";
    const int paused = grid.rowCount();
    QSignalSpy inserted(grid.gridModel(), &QAbstractItemModel::rowsInserted);
    EXPECT_FALSE(inserted.wait(300)) << "a paused loader adds no rows";
    EXPECT_EQ(grid.rowCount(), paused);
    EXPECT_TRUE(grid.Paused());
    EXPECT_FALSE(grid.Terminated());

    grid.Loader()->Resume();
    ASSERT_TRUE(waitUntil([&] { return grid.rowCount() > paused; }));
    EXPECT_FALSE(grid.Paused());
    grid.Loader()->Suspend();
    grid.Loader()->Terminate();
    EXPECT_TRUE(grid.Terminated());
    ASSERT_TRUE(finished.count() == 1 || finished.wait(10000)) << "ended without a resume";
    EXPECT_TRUE(grid.Loader()->Finished());
    EXPECT_TRUE(lastRowWhole(grid));
}

TEST_F(GridLoaderTest, ANewRunReplacesARunningLoaderAndNoneOfItsRowsMixIn) {
    TSybGrid grid;
    prepare(grid, kEndless, true);
    grid.Execute();
    ASSERT_TRUE(waitUntil([&] { return grid.rowCount() > 10; }));
    grid.setSql("select 'second'");
    grid.Execute();
    ASSERT_TRUE(waitUntil([&] { return grid.Terminated(); }));
    QSignalSpy inserted(grid.gridModel(), &QAbstractItemModel::rowsInserted);
    EXPECT_FALSE(inserted.wait(200)) << "nothing of the first run arrives late";
    ASSERT_EQ(grid.rowCount(), 5);
    EXPECT_EQ(grid.cell(1, 2), "second");
    EXPECT_EQ(grid.colCount(), 2);
}

TEST_F(GridLoaderTest, ARefusedBatchIsReportedFromTheLoaderAndTheRunGoesOn) {
    TSybGrid grid;
    prepare(grid, "select a from t3 where a = ?", true);
    grid.Execute();
    ASSERT_TRUE(waitUntil([&] { return grid.Terminated(); }));
    ASSERT_TRUE(waitUntil([&] { return !m_dialogs.messages().empty(); }));
    EXPECT_TRUE(m_dialogs.messages()[0].text.startsWith("Batch 1 was not sent"));
    ASSERT_EQ(grid.rowCount(), 3);
    EXPECT_TRUE(grid.cell(1, 2).endsWith(" rows affected)"));
}

TEST_F(GridLoaderTest, ACollectingRunHandsItsMessagesOverInOrderAmongItsRows) {
    for (const bool background : {false, true}) {
        m_dialogs.calls.clear();
        TSybGrid grid;
        prepare(grid,
                "print 'a'\nselect a from t3\nprint 'b'\nselect b from t3 where a = 1\n"
                "print 'c'\ngo\nselect a from t3 where a = ?",
                background);
        std::vector<RunMessage> got;
        grid.setMessageReceiver([&](std::vector<RunMessage>& arrived) {
            got.insert(got.end(), arrived.begin(), arrived.end());
        });
        grid.Execute();
        ASSERT_TRUE(waitUntil([&] { return grid.Terminated() && got.size() >= 4; }));
        EXPECT_TRUE(m_dialogs.messages().empty()) << background;
        QStringList seen;
        for (const RunMessage& m : got)
            seen << QString("%1@%2:%3").arg(m.batch).arg(m.gridRow).arg(m.text.left(8));
        // Rows 1-3 the first result set, 4-5 the second, 6-7 the row count; then the refusal.
        EXPECT_EQ(seen, QStringList({"0@1:a", "0@4:b", "0@6:c", "2@8:Batch 2 "})) << background;
        EXPECT_TRUE(got.back().fromLibrary);
        ASSERT_NE(grid.ResultSetAt(3), nullptr);
        EXPECT_EQ(grid.ResultSetAt(3)->headerRow, 1);
        EXPECT_EQ(grid.ResultSetAt(3)->types, std::vector<int>({SYBINT4}));
        EXPECT_EQ(grid.ResultSetAt(5)->headerRow, 4);
        EXPECT_EQ(grid.ResultSetAt(5)->types, std::vector<int>({SYBCHAR}));
        EXPECT_EQ(grid.ResultSetAt(0), nullptr);
        EXPECT_EQ(grid.DataRows(), 3);
    }
}

TEST_F(GridLoaderTest, RowsThatCameShowWhileTheServerKeepsTheRestBack) {
    test::Connection watcher = test::connectToServer();
    ASSERT_TRUE(watcher->Connected());
    TSybGrid grid;
    // The server sends a batch's answer as its packets fill: the first ones reach the loader,
    // the last waits for the end of the waitfor, and the loader waits in the middle of the rows.
    prepare(grid,
            "select id, replicate('x', 250) from numbers where id <= 100\n"
            "waitfor delay '00:01:00'",
            true);
    grid.Execute();
    ASSERT_TRUE(waitingFor(watcher->DbProc(), dbspid(s_db->DbProc().get())));
    EXPECT_TRUE(waitUntil([&] { return grid.rowCount() >= 3 && grid.cell(1, 2) == "1"; }));
    grid.StopLoader();
}

TEST_F(GridLoaderTest, AServerKilledDuringTheLoadIsReportedAndTheLoaderEnds) {
    test::SimServer server;
    server.start();
    {
        test::Connection watcher = test::connectTo(QString::fromStdString(server.host()));
        test::Connection db = test::connectTo(QString::fromStdString(server.host()));
        ASSERT_TRUE(watcher->Connected());
        ASSERT_TRUE(db->Connected());
        const int spid = dbspid(db->DbProc().get());
        TSybGrid grid;
        prepare(grid, "select 1\ngo\nwaitfor delay '00:00:30'\ngo\nselect 2", true, db->DbProc());
        QSignalSpy finished(&grid, &TSybGrid::loaderFinished);
        grid.Execute();
        // Killed while the loader waits inside DB-Library for the server.
        ASSERT_TRUE(waitingFor(watcher->DbProc(), spid));
        server.kill9();
        ASSERT_TRUE(finished.count() == 1 || finished.wait(20000));
        EXPECT_TRUE(grid.Terminated());
        EXPECT_FALSE(grid.Completed()) << "the rows of a lost connection are not whole";
        ASSERT_TRUE(waitUntil([&] { return !m_dialogs.messages().empty(); }));
        EXPECT_EQ(m_dialogs.messages()[0].caption, "DB-Library error");
        for (const auto& box : m_dialogs.messages())
            EXPECT_FALSE(box.text.contains("was not sent")) << "a dead connection is not a refusal";
        EXPECT_EQ(grid.cell(1, 2), "1");
    }
}

TEST_F(GridLoaderTest, AGridClosedDuringALoadWaitsForItsLoader) {
    auto grid = std::make_unique<TSybGrid>();
    prepare(*grid, kEndless, true);
    grid->Execute();
    ASSERT_TRUE(waitUntil([&] { return grid->rowCount() > 10; }));
    grid->Loader()->Suspend();
    grid.reset(); // must not hang on the paused loader nor leave it running
    // The connection is free again for the next grid.
    TSybGrid next;
    prepare(next, "select 'next'", false);
    next.Execute();
    EXPECT_EQ(next.cell(1, 2), "next");
}

// A loader blocked inside DB-Library while the server runs a long statement sees no stop point:
// the stop must reach the server.
TEST_F(GridLoaderTest, AbortEndsAStatementTheServerIsStillRunning) {
    test::Connection watcher = test::connectToServer();
    ASSERT_TRUE(watcher->Connected());
    const int spid = dbspid(s_db->DbProc().get());
    TSybGrid grid;
    prepare(grid, "select 1\ngo\nwaitfor delay '00:01:00'\ngo\nselect 2", true);
    QSignalSpy finished(&grid, &TSybGrid::loaderFinished);
    grid.Execute();
    ASSERT_TRUE(waitingFor(watcher->DbProc(), spid));

    QElapsedTimer clock;
    clock.start();
    grid.Loader()->Terminate();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(5000)) << "not left waiting a minute";
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(grid.Terminated());
    EXPECT_EQ(grid.cell(1, 2), "1");
    EXPECT_NE(grid.cell(1, grid.rowCount() - 1), "2") << "the batch after was not run";
    EXPECT_NE(test::serverCommand(watcher->DbProc(), spid), QStringLiteral("WAITFOR"));
    EXPECT_TRUE(m_dialogs.messages().empty()) << m_dialogs.messages()[0].text.toStdString();

    // The connection serves the next run.
    ASSERT_FALSE(dbdead(s_db->DbProc().get()));
    grid.setBackground(false);
    grid.setSql("select 'next'");
    grid.Execute();
    EXPECT_EQ(grid.cell(1, 2), "next");
}

// The last resort: a server that never hears the cancel (stopped with SIGSTOP). The wait still
// ends, under a busy cursor, at the price of the connection.
TEST_F(GridLoaderTest, StopLoaderEndsEvenWhenTheServerNeverAnswersTheCancel) {
    test::SimServer server;
    server.start();
    const QString host = QString::fromStdString(server.host());
    test::Connection watcher = test::connectTo(host);
    test::Connection db = test::connectTo(host);
    ASSERT_TRUE(watcher->Connected());
    ASSERT_TRUE(db->Connected());
    const int spid = dbspid(db->DbProc().get());
    TSybGrid grid;
    prepare(grid, "waitfor delay '00:01:00'", true, db->DbProc());
    grid.Execute();
    ASSERT_TRUE(waitingFor(watcher->DbProc(), spid));
    ASSERT_EQ(::kill(server.pid(), SIGSTOP), 0);
    // Declared after the grid: however the test ends, the server is gone before the grid waits
    // for its loader.
    const auto killed = qScopeGuard([&] { server.kill9(); });

    // Shown while the wait lasts: the loader cannot end before the connection is cut.
    Qt::CursorShape during = Qt::ArrowCursor;
    QTimer::singleShot(0, &grid, [&] {
        if (const QCursor* cursor = QGuiApplication::overrideCursor())
            during = cursor->shape();
    });
    QElapsedTimer clock;
    clock.start();
    grid.StopLoader();
    EXPECT_LT(clock.elapsed(), 10000);
    ASSERT_TRUE(grid.Loader()->Finished());
    EXPECT_EQ(during, Qt::BusyCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "given back";
    EXPECT_TRUE(dbdead(db->DbProc().get())) << "the connection was cut";
    EXPECT_TRUE(m_dialogs.messages().empty()) << "a stop the user asked for is no error";
}

// Rows whose text crosses the sizes where their cell ends widen, in chunks so small that the
// widening moves a half-finished row to a new chunk.
TEST(GridRowWriter, RowsOfEveryLengthKeepTheirCellsWhereTheirEndsWiden) {
    RowWriter writer(300);
    GridStore store;
    const std::vector<std::size_t> lengths{0,   1,     254,   255,   256,   257,  299,
                                           300, 65534, 65535, 65536, 65537, 70000};
    auto cellText = [](std::size_t length, int c) {
        return std::string(length / 3 + (c == 3 ? length % 3 : 0), char('a' + c));
    };
    for (const std::size_t length : lengths) {
        writer.begin(4);
        for (int c = 1; c <= 3; ++c) {
            const std::string text = cellText(length, c);
            std::memcpy(writer.room(text.size()), text.data(), text.size());
            writer.endCell(text.size());
        }
        store.append(writer.finish(), writer);
    }
    ASSERT_EQ(store.writtenRows(), int(lengths.size()));
    for (int r = 1; r <= store.writtenRows(); ++r) {
        const std::size_t length = lengths[std::size_t(r - 1)];
        ASSERT_EQ(store.cellCount(r), 4) << length;
        for (int c = 1; c <= 3; ++c)
            EXPECT_EQ(store.cell(r, c), cellText(length, c)) << length << " col " << c;
        EXPECT_TRUE(store.cell(r, 4).isEmpty()) << length << ": the cell never written";
    }
}

} // namespace
} // namespace ostrim
