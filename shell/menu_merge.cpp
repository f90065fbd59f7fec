#include "menu_merge.h"

#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace ostrim {

GroupedMenu::GroupedMenu(int group_, QMenu* menu) : group(group_), item(menu->menuAction()) {}

QList<QAction*> mergedMenus(const QList<GroupedMenu>& frame, const QList<GroupedMenu>& child) {
    QList<GroupedMenu> all;
    for (const auto& f : frame) {
        bool replaced = std::any_of(child.begin(), child.end(),
                                    [&](const GroupedMenu& c) { return c.group == f.group; });
        if (!replaced)
            all.append(f);
    }
    all.append(child);
    std::stable_sort(all.begin(), all.end(),
                     [](const GroupedMenu& a, const GroupedMenu& b) { return a.group < b.group; });
    QList<QAction*> items;
    for (const auto& g : all)
        items.append(g.item);
    return items;
}

void MenuMerger::setFrameMenus(const QList<GroupedMenu>& menus) {
    m_frame = menus;
    merge({});
}

void MenuMerger::merge(const QList<GroupedMenu>& child) {
    if (!m_bar)
        return;
    m_bar->clear();
    // Only the bar's list changes: the items stay with their owners.
    for (QAction* item : mergedMenus(m_frame, child))
        m_bar->addAction(item);
}

} // namespace ostrim
