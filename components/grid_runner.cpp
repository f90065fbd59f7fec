#include "grid_runner.h"

#include "dialogs.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

#include <utility>

namespace ostrim {

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace {

// Qt's event queue orders a posted event after its posting through a lock that
// ThreadSanitizer cannot see in an uninstrumented Qt; these two calls tell it so.
void postedByLoader([[maybe_unused]] QEvent* event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(event);
#endif
}
void receivedFromLoader([[maybe_unused]] QEvent* event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(event);
#endif
}

QEvent::Type loaderEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

// Posted by the loader thread.
class LoaderEvent final : public QEvent {
public:
    enum class Notice { Rows, Refusal, Finished };
    LoaderEvent(quint64 generation, Notice notice)
        : QEvent(loaderEventType()), m_generation(generation), m_notice(notice) {}
    quint64 m_generation;
    Notice m_notice;
};

void postFromLoader(QObject* runner, quint64 generation, LoaderEvent::Notice notice) {
    auto* event = new LoaderEvent(generation, notice);
    postedByLoader(event);
    QCoreApplication::postEvent(runner, event);
}

constexpr int kApplyIntervalMs = 50;
// FreeTDS looks at a stop request once a second while it waits for the server; then the
// server's acknowledgement has to come back.
constexpr int kCancelWaitMs = 3000;

void boxRefused(const std::vector<RefusedBatch>& refused) {
    for (const RefusedBatch& batch : refused)
        Dialogs::message(refusalText(batch), QStringLiteral("DB-Library error"));
}

// A synchronous run hands its rows over in the same ~50 ms steps, so that a message box raised
// during the run shows the rows so far.
class SyncSink final : public GridSink {
public:
    explicit SyncSink(std::function<void(GridBatch&)> deliver) : m_deliver(std::move(deliver)) {
        m_sinceFlush.start();
    }
    GridBatch* acquire() override { return &m_batch; }
    void release() override {
        // Told before the batches after it run, as their boxes are.
        if (!m_batch.refused.empty()) {
            flush();
            return;
        }
        if (m_sinceFlush.elapsed() >= kApplyIntervalMs)
            flush();
    }
    void flush() {
        m_deliver(m_batch);
        m_batch.clearHandOff();
        m_sinceFlush.restart();
    }

private:
    std::function<void(GridBatch&)> m_deliver;
    GridBatch m_batch;
    QElapsedTimer m_sinceFlush;
};

} // namespace

QString refusalText(const RefusedBatch& batch) {
    return QStringLiteral("Batch %1 was not sent: DB-Library refused its text (a ? "
                          "outside quotes and comments is taken for a parameter).\r\n")
               .arg(batch.number) +
           batch.text;
}

GridRunner::GridRunner(std::function<void(GridBatch&)> apply, QObject* parent)
    : QObject(parent), m_apply(std::move(apply)), m_tellRefused(&boxRefused) {
    m_applyTimer.setSingleShot(true);
    connect(&m_applyTimer, &QTimer::timeout, this, &GridRunner::takeRows);
}

void GridRunner::setRefusalTeller(std::function<void(const std::vector<RefusedBatch>&)> tell) {
    m_tellRefused = tell ? std::move(tell) : &boxRefused;
}

GridRunner::~GridRunner() {
    stop();
    m_loader.reset();
}

GridRunner::State GridRunner::state() const {
    if (!m_loader)
        return State::Idle;
    if (m_loader->Finished())
        return State::Done;
    if (m_loader->Terminated())
        return State::Stopping;
    if (m_loader->Held())
        return State::Paused;
    return State::Loading;
}

void GridRunner::clear() {
    if (m_loader) {
        stop();
        m_loader.reset();
        m_channel.reset();
    }
    ++m_generation;
    m_applyTimer.stop();
}

void GridRunner::start(GridRun run) {
    const quint64 generation = m_generation;
    // Posted: the loader thread may only queue events for the runner, never call it.
    m_channel = std::make_shared<LoaderChannel>([this, generation](bool refusal) {
        postFromLoader(this, generation,
                       refusal ? LoaderEvent::Notice::Refusal : LoaderEvent::Notice::Rows);
    });
    m_sinceApply.invalidate();
    m_loader = std::make_unique<Threadgrid>(std::move(run), m_channel, [this, generation] {
        postFromLoader(this, generation, LoaderEvent::Notice::Finished);
    });
}

GridRunResult GridRunner::runHere(const GridRun& run) {
    SyncSink sink([this](GridBatch& batch) { deliver(batch); });
    const GridRunResult result = loadGrid(run, sink, nullptr);
    sink.flush();
    return result;
}

bool GridRunner::terminated() {
    switch (state()) {
    case State::Idle:
        return true;
    case State::Loading:
    case State::Paused:
        return false;
    case State::Stopping:
    case State::Done:
        break;
    }
    if (m_channel) {
        GridBatch last;
        if (m_channel->close(last))
            deliver(last);
    }
    return true;
}

bool GridRunner::paused() {
    if (state() != State::Paused)
        return false;
    // Held, the loader hands over nothing more: what it handed over is all there is.
    takeRows();
    return true;
}

void GridRunner::stop() {
    if (!m_loader)
        return;
    m_loader->Terminate();
    if (state() == State::Done)
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    if (!wait(QDeadlineTimer(kCancelWaitMs))) {
        // The server heard the cancel long ago, or never will.
        m_loader->CutConnection();
        wait(QDeadlineTimer(QDeadlineTimer::Forever));
    }
    QGuiApplication::restoreOverrideCursor();
}

bool GridRunner::wait(QDeadlineTimer deadline) {
    if (!m_loader)
        return true;
    // The finished notice is posted after Finished turns true, so it cannot be missed here; an
    // earlier loader's notice may end a round early.
    return Dialogs::runEventsUntil([this] { return m_loader->Finished(); }, deadline,
                                   [this](const std::function<void()>& wake) {
                                       return connect(this, &GridRunner::finished, wake);
                                   });
}

bool GridRunner::event(QEvent* event) {
    receivedFromLoader(event);
    if (event->type() != loaderEventType())
        return QObject::event(event);
    const auto* loaderEvent = static_cast<LoaderEvent*>(event);
    if (loaderEvent->m_notice == LoaderEvent::Notice::Finished) {
        emit finished();
        return true;
    }
    if (loaderEvent->m_generation != m_generation)
        return true;
    if (loaderEvent->m_notice == LoaderEvent::Notice::Refusal)
        takeRefused();
    else
        rowsPending();
    return true;
}

void GridRunner::rowsPending() {
    const qint64 since = m_sinceApply.isValid() ? m_sinceApply.elapsed() : kApplyIntervalMs;
    if (since >= kApplyIntervalMs)
        takeRows();
    else if (!m_applyTimer.isActive())
        m_applyTimer.start(int(kApplyIntervalMs - since));
}

void GridRunner::takeRefused() {
    // With the rows before it.
    takeRows();
    std::vector<RefusedBatch> refused;
    m_channel->takeRefused(refused);
    if (!refused.empty())
        m_tellRefused(refused);
}

void GridRunner::takeRows() {
    if (!m_channel)
        return;
    if (m_channel->take(m_received))
        deliver(m_received);
    m_sinceApply.restart();
}

void GridRunner::deliver(GridBatch& batch) {
    // Out of the batch first: a box runs the event loop, which may hand over the next batch.
    const std::vector<RefusedBatch> refused = std::exchange(batch.refused, {});
    m_apply(batch);
    if (!refused.empty())
        m_tellRefused(refused);
}

} // namespace ostrim
