#include "menu_merge.h"

#include <QMenu>
#include <QMenuBar>

#include <algorithm>

namespace ostrim {

QList<QMenu*> mergedMenus(const QList<GroupedMenu>& frame, const QList<GroupedMenu>& child) {
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
    QList<QMenu*> menus;
    for (const auto& g : all)
        menus.append(g.menu);
    return menus;
}

void MenuMerger::setFrameMenus(const QList<GroupedMenu>& menus) {
    m_frame = menus;
    merge({});
}

void MenuMerger::merge(const QList<GroupedMenu>& child) {
    if (!m_bar)
        return;
    m_bar->clear();
    for (QMenu* m : mergedMenus(m_frame, child))
        m_bar->addMenu(m);
}

} // namespace ostrim
