#pragma once
// The file services of a server window: the editor's text from and to files, the recent-file
// list, the SQL history and printing.

#include "editor_services.h"
#include "text_file.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class QAction;
class QComboBox;
class QLabel;
class QTextEdit;
class QWidget;

namespace ostrim {

class Tmain;
struct ServerOptions;

class FileServices {
public:
    struct Widgets {
        QWidget* window; // parent of the page set-up dialog
        QTextEdit* memo;
        QComboBox* history;
        QLabel* modifiedPanel;
        std::array<QAction*, 10> recentFiles;
    };
    // The window's document state that the file commands read and change, and what they ask of
    // the window: its caption shown again, the speedword mode on.
    struct Document {
        QString& docName;
        QString& saveName;
        bool& modified;
        bool& quietChange;
        BookmarkTable& bookmarks;
        const ServerOptions& options;
        std::function<void()> showCaption;
        std::function<void()> speedwordsOn;
    };
    FileServices(Tmain& main, const Widgets& widgets, Document document);
    Q_DISABLE_COPY_MOVE(FileServices)

    // "Contents has changed" when the text is modified; true when it may go.
    bool mayReplaceText();
    // mayReplaceText, and a text given up is no longer counted as changed.
    bool confirmDiscard();

    // Reads the file into the editor (false, with a message, when it cannot be read).
    bool load(const QString& name);
    void newText();
    // New from the tool button: the bookmarks go too, and a discarded text takes the font back.
    void newTextAndFont();
    void open();
    // The open a new window was made for (Open with "open in a new window"), and the file named
    // on the command line.
    void openPending();
    void openCommandLineFile();
    void openRecent(int item);
    void save();
    void saveAs();

    void showRecentFiles();
    void addRecentFile(const QString& name);

    void readSqlHistory();
    void addSqlHistory(const QString& text);
    void refreshSqlHistory();
    void writeSqlHistory();
    void pasteSqlHistory();
    void clearSqlHistory();

    void print();
    void printSelection();
    void printSetup();

private:
    bool writeEditor(const QString& name);
    void emptyEditor();
    // New with its question; false when the user kept the text.
    bool replaceByNewText();
    void openInThisWindow(const QString& file);
    QString askOpenFile();
    void printText(const QStringList& lines);
    void showSqlHistory();

    Tmain& m_main;
    Widgets m_widgets;
    Document m_document;
    // A script is written back with the line ends it was read with; a new one with the system's.
    LineEnd m_lineEnd = LineEnd::Lf;
};

} // namespace ostrim
