// The type, object and column lists, and the object text pasted into the editor.

#include "u_server.h"

#include <QToolButton>

namespace ostrim {

void Tserverform::createObjectServices() {
    // Still to come: disabled rather than doing nothing.
    toolButton(2)->setEnabled(false);
    for (const char* name : {"Pasteobjecttext1", "Pastecolumntext1"})
        findChild<QAction*>(name)->setEnabled(false);
}

} // namespace ostrim
