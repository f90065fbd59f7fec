#include "object_browser.h"

#include "dialogs.h"
#include "editor_services.h"
#include "object_text.h"
#include "server_options.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "sybquery.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTextCursor>
#include <QTextEdit>

#include <optional>
#include <vector>

namespace ostrim {

namespace {

using Rows = std::vector<QStringList>;

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Sends sql and reads every row of every result set, columns 1..columns of each, so that the
// query is free for the next statement. Nothing when the statement did not return SUCCEED.
std::optional<Rows> readRows(TSybQuery& query, const QString& sql, int columns) {
    query.setSql(sql);
    if (query.Execute() != kSucceed)
        return std::nullopt;
    Rows rows;
    while (query.Next() == kMoreRows) {
        QStringList row;
        for (int c = 1; c <= columns; ++c)
            row << query.ColumnValue(c);
        rows.push_back(row);
    }
    return rows;
}

QStringList firstColumn(const Rows& rows) {
    QStringList values;
    for (const QStringList& row : rows)
        values << row.value(0);
    return values;
}

bool listsColumns(const QString& kind) {
    return kind == QLatin1String("Tables") || kind == QLatin1String("Procedures") ||
           kind == QLatin1String("Views");
}

} // namespace

ObjectBrowser::ObjectBrowser(TSybDatabase& sybase, TSybQuery* const& query, const Widgets& widgets,
                             Window window)
    : m_sybase(sybase), m_query(query), m_widgets(widgets), m_window(std::move(window)) {}

void ObjectBrowser::listDatabases() {
    QComboBox& objects = *m_widgets.objects;
    objects.clear();
    m_query->setSql("select name from master..sysdatabases order by name");
    if (m_query->Execute() != kSucceed)
        return;
    while (m_query->Next() == kMoreRows)
        objects.addItem(m_query->ColumnValue(1));
}

void ObjectBrowser::selectCurrentDatabase() {
    if (m_widgets.types->currentText().trimmed().toUpper() == "DATABASES") {
        const int index = m_widgets.objects->findText(m_sybase.DBName(), Qt::MatchExactly);
        if (index >= 0)
            m_widgets.objects->setCurrentIndex(index);
    }
}

void ObjectBrowser::typeChanged() {
    QComboBox& types = *m_widgets.types;
    QComboBox& objects = *m_widgets.objects;
    TSybComboBox& columns = *m_widgets.columns;
    if (!m_window.connectionFree()) {
        // The lists were not read: the type shown must still name what they hold.
        types.setCurrentIndex(types.findText(m_listedKind));
        return;
    }
    const QString kind = types.currentText();
    m_listedKind = kind;
    columns.clear();
    columns.setEditText({});
    columns.ClearSql();
    objects.clear();
    if (const QString sql = objectListQuery(kind); !sql.isEmpty()) {
        const WaitCursor wait;
        if (const std::optional<Rows> rows = readRows(*m_query, sql, 1))
            objects.addItems(firstColumn(*rows));
    }
    objects.setCurrentIndex(0);
    if (listsColumns(kind)) {
        columns.setSql(columnQuery(objects.currentText()));
        columns.Fill();
    } else if (kind == QLatin1String("Indexes")) {
        objectChanged();
    }
}

void ObjectBrowser::objectChanged() {
    QComboBox& objects = *m_widgets.objects;
    TSybComboBox& columns = *m_widgets.columns;
    const QString kind = m_widgets.types->currentText();
    const QString name = objects.currentText();
    if (!m_window.connectionFree()) {
        // The pick did not happen: the list shows the database still in use.
        if (kind == QLatin1String("Databases"))
            objects.setCurrentIndex(objects.findText(m_sybase.DBName()));
        return;
    }
    columns.clear();
    if (kind == QLatin1String("Databases")) {
        switchDatabase(name);
    } else if (listsColumns(kind)) {
        columns.setSql(columnQuery(name));
        columns.Fill();
    } else if (kind == QLatin1String("User Datatypes") && !name.isEmpty()) {
        columns.setSql(userTypeCall(name));
        columns.Fill();
    } else if (kind == QLatin1String("Indexes") && !name.isEmpty()) {
        // Without an entry there is no index to ask about; the call would be a syntax error.
        m_window.saveName = indexName(name);
        const std::optional<Rows> rows = readRows(*m_query, indexCall(name), 4);
        if (!rows)
            return;
        columns.clear();
        // An unknown index gives no row, so no key either.
        if (!rows->empty())
            columns.addItems(indexKeyEntries(rows->back().value(1)));
        if (columns.count() > 0)
            columns.setCurrentIndex(0);
    }
}

void ObjectBrowser::switchDatabase(const QString& name) {
    const QString previous = m_sybase.DBName();
    m_sybase.setDBName(name);
    if (m_sybase.LastResult() != kSucceed) {
        // The server refused (and said why): the connection is still in the previous database,
        // and the name, caption and list must go on saying so.
        m_sybase.setDBName(previous);
        m_widgets.objects->setCurrentIndex(m_widgets.objects->findText(previous));
        return;
    }
    m_window.databaseSwitched(name);
}

QString ObjectBrowser::tableLayout(const QString& table) {
    std::vector<LayoutColumn> columns;
    if (const std::optional<Rows> rows = readRows(*m_query, layoutQuery(table), 6))
        for (const QStringList& row : *rows)
            columns.push_back({row[0], row[1], row[2], row[3], row[4], row[5]});
    return ostrim::tableLayout(columns, m_window.options.PasteCREATE);
}

void ObjectBrowser::setEditorText(const QString& text) {
    QTextEdit& memo = *m_widgets.memo;
    // The editor separates lines by paragraphs; CR LF would give two of them.
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    // One edit over the whole document, so that the paste can be undone.
    QTextCursor cursor(memo.document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(lines);
    memo.moveCursor(QTextCursor::Start);
}

void ObjectBrowser::pasteObjectText() {
    if (m_widgets.history->hasFocus()) {
        m_widgets.pasteHistory->trigger();
        return;
    }
    const ServerOptions& options = m_window.options;
    QString& saveName = m_window.saveName;
    const QString kind = m_widgets.types->currentText();
    const QString name = m_widgets.objects->currentText();
    const bool stored = kind == QLatin1String("Procedures") || kind == QLatin1String("Triggers") ||
                        kind == QLatin1String("Views");
    const bool known = stored || kind == QLatin1String("Tables") ||
                       kind == QLatin1String("Select") || kind == QLatin1String("Indexes");
    // An object that gave no rows (dropped since the list was read, or no such index) writes
    // nothing: the editor's text must not be replaced by an empty statement.
    if (known && !name.isEmpty() && m_window.connectionFree()) {
        const PasteFlags flags{options.PasteDROP, options.PasteCREATE, options.AppendGo};
        const QString header = pasteHeader(m_widgets.memo->toPlainText(), options.AppendPaste,
                                           kind == QLatin1String("Indexes"));
        if (stored) {
            pasteStoredText(kind, name);
        } else if (kind == QLatin1String("Tables")) {
            saveName = name;
            if (const QString layout = tableLayout(name); !layout.isEmpty())
                setEditorText(header + tableText(name, layout, flags));
        } else if (kind == QLatin1String("Select")) {
            saveName = name;
            if (const std::optional<Rows> rows = readRows(*m_query, columnQuery(name), 1);
                rows && !rows->empty())
                setEditorText(header + selectText(name, firstColumn(*rows)));
        } else {
            saveName = indexName(name);
            const std::optional<Rows> rows = readRows(*m_query, indexCall(name), 4);
            if (rows && !rows->empty()) {
                const QStringList& last = rows->back();
                setEditorText(header +
                              indexText(name, {last[0], last[1], last[2], last[3]}, flags));
            }
        }
    }
    m_widgets.memo->setFocus();
}

void ObjectBrowser::pasteStoredText(const QString& kind, const QString& name) {
    const ServerOptions& options = m_window.options;
    const PasteFlags flags{options.PasteDROP, options.PasteCREATE, options.AppendGo};
    const QString header = pasteHeader(m_widgets.memo->toPlainText(), options.AppendPaste, false);
    m_window.saveName = name;
    const QString sql =
        "select text from syscomments where id = object_id(" + sqlString(name) + ")";
    if (const std::optional<Rows> rows = readRows(*m_query, sql, 1); rows && !rows->empty())
        setEditorText(header + storedText(kind, name, firstColumn(*rows), flags));
}

void ObjectBrowser::dropObject() {
    QComboBox& objects = *m_widgets.objects;
    if (objects.count() == 0)
        return;
    const QString name = objects.currentText();
    const QString statement = dropStatement(m_widgets.types->currentText().left(20), name);
    if (statement.isEmpty() || !m_window.connectionFree())
        return;
    if (Dialogs::message("Drop object " + name, "Confirm", QMessageBox::Question,
                         QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    readRows(*m_query, statement, 0);
}

void ObjectBrowser::pasteObjectName() {
    insertAtCaret(*m_widgets.memo, m_widgets.objects->currentText());
}

void ObjectBrowser::pasteColumnName() {
    insertAtCaret(*m_widgets.memo, m_widgets.columns->currentText());
}

} // namespace ostrim
