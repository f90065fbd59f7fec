#include "sybgrid.h"

#include "sybdatabase.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPalette>
#include <QTextStream>

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>
#include <ios>

namespace ostrim {

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
#endif

namespace {

constexpr int kNameLength = 30;

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

// Posted by the loader thread: rows are pending, or the thread has ended.
class LoaderEvent final : public QEvent {
public:
    LoaderEvent(quint64 generation, bool finished)
        : QEvent(loaderEventType()), m_generation(generation), m_finished(finished) {}
    quint64 m_generation;
    bool m_finished;
};

void postFromLoader(QObject* grid, quint64 generation, bool finished) {
    auto* event = new LoaderEvent(generation, finished);
    postedByLoader(event);
    QCoreApplication::postEvent(grid, event);
}
constexpr int kApplyIntervalMs = 50;

quint64 cellKey(int col, int row) {
    return (quint64(quint32(row)) << 32) | quint32(col);
}

} // namespace

// A synchronous run hands its rows over in the same ~50 ms steps, so that a message box raised
// during the run shows the rows so far.
class GridSyncSink final : public GridSink {
public:
    explicit GridSyncSink(TSybGrid& grid) : m_grid(grid) { m_sinceFlush.start(); }
    GridBatch* acquire() override { return &m_batch; }
    void release() override {
        // Reading the clock costs more than the rest of a row's hand-over.
        if (++m_sinceLook < 64)
            return;
        m_sinceLook = 0;
        if (m_sinceFlush.elapsed() >= kApplyIntervalMs)
            flush();
    }
    void flush() {
        m_grid.applyBatch(m_batch);
        m_batch.rows.clearRows();
        m_batch.widths.clear();
        m_sinceFlush.restart();
    }

private:
    TSybGrid& m_grid;
    GridBatch m_batch;
    QElapsedTimer m_sinceFlush;
    int m_sinceLook = 0;
};

GridModel::GridModel(QObject* parent) : QAbstractTableModel(parent) {}

int GridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_store.rowCount();
}

int GridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QString GridModel::cell(int col, int row) const {
    if (!m_edits.isEmpty()) {
        const auto it = m_edits.constFind(cellKey(col, row));
        if (it != m_edits.constEnd())
            return *it;
    }
    if (col == 0) {
        if (row < 1 || row > m_store.writtenRows())
            return {};
        return m_store.lineNumbers() ? QString::number(row) : QStringLiteral(" ");
    }
    // textFromDbLib's decoding, straight from the store without a copy.
    return QString::fromLocal8Bit(m_store.cell(row, col));
}

void GridModel::setCell(int col, int row, const QString& text) {
    if (col < 0 || row < 0 || col >= m_columns || row >= m_store.rowCount())
        return;
    m_edits.insert(cellKey(col, row), text);
    const QModelIndex at = index(row, col);
    emit dataChanged(at, at, {Qt::DisplayRole, Qt::EditRole});
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return cell(index.column(), index.row());
    if (role == Qt::BackgroundRole && (index.row() == 0 || index.column() == 0))
        return QGuiApplication::palette().button();
    return {};
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    setCell(index.column(), index.row(), value.toString());
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    if (index.row() == 0 || index.column() == 0)
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void GridModel::reset(bool lineNumbers) {
    beginResetModel();
    m_store.reset(2, lineNumbers);
    m_columns = 2;
    m_edits.clear();
    endResetModel();
}

void GridModel::apply(GridBatch& batch) {
    const int columns = batch.maxCols + 1;
    if (columns > m_columns) {
        beginInsertColumns({}, m_columns, columns - 1);
        m_columns = columns;
        endInsertColumns();
    }
    const int oldRows = m_store.rowCount();
    const int oldWritten = m_store.writtenRows();
    if (batch.rowCount > oldRows) {
        beginInsertRows({}, oldRows, batch.rowCount - 1);
        m_store.appendRows(batch.rows);
        m_store.setRowCount(batch.rowCount);
        endInsertRows();
    } else {
        m_store.appendRows(batch.rows);
    }
    // A row shown empty before (the one after a header) may have been written now.
    const int lastFilled = std::min(m_store.writtenRows(), oldRows - 1);
    if (lastFilled > oldWritten)
        emit dataChanged(index(oldWritten + 1, 0), index(lastFilled, m_columns - 1));
}

TSybGrid::TSybGrid(QWidget* owner) : QTableView(owner), m_model(new GridModel(this)) {
    setModel(m_model);
    QFont font(QStringLiteral("Courier"), 9);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    // Fixed at creation: widths do not follow later font changes.
    m_charUnit = 9;
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(20);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(64);
    horizontalHeader()->setHighlightSections(false);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setTabKeyNavigation(true);
    setWordWrap(false);
    m_applyTimer.setSingleShot(true);
    connect(&m_applyTimer, &QTimer::timeout, this, &TSybGrid::takeLoaderRows);
}

TSybGrid::~TSybGrid() {
    if (m_loader) {
        m_loader->Terminate();
        waitForLoader();
        m_loader.reset();
    }
}

bool TSybGrid::Terminated() {
    if (!m_loader)
        return true;
    if (!m_loader->Terminated())
        return false;
    if (m_channel) {
        GridBatch last;
        if (m_channel->close(last))
            applyBatch(last);
    }
    return true;
}

void TSybGrid::setDbName(const QString& name) {
    m_dbName = name.left(kNameLength);
    BindDbProc();
}

void TSybGrid::setDesignActive(bool active) {
    m_designActive = active;
    if (!active)
        return;
    BindDbProc();
    if (m_sql.size() > 1)
        Execute();
}

void TSybGrid::BindDbProc() {
    if (!m_autoDbProc)
        return;
    for (TSybDatabase* database : TSybDatabase::DatabaseList()) {
        if (database->Name() == m_dbName) {
            m_dbProc = database->DbProc();
            return;
        }
    }
}

void TSybGrid::SplitBatches() {
    m_script = splitBatches(m_sql, m_showRowCount);
}

void TSybGrid::LoadSqlFromFile(const QString& fileName) {
    m_sql.clear();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::ios_base::failure(file.errorString().toStdString());
    // The lines keep their breaks: a batch separator is a line of its own, so a file's "go"
    // lines must stay lines to divide its batches.
    QTextStream in(&file);
    QString line;
    QStringList lines;
    while (in.readLineInto(&line))
        lines.append(line);
    m_sql = lines.join(QLatin1Char('\n'));
    if (in.status() != QTextStream::Ok || file.error() != QFileDevice::NoError)
        throw std::ios_base::failure(file.errorString().toStdString());
}

void TSybGrid::Execute() {
    BindDbProc();
    if (!m_dbProc)
        return;
    SplitBatches();
    if (m_loader) {
        // One load at a time: the previous one is stopped and its queued rows dropped.
        m_loader->Terminate();
        waitForLoader();
        m_loader.reset();
        m_channel.reset();
    }
    ++m_generation;
    m_applyTimer.stop();

    GridRun run{m_dbProc, m_script, m_showLineNum, m_charUnit, {columnWidth(0), columnWidth(1)}};
    // Emptying the grid drops columns 2 and up; 0 and 1 keep their widths.
    m_model->reset(m_showLineNum);
    setColumnWidth(0, run.firstWidths[0]);
    setColumnWidth(1, run.firstWidths[1]);
    m_columnCount = 1;
    m_currentRow = 1;

    if (m_background) {
        const quint64 generation = m_generation;
        // Posted: the loader thread may only queue events for the grid, never call it.
        m_channel = std::make_shared<LoaderChannel>(
            [this, generation] { postFromLoader(this, generation, false); });
        m_sinceApply.invalidate();
        m_loader = std::make_unique<Threadgrid>(std::move(run), m_channel, [this, generation] {
            postFromLoader(this, generation, true);
        });
        return;
    }

    viewport()->repaint();
    GridSyncSink sink(*this);
    const GridRunResult result = loadGrid(run, sink, nullptr);
    sink.flush();
    m_rowsReturned = result.rowsReturned;
    m_lastResult = result.lastResult;
    m_lastRowStatus = result.lastRowStatus;
    m_currentRow = result.currentRow;
}

bool TSybGrid::event(QEvent* event) {
    receivedFromLoader(event);
    if (event->type() != loaderEventType())
        return QTableView::event(event);
    const auto* loaderEvent = static_cast<LoaderEvent*>(event);
    if (loaderEvent->m_finished)
        emit loaderFinished();
    else
        loaderNotified(loaderEvent->m_generation);
    return true;
}

void TSybGrid::waitForLoader() {
    if (!m_loader || m_loader->Finished())
        return;
    QEventLoop loop;
    connect(this, &TSybGrid::loaderFinished, &loop, &QEventLoop::quit);
    // The finished notice is posted after Finished turns true, so it cannot be missed here.
    if (!m_loader->Finished())
        loop.exec();
}

void TSybGrid::loaderNotified(quint64 generation) {
    if (generation != m_generation)
        return;
    const qint64 since = m_sinceApply.isValid() ? m_sinceApply.elapsed() : kApplyIntervalMs;
    if (since >= kApplyIntervalMs)
        takeLoaderRows();
    else if (!m_applyTimer.isActive())
        m_applyTimer.start(int(kApplyIntervalMs - since));
}

void TSybGrid::takeLoaderRows() {
    if (!m_channel)
        return;
    GridBatch batch;
    if (m_channel->take(batch))
        applyBatch(batch);
    m_sinceApply.restart();
}

void TSybGrid::applyBatch(GridBatch& batch) {
    m_model->apply(batch);
    m_columnCount = batch.maxCols;
    const int columns = m_model->columnCount();
    for (int c = 0; c < int(batch.widths.size()) && c < columns; ++c) {
        if (columnWidth(c) != batch.widths[std::size_t(c)])
            setColumnWidth(c, batch.widths[std::size_t(c)]);
    }
}

qint16 TSybGrid::ColumnIndex(const QString& name) const {
    for (int c = 1; c < colCount(); ++c) {
        if (ColumnName(c) == name)
            return qint16(c);
    }
    return 0;
}

bool TSybGrid::IsCharColumn(int col) const {
    const QString type = ColumnTypeName(col);
    return type == u"char" || type == u"text" || type == u"datetime" || type == u"smalldatetime";
}

QString TSybGrid::ColumnName(int col) const {
    if (!m_dbProc)
        return {};
    const char* name = dbcolname(m_dbProc.get(), col);
    return name ? QString::fromLocal8Bit(name) : QString();
}

QString TSybGrid::ColumnTypeName(int col) const {
    if (!m_dbProc)
        return {};
    const char* name = dbprtype(dbcoltype(m_dbProc.get(), col));
    return name ? QString::fromLocal8Bit(name) : QString();
}

} // namespace ostrim
