#pragma once
// Tserverform: the working window of one connection. A SQL editor, the object browsers, the
// executed-batch list, two status bars and two tool bars; its menus merge into the frame's.
// The form owns the controls and the document state; its handlers forward to the services that
// do the work (editor_services, object_browser, file_services, run_step). Construction of the
// controls and the wiring of the commands live in u_server_layout.cpp, the Tools menu and the
// tool launchers in u_server_tools.cpp.

#include "editor_services.h"
#include "file_services.h"
#include "line_gutter.h"
#include "mdi_child.h"
#include "object_browser.h"
#include "run_step.h"
#include "server_options.h"
#include "sybase32.h"

#include <QWidget>

#include <array>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QTextEdit;
class QToolBar;
class QToolButton;

namespace ostrim {

class Tmain;
class TSybComboBox;
class TSybDatabase;
class TSybQuery;
class SqlCompleter;

class Tserverform : public QWidget, public MdiChild {
    Q_OBJECT
public:
    // Creates the window in the frame and connects. Returns null when the login failed or was
    // cancelled: the window is gone then, having written the configuration as it went.
    static Tserverform* open(Tmain& main);
    // Frees the connection and writes the configuration file.
    ~Tserverform() override;

    // Fields of the window.
    QString DocName = QStringLiteral("Untitled.sql");
    QString SaveName;
    QString TitlePrefix;
    bool Modified = false;
    bool QuietChange = false;
    // Document state like the name and the change: the editor services set them and jump to
    // them, a load or a New clears them.
    BookmarkTable Bookmarks{};
    ServerOptions options;
    static inline bool& speedwordMode = EditorServices::speedwordMode; // program-wide

    // Components, by their names.
    SqlEdit* memo = nullptr;
    TSybDatabase* sybase = nullptr;
    TSybQuery* query = nullptr;
    QComboBox* type_list = nullptr;
    QComboBox* object_list = nullptr;
    TSybComboBox* column_list = nullptr;
    QComboBox* cmb_history = nullptr;
    QStatusBar* server_statusbar = nullptr;
    QStatusBar* server_statusbar2 = nullptr;
    std::array<QLabel*, 4> statusPanels{};
    QLineEdit* speed_edit1 = nullptr;
    QLineEdit* speed_edit2 = nullptr;
    QLineEdit* speed_edit3 = nullptr;
    QLineEdit* edt_bookmark1 = nullptr;
    QLineEdit* edt_bookmark2 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolBar* ToolBar3 = nullptr;
    QWidget* pan_type = nullptr;
    QWidget* top_panel = nullptr;

    // MainMenu2 and its items.
    QMenu* File2 = nullptr;
    QAction *New2 = nullptr, *Open2 = nullptr, *Save2 = nullptr, *Saveas2 = nullptr;
    QMenu* ReOpen1 = nullptr;
    std::array<QAction*, 10> hist{}; // hist02 .. hist92
    QAction *Print2 = nullptr, *Printsetup2 = nullptr, *GenerateDDL2 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction *Cut1 = nullptr, *Copy1 = nullptr, *Paste1 = nullptr, *Delete1 = nullptr;
    QAction *Undo1 = nullptr, *Selectall1 = nullptr;
    QMenu* Search1 = nullptr;
    QAction *Find1 = nullptr, *Findnext1 = nullptr, *Replace1 = nullptr;
    QAction* GotoLineNumber1 = nullptr;
    QAction *Fonts1 = nullptr, *Run1 = nullptr, *Options1 = nullptr;
    QMenu* Tools1 = nullptr;
    QAction *Tools2 = nullptr, *Devices1 = nullptr, *Processes1 = nullptr;
    QAction *Processes21 = nullptr, *Speedwords1 = nullptr, *SearchDatabase2 = nullptr;
    QAction *ExploreServers1 = nullptr, *FindDifferences1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* ClearHistory1 = nullptr;

    // Tool buttons by name (ToolButton1 .. ToolButton33) and the six speed buttons.
    QToolButton* toolButton(int number) const;
    QToolButton* speedButton(const QString& name) const;

    void FormCreate();
    void FormActivate();
    void write_ini();
    void refresh_tools();
    void exec_tool(const QString& itemName);
    // "&Configure": the tool options, modal; the Tools menu shows their outcome after.
    void Tools2Click();
    // Opens the server explorer modally with this window's login; it is freed when it closes.
    void ExploreServers1Click();
    void GenerateDDL2Click();
    void FindDifferences1Click();
    // "&Devices": the devices dialog, modal, on the connection named "sybase".
    void Devices1Click();
    // The two process monitors, children of the frame on this window's connection.
    void Processes21Click();
    void Processes1Click();
    // "Modify Data" (hidden): the form expert on this window's connection, then the data
    // modification window of the chosen layout with this window's login.
    void ModifyData1Click();
    // "&Search Database": the database search, modal, on this window's connection; a
    // double-clicked hit pastes its source into the editor and the search stays open.
    void SearchDatabase2Click();
    // "Speed&words": the speedword list of the frame, modal.
    void Speedwords1Click();
    // "&Options": the settings dialog, modal; OK takes its values into this window and the
    // frame and writes the configuration file.
    void Options1Click();
    void refresh_history() { m_files->showRecentFiles(); }
    // The "Close" tool button: asks when the text is modified.
    void ToolButton1Click();
    // The caption from the connection; with the database first while minimised.
    void updateCaption();
    void ShowHint(const QString& hint);
    void insertAtCaret(const QString& text) { ostrim::insertAtCaret(*memo, text); }

    void All1Click() { m_run->run(); }

    QList<GroupedMenu> childMenus() const override;
    void childActivated() override { FormActivate(); }

    // The window's connection was found dead by the action just ended: offers to log in again
    // with the window's values, back into its database, and refills the lists.
    void connectionLost(DbProcHandle process);

    // Object lists and object text.
    void type_listChange() { m_objects->typeChanged(); }
    void object_listChange() { m_objects->objectChanged(); }
    // Paste Object Text.
    void Button1Click() { m_objects->pasteObjectText(); }
    QString table_layout(const QString& table) { return m_objects->tableLayout(table); }
    // Drop Object: dormant, its button is never shown.
    void IXButton15Click() { m_objects->dropObject(); }
    void Pasteobjecttext1Click() { m_objects->pasteObjectName(); }
    void Pastecolumntext1Click() { m_objects->pasteColumnName(); }

    // Editor services. The speedword buffer and the search states are program-wide.
    static inline QString& SpeedwordBuffer = EditorServices::speedwordBuffer;
    using SearchState = EditorServices::SearchState;
    static inline SearchState& findState = EditorServices::findState;
    static inline SearchState& replaceState = EditorServices::replaceState;

    // The modeless find and replace dialogs of this window.
    QWidget* FindDialog1 = nullptr;
    QWidget* ReplaceDialog1 = nullptr;

    using RowCol = EditorServices::RowCol;
    static RowCol GetMemoRowCol(const QTextEdit& editor) { return EditorServices::rowCol(editor); }
    static void SetMemoRowCol(QTextEdit& editor, int line, int column) {
        EditorServices::setRowCol(editor, line, column);
    }
    static QString commentedLines(const QString& text) {
        return EditorServices::commentedLines(text);
    }
    static QString uncommentedLines(const QString& text) {
        return EditorServices::uncommentedLines(text);
    }

    void speedwordsOn() { m_editor->speedwordsOn(); }
    void insert_keyword() { m_editor->insertKeyword(); }
    void addcomment() { m_editor->comment(); }
    void uncomment() { m_editor->uncomment(); }
    void Find1Click() { m_editor->openFind(); }
    void FindDialog1Find() { m_editor->findNext(); }
    void Findnext1Click() { m_editor->findNext(); }
    void Replace1Click() { m_editor->openReplace(); }
    void ReplaceDialog1Find() { m_editor->findForReplace(); }
    void ReplaceDialog1Replace(bool all) { m_editor->replace(all); }
    void GotoLineNumber1Click() { m_editor->goToLine(); }
    void Fonts1Click() { m_editor->chooseFont(); }
    void BoldClick() { m_editor->addStyle(true, false, false); }
    void ItalicClick() { m_editor->addStyle(false, true, false); }
    void UnderlineClick() { m_editor->addStyle(false, false, true); }
    void Plaintext1Click() { m_editor->switchTextMode(false); }
    void Richtext1Click() { m_editor->switchTextMode(true); }
    QByteArray rtfText() const { return editorRtf(*memo); }
    void loadRtf(const QByteArray& rtf) { ostrim::loadRtf(*memo, rtf); }

    // Files, history and printing.
    bool load_file(const QString& name) { return m_files->load(name); }
    void New1Click() { m_files->newText(); }
    void IXButton4Click() { m_files->newTextAndFont(); }
    void Open1Click() { m_files->open(); }
    void histClick(int item) { m_files->openRecent(item); }
    void Save1Click() { m_files->save(); }
    void Saveas1Click() { m_files->saveAs(); }
    void update_history_list(const QString& name) { m_files->addRecentFile(name); }
    void read_sql_history() { m_files->readSqlHistory(); }
    void add_sql_history(const QString& text) { m_files->addSqlHistory(text); }
    void refresh_sql_history() { m_files->refreshSqlHistory(); }
    void write_sql_history() { m_files->writeSqlHistory(); }
    void PasteSQLHistory1Click() { m_files->pasteSqlHistory(); }
    void ClearHistory1Click() { m_files->clearSqlHistory(); }
    void Print1Click() { m_files->print(); }
    void IXButton9Click() { m_files->printSelection(); }
    void Printsetup1Click() { m_files->printSetup(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    explicit Tserverform(Tmain& main);
    void createControls();
    void createMenus();
    void createToolBars();
    void createTypePanel();
    void createServices();
    void connectCommands();
    void memoChange();
    void showCaption();
    void launchers();
    // A hidden administration command: its menu item or tool bar entry, the tool button behind
    // an entry, and the window it opens.
    struct HiddenCommand {
        QAction* item;
        QWidget* button;
        void (Tserverform::*open)();
    };
    std::vector<HiddenCommand> hiddenCommands() const;
    // Each hidden command that has a window: shown and enabled with ShowHiddenCommands 1,
    // hidden and disabled otherwise.
    void showHiddenCommands();
    // Colouring, line numbers and completion as the settings say (another window may have
    // changed them since).
    void applyEditorOptions();
    bool m_askingReconnect = false;

    Tmain& m_main;
    std::unique_ptr<EditorServices> m_editor;
    SqlCompleter* m_completer = nullptr; // the editor's child
    std::unique_ptr<ObjectBrowser> m_objects;
    std::unique_ptr<FileServices> m_files;
    std::unique_ptr<RunStep> m_run;
};

} // namespace ostrim
