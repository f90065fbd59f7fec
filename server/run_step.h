#pragma once
// Run in a server window: the editor's text (or selection) goes to a new results window, and the
// options go off again on the window's connection.

#include <QString>

#include <functional>

class QTextEdit;

namespace ostrim {

class Tmain;
class TSybDatabase;
class TSybQuery;
struct ServerOptions;

class RunStep {
public:
    // query is the window's field, read at each use: whoever holds the window may replace the
    // query. addHistory keeps the text run in the SQL history.
    RunStep(Tmain& main, TSybDatabase& sybase, TSybQuery* const& query, QTextEdit& memo,
            const ServerOptions& options, std::function<void(const QString&)> addHistory);
    Q_DISABLE_COPY_MOVE(RunStep)

    // False, with a message, while a results window loads on the window's connection.
    bool connectionFree() const;
    void run();

private:
    Tmain& m_main;
    TSybDatabase& m_sybase;
    TSybQuery* const& m_query;
    QTextEdit& m_memo;
    const ServerOptions& m_options;
    std::function<void(const QString&)> m_addHistory;
};

} // namespace ostrim
