#include "sybgrid.h"

#include "sybdatabase.h"

#include <QAbstractItemDelegate>
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTextStream>
#include <QWheelEvent>

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
// FreeTDS looks at a stop request once a second while it waits for the server; then the
// server's acknowledgement has to come back.
constexpr int kCancelWaitMs = 3000;

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

bool GridModel::isNull(int col, int row) const {
    return col >= 1 && m_store.isNull(row, col) && !m_edits.contains(cellKey(col, row));
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
    if (role == Qt::BackgroundRole && isFixed(index.column(), index.row()))
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
    if (isFixed(index.column(), index.row()))
        return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void GridModel::setFixed(int rows, int cols) {
    rows = std::max(rows, 0);
    cols = std::max(cols, 0);
    if (rows == m_fixedRows && cols == m_fixedCols)
        return;
    m_fixedRows = rows;
    m_fixedCols = cols;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole});
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

GridFixedCells::GridFixedCells(TSybGrid* grid, Part part)
    : QWidget(grid), m_grid(grid), m_part(part) {
    // Opaque, so that repainting it never repaints the grid beneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(part != Part::Columns);
    hide();
}

int GridFixedCells::rowTop(int row) const {
    if (scrollsUpAndDown())
        return m_grid->rowViewportPosition(row);
    int top = 0;
    for (int r = 0; r < row; ++r)
        top += m_grid->rowHeight(r);
    return top;
}

int GridFixedCells::columnLeft(int col) const {
    if (scrollsSideways())
        return m_grid->columnViewportPosition(col);
    int left = 0;
    for (int c = 0; c < col; ++c)
        left += m_grid->columnWidth(c);
    return left;
}

int GridFixedCells::rowAt(int y) const {
    if (scrollsUpAndDown())
        return m_grid->rowAt(y);
    const int rows = std::min(m_grid->FixedRows(), m_grid->m_model->rowCount());
    for (int r = 0, top = 0; r < rows; top += m_grid->rowHeight(r), ++r) {
        if (y >= top && y < top + m_grid->rowHeight(r))
            return r;
    }
    return -1;
}

int GridFixedCells::columnAt(int x) const {
    if (scrollsSideways())
        return m_grid->columnAt(x);
    const int cols = std::min(m_grid->FixedCols(), m_grid->m_model->columnCount());
    for (int c = 0, left = 0; c < cols; left += m_grid->columnWidth(c), ++c) {
        if (x >= left && x < left + m_grid->columnWidth(c))
            return c;
    }
    return -1;
}

QModelIndex GridFixedCells::indexAt(QPoint at) const {
    if (!rect().contains(at))
        return {};
    return m_grid->m_model->index(rowAt(at.y()), columnAt(at.x()));
}

QRect GridFixedCells::cellRect(int row, int col) const {
    const bool fixedRow = row >= 0 && row < m_grid->FixedRows();
    const bool fixedCol = col >= 0 && col < m_grid->FixedCols();
    if (row < 0 || col < 0 || row >= m_grid->m_model->rowCount() ||
        col >= m_grid->m_model->columnCount() || (m_part == Part::Rows && !fixedRow) ||
        (m_part == Part::Columns && !fixedCol) ||
        (m_part == Part::Corner && !(fixedRow && fixedCol)))
        return {};
    // As the grid's own cells: the grid lines take the last pixel of each column and row.
    const int line = m_grid->showGrid() ? 1 : 0;
    const QRect cell(columnLeft(col), rowTop(row), m_grid->columnWidth(col) - line,
                     m_grid->rowHeight(row) - line);
    return cell.intersected(rect());
}

void GridFixedCells::paintEvent(QPaintEvent* event) {
    const int rows = m_grid->m_model->rowCount();
    const int cols = m_grid->m_model->columnCount();
    const QRect dirty = event->rect();
    QPainter painter(this);
    painter.fillRect(dirty,
                     m_grid->viewport()->palette().brush(m_grid->viewport()->backgroundRole()));
    int firstRow = rowAt(dirty.top());
    int lastRow = rowAt(dirty.bottom());
    int firstCol = columnAt(dirty.left());
    int lastCol = columnAt(dirty.right());
    if (firstRow < 0 || firstCol < 0)
        return;
    if (lastRow < 0)
        lastRow = m_part == Part::Columns ? rows - 1 : std::min(m_grid->FixedRows(), rows) - 1;
    if (lastCol < 0)
        lastCol = m_part == Part::Rows ? cols - 1 : std::min(m_grid->FixedCols(), cols) - 1;

    QStyleOptionViewItem option;
    m_grid->initViewItemOption(&option);
    option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    QAbstractItemDelegate* delegate = m_grid->itemDelegate();
    const QColor lineColor =
        QColor::fromRgba(QRgb(style()->styleHint(QStyle::SH_Table_GridLineColor, &option, m_grid)));
    painter.setPen(lineColor);
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstCol; c <= lastCol; ++c) {
            const QRect cell = cellRect(r, c);
            if (cell.isEmpty())
                continue;
            option.rect =
                QRect(columnLeft(c), rowTop(r), m_grid->columnWidth(c), m_grid->rowHeight(r));
            if (m_grid->showGrid()) {
                painter.drawLine(option.rect.topRight(), option.rect.bottomRight());
                painter.drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
                option.rect.adjust(0, 0, -1, -1);
            }
            delegate->paint(&painter, option, m_grid->m_model->index(r, c));
        }
    }
}

void GridFixedCells::wheelEvent(QWheelEvent* event) {
    QCoreApplication::sendEvent(m_grid->viewport(), event);
}

int GridFixedCells::edgeAt(int x) const {
    if (m_part == Part::Columns)
        return -1;
    constexpr int kGrip = 3;
    const int col = columnAt(x);
    if (col < 0)
        return -1;
    const int left = columnLeft(col);
    if (x >= left + m_grid->columnWidth(col) - kGrip)
        return col;
    if (x < left + kGrip && col > 0)
        return col - 1;
    return -1;
}

// Over the fixed rows a drag at a column's edge sizes the column, as a header would; otherwise
// the fixed cells take no clicks: the grid keeps its current cell and selection.
void GridFixedCells::mousePressEvent(QMouseEvent* event) {
    const int col = edgeAt(event->position().toPoint().x());
    if (col < 0 || event->button() != Qt::LeftButton)
        return;
    m_sizing = col;
    m_sizingFrom = event->position().toPoint().x() - m_grid->columnWidth(col);
}

void GridFixedCells::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (m_sizing >= 0) {
        m_grid->setColumnWidth(m_sizing, std::max(1, x - m_sizingFrom));
        return;
    }
    if (edgeAt(x) >= 0)
        setCursor(Qt::SplitHCursor);
    else
        unsetCursor();
}

void GridFixedCells::mouseReleaseEvent(QMouseEvent*) {
    m_sizing = -1;
}

TSybGrid::TSybGrid(QWidget* owner) : QTableView(owner), m_model(new GridModel(this)) {
    setModel(m_model);
    QFont font(QStringLiteral("Courier"), 9);
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
    // Fixed at creation: widths do not follow later font changes.
    m_charUnit = 9;
    // The fixed rows and columns take the headers' place.
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(20);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setDefaultSectionSize(64);
    horizontalHeader()->setHighlightSections(false);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setTabKeyNavigation(true);
    setWordWrap(false);
    // Whole rows up and down, as the grid steps; pixels sideways, so that a column wider or
    // narrower than the fixed ones is never left half under them.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    m_fixedTop = new GridFixedCells(this, GridFixedCells::Part::Rows);
    m_fixedLeft = new GridFixedCells(this, GridFixedCells::Part::Columns);
    m_fixedCorner = new GridFixedCells(this, GridFixedCells::Part::Corner);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, m_fixedTop,
            qOverload<>(&QWidget::update));
    connect(verticalScrollBar(), &QScrollBar::valueChanged, m_fixedLeft,
            qOverload<>(&QWidget::update));
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
        if (column < FixedCols())
            layoutFixedViews();
        updateFixedViews();
    });
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int row) {
        if (row < FixedRows())
            layoutFixedViews();
        updateFixedViews();
    });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& topLeft) {
        if (topLeft.row() < FixedRows() || topLeft.column() < FixedCols())
            updateFixedViews();
    });
    // Rows arrive while loading: the fixed columns change only where the new rows show.
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first) {
                if (m_lastPainted < 0 || first <= m_lastPainted)
                    m_fixedLeft->update();
            });
    // Qt lays the whole view out again and repaints it whenever the row count changes, many
    // times a second while loading; rows added out of sight change only the scroll range.
    disconnect(verticalHeader(), SIGNAL(sectionCountChanged(int, int)), this,
               SLOT(rowCountChanged(int, int)));
    connect(verticalHeader(), &QHeaderView::sectionCountChanged, this, [this](int before, int now) {
        if (now > before && m_lastPainted >= 0 && before > m_lastPainted + 1)
            updateGeometries();
        else
            rowCountChanged(before, now);
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_firstPainted = m_lastPainted = -1;
        layoutFixedViews();
        updateFixedViews();
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first) {
                if (first < FixedRows())
                    layoutFixedViews();
            });
    connect(m_model, &QAbstractItemModel::columnsInserted, this,
            [this](const QModelIndex&, int first) {
                if (first < FixedCols())
                    layoutFixedViews();
                m_fixedTop->update();
            });
    m_applyTimer.setSingleShot(true);
    connect(&m_applyTimer, &QTimer::timeout, this, &TSybGrid::takeLoaderRows);
}

TSybGrid::~TSybGrid() {
    StopLoader();
    m_loader.reset();
    // Before the model, which they show, and without the grid's signals reaching them.
    const GridFixedCells* views[] = {m_fixedTop, m_fixedLeft, m_fixedCorner};
    m_fixedTop = m_fixedLeft = m_fixedCorner = nullptr;
    for (const GridFixedCells* view : views)
        delete view;
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

bool TSybGrid::Paused() {
    if (!m_loader || !m_loader->Held())
        return false;
    // Held, the loader hands over nothing more: what it handed over is all there is.
    takeLoaderRows();
    return true;
}

void TSybGrid::StopLoader() {
    if (!m_loader)
        return;
    m_loader->Terminate();
    if (m_loader->Finished())
        return;
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    if (!waitForLoader(QDeadlineTimer(kCancelWaitMs))) {
        // The server heard the cancel long ago, or never will.
        m_loader->CutConnection();
        waitForLoader(QDeadlineTimer(QDeadlineTimer::Forever));
    }
    QGuiApplication::restoreOverrideCursor();
}

void TSybGrid::setFixedRows(int rows) {
    m_model->setFixed(rows, FixedCols());
    layoutFixedViews();
}

void TSybGrid::setFixedCols(int cols) {
    m_model->setFixed(FixedRows(), cols);
    layoutFixedViews();
}

int TSybGrid::fixedHeight() const {
    int height = 0;
    for (int r = 0; r < std::min(FixedRows(), m_model->rowCount()); ++r)
        height += rowHeight(r);
    return height;
}

int TSybGrid::fixedWidth() const {
    int width = 0;
    for (int c = 0; c < std::min(FixedCols(), m_model->columnCount()); ++c)
        width += columnWidth(c);
    return width;
}

void TSybGrid::updateGeometries() {
    QTableView::updateGeometries();
    layoutFixedViews();
}

void TSybGrid::layoutFixedViews() {
    // Not yet made, or already gone.
    if (!m_fixedTop)
        return;
    const QRect area = viewport()->geometry();
    const int height = std::min(fixedHeight(), area.height());
    const int width = std::min(fixedWidth(), area.width());
    m_fixedTop->setGeometry(area.x(), area.y(), area.width(), height);
    m_fixedLeft->setGeometry(area.x(), area.y(), width, area.height());
    m_fixedCorner->setGeometry(area.x(), area.y(), width, height);
    m_fixedTop->setVisible(height > 0);
    m_fixedLeft->setVisible(width > 0);
    m_fixedCorner->setVisible(height > 0 && width > 0);
    m_fixedCorner->raise();
}

void TSybGrid::updateFixedViews() {
    if (!m_fixedTop)
        return;
    for (GridFixedCells* view : {m_fixedTop, m_fixedLeft, m_fixedCorner})
        view->update();
}

void TSybGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QTableView::scrollTo(index, hint);
    if (!index.isValid())
        return;
    // A cell that scrolled under the fixed rows or columns comes out from beneath them.
    if (index.row() >= FixedRows()) {
        QScrollBar* bar = verticalScrollBar();
        while (bar->value() > bar->minimum() && rowViewportPosition(index.row()) < fixedHeight())
            bar->setValue(bar->value() - 1);
    }
    if (index.column() >= FixedCols()) {
        const int hidden = fixedWidth() - columnViewportPosition(index.column());
        if (hidden > 0)
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - hidden);
    }
}

QModelIndex TSybGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = QTableView::moveCursor(action, modifiers);
    if (!next.isValid())
        return next;
    // The cursor never enters the fixed cells.
    const int row = std::max(next.row(), std::min(FixedRows(), m_model->rowCount() - 1));
    const int col = std::max(next.column(), std::min(FixedCols(), m_model->columnCount() - 1));
    return m_model->index(row, col);
}

void TSybGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                           const QList<int>& roles) {
    // While loading, each batch fills the row shown empty below the last one; the base class
    // repaints the whole viewport for any range, which mostly lies out of sight.
    if (state() != EditingState && topLeft.isValid() && m_firstPainted >= 0 && m_lastPainted >= 0 &&
        (topLeft.row() > m_lastPainted || bottomRight.row() < m_firstPainted))
        return;
    QTableView::dataChanged(topLeft, bottomRight, roles);
}

void TSybGrid::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    // Asking the header where rows are costs a walk over every row after rows were added, so
    // the rows on screen are noted here, where that walk has just been made.
    m_firstPainted = rowAt(0);
    m_lastPainted = rowAt(viewport()->height() - 1);
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
    if (const TSybDatabase* database = TSybDatabase::findDatabase(m_dbName))
        m_dbProc = database->DbProc();
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
        StopLoader();
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

bool TSybGrid::waitForLoader(QDeadlineTimer deadline) {
    QEventLoop loop;
    connect(this, &TSybGrid::loaderFinished, &loop, &QEventLoop::quit);
    QTimer alarm;
    alarm.setSingleShot(true);
    connect(&alarm, &QTimer::timeout, &loop, &QEventLoop::quit);
    // The finished notice is posted after Finished turns true, so it cannot be missed here; an
    // earlier loader's notice may end a round early.
    while (!m_loader->Finished() && !deadline.hasExpired()) {
        if (!deadline.isForever())
            alarm.start(std::chrono::milliseconds(deadline.remainingTime()));
        loop.exec();
    }
    return m_loader->Finished();
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
    if (m_channel->take(m_received))
        applyBatch(m_received);
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
