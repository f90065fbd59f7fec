#pragma once
// TSybComboBox: an editable combo box whose items are the first column of a query.

#include "syblistcontrol.h"

#include <QComboBox>

#include <vector>

namespace ostrim {

class TSybComboBox : public QComboBox, public ListControl {
    Q_OBJECT
public:
    explicit TSybComboBox(QWidget* owner = nullptr);
    ~TSybComboBox() override;

    // Every combo box whose Name was set. Unguarded: GUI thread only.
    static const std::vector<TSybComboBox*>& ComboBoxList();

    QString Name() const { return objectName(); }
    // Cut to 30 characters; enters ComboBoxList.
    void setName(const QString& name);

    // Without a handle nothing happens; afterwards the first item is selected.
    void Fill() override;
    // The edit text.
    QString Value() const { return currentText(); }
    // Selects the first item equal to value; when none is, shows value without a selection.
    void setValue(const QString& value);
};

} // namespace ostrim
