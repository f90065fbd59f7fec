#include "sybgrid_loader.h"

#include "value_text.h"

#include <sybdb.h>
#include <sybfront.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace ostrim {

namespace {

constexpr int kDefaultWidth = 64;
constexpr int kRememberedStart = 10;
// Rows reach the sink in batches, one lock each: after this many rows, or when the last hand-over
// is this long ago (looked at after the 1st, 2nd, 4th ... and then every 64th row since). Rows
// that come after such a pause, as a slow server sends them, go over one by one for a while:
// a pause of the server mid-result then holds none back, and a fast stream soon batches again.
constexpr int kPublishRows = 256;
constexpr auto kPublishAge = std::chrono::milliseconds(2);
constexpr int kOneByOneRows = 1024;

// How many times a line runs the batch before it: 1 for "go" alone, N for "go N" with N from 1
// to 100,000, as Sybase's and FreeTDS's command-line tools take it; 0 when the line is not a
// separator ("go 5 rows", "go -1" and "go 0" stay in the batch).
int separatorRepeats(QStringView line) {
    constexpr int kMaxRepeats = 100'000;
    const QStringView text = line.trimmed();
    if (text.size() < 2 || text.first(2).compare(u"go", Qt::CaseInsensitive) != 0)
        return 0;
    if (text.size() == 2)
        return 1;
    if (!text[2].isSpace())
        return 0;
    const QStringView count = text.sliced(2).trimmed();
    if (count.size() > 6 ||
        !std::all_of(count.begin(), count.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return 0;
    const int repeats = count.toInt();
    return repeats <= kMaxRepeats ? repeats : 0;
}

// Characters, not bytes: widths follow what the user sees.
int characterCount(std::string_view utf8) {
    int count = 0;
    for (unsigned char c : utf8)
        count += (c & 0xC0) != 0x80;
    return count;
}

int decimalDigits(int n) {
    int digits = 1;
    for (; n >= 10; n /= 10)
        ++digits;
    return digits;
}

// writeValueText straight into the row instead of a buffer of its own.
std::size_t writeValue(RowWriter& writer, DBPROCESS* process, int type, const BYTE* data,
                       DBINT length) {
    return writeValueText(process, type, data, length, writer.room(valueTextRoom(type, length)));
}

class Loader {
public:
    Loader(const GridRun& run, GridSink& sink, LoadControl* control)
        : m_run(run), m_sink(sink), m_control(control), m_process(run.process.get()) {
        m_widths = {run.firstWidths[0], run.firstWidths[1]};
    }

    GridRunResult run();

private:
    GridRunResult runBatches();
    bool check();
    bool sendBatch(int index);
    bool takeResultShape();
    bool writeHeader();
    bool writeRows();
    // A compute row's aggregates under the columns they aggregate; dbdata would give the last
    // regular row again.
    std::size_t writeComputeValue(int computeId, int column);
    void widen(int column, int characters);
    void rememberWidth(int column);
    void addRow(const char* row) { m_unpublished.append(row, m_writer); }
    bool hasUnpublished() const { return m_unpublished.writtenRows() > 0 || !m_messages.empty(); }
    // Hands the rows written since over when enough of them, or an old enough one, wait.
    void publishSome();
    // Publishes the rows written since, the shape and the batches refused since.
    void publish();

    const GridRun& m_run;
    GridSink& m_sink;
    LoadControl* m_control;
    DBPROCESS* m_process;
    GridRunResult m_result;

    int m_rowCount = 2;
    int m_maxCols = 1;
    bool m_firstRow = true;
    std::vector<int> m_widths; // per grid column
    std::vector<int> m_remembered{0};
    bool m_widthsChanged = true;
    std::vector<int> m_types;
    QByteArray m_computeText;
    int m_lineDigits = 1;    // of the row number column 0 shows
    int m_moreDigitsAt = 10; // the first row number with more digits
    RowWriter m_writer;      // the run's own: values convert straight into their rows
    GridStore m_unpublished; // rows written since the last publish
    int m_sincePublish = 0;  // of them
    int m_oneByOne = 0;      // rows still to publish as they come
    std::chrono::steady_clock::time_point m_published = std::chrono::steady_clock::now();
    bool m_rowCountBatch = false; // its lines are no result set of the user's
    int m_batch = 0;
    int m_dataRows = 0;
    std::vector<RefusedBatch> m_refused; // not yet published
    std::vector<ResultSetShape> m_resultSets;
    std::vector<RunMessage> m_messages;
};

GridRunResult Loader::run() {
    std::optional<MessageCapture> capture;
    if (m_run.collectMessages)
        capture.emplace(m_run.process, [this](ServerMessage&& message) {
            if (m_rowCountBatch && !message.fromLibrary && isPlanMessage(message.number))
                return;
            RunMessage& m = m_messages.emplace_back();
            static_cast<ServerMessage&>(m) = std::move(message);
            m.batch = m_batch;
            m.gridRow = m_result.currentRow;
        });
    // Rows held for a batched hand-over are shown while the server keeps the loader waiting.
    CancelScope* scope = CancelScope::of(m_process);
    if (scope)
        scope->setIdle([this] {
            if (hasUnpublished())
                publish();
        });
    GridRunResult result = runBatches();
    if (scope)
        scope->setIdle({});
    publish();
    return result;
}

GridRunResult Loader::runBatches() {
    // A stopped run leaves results unread; each run begins by throwing all of them away.
    dbcanquery(m_process);
    while (dbresults(m_process) == SUCCEED)
        dbcanquery(m_process);
    publish();
    if (!check())
        return m_result;
    for (int i = 0; i < m_run.script.batches.size(); ++i) {
        if (!check())
            return m_result;
        m_batch = i;
        m_rowCountBatch = i < m_run.script.rowCountQuery.size() && m_run.script.rowCountQuery[i];
        if (!sendBatch(i))
            return m_result;
        m_result.lastResult = dbresults(m_process);
        if (!check())
            return m_result;
        if (dbcmdrow(m_process) == SUCCEED)
            m_result.rowsReturned = true;
        if (!takeResultShape())
            return m_result;
        for (int r = m_result.lastResult; r != NO_MORE_RESULTS && r != FAIL;
             r = m_result.lastResult) {
            if (!check())
                return m_result;
            if (r == SUCCEED) {
                if (dbrows(m_process) == SUCCEED && !writeHeader())
                    return m_result;
                if (!writeRows())
                    return m_result;
            }
            if (!check())
                return m_result;
            m_result.lastResult = dbresults(m_process);
            if (dbrows(m_process) == SUCCEED)
                m_result.rowsReturned = true;
            if (!takeResultShape())
                return m_result;
            for (int c = 1; c <= m_maxCols; ++c) {
                if (m_widths[std::size_t(c)] < m_remembered[std::size_t(c)]) {
                    m_widths[std::size_t(c)] = m_remembered[std::size_t(c)];
                    m_widthsChanged = true;
                }
            }
            publish();
        }
        if (!check())
            return m_result;
    }
    // A connection lost on the way fails every call after it: the rows are not whole.
    m_result.completed = !dbdead(m_process);
    return m_result;
}

bool Loader::check() {
    if (!m_control)
        return true;
    // A paused run shows every row it has written.
    if (m_control->pausing() && hasUnpublished())
        publish();
    return m_control->checkpoint();
}

bool Loader::sendBatch(int index) {
    // The row-count query follows every batch of a script and is plain ASCII: its bytes are
    // sent as they are rather than converted each time.
    const QByteArray text =
        m_rowCountBatch ? QByteArray() : m_run.script.batches[index].toLocal8Bit();
    // An unsent command stays in DB-Library's buffer and the next dbcmd would append to it.
    dbfreebuf(m_process);
    dbcmd(m_process, m_rowCountBatch ? kRowCountQuery : text.constData());
    if (!check())
        return false;
    // dbsqlexec in its two halves, to tell a batch never sent from one the server refused.
    if (dbsqlsend(m_process) == FAIL) {
        dbfreebuf(m_process);
        if (!dbdead(m_process)) {
            int number = 0;
            for (int i = 0; i <= index; ++i)
                number += !m_run.script.rowCountQuery[i];
            m_refused.push_back({number, m_run.script.batches[index].trimmed().left(200), index});
            publish();
            m_sink.awaitRefusalTaken();
        }
    } else {
        dbsqlok(m_process);
        dbfreebuf(m_process);
    }
    // A lost connection fails every later call: the run ends here.
    return !dbdead(m_process) && check();
}

bool Loader::takeResultShape() {
    m_result.resultColumns = dbnumcols(m_process);
    m_types.resize(std::size_t(m_result.resultColumns));
    for (int c = 1; c <= m_result.resultColumns; ++c)
        m_types[std::size_t(c - 1)] = dbcoltype(m_process, c);
    m_maxCols = std::max(m_maxCols, m_result.resultColumns);
    if (m_widths.size() < std::size_t(m_maxCols) + 1) {
        m_widths.resize(std::size_t(m_maxCols) + 1, kDefaultWidth);
        m_widthsChanged = true;
    }
    if (m_remembered.size() < std::size_t(m_maxCols) + 1)
        m_remembered.resize(std::size_t(m_maxCols) + 1, kRememberedStart);
    return check();
}

std::size_t Loader::writeComputeValue(int computeId, int column) {
    computeColumnText(m_process, computeId, column, m_computeText);
    const auto n = std::size_t(m_computeText.size());
    if (n > 0)
        std::memcpy(m_writer.room(n), m_computeText.constData(), n);
    return n;
}

void Loader::widen(int column, int characters) {
    const int wanted = characters * m_run.charUnit;
    if (m_widths[std::size_t(column)] < wanted) {
        m_widths[std::size_t(column)] = wanted;
        m_widthsChanged = true;
    }
}

void Loader::rememberWidth(int column) {
    m_remembered[std::size_t(column)] = m_widths[std::size_t(column)];
}

bool Loader::writeHeader() {
    if (!m_rowCountBatch)
        m_resultSets.push_back({m_result.currentRow, m_batch, m_types});
    m_writer.begin(std::uint32_t(m_result.resultColumns),
                   m_rowCountBatch ? RowKind::Other : RowKind::ColumnNames);
    for (int c = 1; c <= m_result.resultColumns; ++c) {
        if (!check())
            return false;
        const char* name = dbcolname(m_process, c);
        const std::string_view text = name ? std::string_view(name) : std::string_view();
        if (!text.empty())
            std::memcpy(m_writer.room(text.size()), text.data(), text.size());
        m_writer.endCell(text.size());
        widen(c, characterCount(text));
        rememberWidth(c);
    }
    // Written at CurrentRow, then one row added.
    ++m_rowCount;
    addRow(m_writer.finish());
    ++m_result.currentRow;
    publish();
    return true;
}

bool Loader::writeRows() {
    for (;;) {
        m_result.lastRowStatus = dbnextrow(m_process);
        if (m_result.lastRowStatus == NO_MORE_ROWS || m_result.lastRowStatus == FAIL) {
            // The next statement may keep the server busy a long time.
            if (m_unpublished.writtenRows() > 0)
                publish();
            return true;
        }
        if (!check())
            return false;
        const int row = m_result.currentRow;
        const int computeId = m_result.lastRowStatus > 0 ? m_result.lastRowStatus : 0;
        m_writer.begin(std::uint32_t(m_result.resultColumns), m_rowCountBatch ? RowKind::Other
                                                              : computeId     ? RowKind::Compute
                                                                              : RowKind::Data);
        for (int c = 1; c <= m_result.resultColumns; ++c) {
            const std::size_t n = computeId
                                      ? writeComputeValue(computeId, c)
                                      : writeValue(m_writer, m_process, m_types[std::size_t(c - 1)],
                                                   dbdata(m_process, c), dbdatlen(m_process, c));
            // NULL is kept as nothing (a data row shows it as one blank), so that an export can
            // tell it from a value.
            if (n == 0 && m_run.charUnit > m_widths[std::size_t(c)])
                widen(c, 1);
            // Characters never outnumber bytes: most cells need no counting.
            if (int(n) * m_run.charUnit > m_widths[std::size_t(c)])
                widen(c, characterCount(std::string_view(m_writer.room(0), n)));
            m_writer.endCell(n);
            rememberWidth(c);
        }
        if (row >= m_moreDigitsAt) {
            m_lineDigits = decimalDigits(row);
            long long next = 1;
            for (int d = 0; d < m_lineDigits; ++d)
                next *= 10;
            m_moreDigitsAt = int(std::min<long long>(next, INT_MAX));
        }
        // The row number (or the blank) of column 0 decides its width.
        const int col0 = m_run.showLineNum ? m_lineDigits * m_run.charUnit + 5 : 13;
        if (m_widths[0] != col0) {
            m_widths[0] = col0;
            m_widthsChanged = true;
        }
        if (m_firstRow)
            m_firstRow = false;
        else
            ++m_rowCount;
        m_dataRows += !m_rowCountBatch && !computeId;
        addRow(m_writer.finish());
        ++m_result.currentRow;
        publishSome();
    }
}

void Loader::publishSome() {
    const int n = ++m_sincePublish;
    if (m_oneByOne > 0) {
        --m_oneByOne;
        publish();
    } else if (n >= kPublishRows) {
        publish();
    } else if (((n & (n - 1)) == 0 || n % 64 == 0) &&
               std::chrono::steady_clock::now() - m_published >= kPublishAge) {
        // Only a background run's rows are seen while it loads.
        if (m_control)
            m_oneByOne = kOneByOneRows;
        publish();
    }
}

void Loader::publish() {
    m_sincePublish = 0;
    m_published = std::chrono::steady_clock::now();
    GridBatch* batch = m_sink.acquire();
    if (!batch) {
        m_unpublished.clearRows();
        return;
    }
    batch->rows.appendRows(m_unpublished);
    batch->rowCount = m_rowCount;
    batch->maxCols = m_maxCols;
    batch->dataRows = m_dataRows;
    for (ResultSetShape& shape : m_resultSets)
        batch->resultSets.push_back(std::move(shape));
    m_resultSets.clear();
    for (RunMessage& message : m_messages)
        batch->messages.push_back(std::move(message));
    m_messages.clear();
    if (m_widthsChanged) {
        batch->widths = m_widths;
        m_widthsChanged = false;
    }
    for (RefusedBatch& refused : m_refused)
        batch->refused.push_back(std::move(refused));
    m_refused.clear();
    m_sink.release();
}

} // namespace

SplitScript splitBatches(const QString& sql, bool showRowCount) {
    const QString text = sql + QLatin1Char('\r');
    const QString rowCount = QString::fromLatin1(kRowCountQuery);
    SplitScript script;
    auto add = [&](const QString& batch, bool addRowCount, int firstLine) {
        script.batches << batch;
        script.rowCountQuery << false;
        script.firstLines << firstLine;
        if (addRowCount) {
            script.batches << rowCount;
            script.rowCountQuery << true;
            script.firstLines << firstLine;
        }
    };
    qsizetype start = 0;
    int line = 0;
    int startLine = 0;
    bool found = false;
    for (qsizetype lineStart = 0; lineStart < text.size(); ++line) {
        qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = text.size();
        if (const int repeats =
                separatorRepeats(QStringView(text).mid(lineStart, lineEnd - lineStart))) {
            // The one character before the separator line (its line feed) is dropped. Each run
            // is a batch of its own; the copies share one text.
            const QString batch = text.mid(start, std::max<qsizetype>(0, lineStart - 1 - start));
            for (int run = 0; run < repeats; ++run)
                add(batch, showRowCount, startLine);
            start = lineEnd + 1;
            startLine = line + 1;
            found = true;
        }
        lineStart = lineEnd + 1;
    }
    if (!found) {
        add(text, false, 0);
    } else if (start < text.size()) {
        const QString rest = text.mid(start);
        if (!rest.trimmed().isEmpty())
            add(rest, showRowCount, startLine);
    }
    if (script.batches.size() == 1) {
        script.batches << rowCount;
        script.rowCountQuery << true;
        script.firstLines << 0;
    }
    return script;
}

GridRunResult loadGrid(const GridRun& run, GridSink& sink, LoadControl* control) {
    return Loader(run, sink, control).run();
}

void LoadControl::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
}

void LoadControl::pause() {
    m_paused = true;
}

void LoadControl::resume() {
    {
        const std::lock_guard lock(m_mutex);
        m_paused = false;
    }
    m_wake.notify_all();
}

bool LoadControl::checkpoint() {
    if (m_stop.load())
        return false;
    if (m_paused.load()) {
        std::unique_lock lock(m_mutex);
        m_held = true;
        m_wake.wait(lock, [this] { return !m_paused.load() || m_stop.load(); });
        m_held = false;
    }
    return !m_stop.load();
}

GridBatch* LoaderChannel::acquire() {
    m_mutex.lock();
    if (m_closed) {
        m_mutex.unlock();
        return nullptr;
    }
    return &m_pending;
}

void LoaderChannel::release() {
    m_hasRows = true;
    if (!m_posted) {
        m_posted = true;
        m_notify(false);
    }
    // Rows may wait for their hand-off, a refused batch may not: announced after the boxes the
    // DB-Library handlers posted before it, it is shown in its place among them.
    if (!m_refusalPosted && !m_pending.refused.empty()) {
        m_refusalPosted = true;
        m_notify(true);
    }
    m_mutex.unlock();
}

void GridBatch::clearHandOff() {
    rows.clearRows();
    widths.clear();
    refused.clear();
    resultSets.clear();
    messages.clear();
}

bool LoaderChannel::take(GridBatch& out) {
    const std::lock_guard lock(m_mutex);
    m_posted = false;
    if (!m_hasRows || m_closed)
        return false;
    // The rows change hands: the store out held, emptied by the GUI thread, is filled next, so
    // its room is reused rather than freed and grown again with every batch.
    out.rows.clearRows();
    std::swap(out.rows, m_pending.rows);
    // The shape travels with every batch; the next one starts from the same shape.
    out.rowCount = m_pending.rowCount;
    out.maxCols = m_pending.maxCols;
    out.dataRows = m_pending.dataRows;
    out.widths = std::exchange(m_pending.widths, {});
    out.resultSets = std::exchange(m_pending.resultSets, {});
    out.messages = std::exchange(m_pending.messages, {});
    m_hasRows = false;
    return true;
}

void LoaderChannel::takeRefused(std::vector<RefusedBatch>& out) {
    {
        const std::lock_guard lock(m_mutex);
        m_refusalPosted = false;
        if (!m_closed)
            out = std::exchange(m_pending.refused, {});
    }
    m_taken.notify_all();
}

void LoaderChannel::awaitRefusalTaken() {
    std::unique_lock lock(m_mutex);
    m_taken.wait(lock, [this] { return m_closed || m_pending.refused.empty(); });
}

bool LoaderChannel::close(GridBatch& out) {
    const std::lock_guard lock(m_mutex);
    const bool had = (m_hasRows || !m_pending.refused.empty()) && !m_closed;
    if (had)
        out = std::move(m_pending);
    m_closed = true;
    m_hasRows = false;
    m_taken.notify_all();
    return had;
}

Threadgrid::Threadgrid(GridRun run, std::shared_ptr<LoaderChannel> channel,
                       std::function<void()> onFinished)
    : m_channel(std::move(channel)) {
    // A duplicate, so that it never names another file once DB-Library has closed its own.
    m_socket = ::fcntl(dbiordesc(run.process.get()), F_DUPFD_CLOEXEC, 0);
    m_thread = std::thread([this, run = std::move(run), onFinished = std::move(onFinished)] {
        DBPROCESS* process = run.process.get();
        {
            const CancelScope cancel(run.process, m_control.stopFlag());
            const GridRunResult result = loadGrid(run, *m_channel, &m_control);
            m_completed = result.completed;
            // A stopped run leaves the server working on the rest of its statement.
            if (!result.completed && !dbdead(process))
                dbcancel(process);
        }
        {
            const std::lock_guard lock(m_socketMutex);
            if (m_socket >= 0)
                ::close(m_socket);
            m_socket = -1;
        }
        // The end of a normal load is told by the stop flag, as a stop request is.
        m_control.stop();
        m_finished = true;
        onFinished();
    });
}

Threadgrid::~Threadgrid() {
    m_control.stop();
    if (m_thread.joinable())
        m_thread.join();
}

void Threadgrid::CutConnection() {
    const std::lock_guard lock(m_socketMutex);
    if (m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
}

} // namespace ostrim
