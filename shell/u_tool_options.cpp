#include "u_tool_options.h"

#include "dialogs.h"
#include "file_error_box.h"
#include "program_dir.h"
#include "u_main.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace ostrim {

namespace {

const QString kPropertiesCaption = QStringLiteral("Tool Properties");

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n');
}

// The error a process would meet entering path: 0 when it can.
int directoryError(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (::access(name.constData(), F_OK) != 0)
        return errno;
    if (!QFileInfo(path).isDir())
        return ENOTDIR;
    return ::access(name.constData(), X_OK) != 0 ? errno : 0;
}

// The program's absolute path, searched in PATH when it names no directory; empty when missing.
QString resolveProgram(const QString& program) {
    if (program.isEmpty())
        return {};
    if (!program.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(program);
    // Relative to the directory the user knows, not the tool's working directory.
    return QFileInfo(program).absoluteFilePath();
}

int programError(const QString& path) {
    if (path.isEmpty())
        return ENOENT;
    if (::access(QFile::encodeName(path).constData(), X_OK) != 0)
        return errno;
    return QFileInfo(path).isDir() ? EACCES : 0;
}

QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);
    return b;
}

} // namespace

std::optional<QStringList> splitShellWords(const QString& text) {
    QStringList words;
    QString word;
    bool inWord = false; // "" is a word of its own
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (isBlank(c)) {
            if (inWord)
                words.append(std::exchange(word, {}));
            inWord = false;
            continue;
        }
        // A backslash before a line break joins the lines: it adds nothing, not even a word.
        if (c == QLatin1Char('\\') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            ++i;
            continue;
        }
        inWord = true;
        if (c == QLatin1Char('\'')) {
            const qsizetype end = text.indexOf(QLatin1Char('\''), i + 1);
            if (end < 0)
                return std::nullopt;
            word += text.mid(i + 1, end - i - 1);
            i = end;
        } else if (c == QLatin1Char('"')) {
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                const QChar d = text[i];
                if (d == QLatin1Char('"'))
                    break;
                // Inside double quotes a backslash escapes only these; elsewhere it stays.
                if (d == QLatin1Char('\\') && i + 1 < text.size() &&
                    QStringLiteral("$`\"\\\n").contains(text[i + 1])) {
                    if (text[++i] != QLatin1Char('\n'))
                        word += text[i];
                } else {
                    word += d;
                }
            }
        } else if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            word += text[++i];
        } else {
            word += c;
        }
    }
    if (inWord)
        words.append(word);
    return words;
}

int startTool(const QString& program, const QString& parameters, const QString& workingDir) {
    // No shell in between: a blank in the program's path or a quoted parameter stays one word,
    // and nothing in the parameters is run as a command.
    const std::optional<QStringList> arguments = splitShellWords(parameters);
    if (!arguments)
        return EINVAL;
    const QString directory = workingDir.isEmpty() ? QDir::currentPath() : workingDir;
    if (const int error = directoryError(directory))
        return error;
    const QString path = resolveProgram(program);
    if (const int error = programError(path))
        return error;
    QProcess process;
    process.setProgram(path);
    process.setArguments(*arguments);
    process.setWorkingDirectory(directory);
    errno = 0;
    if (!process.startDetached())
        return errno ? errno : ENOEXEC;
    return 0;
}

Tf_tool_properties::Tf_tool_properties(QWidget* owner) : QDialog(owner) {
    setObjectName("f_tool_properties");
    setWindowTitle(kPropertiesCaption);
    e_title = new QLineEdit(this);
    e_program = new QLineEdit(this);
    e_workingdir = new QLineEdit(this);
    e_parameters = new QLineEdit(this);
    btn_browse = button("&Browse", this);
    btn_ok = button("OK", this);
    btn_ok->setDefault(true);
    btn_cancel = button("Cancel", this);
    btn_help = button("&Help", this);

    auto* fields = new QGridLayout;
    const std::pair<QString, QLineEdit*> rows[] = {{"&Title:", e_title},
                                                   {"&Program:", e_program},
                                                   {"&Working dir:", e_workingdir},
                                                   {"Parameters:", e_parameters}};
    int row = 0;
    for (const auto& [caption, edit] : rows) {
        auto* label = new QLabel(caption, this);
        label->setBuddy(edit);
        fields->addWidget(label, row, 0);
        fields->addWidget(edit, row++, 1);
    }
    fields->addWidget(btn_browse, 1, 2);
    fields->setColumnMinimumWidth(1, 300);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_ok);
    buttons->addWidget(btn_cancel);
    buttons->addWidget(btn_help);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(btn_browse, &QPushButton::clicked, this, &Tf_tool_properties::btn_browseClick);
    connect(btn_ok, &QPushButton::clicked, this, &Tf_tool_properties::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void Tf_tool_properties::btn_browseClick() {
    const QString program = e_program->text();
    const QString dir = program.isEmpty() ? QString() : QFileInfo(program).absolutePath();
    // Linux programs carry no extension to filter by.
    const QString chosen = Dialogs::openFileName("Browse", dir, "All files (*)");
    if (chosen.isEmpty())
        return;
    e_program->setText(chosen);
    if (e_title->text().trimmed().isEmpty())
        e_title->setText(QFileInfo(chosen).fileName());
}

void Tf_tool_properties::btn_okClick() {
    if (e_title->text().trimmed().isEmpty())
        Dialogs::message("Title must be entered!", kPropertiesCaption, QMessageBox::Critical);
    else if (e_program->text().isEmpty())
        Dialogs::message("Program must be entered!", kPropertiesCaption, QMessageBox::Critical);
    accept();
}

Tf_tool_options::Tf_tool_options(Tmain& main, QWidget* owner) : QDialog(owner), m_main(main) {
    setObjectName("f_tool_options");
    setWindowTitle("Tool Options");
    l_tools = new QListWidget(this);
    btn_add = button("&Add", this);
    btn_edit = button("&Edit", this);
    btn_delete = button("&Delete", this);
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setArrowType(Qt::UpArrow);
    SpeedButton2 = new QToolButton(this);
    SpeedButton2->setArrowType(Qt::DownArrow);
    btn_close = button("&Close", this);
    btn_help = button("&Help", this);

    auto* label = new QLabel("Tools:", this);
    label->setBuddy(l_tools);
    auto* moves = new QHBoxLayout;
    moves->addWidget(SpeedButton1);
    moves->addWidget(SpeedButton2);
    moves->addStretch();
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {btn_add, btn_edit, btn_delete})
        buttons->addWidget(b);
    buttons->addLayout(moves);
    buttons->addStretch();
    buttons->addWidget(btn_close);
    buttons->addWidget(btn_help);
    auto* list = new QVBoxLayout;
    list->addWidget(label);
    list->addWidget(l_tools);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(list, 1);
    layout->addLayout(buttons);

    // A file that lacked some lines leaves shorter lists: padded, an added tool's values land
    // beside its title.
    ToolLists& tools = m_main.tools;
    for (QStringList* values : {&tools.programs, &tools.workingDirs, &tools.parameters})
        values->resize(tools.titles.size());
    l_tools->addItems(tools.titles);
    if (tools.titles.isEmpty()) {
        btn_delete->setEnabled(false);
        btn_edit->setEnabled(false);
    } else {
        l_tools->setCurrentRow(0);
    }

    connect(l_tools, &QListWidget::itemDoubleClicked, this, &Tf_tool_options::btn_editClick);
    connect(btn_add, &QPushButton::clicked, this, &Tf_tool_options::btn_addClick);
    connect(btn_edit, &QPushButton::clicked, this, &Tf_tool_options::btn_editClick);
    connect(btn_delete, &QPushButton::clicked, this, &Tf_tool_options::btn_deleteClick);
    connect(SpeedButton1, &QToolButton::clicked, this, &Tf_tool_options::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &Tf_tool_options::SpeedButton2Click);
    connect(btn_close, &QPushButton::clicked, this, &Tf_tool_options::btn_closeClick);
}

void Tf_tool_options::btn_addClick() {
    Tf_tool_properties properties(this);
    if (Dialogs::exec(properties) != QDialog::Accepted || properties.e_title->text().isEmpty())
        return;
    ToolLists& tools = m_main.tools;
    tools.titles.append(properties.e_title->text());
    tools.programs.append(properties.e_program->text());
    tools.workingDirs.append(properties.e_workingdir->text());
    tools.parameters.append(properties.e_parameters->text());
    l_tools->addItem(properties.e_title->text());
}

void Tf_tool_options::btn_editClick() {
    const int index = l_tools->currentRow();
    if (index < 0)
        return;
    ToolLists& tools = m_main.tools;
    Tf_tool_properties properties(this);
    properties.e_title->setText(tools.titles[index]);
    properties.e_program->setText(tools.programs[index]);
    properties.e_workingdir->setText(tools.workingDirs[index]);
    properties.e_parameters->setText(tools.parameters[index]);
    if (Dialogs::exec(properties) != QDialog::Accepted)
        return;
    tools.titles[index] = properties.e_title->text();
    tools.programs[index] = properties.e_program->text();
    tools.workingDirs[index] = properties.e_workingdir->text();
    tools.parameters[index] = properties.e_parameters->text();
    l_tools->item(index)->setText(tools.titles[index]);
}

void Tf_tool_options::btn_deleteClick() {
    const int index = l_tools->currentRow();
    if (index < 0)
        return;
    ToolLists& tools = m_main.tools;
    for (QStringList* values :
         {&tools.titles, &tools.programs, &tools.workingDirs, &tools.parameters})
        values->removeAt(index);
    delete l_tools->takeItem(index);
    // Nothing stays selected, so a second Delete cannot remove a neighbour by mistake.
    l_tools->setCurrentRow(-1);
}

void Tf_tool_options::SpeedButton1Click() {
    const int index = l_tools->currentRow();
    if (index >= 1)
        exchange(index, index - 1);
}

void Tf_tool_options::SpeedButton2Click() {
    const int index = l_tools->currentRow();
    if (index >= 0 && index < l_tools->count() - 1)
        exchange(index, index + 1);
}

void Tf_tool_options::exchange(int from, int to) {
    ToolLists& tools = m_main.tools;
    for (QStringList* values :
         {&tools.titles, &tools.programs, &tools.workingDirs, &tools.parameters})
        values->swapItemsAt(from, to);
    l_tools->item(from)->setText(tools.titles[from]);
    l_tools->item(to)->setText(tools.titles[to]);
    l_tools->setCurrentRow(to);
}

void Tf_tool_options::btn_closeClick() {
    // Read back only what was written: after a failed write the file's old tools would replace
    // the edits, which stay in memory for the next write instead.
    if (reportIo(write_tools(toolsFilePath(), m_main.tools)))
        m_main.read_tools();
    QDialog::accept();
}

void Tf_tool_options::reject() {
    // Escape and the window's close box store the changes as "&Close" does: they are made
    // already and there is no way to discard them.
    btn_closeClick();
}

} // namespace ostrim
