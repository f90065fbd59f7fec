// Files, the recent-file list, the SQL history and printing.

#include "u_server.h"

#include <QAction>
#include <QToolButton>

namespace ostrim {

void Tserverform::createFileServices() {
    // Still to come: disabled rather than doing nothing.
    for (int number : {3, 4, 5, 6, 7})
        toolButton(number)->setEnabled(false);
    for (QAction* a : {New2, Open2, Save2, Saveas2, Print2, Printsetup2})
        a->setEnabled(false);
    findChild<QAction*>("PasteSQLHistory1")->setEnabled(false);
    for (QAction* h : hist)
        h->setEnabled(false);
}

} // namespace ostrim
