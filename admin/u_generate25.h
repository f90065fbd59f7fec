#pragma once
// Tf_form25: the form expert's second page, the columns to edit, in the order chosen. Made once
// at start and kept; each run hands it the table anew.

#include "expert_page.h"

#include "sybase32.h"

#include <QStringList>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace ostrim {

class TSybListBox;

class Tf_form25 : public ExpertPage {
    Q_OBJECT
public:
    explicit Tf_form25(QWidget* owner = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    TSybListBox* l_allfields = nullptr;
    QListWidget* l_thefields = nullptr;
    QPushButton* Button1 = nullptr; // ">"
    QPushButton* Button2 = nullptr; // ">>"
    QPushButton* Button3 = nullptr; // "<"
    QPushButton* Button4 = nullptr; // "<<"
    QPushButton* BitBtn1 = nullptr; // up
    QPushButton* BitBtn2 = nullptr; // down

    // Lists the columns of table on process, in their order in the table, and empties the chosen
    // list. False, after the box, when there is no table.
    bool start(const QString& table, DbProcHandle process);
    QStringList chosenFields() const;

    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void BitBtn1Click() { moveChosen(-1); }
    void BitBtn2Click() { moveChosen(+1); }
    void l_allfieldsDblClick(QListWidgetItem* item);
    void l_thefieldsDblClick(QListWidgetItem* item);
    void btn_nextClick();

private:
    // Adds field unless it is chosen already.
    void choose(const QString& field);
    void moveChosen(int by);
};

// The statement that lists a table's columns in their order. The name goes between double quotes,
// each double quote within it doubled, so that no name can end the string early.
QString columnListSql(const QString& table);

} // namespace ostrim
