#pragma once
// Tf_treeview: the server explorer. The servers of the directory as a tree of their databases and
// object kinds beside a list of the objects of the chosen kind; one connection per server, made on
// demand, and views, triggers and procedures copied between databases by drag and drop.

#include "object_copier.h"

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QStringList>

#include <vector>

class QAction;
class QListWidget;
class QMenu;
class QSplitter;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace ostrim {

class TSybDatabase;
class TSybQuery;

// The component name of the index-th server's connection: "db_" and the server name with every
// character that cannot stand in an identifier made '_', then '_' and index, so that names that
// differ only there stay apart. At most 30 characters.
QString connectionName(const QString& server, int index);

class Tf_treeview : public QDialog {
    Q_OBJECT
public:
    // Loads the tree from the server directory; connects nothing yet.
    explicit Tf_treeview(QWidget* parent = nullptr);
    // Closes every connection still open.
    ~Tf_treeview() override;

    // The opening window's login, used once by the first connection made.
    void set_login(const QString& user, const QString& password, const QString& server);

    // The tree item's data role holding its image number (tree_images, list_images).
    static constexpr int kImageRole = Qt::UserRole;
    // The list's arrangement, as the View commands set it.
    enum class ListStyle { LargeIcons, ListArrangement, SmallIcons };

    QToolBar* ToolBar1 = nullptr;
    QToolButton *ToolButton1 = nullptr, *ToolButton3 = nullptr, *ToolButton4 = nullptr,
                *ToolButton5 = nullptr;
    QWidget* tree_panel = nullptr;
    QWidget* list_panel = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeWidget* t = nullptr;
    QListWidget* l = nullptr;
    QMenu* File1 = nullptr;
    QAction* Close1 = nullptr;
    QMenu* View1 = nullptr;
    QAction *mnu_LargeIcons1 = nullptr, *mnu_SmallIcons1 = nullptr, *mnu_List1 = nullptr;
    QMenu* tree_server_submenu = nullptr;
    QAction *Connect1 = nullptr, *Disconnect1 = nullptr, *Properties1 = nullptr;
    QMenu* edit_menu = nullptr;
    QAction* Copy1 = nullptr;
    QList<QIcon> tree_images;
    QList<QIcon> list_images;
    TSybQuery* query = nullptr;

    // Program-wide: the names last copied from a list.
    static inline QStringList copied_names;

    const QStringList& serverNames() const { return m_servers; }
    const std::vector<TSybDatabase*>& connections() const { return m_connections; }
    // The connection of the server whose tree node node is or lies below; null for the root.
    TSybDatabase* connectionOf(const QTreeWidgetItem* node) const;
    QTreeWidgetItem* serverNode(int index) const;
    int current_object_kind() const { return m_kind; }
    const CopyEnd& copySource() const { return m_source; }
    const CopyEnd& copyTarget() const { return m_target; }
    ListStyle listStyle() const { return m_listStyle; }
    // The popup chosen by the last right button press on the tree and on the list.
    QMenu* treePopup() const { return m_treePopup; }
    QMenu* listPopup() const { return m_listPopup; }
    static int level(const QTreeWidgetItem* node);

    // Handlers.
    void FormActivate();
    // The selected node was clicked.
    void tClick();
    void tExpanded(QTreeWidgetItem* node);
    // The right button went down on the tree or the list: chooses their popups.
    void tMouseDown();
    void lMouseDown();
    void CloseClick();
    void LargeIconsClick() { setListStyle(ListStyle::LargeIcons); }
    void SmallIconsClick() { setListStyle(ListStyle::ListArrangement); }
    void ListClick() { setListStyle(ListStyle::SmallIcons); }
    void Connect1Click();
    void Disconnect1Click();
    void Properties1Click();
    void Copy1Click();

    // Drag and drop without the mouse: whether the list's selection may be dragged, whether it
    // may be dropped on node, and the drop itself.
    bool mayDrag() const { return isCopyableKind(m_kind); }
    bool mayDropOn(const QTreeWidgetItem* node) const;
    void paste(QTreeWidgetItem* databaseNode);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void createMenus();
    void loadTree();
    void refresh(QTreeWidgetItem* node);
    void listObjects(QTreeWidgetItem* kindNode);
    void loadDatabases(QTreeWidgetItem* server);
    void connectServer(TSybDatabase& connection);
    void useStoredLogin(TSybDatabase& connection);
    void setListStyle(ListStyle style);
    void setImage(QTreeWidgetItem* node, int image);
    CopyEnd endOf(QTreeWidgetItem* databaseNode) const;
    QTreeWidgetItem* selectedServer() const;

    QStringList m_servers;
    std::vector<TSybDatabase*> m_connections;
    QString m_storedUser;
    QString m_storedPassword;
    QString m_storedServer;
    int m_kind = 0;
    CopyEnd m_source;
    CopyEnd m_target;
    QTreeWidgetItem* m_lastSelected = nullptr;
    ListStyle m_listStyle = ListStyle::ListArrangement;
    QMenu* m_treePopup = nullptr;
    QMenu* m_listPopup = nullptr;
};

} // namespace ostrim
