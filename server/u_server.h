#pragma once
// Tserverform: the working window of one connection. A SQL editor, the object browsers, the
// executed-batch list, two status bars and two tool bars; its menus merge into the frame's.
// Construction of the controls and commands lives in u_server_layout.cpp, the Tools menu and
// the tool launchers in u_server_tools.cpp.

#include "mdi_child.h"
#include "run_options.h"
#include "sybase32.h"

#include <QPointer>
#include <QWidget>

#include <array>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QStatusBar;
class QTextCharFormat;
class QTextEdit;
class QToolBar;
class QToolButton;

namespace ostrim {

class Tmain;
class TSybComboBox;
class TSybDatabase;
class TSybQuery;

// The option flags a window copies from the configuration when it is created.
struct ServerOptions : RunOptions {
    bool ExecSelected = true;
    bool SeperateDBProc = true;
    bool RichText = false;
    bool OpenNewWindow = false;
    bool AppendGo = false;
    bool AppendPaste = true;
    bool PasteCREATE = false;
    bool PasteDROP = false;
};

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
    quint16 LastKeyDown = 0;
    std::array<std::array<qint32, 2>, 10> Bookmarks{};
    ServerOptions options;
    static inline bool speedwordMode = false; // program-wide, as its buffer

    // Components, by their names.
    QTextEdit* memo = nullptr;
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
    void refresh_history();
    // The "Close" tool button: asks when the text is modified.
    void ToolButton1Click();
    // The caption from the connection; with the database first while minimised.
    void updateCaption();
    void ShowHint(const QString& hint);
    // Inserts text at the caret as one edit the editor can undo; the clipboard is not used, so
    // the user's clipboard text stays as it was.
    void insertAtCaret(const QString& text);

    // Run: the text or selection to a new results window, then the options off again here.
    void All1Click();

    QList<GroupedMenu> childMenus() const override;
    void childActivated() override { FormActivate(); }

    // The window's connection was found dead by the action just ended: offers to log in again
    // with the window's values, back into its database, and refills the lists.
    void connectionLost(DbProcHandle process);

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
    void connectEditor();
    void fillDatabaseList();
    void showCaretPosition();
    void memoChange();
    void setTextMode(bool rich);
    // "Contents has changed" when the text is modified; true when it may go.
    bool mayReplaceText();
    // mayReplaceText, and a text given up is no longer counted as changed.
    bool confirmDiscard();
    // False, with a message, while a results window loads on this window's connection.
    bool connectionFree();
    void launchers();
    bool m_askingReconnect = false;
    // Set while attributes change in plain mode, where they are not part of the text.
    bool m_formatOnly = false;

    // Object lists and object text (u_server_objects.cpp).
public:
    void type_listChange();
    void object_listChange();
    // Paste Object Text.
    void Button1Click();
    QString table_layout(const QString& table);
    // Drop Object: dormant, its button is never shown.
    void IXButton15Click();
    void Pasteobjecttext1Click();
    void Pastecolumntext1Click();

private:
    // The kind object_list holds; creation lists the databases.
    QString m_listedKind = QStringLiteral("Databases");
    void createObjectServices();
    void switchDatabase(const QString& name);
    void setEditorText(const QString& text);

    // Editor services (u_server_editor.cpp).
    void createEditorServices();
    void installEditorKeys();
    bool memoKeyDown(int key, Qt::KeyboardModifiers modifiers);
    void memoKeyPress(int key, const QString& text);
    void edt_bookmark1KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void edt_bookmark2KeyDown(int key, Qt::KeyboardModifiers modifiers);
    void addStyle(bool bold, bool italic, bool underline);
    // To the selection, or to the whole text and what is typed next.
    void applyFormat(const QTextCharFormat& format);
    void switchTextMode(bool rich);

public:
    // Program-wide, like the speedword mode: every server window shares them.
    static inline QString SpeedwordBuffer;
    struct SearchState {
        int start; // 1-based index where the next search begins; 0 is the beginning too
        bool notFound;
    };
    static inline SearchState findState{0, false};
    static inline SearchState replaceState{0, false};

    // The modeless find and replace dialogs of this window.
    QWidget* FindDialog1 = nullptr;
    QWidget* ReplaceDialog1 = nullptr;

    // Line and column, both from 0, of the selection start; and the caret to a line and column.
    struct RowCol {
        int line = 0;
        int column = 0;
    };
    static RowCol GetMemoRowCol(const QTextEdit& editor);
    static void SetMemoRowCol(QTextEdit& editor, int line, int column);
    // Each line with "--" before it; and each line without its leading "--". Lines are joined
    // with CRLF.
    static QString commentedLines(const QString& text);
    static QString uncommentedLines(const QString& text);

    // Speedword mode on with an empty buffer: every activation, and New.
    void speedwordsOn();
    void insert_keyword();
    void addcomment();
    void uncomment();
    void Find1Click();
    void FindDialog1Find();
    void Findnext1Click();
    void Replace1Click();
    void ReplaceDialog1Find();
    // One replacement, or all of them.
    void ReplaceDialog1Replace(bool all);
    void GotoLineNumber1Click();
    void Fonts1Click();
    void BoldClick() { addStyle(true, false, false); }
    void ItalicClick() { addStyle(false, true, false); }
    void UnderlineClick() { addStyle(false, false, true); }
    // The mode switch drops the formatting: the text goes through "ostrim.tmp".
    void Plaintext1Click() { switchTextMode(false); }
    void Richtext1Click() { switchTextMode(true); }
    // The editor's content as RTF, and the content replaced by an RTF text (for rich-text files).
    QByteArray rtfText() const;
    void loadRtf(const QByteArray& rtf);

private:
    // Files, history and printing (u_server_files.cpp).
    void createFileServices();

public:
    // Reads the file into the editor (false, with a message, when it cannot be read).
    bool load_file(const QString& name);
    void New1Click();
    void IXButton4Click();
    void Open1Click();
    void histClick(int item);
    void Save1Click();
    void Saveas1Click();
    void update_history_list(const QString& name);
    void read_sql_history();
    void add_sql_history(const QString& text);
    void refresh_sql_history();
    void write_sql_history();
    void PasteSQLHistory1Click();
    void ClearHistory1Click();
    void Print1Click();
    void IXButton9Click();
    void Printsetup1Click();

private:
    void rebuildCaption();
    bool writeEditor(const QString& name);
    void emptyEditor();
    // New with its question; false when the user kept the text.
    bool newText();
    void openInThisWindow(const QString& file);
    QString askOpenFile();
    void printText(const QStringList& lines);
    void showSqlHistory();

    Tmain& m_main;
};

} // namespace ostrim
