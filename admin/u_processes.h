#pragma once
// Tf_processes: the server's processes as sp_ostrim_who lists them, one fixed-column line each
// under six headings; refreshed on request or every few seconds, and kills the selected one.

#include "mdi_child.h"
#include "sybase32.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QTimer;
class QToolBar;
class QToolButton;

namespace ostrim {

struct OstrimConfig;
class RepeatDelay;
class Tmain;
class TSybQuery;

class Tf_processes : public QWidget, public MdiChild {
    Q_OBJECT
public:
    Tf_processes(OstrimConfig& config, DbProcHandle process, QWidget* parent = nullptr);

    // The list line selected at the next refresh; program-wide, as the window is recreated.
    static inline int RememberedIndex = 0;

    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolButton1 = nullptr; // Close
    QToolButton* ToolButton2 = nullptr; // Refresh
    QToolButton* ToolButton3 = nullptr; // Kill Process
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QListWidget* l_processes = nullptr;
    TSybQuery* query_process = nullptr;
    QLabel* Label7 = nullptr;
    QLineEdit* e_delay = nullptr;
    QCheckBox* chk_repeat = nullptr;
    QTimer* tim_delay = nullptr;
    QMenu* File1 = nullptr;
    QAction* Close1 = nullptr;

    // Activation and Refresh: lists the processes again, the remembered line selected.
    void FormActivate();
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void chk_repeatClick();

    QList<GroupedMenu> childMenus() const override;
    void childActivated() override { FormActivate(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void rememberIndex();

    OstrimConfig& m_config;
    RepeatDelay* m_repeat = nullptr;
};

// Opens the monitor on process as a child window of the frame, starting at the first line.
Tf_processes* execute_processes(Tmain& main, DbProcHandle process);

} // namespace ostrim
