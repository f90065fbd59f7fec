#include "u_generate27.h"

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

Tf_form27::Tf_form27(QWidget* owner)
    : ExpertPage("Sybase Database Form Expert", ExpertPicture::Motif::Keys, false, owner) {
    setObjectName("f_form27");
    GroupBox1 = new QGroupBox("Primary keys", this);
    GroupBox1->setObjectName("GroupBox1");
    l_primarykeys = new QListWidget(GroupBox1);
    l_primarykeys->setObjectName("l_primarykeys");
    // A click adds a key or takes it away, no modifier keys needed.
    l_primarykeys->setSelectionMode(QAbstractItemView::MultiSelection);
    l_primarykeys->setMinimumSize(260, 200);
    auto* group = new QVBoxLayout(GroupBox1);
    group->addWidget(l_primarykeys);
    content()->addWidget(GroupBox1, 1);

    connect(btn_next, &QPushButton::clicked, this, &Tf_form27::btn_nextClick);
}

void Tf_form27::setColumns(const QStringList& columns) {
    l_primarykeys->clear();
    l_primarykeys->addItems(columns);
}

QStringList Tf_form27::keys() const {
    QStringList selected;
    for (int row = 0; row < l_primarykeys->count(); ++row)
        if (l_primarykeys->item(row)->isSelected())
            selected << l_primarykeys->item(row)->text();
    return selected;
}

void Tf_form27::btn_nextClick() {
    if (l_primarykeys->selectedItems().isEmpty()) {
        showExpertMessage("You have to select at least one key field!");
        return;
    }
    proceed();
}

} // namespace ostrim
