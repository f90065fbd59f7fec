#include "sybgrid.h"

#include "dialogs.h"
#include "sybdatabase.h"
#include "u_cell_viewer.h"

#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextStream>

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>
#include <ios>

namespace ostrim {

TSybGrid::TSybGrid(QWidget* owner)
    : QTableView(owner), m_model(new GridModel(this)),
      m_runner(std::make_unique<GridRunner>([this](GridBatch& batch) { applyBatch(batch); })) {
    setModel(m_model);
    connect(m_runner.get(), &GridRunner::finished, this, &TSybGrid::loaderFinished);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        // Where a double-click edits, editing wins.
        if (m_cellViewer && !editTriggers().testFlag(DoubleClicked))
            showCellValue(index);
    });
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
}

TSybGrid::~TSybGrid() {
    // While the grid can still take the last rows and answer Loader.
    m_runner->stop();
    m_runner.reset();
    // Before the model, which they show, and without the grid's signals reaching them.
    const GridFixedCells* views[] = {m_fixedTop, m_fixedLeft, m_fixedCorner};
    m_fixedTop = m_fixedLeft = m_fixedCorner = nullptr;
    for (const GridFixedCells* view : views)
        delete view;
}

bool TSybGrid::Terminated() {
    return m_runner->terminated();
}

bool TSybGrid::Paused() {
    return m_runner->paused();
}

void TSybGrid::StopLoader() {
    m_runner->stop();
}

bool TSybGrid::waitForLoader(QDeadlineTimer deadline) {
    return m_runner->wait(deadline);
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
    // One load at a time: the previous one is stopped and its queued rows dropped, before its
    // script gives way to this one.
    m_runner->clear();
    SplitBatches();

    GridRun run{m_dbProc,
                m_script,
                m_showLineNum,
                m_charUnit,
                {columnWidth(0), columnWidth(1)},
                bool(m_messageReceiver)};
    // Emptying the grid drops columns 2 and up; 0 and 1 keep their widths.
    m_model->reset(m_showLineNum);
    setColumnWidth(0, run.firstWidths[0]);
    setColumnWidth(1, run.firstWidths[1]);
    m_columnCount = 1;
    m_currentRow = 1;

    if (m_background) {
        m_runner->start(std::move(run));
        return;
    }

    viewport()->repaint();
    const GridRunResult result = m_runner->runHere(run);
    m_rowsReturned = result.rowsReturned;
    m_lastResult = result.lastResult;
    m_lastRowStatus = result.lastRowStatus;
    m_currentRow = result.currentRow;
    m_syncCompleted = result.completed;
}

bool TSybGrid::Completed() const {
    if (const Threadgrid* loader = m_runner->loader())
        return loader->Completed();
    return m_syncCompleted;
}

void TSybGrid::setMessageReceiver(std::function<void(std::vector<RunMessage>&)> receiver) {
    m_messageReceiver = std::move(receiver);
    if (!m_messageReceiver) {
        m_runner->setRefusalTeller({});
        return;
    }
    m_runner->setRefusalTeller([this](const std::vector<RefusedBatch>& refused) {
        std::vector<RunMessage> told;
        for (const RefusedBatch& batch : refused) {
            RunMessage& m = told.emplace_back();
            m.time = QTime::currentTime();
            m.text = refusalText(batch);
            m.fromLibrary = true;
            m.batch = batch.index;
            m.line = 1; // the pane points at the batch's first line
            m.gridRow = m_model->store().writtenRows() + 1;
        }
        if (m_messageReceiver)
            m_messageReceiver(told);
    });
}

void TSybGrid::setShowNullText(bool show) {
    m_model->setShowNullText(show);
}

void TSybGrid::setCellViewer(bool on) {
    m_cellViewer = on;
    m_model->setAlignNumbers(on);
}

void TSybGrid::showCellValue(const QModelIndex& index) {
    const int col = index.column();
    const int row = index.row();
    if (!index.isValid() || row < FixedRows() || col < FixedCols())
        return;
    const ResultSetShape* shape = ResultSetAt(row);
    QString column = shape ? cell(col, shape->headerRow).trimmed() : QString();
    if (column.isEmpty())
        column = tr("column %1").arg(col);
    Tf_cell_viewer viewer(tr("%1, row %2").arg(column).arg(row), cell(col, row), font(), this);
    Dialogs::exec(viewer);
}

void TSybGrid::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (m_cellViewer && enter && event->modifiers() == Qt::ShiftModifier &&
        state() != EditingState) {
        showCellValue(currentIndex());
        return;
    }
    QTableView::keyPressEvent(event);
}

void TSybGrid::applyBatch(GridBatch& batch) {
    m_model->apply(batch);
    if (!batch.messages.empty() && m_messageReceiver)
        m_messageReceiver(batch.messages);
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
