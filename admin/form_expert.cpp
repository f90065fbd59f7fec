#include "form_expert.h"

#include "busy_connection.h"
#include "dialogs.h"
#include "syblistbox.h"
#include "u_generate2.h"
#include "u_generate25.h"
#include "u_generate27.h"
#include "u_generate3.h"
#include "u_generatesql.h"

#include <QCoreApplication>

namespace ostrim {

namespace {

FormExpertPages* s_program = nullptr;
FormExpertPages* s_madeOnFirstUse = nullptr;

// Runs while the application ends, before its widgets go.
void freePagesMadeOnFirstUse() {
    if (s_program == s_madeOnFirstUse)
        s_program = nullptr;
    delete s_madeOnFirstUse;
    s_madeOnFirstUse = nullptr;
}

// Shows next modally where current stands, so that it covers it: the pages read as one window.
int showOver(const QDialog& current, QDialog& next) {
    if (current.isVisible()) {
        next.resize(current.size());
        next.move(current.pos());
    }
    return Dialogs::exec(next);
}

} // namespace

FormExpertPages::FormExpertPages(QWidget* owner)
    : form25(new Tf_form25(owner)), form27(new Tf_form27(owner)), form3(new Tf_form3(owner)),
      formsql(new Tf_formsql(owner)) {
    for (QWidget* page : {static_cast<QWidget*>(form25), static_cast<QWidget*>(form27),
                          static_cast<QWidget*>(form3), static_cast<QWidget*>(formsql)})
        page->hide();
    form25->showNext = [this] {
        form27->setColumns(form25->chosenFields());
        return showOver(*form25, *form27);
    };
    form27->showNext = [this] {
        return showOver(*form27, *form3);
    };
    form3->showNext = [this] {
        return showOver(*form3, *formsql);
    };
}

FormExpertPages::~FormExpertPages() {
    if (s_program == this)
        s_program = nullptr;
    delete formsql;
    delete form3;
    delete form27;
    delete form25;
}

FormExpertPages& FormExpertPages::program() {
    if (!s_program) {
        if (!s_madeOnFirstUse) {
            s_madeOnFirstUse = new FormExpertPages;
            qAddPostRoutine(freePagesMadeOnFirstUse);
        }
        s_program = s_madeOnFirstUse;
    }
    return *s_program;
}

void FormExpertPages::setProgram(FormExpertPages* pages) {
    s_program = pages;
}

bool runFormExpert(QWidget* parent, FormExpertPages& pages, DbProcHandle process,
                   const QString& database, ModifyRequest& result) {
    if (BusyConnection::isBusy(process)) {
        // A results window reads rows from this connection on its loader thread; the page's
        // statements would corrupt both.
        Dialogs::message("A results window is still loading rows on this window's connection. "
                         "Wait until they are in, or abort that run.",
                         "Ostrim", QMessageBox::Warning);
        return false;
    }
    Tf_form2 first(parent);
    first.fillTables(process, database);
    QString table;
    first.showNext = [&] {
        const QString name = first.l_tablenames->Value();
        if (!pages.form25->start(name, first.l_tablenames->DbProc()))
            return int(Back);
        table = name.left(kNameLength);
        return showOver(first, *pages.form25);
    };
    if (Dialogs::exec(first) != Finish)
        return false;
    result = buildModifyRequest(table, pages.form27->keys(), pages.form25->chosenFields(),
                                pages.formsql->whereText(), pages.form3->layout());
    return true;
}

ModifyRequest buildModifyRequest(const QString& table, const QStringList& keys,
                                 const QStringList& chosen, const QString& where,
                                 ModifyLayout layout) {
    ModifyRequest request;
    request.table = table;
    request.keys = keys;
    for (const QString& column : chosen)
        if (!keys.contains(column))
            request.updatable << column;
    request.columns = keys + request.updatable;
    request.where = where;
    request.layout = layout;
    const QString lineEnd = QStringLiteral("\r\n");
    QString select = QStringLiteral("select ");
    for (qsizetype i = 0; i < request.columns.size(); ++i)
        select += request.columns[i] + (i + 1 < request.columns.size() ? "," : " ") + lineEnd;
    request.selectText = select + "from " + table + " " + lineEnd + where;
    return request;
}

} // namespace ostrim
