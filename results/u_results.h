#pragma once
// Tresults_form: runs one script from a server window and shows every result set in its grid;
// then copies, cuts, prints, saves and exports the rows. A background load can be paused,
// resumed and aborted while the window stays usable.

#include "mdi_child.h"
#include "run_options.h"
#include "u_main.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <memory>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QStatusBar;
class QToolBar;
class QToolButton;

namespace ostrim {

class BusyConnection;
class MessagePane;
struct RunMessage;
class TAnimatedBitmap;
class TSybDatabase;
class TSybGrid;
class TSybQuery;

class Tresults_form : public QWidget, public MdiChild {
    Q_OBJECT
public:
    // Created by the frame's execute_results: shown maximised at once, the run starts on the
    // second tick of results_timer.
    Tresults_form(Tmain& main, const RunParameters& run);
    ~Tresults_form() override;

    static Tresults_form* open(Tmain& main, const RunParameters& run);

    TSybGrid* results_grid = nullptr;
    TSybQuery* query = nullptr;
    TSybDatabase* sybase_results = nullptr;
    QTimer results_timer;
    QTimer run_timer;
    TAnimatedBitmap* run_image = nullptr;
    QToolBar* ToolBar2 = nullptr;
    QStatusBar* results_statusbar = nullptr;
    // In the status bar: rows loaded, time taken and the state of the load.
    QLabel* results_status = nullptr;
    // With MessagesInResults: the grid over the pane of the run's messages.
    QSplitter* results_splitter = nullptr;
    MessagePane* messages = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction *Cut1 = nullptr, *Copyall1 = nullptr, *Copyselected1 = nullptr;
    QAction *Printall1 = nullptr, *Printselected1 = nullptr, *Font1 = nullptr;
    QMenu* File1 = nullptr;
    QAction *Saveall1 = nullptr, *Saveselected1 = nullptr, *Export1 = nullptr, *Close1 = nullptr;

    bool StartPending = false;
    DbProcHandle ResultsDbProc;
    const RunParameters& run() const { return m_run; }

    QToolButton* toolButton(int number) const;

    // The commands.
    void CloseFormClick();
    void CopyAllClick();
    void CopySelectedClick();
    void CutClick();
    void PrintAllClick();
    void PrintSelectedClick();
    void SaveAllClick();
    void SaveSelectedClick();
    void Export1Click();
    void ChangeFontClick();
    void ViewSqlClick();
    void AbortClick();
    void PauseClick();
    void ResumeClick();
    // Esc with the keyboard in the grid.
    void EscapeInGrid();

    // A background load that has not ended.
    bool loadRunning() const;
    // Puts the caret of the editor the run came from on line and selects the line.
    void showEditorLine(int line);

    QList<GroupedMenu> childMenus() const override;
    void childActivated() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createCommands();
    void results_timerTimer();
    void run_timerTimer();
    void startRun();
    // Asks "Query still executing. Continue ?" while a load runs; false on No.
    bool confirmRunning();
    // Stops the loader and the server's statement, waits for them a few seconds at most with
    // the event loop running (TSybGrid::StopLoader), then closes the connection.
    void stopLoad();
    void showLoadState();
    int editorLine(const RunMessage& message) const;
    void printLines(const QStringList& lines);
    void saveLines(const QStringList& lines);
    QString askSaveName();

    Tmain& m_main;
    RunParameters m_run;
    bool m_closeConfirmed = false;
    // The server window's connection, reserved from creation until the run has left it, so
    // that nothing else sends on it in between.
    std::unique_ptr<BusyConnection> m_borrowed;
    // The connection was already reserved by another run when this window was created.
    bool m_borrowRefused = false;
    QElapsedTimer m_loadTime;
    qint64 m_loadMs = -1; // when the load has ended
};

} // namespace ostrim
