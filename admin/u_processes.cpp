#include "u_processes.h"

#include "process_monitor.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_main.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace ostrim {

namespace {

constexpr int kSpidLength = 5;

// The result columns of sp_ostrim_who the line shows, in the line's order.
constexpr std::array<int, 6> kLineColumns{1, 2, 3, 7, 5, 6};

} // namespace

Tf_processes::Tf_processes(OstrimConfig& config, DbProcHandle process, QWidget* parent)
    : QWidget(parent), m_config(config) {
    setObjectName("f_processes");
    setWindowTitle("Processes");
    createControls();
    query_process->setDbProc(process);
    RememberedIndex = 0;
    connect(ToolButton1, &QToolButton::clicked, this, &Tf_processes::ToolButton1Click);
    connect(Close1, &QAction::triggered, this, &Tf_processes::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &Tf_processes::ToolButton2Click);
    connect(ToolButton3, &QToolButton::clicked, this, &Tf_processes::ToolButton3Click);
}

void Tf_processes::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    const MonitorButtons buttons = addMonitorButtons(ToolBar1);
    ToolButton1 = buttons.close;
    ToolButton2 = buttons.refresh;
    ToolButton3 = buttons.kill;
    layout->addWidget(ToolBar1);

    QFont fixed(QStringLiteral("Courier"));
    fixed.setStyleHint(QFont::TypeWriter);
    const int character = QFontMetrics(fixed).horizontalAdvance(QLatin1Char('0'));
    // The headings stand over the line's columns, in the list's font.
    auto* headings = new QWidget(this);
    headings->setFont(fixed);
    headings->setMinimumHeight(QFontMetrics(fixed).height() + 6);
    const std::array<std::pair<const char*, int>, 6> columns{{{"Spid", 1},
                                                              {"Status", 7},
                                                              {"Login", 21},
                                                              {"Command", 33},
                                                              {"Blocked", 55},
                                                              {"Database", 62}}};
    std::array<QLabel*, 6> labels{};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        labels[i] = new QLabel(QString::fromLatin1(columns[i].first), headings);
        labels[i]->setObjectName(QStringLiteral("Label%1").arg(i + 1));
        // The list's text starts a frame and an item margin in.
        labels[i]->move((columns[i].second - 1) * character + 4, 3);
    }
    Label1 = labels[0];
    Label2 = labels[1];
    Label3 = labels[2];
    Label4 = labels[3];
    Label5 = labels[4];
    Label6 = labels[5];
    layout->addWidget(headings);

    l_processes = new QListWidget(this);
    l_processes->setObjectName("l_processes");
    l_processes->setFont(fixed);
    layout->addWidget(l_processes, 1);

    auto* panel = new QWidget(this);
    panel->setObjectName("Panel2");
    m_repeat = new RepeatDelay(panel, m_config.ProcessesDelay, [this] { ToolButton2Click(); });
    Label7 = m_repeat->label;
    e_delay = m_repeat->edit;
    chk_repeat = m_repeat->check;
    tim_delay = &m_repeat->timer;
    layout->addWidget(panel);

    query_process = new TSybQuery(this);
    query_process->setObjectName("query_process");
    query_process->setAutoDbProc(false);

    File1 = new QMenu("&File", this);
    File1->setObjectName("File1");
    Close1 = File1->addAction("&Close");
    Close1->setObjectName("Close1");
}

QList<GroupedMenu> Tf_processes::childMenus() const {
    return {{0, File1}};
}

void Tf_processes::FormActivate() {
    m_repeat->showStored();
    const DbProcHandle process = query_process->DbProc();
    if (!TSybDatabase::isOpenConnection(process)) {
        // Its server window has closed the connection: nothing is left to monitor.
        closeChildWindow(*this);
        return;
    }
    if (!monitorMaySend(process))
        return;
    query_process->setSql("execute sp_ostrim_who");
    if (query_process->Execute() != kSucceed)
        return;
    l_processes->clear();
    while (query_process->Next() == kMoreRows) {
        QStringList values;
        for (const int column : kLineColumns)
            values << query_process->ColumnValue(column);
        l_processes->addItem(processLine(values));
    }
    if (l_processes->count() <= RememberedIndex)
        RememberedIndex = l_processes->count() - 1;
    l_processes->setCurrentRow(RememberedIndex);
}

void Tf_processes::rememberIndex() {
    RememberedIndex = l_processes->currentRow();
}

void Tf_processes::ToolButton1Click() {
    closeChildWindow(*this);
}

void Tf_processes::ToolButton2Click() {
    rememberIndex();
    FormActivate();
}

void Tf_processes::ToolButton3Click() {
    const QListWidgetItem* line = l_processes->currentItem();
    if (!line || !monitorMaySend(query_process->DbProc()))
        return;
    query_process->setSql("kill " + line->text().left(kSpidLength).trimmed());
    query_process->Execute();
    ToolButton2Click();
}

void Tf_processes::chk_repeatClick() {
    m_repeat->repeatClicked();
}

void Tf_processes::closeEvent(QCloseEvent* event) {
    m_repeat->store();
    event->accept();
}

void Tf_processes::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        ToolButton1Click();
    else
        QWidget::keyPressEvent(event);
}

Tf_processes* execute_processes(Tmain& main, DbProcHandle process) {
    auto* monitor = new Tf_processes(main.config, process);
    Tf_processes::RememberedIndex = 0;
    main.addChild(monitor, false)->showMaximized();
    return monitor;
}

} // namespace ostrim
