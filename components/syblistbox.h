#pragma once
// TSybListBox: a list box whose items are the first column of a query.

#include "syblistcontrol.h"

#include <QListWidget>

#include <vector>

namespace ostrim {

class TSybListBox : public QListWidget, public ListControl {
    Q_OBJECT
public:
    explicit TSybListBox(QWidget* owner = nullptr);
    ~TSybListBox() override;

    // Every list box whose Name was set. Unguarded: GUI thread only.
    static const std::vector<TSybListBox*>& ListBoxList();

    QString Name() const { return objectName(); }
    // Cut to 30 characters; enters ListBoxList.
    void setName(const QString& name);

    // Cancels whatever is pending on the handle first; selects nothing.
    void Fill() override;
    // The selected item's text; empty when nothing is selected.
    QString Value() const;
};

} // namespace ostrim
