#include "connection_window.h"

#include "dialogs.h"
#include "program_dir.h"
#include "sybdatabase.h"
#include "u_main.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QVBoxLayout>

namespace ostrim {

ConnectionWindow::ConnectionWindow(Tmain& main)
    : m_main(main), m_sybase(new TSybDatabase(this)), m_info(new QLabel(this)) {
    setObjectName("serverform");
    m_sybase->setName("sybase");
    m_info->setObjectName("info");
    m_info->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_info->setMargin(12);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_info);
}

ConnectionWindow::~ConnectionWindow() {
    m_sybase->disconnect();
    write_ini();
    if (m_main.mdiArea()->subWindowList().size() <= 1)
        m_main.Window1->setEnabled(false);
}

ConnectionWindow* ConnectionWindow::open(Tmain& main) {
    auto* window = new ConnectionWindow(main);
    // Shown only once connected, so no empty window stands behind the login dialog.
    QMdiSubWindow* sub = main.addChild(window, false);
    window->FormCreate();
    if (!window->m_sybase->Connected()) {
        delete sub; // and the window with it, which writes the configuration as it goes
        return nullptr;
    }
    sub->showMaximized();
    return window;
}

void ConnectionWindow::FormCreate() {
    m_sybase->setAppName("Ostrim");
    // Connect: the configuration's last values and the login dialog; New: the last
    // connection's values and no dialog.
    if (m_main.windowOpenMode == 1) {
        m_sybase->setLoginPrompt(false);
        m_sybase->setUserName(m_main.lastConnection.user);
        m_sybase->setDBName(m_main.lastConnection.database);
        m_sybase->setServerName(m_main.lastConnection.server);
        m_sybase->setPassword(m_main.lastConnection.password);
    } else {
        m_sybase->setUserName(m_main.config.LastUser);
        m_sybase->setDBName(m_main.config.LastDbName);
        m_sybase->setServerName(m_main.config.LastServerName);
    }
    m_sybase->connect();
    m_main.lastConnection = {m_sybase->UserName(), m_sybase->Password(), m_sybase->ServerName(),
                             m_sybase->DBName()};
    setWindowTitle(m_sybase->ServerName());
    if (!m_sybase->Connected())
        return;
    m_main.Disconnect1->setEnabled(true);
    m_main.Disconnectall1->setEnabled(true);
    const QString prefix =
        QString(m_sybase->ServerName() + "/" + m_sybase->DBName() + ":" + m_sybase->UserName())
            .left(50);
    setWindowTitle(prefix + " - Untitled.sql");
    m_info->setText(tr("Connected to %1 as %2, database %3.\n\n%4")
                        .arg(m_sybase->ServerName(), m_sybase->UserName(), m_sybase->DBName(),
                             m_sybase->DBVersion()));
}

void ConnectionWindow::write_ini() {
    // The last window to close leaves its login values in the file for the next Connect.
    OstrimConfig config = m_main.config;
    config.LastUser = m_sybase->UserName();
    config.LastDbName = m_sybase->DBName();
    config.LastServerName = m_sybase->ServerName();
    IoResult result = ostrim::write_ini(configFilePath(), config, m_main.recentFiles);
    // Queued: this runs while windows are being destroyed, no place for a nested event loop.
    if (!result)
        Dialogs::postMessage(result.fileName() + ": " + result.message(), "Ostrim",
                             QMessageBox::Critical);
}

} // namespace ostrim
