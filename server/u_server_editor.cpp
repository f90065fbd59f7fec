// Editor services: speedwords, bookmarks, comments, search, line jump, fonts and text modes.

#include "u_server.h"

#include <QAction>
#include <QToolButton>

namespace ostrim {

void Tserverform::createEditorServices() {
    // Still to come: disabled rather than doing nothing.
    for (int number : {32, 25, 19, 21, 22, 33})
        toolButton(number)->setEnabled(false);
    for (QAction* a : {Find1, Findnext1, Replace1, GotoLineNumber1, Fonts1})
        a->setEnabled(false);
}

} // namespace ostrim
