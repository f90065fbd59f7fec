#pragma once
// Name completion in the SQL editor: Ctrl+Space lists the tables, views and procedures that start
// with the word before the caret, or after "x." the columns of x's table, and puts the chosen
// name in place of the word. The reading of the text is free functions, tested without a server.

#include "completion_catalogue.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <vector>

class QListWidget;
class QListWidgetItem;
class QTextEdit;

namespace ostrim {

// Letters, digits, '_', '#', '$' and '@'.
bool isNameChar(QChar c);

// The name being typed before caret: the name characters back from it.
struct TypedName {
    int start = 0; // where the typed part begins; the caret when nothing is typed
    QString prefix;
    bool qualified = false; // a '.' stands right before start
    QString qualifier;      // the name before that '.', empty in "db..name"
};
TypedName typedName(const QString& text, int caret);

// The batch around caret: from the line after the last "go" line above the caret's line to the
// first "go" line below it (a line whose only text, blanks aside, is "go" in any letter case).
struct TextSpan {
    int begin = 0;
    int end = 0;
};
TextSpan batchAround(const QString& text, int caret);

// A table named in a from clause or a join, owner and database left off, with its alias.
struct TableReference {
    QString table;
    QString alias;    // empty when none
    int position = 0; // of the table's name in the text
};
// The tables in the from clauses and joins of sql, outside its comments and strings.
std::vector<TableReference> tableReferences(const QString& sql);

// The table that qualifier stands for at caret: an alias in the batch around caret (the one
// nearest the caret when several have that name), else the qualifier itself.
QString qualifiedTable(const QString& text, int caret, const QString& qualifier);

// What the completion offers at caret: after a qualifier that names a table or view with known
// columns, those columns in column order; else the objects, sorted. Each starts with the typed
// prefix, in any letter case.
QStringList completionCandidates(const CatalogueNames& names, const QString& text, int caret);

// The popup over the editor. The editor keeps the focus: the keys the popup takes while open
// (arrows, pages, Enter, Tab, Esc) are taken from the editor's own key handling before it sees
// them, and every other key goes on to it, the popup following the word it types.
class SqlCompleter : public QObject {
    Q_OBJECT
public:
    // The entry that reads the names again; always the last.
    static inline const QString kRefresh = QStringLiteral("Refresh");

    // A child of editor. Hooks the editor's keys: made after the editor's other key hooks, it
    // sees a key before they do.
    SqlCompleter(QTextEdit* editor, CompletionCatalogue::LoginSource login);
    ~SqlCompleter() override;

    // Off: Ctrl+Space goes to the editor, and the popup closes.
    void setEnabled(bool enabled);
    bool isEnabled() const { return m_enabled; }
    // The window switched to database: its names are read when next wanted.
    void setDatabase(const QString& name) { m_catalogue->setDatabase(name); }
    CompletionCatalogue& catalogue() { return *m_catalogue; }
    // The list; open while shown.
    QListWidget* popup() const;
    bool isOpen() const;

signals:
    // A chosen name took the place of the typed word.
    void inserted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Ctrl+Space. Without names yet, the popup opens once they are read, if the caret is still
    // on the same word then.
    void open();
    void show();
    void close();
    // The caret moved or the text changed.
    void follow();
    void readEnded();
    // The candidates for the word at the caret; false when none.
    bool fill();
    void place();
    void move(int rows);
    void choose(QListWidgetItem* item);

    QTextEdit* m_editor;
    CompletionCatalogue* m_catalogue;
    QPointer<QListWidget> m_popup;
    bool m_enabled = true;
    bool m_waiting = false; // for the names, after a Ctrl+Space or Refresh
    int m_start = -1;       // of the word being completed
};

} // namespace ostrim
