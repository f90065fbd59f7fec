#pragma once
// What the frame asks of a child window: the menus it merges while active, and the news that
// it has become the active child.

#include "menu_merge.h"

#include <QMdiSubWindow>

namespace ostrim {

class MdiChild {
public:
    virtual ~MdiChild() = default;
    virtual QList<GroupedMenu> childMenus() const = 0;
    // Called when the child becomes the active one, not again while it stays active.
    virtual void childActivated() = 0;
};

// Closes a child window of the frame together with the sub-window that frames it: closing the
// widget alone would leave an empty frame behind. Outside the frame, the widget closes.
inline void closeChildWindow(QWidget& child) {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(child.parentWidget()))
        sub->close();
    else
        child.close();
}

} // namespace ostrim
