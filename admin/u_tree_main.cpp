#include "u_tree_main.h"

#include "dialogs.h"
#include "glyph_icon.h"
#include "server_directory.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_server_properties.h"

#include <QAction>
#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <array>
#include <functional>

namespace ostrim {

namespace {

const char* const kServerChildren[] = {"Databases",    "Logins",         "Database Devices",
                                       "Dump Devices", "Remote Servers", "Caches"};

struct ObjectKind {
    const char* text;
    int code;
    const char* sql;
};

// In tree order; a list item's image is its kind's position here.
const std::array<ObjectKind, 11> kObjectKinds = {{
    {"Users", 1, "select name from sysusers where gid<>uid order by name"},
    {"Groups", 2, "select name from sysusers where gid=uid order by name"},
    {"System Tables", 3, "select name from sysobjects where type=\"S\" order by name"},
    {"User Tables", 4, "select name from sysobjects where type=\"U\" order by name"},
    {"Views", 5, "select name from sysobjects where type=\"V\" order by name"},
    {"Indexes", 6, "select name from sysindexes order by name"},
    {"Triggers", 7, "select name from sysobjects where type=\"TR\" order by name"},
    {"Procedures", 8, "select name from sysobjects where type=\"P\" order by name"},
    // From 100 on: the first user type is numbered 100.
    {"User Datatypes", 10, "select name from systypes where usertype >= 100 order by name"},
    {"System Datatypes", 12, "select name from systypes where usertype < 100 order by name"},
    {"Segments", 11, "select name from syssegments order by name"},
}};

const char* const kDragFormat = "application/x-ostrim-object-names";

// The list starts a drag only through the window's decision, and copies the names first.
class ObjectList : public QListWidget {
public:
    ObjectList(QWidget* parent, std::function<bool()> mayDrag, std::function<void()> copy)
        : QListWidget(parent), m_mayDrag(std::move(mayDrag)), m_copy(std::move(copy)) {}

protected:
    void startDrag(Qt::DropActions) override {
        if (!m_mayDrag())
            return;
        m_copy();
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setData(kDragFormat, {});
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    }

private:
    std::function<bool()> m_mayDrag;
    std::function<void()> m_copy;
};

// The tree takes drops where the window allows them and hands them to its paste.
class ServerTree : public QTreeWidget {
public:
    ServerTree(QWidget* parent, std::function<bool(const QTreeWidgetItem*)> mayDrop,
               std::function<void(QTreeWidgetItem*)> drop)
        : QTreeWidget(parent), m_mayDrop(std::move(mayDrop)), m_drop(std::move(drop)) {}

protected:
    void dragEnterEvent(QDragEnterEvent* event) override {
        if (event->mimeData()->hasFormat(kDragFormat))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dragMoveEvent(QDragMoveEvent* event) override {
        QTreeWidgetItem* node = itemAt(event->position().toPoint());
        if (event->mimeData()->hasFormat(kDragFormat) && m_mayDrop(node))
            event->acceptProposedAction();
        else
            event->ignore();
    }
    void dropEvent(QDropEvent* event) override {
        QTreeWidgetItem* node = itemAt(event->position().toPoint());
        if (!event->mimeData()->hasFormat(kDragFormat) || !m_mayDrop(node)) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        m_drop(node);
    }

private:
    std::function<bool(const QTreeWidgetItem*)> m_mayDrop;
    std::function<void(QTreeWidgetItem*)> m_drop;
};

QIcon standardIcon(QStyle::StandardPixmap pixmap) {
    return QApplication::style()->standardIcon(pixmap);
}

} // namespace

QString connectionName(const QString& server, int index) {
    QString name = server;
    for (QChar& c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    const QString suffix = "_" + QString::number(index);
    return ("db_" + name).left(kNameLength - int(suffix.size())) + suffix;
}

Tf_treeview::Tf_treeview(QWidget* parent) : QDialog(parent) {
    setObjectName("f_treeview");
    setWindowTitle(tr("Tree view"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    createControls();
    createMenus();
    query = new TSybQuery(this);
    query->setObjectName("query");
    loadTree();
    setWindowState(Qt::WindowMaximized);
}

Tf_treeview::~Tf_treeview() {
    for (TSybDatabase* connection : m_connections)
        connection->disconnect();
}

void Tf_treeview::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    const auto button = [this](const char* name, const QString& hint, const QIcon& icon) {
        return addToolButton(ToolBar1, name, hint, icon);
    };
    ToolButton1 = button("ToolButton1", tr("Close"), standardIcon(QStyle::SP_DialogCloseButton));
    ToolBar1->addSeparator();
    ToolButton3 =
        button("ToolButton3", tr("Large Icons"), standardIcon(QStyle::SP_FileDialogContentsView));
    ToolButton4 =
        button("ToolButton4", tr("Small Icons"), standardIcon(QStyle::SP_FileDialogListView));
    ToolButton5 =
        button("ToolButton5", tr("List"), standardIcon(QStyle::SP_FileDialogDetailedView));
    for (QToolButton* b : {ToolButton3, ToolButton4, ToolButton5})
        b->setCheckable(true);
    layout->addWidget(ToolBar1);

    Splitter1 = new QSplitter(Qt::Horizontal, this);
    Splitter1->setObjectName("Splitter1");
    tree_panel = new QWidget(Splitter1);
    tree_panel->setObjectName("tree_panel");
    list_panel = new QWidget(Splitter1);
    list_panel->setObjectName("list_panel");
    Splitter1->addWidget(tree_panel);
    Splitter1->addWidget(list_panel);
    Splitter1->setStretchFactor(1, 2);
    layout->addWidget(Splitter1, 1);

    t = new ServerTree(
        tree_panel, [this](const QTreeWidgetItem* node) { return mayDropOn(node); },
        [this](QTreeWidgetItem* node) { paste(node); });
    t->setObjectName("t");
    t->setHeaderHidden(true);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setAcceptDrops(true);
    t->viewport()->setAcceptDrops(true);
    t->setDragDropMode(QAbstractItemView::DropOnly);
    t->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* treeLayout = new QVBoxLayout(tree_panel);
    treeLayout->setContentsMargins(0, 0, 0, 0);
    treeLayout->addWidget(t);

    l = new ObjectList(
        list_panel, [this] { return mayDrag(); }, [this] { Copy1Click(); });
    l->setObjectName("l");
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setDragEnabled(true);
    l->setDragDropMode(QAbstractItemView::DragOnly);
    l->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* listLayout = new QVBoxLayout(list_panel);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(l);

    tree_images = {standardIcon(QStyle::SP_DriveNetIcon), standardIcon(QStyle::SP_ComputerIcon),
                   standardIcon(QStyle::SP_DriveHDIcon), standardIcon(QStyle::SP_DirIcon)};
    const QFont font = glyphFont(13);
    for (const char* glyph : {"U", "G", "S", "T", "V", "I", "Tr", "P", "UD", "SD", "Sg"})
        list_images << glyphIcon(QString::fromLatin1(glyph), font);

    connect(t, &QTreeWidget::itemClicked, this, [this] { tClick(); });
    connect(t, &QTreeWidget::itemExpanded, this, &Tf_treeview::tExpanded);
    connect(t, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        tMouseDown();
        if (m_treePopup)
            m_treePopup->popup(t->viewport()->mapToGlobal(at));
    });
    connect(l, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        lMouseDown();
        if (m_listPopup)
            m_listPopup->popup(l->viewport()->mapToGlobal(at));
    });
    connect(ToolButton1, &QToolButton::clicked, this, &Tf_treeview::CloseClick);
    connect(ToolButton3, &QToolButton::clicked, this, &Tf_treeview::LargeIconsClick);
    connect(ToolButton4, &QToolButton::clicked, this, &Tf_treeview::SmallIconsClick);
    connect(ToolButton5, &QToolButton::clicked, this, &Tf_treeview::ListClick);
}

void Tf_treeview::createMenus() {
    auto* bar = new QMenuBar(this);
    layout()->setMenuBar(bar);
    File1 = bar->addMenu(tr("&File"));
    File1->setObjectName("File1");
    Close1 = File1->addAction(tr("&Close"));
    Close1->setObjectName("Close1");
    View1 = bar->addMenu(tr("View"));
    View1->setObjectName("View1");
    mnu_LargeIcons1 = View1->addAction(tr("&Large Icons"));
    mnu_LargeIcons1->setObjectName("mnu_LargeIcons1");
    mnu_SmallIcons1 = View1->addAction(tr("&Small Icons"));
    mnu_SmallIcons1->setObjectName("mnu_SmallIcons1");
    mnu_List1 = View1->addAction(tr("Lis&t"));
    mnu_List1->setObjectName("mnu_List1");
    for (QAction* a : {mnu_LargeIcons1, mnu_SmallIcons1, mnu_List1})
        a->setCheckable(true);
    connect(Close1, &QAction::triggered, this, &Tf_treeview::CloseClick);
    connect(mnu_LargeIcons1, &QAction::triggered, this, &Tf_treeview::LargeIconsClick);
    connect(mnu_SmallIcons1, &QAction::triggered, this, &Tf_treeview::SmallIconsClick);
    connect(mnu_List1, &QAction::triggered, this, &Tf_treeview::ListClick);

    tree_server_submenu = new QMenu(this);
    tree_server_submenu->setObjectName("tree_server_submenu");
    Connect1 = tree_server_submenu->addAction(tr("&Connect"));
    Connect1->setObjectName("Connect1");
    Disconnect1 = tree_server_submenu->addAction(tr("&Disconnect"));
    Disconnect1->setObjectName("Disconnect1");
    tree_server_submenu->addSeparator();
    Properties1 = tree_server_submenu->addAction(tr("&Properties"));
    Properties1->setObjectName("Properties1");
    connect(Connect1, &QAction::triggered, this, &Tf_treeview::Connect1Click);
    connect(Disconnect1, &QAction::triggered, this, &Tf_treeview::Disconnect1Click);
    connect(Properties1, &QAction::triggered, this, &Tf_treeview::Properties1Click);

    edit_menu = new QMenu(this);
    edit_menu->setObjectName("edit_menu");
    Copy1 = edit_menu->addAction(tr("&Copy"));
    Copy1->setObjectName("Copy1");
    connect(Copy1, &QAction::triggered, this, &Tf_treeview::Copy1Click);

    setListStyle(ListStyle::ListArrangement);
}

void Tf_treeview::setImage(QTreeWidgetItem* node, int image) {
    node->setData(0, kImageRole, image);
    node->setIcon(0, tree_images.value(image));
}

void Tf_treeview::loadTree() {
    // The one place that decides which servers the explorer offers.
    m_servers = directoryServerNames();
    auto* root = new QTreeWidgetItem(t, QStringList{tr("SQL Servers")});
    setImage(root, 0);
    for (int i = 0; i < m_servers.size(); ++i) {
        auto* server = new QTreeWidgetItem(root, QStringList{m_servers[i]});
        setImage(server, 1);
        for (const char* text : kServerChildren)
            setImage(new QTreeWidgetItem(server, QStringList{QString::fromLatin1(text)}), 3);
        auto* connection = new TSybDatabase(this);
        connection->setServerName(m_servers[i]);
        connection->setDBName("master");
        connection->setUserName("sa");
        connection->setName(connectionName(m_servers[i], i));
        connection->loaded();
        m_connections.push_back(connection);
    }
    root->setExpanded(true);
}

int Tf_treeview::level(const QTreeWidgetItem* node) {
    int depth = -1;
    for (; node; node = node->parent())
        ++depth;
    return depth;
}

QTreeWidgetItem* Tf_treeview::serverNode(int index) const {
    QTreeWidgetItem* root = t->topLevelItem(0);
    return root ? root->child(index) : nullptr;
}

TSybDatabase* Tf_treeview::connectionOf(const QTreeWidgetItem* node) const {
    if (level(node) < 1)
        return nullptr;
    while (level(node) > 1)
        node = node->parent();
    const int index = node->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(node));
    return index >= 0 && size_t(index) < m_connections.size() ? m_connections[size_t(index)]
                                                              : nullptr;
}

void Tf_treeview::set_login(const QString& user, const QString& password, const QString& server) {
    m_storedUser = user.left(kNameLength);
    m_storedPassword = password.left(kNameLength);
    m_storedServer = server.left(kNameLength);
}

void Tf_treeview::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormActivate();
}

void Tf_treeview::FormActivate() {
    if (m_storedUser.isEmpty() || m_storedServer.isEmpty())
        return;
    const QString wanted = m_storedServer.toUpper();
    for (QTreeWidgetItemIterator it(t); *it; ++it) {
        if ((*it)->text(0).toUpper() == wanted) {
            t->setCurrentItem(*it);
            (*it)->setExpanded(true);
            return;
        }
    }
}

void Tf_treeview::useStoredLogin(TSybDatabase& connection) {
    if (m_storedUser.isEmpty() || m_storedServer.isEmpty())
        return;
    connection.setUserName(m_storedUser);
    connection.setPassword(m_storedPassword);
    connection.setServerName(m_storedServer);
    connection.setLoginPrompt(false);
}

void Tf_treeview::tExpanded(QTreeWidgetItem* node) {
    if (level(node) != 1)
        return;
    TSybDatabase* connection = connectionOf(node);
    if (!connection)
        return;
    if (!connection->Connected()) {
        useStoredLogin(*connection);
        connection->connect();
        m_storedUser.clear();
        m_storedPassword.clear();
        connection->setLoginPrompt(true);
    }
    if (!connection->Connected()) {
        node->setExpanded(false);
        return;
    }
    loadDatabases(node);
}

void Tf_treeview::loadDatabases(QTreeWidgetItem* server) {
    QTreeWidgetItem* databases = server->child(0);
    if (databases->childCount() > 0)
        return;
    TSybDatabase* connection = connectionOf(server);
    TSybQuery names;
    names.setAutoDbProc(false);
    names.setDbProc(connection->DbProc());
    names.setSql("select name from master..sysdatabases order by name");
    names.Execute();
    while (names.Next() == kMoreRows) {
        auto* database = new QTreeWidgetItem(databases, QStringList{names.ColumnValue(1)});
        setImage(database, 2);
        for (const ObjectKind& kind : kObjectKinds)
            setImage(new QTreeWidgetItem(database, QStringList{QString::fromLatin1(kind.text)}), 3);
    }
}

void Tf_treeview::tClick() {
    QTreeWidgetItem* selected = t->currentItem();
    if (selected != m_lastSelected)
        refresh(selected);
    m_lastSelected = selected;
}

CopyEnd Tf_treeview::endOf(QTreeWidgetItem* databaseNode) const {
    const TSybDatabase* connection = connectionOf(databaseNode);
    return {connection->DbProc(), databaseNode->text(0), connection->ServerName()};
}

void Tf_treeview::refresh(QTreeWidgetItem* node) {
    const int depth = level(node);
    if (depth == 3) {
        connectionOf(node)->setDBName(node->text(0));
        m_target = endOf(node);
    } else if (depth == 4) {
        listObjects(node);
    }
}

void Tf_treeview::listObjects(QTreeWidgetItem* kindNode) {
    l->clear();
    QTreeWidgetItem* database = kindNode->parent();
    TSybDatabase* connection = connectionOf(kindNode);
    connection->setDBName(database->text(0));
    m_source = endOf(database);
    const int image = database->indexOfChild(kindNode);
    const ObjectKind& kind = kObjectKinds[size_t(image)];
    m_kind = kind.code;
    query->setSql(QString::fromLatin1(kind.sql));
    query->setDbName(connection->Name());
    query->setDbProc(connection->DbProc());
    query->Execute();
    while (query->Next() == kMoreRows) {
        auto* item = new QListWidgetItem(list_images.value(image), query->ColumnValue(1), l);
        item->setData(kImageRole, image);
    }
}

QTreeWidgetItem* Tf_treeview::selectedServer() const {
    QTreeWidgetItem* node = t->currentItem();
    return level(node) == 1 ? node : nullptr;
}

void Tf_treeview::tMouseDown() {
    QTreeWidgetItem* node = t->currentItem();
    const int depth = level(node);
    if (depth == 1)
        m_treePopup = tree_server_submenu;
    else if (!(depth == 4 && node->text(0) == QLatin1String("System Tables")))
        m_treePopup = nullptr;
}

void Tf_treeview::lMouseDown() {
    m_listPopup = isCopyableKind(m_kind) ? edit_menu : nullptr;
}

void Tf_treeview::setListStyle(ListStyle style) {
    m_listStyle = style;
    switch (style) {
    case ListStyle::LargeIcons:
        l->setViewMode(QListView::IconMode);
        l->setFlow(QListView::LeftToRight);
        l->setWrapping(true);
        l->setIconSize(QSize(32, 32));
        l->setGridSize(QSize(120, 64));
        break;
    case ListStyle::ListArrangement:
        l->setViewMode(QListView::ListMode);
        l->setFlow(QListView::TopToBottom);
        l->setWrapping(true);
        l->setIconSize(QSize(16, 16));
        l->setGridSize(QSize());
        break;
    case ListStyle::SmallIcons:
        l->setViewMode(QListView::ListMode);
        l->setFlow(QListView::LeftToRight);
        l->setWrapping(true);
        l->setIconSize(QSize(16, 16));
        l->setGridSize(QSize());
        break;
    }
    // The view modes keep dragging on; the list's own item moves must stay off.
    l->setMovement(QListView::Static);
    l->setDragEnabled(true);
    ToolButton3->setChecked(style == ListStyle::LargeIcons);
    ToolButton4->setChecked(style == ListStyle::ListArrangement);
    ToolButton5->setChecked(style == ListStyle::SmallIcons);
    mnu_LargeIcons1->setChecked(style == ListStyle::LargeIcons);
    mnu_SmallIcons1->setChecked(style == ListStyle::ListArrangement);
    mnu_List1->setChecked(style == ListStyle::SmallIcons);
}

void Tf_treeview::CloseClick() {
    for (TSybDatabase* connection : m_connections)
        connection->disconnect();
    close();
}

void Tf_treeview::Connect1Click() {
    QTreeWidgetItem* server = selectedServer();
    if (!server)
        return;
    TSybDatabase* connection = connectionOf(server);
    if (!connection->Connected()) {
        useStoredLogin(*connection);
        connection->connect();
        m_storedUser.clear();
        m_storedPassword.clear();
        m_storedServer.clear();
        connection->setUserName(QString());
        connection->setPassword(QString());
        connection->setLoginPrompt(true);
    }
    if (connection->Connected())
        server->setExpanded(true);
}

void Tf_treeview::Disconnect1Click() {
    QTreeWidgetItem* server = selectedServer();
    if (!server)
        return;
    TSybDatabase* connection = connectionOf(server);
    if (connection->Connected()) {
        connection->disconnect();
        server->setExpanded(false);
    }
}

void Tf_treeview::Properties1Click() {
    QTreeWidgetItem* server = selectedServer();
    if (!server)
        return;
    const TSybDatabase* connection = connectionOf(server);
    if (!connection->Connected())
        return;
    Tf_server_properties properties(this);
    properties.fill(*connection);
    Dialogs::exec(properties);
}

void Tf_treeview::Copy1Click() {
    copied_names.clear();
    for (int i = 0; i < l->count(); ++i)
        if (l->item(i)->isSelected())
            copied_names << l->item(i)->text();
}

bool Tf_treeview::mayDropOn(const QTreeWidgetItem* node) const {
    return node && level(node) == 3 && mayDrag();
}

void Tf_treeview::paste(QTreeWidgetItem* databaseNode) {
    if (level(databaseNode) != 3)
        return;
    connectionOf(databaseNode)->setDBName(databaseNode->text(0));
    m_target = endOf(databaseNode);
    l->setCursor(Qt::WaitCursor);
    t->setCursor(Qt::WaitCursor);
    for (const QString& name : copied_names)
        if (copyObject(m_source, m_target, name, m_kind) == CopyResult::NotFound)
            Dialogs::message("Could not find object " + name, "Error", QMessageBox::Critical,
                             QMessageBox::Ok);
    l->unsetCursor();
    t->unsetCursor();
}

} // namespace ostrim
