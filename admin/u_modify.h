#pragma once
// Tf_modify: the rows the form expert chose, in a grid whose cells are edited and whose rows are
// marked for deletion; Update sends one UPDATE or DELETE per row on the window's own
// connection, each of which may change exactly that one row and sets only the cells the user
// edited. The rows load in the background on that same connection, so Update waits for the
// load to end.

#include "mdi_child.h"
#include "modify_request.h"
#include "modify_statements.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QWidget>

class QAction;
class QMenu;
class QPushButton;

namespace ostrim {

class TSybDatabase;
class TSybGrid;
class TSybQuery;
class Tmain;

class Tf_modify : public QWidget, public MdiChild {
    Q_OBJECT
public:
    explicit Tf_modify(const ModifyRequest& request, QWidget* parent = nullptr);
    ~Tf_modify() override;

    // A child window of the frame, connected with the request's login, its rows loaded.
    static Tf_modify* open(Tmain& frame, const ModifyRequest& request);

    TSybDatabase* syb_modify = nullptr;
    TSybQuery* q_update = nullptr;
    TSybGrid* g_modify = nullptr;
    QPushButton* btn_close = nullptr;
    QPushButton* IXButton11 = nullptr; // Abort query
    QPushButton* IXButton12 = nullptr; // Pause query
    QPushButton* IXButton13 = nullptr; // Resume query
    QPushButton* btn_sql_code = nullptr;
    QPushButton* IXButton1 = nullptr; // Update
    QMenu* pmnu_modify = nullptr;
    QAction* Delete1 = nullptr;
    QMenu* File1 = nullptr;
    QAction* Close1 = nullptr;

    // The grid rows edited and not yet changed on the server, in the order of their first edit.
    const QList<int>& modifiedRows() const { return m_modified; }

    // Handlers.
    void btn_closeClick();
    void IXButton11Click();
    void IXButton12Click();
    void IXButton13Click();
    void btn_sql_codeClick();
    void IXButton1Click();
    // Marks the current row for deletion; only rows of the table's data can be marked.
    void Delete1Click();

    QList<GroupedMenu> childMenus() const override;
    void childActivated() override {}

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    // Connects with the request's login, loads the rows and reads the columns' types.
    void start();
    // Runs the grid's select again; the rows it shows are new, so no edit of the old ones is
    // kept.
    void reload();
    // The grid's load is running (or stopping) and holds the connection.
    bool loading() const;
    // Until the first data row has come: fixes the cells and finds the columns by name.
    void readLayout();
    // Fixes the key columns and, when there are rows, the rows above the first one.
    void fixCells();
    void cellEdited(int col, int row);
    bool isDataRow(int row) const;
    bool isMarked(int row) const;
    void unmark(int row);
    // The row's cells of the named columns; only those edited when editedOnly is set.
    QList<CellValue> cells(int row, const QStringList& columns, bool editedOnly) const;
    // The row's UPDATE, or its DELETE when remove is set.
    ModifyStatement statementFor(int row, bool remove) const;

    ModifyRequest m_request;
    int m_firstDataRow = 0; // 0: the select gave no row
    QHash<QString, int> m_gridColumns;
    bool m_updating = false;
    QList<int> m_modified;
    // Per modified row, the grid columns edited in it: only those are sent, for the grid's text
    // of any other may not be its value (cut on loading, or a float printed with 15 digits).
    QHash<int, QSet<int>> m_edited;
    // The connection's @@textsize: a text value loaded at that length may have been cut.
    int m_textSize = 0;
    // The type names of the selected columns, read from a select of no rows: the grid's own
    // connection has moved on to its row-count result by the time a statement is built.
    QHash<QString, QString> m_types;
};

} // namespace ostrim
