// The server window's controls, menus, tool bars and type buttons, and the wiring of the
// commands they start to the window's handlers.

#include "glyph_icon.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "sybquery.h"
#include "u_main.h"
#include "u_server.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace ostrim {

namespace {

const QStringList kTypes = {
    "Databases",        "Groups", "Indexes",  "Logins",         "Procedures", "Rules", "Select",
    "System Datatypes", "Tables", "Triggers", "User Datatypes", "Users",      "Views"};

QLabel* caption(const QString& text, QWidget* buddy) {
    auto* label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

void Tserverform::createControls() {
    sybase = new TSybDatabase(this);
    sybase->setName("sybase");
    sybase->setAppName("Ostrim");
    sybase->setDBName("master");
    sybase->setShowMessage(true);
    query = new TSybQuery(this);
    query->setObjectName("query");
    query->setAutoDbProc(false);

    memo = new SqlEdit(this);
    memo->setObjectName("memo");
    memo->setAcceptRichText(false);
    memo->setLineWrapMode(QTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(false);
    QFont font("Courier");
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(12);
    memo->setFont(font);
    memo->setContextMenuPolicy(Qt::CustomContextMenu);

    top_panel = new QWidget(this);
    top_panel->setObjectName("top_panel");
    type_list = new QComboBox(top_panel);
    type_list->setObjectName("type_list");
    type_list->addItems(kTypes);
    object_list = new QComboBox(top_panel);
    object_list->setObjectName("object_list");
    object_list->setMaxVisibleItems(15);
    column_list = new TSybComboBox(top_panel);
    column_list->setName("column_list");
    column_list->setAutoDbProc(false);
    column_list->setMaxVisibleItems(15);
    cmb_history = new QComboBox(top_panel);
    cmb_history->setObjectName("cmb_history");
    cmb_history->setContextMenuPolicy(Qt::CustomContextMenu);
    cmb_history->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (QComboBox* list : {type_list, object_list, static_cast<QComboBox*>(column_list)})
        list->setMinimumContentsLength(18);

    auto edit = [this](const char* name, bool zeroWidth) {
        auto* e = new QLineEdit(top_panel);
        e->setObjectName(name);
        if (zeroWidth)
            e->setFixedWidth(0);
        else
            e->hide();
        return e;
    };
    speed_edit1 = edit("speed_edit1", false);
    speed_edit2 = edit("speed_edit2", false);
    speed_edit3 = edit("speed_edit3", false);
    edt_bookmark1 = edit("edt_bookmark1", true);
    edt_bookmark2 = edit("edt_bookmark2", true);

    auto* lists = new QGridLayout(top_panel);
    lists->setContentsMargins(4, 2, 4, 2);
    lists->setHorizontalSpacing(6);
    lists->setVerticalSpacing(2);
    lists->addWidget(caption("Type:", type_list), 0, 0);
    lists->addWidget(type_list, 0, 1);
    lists->addWidget(caption("Object:", object_list), 0, 2);
    lists->addWidget(object_list, 0, 3);
    lists->addWidget(caption("Columns:", column_list), 0, 4);
    lists->addWidget(column_list, 0, 5);
    lists->addWidget(edt_bookmark1, 0, 6);
    lists->addWidget(edt_bookmark2, 0, 7);
    lists->addWidget(cmb_history, 1, 0, 1, 8);
    lists->setColumnStretch(1, 1);
    lists->setColumnStretch(3, 2);
    lists->setColumnStretch(5, 2);

    server_statusbar = new QStatusBar(this);
    server_statusbar->setObjectName("server_statusbar");
    server_statusbar->setSizeGripEnabled(false);
    const int widths[4] = {100, 100, 100, 50};
    for (int i = 0; i < 4; ++i) {
        auto* panel = new QLabel(server_statusbar);
        panel->setObjectName(QString("panel%1").arg(i));
        // At least the given width, and room for the longest text each panel shows.
        const char* longest[4] = {"9999 : 999", "Plain Text", "Speedword OFF", "Modified"};
        panel->setFixedWidth(
            std::max(widths[i], panel->fontMetrics().horizontalAdvance(longest[i]) + 12));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        if (i == 0)
            panel->setAlignment(Qt::AlignCenter);
        server_statusbar->addWidget(panel);
        statusPanels[std::size_t(i)] = panel;
    }
    server_statusbar2 = new QStatusBar(this);
    server_statusbar2->setObjectName("server_statusbar2");
}

void Tserverform::createMenus() {
    auto item = [this](QMenu* menu, const char* name, const QString& text,
                       const QKeySequence& key = {}) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        if (!key.isEmpty()) {
            // The keys act in the window that has the keyboard, wherever the menus stand.
            a->setShortcut(key);
            a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            addAction(a);
        }
        if (menu)
            menu->addAction(a);
        return a;
    };
    auto menu = [this](const char* name, const QString& text) {
        auto* m = new QMenu(text, this);
        m->setObjectName(name);
        return m;
    };
    auto separator = [](QMenu* m) {
        m->addSeparator();
    };

    File2 = menu("File2", "&File");
    New2 = item(File2, "New2", "  &New", QKeySequence("Ctrl+N"));
    Open2 = item(File2, "Open2", "  &Open", QKeySequence("Ctrl+O"));
    Open2->setStatusTip("Open File");
    ReOpen1 = menu("ReOpen1", "  &ReOpen");
    File2->addMenu(ReOpen1);
    for (int i = 0; i < 10; ++i) {
        const QByteArray name = "hist" + QByteArray::number(i) + "2";
        hist[std::size_t(i)] =
            item(ReOpen1, name.constData(), i == 0 ? " hist0" : QString("hist%1").arg(i));
        hist[std::size_t(i)]->setVisible(false);
    }
    separator(File2);
    Save2 = item(File2, "Save2", "  &Save", QKeySequence("Ctrl+S"));
    Saveas2 = item(File2, "Saveas2", "  Save &as");
    separator(File2);
    Print2 = item(File2, "Print2", "  &Print", QKeySequence("Ctrl+P"));
    Printsetup2 = item(File2, "Printsetup2", "  Print set&up");
    separator(File2);
    GenerateDDL2 = item(File2, "GenerateDDL2", "&Generate DDL");
    // The frame's File menu gives way to this one; its Exit stays within reach.
    separator(File2);
    File2->addAction(m_main.Exit2);

    Edit1 = menu("Edit1", "&Edit");
    Cut1 = item(Edit1, "Cut1", "  Cu&t", QKeySequence("Ctrl+X"));
    Copy1 = item(Edit1, "Copy1", "  &Copy", QKeySequence("Ctrl+C"));
    Paste1 = item(Edit1, "Paste1", "  &Paste", QKeySequence("Ctrl+V"));
    Delete1 = item(Edit1, "Delete1", "  &Delete");
    Undo1 = item(Edit1, "Undo1", "  &Undo/Redo", QKeySequence("Ctrl+Z"));
    // The form gives this separator Ctrl+D, which starts nothing; the key is kept by an action
    // of its own, so that the separator line draws no shortcut text.
    Edit1->addSeparator();
    auto* swallowCtrlD = new QAction(this);
    swallowCtrlD->setObjectName("SeparatorCtrlD");
    swallowCtrlD->setShortcut(QKeySequence("Ctrl+D"));
    swallowCtrlD->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(swallowCtrlD);
    Selectall1 = item(Edit1, "Selectall1", "Select &all", QKeySequence("Ctrl+A"));

    Search1 = menu("Search1", "&Search");
    Find1 = item(Search1, "Find1", "&Find", QKeySequence("Ctrl+F"));
    Findnext1 = item(Search1, "Findnext1", "Find &next", QKeySequence("F3"));
    Replace1 = item(Search1, "Replace1", "&Replace", QKeySequence("Ctrl+R"));
    separator(Search1);
    GotoLineNumber1 = item(Search1, "GotoLineNumber1", "&Go to Line Number", QKeySequence("Alt+G"));

    Fonts1 = item(nullptr, "Fonts1", "F&onts");
    Run1 = item(nullptr, "Run1", "Run", QKeySequence("Ctrl+E"));
    Options1 = item(nullptr, "Options1", "&Options");

    Tools1 = menu("Tools1", "&Tools");
    Tools2 = item(Tools1, "Tools2", "&Configure");
    separator(Tools1);
    Devices1 = item(Tools1, "Devices1", "&Devices");
    Processes1 = item(Tools1, "Processes1", "&Processes");
    Processes21 = item(Tools1, "Processes21", "&Processes");
    Speedwords1 = item(Tools1, "Speedwords1", "Speed&words");
    separator(Tools1);
    SearchDatabase2 = item(Tools1, "SearchDatabase2", "&Search Database");
    ExploreServers1 = item(Tools1, "ExploreServers1", "&Explore Servers");
    FindDifferences1 = item(Tools1, "FindDifferences1", "&Find Differences");
    separator(Tools1);
    for (QAction* hidden : {Devices1, Processes1}) {
        hidden->setVisible(false);
        hidden->setEnabled(false);
    }
    FindDifferences1->setEnabled(false);

    PopupMenu1 = menu("PopupMenu1", QString());
    PopupMenu1->addAction("Cu&t")->setObjectName("Cut2");
    PopupMenu1->addAction("&Copy")->setObjectName("Copy2");
    PopupMenu1->addAction("&Paste")->setObjectName("Paste2");
    PopupMenu1->addAction("&Delete")->setObjectName("Delete2");
    PopupMenu1->addAction("&Undo/Redo")->setObjectName("Undo2");
    separator(PopupMenu1);
    PopupMenu1->addAction("Select &all")->setObjectName("Selectall2");
    separator(PopupMenu1);
    PopupMenu1->addAction("Paste &object text")->setObjectName("Pasteobjecttext1");
    PopupMenu1->addAction("Paste &column text")->setObjectName("Pastecolumntext1");
    PopupMenu1->addAction("Paste &SQL History")->setObjectName("PasteSQLHistory1");
    PopupMenu2 = menu("PopupMenu2", QString());
    ClearHistory1 = item(PopupMenu2, "ClearHistory1", "&Clear History");

    // The editor's own clipboard and undo commands, for the menus and the pop-up menu alike.
    // The commands that change the text clear QuietChange first, so that their change is
    // marked even right after a load or a save (Undo/Redo included: it changes the text too).
    auto editor = [this](const char* menuItem, const char* popupItem, bool changes, auto slot) {
        for (const char* name : {menuItem, popupItem})
            if (auto* a = findChild<QAction*>(name)) {
                if (changes)
                    connect(a, &QAction::triggered, this, [this] { QuietChange = false; });
                connect(a, &QAction::triggered, memo, slot);
            }
    };
    editor("Cut1", "Cut2", true, &QTextEdit::cut);
    editor("Copy1", "Copy2", false, &QTextEdit::copy);
    editor("Paste1", "Paste2", true, &QTextEdit::paste);
    editor("Selectall1", "Selectall2", false, &QTextEdit::selectAll);
    editor("Delete1", "Delete2", true, [this] { memo->textCursor().removeSelectedText(); });
    editor("Undo1", "Undo2", true, [this] {
        // One command for both directions: it takes back the last step, or brings it back.
        if (memo->document()->isUndoAvailable())
            memo->undo();
        else
            memo->redo();
    });
    connect(memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(memo->viewport()->mapToGlobal(at)); });
    connect(cmb_history, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(cmb_history->mapToGlobal(at)); });
    launchers();
}

void Tserverform::createToolBars() {
    QStyle* style = QApplication::style();
    auto bar = [this](const char* name) {
        auto* b = new QToolBar(this);
        b->setObjectName(name);
        b->setIconSize(QSize(20, 20));
        b->setMovable(false);
        b->setFloatable(false);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        return b;
    };
    auto button = [](QToolBar* on, int number, const QString& hint, const QIcon& icon,
                     QAction* command = nullptr) {
        auto* b = new QToolButton(on);
        b->setObjectName(QString("ToolButton%1").arg(number));
        b->setAutoRaise(true);
        b->setIcon(icon);
        if (command) {
            // The menu item's command and enabled state, with the button's own hint.
            QObject::connect(b, &QToolButton::clicked, command, &QAction::trigger);
            QObject::connect(command, &QAction::enabledChanged, b, &QWidget::setEnabled);
            b->setEnabled(command->isEnabled());
        }
        b->setToolTip(hint);
        b->setStatusTip(hint);
        on->addWidget(b);
        return b;
    };
    auto theme = [style](const char* name, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(name, style->standardIcon(fallback));
    };
    auto glyph = themeOrGlyph;

    ToolBar1 = bar("ToolBar1");
    button(ToolBar1, 1, "Close", theme("window-close", QStyle::SP_DialogCloseButton));
    button(ToolBar1, 2, "Paste Object Text", glyph("insert-text", "Ob", glyphFont(11)));
    ToolBar1->addSeparator();
    button(ToolBar1, 3, "New (Ctrl+N)", theme("document-new", QStyle::SP_FileIcon));
    button(ToolBar1, 4, "Open File (Ctrl+O)", theme("document-open", QStyle::SP_DialogOpenButton));
    button(ToolBar1, 5, "Save (Ctrl+S)", theme("document-save", QStyle::SP_DialogSaveButton));
    button(ToolBar1, 6, "Print All Text (Ctrl+P)",
           theme("document-print", QStyle::SP_FileDialogDetailedView));
    button(ToolBar1, 7, "Print Selected Text", glyph("document-print-preview", "P", glyphFont(14)));
    ToolBar1->addSeparator();
    QToolButton* drop =
        button(ToolBar1, 24, "Drop Object", theme("edit-delete", QStyle::SP_TrashIcon));
    QToolButton* modify =
        button(ToolBar1, 26, "Modify Data", theme("document-edit", QStyle::SP_FileDialogListView));
    button(ToolBar1, 27, "Search Database", theme("edit-find", QStyle::SP_FileDialogContentsView),
           SearchDatabase2);
    button(ToolBar1, 28, "Explore Servers", theme("network-server", QStyle::SP_DriveNetIcon),
           ExploreServers1);
    button(ToolBar1, 29, "Find Differences", glyph("view-split-left-right", "≠", glyphFont(16)));
    ToolBar1->addSeparator();
    button(ToolBar1, 30, "Connect", theme("network-connect", QStyle::SP_DialogYesButton));
    button(ToolBar1, 14, "Disconnect", theme("network-disconnect", QStyle::SP_DialogNoButton));
    ToolBar1->addSeparator();
    button(ToolBar1, 15, "Run (Ctrl+E)", theme("media-playback-start", QStyle::SP_MediaPlay), Run1);
    // Dormant commands: never shown or enabled by the window.
    for (QToolButton* hidden : {drop, modify}) {
        hidden->setEnabled(false);
        for (QAction* a : ToolBar1->actions())
            if (ToolBar1->widgetForAction(a) == hidden)
                a->setVisible(false);
    }

    ToolBar3 = bar("ToolBar3");
    button(ToolBar3, 8, "Cut (Ctrl+X)", glyph("edit-cut", "✂", glyphFont(16, false)), Cut1);
    button(ToolBar3, 9, "Copy (Ctrl+C)", QIcon::fromTheme("edit-copy", sheetsIcon(false)), Copy1);
    button(ToolBar3, 10, "Paste (Ctrl+V)", QIcon::fromTheme("edit-paste", sheetsIcon(true)),
           Paste1);
    button(ToolBar3, 11, "Delete", glyph("edit-clear", "⌫", glyphFont(15, false)), Delete1);
    button(ToolBar3, 17, "Undo/Redo (Ctrl+Z)", glyph("edit-undo", "↶", glyphFont(17)), Undo1);
    ToolBar3->addSeparator();
    button(ToolBar3, 32, "Font", glyph("preferences-desktop-font", "F", glyphFont(14)));
    button(ToolBar3, 25, "Bold", glyph("format-text-bold", "B", glyphFont(14)));
    button(ToolBar3, 19, "Italic", glyph("format-text-italic", "I", glyphFont(14, true, true)));
    button(ToolBar3, 21, "Underline",
           glyph("format-text-underline", "U", glyphFont(14, true, false, true)));
    ToolBar3->addSeparator();
    button(ToolBar3, 22, "Comment", glyphIcon("--", glyphFont(13)));
    button(ToolBar3, 33, "UnComment", glyphIcon("-/-", glyphFont(11)));
    button(ToolBar3, 20, "Help", glyph("help-contents", "?", glyphFont(15)));

    connect(toolButton(1), &QToolButton::clicked, this, &Tserverform::ToolButton1Click);
    connect(Run1, &QAction::triggered, this, &Tserverform::All1Click);
    connect(ClearHistory1, &QAction::triggered, this, &Tserverform::ClearHistory1Click);
    connect(toolButton(30), &QToolButton::clicked, &m_main, &Tmain::Connect1Click);
    connect(toolButton(14), &QToolButton::clicked, &m_main, &Tmain::Disconnect1Click);
    connect(toolButton(20), &QToolButton::clicked, &m_main, &Tmain::Contents1Click);
    connect(toolButton(26), &QToolButton::clicked, this, &Tserverform::ModifyData1Click);
    // The Find Differences window is still to come: disabled rather than doing nothing.
    toolButton(29)->setEnabled(false);
}

void Tserverform::createTypePanel() {
    pan_type = new QWidget(this);
    pan_type->setObjectName("pan_type");
    auto* column = new QVBoxLayout(pan_type);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(1);
    const struct {
        const char* name;
        const char* text;
        int index;
    } buttons[] = {{"btn_databases", "Databases", 0}, {"btn_procedures", "Procedures", 4},
                   {"btn_select", "Select", 6},       {"btn_tables", "Tables", 8},
                   {"btn_views", "Views", 12},        {"btn_triggers", "Triggers", 9}};
    for (const auto& b : buttons) {
        auto* speed = new QToolButton(pan_type);
        speed->setObjectName(b.name);
        speed->setText(b.text);
        speed->setToolTip(b.text);
        speed->setStatusTip(b.text);
        speed->setAutoRaise(true);
        speed->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        speed->setMinimumWidth(76);
        column->addWidget(speed);
        const int index = b.index;
        connect(speed, &QToolButton::clicked, this,
                [this, index] { type_list->setCurrentIndex(index); });
    }
    column->addStretch();

    auto* coolBar = new QWidget(this);
    coolBar->setObjectName("CoolBar1");
    auto* bands = new QHBoxLayout(coolBar);
    bands->setContentsMargins(2, 0, 2, 0);
    bands->setSpacing(8);
    bands->addWidget(ToolBar1);
    bands->addWidget(ToolBar3);
    bands->addStretch();

    auto* middle = new QHBoxLayout;
    middle->setContentsMargins(0, 0, 0, 0);
    middle->setSpacing(0);
    middle->addWidget(pan_type);
    middle->addWidget(memo, 1);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(coolBar);
    root->addWidget(top_panel);
    root->addLayout(middle, 1);
    root->addWidget(server_statusbar);
    root->addWidget(server_statusbar2);
}

void Tserverform::connectCommands() {
    connect(memo, &QTextEdit::textChanged, this, &Tserverform::memoChange);

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

    connect(Find1, &QAction::triggered, this, &Tserverform::Find1Click);
    connect(Findnext1, &QAction::triggered, this, &Tserverform::Findnext1Click);
    connect(Replace1, &QAction::triggered, this, &Tserverform::Replace1Click);
    connect(GotoLineNumber1, &QAction::triggered, this, &Tserverform::GotoLineNumber1Click);
    connect(Fonts1, &QAction::triggered, this, &Tserverform::Fonts1Click);
    connect(toolButton(32), &QToolButton::clicked, this, &Tserverform::Fonts1Click);
    connect(toolButton(25), &QToolButton::clicked, this, &Tserverform::BoldClick);
    connect(toolButton(19), &QToolButton::clicked, this, &Tserverform::ItalicClick);
    connect(toolButton(21), &QToolButton::clicked, this, &Tserverform::UnderlineClick);
    connect(toolButton(22), &QToolButton::clicked, this, &Tserverform::addcomment);
    connect(toolButton(33), &QToolButton::clicked, this, &Tserverform::uncomment);

    connect(New2, &QAction::triggered, this, &Tserverform::New1Click);
    connect(toolButton(3), &QToolButton::clicked, this, &Tserverform::IXButton4Click);
    connect(Open2, &QAction::triggered, this, &Tserverform::Open1Click);
    connect(toolButton(4), &QToolButton::clicked, this, &Tserverform::Open1Click);
    connect(Save2, &QAction::triggered, this, &Tserverform::Save1Click);
    connect(toolButton(5), &QToolButton::clicked, this, &Tserverform::Save1Click);
    connect(Saveas2, &QAction::triggered, this, &Tserverform::Saveas1Click);
    connect(Print2, &QAction::triggered, this, &Tserverform::Print1Click);
    connect(toolButton(6), &QToolButton::clicked, this, &Tserverform::Print1Click);
    connect(toolButton(7), &QToolButton::clicked, this, &Tserverform::IXButton9Click);
    connect(Printsetup2, &QAction::triggered, this, &Tserverform::Printsetup1Click);
    connect(findChild<QAction*>("PasteSQLHistory1"), &QAction::triggered, this,
            &Tserverform::PasteSQLHistory1Click);
    for (int i = 0; i < int(hist.size()); ++i)
        connect(hist[std::size_t(i)], &QAction::triggered, this, [this, i] { histClick(i); });
}

QToolButton* Tserverform::toolButton(int number) const {
    return findChild<QToolButton*>(QString("ToolButton%1").arg(number));
}

QToolButton* Tserverform::speedButton(const QString& name) const {
    return pan_type->findChild<QToolButton*>(name);
}

} // namespace ostrim
