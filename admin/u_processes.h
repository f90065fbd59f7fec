#pragma once
// Tf_processes: the server's processes as sp_ostrim_who lists them, one fixed-column line each
// under six headings; refreshed on request or every few seconds, and kills the selected one.

#include "process_monitor.h"

class QLabel;
class QListWidget;

namespace ostrim {

class Tmain;

class Tf_processes : public ProcessMonitor {
    Q_OBJECT
public:
    Tf_processes(OstrimConfig& config, DbProcHandle process, QWidget* parent = nullptr);

    // The list line selected at the next refresh; program-wide, as the window is recreated.
    static inline int RememberedIndex = 0;

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QListWidget* l_processes = nullptr;

    // Activation and Refresh: lists the processes again, the remembered line selected.
    void FormActivate();
    void ToolButton2Click() override;
    void ToolButton3Click() override;

    void childActivated() override { FormActivate(); }

private:
    QWidget* createList();
};

// Opens the monitor on process as a child window of the frame, starting at the first line.
Tf_processes* execute_processes(Tmain& main, DbProcHandle process);

} // namespace ostrim
