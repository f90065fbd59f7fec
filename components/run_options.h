#pragma once
// The options a run switches on in its results window and its server window switches off again
// afterwards, and what a server window hands the results window of a run.

#include "sybase32.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class QTextEdit;

namespace ostrim {

struct RunOptions {
    bool ShowPlan = false;
    bool NoExec = false;
    bool CheckSyntax = false;
    bool ShowIo = false;
    bool ShowTime = false;
    bool ArithAbort = false;
    bool ArithIgnore = false;
    bool ShowNonAnsi = false;
};

// "set ... on" for each option that is set, in the order they are sent (noexec last, so that
// the others still run).
QStringList onStatements(const RunOptions& options);
// "set ... off" for each option that is set, in the same order.
QStringList offStatements(const RunOptions& options);

struct RunParameters : RunOptions {
    QString Sql;
    QString DBName;
    QString UserName;
    QString Password;
    QString ServerName;
    bool Background = false;
    DbProcHandle DbProc;
    bool OwnConnection = true;
    bool MessagesInResults = false;
    bool ShowNullText = false;
    bool CellViewer = false;
    // Where Sql came from: the editor (null once its window has gone) and the line of it that
    // Sql begins on, from 1.
    QPointer<QTextEdit> Editor;
    int FirstLine = 1;
};

} // namespace ostrim
