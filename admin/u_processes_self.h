#pragma once
// Tf_processes_self: the server's processes as a stored procedure of the user's choice lists
// them (sp_who unless configured), refreshed on request or every few seconds; kills the
// selected process by the result's "spid" column. When the result names each process's
// blocker, it also shows who blocks whom.

#include "blocking_chain.h"
#include "process_monitor.h"

#include <QDialog>
#include <QTimer>

#include <map>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QToolButton;
class QTreeWidget;

namespace ostrim {

class Tmain;
class TSybGrid;

// "Self defined processes procedure": the name of the procedure the monitor runs.
class Tf_processes_ask : public QDialog {
    Q_OBJECT
public:
    explicit Tf_processes_ask(QString& procedure, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLineEdit* e_procedure = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // Cancel

    void Button1Click();

private:
    QString& m_procedure;
};

class Tf_processes_self : public ProcessMonitor {
    Q_OBJECT
public:
    // The procedure's name and the delay are the configuration's.
    Tf_processes_self(OstrimConfig& config, DbProcHandle process, QWidget* parent = nullptr);
    ~Tf_processes_self() override;

    // The grid row selected at the next reload; program-wide, as the window is recreated.
    static inline int RememberedRow = 1;

    QToolButton* ToolButton4 = nullptr; // Blocking
    QSplitter* Splitter1 = nullptr;
    TSybGrid* g_processes = nullptr;
    QTreeWidget* tv_blocking = nullptr;
    QTimer run_timer;
    QAction* Config1 = nullptr;

    void FormActivate();
    void run_timerTimer();
    void ToolButton2Click() override;
    void ToolButton3Click() override;
    void ToolButton4Click();
    void Config1Click();

    // The chains of the last reload; empty when the result does not say who waits on whom.
    const BlockingChains& blocking() const { return m_blocking; }
    // The grid row of the process, 0 when it is not listed.
    int rowOfProcess(int spid) const;

    QList<GroupedMenu> childMenus() const override;
    void childActivated() override { FormActivate(); }

signals:
    // A reload has filled the grid.
    void reloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* createView();
    void reload();
    void rememberRow();
    // Reads who waits on whom from the first result set, marks its rows and fills the tree.
    void showBlocking();
    void fillBlockingTree();
    void blockingItemSelected();

    bool m_ticked = false;
    BlockingChains m_blocking;
    // Grid rows by spid, and the column of each detail the tree shows (0: not in the result).
    std::map<int, int> m_rowOf;
    struct DetailColumns {
        int login = 0, database = 0, command = 0, waited = 0;
    } m_details;
};

// Opens the monitor on process as a child window of the frame, starting at grid row 1.
Tf_processes_self* execute_processes2(Tmain& main, DbProcHandle process);

} // namespace ostrim
