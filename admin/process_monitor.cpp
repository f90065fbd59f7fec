#include "process_monitor.h"

#include "busy_connection.h"
#include "config_file.h"
#include "dialogs.h"
#include "glyph_icon.h"
#include "sybdatabase.h"
#include "sybquery.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <optional>

namespace ostrim {

namespace {

constexpr int kLineLength = 75;

std::optional<int> delayOf(const QLineEdit* edit) {
    bool valid = false;
    const int seconds = edit->text().trimmed().toInt(&valid);
    return valid && seconds >= 0 ? std::optional<int>(seconds) : std::nullopt;
}

QIcon themeIcon(const QWidget* widget, const char* name, QStyle::StandardPixmap fallback) {
    return QIcon::fromTheme(name, widget->style()->standardIcon(fallback));
}

} // namespace

ProcessMonitor::ProcessMonitor(OstrimConfig& config, DbProcHandle process, QWidget* parent)
    : QWidget(parent), m_config(config) {
    setWindowTitle("Processes");
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolButton1 = addToolButton(ToolBar1, "ToolButton1", "Close",
                                themeIcon(this, "window-close", QStyle::SP_DialogCloseButton));
    ToolButton2 = addToolButton(ToolBar1, "ToolButton2", "Refresh",
                                themeIcon(this, "view-refresh", QStyle::SP_BrowserReload));
    ToolButton3 = addToolButton(ToolBar1, "ToolButton3", "Kill Process",
                                themeIcon(this, "process-stop", QStyle::SP_BrowserStop));
    m_layout->addWidget(ToolBar1);

    Panel2 = new QWidget(this);
    Panel2->setObjectName("Panel2");
    Label7 = new QLabel("Delay (sec)", Panel2);
    Label7->setObjectName("Label7");
    e_delay = new QLineEdit(Panel2);
    e_delay->setObjectName("e_delay");
    e_delay->setInputMask("00; ");
    e_delay->setFixedWidth(e_delay->fontMetrics().horizontalAdvance("000") + 12);
    chk_repeat = new QCheckBox("Repeat", Panel2);
    chk_repeat->setObjectName("chk_repeat");
    chk_repeat->setLayoutDirection(Qt::RightToLeft);
    auto* row = new QHBoxLayout(Panel2);
    row->setContentsMargins(6, 3, 6, 3);
    row->addWidget(Label7);
    row->addWidget(e_delay);
    row->addSpacing(12);
    row->addWidget(chk_repeat);
    row->addStretch();
    m_layout->addWidget(Panel2);
    tim_delay = &m_delayTimer;
    tim_delay->setObjectName("tim_delay");

    query_process = new TSybQuery(this);
    query_process->setObjectName("query_process");
    query_process->setAutoDbProc(false);
    query_process->setDbProc(process);
    m_owner = TSybDatabase::connectionOwner(process);

    File1 = new QMenu("&File", this);
    File1->setObjectName("File1");
    Close1 = File1->addAction("&Close");
    Close1->setObjectName("Close1");

    connect(ToolButton1, &QToolButton::clicked, this, &ProcessMonitor::ToolButton1Click);
    connect(Close1, &QAction::triggered, this, &ProcessMonitor::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, [this] { ToolButton2Click(); });
    connect(tim_delay, &QTimer::timeout, this, [this] { ToolButton2Click(); });
    connect(ToolButton3, &QToolButton::clicked, this, [this] { ToolButton3Click(); });
    connect(chk_repeat, &QCheckBox::clicked, this, &ProcessMonitor::chk_repeatClick);
}

void ProcessMonitor::setView(QWidget* view) {
    m_layout->insertWidget(1, view, 1);
}

QList<GroupedMenu> ProcessMonitor::childMenus() const {
    return {{0, File1}};
}

void ProcessMonitor::ToolButton1Click() {
    closeChildWindow(*this);
}

void ProcessMonitor::showStoredDelay() {
    e_delay->setText(QString::number(m_config.ProcessesDelay));
}

void ProcessMonitor::chk_repeatClick() {
    const std::optional<int> seconds = delayOf(e_delay);
    if (seconds)
        m_config.ProcessesDelay = *seconds;
    tim_delay->stop();
    if (chk_repeat->isChecked() && !seconds) {
        chk_repeat->setChecked(false);
        Dialogs::message("Please enter the delay in seconds.", "Processes", QMessageBox::Warning);
    } else if (chk_repeat->isChecked() && *seconds > 0) {
        // No delay never fires: a timer without interval would reload without pause.
        tim_delay->start(*seconds * 1000);
    }
}

bool ProcessMonitor::connectionReady(bool sayWhyNot) {
    const DbProcHandle process = query_process->DbProc();
    if (!m_owner || !m_owner->Connected() || m_owner->DbProc() != process) {
        closeChildWindow(*this);
        return false;
    }
    if (BusyConnection::isBusy(process)) {
        if (sayWhyNot)
            Dialogs::message("A results window is still loading rows on this connection. Wait "
                             "until they are in, or abort that run.",
                             "Processes", QMessageBox::Warning);
        return false;
    }
    return !insideDbLibBox();
}

void ProcessMonitor::closeEvent(QCloseEvent* event) {
    if (const std::optional<int> seconds = delayOf(e_delay))
        m_config.ProcessesDelay = *seconds;
    tim_delay->stop();
    event->accept();
}

void ProcessMonitor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        ToolButton1Click();
    else
        QWidget::keyPressEvent(event);
}

QString processLine(const QStringList& values) {
    struct Field {
        int column;
        int width;
    };
    static constexpr std::array<Field, 6> kFields{
        {{1, 5}, {7, 12}, {21, 10}, {33, 20}, {55, 5}, {62, 15}}};
    QString line(kLineLength, QLatin1Char(' '));
    for (std::size_t i = 0; i < kFields.size() && i < std::size_t(values.size()); ++i) {
        line.insert(kFields[i].column - 1, values[qsizetype(i)].left(kFields[i].width));
        line.truncate(kLineLength);
    }
    return line;
}

} // namespace ostrim
