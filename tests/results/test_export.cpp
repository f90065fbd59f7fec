// Export: the four layouts over grids of several result sets, the options dialog's rules and
// the command from dialog to file.
#include "file_helpers.h"
#include "grid_builder.h"
#include "qt_print.h"
#include "scripted_dialogs.h"
#include "sybgrid.h"
#include "u_export.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <sybdb.h>

#include <gtest/gtest.h>

#include <ios>

namespace ostrim {
namespace {

using test::fillGrid;
using test::ResultSet;
using test::rowCountResult;

// One narrow result set (one column) above a wide one (three columns), each with its row count.
void fillTwoSets(TSybGrid& grid) {
    fillGrid(grid, {ResultSet{{"n"}, {{"7"}}}, rowCountResult(1),
                    ResultSet{{"a", "b", "c"}, {{"1", "one", "x  "}, {"22", QString(), "yy "}}},
                    rowCountResult(2)});
}

// The rows of fillTwoSets as a run shows them, with the separator between columns 1 to 3.
QStringList twoSetsDelimited(const QString& sep) {
    return {"n" + sep + sep,
            "7" + sep + sep,
            sep + sep,
            "(1 rows affected)" + sep + sep,
            "a" + sep + "b" + sep + "c",
            "1" + sep + "one" + sep + "x",
            "22" + sep + sep + "yy",
            sep + sep,
            "(2 rows affected)" + sep + sep};
}

TEST(ExportLayouts, FixedLengthCoversRowsOneToLastOfBothSets) {
    TSybGrid grid;
    fillTwoSets(grid);
    ASSERT_EQ(grid.columnWidth(1), 17 * 9);
    const QString to2 = QString(17, ' '), to3 = QString(7, ' ');
    EXPECT_EQ(exportFixedLines(grid, true, {}),
              QStringList({"n" + to2, "7" + to2, "", "(1 rows affected) ",
                           "a" + to2 + "b" + to3 + "c", "1" + to2 + "one" + QString(5, ' ') + "x  ",
                           "22" + QString(16, ' ') + " " + to3 + "yy ", "", "(2 rows affected) "}));
}

// Only a lower-case "tab" means the TAB character; any other delimiter is written as typed,
// up to ten characters.
TEST(ExportLayouts, DelimitedRowsOfTheNarrowerSetEndInSeparators) {
    TSybGrid grid;
    fillTwoSets(grid);
    const struct {
        QString typed, separator;
    } cases[] = {{"tab", "\t"},    {"TAB", "TAB"}, {"Tab", "Tab"},
                 {"tab ", "tab "}, {" | ", " | "}, {"0123456789XYZ", "0123456789"}};
    for (const auto& c : cases)
        EXPECT_EQ(exportCharLines(grid, c.typed, true, {}), twoSetsDelimited(c.separator))
            << c.typed.toStdString();
    EXPECT_EQ(exportCharLines(grid, "", true, {})[5], "1onex") << "an empty one runs together";
}

TEST(ExportLayouts, DelimitedValuesLoseOuterBlanksAndControlsButNeverGetQuoted) {
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"a", "b", "c"}, {{"1", "2", "3"}}}});
    grid.setCell(1, 2, " \t in\tside \r\n");
    grid.setCell(2, 2, "a,b \"q\"");
    grid.setCell(3, 2, "\x01\x1f");
    EXPECT_EQ(exportCharLines(grid, ",", false, {1, 2, 3, 2}),
              QStringList({"in\tside,a,b \"q\","}));
}

TEST(ExportLayouts, ASelectionTakesItsRowsAndColumnsOnly) {
    TSybGrid grid;
    fillTwoSets(grid);
    const GridRect middle{2, 5, 3, 7};
    EXPECT_EQ(exportCharLines(grid, ";", false, middle), QStringList({"b;c", "one;x", ";yy"}));
    EXPECT_EQ(exportFixedLines(grid, false, middle),
              QStringList({"b" + QString(7, ' ') + "c", "one" + QString(5, ' ') + "x  ",
                           " " + QString(7, ' ') + "yy "}))
        << "no heading lines";
}

TEST(ExportLayouts, FixedLengthOfOneColumnHasNoTrailingBlanks) {
    TSybGrid grid;
    fillTwoSets(grid);
    EXPECT_EQ(exportFixedLines(grid, false, {1, 4, 1, 7}),
              QStringList({"(1 rows affected)", "a", "1", "22"}));
    EXPECT_EQ(exportFixedLines(grid, false, {2, 5, 2, 7}), QStringList({"b", "one", " "}));
}

TEST(ExportLayouts, CsvQuotesFieldsAsRfc4180Asks) {
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"id", "text"},
                              {{"1", "plain"},
                               {"2", "a,b"},
                               {"3", "say \"hi\""},
                               {"4", "two\r\nlines"},
                               {"5", "lf\nonly"},
                               {"6", QString()},
                               {"7", "  padded\t "},
                               {"8", "\"quoted\", then more"},
                               {"9", "cr\ronly"},
                               {"10", " "}}},
                    rowCountResult(10), ResultSet{{"n"}, {{"x"}}}, rowCountResult(1)});
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("out.csv");
    ASSERT_TRUE(writeLines(path, exportCsvLines(grid, true, {})));
    // RFC 4180: a field with a comma, quote, CR or LF is quoted, its quotes doubled; every
    // record ends in CR LF; blanks and TABs stay as they are.
    EXPECT_EQ(test::readBytes(path),
              "id,text\r\n1,plain\r\n2,\"a,b\"\r\n3,\"say \"\"hi\"\"\"\r\n"
              "4,\"two\r\nlines\"\r\n5,\"lf\nonly\"\r\n6,\r\n7,  padded\t \r\n"
              "8,\"\"\"quoted\"\", then more\"\r\n9,\"cr\ronly\"\r\n10, \r\n"
              "n,\r\nx,\r\n");

    EXPECT_EQ(exportCsvLines(grid, false, {2, 3, 2, 5}),
              QStringList({"\"a,b\"", "\"say \"\"hi\"\"\"", "\"two\r\nlines\""}));
}

// The layouts trim and quote the text's UTF-8 bytes: other characters must come through whole.
TEST(ExportLayouts, NonAsciiValuesAreTrimmedAndQuotedAsCharacters) {
    TSybGrid grid;
    fillGrid(grid, {ResultSet{{"a", "b"}, {{" \t\u00e9t\u00e9\u00a0 ", "\u65e5,\"\U0001D11E\""}}}});
    EXPECT_EQ(exportCharLines(grid, "\u00a7", false, {1, 2, 2, 2}),
              QStringList({"\u00e9t\u00e9\u00a0\u00a7\u65e5,\"\U0001D11E\""}));
    EXPECT_EQ(exportCsvLines(grid, false, {1, 2, 2, 2}),
              QStringList({" \t\u00e9t\u00e9\u00a0 ,\"\u65e5,\"\"\U0001D11E\"\"\""}));
}

// What the round trip through a server cannot show: the exact form of each kind of value.
TEST(ExportLayouts, InsertValuesQuoteTextAndLeaveNumbersAndBinaryBare) {
    const struct {
        QString text;
        bool isNull;
        int type;
        QString sql;
    } cases[] = {
        {" ", true, SYBVARCHAR, "null"},
        {" ", true, SYBINT4, "null"},
        {"-12.5000", false, SYBMONEY, "-12.5000"},
        {"1", false, SYBBIT, "1"},
        {"00ff10", false, SYBVARBINARY, "0x00ff10"},
        {"0x0A", false, SYBBINARY, "0x0A"},
        {"", false, SYBINT4, "null"}, // emptied by an edit
        {"say \"hi\" it's", false, SYBVARCHAR, "\"say \"\"hi\"\" it's\""},
        {"", false, SYBCHAR, "\"\""},
        {"Jan  2 2024  1:45PM", false, SYBDATETIME, "\"Jan  2 2024  1:45PM\""},
        {"a\r\ngo", false, SYBTEXT, "\"a\" + char(13) + char(10) + \"go\""},
        {"\nb\n", false, SYBVARCHAR, "char(10) + \"b\" + char(10)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(insertValue(c.text, c.isNull, c.type), c.sql) << c.text.toStdString();
}

TEST(ExportLayouts, TheOfferedTableIsTheFirstNamedAfterFrom) {
    const struct {
        QString sql, table;
    } cases[] = {
        {"select * from pubs2..titles where x = 1", "pubs2..titles"},
        {"-- from a\nselect 'from b', \"from c\" /* from d /* from e */ from f */ FROM\n"
         "  -- note\n  dbo.t1 x, t2",
         "dbo.t1"},
        {"select a.x from #tmp a", "#tmp"},
        {"select from_date, 'it''s from' from sales", "sales"},
        {"select 1", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(firstFromTable(c.sql), c.table) << c.sql.toStdString();
}

TEST(ExportDialog, InsertStatementsOpenTheTableNameThatFollowsTheRowsChosen) {
    Tf_export dialog;
    EXPECT_EQ(dialog.chk_insert()->text(), "SQL INSERT statements");
    EXPECT_EQ(dialog.chk_insert()->parentWidget(), dialog.GroupBox1());
    EXPECT_EQ(dialog.e_table()->text(), "table1");
    dialog.setTableNames("pubs2..titles", "");
    EXPECT_EQ(dialog.e_table()->text(), "pubs2..titles");
    dialog.chk_selected()->click();
    EXPECT_EQ(dialog.e_table()->text(), "table1") << "no table for the selection";

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_FALSE(dialog.e_table()->isEnabled());
    dialog.chk_insert()->click();
    EXPECT_TRUE(dialog.e_table()->isEnabled());
    EXPECT_TRUE(dialog.Label2()->isEnabled());
    QTest::keyClicks(dialog.e_table(), "mine");
    dialog.chk_all()->click();
    EXPECT_EQ(dialog.e_table()->text(), "table1mine") << "an edited name stays";
    dialog.chk_csv()->click();
    EXPECT_FALSE(dialog.e_table()->isEnabled());
    EXPECT_FALSE(dialog.Label2()->isEnabled());
    dialog.chk_insert()->click();
    dialog.Button1()->click();
    EXPECT_EQ(dialog.ExportType(), Tf_export::Insert);
}

TEST(ExportDialog, StartsWithAllFixedAndTheDelimiterDisabled) {
    Tf_export dialog;
    EXPECT_EQ(dialog.windowTitle(), "Export");
    EXPECT_EQ(dialog.ExportType(), 0);
    const struct {
        QWidget* control;
        QString text;
        QWidget* group;
    } controls[] = {{dialog.chk_all(), "Export All", dialog.GroupBox2()},
                    {dialog.chk_selected(), "Export Selected", dialog.GroupBox2()},
                    {dialog.chk_fixed(), "Fixed length", dialog.GroupBox1()},
                    {dialog.chk_tab(), "TAB delimited", dialog.GroupBox1()},
                    {dialog.chk_char(), "Char delimited", dialog.GroupBox1()},
                    {dialog.chk_csv(), "CSV (RFC 4180)", dialog.GroupBox1()}};
    for (const auto& c : controls) {
        EXPECT_EQ(c.control->property("text").toString(), c.text);
        EXPECT_EQ(c.control->parentWidget(), c.group) << c.text.toStdString();
    }
    EXPECT_EQ(dialog.Label1()->text(), "Delimiter :");
    EXPECT_EQ(dialog.Button1()->text(), "OK");
    EXPECT_EQ(dialog.Button2()->text(), "Cancel");
    EXPECT_TRUE(dialog.chk_all()->isChecked());
    EXPECT_TRUE(dialog.chk_fixed()->isChecked());
    EXPECT_FALSE(dialog.Label1()->isEnabled());
    EXPECT_FALSE(dialog.e_char()->isEnabled());
    EXPECT_EQ(dialog.e_char()->maxLength(), 10);
    EXPECT_EQ(dialog.e_char()->font().family(), "Courier");

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "a fixed border";
}

TEST(ExportDialog, OnlyCharDelimitedOpensTheDelimiterField) {
    Tf_export dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QLineEdit* edit = dialog.e_char();
    const auto expectOpen = [&](bool open, const char* after) {
        EXPECT_EQ(edit->isEnabled(), open) << after;
        EXPECT_EQ(edit->isReadOnly(), !open) << after;
        EXPECT_EQ(bool(edit->focusPolicy() & Qt::TabFocus), open) << after;
        EXPECT_EQ(dialog.Label1()->isEnabled(), open) << after;
    };

    dialog.chk_char()->click();
    expectOpen(true, "char");
    EXPECT_EQ(dialog.focusWidget(), edit);
    for (QRadioButton* other : {dialog.chk_fixed(), dialog.chk_char(), dialog.chk_tab(),
                                dialog.chk_char(), dialog.chk_csv()}) {
        other->click();
        expectOpen(other == dialog.chk_char(), other->objectName().toLatin1().constData());
    }
    // Un-checking by code closes it as well.
    dialog.chk_char()->setChecked(true);
    dialog.chk_tab()->setChecked(true);
    expectOpen(false, "tab set by code");
}

TEST(ExportDialog, OkNamesTheCheckedLayoutAndCancelNone) {
    struct Case {
        QRadioButton* (Tf_export::*button)() const;
        int type;
    };
    for (const Case c : {Case{&Tf_export::chk_fixed, 1}, Case{&Tf_export::chk_tab, 2},
                         Case{&Tf_export::chk_char, 3}, Case{&Tf_export::chk_csv, 4}}) {
        Tf_export dialog;
        (dialog.*c.button)()->click();
        dialog.Button1()->click();
        EXPECT_EQ(dialog.ExportType(), c.type);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    Tf_export dialog;
    dialog.chk_tab()->click();
    dialog.Button1()->click();
    dialog.Button2()->click();
    EXPECT_EQ(dialog.ExportType(), 0) << "Cancel clears what OK set";
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

// The command through the scripted dialog service.
class ExportCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        fillTwoSets(m_grid);
    }
    // Answers the options dialog: checks the buttons, types the delimiter, presses OK.
    void choose(const std::vector<QRadioButton* (Tf_export::*)() const>& buttons,
                const QString& delimiter = {}) {
        m_dialogs.dialogHandlers.push_back([buttons, delimiter](QDialog& shown) {
            auto& dialog = dynamic_cast<Tf_export&>(shown);
            for (auto button : buttons)
                (dialog.*button)()->click();
            if (!delimiter.isNull())
                QTest::keyClicks(dialog.e_char(), delimiter);
            dialog.Button1()->click();
            return dialog.result();
        });
    }
    void run(const QString& fileName, bool confirmed = true) {
        runExport(
            m_grid, nullptr, [confirmed] { return confirmed; },
            [this, fileName] {
                ++m_asked;
                return fileName;
            });
    }

    QTemporaryDir m_dir;
    test::ScriptedDialogs m_dialogs;
    TSybGrid m_grid;
    int m_asked = 0;
};

TEST_F(ExportCommand, WritesTheChosenLayoutWithCrLfLineEnds) {
    const QString path = m_dir.filePath("tab.txt");
    choose({&Tf_export::chk_tab});
    run(path);
    ASSERT_EQ(m_dialogs.calls.size(), 1u);
    EXPECT_EQ(m_dialogs.calls[0].kind, "exec");
    EXPECT_EQ(m_dialogs.calls[0].caption, "Export");
    EXPECT_EQ(m_dialogs.calls[0].dialogClass, "ostrim::Tf_export");
    const auto file = [](const QStringList& lines) {
        return (lines.join("\r\n") + "\r\n").toUtf8();
    };
    EXPECT_EQ(test::readBytes(path), file(twoSetsDelimited("\t")));

    // What the typed delimiter becomes is exportCharLines's; here it reaches the file.
    choose({&Tf_export::chk_char}, "0123456789abc");
    run(path);
    EXPECT_EQ(test::readBytes(path), file(twoSetsDelimited("0123456789")));

    choose({});
    run(path);
    EXPECT_EQ(test::readBytes(path), file(exportFixedLines(m_grid, true, {})))
        << "fixed length is the default";

    choose({&Tf_export::chk_csv});
    run(path);
    EXPECT_EQ(test::readBytes(path), "n,,\r\n7,,\r\na,b,c\r\n1,one,x  \r\n22,,yy \r\n")
        << "only names and rows, values as sent";
    EXPECT_EQ(m_asked, 4);
}

TEST_F(ExportCommand, ExportSelectedTakesTheGridsSelection) {
    m_grid.selectionModel()->select(
        QItemSelection(m_grid.model()->index(6, 2), m_grid.model()->index(7, 3)),
        QItemSelectionModel::ClearAndSelect);
    const QString path = m_dir.filePath("sel.txt");
    choose({&Tf_export::chk_selected, &Tf_export::chk_char}, "|");
    run(path);
    EXPECT_EQ(test::readBytes(path), QByteArray("one|x\r\n|yy\r\n"));
}

TEST_F(ExportCommand, CancelAnywhereWritesNothing) {
    const QString path = m_dir.filePath("never.txt");
    run(path, false);
    EXPECT_TRUE(m_dialogs.calls.empty()) << "a No to the running-load question ends it";

    m_dialogs.dialogHandlers.push_back([](QDialog& shown) {
        auto& dialog = dynamic_cast<Tf_export&>(shown);
        dialog.chk_tab()->click();
        dialog.Button2()->click();
        return dialog.result();
    });
    run(path);
    EXPECT_EQ(m_asked, 0) << "no file name is asked after Cancel";

    run(path); // closed without a button: the scripted service rejects it
    EXPECT_EQ(m_asked, 0);

    choose({&Tf_export::chk_tab});
    run(QString());
    EXPECT_EQ(m_asked, 1);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(QDir(m_dir.path()).isEmpty());
}

} // namespace
} // namespace ostrim
