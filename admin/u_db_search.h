#pragma once
// Tf_db_search: the procedures, triggers and views whose source contains a text, and the tables
// with a column whose name contains it, in the current database of the connection its owner
// hands to q_search.

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QPushButton;

namespace ostrim {

class TSybQuery;

class Tf_db_search : public QDialog {
    Q_OBJECT
public:
    explicit Tf_db_search(QWidget* owner);

    QLabel* Label1 = nullptr;
    QLineEdit* e_searchtext = nullptr;
    QCheckBox* chk_procedures = nullptr;
    QCheckBox* chk_triggers = nullptr;
    QCheckBox* chk_views = nullptr;
    QCheckBox* chk_tables = nullptr;
    QListWidget* lb_search = nullptr;
    QPlainTextEdit* m_procs = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    // Its owner sets the process and the database name; it never links a connection by name.
    TSybQuery* q_search = nullptr;

    // A double-clicked procedure, trigger or view: its kind as the object lists name it
    // ("Procedures", "Triggers", "Views") and its name. Unset, a double click does nothing.
    std::function<void(const QString& kind, const QString& name)> pasteSource;

    bool found() const { return m_found; }

    void Button2Click();
    void Button3Click();
    void Button1Click() { reject(); }
    void lb_searchDblClick(QListWidgetItem* item);

private:
    void createControls();
    void setWaitCursor(bool wait);

    bool m_found = false;
    // "colid2, colid" or "colid", asked once: the database does not change under the dialog.
    QString m_textOrder;
};

} // namespace ostrim
