#pragma once
// Menu merging by group number: while a child window is active, its top-level menus take the
// place of the frame's menus that carry the same group numbers.

#include <QList>
#include <QPointer>

class QMenu;
class QMenuBar;

namespace ostrim {

struct GroupedMenu {
    int group = 0;
    QMenu* menu = nullptr;
};

// The menus to show, in group order; a child's groups replace the frame's groups.
QList<QMenu*> mergedMenus(const QList<GroupedMenu>& frame, const QList<GroupedMenu>& child);

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
