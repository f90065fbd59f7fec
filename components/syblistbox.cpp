#include "syblistbox.h"

#include <algorithm>

namespace ostrim {

namespace {

// Never freed: controls may outlive static destruction order.
std::vector<TSybListBox*>& registry() {
    static auto* list = new std::vector<TSybListBox*>;
    return *list;
}

} // namespace

TSybListBox::TSybListBox(QWidget* owner) : QListWidget(owner), ListControl(this) {
    registry();
}

TSybListBox::~TSybListBox() {
    auto& list = registry();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<TSybListBox*>& TSybListBox::ListBoxList() {
    return registry();
}

void TSybListBox::setName(const QString& name) {
    setObjectName(name.left(30));
    auto& list = registry();
    if (std::find(list.begin(), list.end(), this) == list.end())
        list.push_back(this);
}

void TSybListBox::Fill() {
    linkDatabase();
    if (!DbProc())
        return;
    clear();
    addItems(loadItems(true));
}

QString TSybListBox::Value() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

} // namespace ostrim
