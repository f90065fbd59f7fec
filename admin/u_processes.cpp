#include "u_processes.h"

#include "sybquery.h"
#include "u_main.h"

#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QVBoxLayout>

#include <array>

namespace ostrim {

namespace {

constexpr int kSpidLength = 5;

// The result columns of sp_ostrim_who the line shows, in the line's order.
constexpr std::array<int, 6> kLineColumns{1, 2, 3, 7, 5, 6};

} // namespace

Tf_processes::Tf_processes(OstrimConfig& config, DbProcHandle process, QWidget* parent)
    : ProcessMonitor(config, process, parent) {
    setObjectName("f_processes");
    setView(createList());
    RememberedIndex = 0;
}

QWidget* Tf_processes::createList() {
    auto* view = new QWidget(this);
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QFont fixed(QStringLiteral("Courier"));
    fixed.setStyleHint(QFont::TypeWriter);
    const int character = QFontMetrics(fixed).horizontalAdvance(QLatin1Char('0'));
    // The headings stand over the line's columns, in the list's font.
    auto* headings = new QWidget(view);
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
    l_processes = new QListWidget(view);
    l_processes->setObjectName("l_processes");
    l_processes->setFont(fixed);
    layout->addWidget(l_processes, 1);
    return view;
}

void Tf_processes::FormActivate() {
    showStoredDelay();
    if (!connectionReady())
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

void Tf_processes::ToolButton2Click() {
    RememberedIndex = l_processes->currentRow();
    FormActivate();
}

void Tf_processes::ToolButton3Click() {
    const QListWidgetItem* line = l_processes->currentItem();
    if (!line || !connectionReady(true))
        return;
    query_process->setSql("kill " + line->text().left(kSpidLength).trimmed());
    query_process->Execute();
    ToolButton2Click();
}

Tf_processes* execute_processes(Tmain& main, DbProcHandle process) {
    auto* monitor = new Tf_processes(main.config, process);
    main.addChild(monitor, false)->showMaximized();
    return monitor;
}

} // namespace ostrim
