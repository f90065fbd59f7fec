#pragma once
// The grid's loading routine, shared by the synchronous run and the Threadgrid worker, and the
// hand-off of loaded rows to the GUI thread.

#include "sybase32.h"
#include "sybgrid_store.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ostrim {

// Sent after each batch; the server answers with one unnamed column "(N rows affected)".
inline constexpr char kRowCountQuery[] =
    "select \"(\" + convert(varchar(10),@@rowcount) + \" rows affected)\"";

struct SplitScript {
    QStringList batches;
    QList<bool> rowCountQuery; // per batch: the row-count query rather than the user's text
    QList<int> firstLines;     // per batch: the line of the script it begins on, from 0
};

// Cuts a script at its "go" lines: a line whose only text, blanks aside, is "go" in any letter
// case. The line break before a separator line goes with it; the rest after the last separator
// is dropped when blank. The row-count query follows each batch when showRowCount is set and
// always follows a lone batch.
SplitScript splitBatches(const QString& sql, bool showRowCount);

// A batch DB-Library would not send (dbsqlsend failed on a live connection). The run goes on
// with the next batch; the GUI thread tells the user.
struct RefusedBatch {
    int number = 0; // among the user's batches, the row-count queries not counted
    QString text;   // its first 200 characters, trimmed
    int index = 0;  // in SplitScript::batches
};

// A result set of the user's as the grid holds it.
struct ResultSetShape {
    int headerRow = 0;      // the grid row of its column names
    int batch = 0;          // in SplitScript::batches
    std::vector<int> types; // DB-Library's type of each column
};

// A message of a run that collects them, where it arrived.
struct RunMessage : ServerMessage {
    int batch = 0;   // in SplitScript::batches
    int gridRow = 0; // the grid row the next row loaded takes
};

// What a run hands to the grid: rows written since the last hand-off and the grid's shape.
struct GridBatch {
    GridStore rows;
    int rowCount = 2;
    int maxCols = 1;                        // widest result set so far
    int dataRows = 0;                       // of the user's result sets so far
    std::vector<int> widths;                // column widths 0..maxCols when changed, else empty
    std::vector<RefusedBatch> refused;      // since the last hand-off, in order
    std::vector<ResultSetShape> resultSets; // whose column names came since the last hand-off
    std::vector<RunMessage> messages;       // since the last hand-off, in order

    // Empties what goes with one hand-off; the shape stays.
    void clearHandOff();
};

// Where a run puts its rows. acquire/release bracket every change; acquire returns nullptr when
// the rows are no longer wanted (the run was aborted and its grid has moved on).
class GridSink {
public:
    virtual ~GridSink() = default;
    virtual GridBatch* acquire() = 0;
    virtual void release() = 0;
    // After a refused batch was released: returns once the GUI thread has it, so that its box
    // comes before any a DB-Library handler posts for a later batch.
    virtual void awaitRefusalTaken() {}
};

// Stop and pause requests, honoured at the run's stop points.
class LoadControl {
public:
    void stop();
    bool stopped() const { return m_stop.load(); }
    const std::atomic<bool>& stopFlag() const { return m_stop; }
    void pause();
    void resume();
    // A pause was asked for and not yet taken back.
    bool pausing() const { return m_paused.load(); }
    // The run waits at a stop point until resumed or stopped.
    bool held() const { return m_held.load(); }
    // Waits while paused; false when the run must end.
    bool checkpoint();

private:
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_paused{false};
    std::atomic<bool> m_held{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
};

struct GridRun {
    DbProcHandle process;
    SplitScript script;
    bool showLineNum = true;
    int charUnit = 9;
    int firstWidths[2] = {64, 64}; // columns 0 and 1 survive the emptying of the grid
    // The run's messages go with its rows instead of into boxes (MessageCapture); a plan or
    // statistics message of a row-count query is dropped.
    bool collectMessages = false;
};

struct GridRunResult {
    bool completed = false;
    bool rowsReturned = false;
    int lastResult = 0;
    int lastRowStatus = 0;
    int currentRow = 1;
    int resultColumns = 0;
};

// Sends every batch of the run and writes its result sets through the sink. control may be null
// (a synchronous run has no stop points).
GridRunResult loadGrid(const GridRun& run, GridSink& sink, LoadControl* control);

// The rows of a background run on their way to the GUI thread. The loader fills the pending
// batch under the lock; notify is called (still under the lock) with false when a batch becomes
// pending and with true when a refused batch does.
class LoaderChannel final : public GridSink {
public:
    explicit LoaderChannel(std::function<void(bool refusal)> notify)
        : m_notify(std::move(notify)) {}

    GridBatch* acquire() override;
    void release() override;
    // Also returns when the channel is closed.
    void awaitRefusalTaken() override;
    // GUI thread: moves the pending rows and shape into out, handing back out's emptied rows to
    // be filled again; false when there were none. Refused batches stay for takeRefused.
    bool take(GridBatch& out);
    // GUI thread: moves the refused batches into out; the loader goes on.
    void takeRefused(std::vector<RefusedBatch>& out);
    // GUI thread: takes all that is pending and refuses every later row.
    bool close(GridBatch& out);

private:
    std::mutex m_mutex;
    std::condition_variable m_taken;
    GridBatch m_pending;
    bool m_hasRows = false;
    bool m_posted = false;
    bool m_refusalPosted = false;
    bool m_closed = false;
    std::function<void(bool refusal)> m_notify;
};

// The worker thread of a background load. It never touches widgets: its rows go through the
// channel. onFinished runs on the worker as its last act.
class Threadgrid {
public:
    Threadgrid(GridRun run, std::shared_ptr<LoaderChannel> channel,
               std::function<void()> onFinished);
    // Joins; owners wait for Finished first (by running their event loop).
    ~Threadgrid();
    Threadgrid(const Threadgrid&) = delete;
    Threadgrid& operator=(const Threadgrid&) = delete;

    // Also ends a statement the server is still working on: the server is sent a cancel, even
    // while the loader waits inside DB-Library (see CancelScope).
    void Terminate() { m_control.stop(); }
    void Suspend() { m_control.pause(); }
    void Resume() { m_control.resume(); }
    // The stop flag: raised by Terminate or by the loader at the end of its run.
    bool Terminated() const { return m_control.stopped(); }
    // Suspended, the loader waits at a stop point and hands over no more rows.
    bool Held() const { return m_control.held(); }
    // The thread has left its run and will touch nothing more.
    bool Finished() const { return m_finished.load(); }
    // Finished after sending every batch and reading every result: the rows are whole.
    bool Completed() const { return m_completed.load(); }
    // The last resort when the server does not answer the cancel: the connection is shut down
    // under the loader, whose DB-Library call then fails at once. The connection is lost.
    void CutConnection();

private:
    LoadControl m_control;
    std::shared_ptr<LoaderChannel> m_channel;
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_completed{false};
    std::mutex m_socketMutex;
    int m_socket = -1; // the connection's socket, duplicated, while the run lasts
    std::thread m_thread;
};

} // namespace ostrim
