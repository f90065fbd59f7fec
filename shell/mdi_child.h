#pragma once
// What the frame asks of a child window: the menus it merges while active, and the news that
// it has become the active child.

#include "menu_merge.h"

namespace ostrim {

class MdiChild {
public:
    virtual ~MdiChild() = default;
    virtual QList<GroupedMenu> childMenus() const = 0;
    // Called when the child becomes the active one, not again while it stays active.
    virtual void childActivated() = 0;
};

} // namespace ostrim
