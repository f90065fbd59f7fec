// The Tools menu with the user's external tools, and the launchers of the administration
// windows, which hand over this window's connection.

#include "dialogs.h"
#include "form_expert.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_config.h"
#include "u_db_search.h"
#include "u_ddl.h"
#include "u_devices.h"
#include "u_diff.h"
#include "u_main.h"
#include "u_modify.h"
#include "u_modify_form.h"
#include "u_processes.h"
#include "u_processes_self.h"
#include "u_server.h"
#include "u_speedword.h"
#include "u_tool_options.h"
#include "u_tree_main.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

namespace ostrim {

namespace {

// The first items of the Tools menu are the window's own; the tools follow them.
constexpr int kOwnToolItems = 10;

} // namespace

void Tserverform::launchers() {
    connect(Tools2, &QAction::triggered, this, &Tserverform::Tools2Click);
    connect(Speedwords1, &QAction::triggered, this, &Tserverform::Speedwords1Click);
    connect(Options1, &QAction::triggered, this, &Tserverform::Options1Click);
    connect(SearchDatabase2, &QAction::triggered, this, &Tserverform::SearchDatabase2Click);
    connect(ExploreServers1, &QAction::triggered, this, &Tserverform::ExploreServers1Click);
    connect(GenerateDDL2, &QAction::triggered, this, &Tserverform::GenerateDDL2Click);
    FindDifferences1->setEnabled(true);
    connect(Processes21, &QAction::triggered, this, &Tserverform::Processes21Click);
    connect(FindDifferences1, &QAction::triggered, this, &Tserverform::FindDifferences1Click);
    // A tool button's entry is connected with the tool bar, which is made after the menus.
    for (const HiddenCommand& command : hiddenCommands())
        if (command.item && !command.button)
            connect(command.item, &QAction::triggered, this, command.open);
}

std::vector<Tserverform::HiddenCommand> Tserverform::hiddenCommands() const {
    // The menus, and the launchers with them, are made before the tool bars.
    QAction* modifyData = nullptr;
    QToolButton* modifyButton = toolButton(26);
    if (ToolBar1)
        for (QAction* a : ToolBar1->actions())
            if (modifyButton && ToolBar1->widgetForAction(a) == modifyButton)
                modifyData = a;
    return {{Devices1, nullptr, &Tserverform::Devices1Click},
            {Processes1, nullptr, &Tserverform::Processes1Click},
            {modifyData, modifyButton, &Tserverform::ModifyData1Click}};
}

void Tserverform::showHiddenCommands() {
    // Both ways, so that the settings dialog can take them away again from a running window.
    const bool show = options.ShowHiddenCommands == 1;
    for (const HiddenCommand& command : hiddenCommands()) {
        if (!command.open || !command.item)
            continue;
        command.item->setVisible(show);
        command.item->setEnabled(show);
        if (command.button)
            command.button->setEnabled(show);
    }
}

void Tserverform::Speedwords1Click() {
    Tf_speedword speedwords(m_main, this);
    Dialogs::exec(speedwords);
}

void Tserverform::Options1Click() {
    Tf_config config({options, m_main.config, *memo,
                      std::bind_front(&EditorServices::switchTextMode, m_editor.get()),
                      std::bind_front(&FileServices::readSqlHistory, m_files.get())},
                     this);
    if (Dialogs::exec(config) != QDialog::Accepted)
        return;
    config.takeBack();
    showHiddenCommands();
    applyEditorOptions();
    sybase->setLoginTimeOut(m_main.config.LoginTimeOut);
    // Now, not when the window closes: the next Connect reads the file again.
    write_ini();
}

void Tserverform::Devices1Click() {
    Tf_devices devices(this);
    Dialogs::exec(devices);
}

void Tserverform::Processes21Click() {
    execute_processes2(m_main, sybase->DbProc());
}

void Tserverform::Processes1Click() {
    execute_processes(m_main, sybase->DbProc());
}

void Tserverform::ModifyData1Click() {
    ModifyRequest request;
    if (!runFormExpert(this, FormExpertPages::program(), sybase->DbProc(), sybase->DBName(),
                       request))
        return;
    // Both views connect with this window's login, in the database the expert listed: a "use"
    // run in the window may have left its connection in another database than the login's.
    QString database = sybase->DBName();
    TSybQuery current;
    current.setAutoDbProc(false);
    current.setDbProc(sybase->DbProc());
    current.setSql("select db_name()");
    if (current.Execute() == kSucceed && current.Next() == kMoreRows)
        database = current.ColumnValue(1);
    while (current.Next() == kMoreRows) {
    }
    request.login = {sybase->ServerName(), sybase->UserName(), sybase->Password(), database};
    if (request.layout == ModifyLayout::Grid)
        Tf_modify::open(m_main, request);
    else
        Tf_modify_form::open(m_main, request);
}

void Tserverform::SearchDatabase2Click() {
    if (!m_run->connectionFree())
        return;
    Tf_db_search search(this);
    search.q_search->setDbProc(sybase->DbProc());
    search.q_search->setDbName(sybase->DBName());
    search.pasteSource = [this](const QString& kind, const QString& name) {
        m_objects->pasteStoredText(kind, name);
    };
    Dialogs::exec(search);
}

void Tserverform::ExploreServers1Click() {
    auto explorer = std::make_unique<Tf_treeview>(this);
    explorer->set_login(sybase->UserName(), sybase->Password(), sybase->ServerName());
    Dialogs::exec(*explorer);
}

void Tserverform::GenerateDDL2Click() {
    // A child of the frame with a connection of its own: it outlives nothing of this window's.
    auto* ddl = new Tf_ddl;
    m_main.addChild(ddl);
    ddl->openWith(sybase->UserName(), sybase->Password(), sybase->ServerName(), sybase->DBName());
}

void Tserverform::FindDifferences1Click() {
    auto* diff = new Tf_diff;
    diff->set_login(sybase->UserName(), sybase->Password(), sybase->ServerName());
    m_main.addChild(diff);
}

void Tserverform::refresh_tools() {
    const QList<QAction*> items = Tools1->actions();
    for (qsizetype i = kOwnToolItems; i < items.size(); ++i) {
        Tools1->removeAction(items[i]);
        if (items[i]->parent() == Tools1)
            delete items[i];
    }
    const ToolLists& tools = m_main.tools;
    if (tools.titles.isEmpty())
        return;
    Tools1->addSeparator();
    for (qsizetype i = 0; i < tools.titles.size(); ++i) {
        QAction* entry = Tools1->addAction(tools.titles[i]);
        const QString name = "tool" + QString::number(i);
        entry->setObjectName(name);
        connect(entry, &QAction::triggered, this, [this, name] { exec_tool(name); });
    }
}

void Tserverform::exec_tool(const QString& itemName) {
    bool valid = false;
    const int index = itemName.mid(4, 3).toInt(&valid);
    const ToolLists& tools = m_main.tools;
    if (!valid || index < 0 || index >= tools.titles.size())
        return;
    const QString program = index < tools.programs.size() ? tools.programs[index] : QString();
    const QString parameters =
        index < tools.parameters.size() ? tools.parameters[index] : QString();
    const QString workingDir =
        index < tools.workingDirs.size() ? tools.workingDirs[index] : QString();
    if (const int error = startTool(program, parameters, workingDir))
        Dialogs::message("Failed to execute program. Error Code " + QString::number(error),
                         "Closing results", QMessageBox::Critical);
}

void Tserverform::Tools2Click() {
    Tf_tool_options dialog(m_main, this);
    Dialogs::exec(dialog);
    refresh_tools();
}

} // namespace ostrim
