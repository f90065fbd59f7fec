#pragma once
// Tmain: the program's frame. It holds the values all windows share, opens and closes server
// windows, arranges them and merges the active child's menus into its menu bar.

#include "config_file.h"
#include "history_file.h"
#include "menu_merge.h"
#include "recent_files.h"
#include "tools_file.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;

namespace ostrim {

// The connection values of the last server window that connected, for the next "New".
struct LastConnection {
    QString user, password, server, database;
};

// What a server window hands to the results window of one run (run_options.h, beside the
// connection it may lend).
struct RunParameters;

class Tmain : public QMainWindow {
    Q_OBJECT
public:
    // commandLineFile: the program's first argument, empty when none.
    explicit Tmain(const QString& commandLineFile = {}, QWidget* parent = nullptr);
    ~Tmain() override;

    // The one main window of the process (null before it exists).
    static Tmain* instance();

    QMdiArea* mdiArea() const { return m_mdi; }

    // Menu actions, by the names other windows and the tests use.
    QAction* Exit2 = nullptr;
    QAction* Connect1 = nullptr;
    QAction* Disconnect1 = nullptr;
    QAction* Disconnectall1 = nullptr;
    QAction* New1 = nullptr;
    QAction* TileVertical1 = nullptr;
    QAction* TileHorizontal1 = nullptr;
    QAction* Cascade1 = nullptr;
    QAction* ArrangeIcons1 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* About1 = nullptr;
    QMenu* Exit1 = nullptr; // "&File"
    QMenu* Server1 = nullptr;
    QMenu* Window1 = nullptr;
    QMenu* Help1 = nullptr;

    // The configuration values (re-read at every Connect), the external tools and speedwords,
    // and the recent-file list.
    OstrimConfig config;
    ToolLists tools;
    RecentFiles recentFiles;
    SqlHistory sqlHistory; // shared by every server window
    void read_ini();
    void read_tools();
    void write_tools();

    // Shared values (see the server window for how each is used).
    LastConnection lastConnection;
    int windowOpenMode = 0; // 0 opened by Connect, 1 by New
    QString commandLineFile;
    bool openAtStart = false;
    int openDialogPending = 0;
    QPointer<QWidget> currentServer;
    // The user guide that Help > Contents opens: share/ostrim/ beside the executable's bin/, where
    // both the installation and the build tree (a link to the source copy) keep it.
    QString userGuide;

    // Operations other windows call.
    void Connect1Click();
    void New1Click();
    void Disconnect1Click();
    void Disconnectall1Click();
    void About1Click();
    void Contents1Click();
    // Opens a results window for one run; it starts its work from the event loop.
    void execute_results(const RunParameters& run);
    QPointer<QWidget> lastResults; // the most recent results window

    // The active child's own menus, by group number; empty gives the frame's menus back.
    void mergeChildMenus(const QList<GroupedMenu>& menus);
    // Adds a child window to the frame; shown at once unless asked not to.
    QMdiSubWindow* addChild(QWidget* child, bool show = true);

    // Server windows belong to a later layer: it tells the frame how to make one. The factory
    // creates the window as a child of the frame (or returns null when it closed itself).
    using ServerWindowFactory = std::function<QWidget*(Tmain&)>;
    void setServerWindowFactory(ServerWindowFactory factory) { m_factory = std::move(factory); }
    using ResultsWindowFactory = std::function<QWidget*(Tmain&, const RunParameters&)>;
    void setResultsWindowFactory(ResultsWindowFactory factory) {
        m_resultsFactory = std::move(factory);
    }

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void createMenus();
    void FormActivate();
    void fillWindowMenu();
    void tileChildren(Qt::Orientation orientation);
    void arrangeIcons();
    void childActivated(QMdiSubWindow* sub);
    // Alt+X goes to Exit or to Disconnect, as the open windows' menus show it.
    void placeAltX();
    void showChildTitle(const QString& shown);

    QMdiArea* m_mdi = nullptr;
    ServerWindowFactory m_factory;
    ResultsWindowFactory m_resultsFactory;
    MenuMerger m_merger;
    QList<QAction*> m_windowListActions;
    bool m_autoConnected = false;
    QPointer<QMdiSubWindow> m_activeChild;
};

} // namespace ostrim
