#pragma once
// Tf_config: the settings of a server window and the program-wide ones the configuration file
// keeps: debugging, execution and paste options, the editor's colours and text mode, the SQL
// history file, and our own administration and login settings.

#include <QDialog>
#include <QWidget>

#include <array>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTextEdit;

namespace ostrim {

struct OstrimConfig;
struct ServerOptions;

// Sixteen colours, foreground picked with the left button and background with the right.
// Colours are the configuration's values (red in the low byte). A colour given that is not in
// the grid selects no cell and is kept as it is until a cell is clicked for it.
class TColorGrid : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 4;
    static const std::array<int, 16> kColors;

    explicit TColorGrid(QWidget* parent = nullptr);

    void setForegroundColor(int color);
    void setBackgroundColor(int color);
    int foregroundColor() const { return m_foreground; }
    int backgroundColor() const { return m_background; }
    // The cell of each, -1 when the colour is not in the grid.
    int foregroundIndex() const { return indexOf(m_foreground); }
    int backgroundIndex() const { return indexOf(m_background); }
    QRect cellRect(int index) const;

    QSize sizeHint() const override;

signals:
    void colorsChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    static int indexOf(int color);
    int m_foreground = 0;
    int m_background = 0xFFFFFF;
};

// A configuration colour on the screen, and back.
QColor configColor(int value);
int configValue(const QColor& color);

class Tf_config : public QDialog {
    Q_OBJECT
public:
    // What the dialog reads when it opens and changes on OK: the window's options and editor,
    // the frame's values, and what the window does for the text mode and the SQL history.
    struct Targets {
        ServerOptions& options;
        OstrimConfig& config;
        QTextEdit& editor;
        std::function<void(bool rich)> switchTextMode;
        std::function<void()> readSqlHistory;
    };
    Tf_config(const Targets& targets, QWidget* parent = nullptr);

    QTabWidget* pages = nullptr;
    // "Sybase Debug"
    QCheckBox* chk_showplan = nullptr;
    QCheckBox* chk_noexec = nullptr;
    QCheckBox* chk_checksyntax = nullptr;
    QCheckBox* chk_statsio = nullptr;
    QCheckBox* chk_statstime = nullptr;
    QCheckBox* chk_arithabort = nullptr;
    QCheckBox* chk_arithignore = nullptr;
    QCheckBox* chk_nonansi = nullptr;
    // "Execute"
    QCheckBox* chk_execsel = nullptr;
    QCheckBox* chk_background = nullptr;
    QCheckBox* chk_dbproc = nullptr;
    QCheckBox* chk_messages = nullptr;
    QCheckBox* chk_nulltext = nullptr;
    QCheckBox* chk_cellviewer = nullptr;
    QSpinBox* e_logintimeout = nullptr;
    // "Config"
    QCheckBox* chk_appendgo = nullptr;
    QCheckBox* chk_appendpaste = nullptr;
    QCheckBox* chk_opennewwindow = nullptr;
    QCheckBox* chk_pastecreate = nullptr;
    QCheckBox* chk_pastedrop = nullptr;
    QCheckBox* chk_showhidden = nullptr;
    // "Desktop"
    QListWidget* lb_element = nullptr;
    TColorGrid* ColorGrid = nullptr;
    QLabel* lbl_sample = nullptr; // the chosen colours
    QCheckBox* chk_richtext = nullptr;
    QCheckBox* chk_colours = nullptr;
    QCheckBox* chk_linenumbers = nullptr;
    QCheckBox* chk_completion = nullptr;
    // "Library"
    QLineEdit* e_history_file = nullptr;
    QPushButton* btn_history_file = nullptr; // "?"
    QPushButton* btn_refresh = nullptr;

    QPushButton* btn_ok = nullptr;
    QPushButton* btn_cancel = nullptr;

    void btn_history_fileClick();
    void btn_refreshClick();
    // Takes the dialog's values into the targets; run after OK.
    void takeBack();

private:
    void createPages();
    void FormShow();
    void showSample();
    void setEditorColors(int foreground, int background);

    Targets m_targets;
};

} // namespace ostrim
