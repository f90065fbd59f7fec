// The type, object and column lists, and the object text pasted into the editor.

#include "dialogs.h"
#include "object_text.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_server.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>

#include <optional>
#include <vector>

namespace ostrim {

namespace {

using Rows = std::vector<QStringList>;

constexpr int kTitlePrefixLength = 50;

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

void Tserverform::createObjectServices() {
    // activated, not currentIndexChanged: only the user's choice runs a change; the window's
    // own selections (creation, activation) must not switch databases.
    connect(type_list, &QComboBox::activated, this, &Tserverform::type_listChange);
    connect(object_list, &QComboBox::activated, this, &Tserverform::object_listChange);
    // The type panel's own slot, connected earlier, has set type_list's index by then.
    for (const char* name : {"btn_databases", "btn_procedures", "btn_select", "btn_tables",
                             "btn_views", "btn_triggers"})
        connect(speedButton(name), &QToolButton::clicked, this, &Tserverform::type_listChange);
    connect(toolButton(2), &QToolButton::clicked, this, &Tserverform::Button1Click);
    connect(toolButton(24), &QToolButton::clicked, this, &Tserverform::IXButton15Click);
    connect(findChild<QAction*>("Pasteobjecttext1"), &QAction::triggered, this,
            &Tserverform::Pasteobjecttext1Click);
    connect(findChild<QAction*>("Pastecolumntext1"), &QAction::triggered, this,
            &Tserverform::Pastecolumntext1Click);
}

void Tserverform::type_listChange() {
    if (!connectionFree()) {
        // The lists were not read: the type shown must still name what they hold.
        type_list->setCurrentIndex(type_list->findText(m_listedKind));
        return;
    }
    const QString kind = type_list->currentText();
    m_listedKind = kind;
    column_list->clear();
    column_list->setEditText({});
    column_list->ClearSql();
    object_list->clear();
    if (const QString sql = objectListQuery(kind); !sql.isEmpty()) {
        const WaitCursor wait;
        if (const std::optional<Rows> rows = readRows(*query, sql, 1))
            object_list->addItems(firstColumn(*rows));
    }
    object_list->setCurrentIndex(0);
    if (listsColumns(kind)) {
        column_list->setSql(columnQuery(object_list->currentText()));
        column_list->Fill();
    } else if (kind == QLatin1String("Indexes")) {
        object_listChange();
    }
}

void Tserverform::object_listChange() {
    const QString kind = type_list->currentText();
    const QString name = object_list->currentText();
    if (!connectionFree()) {
        // The pick did not happen: the list shows the database still in use.
        if (kind == QLatin1String("Databases"))
            object_list->setCurrentIndex(object_list->findText(sybase->DBName()));
        return;
    }
    column_list->clear();
    if (kind == QLatin1String("Databases")) {
        switchDatabase(name);
    } else if (listsColumns(kind)) {
        column_list->setSql(columnQuery(name));
        column_list->Fill();
    } else if (kind == QLatin1String("User Datatypes") && !name.isEmpty()) {
        column_list->setSql(userTypeCall(name));
        column_list->Fill();
    } else if (kind == QLatin1String("Indexes") && !name.isEmpty()) {
        // Without an entry there is no index to ask about; the call would be a syntax error.
        SaveName = indexName(name);
        const std::optional<Rows> rows = readRows(*query, indexCall(name), 4);
        if (!rows)
            return;
        column_list->clear();
        // An unknown index gives no row, so no key either.
        if (!rows->empty())
            column_list->addItems(indexKeyEntries(rows->back().value(1)));
        if (column_list->count() > 0)
            column_list->setCurrentIndex(0);
    }
}

void Tserverform::switchDatabase(const QString& name) {
    const QString previous = sybase->DBName();
    sybase->setDBName(name);
    if (sybase->LastResult() != kSucceed) {
        // The server refused (and said why): the connection is still in the previous database,
        // and the name, caption and list must go on saying so.
        sybase->setDBName(previous);
        object_list->setCurrentIndex(object_list->findText(previous));
        return;
    }
    TitlePrefix = QString(sybase->ServerName() + "/" + name + ":" + sybase->UserName())
                      .left(kTitlePrefixLength);
    setWindowTitle(TitlePrefix + " - " + DocName);
}

QString Tserverform::table_layout(const QString& table) {
    std::vector<LayoutColumn> columns;
    if (const std::optional<Rows> rows = readRows(*query, layoutQuery(table), 6))
        for (const QStringList& row : *rows)
            columns.push_back({row[0], row[1], row[2], row[3], row[4], row[5]});
    return tableLayout(columns, options.PasteCREATE);
}

void Tserverform::setEditorText(const QString& text) {
    // The editor separates lines by paragraphs; CR LF would give two of them.
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    // One edit over the whole document, so that the paste can be undone.
    QTextCursor cursor(memo->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(lines);
    memo->moveCursor(QTextCursor::Start);
}

void Tserverform::Button1Click() {
    if (cmb_history->hasFocus()) {
        findChild<QAction*>("PasteSQLHistory1")->trigger();
        return;
    }
    const QString kind = type_list->currentText();
    const QString name = object_list->currentText();
    const bool stored = kind == QLatin1String("Procedures") || kind == QLatin1String("Triggers") ||
                        kind == QLatin1String("Views");
    const bool known = stored || kind == QLatin1String("Tables") ||
                       kind == QLatin1String("Select") || kind == QLatin1String("Indexes");
    // An object that gave no rows (dropped since the list was read, or no such index) writes
    // nothing: the editor's text must not be replaced by an empty statement.
    if (known && !name.isEmpty() && connectionFree()) {
        const PasteFlags flags{options.PasteDROP, options.PasteCREATE, options.AppendGo};
        const QString header =
            pasteHeader(memo->toPlainText(), options.AppendPaste, kind == QLatin1String("Indexes"));
        if (stored) {
            SaveName = name;
            const QString sql =
                "select text from syscomments where id = object_id(" + sqlString(name) + ")";
            if (const std::optional<Rows> rows = readRows(*query, sql, 1); rows && !rows->empty())
                setEditorText(header + storedText(kind, name, firstColumn(*rows), flags));
        } else if (kind == QLatin1String("Tables")) {
            SaveName = name;
            if (const QString layout = table_layout(name); !layout.isEmpty())
                setEditorText(header + tableText(name, layout, flags));
        } else if (kind == QLatin1String("Select")) {
            SaveName = name;
            if (const std::optional<Rows> rows = readRows(*query, columnQuery(name), 1);
                rows && !rows->empty())
                setEditorText(header + selectText(name, firstColumn(*rows)));
        } else {
            SaveName = indexName(name);
            const std::optional<Rows> rows = readRows(*query, indexCall(name), 4);
            if (rows && !rows->empty()) {
                const QStringList& last = rows->back();
                setEditorText(header +
                              indexText(name, {last[0], last[1], last[2], last[3]}, flags));
            }
        }
    }
    memo->setFocus();
}

void Tserverform::IXButton15Click() {
    if (object_list->count() == 0)
        return;
    const QString name = object_list->currentText();
    const QString statement = dropStatement(type_list->currentText().left(20), name);
    if (statement.isEmpty() || !connectionFree())
        return;
    if (Dialogs::message("Drop object " + name, "Confirm", QMessageBox::Question,
                         QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    readRows(*query, statement, 0);
}

void Tserverform::Pasteobjecttext1Click() {
    insertAtCaret(object_list->currentText());
}

void Tserverform::Pastecolumntext1Click() {
    insertAtCaret(column_list->currentText());
}

} // namespace ostrim
