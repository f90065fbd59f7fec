#pragma once
// Export of a results grid to a text file: the options dialog and the layout writers.

#include "grid_text.h"

#include <QDialog>

#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace ostrim {

class TSybGrid;

class Tf_export : public QDialog {
    Q_OBJECT
public:
    // The layout chosen when the dialog closed.
    enum Layout : qint16 { None = 0, Fixed = 1, Tab = 2, Char = 3, Csv = 4, Insert = 5 };

    explicit Tf_export(QWidget* parent = nullptr);

    QGroupBox* GroupBox2() const { return m_groupBox2; }
    QRadioButton* chk_all() const { return m_chkAll; }
    QRadioButton* chk_selected() const { return m_chkSelected; }
    QGroupBox* GroupBox1() const { return m_groupBox1; }
    QRadioButton* chk_fixed() const { return m_chkFixed; }
    QRadioButton* chk_tab() const { return m_chkTab; }
    QRadioButton* chk_char() const { return m_chkChar; }
    QRadioButton* chk_csv() const { return m_chkCsv; }
    QRadioButton* chk_insert() const { return m_chkInsert; }
    QLabel* Label1() const { return m_label1; }
    QLineEdit* e_char() const { return m_eChar; }
    QLabel* Label2() const { return m_label2; }
    QLineEdit* e_table() const { return m_eTable; }
    QPushButton* Button1() const { return m_button1; }
    QPushButton* Button2() const { return m_button2; }

    qint16 ExportType() const { return m_exportType; }
    // The table names e_table offers for all rows and for the selection; e_table follows the
    // rows chosen until the user edits it.
    void setTableNames(const QString& forAll, const QString& forSelection);

    void chk_fixedClick();
    void chk_tabClick();
    void chk_charClick();
    void chk_csvClick();
    void chk_insertClick();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setDelimiterEditable(bool editable);
    void offerTableName();

    QGroupBox* m_groupBox2;
    QRadioButton* m_chkAll;
    QRadioButton* m_chkSelected;
    QGroupBox* m_groupBox1;
    QRadioButton* m_chkFixed;
    QRadioButton* m_chkTab;
    QRadioButton* m_chkChar;
    QRadioButton* m_chkCsv;
    QRadioButton* m_chkInsert;
    QLabel* m_label1;
    QLineEdit* m_eChar;
    QLabel* m_label2;
    QLineEdit* m_eTable;
    QString m_tableForAll;
    QString m_tableForSelection;
    QPushButton* m_button1;
    QPushButton* m_button2;
    qint16 m_exportType = None;
};

// The lines of each layout, without line ends. all: rows 1..last over columns 1..last;
// otherwise the selected rows over the selected columns.
QStringList exportFixedLines(const TSybGrid& grid, bool all, const GridRect& selection);
// Values trimmed of blanks and control characters at both ends and joined by the delimiter
// (cut to 10 characters; exactly "tab" stands for one TAB), never quoted.
QStringList exportCharLines(const TSybGrid& grid, const QString& delimiter, bool all,
                            const GridRect& selection);
// RFC 4180: each result set's column names and rows only (not the empty lines and row counts
// between them), values exactly as the server sent them and NULL as an empty field, separated
// by commas; a value holding a comma, a double quote, CR or LF is enclosed in double quotes with
// its quotes doubled. A line may therefore hold line breaks inside a quoted value.
QStringList exportCsvLines(const TSybGrid& grid, bool all, const GridRect& selection);
// For each result set's data rows, one "insert into table (names) values (...)" per row, the
// names as the server gave them; a go line after every 1,000 rows and after each result set's
// last. Values as insertValue writes them, so that the lines run as a script re-create the rows.
QStringList exportInsertLines(const TSybGrid& grid, const QString& table, bool all,
                              const GridRect& selection);
// A value as SQL for a column of DB-Library type: NULL as null, numbers, money and bit bare,
// binary as 0x and its hex digits, anything else in double quotes (doubled within). A line
// break inside is written as char(13) or char(10) joined on with +, so no line of the script
// holds a value's own line, which could read as a go line.
QString insertValue(const QString& text, bool isNull, int type);
// The first table named after a from in the SQL, qualifiers as written; comments and strings
// are skipped. Empty when there is none.
QString firstFromTable(const QString& sql);
// What e_table offers: the first table of the batch of the first result set exported, else
// table1.
QString defaultInsertTable(const TSybGrid& grid, bool all, const GridRect& selection);

// What the dialog chose.
struct ExportChoice {
    qint16 layout = Tf_export::None;
    bool all = true;
    QString delimiter; // Char
    QString table;     // Insert
};
// Writes the chosen layout to the file, as the lines of the functions above each with CR LF in
// UTF-8; a file that cannot be written is reported in the result.
IoResult writeExport(const QString& fileName, const TSybGrid& grid, const ExportChoice& choice,
                     const GridRect& selection);

// The Export command. confirmRunning asks about a running load (false ends the command); then
// Tf_export, and for a chosen layout askFileName (empty: cancelled). A file that cannot be
// written is reported in a box.
void runExport(TSybGrid& grid, QWidget* parent, const std::function<bool()>& confirmRunning,
               const std::function<QString()>& askFileName);

} // namespace ostrim
