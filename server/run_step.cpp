#include "run_step.h"

#include "busy_connection.h"
#include "dialogs.h"
#include "server_options.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_main.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextEdit>

namespace ostrim {

RunStep::RunStep(Tmain& main, TSybDatabase& sybase, TSybQuery* const& query, QTextEdit& memo,
                 const ServerOptions& options, std::function<void(const QString&)> addHistory)
    : m_main(main), m_sybase(sybase), m_query(query), m_memo(memo), m_options(options),
      m_addHistory(std::move(addHistory)) {}

bool RunStep::connectionFree() const {
    if (!BusyConnection::isBusy(m_sybase.DbProc()))
        return true;
    // A results window reads rows from this connection on its loader thread; a second command
    // on it would corrupt both.
    Dialogs::message("A results window is still loading rows on this window's connection. Wait "
                     "until they are in, or abort that run.",
                     "Ostrim", QMessageBox::Warning);
    return false;
}

void RunStep::run() {
    if (!connectionFree())
        return;
    // The editor separates lines with a paragraph mark; the server gets CR LF.
    const QTextCursor cursor = m_memo.textCursor();
    const QString selected = cursor.selection().toPlainText();
    const bool runSelection = m_options.ExecSelected && !selected.isEmpty();
    QString text = runSelection ? selected : m_memo.toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (!text.isEmpty()) {
        m_addHistory(trimHistoryText(text));
        RunParameters run;
        static_cast<RunOptions&>(run) = m_options;
        run.Sql = text;
        run.DBName = m_sybase.DBName();
        run.UserName = m_sybase.UserName();
        run.Password = m_sybase.Password();
        run.ServerName = m_sybase.ServerName();
        run.Background = m_main.config.BackgroundProcess;
        run.DbProc = m_sybase.DbProc();
        run.OwnConnection = m_options.SeperateDBProc;
        run.MessagesInResults = m_main.config.MessagesInResults;
        run.ShowNullText = m_main.config.ShowNullText;
        run.CellViewer = m_main.config.CellViewer;
        run.Editor = &m_memo;
        if (runSelection)
            run.FirstLine = m_memo.document()->findBlock(cursor.selectionStart()).blockNumber() + 1;
        m_main.execute_results(run);
    }
    for (const QString& statement : offStatements(m_options)) {
        m_query->setSql(statement);
        m_query->Execute();
    }
}

} // namespace ostrim
