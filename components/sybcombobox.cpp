#include "sybcombobox.h"

#include "registry.h"

namespace ostrim {

using ComboBoxes = Registry<TSybComboBox>;

TSybComboBox::TSybComboBox(QWidget* owner) : QComboBox(owner), ListControl(this) {
    setEditable(true);
    // Typed text is the value; it must not become an item.
    setInsertPolicy(QComboBox::NoInsert);
}

TSybComboBox::~TSybComboBox() {
    ComboBoxes::leave(this);
}

const std::vector<TSybComboBox*>& TSybComboBox::ComboBoxList() {
    return ComboBoxes::items();
}

void TSybComboBox::setName(const QString& name) {
    setObjectName(name.left(kNameLength));
    ComboBoxes::enter(this);
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
