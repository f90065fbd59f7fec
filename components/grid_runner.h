#pragma once
// GridRunner: the GUI thread's side of a grid's runs. It starts, throttles and stops the
// background loader, so that the grid itself is only a view.

#include "sybgrid_loader.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace ostrim {

// What the user is told of a batch DB-Library would not send.
QString refusalText(const RefusedBatch& batch);

// Runs a grid's script, on the GUI thread or on a Threadgrid, and hands the rows to apply on the
// GUI thread in steps of ~50 ms. Refused batches are told as soon as they arrive. It
// owns the loader thread and its channel; each run has a generation, and a batch an earlier
// run announced is dropped.
class GridRunner final : public QObject {
    Q_OBJECT
public:
    // Read from the loader, whose flags its thread and its controls (Threadgrid::Suspend,
    // Terminate, both used through TSybGrid::Loader) move without the runner.
    enum class State {
        Idle, // no background run
        Loading,
        Paused,   // held at a stop point
        Stopping, // told to stop, or at its end; the thread is still in its run
        Done,     // the thread has left its run and touches nothing more
    };

    explicit GridRunner(std::function<void(GridBatch&)> apply, QObject* parent = nullptr);
    // Stops a running loader first (stop).
    ~GridRunner() override;

    State state() const;
    // Where refused batches are told; boxes unless set.
    void setRefusalTeller(std::function<void(const std::vector<RefusedBatch>&)> tell);
    Threadgrid* loader() const { return m_loader.get(); }

    // Stops the current run and forgets it; nothing it has queued is applied afterwards.
    void clear();
    // A background run; the runner must be clear.
    void start(GridRun run);
    // A run on this thread.
    GridRunResult runHere(const GridRun& run);

    // As TSybGrid::Terminated, Paused, StopLoader and waitForLoader, which forward here.
    bool terminated();
    bool paused();
    void stop();
    bool wait(QDeadlineTimer deadline);

signals:
    // The loader thread has left its run: its last act posts this.
    void finished();

protected:
    bool event(QEvent* event) override;

private:
    void rowsPending();
    void takeRows();
    void takeRefused();
    void deliver(GridBatch& batch);

    std::function<void(GridBatch&)> m_apply;
    std::function<void(const std::vector<RefusedBatch>&)> m_tellRefused;
    std::unique_ptr<Threadgrid> m_loader;
    std::shared_ptr<LoaderChannel> m_channel;
    GridBatch m_received; // the loader's rows on their way to apply
    quint64 m_generation = 0;
    QTimer m_applyTimer;
    QElapsedTimer m_sinceApply;
};

} // namespace ostrim
