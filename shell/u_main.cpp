#include "u_main.h"

#include "dialogs.h"
#include "file_error_box.h"
#include "mdi_child.h"
#include "program_dir.h"
#include "u_about.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>
#include <QWindow>

namespace ostrim {

namespace {

Tmain* s_instance = nullptr;

constexpr char kCaption[] = "Ostrim";

} // namespace

Tmain::Tmain(const QString& commandLineFile_, QWidget* parent)
    : QMainWindow(parent), m_mdi(new QMdiArea(this)), m_merger(menuBar()) {
    s_instance = this;
    setObjectName("main");
    setWindowTitle(kCaption);
    m_mdi->setObjectName("ClientArea");
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    createMenus();
    // The file named on the command line is opened by the first server window; unlike the
    // original Windows program the name keeps its case, since Linux file names have one.
    commandLineFile = commandLineFile_;
    openAtStart = !commandLineFile.isEmpty() && QFileInfo(commandLineFile).isFile();
    Window1->setEnabled(false);
    windowOpenMode = 0;
    openDialogPending = 0;
    userGuide = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                QStringLiteral("/../share/ostrim/guide.html"));
    read_tools();
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &Tmain::childActivated);
}

void Tmain::read_ini() {
    ostrim::read_ini(configFilePath(), config, recentFiles);
}

void Tmain::read_tools() {
    reportIo(ostrim::read_tools(toolsFilePath(), tools));
}

void Tmain::write_tools() {
    reportIo(ostrim::write_tools(toolsFilePath(), tools));
}

Tmain::~Tmain() {
    // Children go first, while the frame they write their values from is still whole.
    // (also those closed but not yet deleted, which the area no longer lists)
    qDeleteAll(m_mdi->findChildren<QMdiSubWindow*>());
    if (s_instance == this)
        s_instance = nullptr;
}

Tmain* Tmain::instance() {
    return s_instance;
}

void Tmain::createMenus() {
    auto action = [](QMenu* menu, const QString& name, const QString& caption,
                     const QKeySequence& key = {}) {
        auto* a = menu->addAction(caption);
        a->setObjectName(name);
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };
    Exit1 = new QMenu("&File", this);
    Exit1->setObjectName("Exit1");
    Exit2 = action(Exit1, "Exit2", "E&xit", QKeySequence("Alt+X"));

    Server1 = new QMenu("&Server", this);
    Server1->setObjectName("Server1");
    Connect1 = action(Server1, "Connect1", "&Connect", QKeySequence("Alt+C"));
    // "Disconnect" shows Alt+X too, but one key cannot start two commands: Exit carries it while
    // no child window is open, Disconnect while one is (see placeAltX).
    Disconnect1 = action(Server1, "Disconnect1", "Disconnect");
    Server1->addSeparator()->setObjectName("N1");
    Disconnectall1 = action(Server1, "Disconnectall1", "Disconnect all", QKeySequence("Alt+A"));

    Window1 = new QMenu("&Window", this);
    Window1->setObjectName("Window1");
    New1 = action(Window1, "New1", "&New", QKeySequence("Alt+N"));
    TileVertical1 = action(Window1, "TileVertical1", "Tile &Vertical");
    TileHorizontal1 = action(Window1, "TileHorizontal1", "Tile &Horizontal");
    Cascade1 = action(Window1, "Cascade1", "&Cascade");
    ArrangeIcons1 = action(Window1, "ArrangeIcons1", "&Arrange Icons");

    Help1 = new QMenu("&Help", this);
    Help1->setObjectName("Help1");
    Contents1 = action(Help1, "Contents1", "&Contents");
    Help1->addSeparator()->setObjectName("N2");
    About1 = action(Help1, "About1", "A&bout");

    connect(Exit2, &QAction::triggered, this, &QWidget::close);
    connect(Connect1, &QAction::triggered, this, &Tmain::Connect1Click);
    connect(Disconnect1, &QAction::triggered, this, &Tmain::Disconnect1Click);
    connect(Disconnectall1, &QAction::triggered, this, &Tmain::Disconnectall1Click);
    connect(New1, &QAction::triggered, this, &Tmain::New1Click);
    connect(TileVertical1, &QAction::triggered, this, [this] { tileChildren(Qt::Horizontal); });
    connect(TileHorizontal1, &QAction::triggered, this, [this] { tileChildren(Qt::Vertical); });
    connect(Cascade1, &QAction::triggered, m_mdi, &QMdiArea::cascadeSubWindows);
    connect(ArrangeIcons1, &QAction::triggered, this, &Tmain::arrangeIcons);
    connect(About1, &QAction::triggered, this, &Tmain::About1Click);
    connect(Contents1, &QAction::triggered, this, &Tmain::Contents1Click);
    // The window list is appended to the Window menu each time it opens.
    connect(Window1, &QMenu::aboutToShow, this, &Tmain::fillWindowMenu);

    m_merger.setFrameMenus({{0, Exit1}, {9, Server1}, {10, Window1}, {10, Help1}});
    placeAltX();
}

void Tmain::placeAltX() {
    const QKeySequence altX(QStringLiteral("Alt+X"));
    if (!m_mdi->subWindowList().isEmpty()) {
        // Pressed in a window whose menu says Alt+X disconnects, it must not end the program.
        Exit2->setShortcut({});
        Disconnect1->setText(QStringLiteral("Disconnect"));
        Disconnect1->setShortcut(altX);
    } else {
        Disconnect1->setShortcut({});
        Disconnect1->setText(QStringLiteral("Disconnect\tAlt+X"));
        Exit2->setShortcut(altX);
    }
}

void Tmain::mergeChildMenus(const QList<GroupedMenu>& menus) {
    m_merger.merge(menus);
}

void Tmain::childActivated(QMdiSubWindow* sub) {
    // The area reports no active child while the program itself is inactive; the menus stay
    // those of its current child then.
    if (!sub)
        sub = m_mdi->currentSubWindow();
    auto* child = sub ? dynamic_cast<MdiChild*>(sub->widget()) : nullptr;
    m_merger.merge(child ? child->childMenus() : QList<GroupedMenu>());
    if (sub == m_activeChild)
        return;
    m_activeChild = sub;
    if (child)
        child->childActivated();
}

QMdiSubWindow* Tmain::addChild(QWidget* child, bool show) {
    QMdiSubWindow* sub = m_mdi->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    child->setAttribute(Qt::WA_DeleteOnClose);
    // Queued: the area still lists the window while it is being destroyed.
    connect(sub, &QObject::destroyed, this, &Tmain::placeAltX, Qt::QueuedConnection);
    placeAltX();
    if (show)
        sub->show();
    return sub;
}

void Tmain::Connect1Click() {
    read_ini();
    windowOpenMode = 0;
    Window1->setEnabled(true);
    if (m_factory)
        currentServer = m_factory(*this);
}

void Tmain::New1Click() {
    windowOpenMode = 1;
    if (m_factory)
        currentServer = m_factory(*this);
}

void Tmain::Disconnect1Click() {
    if (QMdiSubWindow* active = m_mdi->activeSubWindow())
        active->close();
    else if (!m_mdi->subWindowList().isEmpty())
        m_mdi->subWindowList().constLast()->close();
}

void Tmain::Disconnectall1Click() {
    const auto children = m_mdi->subWindowList();
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        (*it)->close();
}

void Tmain::execute_results(const RunParameters& run) {
    if (m_resultsFactory)
        lastResults = m_resultsFactory(*this, run);
}

void Tmain::About1Click() {
    Tf_about about(this);
    Dialogs::exec(about);
}

void Tmain::Contents1Click() {
    const QString caption = QStringLiteral("Help");
    if (!QFileInfo(userGuide).isFile())
        Dialogs::message(QStringLiteral("The user guide %1 was not found.").arg(userGuide),
                         caption);
    else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(userGuide)))
        Dialogs::message(QStringLiteral("The user guide %1 could not be opened.").arg(userGuide),
                         caption);
}

void Tmain::tileChildren(Qt::Orientation orientation) {
    // Side by side (vertical tiling) or one above the other (horizontal tiling).
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* w : m_mdi->subWindowList())
        if (!w->isMinimized())
            shown.append(w);
    if (shown.isEmpty())
        return;
    const QRect area = m_mdi->viewport()->rect();
    const int n = int(shown.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = shown[i];
        w->showNormal();
        if (orientation == Qt::Horizontal) {
            int width = area.width() / n;
            w->setGeometry(i * width, 0, width, area.height());
        } else {
            int height = area.height() / n;
            w->setGeometry(0, i * height, area.width(), height);
        }
    }
}

void Tmain::arrangeIcons() {
    // Minimised children line up along the bottom edge, left to right.
    const QRect area = m_mdi->viewport()->rect();
    int x = 0;
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        if (!w->isMinimized())
            continue;
        QSize size = w->size();
        if (x + size.width() > area.width() && x > 0)
            x = 0;
        w->move(x, area.height() - size.height());
        x += size.width();
    }
}

void Tmain::fillWindowMenu() {
    for (QAction* a : std::as_const(m_windowListActions))
        Window1->removeAction(a), a->deleteLater();
    m_windowListActions.clear();
    const auto children = m_mdi->subWindowList();
    if (children.isEmpty())
        return;
    m_windowListActions.append(Window1->addSeparator());
    int n = 1;
    for (QMdiSubWindow* w : children) {
        QAction* a = Window1->addAction(QString("&%1 %2").arg(n++).arg(w->windowTitle()));
        a->setCheckable(true);
        a->setChecked(w == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, w, [this, w] { m_mdi->setActiveSubWindow(w); });
        m_windowListActions.append(a);
    }
}

void Tmain::FormActivate() {
    // Connects once for the command-line file. The flag itself stays set until a server
    // window opens the file, but a cancelled login must not bring the dialog back at every
    // activation of the frame.
    if (openAtStart && !m_autoConnected) {
        m_autoConnected = true;
        Connect1Click();
    }
}

bool Tmain::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    else if (e->type() == QEvent::WinIdChange && windowHandle()) {
        connect(windowHandle(), &QWindow::windowTitleChanged, this, &Tmain::showChildTitle,
                Qt::UniqueConnection);
        showChildTitle(windowHandle()->title());
    }
    return QMainWindow::event(e);
}

void Tmain::showChildTitle(const QString& shown) {
    // The area names a maximised child in the frame's caption as "Ostrim - [child]". The desktop
    // puts the program's name (its display name) after every title already, so the frame shows
    // "child — Ostrim" rather than naming the program twice; windowTitle() keeps the caption.
    // Watched on the native window: Qt also sets its title again without telling the widget.
    const QString prefix = QStringLiteral("%1 - [").arg(kCaption);
    if (shown == windowTitle() && shown.startsWith(prefix) && shown.endsWith(u']'))
        windowHandle()->setTitle(shown.mid(prefix.size(), shown.size() - prefix.size() - 1));
}

void Tmain::closeEvent(QCloseEvent* e) {
    // Every child is asked in turn; one that refuses (unsaved text) keeps the program open.
    const auto children = m_mdi->subWindowList();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        if (!(*it)->close()) {
            e->ignore();
            return;
        }
    }
    e->accept();
}

} // namespace ostrim
