// Run: the editor's text (or selection) goes to a new results window; the SQL history keeps it.

#include "busy_connection.h"
#include "dialogs.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_main.h"
#include "u_server.h"

#include <QComboBox>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace ostrim {

bool Tserverform::connectionFree() {
    if (!BusyConnection::isBusy(sybase->DbProc()))
        return true;
    // A results window reads rows from this connection on its loader thread; a second command
    // on it would corrupt both.
    Dialogs::message("A results window is still loading rows on this window's connection. Wait "
                     "until they are in, or abort that run.",
                     "Ostrim", QMessageBox::Warning);
    return false;
}

void Tserverform::All1Click() {
    if (!connectionFree())
        return;
    // The editor separates lines with a paragraph mark; the server gets CR LF.
    const QString selected = memo->textCursor().selection().toPlainText();
    QString text = options.ExecSelected && !selected.isEmpty() ? selected : memo->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (!text.isEmpty()) {
        add_sql_history(trimHistoryText(text));
        RunParameters run;
        static_cast<RunOptions&>(run) = options;
        run.Sql = text;
        run.DBName = sybase->DBName();
        run.UserName = sybase->UserName();
        run.Password = sybase->Password();
        run.ServerName = sybase->ServerName();
        run.Background = m_main.config.BackgroundProcess;
        run.DbProc = sybase->DbProc();
        run.OwnConnection = options.SeperateDBProc;
        m_main.execute_results(run);
    }
    for (const QString& statement : offStatements(options)) {
        query->setSql(statement);
        query->Execute();
    }
}

} // namespace ostrim
