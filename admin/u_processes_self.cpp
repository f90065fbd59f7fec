#include "u_processes_self.h"

#include "dialogs.h"
#include "glyph_icon.h"
#include "process_monitor.h"
#include "sybdatabase.h"
#include "sybgrid.h"
#include "sybquery.h"
#include "u_main.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <set>

namespace ostrim {

namespace {

constexpr int kProcedureLength = 30;
constexpr int kSpidLength = 5;
constexpr int kSpidRole = Qt::UserRole;

// Grid row 1 holds the first result set's column names.
constexpr int kNamesRow = 1;

const QColor kWaitingTint(255, 222, 173);

// The first column of grid row 1 whose name, trimmed and in lower case, is one of names; 0
// when none.
int columnNamed(const TSybGrid& grid, std::initializer_list<const char*> names) {
    for (int c = 1; c < grid.colCount(); ++c) {
        const QString heading = grid.cell(c, kNamesRow).trimmed().toLower();
        for (const char* name : names)
            if (heading == QLatin1String(name))
                return c;
    }
    return 0;
}

// The last row of the first result set's data; row 1 when it has none.
int lastProcessRow(const TSybGrid& grid) {
    int row = kNamesRow;
    while (row + 1 < grid.rowCount() && grid.gridModel()->rowKind(row + 1) == RowKind::Data)
        ++row;
    return row;
}

// Tints the rows of waiting processes and sets the head blockers' in bold.
class ProcessRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    std::set<int> waitingRows, headRows;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (waitingRows.contains(index.row()))
            option->backgroundBrush = kWaitingTint;
        if (headRows.contains(index.row()))
            option->font.setBold(true);
    }
};

} // namespace

Tf_processes_ask::Tf_processes_ask(QString& procedure, QWidget* parent)
    : QDialog(parent), m_procedure(procedure) {
    setObjectName("f_processes_ask");
    setWindowTitle("Self defined processes procedure");
    Label1 = new QLabel("Procedure name", this);
    e_procedure = new QLineEdit(procedure, this);
    e_procedure->setObjectName("e_procedure");
    e_procedure->setMaxLength(kProcedureLength);
    Label2 = new QLabel("Enter the name of the stored procedure that will be executed. If the "
                        "results contain a column with heading \"spid\", that column value will "
                        "be used for the \"Kill Process\".",
                        this);
    Label2->setWordWrap(true);
    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setDefault(true);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(e_procedure);
    layout->addWidget(Label2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    layout->addLayout(buttons);
    resize(360, sizeHint().height());
    connect(Button1, &QPushButton::clicked, this, &Tf_processes_ask::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    e_procedure->setFocus();
}

void Tf_processes_ask::Button1Click() {
    m_procedure = e_procedure->text().left(kProcedureLength);
    accept();
}

Tf_processes_self::Tf_processes_self(OstrimConfig& config, DbProcHandle process, QWidget* parent)
    : ProcessMonitor(config, process, parent) {
    setObjectName("f_processes_self");
    ToolBar1->addSeparator();
    ToolButton4 = addToolButton(ToolBar1, "ToolButton4", "Blocking",
                                themeOrGlyph("view-list-tree", QStringLiteral("⤷"), glyphFont(16)));
    ToolButton4->setText("Blocking");
    ToolButton4->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolButton4->setCheckable(true);
    ToolButton4->setEnabled(false);
    setView(createView());
    g_processes->setDbProc(process);
    Config1 = new QAction("&Config", this);
    Config1->setObjectName("Config1");
    run_timer.setObjectName("run_timer");
    run_timer.setInterval(50);
    connect(&run_timer, &QTimer::timeout, this, &Tf_processes_self::run_timerTimer);
    connect(ToolButton4, &QToolButton::clicked, this, &Tf_processes_self::ToolButton4Click);
    connect(Config1, &QAction::triggered, this, &Tf_processes_self::Config1Click);
    connect(tv_blocking, &QTreeWidget::itemSelectionChanged, this,
            &Tf_processes_self::blockingItemSelected);
}

Tf_processes_self::~Tf_processes_self() = default;

QWidget* Tf_processes_self::createView() {
    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    g_processes = new TSybGrid(Splitter1);
    g_processes->setObjectName("g_processes");
    g_processes->setAutoDbProc(false);
    g_processes->setBackground(false);
    g_processes->setShowLineNum(true);
    g_processes->setShowRowCount(true);
    g_processes->setSelectionBehavior(QAbstractItemView::SelectRows);
    g_processes->setSelectionMode(QAbstractItemView::SingleSelection);
    g_processes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g_processes->setItemDelegate(new ProcessRowDelegate(g_processes));
    tv_blocking = new QTreeWidget(Splitter1);
    tv_blocking->setObjectName("tv_blocking");
    tv_blocking->setHeaderLabels({"Process", "Login", "Database", "Command", "Waited (s)"});
    tv_blocking->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tv_blocking->hide();
    Splitter1->addWidget(g_processes);
    Splitter1->addWidget(tv_blocking);
    Splitter1->setStretchFactor(0, 3);
    Splitter1->setStretchFactor(1, 2);
    return Splitter1;
}

QList<GroupedMenu> Tf_processes_self::childMenus() const {
    return {{0, File1}, {1, Config1}};
}

void Tf_processes_self::FormActivate() {
    run_timer.start();
}

void Tf_processes_self::run_timerTimer() {
    // The first tick lets the window show itself; the second reloads.
    if (!m_ticked) {
        m_ticked = true;
        return;
    }
    m_ticked = false;
    run_timer.stop();
    reload();
}

void Tf_processes_self::reload() {
    showStoredDelay();
    g_processes->setSql(m_config.ProcessesSProc);
    if (!connectionReady())
        return;
    // Painted once when complete, not row by row.
    g_processes->setUpdatesEnabled(false);
    g_processes->Execute();
    g_processes->setUpdatesEnabled(true);
    if (RememberedRow == 0)
        RememberedRow = 1;
    // The last process rather than the row count that follows it.
    RememberedRow = std::min(RememberedRow, lastProcessRow(*g_processes));
    g_processes->setCurrentIndex(g_processes->model()->index(RememberedRow, 1));
    g_processes->selectRow(RememberedRow);
    // A reload of the timer while the user works in another window leaves the focus there.
    const auto* sub = qobject_cast<const QMdiSubWindow*>(parentWidget());
    if (!sub || !sub->mdiArea() || sub->mdiArea()->activeSubWindow() == sub)
        g_processes->setFocus();
    showBlocking();
    emit reloaded();
}

void Tf_processes_self::rememberRow() {
    const QModelIndex current = g_processes->currentIndex();
    if (current.isValid())
        RememberedRow = current.row();
}

void Tf_processes_self::ToolButton2Click() {
    rememberRow();
    FormActivate();
}

void Tf_processes_self::ToolButton3Click() {
    const int spidColumn = columnNamed(*g_processes, {"spid"});
    if (spidColumn == 0) {
        Dialogs::message("SPID could not be found!", "Error", QMessageBox::Warning);
        return;
    }
    const QModelIndex current = g_processes->currentIndex();
    const int row = current.isValid() ? current.row() : kNamesRow;
    // The rows after the first result set hold no process: a number there is not a spid.
    if (row > lastProcessRow(*g_processes))
        return;
    const QString spid = g_processes->cell(spidColumn, row).trimmed().left(kSpidLength);
    if (g_processes->rowCount() <= 1 || !connectionReady(true))
        return;
    query_process->setSql("kill " + spid);
    query_process->Execute();
    ToolButton2Click();
}

void Tf_processes_self::ToolButton4Click() {
    tv_blocking->setVisible(ToolButton4->isChecked());
}

void Tf_processes_self::Config1Click() {
    Tf_processes_ask ask(m_config.ProcessesSProc, this);
    if (Dialogs::exec(ask) == QDialog::Accepted)
        g_processes->setSql(m_config.ProcessesSProc);
}

int Tf_processes_self::rowOfProcess(int spid) const {
    const auto it = m_rowOf.find(spid);
    return it == m_rowOf.end() ? 0 : it->second;
}

void Tf_processes_self::showBlocking() {
    auto* delegate = static_cast<ProcessRowDelegate*>(g_processes->itemDelegate());
    delegate->waitingRows.clear();
    delegate->headRows.clear();
    m_rowOf.clear();
    m_blocking = {};
    const int spidColumn = columnNamed(*g_processes, {"spid"});
    const int blockerColumn = columnNamed(*g_processes, {"blk_spid", "blk", "blocked"});
    m_details = {columnNamed(*g_processes, {"loginame", "login", "loginname", "suser_name"}),
                 columnNamed(*g_processes, {"dbname", "database", "db_name"}),
                 columnNamed(*g_processes, {"cmd", "command"}),
                 columnNamed(*g_processes, {"time_blocked", "waited", "wait_time"})};
    const bool known = spidColumn != 0 && blockerColumn != 0;
    ToolButton4->setEnabled(known);
    if (known) {
        std::vector<ProcessWait> waits;
        for (int row = kNamesRow + 1; row <= lastProcessRow(*g_processes); ++row) {
            bool valid = false;
            const int spid = g_processes->cell(spidColumn, row).trimmed().toInt(&valid);
            if (!valid || m_rowOf.contains(spid))
                continue;
            m_rowOf[spid] = row;
            waits.push_back({spid, g_processes->cell(blockerColumn, row).trimmed().toInt()});
        }
        m_blocking = blockingChains(waits);
        for (const int spid : m_blocking.waiting)
            delegate->waitingRows.insert(m_rowOf[spid]);
        for (const int spid : m_blocking.heads)
            delegate->headRows.insert(m_rowOf[spid]);
    }
    fillBlockingTree();
    g_processes->viewport()->update();
}

void Tf_processes_self::fillBlockingTree() {
    const QSignalBlocker blocker(tv_blocking);
    tv_blocking->clear();
    const auto detail = [this](int column, int row) {
        return column != 0 && row != 0 ? g_processes->cell(column, row).trimmed() : QString();
    };
    const std::function<void(QTreeWidgetItem*, const ChainNode&)> add = [&](QTreeWidgetItem* parent,
                                                                            const ChainNode& node) {
        const int row = rowOfProcess(node.spid);
        QString process = QString::number(node.spid);
        if (node.unlisted)
            process += " (not listed)";
        if (node.deadlock)
            process += " (deadlock)";
        auto* item = new QTreeWidgetItem(
            {process, detail(m_details.login, row), detail(m_details.database, row),
             detail(m_details.command, row), detail(m_details.waited, row)});
        item->setData(0, kSpidRole, node.spid);
        if (m_blocking.heads.contains(node.spid)) {
            QFont bold = item->font(0);
            bold.setBold(true);
            item->setFont(0, bold);
        } else if (m_blocking.waiting.contains(node.spid)) {
            for (int c = 0; c < item->columnCount(); ++c)
                item->setBackground(c, kWaitingTint);
        }
        if (parent)
            parent->addChild(item);
        else
            tv_blocking->addTopLevelItem(item);
        for (const ChainNode& waiter : node.waiters)
            add(item, waiter);
    };
    for (const ChainNode& chain : m_blocking.chains)
        add(nullptr, chain);
    // Only the details the result has.
    const int detailColumns[] = {m_details.login, m_details.database, m_details.command,
                                 m_details.waited};
    for (int i = 0; i < 4; ++i)
        tv_blocking->setColumnHidden(i + 1, detailColumns[i] == 0);
    if (m_blocking.chains.empty()) {
        auto* none = new QTreeWidgetItem(
            {ToolButton4->isEnabled() ? "No process is blocked" : "The result names no blocker"});
        none->setFlags(Qt::NoItemFlags);
        tv_blocking->addTopLevelItem(none);
    }
    tv_blocking->expandAll();
}

void Tf_processes_self::blockingItemSelected() {
    const QList<QTreeWidgetItem*> selected = tv_blocking->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = rowOfProcess(selected.first()->data(0, kSpidRole).toInt());
    if (row == 0)
        return;
    g_processes->setCurrentIndex(g_processes->model()->index(row, 1));
    g_processes->selectRow(row);
}

void Tf_processes_self::closeEvent(QCloseEvent* event) {
    run_timer.stop();
    ProcessMonitor::closeEvent(event);
}

Tf_processes_self* execute_processes2(Tmain& main, DbProcHandle process) {
    auto* monitor = new Tf_processes_self(main.config, process);
    Tf_processes_self::RememberedRow = 1;
    main.addChild(monitor, false)->showMaximized();
    return monitor;
}

} // namespace ostrim
