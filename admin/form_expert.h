#pragma once
// The form expert: five pages that choose a table, its columns, the key columns, a layout and the
// rows, and hand the choice to the data modification windows. The first page is made for each
// run; the other four are made once and kept, so they remember the layout and the WHERE text.

#include "modify_request.h"
#include "sybase32.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace ostrim {

class Tf_form25;
class Tf_form27;
class Tf_form3;
class Tf_formsql;

// The four kept pages, strung together: each page's "&Next >" hands its choice on and shows the
// page after it.
class FormExpertPages {
public:
    // An owner, when given, outlives the pages.
    explicit FormExpertPages(QWidget* owner = nullptr);
    ~FormExpertPages();
    FormExpertPages(const FormExpertPages&) = delete;
    FormExpertPages& operator=(const FormExpertPages&) = delete;

    Tf_form25* form25 = nullptr;
    Tf_form27* form27 = nullptr;
    Tf_form3* form3 = nullptr;
    Tf_formsql* formsql = nullptr;

    // The program's pages: the ones set, else pages made on first use and freed when the
    // application ends.
    static FormExpertPages& program();
    // Not owned; nullptr forgets them.
    static void setProgram(FormExpertPages* pages);
};

// Runs the expert on process, the connection of the server window that started it, whose
// current database is database. True only when this run ended with "&Finish"; result then holds
// the choice, its login left for the caller to fill.
bool runFormExpert(QWidget* parent, FormExpertPages& pages, DbProcHandle process,
                   const QString& database, ModifyRequest& result);

// The choice as the data modification windows take it: the keys (in list order) first, then the
// chosen columns that are not keys; the grid window's select over them. No column or key is
// dropped, however many there are.
ModifyRequest buildModifyRequest(const QString& table, const QStringList& keys,
                                 const QStringList& chosen, const QString& where,
                                 ModifyLayout layout);

} // namespace ostrim
