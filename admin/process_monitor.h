#pragma once
// What the two process monitors share: the tool bar, the delay that repeats the refresh (kept
// with the frame's configuration), the File menu, and care for the connection they were handed,
// which belongs to a server window.

#include "mdi_child.h"
#include "sybase32.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;
class QVBoxLayout;

namespace ostrim {

struct OstrimConfig;
class TSybDatabase;
class TSybQuery;

class ProcessMonitor : public QWidget, public MdiChild {
    Q_OBJECT
public:
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr; // Close
    QToolButton* ToolButton2 = nullptr; // Refresh
    QToolButton* ToolButton3 = nullptr; // Kill Process
    TSybQuery* query_process = nullptr;
    QWidget* Panel2 = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* e_delay = nullptr;
    QCheckBox* chk_repeat = nullptr;
    QTimer* tim_delay = nullptr;
    QMenu* File1 = nullptr;
    QAction* Close1 = nullptr;

    void ToolButton1Click();
    // Refresh; each tick of tim_delay too.
    virtual void ToolButton2Click() = 0;
    virtual void ToolButton3Click() = 0;
    // "Repeat": a delay that is not a number stores nothing, and Repeat stays off.
    void chk_repeatClick();

    QList<GroupedMenu> childMenus() const override;

protected:
    ProcessMonitor(OstrimConfig& config, DbProcHandle process, QWidget* parent);
    // The monitor's own view goes between the tool bar and the delay.
    void setView(QWidget* view);
    void showStoredDelay();
    // Whether the window may send on its connection now: not while a background load reads from
    // it (said in a box when asked) or a box raised inside a DB-Library call is open. A
    // connection its owner has closed since closes the monitor.
    bool connectionReady(bool sayWhyNot = false);
    // Keeps the delay typed when it is a number.
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    OstrimConfig& m_config;

private:
    QVBoxLayout* m_layout = nullptr;
    // The server window's component the connection belongs to.
    QPointer<TSybDatabase> m_owner;
    QTimer m_delayTimer;
};

// One process line of the fixed-column list: the values of spid, status, login, command,
// blocking spid and database placed at columns 1, 7, 21, 33, 55 and 62 of a 75-character line,
// each cut to its width.
QString processLine(const QStringList& values);

} // namespace ostrim
