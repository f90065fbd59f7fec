// Files, the recent-file list, the SQL history and printing.

#include "dialogs.h"
#include "file_error_box.h"
#include "print_lines.h"
#include "program_dir.h"
#include "u_main.h"
#include "u_server.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QToolButton>

namespace ostrim {

namespace {

const QString kOpenFilter =
    QStringLiteral("Sql scripts (*.sql);;Procedures (*.prc);;Triggers (*.trg);;Views (*.vew);;"
                   "Rich Text (*.rtf);;Output files (*.out);;Text files (*.txt);;All files (*)");
const QString kSaveFilter =
    QStringLiteral("Sql script (*.sql);;Rich text (*.rtf);;Text file (*.txt);;All files (*)");

// One printer for the program, so that what Print set-up chose is what Print uses.
QPrinter& sharedPrinter() {
    static QPrinter printer;
    return printer;
}

QString directoryOf(const QString& fileName) {
    return QFileInfo(fileName).absolutePath();
}

} // namespace

void Tserverform::createFileServices() {
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

void Tserverform::rebuildCaption() {
    setWindowTitle(TitlePrefix + " - " + DocName);
}

bool Tserverform::load_file(const QString& name) {
    // Absolute, so that Save writes where the file came from whatever the working directory.
    SaveName = QFileInfo(name).absoluteFilePath();
    QFile file(name);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return reportIo(IoResult::failure(file.errorString(), name));
    if (options.RichText)
        loadRtf(bytes);
    else
        memo->setPlainText(splitLines(bytes).join(QLatin1Char('\n')));
    memo->moveCursor(QTextCursor::Start);
    memo->document()->setModified(false);
    // What was just read from the file is no change of the user's.
    Modified = false;
    DocName = name;
    rebuildCaption();
    Bookmarks = {};
    return true;
}

bool Tserverform::writeEditor(const QString& name) {
    QByteArray contents;
    if (options.RichText) {
        contents = rtfText();
    } else {
        QStringList lines;
        for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next())
            lines << block.text();
        contents = joinLines(lines);
    }
    return reportIo(writeFileSafely(name, contents));
}

void Tserverform::emptyEditor() {
    memo->clear();
    SaveName.clear();
    DocName = QStringLiteral("Untitled.sql");
    // An empty new text has nothing to lose: a following New or Close need not ask.
    Modified = false;
    statusPanels[3]->clear();
}

bool Tserverform::newText() {
    if (Modified) {
        if (Dialogs::message("Contents has changed. Continue ?", "New", QMessageBox::Question,
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes) {
            memo->setFocus();
            rebuildCaption();
            return false;
        }
        emptyEditor();
        speedwordsOn();
    } else {
        emptyEditor();
    }
    memo->setFocus();
    rebuildCaption();
    return true;
}

void Tserverform::New1Click() {
    newText();
}

void Tserverform::IXButton4Click() {
    const bool wasModified = Modified;
    const bool emptied = newText();
    statusPanels[3]->clear();
    Bookmarks = {};
    if (emptied && wasModified) {
        QFont font("Courier");
        font.setStyleHint(QFont::TypeWriter);
        font.setPointSize(9);
        memo->setCurrentFont(font);
        memo->setFont(font);
    }
}

void Tserverform::openInThisWindow(const QString& file) {
    if (!load_file(file))
        return;
    statusPanels[3]->clear();
    m_main.config.DefaultDir = directoryOf(file);
    DocName = file;
    rebuildCaption();
    QuietChange = true;
    Bookmarks = {};
    update_history_list(file);
}

QString Tserverform::askOpenFile() {
    return Dialogs::openFileName("Open File", m_main.config.DefaultDir, kOpenFilter);
}

void Tserverform::Open1Click() {
    if (options.OpenNewWindow) {
        // The new window asks for the file when it is first activated.
        m_main.openDialogPending = 1;
        QuietChange = true;
        statusPanels[3]->clear();
        Bookmarks = {};
        m_main.New1Click();
        return;
    }
    if (!mayReplaceText())
        return;
    const QString file = askOpenFile();
    if (!file.isEmpty())
        openInThisWindow(file);
}

void Tserverform::histClick(int item) {
    const QString file = m_main.recentFiles.slot(item + 1);
    if (file.isEmpty() || !mayReplaceText())
        return;
    QuietChange = true;
    if (load_file(file))
        m_main.config.DefaultDir = directoryOf(file);
}

void Tserverform::Save1Click() {
    if (memo->document()->isEmpty())
        return;
    // A name without a directory (an object or index just pasted) is no file yet: ask for one,
    // rather than write into whatever directory the program was started from.
    if (SaveName.trimmed().isEmpty() || !SaveName.contains(QLatin1Char('/'))) {
        Saveas1Click();
        return;
    }
    if (writeEditor(SaveName)) {
        statusPanels[3]->clear();
        QuietChange = true;
        Modified = false;
        memo->document()->setModified(false);
        m_main.config.DefaultDir = directoryOf(SaveName);
    }
    rebuildCaption();
}

void Tserverform::Saveas1Click() {
    const QString proposed =
        SaveName.isEmpty() ? QString() : QDir(m_main.config.DefaultDir).filePath(SaveName);
    QString file = Dialogs::saveFileName(
        "Save As", proposed.isEmpty() ? m_main.config.DefaultDir : proposed, kSaveFilter);
    if (file.isEmpty())
        return;
    // The dialog asked about the name it returned, not about the one the suffix makes.
    if (QFileInfo(file).suffix().isEmpty()) {
        file += ".sql";
        if (QFileInfo::exists(file) &&
            Dialogs::message(file + " already exists.\nDo you want to replace it?", "Save As",
                             QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    SaveName = file;
    m_main.config.DefaultDir = directoryOf(file);
    if (memo->document()->isEmpty())
        return;
    if (writeEditor(SaveName)) {
        QuietChange = true;
        Modified = false;
        memo->document()->setModified(false);
    }
    statusPanels[3]->clear();
    DocName = file;
    rebuildCaption();
}

void Tserverform::update_history_list(const QString& name) {
    if (m_main.recentFiles.add(name))
        refresh_history();
}

void Tserverform::PasteSQLHistory1Click() {
    insertAtCaret(cmb_history->currentText());
    memo->setFocus();
}

void Tserverform::printText(const QStringList& lines) {
    QPrinter& printer = sharedPrinter();
    if (!Dialogs::choosePrinter(printer, "Print"))
        return;
    if (!printLines(printer, lines, memo->font()))
        Dialogs::message("The printer could not be started.", "Ostrim", QMessageBox::Critical);
}

void Tserverform::Print1Click() {
    QStringList lines;
    for (QTextBlock block = memo->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    printText(lines);
}

void Tserverform::IXButton9Click() {
    const QString selected = memo->textCursor().selection().toPlainText();
    if (!selected.isEmpty())
        printText(selected.split(QLatin1Char('\n')));
}

void Tserverform::Printsetup1Click() {
    QPageSetupDialog setup(&sharedPrinter(), this);
    Dialogs::exec(setup);
}

void Tserverform::add_sql_history(const QString& text) {
    SqlHistory& history = m_main.sqlHistory;
    const QString trimmed = trimHistoryText(text);
    // Blank text makes no entry: the history file could not give it back.
    if (trimmed.isEmpty())
        return;
    for (const QString& entry : history.entries())
        if (trimHistoryText(entry) == trimmed)
            return;
    history.insertFirst(text);
    refresh_sql_history();
}

void Tserverform::read_sql_history() {
    reportIo(read_history_file(programFilePath(m_main.config.HistoryFile), m_main.sqlHistory));
    showSqlHistory();
}

void Tserverform::showSqlHistory() {
    cmb_history->clear();
    for (const QString& entry : m_main.sqlHistory.entries())
        cmb_history->addItem(trimHistoryText(entry));
}

void Tserverform::refresh_sql_history() {
    showSqlHistory();
    write_sql_history();
}

void Tserverform::write_sql_history() {
    reportIo(write_history_file(programFilePath(m_main.config.HistoryFile), m_main.sqlHistory));
}

void Tserverform::ClearHistory1Click() {
    m_main.sqlHistory.clear();
    write_sql_history();
    cmb_history->clear();
}

} // namespace ostrim
