#include "u_results.h"

#include "animated_bitmap.h"
#include "busy_connection.h"
#include "dialogs.h"
#include "file_error_box.h"
#include "glyph_icon.h"
#include "grid_text.h"
#include "message_pane.h"
#include "print_lines.h"
#include "sybdatabase.h"
#include "sybgrid.h"
#include "sybquery.h"
#include "u_export.h"
#include "u_sql_code.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <exception>

namespace ostrim {

namespace {

constexpr int kStartTickMs = 50;
constexpr int kWatchMs = 100;
constexpr int kAnimationMs = 150;

constexpr int kAbortWaitMs = 2000;

const QString kStillExecuting = QStringLiteral("Query still executing. Continue ?");

} // namespace

Tresults_form::Tresults_form(Tmain& main, const RunParameters& run) : m_main(main), m_run(run) {
    setObjectName("results_form");
    setWindowTitle("Results");
    results_grid = new TSybGrid(this);
    results_grid->setObjectName("results_grid");
    results_grid->setDbName("sybase");
    results_grid->setShowLineNum(true);
    results_grid->setShowRowCount(true);
    results_grid->setAutoDbProc(false);
    results_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    results_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    results_grid->installEventFilter(this);
    query = new TSybQuery(this);
    query->setObjectName("query");
    query->setAutoDbProc(false);
    sybase_results = new TSybDatabase(this);
    sybase_results->setName("sybase_results");
    sybase_results->setDBName("master");

    run_image = new TAnimatedBitmap(this);
    run_image->setObjectName("run_image");
    run_image->setFixedSize(38, 38);
    run_image->setBitmap(TAnimatedBitmap::runningStrip(38));
    run_image->setColumns(10);
    run_image->setRows(1);
    run_image->setActivePicture(1);
    run_image->setInterval(kAnimationMs);

    results_statusbar = new QStatusBar(this);
    results_statusbar->setObjectName("results_statusbar");
    results_statusbar->setSizeGripEnabled(false);
    results_status = new QLabel(results_statusbar);
    results_status->setObjectName("results_status");
    results_statusbar->addWidget(results_status, 1);
    results_grid->setShowNullText(m_run.ShowNullText);
    results_grid->setCellViewer(m_run.CellViewer);
    createCommands();

    auto* top = new QHBoxLayout;
    top->setContentsMargins(2, 0, 4, 0);
    top->addWidget(ToolBar2, 1);
    top->addWidget(run_image);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    if (m_run.MessagesInResults) {
        results_splitter = new QSplitter(Qt::Vertical, this);
        results_splitter->setObjectName("results_splitter");
        results_splitter->setChildrenCollapsible(false);
        messages = new MessagePane;
        messages->hide(); // until the first message
        results_splitter->addWidget(results_grid);
        results_splitter->addWidget(messages);
        results_splitter->setStretchFactor(0, 3);
        results_splitter->setStretchFactor(1, 1);
        layout->addWidget(results_splitter, 1);
        results_grid->setMessageReceiver([this](std::vector<RunMessage>& arrived) {
            messages->add(arrived, [this](const RunMessage& m) { return editorLine(m); });
            messages->show();
        });
        connect(messages, &MessagePane::lineActivated, this, &Tresults_form::showEditorLine);
    } else {
        layout->addWidget(results_grid, 1);
    }
    layout->addWidget(results_statusbar);

    results_timer.setInterval(kStartTickMs);
    connect(&results_timer, &QTimer::timeout, this, &Tresults_form::results_timerTimer);
    run_timer.setInterval(kWatchMs);
    connect(&run_timer, &QTimer::timeout, this, &Tresults_form::run_timerTimer);
    results_timer.start();
    run_timer.start();
    if (!m_run.OwnConnection) {
        m_borrowRefused = BusyConnection::isBusy(m_run.DbProc);
        if (!m_borrowRefused)
            m_borrowed = std::make_unique<BusyConnection>(m_run.DbProc);
    }
}

Tresults_form::~Tresults_form() {
    // The loader ends before the connection it reads from goes.
    stopLoad();
}

Tresults_form* Tresults_form::open(Tmain& main, const RunParameters& run) {
    auto* window = new Tresults_form(main, run);
    main.addChild(window, false)->showMaximized();
    return window;
}

void Tresults_form::createCommands() {
    auto command = [this](QObject* owner, const char* name, const QString& text,
                          const QKeySequence& key, void (Tresults_form::*slot)()) {
        auto* a = new QAction(text, owner);
        a->setObjectName(name);
        a->setShortcut(key);
        // Shortcuts of the pop-up menu act while the grid has the keyboard (see eventFilter).
        a->setShortcutContext(Qt::WidgetShortcut);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    Cut1 = command(PopupMenu1, "Cut1", "Cu&t", QKeySequence("Ctrl+X"), &Tresults_form::CutClick);
    Copyall1 = command(PopupMenu1, "Copyall1", "&Copy all", QKeySequence("Alt+C"),
                       &Tresults_form::CopyAllClick);
    Copyselected1 = command(PopupMenu1, "Copyselected1", "Copy selected", QKeySequence("Ctrl+C"),
                            &Tresults_form::CopySelectedClick);
    Printall1 = command(PopupMenu1, "Printall1", "&Print all", QKeySequence("Ctrl+P"),
                        &Tresults_form::PrintAllClick);
    Printselected1 = command(PopupMenu1, "Printselected1", "Print selected", QKeySequence("Alt+P"),
                             &Tresults_form::PrintSelectedClick);
    Font1 = command(PopupMenu1, "Font1", "&Fonts", QKeySequence("Ctrl+F"),
                    &Tresults_form::ChangeFontClick);
    PopupMenu1->addActions({Cut1, Copyall1, Copyselected1});
    PopupMenu1->addSeparator();
    PopupMenu1->addActions({Printall1, Printselected1});
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(Font1);
    connect(results_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu1->popup(results_grid->viewport()->mapToGlobal(at));
    });

    File1 = new QMenu("&File", this);
    File1->setObjectName("File1");
    Saveall1 = command(File1, "Saveall1", "  Save &all", {}, &Tresults_form::SaveAllClick);
    Saveselected1 =
        command(File1, "Saveselected1", "  Save &selected", {}, &Tresults_form::SaveSelectedClick);
    Export1 = command(File1, "Export1", "  &Export", {}, &Tresults_form::Export1Click);
    Close1 = new QAction("  &Close", File1);
    Close1->setObjectName("Close1");
    connect(Close1, &QAction::triggered, this, [this] {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
            sub->close();
    });
    File1->addActions({Saveall1, Saveselected1});
    File1->addSeparator();
    File1->addAction(Export1);
    File1->addSeparator();
    File1->addAction(Close1);
    // The frame's File menu gives way to this one; its Exit stays within reach.
    File1->addSeparator();
    File1->addAction(m_main.Exit2);

    ToolBar2 = new QToolBar(this);
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setIconSize(QSize(23, 23));
    ToolBar2->setMovable(false);
    QStyle* style = QApplication::style();
    auto button = [this](int number, const QString& hint, const QIcon& icon,
                         void (Tresults_form::*slot)()) {
        auto* b = new QToolButton(ToolBar2);
        b->setObjectName(QString("ToolButton%1").arg(number));
        b->setAutoRaise(true);
        b->setFixedSize(30, 32);
        b->setIcon(icon);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        connect(b, &QToolButton::clicked, this, slot);
        ToolBar2->addWidget(b);
    };
    auto theme = [style](const char* name, QStyle::StandardPixmap fallback) {
        return QIcon::fromTheme(name, style->standardIcon(fallback));
    };
    button(1, "Close Form", theme("window-close", QStyle::SP_DialogCloseButton),
           &Tresults_form::CloseFormClick);
    ToolBar2->addSeparator();
    button(2, "Cut", themeOrGlyph("edit-cut", "✂", glyphFont(16, false)), &Tresults_form::CutClick);
    button(3, "Copy All", themeOrGlyph("edit-select-all", "A", glyphFont(14)),
           &Tresults_form::CopyAllClick);
    button(4, "Copy Selected Text", QIcon::fromTheme("edit-copy", sheetsIcon(false)),
           &Tresults_form::CopySelectedClick);
    button(5, "Print All", theme("document-print", QStyle::SP_FileDialogDetailedView),
           &Tresults_form::PrintAllClick);
    button(6, "Print Selected", themeOrGlyph("document-print-preview", "P", glyphFont(14)),
           &Tresults_form::PrintSelectedClick);
    button(7, "Change Font", themeOrGlyph("preferences-desktop-font", "F", glyphFont(14)),
           &Tresults_form::ChangeFontClick);
    ToolBar2->addSeparator();
    button(8, "Save All", theme("document-save", QStyle::SP_DialogSaveButton),
           &Tresults_form::SaveAllClick);
    button(9, "Save Selected", theme("document-save-as", QStyle::SP_DriveFDIcon),
           &Tresults_form::SaveSelectedClick);
    ToolBar2->addSeparator();
    button(10, "Export", theme("document-export", QStyle::SP_ArrowRight),
           &Tresults_form::Export1Click);
    ToolBar2->addSeparator();
    button(11, "Abort Query", theme("process-stop", QStyle::SP_BrowserStop),
           &Tresults_form::AbortClick);
    button(12, "Pause Query", theme("media-playback-pause", QStyle::SP_MediaPause),
           &Tresults_form::PauseClick);
    button(13, "Resume Query", theme("media-playback-start", QStyle::SP_MediaPlay),
           &Tresults_form::ResumeClick);
    ToolBar2->addSeparator();
    button(14, "View SQL", themeOrGlyph("text-x-script", "SQL", glyphFont(9)),
           &Tresults_form::ViewSqlClick);
}

QToolButton* Tresults_form::toolButton(int number) const {
    return ToolBar2->findChild<QToolButton*>(QString("ToolButton%1").arg(number));
}

QList<GroupedMenu> Tresults_form::childMenus() const {
    return {{0, File1}};
}

void Tresults_form::results_timerTimer() {
    // A box raised inside a DB-Library call runs this timer from its own event loop: the run
    // waits until that call has returned, since the connection may be the one it is on.
    if (insideDbLibBox())
        return;
    // The first tick lets the window show itself; the second starts the run.
    if (!StartPending) {
        StartPending = true;
        return;
    }
    StartPending = false;
    results_timer.stop();
    startRun();
}

void Tresults_form::startRun() {
    auto closeWindow = [this] {
        m_closeConfirmed = true;
        closeChildWindow(*this);
    };
    if (m_run.OwnConnection) {
        sybase_results->setLoginPrompt(false);
        sybase_results->setUserName(m_run.UserName);
        sybase_results->setDBName(m_run.DBName);
        sybase_results->setServerName(m_run.ServerName);
        sybase_results->setPassword(m_run.Password);
        sybase_results->setLoginTimeOut(m_main.config.LoginTimeOut);
        sybase_results->connect();
        if (!sybase_results->Connected()) {
            closeWindow();
            return;
        }
        ResultsDbProc = sybase_results->DbProc();
    } else {
        ResultsDbProc = m_run.DbProc;
        // One thread and one command at a time per connection: an earlier run may still be
        // reading from this one.
        if (m_borrowRefused) {
            Dialogs::message("The rows of an earlier run are still loading on this connection. "
                             "Run again when they are in, or abort that run.",
                             "Results", QMessageBox::Warning);
            closeWindow();
            return;
        }
    }
    query->setDbProc(ResultsDbProc);
    for (const QString& statement : onStatements(m_run)) {
        query->setSql(statement);
        query->Execute();
    }
    results_grid->setSql(m_run.Sql);
    results_grid->setDbProc(ResultsDbProc);
    results_grid->setBackground(m_run.Background);
    results_grid->setCursor(Qt::BusyCursor);
    setCursor(Qt::WaitCursor);
    ToolBar2->setCursor(Qt::BusyCursor);
    m_loadTime.start();
    showLoadState();
    results_grid->Execute();
    results_grid->unsetCursor();
    unsetCursor();
    ToolBar2->unsetCursor();
    if (!m_run.Background) {
        m_borrowed.reset();
        run_timer.stop();
        run_image->setInterval(0);
        m_loadMs = m_loadTime.elapsed();
        showLoadState();
        // What the server said of a run without rows is all it gave: the pane stays.
        const bool told = messages && messages->topLevelItemCount() > 0;
        if (!results_grid->RowsReturned() && !told) {
            closeWindow();
            return;
        }
    }
    results_grid->setFocus();
}

void Tresults_form::run_timerTimer() {
    if (results_grid->Background() && m_loadTime.isValid())
        showLoadState();
    if (!results_grid->Background() || !results_grid->Terminated())
        return;
    run_image->setInterval(0);
    // The borrowed connection is free, and the rows known whole or partial, only once the
    // loader has left its run.
    if (results_grid->RunState() == GridRunner::State::Stopping)
        return;
    m_borrowed.reset();
    run_timer.stop();
    m_loadMs = m_loadTime.elapsed();
    showLoadState();
}

void Tresults_form::showLoadState() {
    const qint64 ms = m_loadMs >= 0 ? m_loadMs : m_loadTime.elapsed();
    QString state;
    if (m_loadMs < 0)
        state = results_grid->RunState() == GridRunner::State::Paused ? QStringLiteral("paused")
                                                                      : QStringLiteral("loading");
    else if (results_grid->Completed())
        state = QStringLiteral("done");
    else
        state = QStringLiteral("aborted at row %1: the result is partial")
                    .arg(results_grid->gridModel()->store().writtenRows());
    results_status->setText(QStringLiteral("%1 rows loaded in %2 s; %3")
                                .arg(results_grid->DataRows())
                                .arg(double(ms) / 1000.0, 0, 'f', 1)
                                .arg(state));
}

int Tresults_form::editorLine(const RunMessage& message) const {
    // A line within a procedure is the procedure's, not the editor's.
    const SplitScript& script = results_grid->Script();
    if (message.line <= 0 || !message.procedure.isEmpty() || message.batch < 0 ||
        message.batch >= script.firstLines.size() || script.rowCountQuery[message.batch])
        return 0;
    return m_run.FirstLine + script.firstLines[message.batch] + message.line - 1;
}

void Tresults_form::showEditorLine(int line) {
    QTextEdit* editor = m_run.Editor;
    if (!editor)
        return;
    const QTextBlock block = editor->document()->findBlockByNumber(line - 1);
    if (!block.isValid())
        return;
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    editor->setTextCursor(cursor);
    editor->ensureCursorVisible();
    for (QWidget* w = editor; w; w = w->parentWidget()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(w)) {
            m_main.mdiArea()->setActiveSubWindow(sub);
            break;
        }
    }
    editor->setFocus();
}

bool Tresults_form::loadRunning() const {
    const GridRunner::State state = results_grid->RunState();
    return results_grid->Background() &&
           (state == GridRunner::State::Loading || state == GridRunner::State::Paused);
}

bool Tresults_form::confirmRunning() {
    if (!loadRunning())
        return true;
    return Dialogs::message(kStillExecuting, "Close", QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No) == QMessageBox::Yes;
}

void Tresults_form::stopLoad() {
    results_timer.stop();
    results_grid->StopLoader();
    m_borrowed.reset();
    sybase_results->disconnect();
}

void Tresults_form::CloseFormClick() {
    if (!confirmRunning())
        return;
    stopLoad();
    m_closeConfirmed = true;
    closeChildWindow(*this);
}

void Tresults_form::closeEvent(QCloseEvent* event) {
    if (!m_closeConfirmed) {
        if (!confirmRunning()) {
            event->ignore();
            // A child that refuses to close goes to an icon, as the frame's children do.
            if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
                QTimer::singleShot(0, sub, &QMdiSubWindow::showMinimized);
            return;
        }
        m_closeConfirmed = true;
    }
    stopLoad();
    event->accept();
}

void Tresults_form::EscapeInGrid() {
    if (loadRunning()) {
        Dialogs::message("Query still executing. Not allowed to close !", "Closing results",
                         QMessageBox::Critical);
        return;
    }
    stopLoad();
    m_closeConfirmed = true;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
}

void Tresults_form::keyPressEvent(QKeyEvent* event) {
    // Esc with the keyboard on the window itself closes the frame's active child.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (QMdiSubWindow* active = m_main.mdiArea()->activeSubWindow())
            active->close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Tresults_form::eventFilter(QObject* watched, QEvent* event) {
    if (watched != results_grid ||
        (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    QAction* match = nullptr;
    for (QAction* a : {Cut1, Copyall1, Copyselected1, Printall1, Printselected1, Font1})
        if (a->shortcut() == pressed)
            match = a;
    const bool escape = key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier;
    if (!match && !escape)
        return QWidget::eventFilter(watched, event);
    // Claimed before the frame's menu shortcuts (Alt+C is also Connect there).
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (escape)
        EscapeInGrid();
    else
        match->trigger();
    return true;
}

void Tresults_form::CopyAllClick() {
    if (!confirmRunning())
        return;
    QApplication::clipboard()->setText(copyAllText(*results_grid));
}

void Tresults_form::CopySelectedClick() {
    QApplication::clipboard()->setText(
        copySelectedText(*results_grid, selectionRect(*results_grid)));
}

void Tresults_form::CutClick() {
    QApplication::clipboard()->setText(
        cutSelectedText(*results_grid, selectionRect(*results_grid)));
}

void Tresults_form::printLines(const QStringList& lines) {
    QPrinter printer;
    if (Dialogs::choosePrinter(printer, "Print") &&
        !ostrim::printLines(printer, lines, results_grid->font()))
        Dialogs::message("The printer could not be started.", "Ostrim", QMessageBox::Critical);
}

void Tresults_form::PrintAllClick() {
    if (!confirmRunning() || results_grid->rowCount() <= 1)
        return;
    QStringList lines;
    for (int row = 1; row < results_grid->rowCount(); ++row)
        lines << fixedWidthLine(*results_grid, row, 1, results_grid->colCount() - 1);
    printLines(lines);
}

void Tresults_form::PrintSelectedClick() {
    if (results_grid->rowCount() <= 1)
        return;
    const GridRect selection = selectionRect(*results_grid);
    QStringList lines;
    for (int row = selection.top; row <= selection.bottom; ++row)
        lines << fixedWidthLine(*results_grid, row, selection.left, selection.right);
    printLines(lines);
}

QString Tresults_form::askSaveName() {
    return Dialogs::saveFileName("Save", m_main.config.DefaultDir,
                                 "Text files (*.txt);;Output (*.out);;All Files (*)");
}

void Tresults_form::saveLines(const QStringList& lines) {
    const QString name = askSaveName();
    if (name.isEmpty())
        return;
    reportIo(writeLines(name, lines));
}

void Tresults_form::SaveAllClick() {
    if (confirmRunning())
        if (const QString name = askSaveName(); !name.isEmpty())
            reportIo(writeSaveAll(name, *results_grid));
}

void Tresults_form::SaveSelectedClick() {
    saveLines(saveSelectedLines(*results_grid, selectionRect(*results_grid)));
}

void Tresults_form::Export1Click() {
    runExport(
        *results_grid, this, [this] { return confirmRunning(); }, [this] { return askSaveName(); });
}

void Tresults_form::ChangeFontClick() {
    QFont font = results_grid->font();
    if (Dialogs::chooseFont(font, "Font"))
        results_grid->setFont(font);
}

void Tresults_form::ViewSqlClick() {
    Tf_sql_code code(this);
    code.memo_sql->setPlainText(results_grid->Sql());
    code.memo_sql->setFont(results_grid->font());
    Dialogs::exec(code);
}

void Tresults_form::AbortClick() {
    Threadgrid* loader = results_grid->Loader();
    if (!loader)
        return;
    loader->Terminate();
    // A borrowed connection serves its server window again as soon as Abort returns; a loader
    // that does not stop at once (inside a long statement) leaves that to run_timer.
    if (m_borrowed && results_grid->waitForLoader(QDeadlineTimer(kAbortWaitMs)))
        run_timerTimer();
}

void Tresults_form::PauseClick() {
    if (Threadgrid* loader = results_grid->Loader()) {
        run_image->setInterval(0);
        loader->Suspend();
    }
}

void Tresults_form::ResumeClick() {
    Threadgrid* loader = results_grid->Loader();
    if (loader && !loader->Finished()) {
        run_image->setInterval(kAnimationMs);
        loader->Resume();
    }
}

} // namespace ostrim
