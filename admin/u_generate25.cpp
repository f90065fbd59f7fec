#include "u_generate25.h"

#include "glyph_icon.h"
#include "syblistbox.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

QString columnListSql(const QString& table) {
    return QStringLiteral("select name from syscolumns where id=object_id(\"") +
           QString(table).replace('"', QStringLiteral("\"\"")) +
           QStringLiteral("\") order by colid");
}

Tf_form25::Tf_form25(QWidget* owner)
    : ExpertPage("Sybase Database Form Expert", ExpertPicture::Motif::Columns, false, owner) {
    setObjectName("f_form25");
    Label1 = new QLabel("&Available Fields:", this);
    Label1->setObjectName("Label1");
    l_allfields = new TSybListBox(this);
    l_allfields->setObjectName("l_allfields");
    l_allfields->setAutoDbProc(false);
    Label1->setBuddy(l_allfields);
    Label2 = new QLabel("&Selected Fields:", this);
    Label2->setObjectName("Label2");
    l_thefields = new QListWidget(this);
    l_thefields->setObjectName("l_thefields");
    Label2->setBuddy(l_thefields);
    for (QListWidget* list : {static_cast<QListWidget*>(l_allfields), l_thefields})
        list->setMinimumSize(170, 220);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        b->setFixedWidth(40);
        return b;
    };
    Button1 = button("Button1", ">");
    Button2 = button("Button2", ">>");
    Button3 = button("Button3", "<");
    Button4 = button("Button4", "<<");
    BitBtn1 = button("BitBtn1", {});
    BitBtn1->setIcon(themeOrGlyph("go-up", QStringLiteral("▲"), glyphFont(14)));
    BitBtn1->setToolTip("Move up");
    BitBtn1->setAccessibleName("Move up");
    BitBtn2 = button("BitBtn2", {});
    BitBtn2->setIcon(themeOrGlyph("go-down", QStringLiteral("▼"), glyphFont(14)));
    BitBtn2->setToolTip("Move down");
    BitBtn2->setAccessibleName("Move down");

    auto* moves = new QVBoxLayout;
    moves->addStretch();
    for (QPushButton* b : {Button1, Button2, Button3, Button4})
        moves->addWidget(b);
    moves->addStretch();
    auto* order = new QVBoxLayout;
    order->addStretch();
    order->addWidget(BitBtn1);
    order->addWidget(BitBtn2);
    order->addStretch();
    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Label2, 0, 2);
    grid->addWidget(l_allfields, 1, 0);
    grid->addLayout(moves, 1, 1);
    grid->addWidget(l_thefields, 1, 2);
    grid->addLayout(order, 1, 3);
    content()->addLayout(grid, 1);

    connect(btn_next, &QPushButton::clicked, this, &Tf_form25::btn_nextClick);
    connect(Button1, &QPushButton::clicked, this, &Tf_form25::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tf_form25::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tf_form25::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &Tf_form25::Button4Click);
    connect(BitBtn1, &QPushButton::clicked, this, &Tf_form25::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tf_form25::BitBtn2Click);
    connect(l_allfields, &QListWidget::itemDoubleClicked, this, &Tf_form25::l_allfieldsDblClick);
    connect(l_thefields, &QListWidget::itemDoubleClicked, this, &Tf_form25::l_thefieldsDblClick);
}

bool Tf_form25::start(const QString& table, DbProcHandle process) {
    if (table.isEmpty()) {
        showExpertMessage("Table name is invalid !");
        return false;
    }
    l_allfields->setDbProc(process);
    l_allfields->setSql(columnListSql(table));
    l_allfields->Fill();
    l_thefields->clear();
    return true;
}

QStringList Tf_form25::chosenFields() const {
    QStringList fields;
    for (int row = 0; row < l_thefields->count(); ++row)
        fields << l_thefields->item(row)->text();
    return fields;
}

void Tf_form25::choose(const QString& field) {
    if (!field.isEmpty() && !chosenFields().contains(field))
        l_thefields->addItem(field);
}

void Tf_form25::Button1Click() {
    choose(l_allfields->Value());
}

void Tf_form25::l_allfieldsDblClick(QListWidgetItem* item) {
    choose(item->text());
}

void Tf_form25::l_thefieldsDblClick(QListWidgetItem* item) {
    delete item;
}

void Tf_form25::Button2Click() {
    l_thefields->clear();
    for (int row = 0; row < l_allfields->count(); ++row)
        l_thefields->addItem(l_allfields->item(row)->text());
}

void Tf_form25::Button3Click() {
    for (QListWidgetItem* item : l_thefields->selectedItems())
        delete item;
}

void Tf_form25::Button4Click() {
    l_thefields->clear();
}

void Tf_form25::moveChosen(int by) {
    const QList<QListWidgetItem*> selected = l_thefields->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = l_thefields->row(selected.first());
    const int to = row + by;
    if (to < 0 || to >= l_thefields->count())
        return;
    l_thefields->insertItem(to, l_thefields->takeItem(row));
    l_thefields->setCurrentRow(to);
}

void Tf_form25::btn_nextClick() {
    if (l_thefields->count() == 0) {
        showExpertMessage("Select at least one column!");
        return;
    }
    proceed();
}

} // namespace ostrim
