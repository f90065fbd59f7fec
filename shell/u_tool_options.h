#pragma once
// The external tools: Tf_tool_options edits the frame's tool lists, one tool at a time in
// Tf_tool_properties; startTool starts a tool as a process of its own.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QLineEdit;
class QListWidget;
class QPushButton;
class QToolButton;

namespace ostrim {

class Tmain;

// The words a POSIX shell makes of text: blanks separate them, quotes and backslashes work as in
// the shell, and nothing is expanded or redirected ($, *, ~, >, ; reach the program as written).
// Nothing when a quote is left open.
std::optional<QStringList> splitShellWords(const QString& text);

// Starts program with parameters split as above, in workingDir or, when that is empty, in the
// current directory, and does not wait for it. Returns 0, or the system error number that kept it
// from starting (EINVAL for a quote left open, ENOENT for a missing working directory).
int startTool(const QString& program, const QString& parameters, const QString& workingDir);

class Tf_tool_properties : public QDialog {
    Q_OBJECT
public:
    explicit Tf_tool_properties(QWidget* owner = nullptr);

    QLineEdit* e_title = nullptr;
    QLineEdit* e_program = nullptr;
    QLineEdit* e_workingdir = nullptr;
    QLineEdit* e_parameters = nullptr;
    QPushButton* btn_browse = nullptr;
    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;
    QPushButton* btn_help = nullptr;

    void btn_browseClick();
    // Warns about a missing title or program, then closes with OK all the same.
    void btn_okClick();
};

// Works on the frame's tool lists directly: every change is kept at once, "&Close" (and Escape)
// stores them in the tools file.
class Tf_tool_options : public QDialog {
    Q_OBJECT
public:
    explicit Tf_tool_options(Tmain& main, QWidget* owner = nullptr);

    QListWidget* l_tools = nullptr;
    QPushButton* btn_add = nullptr;
    QPushButton* btn_edit = nullptr;
    QPushButton* btn_delete = nullptr;
    QToolButton* SpeedButton1 = nullptr; // up
    QToolButton* SpeedButton2 = nullptr; // down
    QPushButton* btn_close = nullptr;
    QPushButton* btn_help = nullptr;

    void btn_addClick();
    void btn_editClick();
    void btn_deleteClick();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void btn_closeClick();

    void reject() override;

private:
    void exchange(int from, int to);

    Tmain& m_main;
};

} // namespace ostrim
