#pragma once
// What the two process monitors share: the repeat interval they keep with the frame's
// configuration, the tool bar and the test of the connection they were given.

#include "sybase32.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolBar;
class QToolButton;
class QWidget;

namespace ostrim {

// "Delay (sec)", the two-digit delay and "Repeat", with the timer they drive. The delay
// stored is the frame's ProcessesDelay.
class RepeatDelay : public QObject {
    Q_OBJECT
public:
    RepeatDelay(QWidget* panel, int& storedDelay, std::function<void()> tick);

    QLabel* label = nullptr;
    QLineEdit* edit = nullptr;
    QCheckBox* check = nullptr;
    QTimer timer;

    void showStored();
    // "Repeat" clicked. A delay that is not a number stores nothing, and Repeat stays off.
    void repeatClicked();
    // Keeps the delay typed when it is a number.
    void store();

private:
    int& m_stored;
};

struct MonitorButtons {
    QToolButton* close;
    QToolButton* refresh;
    QToolButton* kill;
};
MonitorButtons addMonitorButtons(QToolBar* bar);

// Whether a monitor may send on process now: still open (its server window may have closed
// it), not read by a background load, not inside a box raised within a DB-Library call.
bool monitorMaySend(DbProcHandle process);

// One process line of the fixed-column list: the values of spid, status, login, command,
// blocking spid and database placed at columns 1, 7, 21, 33, 55 and 62 of a 75-character line,
// each cut to its width.
QString processLine(const QStringList& values);

} // namespace ostrim
