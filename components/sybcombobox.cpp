#include "sybcombobox.h"

#include <algorithm>

namespace ostrim {

namespace {

// Never freed: controls may outlive static destruction order.
std::vector<TSybComboBox*>& registry() {
    static auto* list = new std::vector<TSybComboBox*>;
    return *list;
}

} // namespace

TSybComboBox::TSybComboBox(QWidget* owner) : QComboBox(owner), ListControl(this) {
    setEditable(true);
    // Typed text is the value; it must not become an item.
    setInsertPolicy(QComboBox::NoInsert);
    registry();
}

TSybComboBox::~TSybComboBox() {
    auto& list = registry();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<TSybComboBox*>& TSybComboBox::ComboBoxList() {
    return registry();
}

void TSybComboBox::setName(const QString& name) {
    setObjectName(name.left(30));
    auto& list = registry();
    if (std::find(list.begin(), list.end(), this) == list.end())
        list.push_back(this);
}

void TSybComboBox::Fill() {
    linkDatabase();
    if (!DbProc())
        return;
    clear();
    addItems(loadItems(false));
    if (count() > 0)
        setCurrentIndex(0);
}

void TSybComboBox::setValue(const QString& value) {
    const int index = findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    setCurrentIndex(index);
    if (index < 0)
        setEditText(value);
}

} // namespace ostrim
