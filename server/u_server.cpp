#include "u_server.h"

#include "u_config.h"

#include "busy_connection.h"
#include "dialogs.h"
#include "file_error_box.h"
#include "profile_file.h"
#include "program_dir.h"
#include "sql_completion.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_main.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextEdit>

#include <functional>

namespace ostrim {

namespace {

constexpr int kTitlePrefixLength = 50;

// The frame's configuration does not carry this key: the window reads and writes it itself.
const QString kRun = QStringLiteral("Run");
const QString kShowHiddenCommands = QStringLiteral("ShowHiddenCommands");

int readShowHiddenCommands() {
    ProfileFile profile;
    if (!profile.load(configFilePath()))
        return 0;
    return profile.readInteger(kRun, kShowHiddenCommands, 0);
}

IoResult writeShowHiddenCommands(int value) {
    ProfileFile profile;
    if (IoResult loaded = profile.load(configFilePath()); !loaded)
        return loaded;
    profile.writeInteger(kRun, kShowHiddenCommands, value);
    return profile.save(configFilePath());
}

// server/database:user, cut so that a long name does not grow the caption.
QString captionPrefix(const QString& first, const QString& second, const QString& user) {
    return QString(first + "/" + second + ":" + user).left(kTitlePrefixLength);
}

ServerOptions optionsFrom(const OstrimConfig& c) {
    ServerOptions o;
    o.ShowPlan = c.ShowPlan;
    o.NoExec = c.NoExec;
    o.CheckSyntax = c.CheckSyntax;
    o.ShowIo = c.ShowIo;
    o.ShowTime = c.ShowTime;
    o.ArithAbort = c.ArithAbort;
    o.ArithIgnore = c.ArithIgnore;
    o.ShowNonAnsi = c.ShowNonAnsi;
    o.ExecSelected = c.ExecSelected;
    o.SeperateDBProc = c.SeperateDBProc;
    o.RichText = c.RichText;
    o.OpenNewWindow = c.OpenNewWindow;
    o.AppendGo = c.AppendGo;
    o.AppendPaste = c.AppendPaste;
    o.PasteCREATE = c.PasteCREATE;
    o.PasteDROP = c.PasteDROP;
    return o;
}

} // namespace

Tserverform::Tserverform(Tmain& main) : m_main(main) {
    setObjectName("serverform");
    createControls();
    createMenus();
    createToolBars();
    createTypePanel();
    createServices();
    connectCommands();
    connect(&ConnectionWatch::instance(), &ConnectionWatch::connectionLost, this,
            &Tserverform::connectionLost);
}

void Tserverform::createServices() {
    m_editor = std::make_unique<EditorServices>(
        EditorServices::Widgets{this, memo, speed_edit1, edt_bookmark1, edt_bookmark2,
                                statusPanels[0], statusPanels[1], statusPanels[2]},
        EditorServices::Document{Modified, QuietChange, Bookmarks}, m_main.tools.speedwords);
    FindDialog1 = m_editor->findDialog();
    ReplaceDialog1 = m_editor->replaceDialog();
    FileServices::Document document{DocName,
                                    SaveName,
                                    Modified,
                                    QuietChange,
                                    Bookmarks,
                                    options,
                                    std::bind_front(&Tserverform::showCaption, this),
                                    std::bind_front(&EditorServices::speedwordsOn, m_editor.get())};
    m_files = std::make_unique<FileServices>(
        m_main, FileServices::Widgets{this, memo, cmb_history, statusPanels[3], hist}, document);
    m_run = std::make_unique<RunStep>(m_main, *sybase, query, *memo, options,
                                      std::bind_front(&FileServices::addSqlHistory, m_files.get()));
    auto databaseSwitched = [this](const QString& database) {
        m_completer->setDatabase(database);
        TitlePrefix = captionPrefix(sybase->ServerName(), database, sybase->UserName());
        showCaption();
    };
    ObjectBrowser::Window window{options, SaveName,
                                 std::bind_front(&RunStep::connectionFree, m_run.get()),
                                 databaseSwitched};
    m_objects = std::make_unique<ObjectBrowser>(
        *sybase, query,
        ObjectBrowser::Widgets{type_list, object_list, column_list, memo, cmb_history,
                               findChild<QAction*>("PasteSQLHistory1")},
        window);
    // After the editor services' key hooks: the popup takes its keys before they see them.
    m_completer = new SqlCompleter(memo, [this] { return sybase->loginValues(); });
    connect(m_completer, &SqlCompleter::inserted, m_editor.get(), &EditorServices::wordCompleted);
}

void Tserverform::applyEditorOptions() {
    m_editor->setColouring(m_main.config.SyntaxColours);
    memo->setLineNumbers(m_main.config.LineNumbers);
    m_completer->setEnabled(m_main.config.Completion);
}

Tserverform::~Tserverform() {
    sybase->disconnect();
    write_ini();
}

Tserverform* Tserverform::open(Tmain& main) {
    auto* window = new Tserverform(main);
    // Shown only once connected, so no empty window stands behind the login dialog.
    QMdiSubWindow* sub = main.addChild(window, false);
    QObject::connect(sub, &QMdiSubWindow::windowStateChanged, window,
                     [window] { window->updateCaption(); });
    window->FormCreate();
    if (!window->sybase->Connected()) {
        // An open meant for this window must not land in another one's text.
        main.openDialogPending = 0;
        delete sub; // and the window with it, which writes the configuration as it goes
        if (main.mdiArea()->subWindowList().isEmpty())
            main.Window1->setEnabled(false);
        return nullptr;
    }
    sub->showMaximized();
    return window;
}

void Tserverform::FormCreate() {
    DocName = QStringLiteral("Untitled.sql");
    Modified = false;
    Bookmarks = {};
    const OstrimConfig& config = m_main.config;
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, configColor(config.TextBackGroundColor));
    palette.setColor(QPalette::Text, configColor(config.TextForeGroundColor));
    memo->setPalette(palette);
    memo->setTextColor(configColor(config.TextForeGroundColor));
    sybase->setAppName("Ostrim");

    // Connect: the configuration's last values and the login dialog; New: the last
    // connection's values and no dialog.
    if (m_main.windowOpenMode == 1) {
        sybase->setLoginPrompt(false);
        sybase->setUserName(m_main.lastConnection.user);
        sybase->setDBName(m_main.lastConnection.database);
        sybase->setServerName(m_main.lastConnection.server);
        sybase->setPassword(m_main.lastConnection.password);
    } else {
        sybase->setUserName(config.LastUser);
        sybase->setDBName(config.LastDbName);
        sybase->setServerName(config.LastServerName);
    }
    sybase->setLoginTimeOut(config.LoginTimeOut);
    sybase->connect();
    m_main.lastConnection = {sybase->UserName(), sybase->Password(), sybase->ServerName(),
                             sybase->DBName()};
    query->setDbProc(sybase->DbProc());
    column_list->setDbProc(sybase->DbProc());
    {
        // Emptying the new editor is no edit of the user's.
        const QSignalBlocker quiet(memo);
        memo->clear();
    }
    column_list->setEditText({});
    setWindowTitle(sybase->ServerName());
    if (sybase->Connected()) {
        m_main.Disconnect1->setEnabled(true);
        m_main.Disconnectall1->setEnabled(true);
        type_list->setCurrentIndex(0);
        m_objects->listDatabases();
        object_list->setCurrentIndex(0);
        TitlePrefix = captionPrefix(sybase->ServerName(), sybase->DBName(), sybase->UserName());
    }
    // A window whose login failed is closed by open(), which created it.
    options = optionsFrom(config);
    options.ShowHiddenCommands = readShowHiddenCommands();
    showHiddenCommands();
    m_completer->setDatabase(sybase->DBName());
    applyEditorOptions();
    QuietChange = false;
    refresh_history();
    read_sql_history();
    m_editor->showCaretPosition();
    showCaption();
}

void Tserverform::connectionLost(DbProcHandle process) {
    // A results window still on the connection ends its own run first; one question at a time.
    if (process != sybase->DbProc() || !sybase->Connected() || m_askingReconnect ||
        BusyConnection::isBusy(process))
        return;
    m_askingReconnect = true;
    const bool reconnect =
        Dialogs::message("The connection to " + sybase->ServerName() + " was lost. Reconnect?",
                         "Connection lost", QMessageBox::Question,
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
    m_askingReconnect = false;
    if (!reconnect)
        return;
    sybase->disconnect();
    // The window's own values, password included: no dialog unless they no longer serve.
    sybase->setLoginPrompt(false);
    sybase->connect();
    if (!sybase->Connected()) {
        sybase->setLoginPrompt(true);
        sybase->connect();
    }
    // The login goes back into the window's database (DBName is kept).
    query->setDbProc(sybase->DbProc());
    column_list->setDbProc(sybase->DbProc());
    if (sybase->Connected())
        type_listChange();
}

void Tserverform::FormActivate() {
    m_editor->setTextMode(options.RichText);
    applyEditorOptions();
    speedwordsOn();
    memo->setFocus();
    m_files->openPending();
    refresh_history();
    refresh_tools();
    m_files->openCommandLineFile();
    m_objects->selectCurrentDatabase();
}

void Tserverform::updateCaption() {
    const QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
    if (!sybase->Connected() && TitlePrefix.isEmpty())
        return;
    const bool minimised = sub && sub->isMinimized();
    const QString& first = minimised ? sybase->DBName() : sybase->ServerName();
    const QString& second = minimised ? sybase->ServerName() : sybase->DBName();
    // Cut as the prefix of creation is, so that a resize does not grow the caption.
    setWindowTitle(captionPrefix(first, second, sybase->UserName()) + " - " + DocName);
}

void Tserverform::showCaption() {
    setWindowTitle(TitlePrefix + " - " + DocName);
}

void Tserverform::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!TitlePrefix.isEmpty())
        updateCaption();
}

void Tserverform::closeEvent(QCloseEvent* event) {
    // Every close path asks about unsaved text: the frame's box, Disconnect, Disconnect all
    // and the program's exit; No keeps the window (and the program) open.
    if (!m_run->connectionFree() || !m_files->confirmDiscard()) {
        event->ignore();
        return;
    }
    sybase->disconnect();
    if (m_main.mdiArea()->subWindowList().size() <= 1)
        m_main.Window1->setEnabled(false);
    event->accept();
}

void Tserverform::ToolButton1Click() {
    if (!m_run->connectionFree())
        return;
    if (Modified) {
        if (!m_files->confirmDiscard())
            return;
        write_ini();
        sybase->disconnect();
    }
    closeChildWindow(*this);
}

void Tserverform::write_ini() {
    OstrimConfig config = m_main.config;
    config.LastUser = sybase->UserName();
    config.LastDbName = sybase->DBName();
    config.LastServerName = sybase->ServerName();
    config.ShowPlan = options.ShowPlan;
    config.NoExec = options.NoExec;
    config.CheckSyntax = options.CheckSyntax;
    config.ShowIo = options.ShowIo;
    config.ShowTime = options.ShowTime;
    config.ArithAbort = options.ArithAbort;
    config.ArithIgnore = options.ArithIgnore;
    config.ShowNonAnsi = options.ShowNonAnsi;
    config.ExecSelected = options.ExecSelected;
    config.AppendGo = options.AppendGo;
    config.AppendPaste = options.AppendPaste;
    config.OpenNewWindow = options.OpenNewWindow;
    config.PasteCREATE = options.PasteCREATE;
    config.PasteDROP = options.PasteDROP;
    config.SeperateDBProc = options.SeperateDBProc;
    config.RichText = options.RichText;
    // After every key the frame's configuration writes, so it goes last in [Run].
    IoResult written = ostrim::write_ini(configFilePath(), config, m_main.recentFiles);
    if (written)
        written = writeShowHiddenCommands(options.ShowHiddenCommands);
    // Queued: this also runs while windows are being destroyed, no place for a nested loop.
    postIoFailure(written);
}

void Tserverform::memoChange() {
    if (m_editor->changingFormatOnly())
        return;
    Modified = true;
    statusPanels[3]->setText(QuietChange ? QString() : QStringLiteral("Modified"));
    QuietChange = false;
}

void Tserverform::ShowHint(const QString& hint) {
    server_statusbar2->showMessage(hint);
}

bool Tserverform::event(QEvent* event) {
    // Hints of the tool bars, buttons and menus come as status tips; the window's own hint
    // line shows them instead of the frame's.
    if (event->type() == QEvent::StatusTip) {
        ShowHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QWidget::event(event);
}

QList<GroupedMenu> Tserverform::childMenus() const {
    return {{0, File2}, {1, Edit1},    {2, Search1}, {3, Fonts1},
            {4, Run1},  {5, Options1}, {6, Tools1}};
}

} // namespace ostrim
