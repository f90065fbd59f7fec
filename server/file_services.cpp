#include "file_services.h"

#include "dialogs.h"
#include "file_error_box.h"
#include "print_lines.h"
#include "program_dir.h"
#include "server_options.h"
#include "u_main.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextEdit>

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

FileServices::FileServices(Tmain& main, const Widgets& widgets, Document document)
    : m_main(main), m_widgets(widgets), m_document(std::move(document)) {}

bool FileServices::mayReplaceText() {
    return !m_document.modified ||
           Dialogs::message("Contents has changed. Continue ?", "Close", QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) == QMessageBox::Yes;
}

bool FileServices::confirmDiscard() {
    if (!mayReplaceText())
        return false;
    m_document.modified = false;
    return true;
}

bool FileServices::load(const QString& name) {
    QTextEdit& memo = *m_widgets.memo;
    // Absolute, so that Save writes where the file came from whatever the working directory.
    m_document.saveName = QFileInfo(name).absoluteFilePath();
    QFile file(name);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return reportIo(IoResult::failure(file.errorString(), name));
    m_lineEnd = dominantLineEnd(bytes);
    if (m_document.options.RichText)
        loadRtf(memo, bytes);
    else
        memo.setPlainText(splitLines(bytes).join(QLatin1Char('\n')));
    memo.moveCursor(QTextCursor::Start);
    memo.document()->setModified(false);
    // What was just read from the file is no change of the user's.
    m_document.modified = false;
    m_document.docName = name;
    m_document.showCaption();
    m_document.bookmarks = {};
    return true;
}

bool FileServices::writeEditor(const QString& name) {
    QByteArray contents;
    if (m_document.options.RichText) {
        contents = editorRtf(*m_widgets.memo);
    } else {
        QStringList lines;
        for (QTextBlock block = m_widgets.memo->document()->begin(); block.isValid();
             block = block.next())
            lines << block.text();
        contents = joinLines(lines, m_lineEnd);
    }
    return reportIo(writeFileSafely(name, contents));
}

void FileServices::emptyEditor() {
    m_widgets.memo->clear();
    m_document.saveName.clear();
    m_document.docName = QStringLiteral("Untitled.sql");
    m_lineEnd = LineEnd::Lf;
    // An empty new text has nothing to lose: a following New or Close need not ask.
    m_document.modified = false;
    m_widgets.modifiedPanel->clear();
}

bool FileServices::replaceByNewText() {
    if (m_document.modified) {
        if (Dialogs::message("Contents has changed. Continue ?", "New", QMessageBox::Question,
                             QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No) != QMessageBox::Yes) {
            m_widgets.memo->setFocus();
            m_document.showCaption();
            return false;
        }
        emptyEditor();
        m_document.speedwordsOn();
    } else {
        emptyEditor();
    }
    m_widgets.memo->setFocus();
    m_document.showCaption();
    return true;
}

void FileServices::newText() {
    replaceByNewText();
}

void FileServices::newTextAndFont() {
    const bool wasModified = m_document.modified;
    const bool emptied = replaceByNewText();
    m_widgets.modifiedPanel->clear();
    m_document.bookmarks = {};
    if (emptied && wasModified) {
        QFont font("Courier");
        font.setStyleHint(QFont::TypeWriter);
        font.setPointSize(9);
        m_widgets.memo->setCurrentFont(font);
        m_widgets.memo->setFont(font);
    }
}

void FileServices::openInThisWindow(const QString& file) {
    if (!load(file))
        return;
    m_widgets.modifiedPanel->clear();
    m_main.config.DefaultDir = directoryOf(file);
    m_document.docName = file;
    m_document.showCaption();
    m_document.quietChange = true;
    m_document.bookmarks = {};
    addRecentFile(file);
}

QString FileServices::askOpenFile() {
    return Dialogs::openFileName("Open File", m_main.config.DefaultDir, kOpenFilter);
}

void FileServices::open() {
    if (m_document.options.OpenNewWindow) {
        // The new window asks for the file when it is first activated.
        m_main.openDialogPending = 1;
        m_document.quietChange = true;
        m_widgets.modifiedPanel->clear();
        m_document.bookmarks = {};
        m_main.New1Click();
        return;
    }
    if (!mayReplaceText())
        return;
    const QString file = askOpenFile();
    if (!file.isEmpty())
        openInThisWindow(file);
}

void FileServices::openPending() {
    if (m_main.openDialogPending != 1)
        return;
    m_main.openDialogPending = 0;
    // Only loaded: this path leaves the recent-file list alone.
    if (mayReplaceText()) {
        const QString file = askOpenFile();
        if (!file.isEmpty())
            load(file);
    }
}

void FileServices::openCommandLineFile() {
    if (m_main.openAtStart) {
        m_main.openAtStart = false;
        load(m_main.commandLineFile);
    }
}

void FileServices::openRecent(int item) {
    const QString file = m_main.recentFiles.slot(item + 1);
    if (file.isEmpty() || !mayReplaceText())
        return;
    m_document.quietChange = true;
    if (load(file))
        m_main.config.DefaultDir = directoryOf(file);
}

void FileServices::save() {
    QTextEdit& memo = *m_widgets.memo;
    const QString& saveName = m_document.saveName;
    if (memo.document()->isEmpty())
        return;
    // A name without a directory (an object or index just pasted) is no file yet: ask for one,
    // rather than write into whatever directory the program was started from.
    if (saveName.trimmed().isEmpty() || !saveName.contains(QLatin1Char('/'))) {
        saveAs();
        return;
    }
    if (writeEditor(saveName)) {
        m_widgets.modifiedPanel->clear();
        m_document.quietChange = true;
        m_document.modified = false;
        memo.document()->setModified(false);
        m_main.config.DefaultDir = directoryOf(saveName);
    }
    m_document.showCaption();
}

void FileServices::saveAs() {
    QTextEdit& memo = *m_widgets.memo;
    QString& saveName = m_document.saveName;
    const QString proposed =
        saveName.isEmpty() ? QString() : QDir(m_main.config.DefaultDir).filePath(saveName);
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
    saveName = file;
    m_main.config.DefaultDir = directoryOf(file);
    if (memo.document()->isEmpty())
        return;
    if (writeEditor(saveName)) {
        m_document.quietChange = true;
        m_document.modified = false;
        memo.document()->setModified(false);
    }
    m_widgets.modifiedPanel->clear();
    m_document.docName = file;
    m_document.showCaption();
}

void FileServices::showRecentFiles() {
    const RecentFiles& recent = m_main.recentFiles;
    const std::array<QAction*, 10>& hist = m_widgets.recentFiles;
    for (int i = 0; i < int(hist.size()); ++i) {
        const bool used = i < recent.count();
        if (used)
            hist[std::size_t(i)]->setText("&" + QString::number(i) + " " + recent.slot(i + 1));
        hist[std::size_t(i)]->setVisible(used);
    }
}

void FileServices::addRecentFile(const QString& name) {
    if (m_main.recentFiles.add(name))
        showRecentFiles();
}

void FileServices::pasteSqlHistory() {
    insertAtCaret(*m_widgets.memo, m_widgets.history->currentText());
    m_widgets.memo->setFocus();
}

void FileServices::printText(const QStringList& lines) {
    QPrinter& printer = sharedPrinter();
    if (!Dialogs::choosePrinter(printer, "Print"))
        return;
    if (!printLines(printer, lines, m_widgets.memo->font()))
        Dialogs::message("The printer could not be started.", "Ostrim", QMessageBox::Critical);
}

void FileServices::print() {
    QStringList lines;
    for (QTextBlock block = m_widgets.memo->document()->begin(); block.isValid();
         block = block.next())
        lines << block.text();
    printText(lines);
}

void FileServices::printSelection() {
    const QString selected = m_widgets.memo->textCursor().selection().toPlainText();
    if (!selected.isEmpty())
        printText(selected.split(QLatin1Char('\n')));
}

void FileServices::printSetup() {
    QPageSetupDialog setup(&sharedPrinter(), m_widgets.window);
    Dialogs::exec(setup);
}

void FileServices::addSqlHistory(const QString& text) {
    SqlHistory& history = m_main.sqlHistory;
    const QString trimmed = trimHistoryText(text);
    // Blank text makes no entry: the history file could not give it back.
    if (trimmed.isEmpty())
        return;
    for (const QString& entry : history.entries())
        if (trimHistoryText(entry) == trimmed)
            return;
    history.insertFirst(text);
    refreshSqlHistory();
}

void FileServices::readSqlHistory() {
    reportIo(read_history_file(programFilePath(m_main.config.HistoryFile), m_main.sqlHistory));
    showSqlHistory();
}

void FileServices::showSqlHistory() {
    m_widgets.history->clear();
    for (const QString& entry : m_main.sqlHistory.entries())
        m_widgets.history->addItem(trimHistoryText(entry));
}

void FileServices::refreshSqlHistory() {
    showSqlHistory();
    writeSqlHistory();
}

void FileServices::writeSqlHistory() {
    reportIo(write_history_file(programFilePath(m_main.config.HistoryFile), m_main.sqlHistory));
}

void FileServices::clearSqlHistory() {
    m_main.sqlHistory.clear();
    writeSqlHistory();
    m_widgets.history->clear();
}

} // namespace ostrim
