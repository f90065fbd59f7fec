#pragma once
// Menu merging by group number: while a child window is active, its top-level menu bar items
// take the place of the frame's items that carry the same group numbers.

#include <QList>

class QAction;
class QMenu;
class QMenuBar;

namespace ostrim {

// A top-level item of a menu bar: a menu, or a command that stands in the bar itself.
struct GroupedMenu {
    GroupedMenu(int group_, QMenu* menu);
    GroupedMenu(int group_, QAction* command) : group(group_), item(command) {}
    int group = 0;
    QAction* item = nullptr;
};

// The items to show, in group order; a child's groups replace the frame's groups.
QList<QAction*> mergedMenus(const QList<GroupedMenu>& frame, const QList<GroupedMenu>& child);

class MenuMerger {
public:
    explicit MenuMerger(QMenuBar* bar) : m_bar(bar) {}
    void setFrameMenus(const QList<GroupedMenu>& menus);
    // Shows the frame's menus merged with a child's (empty: the frame's alone).
    void merge(const QList<GroupedMenu>& child);

private:
    QMenuBar* m_bar; // the frame's, which outlives the merger
    QList<GroupedMenu> m_frame;
};

} // namespace ostrim
