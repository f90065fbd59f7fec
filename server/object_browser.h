#pragma once
// The object browser of a server window: the type, object and column lists, read over the
// window's connection, and the object text pasted into the editor.

#include <QString>

#include <functional>

class QAction;
class QComboBox;
class QTextEdit;

namespace ostrim {

class TSybComboBox;
class TSybDatabase;
class TSybQuery;
struct ServerOptions;

class ObjectBrowser {
public:
    struct Widgets {
        QComboBox* types;
        QComboBox* objects;
        TSybComboBox* columns;
        QTextEdit* memo;
        QComboBox* history; // while it has the focus, the paste takes its entry instead
        QAction* pasteHistory;
    };
    // The window's part: its options and SaveName, which a paste names after the object; whether
    // its connection is free for a command; what follows a switch of database.
    struct Window {
        const ServerOptions& options;
        QString& saveName;
        std::function<bool()> connectionFree;
        std::function<void(const QString& database)> databaseSwitched;
    };
    // query is the window's field, read at each use: whoever holds the window may replace the
    // query.
    ObjectBrowser(TSybDatabase& sybase, TSybQuery* const& query, const Widgets& widgets,
                  Window window);
    Q_DISABLE_COPY_MOVE(ObjectBrowser)

    void listDatabases();
    // While the lists show the databases, the connection's database is the one selected.
    void selectCurrentDatabase();
    void typeChanged();
    void objectChanged();
    // The selected object's text into the editor, as the paste options say.
    void pasteObjectText();
    // The source of a procedure, trigger or view (kind as the type list names it) into the
    // editor, as Paste Object Text puts it; the connection must be free.
    void pasteStoredText(const QString& kind, const QString& name);
    QString tableLayout(const QString& table);
    void dropObject();
    void pasteObjectName();
    void pasteColumnName();

private:
    void switchDatabase(const QString& name);
    void setEditorText(const QString& text);

    TSybDatabase& m_sybase;
    TSybQuery* const& m_query;
    Widgets m_widgets;
    Window m_window;
    // The kind the object list holds; creation lists the databases.
    QString m_listedKind = QStringLiteral("Databases");
};

} // namespace ostrim
