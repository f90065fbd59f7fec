#include "u_generate2.h"

#include "syblistbox.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

Tf_form2::Tf_form2(QWidget* owner)
    : ExpertPage("Sybase Database Form Expert", ExpertPicture::Motif::Tables, false, owner) {
    setObjectName("f_form2");
    Label1 = new QLabel("Table Name", this);
    Label1->setObjectName("Label1");
    l_tablenames = new TSybListBox(this);
    l_tablenames->setObjectName("l_tablenames");
    l_tablenames->setAutoDbProc(false);
    l_tablenames->setSortingEnabled(true);
    l_tablenames->setSql("select name from sysobjects where type in ('U','S')");
    l_tablenames->setMinimumSize(260, 220);
    Label1->setBuddy(l_tablenames);
    content()->addWidget(Label1);
    content()->addWidget(l_tablenames, 1);

    connect(btn_next, &QPushButton::clicked, this, &Tf_form2::btn_nextClick);
    connect(l_tablenames, &QListWidget::itemDoubleClicked, this, &Tf_form2::l_tablenamesDblClick);
}

void Tf_form2::fillTables(DbProcHandle process, const QString& database) {
    l_tablenames->setDbProc(process);
    l_tablenames->setDbName(database);
    l_tablenames->Fill();
}

void Tf_form2::btn_nextClick() {
    if (l_tablenames->Value().isEmpty()) {
        showExpertMessage("Table name is invalid !");
        return;
    }
    proceed();
}

void Tf_form2::l_tablenamesDblClick(QListWidgetItem*) {
    btn_nextClick();
}

} // namespace ostrim
