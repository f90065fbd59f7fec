#pragma once
// Tf_form2: the form expert's first page, the table. Made for each run of the expert and bound to
// the connection of the server window that started it.

#include "expert_page.h"

#include "sybase32.h"

class QLabel;
class QListWidgetItem;

namespace ostrim {

class TSybListBox;

class Tf_form2 : public ExpertPage {
    Q_OBJECT
public:
    explicit Tf_form2(QWidget* owner = nullptr);

    QLabel* Label1 = nullptr;
    TSybListBox* l_tablenames = nullptr;

    // Lists the user and system tables of the connection's current database.
    void fillTables(DbProcHandle process, const QString& database);

    void btn_nextClick();
    void l_tablenamesDblClick(QListWidgetItem* item);
};

} // namespace ostrim
