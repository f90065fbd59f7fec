// The main road against the demo server: Run in a server window, the results window it opens,
// its copy, cut, save and print commands, pause and abort of a background load, and the
// connection a background load borrows.
#include "animated_bitmap.h"
#include "file_helpers.h"
#include "frame_test.h"
#include "message_pane.h"
#include "pdf_print.h"
#include "qt_wait.h"
#include "silent_server.h"
#include "sybgrid.h"
#include "sybquery.h"
#include "u_results.h"

#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <sybdb.h>
#include <sybfront.h>

namespace ostrim {
namespace {

// two and three for the layouts; k has 1024 rows: joined with itself, a million.
[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
         QStringList sql{"create table two (x varchar(5) not null, y varchar(5) not null)",
                         "insert two values ('a', 'bb') insert two values ('c', 'dd')",
                         "create table three (a varchar(5) not null, b varchar(5) null, "
                         "c varchar(5) not null)",
                         "insert three values ('a', null, 'c')",
                         "create table k (n int not null)",
                         "insert k values (1)"};
         for (int i = 0; i < 10; ++i)
             sql << "insert k select n + 1 from k";
         test::runAsSa(sql, "ostrimdemo");
     }});

// A thousand million rows: no load of it ends before it is stopped, however the threads run.
const QString kEndless = "select a.n, b.n from k a, k b, k c";

// What the server says connection spid is doing, asked over connection watcher.
QString serverCommand(DbProcHandle watcher, int spid) {
    TSybQuery q;
    q.setDbProc(watcher);
    q.setSql(QStringLiteral("select cmd from master..sysprocesses where spid = %1").arg(spid));
    QString command;
    if (q.Execute() == kSucceed)
        while (q.Next() == kMoreRows)
            command = q.ColumnValue(1).trimmed();
    return command;
}

// Records each statement it sends.
class RecordingQuery : public TSybQuery {
public:
    QStringList sent;
    int Execute() override {
        sent << Sql();
        return TSybQuery::Execute();
    }
};

class ResultsWindow : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("sa", "ostrimdemo"));
        closingAnswers.assign(20, QMessageBox::Yes);
        frame();
        main->setResultsWindowFactory([](Tmain& m, const RunParameters& run) -> QWidget* {
            return Tresults_form::open(m, run);
        });
        server = connect();
        ASSERT_NE(server, nullptr);
    }
    // Runs text from the server window; returns the new results window.
    Tresults_form* run(const QString& text, bool background) {
        main->config.BackgroundProcess = background;
        server->memo->setPlainText(text);
        QWidget* before = main->lastResults.data();
        server->Run1->trigger();
        auto* results = qobject_cast<Tresults_form*>(main->lastResults.data());
        return results == before ? nullptr : results;
    }
    // Waits until a run has started and, when synchronous, ended.
    static bool started(QPointer<Tresults_form> results) {
        return test::waitUntil([&] { return !results || !results->results_timer.isActive(); });
    }
    // Null when the window closed itself.
    Tresults_form* ranSynchronously(const QString& text) {
        QPointer<Tresults_form> results = run(text, false);
        if (!results || !started(results))
            return nullptr;
        return results.data();
    }
    static void select(TSybGrid* grid, int left, int top, int right, int bottom) {
        grid->selectionModel()->select(
            QItemSelection(grid->model()->index(top, left), grid->model()->index(bottom, right)),
            QItemSelectionModel::ClearAndSelect);
    }
    // Answers the next export dialog with that layout and OK.
    void chooseExportLayout(const char* layout) {
        dialogs.dialogHandlers.push_back([layout](QDialog& shown) {
            shown.findChild<QRadioButton*>(layout)->click();
            shown.findChild<QPushButton*>("Button1")->click();
            return shown.result();
        });
    }
    // A background run on a connection of its own, once the server is in its minute's wait.
    void waitInALongStatement(QPointer<Tresults_form>& results, int& spid) {
        results = run("waitfor delay \"00:01:00\"", true);
        ASSERT_TRUE(results);
        ASSERT_TRUE(started(results));
        ASSERT_TRUE(results);
        spid = dbspid(results->ResultsDbProc.get());
        ASSERT_NE(results->ResultsDbProc, server->sybase->DbProc()) << "a connection of its own";
        ASSERT_TRUE(test::waitUntil(
            [&] { return serverCommand(server->sybase->DbProc(), spid) == "WAITFOR"; }));
    }

    Tserverform* server = nullptr;
};

TEST_F(ResultsWindow, CopyAllOfTwoRowsGivesFiveLinesOnlyTheLastPadded) {
    Tresults_form* results = ranSynchronously("select x, y from two");
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(results->windowTitle(), "Results");
    results->CopyAllClick();
    // "(2 rows affected)" widens column 1 to 17 characters of the run's CharUnit.
    const QString to2(17, ' ');
    EXPECT_EQ(QApplication::clipboard()->text(),
              "x" + to2 + "y\r\na" + to2 + "bb\r\nc" + to2 + "dd\r\n\r\n(2 rows affected) \r\n");
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(ResultsWindow, NullKeepsItsBlanksUntilCutEmptiesIt) {
    // Painted as NULL on request; every text of the grid keeps the blank.
    main->config.ShowNullText = true;
    Tresults_form* results = ranSynchronously("select a, b, c from three");
    ASSERT_NE(results, nullptr);
    TSybGrid* grid = results->results_grid;
    const QModelIndex null = grid->model()->index(2, 2);
    EXPECT_EQ(null.data(Qt::DisplayRole).toString(), "NULL");
    EXPECT_EQ(null.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(Qt::darkGray));
    EXPECT_EQ(grid->model()->index(2, 1).data(Qt::DisplayRole).toString(), "a");
    // The layout around a NULL and an emptied cell is grid_text's; here the server's NULL and
    // the Cut command.
    ASSERT_EQ(grid->cell(2, 2), " ");
    EXPECT_EQ(null.data(Qt::EditRole).toString(), " ");
    select(grid, 2, 2, 2, 2);
    results->CutClick();
    EXPECT_EQ(QApplication::clipboard()->text(), " \r\n");
    EXPECT_EQ(grid->cell(2, 2), "");
    EXPECT_EQ(null.data(Qt::DisplayRole).toString(), "");

    // Save Selected: row 0 over the columns, an empty line, then the rows.
    const QString file = home.filePath("selected.txt");
    dialogs.fileAnswers.push_back(file);
    select(grid, 1, 1, 1, 2);
    results->SaveSelectedClick();
    EXPECT_EQ(test::readBytes(file), QByteArray("\r\n\r\na\r\na\r\n"));
}

TEST_F(ResultsWindow, PrintAllPrintsOneLinePerGridRow) {
    auto printed = [this](Tresults_form* results, const QString& name) {
        test::printNextToPdf(dialogs, home.filePath(name));
        results->PrintAllClick();
        return test::pdfText(home.filePath(name));
    };
    Tresults_form* rows = ranSynchronously("select x, y from two");
    ASSERT_NE(rows, nullptr);
    const QString text = printed(rows, "rows.pdf");
    EXPECT_TRUE(text.contains("(2 rows affected)")) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("c +dd")));

    // A background window whose connection handle was none ran nothing: its grid holds the
    // two initial rows, and one empty line is printed.
    RunParameters nothing;
    nothing.Sql = "select 1";
    nothing.Background = true;
    nothing.OwnConnection = false;
    main->execute_results(nothing);
    QPointer<Tresults_form> empty = qobject_cast<Tresults_form*>(main->lastResults.data());
    ASSERT_TRUE(empty);
    ASSERT_TRUE(started(empty));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->results_grid->rowCount(), 2);
    const size_t printDialogs = dialogs.calls.size();
    EXPECT_EQ(printed(empty, "empty.pdf").trimmed(), "");
    EXPECT_EQ(dialogs.calls.size(), printDialogs + 1);
    EXPECT_EQ(dialogs.calls.back().kind, "print");
}

TEST_F(ResultsWindow, RunTakesTheSelectionOrTheWholeText) {
    server->memo->setPlainText("select 1\nselect 2");
    QTextCursor cursor = server->memo->textCursor();
    cursor.setPosition(9);
    cursor.setPosition(17, QTextCursor::KeepAnchor);
    server->memo->setTextCursor(cursor);
    main->config.BackgroundProcess = true;
    server->Run1->trigger();
    auto* selected = qobject_cast<Tresults_form*>(main->lastResults.data());
    ASSERT_NE(selected, nullptr);
    EXPECT_EQ(selected->run().Sql, "select 2");
    EXPECT_EQ(main->sqlHistory.entry(1), "select 2");

    server->options.ExecSelected = false;
    server->Run1->trigger();
    auto* whole = qobject_cast<Tresults_form*>(main->lastResults.data());
    ASSERT_NE(whole, selected);
    EXPECT_EQ(whole->run().Sql, "select 1\r\nselect 2");
    EXPECT_EQ(main->sqlHistory.entry(1), "select 1\r\nselect 2");

    // Without a selection the whole text goes, however the flag stands.
    server->options.ExecSelected = true;
    Tresults_form* plain = run("  \n  ", true);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->run().Sql, "  \r\n  "); // sent unchanged
    EXPECT_EQ(main->sqlHistory.count(), 2);  // blanks make no entry
    EXPECT_EQ(plain->run().UserName, "sa");
    EXPECT_EQ(plain->run().DBName, "ostrimdemo");
    EXPECT_EQ(plain->run().DbProc, server->sybase->DbProc());
    EXPECT_TRUE(plain->run().OwnConnection);

    // Ctrl+E in the editor runs too.
    server->memo->setPlainText("select x from two");
    main->activateWindow();
    server->memo->setFocus();
    QApplication::processEvents();
    QTest::keyClick(server->memo, Qt::Key_E, Qt::ControlModifier);
    auto* keyed = qobject_cast<Tresults_form*>(main->lastResults.data());
    ASSERT_NE(keyed, plain);
    EXPECT_EQ(keyed->run().Sql, "select x from two");

    // An empty editor opens no window.
    QWidget* last = main->lastResults.data();
    server->memo->clear();
    server->Run1->trigger();
    EXPECT_EQ(main->lastResults.data(), last);
}

TEST_F(ResultsWindow, OptionsGoOnInTheResultsWindowAndOffInTheServerWindow) {
    RecordingQuery serverQuery;
    serverQuery.setDbProc(server->sybase->DbProc());
    TSybQuery* own = server->query;
    server->query = &serverQuery;
    server->options.ShowPlan = true;
    server->options.NoExec = true;
    server->options.ShowIo = true;
    server->options.ArithIgnore = true;
    server->memo->setPlainText("select x from two");
    server->Run1->trigger();
    server->query = own;
    EXPECT_EQ(serverQuery.sent,
              (QStringList{"set showplan off", "set statistics io off",
                           "set arithignore arith_overflow off", "set noexec off"}));

    QPointer<Tresults_form> results = qobject_cast<Tresults_form*>(main->lastResults.data());
    ASSERT_TRUE(results);
    auto* recorder = new RecordingQuery;
    recorder->setParent(results);
    results->query = recorder;
    ASSERT_TRUE(started(results));
    ASSERT_TRUE(results);
    EXPECT_EQ(recorder->sent, (QStringList{"set showplan on", "set statistics io on",
                                           "set arithignore arith_overflow on", "set noexec on"}));

    // With no options on, nothing is switched off.
    server->options = {};
    RecordingQuery none;
    server->query = &none;
    server->memo->clear();
    server->Run1->trigger();
    server->query = own;
    EXPECT_TRUE(none.sent.isEmpty());
}

TEST_F(ResultsWindow, TwoQuickRunsShowTheirOwnScripts) {
    Tresults_form* first = run("select x from two", false);
    Tresults_form* second = run("select a from three", false);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    QPointer<Tresults_form> a = first, b = second;
    ASSERT_TRUE(started(a));
    ASSERT_TRUE(started(b));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->results_grid->cell(1, 1), "x");
    EXPECT_EQ(a->results_grid->cell(1, 2), "a");
    EXPECT_EQ(b->results_grid->cell(1, 1), "a");
    EXPECT_EQ(b->results_grid->cell(1, 2), "a");
    EXPECT_EQ(b->results_grid->cell(1, 4), "(1 rows affected)");
}

TEST_F(ResultsWindow, PausedLoadEndsOnCloseWithYes) {
    QPointer<Tresults_form> results = run(kEndless, true);
    ASSERT_TRUE(results);
    ASSERT_TRUE(test::waitUntil([&] { return results->results_grid->rowCount() > 1000; }));
    results->PauseClick();
    EXPECT_EQ(results->run_image->Interval(), 0);
    ASSERT_TRUE(test::waitUntil([&] { return results->results_grid->Paused(); }));

    // Esc in the grid may not close a running load.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(results->results_grid, &escape);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Query still executing. Not allowed to close !");
    EXPECT_EQ(dialogs.messages()[0].caption, "Closing results");
    EXPECT_EQ(dialogs.messages()[0].icon, QMessageBox::Critical);

    // No keeps it; Yes ends the loader without a resume and closes the window.
    dialogs.messageAnswers = {QMessageBox::No};
    results->CloseFormClick();
    EXPECT_TRUE(results);
    dialogs.messageAnswers = {QMessageBox::Yes};
    results->CloseFormClick();
    ASSERT_EQ(dialogs.messages().size(), 3u);
    EXPECT_EQ(dialogs.messages()[2].text, "Query still executing. Continue ?");
    EXPECT_EQ(dialogs.messages()[2].caption, "Close");
    EXPECT_TRUE(test::waitUntil([&] { return !results; }, 20000));
}

TEST_F(ResultsWindow, BorrowedConnectionIsNotSharedWhileItLoadsAndFreeAtOnceAfterAbort) {
    server->options.SeperateDBProc = false;
    QPointer<Tresults_form> results = run(kEndless, true);
    ASSERT_TRUE(results);
    ASSERT_TRUE(test::waitUntil([&] { return results->results_grid->rowCount() > 100; }));
    ASSERT_FALSE(results->results_grid->Terminated());

    // The server window neither runs nor closes on a connection in use.
    QWidget* last = main->lastResults.data();
    server->memo->setPlainText("select x from two");
    server->Run1->trigger();
    EXPECT_EQ(main->lastResults.data(), last);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("A results window is still loading"));
    qobject_cast<QMdiSubWindow*>(server->parentWidget())->close();
    EXPECT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(main->currentServer);

    // Aborted, the load ends with the rows so far, and the connection serves straight away: the
    // object list, a paste, a query and Run.
    results->AbortClick();
    server->type_list->setCurrentText("Tables");
    server->type_listChange();
    EXPECT_GE(server->object_list->findText("two"), 0);
    server->object_list->setCurrentIndex(server->object_list->findText("two"));
    server->memo->clear();
    server->options.PasteCREATE = true;
    server->Button1Click();
    EXPECT_TRUE(server->memo->toPlainText().contains("create table two"))
        << server->memo->toPlainText().toStdString();
    server->query->setSql("select x from two where x = 'c'");
    ASSERT_EQ(server->query->Execute(), kSucceed);
    ASSERT_EQ(server->query->Next(), kMoreRows);
    EXPECT_EQ(server->query->ColumnValue(1), "c");
    while (server->query->Next() == kMoreRows) {
    }
    Tresults_form* next = ranSynchronously("select x, y from two");
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->results_grid->cell(2, 3), "dd");
    EXPECT_EQ(dialogs.messages().size(), 2u);
    ASSERT_TRUE(results);
    const int kept = results->results_grid->rowCount();
    EXPECT_GT(kept, 100);
    EXPECT_LT(kept, 1000000000);
}

TEST_F(ResultsWindow, ABorrowingWindowHoldsTheConnectionFromItsCreation) {
    server->options.SeperateDBProc = false;
    QPointer<Tresults_form> results = run("select x, y from two", true);
    ASSERT_TRUE(results);
    ASSERT_TRUE(results->results_timer.isActive()) << "not started yet";
    // Closing the server window now would close the handle the run is about to use.
    qobject_cast<QMdiSubWindow*>(server->parentWidget())->close();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("A results window is still loading"));
    EXPECT_TRUE(main->currentServer);
    ASSERT_TRUE(test::waitUntil([&] {
        return results && results->results_grid->Terminated() && !results->run_timer.isActive();
    }));
    EXPECT_EQ(results->results_grid->cell(2, 2), "bb");

    // A box raised inside a DB-Library call on that connection runs the event loop; the run
    // must not start inside the call.
    QPointer<Tresults_form> second = run("select y, x from two", true);
    ASSERT_TRUE(second);
    bool startedDuringTheBox = false;
    dialogs.whileMessageShown = [&](const test::DialogCall&) {
        QTest::qWait(400); // eight ticks of the start timer
        startedDuringTheBox = !second || !second->results_timer.isActive();
    };
    TSybQuery failing;
    failing.setDbProc(server->sybase->DbProc());
    failing.setSql("select * from no_such_table");
    failing.Execute();
    dialogs.whileMessageShown = nullptr;
    EXPECT_FALSE(startedDuringTheBox);
    ASSERT_TRUE(dialogs.messages().size() >= 2u);
    EXPECT_EQ(dialogs.messages()[1].caption, "SQL Server Message - 208");
    ASSERT_TRUE(test::waitUntil([&] {
        return second && second->results_grid->Terminated() && !second->run_timer.isActive();
    }));
    EXPECT_EQ(second->results_grid->cell(2, 2), "a");
}

TEST_F(ResultsWindow, AFailedSaveOrExportIsReportedAndTheProgramGoesOn) {
    Tresults_form* results = ranSynchronously("select x, y from two");
    ASSERT_NE(results, nullptr);
    // A directory nobody may create files in, root included; and a device that is always full.
    for (const QString& target :
         {QStringLiteral("/proc/ostrim-test/out.txt"), QStringLiteral("/dev/full")}) {
        dialogs.fileAnswers.push_back(target);
        results->SaveAllClick();
        chooseExportLayout("chk_fixed");
        dialogs.fileAnswers.push_back(target);
        results->Export1Click();
    }
    const auto boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), 4u);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const QString target = i < 2 ? "/proc/ostrim-test/out.txt" : "/dev/full";
        EXPECT_TRUE(boxes[i].text.startsWith(target + ": ")) << boxes[i].text.toStdString();
        EXPECT_EQ(boxes[i].caption, "Ostrim");
        EXPECT_EQ(boxes[i].icon, QMessageBox::Critical);
    }
    EXPECT_FALSE(QFileInfo("/dev/full").isFile()) << "the device is written, never replaced";
    EXPECT_EQ(results->results_grid->cell(2, 3), "dd");
}

TEST_F(ResultsWindow, CsvExportWritesTheServersValuesAndNullAsNothing) {
    Tresults_form* results = ranSynchronously("select a, b, c, ' ' as blank from three\r\n"
                                              "go\r\nselect x from two where x = 'c'");
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(results->results_grid->cell(2, 2), " ") << "NULL shows as one blank";
    const QString path = home.filePath("out.csv");
    chooseExportLayout("chk_csv");
    dialogs.fileAnswers.push_back(path);
    results->Export1Click();
    EXPECT_EQ(test::readBytes(path), "a,b,c,blank\r\na,,c, \r\nx,,,\r\nc,,,\r\n");
}

TEST_F(ResultsWindow, AnOwnConnectionNeverAnsweredEndsAfterLoginTimeOut) {
    test::SilentServer silent;
    main->config.LoginTimeOut = 2;
    RunParameters never;
    never.Sql = "select 1";
    never.UserName = "sa";
    never.ServerName = silent.address();
    never.Background = true;
    never.OwnConnection = true;
    QElapsedTimer clock;
    clock.start();
    main->execute_results(never);
    QPointer<Tresults_form> results = qobject_cast<Tresults_form*>(main->lastResults.data());
    ASSERT_TRUE(results);
    EXPECT_TRUE(test::waitUntil([&] { return !results; }, 30000)) << "the window closes itself";
    EXPECT_LT(clock.elapsed(), 10000) << "ended by the login timeout, not by the server giving up";
    EXPECT_GE(silent.accepted(), 1) << "the login reached the server";
    EXPECT_EQ(dialogs.messages().size(), 1u) << "the failed login's box";
}

TEST_F(ResultsWindow, ClosingDuringALongStatementEndsItWithinSeconds) {
    QPointer<Tresults_form> results;
    int spid = 0;
    ASSERT_NO_FATAL_FAILURE(waitInALongStatement(results, spid));

    dialogs.messageAnswers = {QMessageBox::Yes};
    QElapsedTimer clock;
    clock.start();
    results->CloseFormClick();
    EXPECT_TRUE(test::waitUntil([&] { return !results; }, 5000));
    EXPECT_LT(clock.elapsed(), 5000) << "not left to end on its own";
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Query still executing. Continue ?");
    EXPECT_NE(serverCommand(server->sybase->DbProc(), spid), "WAITFOR");
}

TEST_F(ResultsWindow, LeavingTheProgramDuringALongStatementEndsItWithinSeconds) {
    QPointer<Tresults_form> results;
    int spid = 0;
    ASSERT_NO_FATAL_FAILURE(waitInALongStatement(results, spid));
    TSybDatabase watcher;
    watcher.setLoginPrompt(false);
    watcher.setServerName("DEMO");
    watcher.setUserName("sa");
    watcher.connect();
    ASSERT_TRUE(watcher.Connected());

    // Still running?, then the editor's unsaved text: Yes to both.
    dialogs.messageAnswers = {QMessageBox::Yes, QMessageBox::Yes};
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(main->close());
    EXPECT_TRUE(test::waitUntil([&] { return !results; }, 5000));
    EXPECT_LT(clock.elapsed(), 5000) << "not left to end on its own";
    EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());
    ASSERT_GE(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].text, "Query still executing. Continue ?");
    EXPECT_NE(serverCommand(watcher.DbProc(), spid), "WAITFOR");
    watcher.disconnect();
}

} // namespace
} // namespace ostrim

namespace ostrim {
namespace {

// The pane's messages, top level and below, as "number:line:text" with the plan ones indented.
QStringList paneLines(const MessagePane& pane) {
    QStringList lines;
    const auto line = [](const QTreeWidgetItem& item, const QString& indent) {
        return indent + item.text(MessagePane::Number) + ":" + item.text(MessagePane::Line) + ":" +
               item.text(MessagePane::Text).section('\n', 0, 0);
    };
    for (int i = 0; i < pane.topLevelItemCount(); ++i) {
        const QTreeWidgetItem& top = *pane.topLevelItem(i);
        lines << line(top, "");
        for (int j = 0; j < top.childCount(); ++j)
            lines << line(*top.child(j), "  ");
    }
    return lines;
}

// Batch 2 begins on line 3 and selects from a missing table on its fourth line, line 6.
const QString kFailingScript = "select x from two\n"
                               "go\n"
                               "\n"
                               "print \"second\"\n"
                               "select x from two\n"
                               "select * from nosuch\n"
                               "go\n"
                               "print \"third\"";

TEST_F(ResultsWindow, WithoutThePaneEachMessageIsABox) {
    Tresults_form* results = ranSynchronously(kFailingScript);
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(results->messages, nullptr);
    QStringList boxes;
    for (const test::DialogCall& call : dialogs.calls)
        if (call.kind == "message")
            boxes << call.caption + ": " + call.text;
    EXPECT_EQ(boxes,
              QStringList({"SQL Server Message - 0: second\r\nLINE : 2",
                           "SQL Server Message - 208: nosuch not found. Specify owner.objectname "
                           "or use sp_help to check whether the object exists (sp_help may "
                           "produce lots of output).\n\r\nLINE : 4",
                           "SQL Server Message - 0: third\r\nLINE : 1"}));
}

TEST_F(ResultsWindow, ThePaneCollectsTheRunsMessagesAndLeadsToTheirEditorLines) {
    main->config.MessagesInResults = true;
    Tresults_form* results = ranSynchronously(kFailingScript);
    ASSERT_NE(results, nullptr);
    MessagePane* pane = results->messages;
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(pane->isVisible());
    EXPECT_EQ(calls("message"), 0);
    EXPECT_EQ(paneLines(*pane),
              QStringList({":4:second",
                           "208:6:nosuch not found. Specify owner.objectname or use sp_help to "
                           "check whether the object exists (sp_help may produce lots of output).",
                           ":8:third"}));
    const QTreeWidgetItem* error = pane->topLevelItem(1);
    EXPECT_EQ(error->text(MessagePane::Severity), "16");
    EXPECT_EQ(error->foreground(MessagePane::Text).color(), QColor(Qt::red));
    EXPECT_NE(pane->topLevelItem(2)->foreground(MessagePane::Text).color(), QColor(Qt::red));

    emit pane->itemDoubleClicked(pane->topLevelItem(1), MessagePane::Text);
    const QTextCursor caret = server->memo->textCursor();
    EXPECT_EQ(caret.blockNumber(), 5);
    EXPECT_EQ(caret.selectedText(), "select * from nosuch");

    pane->copy();
    EXPECT_TRUE(QApplication::clipboard()->text().contains(
        QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}\r\nsecond\r\n"
                           "\\d\\d:\\d\\d:\\d\\d\\.\\d{3} Msg 208, Level 16, State 1, Line 6\r\n"
                           "nosuch not found\\. ")));
    EXPECT_TRUE(results->results_status->text().startsWith("4 rows loaded in "));
    EXPECT_TRUE(results->results_status->text().endsWith("; done"));

    // A selection's lines count from the line it begins on.
    server->memo->setPlainText("select 1\nselect 2\nselect 3\nselect 4\nselect * from nosuch\n");
    QTextCursor selection(server->memo->document()->findBlockByNumber(3));
    selection.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    server->memo->setTextCursor(selection);
    server->Run1->trigger();
    auto* selected = qobject_cast<Tresults_form*>(main->lastResults.data());
    ASSERT_NE(selected, results);
    ASSERT_TRUE(started(selected));
    ASSERT_NE(selected->messages, nullptr);
    EXPECT_EQ(paneLines(*selected->messages).value(0).section(':', 0, 1), "208:5");
    EXPECT_EQ(calls("message"), 0);
}

TEST_F(ResultsWindow, PlanAndStatisticsOfEachStatementAreGroupedUnderIt) {
    main->config.MessagesInResults = true;
    server->options.ShowPlan = server->options.ShowIo = true;
    QPointer<Tresults_form> results = run("select x from two\nselect a from three", true);
    ASSERT_TRUE(results && started(results));
    ASSERT_TRUE(test::waitUntil([&] { return results->results_grid->Terminated(); }));
    ASSERT_NE(results->messages, nullptr);
    const QStringList lines = paneLines(*results->messages);
    // The row-count query's own plan is left out: two groups, one per statement.
    ASSERT_EQ(lines.filter(QRegularExpression("^6201:")).size(), 2)
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith("6201:1:QUERY PLAN FOR STATEMENT 1 (at line 1)."));
    const int second = lines.indexOf(QRegularExpression("^6201:.*\\(at line 2\\)\\."));
    ASSERT_GT(second, 0) << lines.join('\n').toStdString();
    for (int i = 1; i < lines.size(); ++i) {
        if (i == second)
            continue;
        EXPECT_TRUE(lines[i].startsWith("  ")) << lines[i].toStdString();
    }
    EXPECT_TRUE(lines.mid(1, second - 1).filter(QRegularExpression("^  3615:.*two")).size() == 1);
    EXPECT_TRUE(lines.mid(second).filter(QRegularExpression("^  3615:.*three")).size() == 1);
    EXPECT_EQ(results->messages->topLevelItem(0)->font(MessagePane::Text),
              QFontDatabase::systemFont(QFontDatabase::FixedFont));
    EXPECT_EQ(calls("message"), 0);
}

TEST_F(ResultsWindow, TheStatusLineTellsRowsPauseAndAPartialResult) {
    // A hundred million rows in repetitions of one batch: Abort ends them part way.
    QPointer<Tresults_form> results = run("select n from k\ngo 100000", true);
    ASSERT_TRUE(results && started(results));
    QLabel* status = results->results_status;
    ASSERT_TRUE(test::waitUntil([&] { return results->results_grid->DataRows() > 0; }));
    results->PauseClick();
    ASSERT_TRUE(test::waitUntil([&] { return status->text().endsWith("; paused"); }));
    // Held, the loader hands over nothing more once the rows before the hold are taken.
    ASSERT_TRUE(results->results_grid->Paused());
    const int rows = results->results_grid->DataRows();
    EXPECT_TRUE(test::waitUntil([&] {
        return status->text() == QString::number(rows) + " rows loaded in " +
                                     status->text().section(' ', 4, 4) + " s; paused";
    })) << status->text().toStdString();
    results->AbortClick();
    ASSERT_TRUE(test::waitUntil([&] { return !results->run_timer.isActive(); }));
    const int written = results->results_grid->gridModel()->store().writtenRows();
    EXPECT_TRUE(
        status->text().endsWith(QString("; aborted at row %1: the result is partial").arg(written)))
        << status->text().toStdString();
}

} // namespace
} // namespace ostrim
