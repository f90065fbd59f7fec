#pragma once
// Tf_diff: the object differences of two databases, possibly on two servers. Each side lists the
// procedures, triggers, views and user tables the other lacks, and, read from the same catalogue
// snapshot, the tables whose layout and the objects whose text differ; Tf_diff_view shows one of
// those side by side.

#include "schema_compare.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;
class QToolBar;
class QToolButton;

namespace ostrim {

class TSybComboBox;
class TSybDatabase;
class TSybQuery;

// Both sides' texts of one object, the lines only one side has marked.
class Tf_diff_view : public QDialog {
    Q_OBJECT
public:
    Tf_diff_view(const QString& name, const QString& title1, const QString& text1,
                 const QString& title2, const QString& text2, QWidget* parent = nullptr);

    QLabel *l_side1 = nullptr, *l_side2 = nullptr;
    QPlainTextEdit *memo1 = nullptr, *memo2 = nullptr;
    QPushButton *btn_copy = nullptr, *btn_close = nullptr;

    // Line numbers (from 0) each side marks.
    QList<int> markedLines1() const;
    QList<int> markedLines2() const;
    const QString& unifiedText() const { return m_unified; }
    // Puts the unified diff on the clipboard.
    void CopyClick();

private:
    QString m_unified;
};

class Tf_diff : public QWidget {
    Q_OBJECT
public:
    explicit Tf_diff(QWidget* parent = nullptr);
    ~Tf_diff() override;

    // The opening server window's login: side 1 gets its server, both its user and password.
    void set_login(const QString& user, const QString& password, const QString& server);

    TSybDatabase *sybase1 = nullptr, *sybase2 = nullptr;
    TSybQuery *q1 = nullptr, *q2 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QToolButton *ToolButton1 = nullptr, *ToolButton2 = nullptr;
    QPushButton *btn_connect1 = nullptr, *btn_connect2 = nullptr, *btn_save_report = nullptr;
    TSybComboBox *cmb_databases1 = nullptr, *cmb_databases2 = nullptr;
    QLineEdit *e_server1 = nullptr, *e_server2 = nullptr, *e_database1 = nullptr,
              *e_database2 = nullptr;
    QListWidget *lb_procedures1 = nullptr, *lb_procedures2 = nullptr, *lb_views1 = nullptr,
                *lb_views2 = nullptr, *lb_triggers1 = nullptr, *lb_triggers2 = nullptr,
                *lb_tables1 = nullptr, *lb_tables2 = nullptr, *lb_layout1 = nullptr,
                *lb_layout2 = nullptr, *lb_text1 = nullptr, *lb_text2 = nullptr;
    QCheckBox *chk_procedures = nullptr, *chk_triggers = nullptr, *chk_views = nullptr,
              *chk_tables = nullptr, *chk_layout = nullptr, *chk_text = nullptr,
              *chk_white_space = nullptr;

    // The side-by-side view opened last, while it is open.
    QPointer<Tf_diff_view> lastView;

    // Handlers.
    void btn_connect1Click() { toggle(1); }
    void btn_connect2Click() { toggle(2); }
    void cmb_databases1Change() { chooseDatabase(1); }
    void cmb_databases2Change() { chooseDatabase(2); }
    void ToolButton1Click();
    void ToolButton2Click();
    // Opens the side-by-side view of the list's item.
    void ListDblClick(QListWidget* list, QListWidgetItem* item);
    void btn_save_reportClick();

    // Every list with its heading, side 1 before side 2: what "Save report" writes.
    QString reportText() const;

private:
    void createControls();
    void toggle(int side);
    void chooseDatabase(int side);
    QString sideTitle(int side) const;

    CatalogSnapshot m_snapshot1;
    CatalogSnapshot m_snapshot2;
};

} // namespace ostrim
