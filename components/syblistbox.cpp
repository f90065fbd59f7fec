#include "syblistbox.h"

#include "registry.h"

namespace ostrim {

using ListBoxes = Registry<TSybListBox>;

TSybListBox::TSybListBox(QWidget* owner) : QListWidget(owner), ListControl(this) {}

TSybListBox::~TSybListBox() {
    ListBoxes::leave(this);
}

const std::vector<TSybListBox*>& TSybListBox::ListBoxList() {
    return ListBoxes::items();
}

void TSybListBox::setName(const QString& name) {
    setObjectName(name.left(kNameLength));
    ListBoxes::enter(this);
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
