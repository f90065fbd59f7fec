#include "u_config.h"

#include "config_file.h"
#include "dialogs.h"
#include "program_dir.h"
#include "server_options.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>
#include <vector>

namespace ostrim {

namespace {

constexpr int kCellSize = 24;
// A login wait longer than a day is no wait anyone means.
constexpr int kMaxLoginTimeOut = 86400;

const QString kHistoryFilter = QStringLiteral("History Files (*.his);;All Files (*)");

// The format's foreground, or none when the text takes the editor's.
bool takesEditorColor(const QTextCharFormat& format, const QColor& editorText) {
    return !format.hasProperty(QTextFormat::ForegroundBrush) ||
           format.foreground().color() == editorText;
}

} // namespace

// The Windows console order, red in the low byte: black, maroon, green, olive, navy, purple,
// teal, grey, silver, red, lime, yellow, blue, fuchsia, aqua, white.
const std::array<int, 16> TColorGrid::kColors = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
    0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

QColor configColor(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

int configValue(const QColor& color) {
    return color.red() | (color.green() << 8) | (color.blue() << 16);
}

TColorGrid::TColorGrid(QWidget* parent) : QWidget(parent) {
    setMinimumSize(sizeHint());
    setContextMenuPolicy(Qt::PreventContextMenu);
}

QSize TColorGrid::sizeHint() const {
    return {kColumns * kCellSize, int(kColors.size()) / kColumns * kCellSize};
}

int TColorGrid::indexOf(int color) {
    const auto* found = std::find(kColors.begin(), kColors.end(), color);
    return found == kColors.end() ? -1 : int(found - kColors.begin());
}

void TColorGrid::setForegroundColor(int color) {
    m_foreground = color;
    update();
}

void TColorGrid::setBackgroundColor(int color) {
    m_background = color;
    update();
}

QRect TColorGrid::cellRect(int index) const {
    const int rows = int(kColors.size()) / kColumns;
    const int w = width() / kColumns;
    const int h = height() / rows;
    return {index % kColumns * w, index / kColumns * h, w, h};
}

void TColorGrid::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int fg = foregroundIndex();
    const int bg = backgroundIndex();
    for (int i = 0; i < int(kColors.size()); ++i) {
        const QRect cell = cellRect(i);
        const QColor color = configColor(kColors[std::size_t(i)]);
        painter.fillRect(cell, color);
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
        const QString mark = i == fg && i == bg ? "FB" : i == fg ? "FG" : i == bg ? "BG" : "";
        if (mark.isEmpty())
            continue;
        painter.setPen(color.lightness() < 128 ? Qt::white : Qt::black);
        painter.drawText(cell, Qt::AlignCenter, mark);
    }
}

void TColorGrid::mousePressEvent(QMouseEvent* event) {
    for (int i = 0; i < int(kColors.size()); ++i) {
        if (!cellRect(i).contains(event->position().toPoint()))
            continue;
        if (event->button() == Qt::LeftButton)
            setForegroundColor(kColors[std::size_t(i)]);
        else if (event->button() == Qt::RightButton)
            setBackgroundColor(kColors[std::size_t(i)]);
        else
            return;
        emit colorsChanged();
        return;
    }
}

Tf_config::Tf_config(const Targets& targets, QWidget* parent)
    : QDialog(parent), m_targets(targets) {
    setObjectName("f_config");
    setWindowTitle("Config");
    createPages();
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    btn_ok = button("btn_ok", "O&k");
    btn_ok->setDefault(true);
    // Escape answers as this button does.
    btn_cancel = button("btn_cancel", "&Cancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addLayout(buttons);

    connect(btn_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(btn_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btn_history_file, &QPushButton::clicked, this, &Tf_config::btn_history_fileClick);
    connect(btn_refresh, &QPushButton::clicked, this, &Tf_config::btn_refreshClick);
    connect(ColorGrid, &TColorGrid::colorsChanged, this, &Tf_config::showSample);
    FormShow();
}

void Tf_config::createPages() {
    pages = new QTabWidget(this);
    pages->setObjectName("pages");
    auto page = [this](const QString& title) {
        auto* p = new QWidget;
        pages->addTab(p, title);
        return new QVBoxLayout(p);
    };
    auto check = [](QVBoxLayout* on, const char* name, const QString& text) {
        auto* box = new QCheckBox(text);
        box->setObjectName(name);
        on->addWidget(box);
        return box;
    };

    QVBoxLayout* debug = page("Sybase Debug");
    chk_showplan = check(debug, "chk_showplan", "Show Plan");
    chk_noexec = check(debug, "chk_noexec", "No Exec");
    chk_checksyntax = check(debug, "chk_checksyntax", "Check Syntax");
    chk_statsio = check(debug, "chk_statsio", "Show Statistics I/O");
    chk_statstime = check(debug, "chk_statstime", "Show Statistics Time");
    chk_arithabort = check(debug, "chk_arithabort", "Arithmetic Overflow Abort");
    chk_arithignore = check(debug, "chk_arithignore", "Arithmetic Overflow Ignore");
    chk_nonansi = check(debug, "chk_nonansi", "Show Non-Ansi SQL Message");
    debug->addStretch();

    QVBoxLayout* execute = page("Execute");
    chk_execsel = check(execute, "chk_execsel", "Execute Selected Text");
    chk_background = check(execute, "chk_background", "Execute in Background");
    chk_dbproc = check(execute, "chk_dbproc", "Execute in Seperate DbProcess");
    chk_messages = check(execute, "chk_messages", "Server messages in the results window");
    chk_nulltext = check(execute, "chk_nulltext", "Show NULL values as NULL");
    chk_cellviewer = check(execute, "chk_cellviewer",
                           "Show a cell's whole value on double-click; numbers right-aligned");
    e_logintimeout = new QSpinBox;
    e_logintimeout->setObjectName("e_logintimeout");
    e_logintimeout->setRange(0, kMaxLoginTimeOut);
    e_logintimeout->setSpecialValueText("wait for ever");
    auto* timeout = new QFormLayout;
    timeout->addRow("Login Timeout (seconds, 0 = wait for ever):", e_logintimeout);
    execute->addLayout(timeout);
    execute->addStretch();

    QVBoxLayout* config = page("Config");
    chk_appendgo = check(config, "chk_appendgo", "Append go");
    chk_appendpaste = check(config, "chk_appendpaste", "Append Paste");
    chk_opennewwindow = check(config, "chk_opennewwindow", "Open File with New Window");
    chk_pastecreate = check(config, "chk_pastecreate", "Paste Create Statement");
    chk_pastedrop = check(config, "chk_pastedrop", "Paste Drop Statement");
    chk_showhidden = check(config, "chk_showhidden", "Show hidden administration commands");
    config->addStretch();

    QVBoxLayout* desktop = page("Desktop");
    lb_element = new QListWidget;
    lb_element->setObjectName("lb_element");
    lb_element->addItems({"Plain Text", "Comment", "Reserved Word", "Identifier"});
    ColorGrid = new TColorGrid;
    ColorGrid->setObjectName("ColorGrid");
    lbl_sample = new QLabel("AaBbYyZz");
    lbl_sample->setObjectName("lbl_sample");
    lbl_sample->setAutoFillBackground(true);
    lbl_sample->setAlignment(Qt::AlignCenter);
    lbl_sample->setFrameShape(QFrame::Panel);
    lbl_sample->setFrameShadow(QFrame::Sunken);
    auto* element = new QVBoxLayout;
    element->addWidget(new QLabel("Element"));
    element->addWidget(lb_element);
    auto* color = new QVBoxLayout;
    color->addWidget(new QLabel("Color"));
    color->addWidget(ColorGrid);
    color->addWidget(lbl_sample);
    color->addStretch();
    auto* choice = new QHBoxLayout;
    choice->addLayout(element);
    choice->addLayout(color);
    desktop->addLayout(choice);
    desktop->addWidget(new QLabel("Left Click for Foreground, Right Click for Background"));
    chk_richtext = check(desktop, "chk_richtext", "RichText");
    chk_colours = check(desktop, "chk_colours", "Colour Transact-SQL in plain text");
    chk_linenumbers = check(desktop, "chk_linenumbers", "Line numbers");
    chk_completion = check(desktop, "chk_completion", "Complete names on Ctrl+Space");
    desktop->addStretch();

    QVBoxLayout* library = page("Library");
    e_history_file = new QLineEdit;
    e_history_file->setObjectName("e_history_file");
    btn_history_file = new QPushButton("?");
    btn_history_file->setObjectName("btn_history_file");
    btn_history_file->setAutoDefault(false);
    btn_history_file->setFixedWidth(btn_history_file->fontMetrics().height() * 2);
    btn_refresh = new QPushButton("Refresh");
    btn_refresh->setObjectName("btn_refresh");
    btn_refresh->setAutoDefault(false);
    auto* label = new QLabel("History File");
    label->setBuddy(e_history_file);
    auto* file = new QHBoxLayout;
    file->addWidget(e_history_file, 1);
    file->addWidget(btn_history_file);
    file->addWidget(btn_refresh);
    library->addWidget(label);
    library->addLayout(file);
    library->addStretch();
}

void Tf_config::FormShow() {
    const ServerOptions& o = m_targets.options;
    const OstrimConfig& c = m_targets.config;
    chk_showplan->setChecked(o.ShowPlan);
    chk_noexec->setChecked(o.NoExec);
    chk_checksyntax->setChecked(o.CheckSyntax);
    chk_statsio->setChecked(o.ShowIo);
    chk_statstime->setChecked(o.ShowTime);
    chk_arithabort->setChecked(o.ArithAbort);
    chk_arithignore->setChecked(o.ArithIgnore);
    chk_nonansi->setChecked(o.ShowNonAnsi);
    chk_execsel->setChecked(o.ExecSelected);
    chk_background->setChecked(c.BackgroundProcess);
    chk_dbproc->setChecked(o.SeperateDBProc);
    chk_appendgo->setChecked(o.AppendGo);
    chk_appendpaste->setChecked(o.AppendPaste);
    chk_opennewwindow->setChecked(o.OpenNewWindow);
    chk_pastecreate->setChecked(o.PasteCREATE);
    chk_pastedrop->setChecked(o.PasteDROP);
    chk_richtext->setChecked(o.RichText);
    chk_showhidden->setChecked(o.ShowHiddenCommands == 1);
    chk_messages->setChecked(c.MessagesInResults);
    chk_nulltext->setChecked(c.ShowNullText);
    chk_cellviewer->setChecked(c.CellViewer);
    chk_colours->setChecked(c.SyntaxColours);
    chk_linenumbers->setChecked(c.LineNumbers);
    chk_completion->setChecked(c.Completion);
    e_logintimeout->setValue(c.LoginTimeOut);

    lb_element->setCurrentRow(0);
    const QPalette& editor = m_targets.editor.palette();
    ColorGrid->setForegroundColor(configValue(editor.color(QPalette::Text)));
    ColorGrid->setBackgroundColor(configValue(editor.color(QPalette::Base)));
    showSample();
    e_history_file->setText(c.HistoryFile);
}

void Tf_config::showSample() {
    QPalette sample = lbl_sample->palette();
    sample.setColor(QPalette::WindowText, configColor(ColorGrid->foregroundColor()));
    sample.setColor(QPalette::Window, configColor(ColorGrid->backgroundColor()));
    lbl_sample->setPalette(sample);
}

void Tf_config::btn_history_fileClick() {
    const QString current = programFilePath(e_history_file->text());
    const QString chosen = Dialogs::openFileName("Open History File",
                                                 QFileInfo(current).absolutePath(), kHistoryFilter);
    if (!chosen.isEmpty())
        e_history_file->setText(chosen);
}

void Tf_config::btn_refreshClick() {
    m_targets.config.HistoryFile = e_history_file->text();
    m_targets.readSqlHistory();
}

void Tf_config::takeBack() {
    ServerOptions& o = m_targets.options;
    OstrimConfig& c = m_targets.config;
    o.ShowPlan = chk_showplan->isChecked();
    o.NoExec = chk_noexec->isChecked();
    o.CheckSyntax = chk_checksyntax->isChecked();
    o.ShowIo = chk_statsio->isChecked();
    o.ShowTime = chk_statstime->isChecked();
    o.ArithAbort = chk_arithabort->isChecked();
    o.ArithIgnore = chk_arithignore->isChecked();
    o.ShowNonAnsi = chk_nonansi->isChecked();
    o.ExecSelected = chk_execsel->isChecked();
    c.BackgroundProcess = chk_background->isChecked();
    o.SeperateDBProc = chk_dbproc->isChecked();
    o.AppendGo = chk_appendgo->isChecked();
    o.AppendPaste = chk_appendpaste->isChecked();
    o.OpenNewWindow = chk_opennewwindow->isChecked();
    o.PasteCREATE = chk_pastecreate->isChecked();
    o.PasteDROP = chk_pastedrop->isChecked();
    // A value other than 0 and 1 that the user left alone stays as the file has it.
    if (chk_showhidden->isChecked() != (o.ShowHiddenCommands == 1))
        o.ShowHiddenCommands = chk_showhidden->isChecked() ? 1 : 0;
    c.LoginTimeOut = e_logintimeout->value();
    c.MessagesInResults = chk_messages->isChecked();
    c.ShowNullText = chk_nulltext->isChecked();
    c.CellViewer = chk_cellviewer->isChecked();
    c.SyntaxColours = chk_colours->isChecked();
    c.LineNumbers = chk_linenumbers->isChecked();
    c.Completion = chk_completion->isChecked();

    setEditorColors(ColorGrid->foregroundColor(), ColorGrid->backgroundColor());
    c.TextForeGroundColor = ColorGrid->foregroundColor();
    c.TextBackGroundColor = ColorGrid->backgroundColor();
    // A history file named anew is read before anything is added to it: the next write would
    // otherwise replace what it holds with this window's entries.
    const bool historyRenamed = c.HistoryFile != e_history_file->text();
    c.HistoryFile = e_history_file->text();
    if (historyRenamed)
        m_targets.readSqlHistory();

    c.ShowPlan = o.ShowPlan;
    c.NoExec = o.NoExec;
    c.CheckSyntax = o.CheckSyntax;
    c.ShowIo = o.ShowIo;
    c.ShowTime = o.ShowTime;
    c.ArithAbort = o.ArithAbort;
    c.ArithIgnore = o.ArithIgnore;
    c.ShowNonAnsi = o.ShowNonAnsi;
    c.ExecSelected = o.ExecSelected;
    c.SeperateDBProc = o.SeperateDBProc;
    c.AppendGo = o.AppendGo;
    c.AppendPaste = o.AppendPaste;
    c.OpenNewWindow = o.OpenNewWindow;
    c.PasteCREATE = o.PasteCREATE;
    c.PasteDROP = o.PasteDROP;

    // Compared with this window's mode, which its editor is in, not with the frame's value:
    // another window may have changed that since this one opened.
    const bool rich = chk_richtext->isChecked();
    if (rich != o.RichText)
        m_targets.switchTextMode(rich);
    o.RichText = rich;
    c.RichText = rich;
}

void Tf_config::setEditorColors(int foreground, int background) {
    QTextEdit& editor = m_targets.editor;
    const QColor oldText = editor.palette().color(QPalette::Text);
    const QColor text = configColor(foreground);
    QPalette palette = editor.palette();
    palette.setColor(QPalette::Base, configColor(background));
    palette.setColor(QPalette::Text, text);
    editor.setPalette(palette);
    if (text == oldText)
        return;
    // The text in the editor's own colour follows it; text coloured on purpose keeps its
    // colour. A change of colour is no change of the text.
    const QSignalBlocker quiet(&editor);
    // Ranges first: merging formats joins and splits the fragments being walked.
    std::vector<std::pair<int, int>> ranges;
    for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (takesEditorColor(it.fragment().charFormat(), oldText))
                ranges.emplace_back(it.fragment().position(), it.fragment().length());
    QTextCharFormat recolour;
    recolour.setForeground(text);
    QTextCursor cursor(editor.document());
    cursor.beginEditBlock();
    for (const auto& [position, length] : ranges) {
        cursor.setPosition(position);
        cursor.setPosition(position + length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(recolour);
    }
    cursor.endEditBlock();
    QTextCharFormat typed = editor.currentCharFormat();
    if (takesEditorColor(typed, oldText)) {
        typed.setForeground(text);
        editor.setCurrentCharFormat(typed);
    }
}

} // namespace ostrim
