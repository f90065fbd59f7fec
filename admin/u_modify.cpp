#include "u_modify.h"

#include "dialogs.h"
#include "single_row_change.h"
#include "sybdatabase.h"
#include "sybgrid.h"
#include "sybquery.h"
#include "u_main.h"
#include "u_sql_code.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace ostrim {

namespace {

const QString kCaption = QStringLiteral("Update");
const QString kDeleteMark = QStringLiteral("X");

} // namespace

Tf_modify::Tf_modify(const ModifyRequest& request, QWidget* parent)
    : QWidget(parent), m_request(request) {
    setObjectName("f_modify");
    setWindowTitle("Data Modification");
    setAttribute(Qt::WA_DeleteOnClose);
    syb_modify = new TSybDatabase(this);
    syb_modify->setObjectName("syb_modify");
    syb_modify->setLoginPrompt(false);
    q_update = new TSybQuery(this);
    q_update->setObjectName("q_update");
    q_update->setAutoDbProc(false);
    createControls();
}

Tf_modify::~Tf_modify() {
    // The loader ends before the connection it reads from goes.
    g_modify->StopLoader();
    syb_modify->disconnect();
}

void Tf_modify::createControls() {
    const auto button = [this](const char* name, const QString& text, const QString& hint,
                               const QIcon& icon) {
        auto* b = new QPushButton(icon, text, this);
        b->setObjectName(name);
        b->setToolTip(hint);
        return b;
    };
    IXButton1 = button("IXButton1", tr("Update"), tr("Update"),
                       style()->standardIcon(QStyle::SP_DialogApplyButton));
    btn_sql_code = button("btn_sql_code", tr("View sql"), tr("View sql"), {});
    IXButton11 =
        button("IXButton11", {}, tr("Abort query"), style()->standardIcon(QStyle::SP_BrowserStop));
    IXButton12 =
        button("IXButton12", {}, tr("Pause query"), style()->standardIcon(QStyle::SP_MediaPause));
    IXButton13 =
        button("IXButton13", {}, tr("Resume query"), style()->standardIcon(QStyle::SP_MediaPlay));
    btn_close = button("btn_close", tr("Close"), tr("Close"), {});

    g_modify = new TSybGrid(this);
    g_modify->setObjectName("g_modify");
    g_modify->setAutoDbProc(false);
    g_modify->setBackground(true);
    g_modify->setContextMenuPolicy(Qt::CustomContextMenu);

    pmnu_modify = new QMenu(this);
    pmnu_modify->setObjectName("pmnu_modify");
    Delete1 = pmnu_modify->addAction(tr("&Delete"));
    Delete1->setObjectName("Delete1");
    File1 = new QMenu(tr("&File"), this);
    File1->setObjectName("File1");
    Close1 = File1->addAction(tr("&Close"));
    Close1->setObjectName("Close1");

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(4, 4, 4, 4);
    for (QPushButton* b : {IXButton1, btn_sql_code, IXButton11, IXButton12, IXButton13})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(btn_close);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(buttons);
    layout->addWidget(g_modify, 1);

    connect(btn_close, &QPushButton::clicked, this, &Tf_modify::btn_closeClick);
    connect(Close1, &QAction::triggered, this, &Tf_modify::btn_closeClick);
    connect(IXButton11, &QPushButton::clicked, this, &Tf_modify::IXButton11Click);
    connect(IXButton12, &QPushButton::clicked, this, &Tf_modify::IXButton12Click);
    connect(IXButton13, &QPushButton::clicked, this, &Tf_modify::IXButton13Click);
    connect(btn_sql_code, &QPushButton::clicked, this, &Tf_modify::btn_sql_codeClick);
    connect(IXButton1, &QPushButton::clicked, this, &Tf_modify::IXButton1Click);
    connect(Delete1, &QAction::triggered, this, &Tf_modify::Delete1Click);
    connect(g_modify, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The menu acts on the row clicked.
        const QModelIndex cell = g_modify->indexAt(at);
        if (isDataRow(cell.row()))
            g_modify->setCurrentIndex(cell.siblingAtColumn(std::max(
                cell.column(), std::min(g_modify->FixedCols(), g_modify->colCount() - 1))));
        pmnu_modify->popup(g_modify->viewport()->mapToGlobal(at));
    });
    connect(g_modify->gridModel(), &GridModel::cellEdited, this, &Tf_modify::cellEdited);
    // A row shown empty may be written later, so written rows count as well as new ones.
    connect(g_modify->gridModel(), &QAbstractItemModel::rowsInserted, this, &Tf_modify::readLayout);
    connect(g_modify->gridModel(), &QAbstractItemModel::dataChanged, this, &Tf_modify::readLayout);
}

Tf_modify* Tf_modify::open(Tmain& frame, const ModifyRequest& request) {
    auto* window = new Tf_modify(request);
    frame.addChild(window);
    window->g_modify->setCellViewer(frame.config.CellViewer);
    window->start();
    return window;
}

void Tf_modify::start() {
    syb_modify->setDBName(m_request.login.database);
    syb_modify->setServerName(m_request.login.server);
    syb_modify->setUserName(m_request.login.user);
    syb_modify->setPassword(m_request.login.password);
    syb_modify->connect();
    if (!syb_modify->Connected())
        return;
    g_modify->setDbProc(syb_modify->DbProc());
    q_update->setDbProc(syb_modify->DbProc());
    q_update->setSql(QStringLiteral("select @@textsize"));
    if (q_update->Execute() == kSucceed && q_update->Fetch()) {
        m_textSize = q_update->ColumnValue(1).toInt();
        while (q_update->Fetch()) {
        }
    }
    q_update->setSql("select " + m_request.columns.join(',') + " from " + m_request.table +
                     " where 1=2");
    if (q_update->Execute() == kSucceed) {
        for (int c = 1; c <= q_update->ColumnCount(); ++c)
            m_types.insert(q_update->ColumnName(c), q_update->ColumnTypeName(c));
    }
    g_modify->setSql(m_request.selectText);
    reload();
}

void Tf_modify::reload() {
    m_modified.clear();
    m_edited.clear();
    m_firstDataRow = 0;
    g_modify->Execute();
    readLayout();
}

bool Tf_modify::loading() const {
    const GridRunner::State state = g_modify->RunState();
    return state == GridRunner::State::Loading || state == GridRunner::State::Paused ||
           state == GridRunner::State::Stopping;
}

void Tf_modify::readLayout() {
    if (m_firstDataRow)
        return;
    fixCells();
    // The select's first row of names names the grid's columns; the first of a name counts.
    m_gridColumns.clear();
    for (int row = 1; row < g_modify->rowCount(); ++row) {
        if (g_modify->gridModel()->rowKind(row) != RowKind::ColumnNames)
            continue;
        for (int c = g_modify->colCount() - 1; c >= 1; --c)
            m_gridColumns.insert(g_modify->cell(c, row), c);
        break;
    }
}

void Tf_modify::fixCells() {
    // The grid keeps its row 0 empty and writes the column names in row 1: both stay in place.
    m_firstDataRow = 0;
    for (int row = 1; row < g_modify->rowCount() && !m_firstDataRow; ++row)
        m_firstDataRow = isDataRow(row) ? row : 0;
    g_modify->setFixedRows(m_firstDataRow ? m_firstDataRow : 1);
    g_modify->setFixedCols(std::min(int(m_request.keys.size()) + 1, g_modify->colCount()));
}

bool Tf_modify::isDataRow(int row) const {
    return row > 0 && row < g_modify->rowCount() &&
           g_modify->gridModel()->rowKind(row) == RowKind::Data;
}

bool Tf_modify::isMarked(int row) const {
    return g_modify->cell(0, row) == kDeleteMark;
}

void Tf_modify::unmark(int row) {
    g_modify->setCell(0, row, g_modify->ShowLineNum() ? QString::number(row) : QStringLiteral(" "));
}

void Tf_modify::cellEdited(int col, int row) {
    if (col < 1 || !isDataRow(row))
        return;
    if (!m_edited.contains(row))
        m_modified.append(row);
    m_edited[row].insert(col);
}

QList<CellValue> Tf_modify::cells(int row, const QStringList& columns, bool editedOnly) const {
    const QSet<int> edited = m_edited.value(row);
    QList<CellValue> values;
    for (const QString& name : columns) {
        const int c = m_gridColumns.value(name);
        if (editedOnly && !edited.contains(c))
            continue;
        const QString type = m_types.value(name);
        // The grid shows a NULL as one blank; sent back it must stay NULL.
        const bool null = g_modify->gridModel()->isNull(c, row);
        const qsizetype loaded = g_modify->gridModel()->store().cell(row, c).size();
        values << CellValue{name, type, null ? QString() : g_modify->cell(c, row),
                            loadedWhole(type, loaded, m_textSize)};
    }
    return values;
}

ModifyStatement Tf_modify::statementFor(int row, bool remove) const {
    for (const QString& name : m_request.keys + (remove ? QStringList() : m_request.updatable)) {
        if (!m_gridColumns.contains(name))
            return {{}, name + ": not a column of the grid"};
    }
    const QList<CellValue> keys = cells(row, m_request.keys, false);
    if (remove)
        return deleteStatement(m_request.table, keys);
    const QList<CellValue> set = cells(row, m_request.updatable, true);
    if (set.isEmpty())
        return {{}, QStringLiteral("no edited column of it can be updated")};
    return updateStatement(m_request.table, set, keys);
}

void Tf_modify::IXButton1Click() {
    if (m_updating || !syb_modify->Connected())
        return;
    // The grid's loader reads from the connection the statements would go out on.
    if (loading()) {
        Dialogs::message(QStringLiteral("The rows are still loading."), kCaption,
                         QMessageBox::Information);
        return;
    }
    // Takes the rows the finished loader handed over last.
    g_modify->Terminated();
    readLayout();
    if (!m_firstDataRow)
        return;
    // A box shown meanwhile (the server's, or the counts) runs the event loop: the grid and the
    // window stay as they are until the last box is answered.
    m_updating = true;
    setEnabled(false);
    QStringList unchanged;
    const auto send = [&](int row, bool remove) {
        const ModifyStatement statement = statementFor(row, remove);
        if (!statement.refusal.isEmpty()) {
            unchanged
                << QStringLiteral("Row %1: %2; nothing was sent").arg(row).arg(statement.refusal);
            return false;
        }
        const RowChange change = changeOneRow(*q_update, statement.text);
        if (change.outcome != RowChange::Changed)
            unchanged << QStringLiteral("Row %1: %2").arg(row).arg(unchangedReason(change));
        return change.outcome == RowChange::Changed;
    };

    int modified = 0;
    const QList<int> edited = m_modified;
    for (const int row : edited) {
        if (isMarked(row) || !send(row, false))
            continue;
        // Done: a later Update must not send it again over what others changed since.
        ++modified;
        m_modified.removeOne(row);
        m_edited.remove(row);
    }
    Dialogs::message(QStringLiteral("%1 Rows Modified").arg(modified), kCaption,
                     QMessageBox::Information);

    int deleted = 0;
    for (int row = m_firstDataRow; row < g_modify->rowCount(); ++row) {
        if (!isDataRow(row) || !isMarked(row))
            continue;
        deleted += send(row, true);
        unmark(row);
    }
    Dialogs::message(QStringLiteral("%1 Rows Deleted").arg(deleted), kCaption,
                     QMessageBox::Information);
    if (!unchanged.isEmpty())
        Dialogs::message(unchanged.join('\n'), kCaption, QMessageBox::Warning);
    if (deleted > 0)
        reload();
    setEnabled(true);
    m_updating = false;
    // Disabled, the window gave the focus, and the frame its activation, to another child.
    if (auto* child = qobject_cast<QMdiSubWindow*>(parentWidget()); child && child->mdiArea())
        child->mdiArea()->setActiveSubWindow(child);
    g_modify->setFocus();
}

void Tf_modify::Delete1Click() {
    const int row = g_modify->currentIndex().row();
    if (isDataRow(row))
        g_modify->setCell(0, row, kDeleteMark);
}

void Tf_modify::btn_closeClick() {
    closeChildWindow(*this);
}

void Tf_modify::IXButton11Click() {
    g_modify->StopLoader();
}

void Tf_modify::IXButton12Click() {
    if (Threadgrid* loader = g_modify->Loader())
        loader->Suspend();
}

void Tf_modify::IXButton13Click() {
    if (Threadgrid* loader = g_modify->Loader())
        loader->Resume();
}

void Tf_modify::btn_sql_codeClick() {
    Tf_sql_code code(this);
    code.memo_sql->setPlainText(g_modify->Sql());
    code.memo_sql->setFont(g_modify->font());
    Dialogs::exec(code);
}

QList<GroupedMenu> Tf_modify::childMenus() const {
    return {{0, File1}};
}

void Tf_modify::closeEvent(QCloseEvent* event) {
    if (m_updating) {
        event->ignore();
        return;
    }
    // Waits by running the event loop, so the window stays painted meanwhile.
    g_modify->StopLoader();
    syb_modify->disconnect();
    event->accept();
}

} // namespace ostrim
