// The INSERT layout against a server: a table's rows exported from a grid and run back into a
// fresh table come back cell for cell, and the go lines fall where a script needs them.
#include "file_helpers.h"
#include "qt_print.h"
#include "scripted_dialogs.h"
#include "server_environment.h"
#include "sybdatabase.h"
#include "sybgrid.h"
#include "u_export.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment();

const QString kColumns = "(id int not null, i int null, v varchar(40) null, c char(6) null, "
                         "t text null, d datetime null, m money null, b bit not null, "
                         "vb varbinary(8) null, bb binary(3) null)";

class InsertExport : public ::testing::Test {
protected:
    void SetUp() override {
        m_db.setLoginPrompt(false);
        m_db.setServerName(QString::fromStdString(test::ServerEnvironment::host()));
        m_db.setUserName("sa");
        m_db.connect();
        ASSERT_TRUE(m_db.Connected());
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override { m_db.disconnect(); }

    // Sends a batch and reads every result; dbsqlexec's code.
    int runSql(const QString& sql) {
        DBPROCESS* p = m_db.DbProc().get();
        dbcmd(p, sql.toUtf8().constData());
        const RETCODE rc = dbsqlexec(p);
        while (dbresults(p) == SUCCEED)
            while (dbnextrow(p) != NO_MORE_ROWS) {
            }
        return rc;
    }
    // A synchronous run of the script on the test's connection, as a results window makes it.
    void load(TSybGrid& grid, const QString& script) {
        grid.setAutoDbProc(false);
        grid.setDbProc(m_db.DbProc());
        grid.setSql(script);
        grid.Execute();
    }

    TSybDatabase m_db;
    TSybGrid m_grid;
    QTemporaryDir m_dir;
    test::ScriptedDialogs m_dialogs;
};

TEST_F(InsertExport, ExportedRowsRunBackIntoAFreshTableCellForCell) {
    ASSERT_EQ(runSql("create table src " + kColumns), SUCCEED);
    ASSERT_EQ(runSql("create table dst " + kColumns), SUCCEED);
    ASSERT_EQ(
        runSql("insert src values (1, 7, 'plain', 'abc', 'some text', 'Jan 2 2024 1:45:30:123PM', "
               "12.5, 1, 0x00ff10, 0x0a0b0c)\n"
               "insert src values (2, null, null, null, null, null, null, 0, null, null)\n"
               "insert src values (3, -5, 'say \"hi\"', '\"q\"''', 'it''s \"x\"', "
               "'Dec 31 1999 11:59:59PM', -1234.5678, 0, 0xff, 0x000000)\n"
               "insert src values (4, 0, 'two' + char(13) + char(10) + 'lines', 'x', "
               "'a' + char(10) + 'go' + char(10) + ' GO 2' + char(13) + char(10) + 'go', "
               "'Feb 29 2000 12:00AM', -0.01, 1, 0x01, null)\n"
               "insert src values (5, 1, '', '', char(10) + 'go', null, 0, 0, null, 0x616263)"),
        SUCCEED);

    TSybGrid source;
    load(source, "select * from src order by id");
    ASSERT_EQ(source.DataRows(), 5);

    // The command as the user gives it: the INSERT layout, the table name it offers replaced.
    QString path = m_dir.filePath("rows.sql");
    m_dialogs.dialogHandlers.push_back([](QDialog& shown) {
        auto& dialog = dynamic_cast<Tf_export&>(shown);
        dialog.chk_insert()->click();
        EXPECT_EQ(dialog.e_table()->text(), "src") << "the table of the select's from";
        dialog.e_table()->selectAll();
        dialog.e_table()->insert("dst");
        dialog.Button1()->click();
        return dialog.result();
    });
    runExport(source, nullptr, {}, [&path] { return path; });
    ASSERT_TRUE(m_dialogs.dialogHandlers.empty());
    const QString script = QString::fromUtf8(test::readBytes(path));
    ASSERT_TRUE(
        script.startsWith("insert into dst (id, i, v, c, t, d, m, b, vb, bb) values (1, 7, "))
        << script.toStdString();

    // Run as the workbench runs a script: cut into batches at its go lines.
    TSybGrid import;
    load(import, script);
    EXPECT_TRUE(import.Completed());
    EXPECT_EQ(import.Batches().size(), 2) << "one batch and its row count: no value cut it";
    EXPECT_TRUE(m_dialogs.messages().empty()) << m_dialogs.messages().front().text.toStdString();

    TSybGrid copy;
    load(copy, "select * from dst order by id");
    ASSERT_EQ(copy.DataRows(), 5);
    ASSERT_EQ(copy.ColumnCount(), source.ColumnCount());
    const GridModel& before = *source.gridModel();
    const GridModel& after = *copy.gridModel();
    for (int row = 2; row <= 6; ++row)
        for (int col = 1; col <= 10; ++col) {
            EXPECT_EQ(after.isNull(col, row), before.isNull(col, row)) << row << "," << col;
            EXPECT_EQ(copy.cell(col, row), source.cell(col, row)) << row << "," << col;
        }
    // The grid's own text could hide a difference its conversion drops.
    const QString exact = "select count(*) from src s, dst d where s.id = d.id and "
                          "isnull(convert(varchar(30), s.d, 109), '-') = "
                          "isnull(convert(varchar(30), d.d, 109), '-') and "
                          "isnull(convert(varchar(30), s.m), '-') = "
                          "isnull(convert(varchar(30), d.m), '-') and "
                          "isnull(convert(varchar(255), s.t), '-') = "
                          "isnull(convert(varchar(255), d.t), '-')";
    TSybGrid same;
    load(same, exact);
    EXPECT_EQ(same.cell(1, 2), "5");
}

TEST_F(InsertExport, AGoLineFollowsEveryThousandRowsAndEachResultSet) {
    ASSERT_EQ(runSql("create table nums (n int not null, s varchar(10) not null)\n"
                     "insert nums values (1, 'a')"),
              SUCCEED);
    for (int have = 1; have < 2001; have *= 2)
        runSql("declare @m int select @m = max(n) from nums\n"
               "insert nums select n + @m, 'a' from nums");
    runSql("delete nums where n > 2001");

    TSybGrid grid;
    load(grid, "select n from nums order by n\ngo\nselect n, s from nums where n <= 2 order by n");
    ASSERT_EQ(grid.DataRows(), 2003);
    const QStringList lines = exportInsertLines(grid, "t", true, {});
    ASSERT_EQ(lines.size(), 2007);
    QList<int> goLines;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i] == "go")
            goLines << i;
    EXPECT_EQ(goLines, QList<int>({1000, 2001, 2003, 2006}));
    EXPECT_EQ(lines[0], "insert into t (n) values (1)");
    EXPECT_EQ(lines[2002], "insert into t (n) values (2001)");
    EXPECT_EQ(lines[2005], "insert into t (n, s) values (2, \"a\")");

    // A selection: its columns only, and only the rows of result sets.
    const int secondSet = grid.rowCount() - 3; // its rows, then the row count's two lines
    ASSERT_EQ(grid.cell(2, secondSet), "a");
    EXPECT_EQ(exportInsertLines(grid, "u", false, {2, secondSet - 3, 3, secondSet + 1}),
              QStringList(
                  {"insert into u (s) values (\"a\")", "insert into u (s) values (\"a\")", "go"}));
    EXPECT_EQ(defaultInsertTable(grid, false, {1, secondSet, 2, secondSet}), "nums");
}

TEST_F(InsertExport, AnUnnamedColumnGoesUnlistedAndACutBinaryValueStopsTheExport) {
    ASSERT_EQ(runSql("create table wide (id int not null, vb varbinary(200) null)\n"
                     "insert wide values (1, 0x01)"),
              SUCCEED);
    const auto exportAll = [this](const QString& path) {
        m_dialogs.dialogHandlers.push_back([](QDialog& shown) {
            auto& dialog = dynamic_cast<Tf_export&>(shown);
            dialog.chk_insert()->click();
            dialog.Button1()->click();
            return dialog.result();
        });
        runExport(m_grid, nullptr, {}, [path] { return path; });
    };
    load(m_grid, "select id + 1, vb from wide");
    const QString unnamed = m_dir.filePath("unnamed.sql");
    exportAll(unnamed);
    EXPECT_EQ(test::readBytes(unnamed), QByteArray("insert into wide values (2, 0x01)\r\ngo\r\n"));

    // 150 bytes: the grid holds the first 127 of them.
    runSql("insert wide values (2, convert(varbinary(200), replicate('x', 150)))");
    load(m_grid, "select id, vb from wide order by id");
    const QString cut = m_dir.filePath("cut.sql");
    exportAll(cut);
    EXPECT_FALSE(QFile::exists(cut));
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text,
              "Row 3, column 2 holds a binary value longer than 127 bytes, which the grid keeps "
              "cut: INSERT statements would not give it back. Nothing was written.");
}

} // namespace
} // namespace ostrim
