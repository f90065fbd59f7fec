// The data modification grid against the demo server: each edited row changes exactly its own
// row or is reported, checked on the server through a second login.
#include "admin_helpers.h"
#include "frame_test.h"
#include "qt_wait.h"
#include "sybcheckbox.h"
#include "sybedit.h"
#include "sybgrid.h"
#include "sybmemo.h"
#include "sybnavigator.h"
#include "sybquery.h"
#include "u_modify.h"
#include "u_modify_form.h"
#include "u_sql_code.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

#include <sybdb.h>
#include <sybfront.h>

#include <utility>

namespace ostrim {
namespace {

constexpr char kDb[] = "modifydb";
constexpr int kBigRows = 520;
constexpr int kWideColumns = 105;

QString wideTable() {
    QStringList columns;
    for (int i = 1; i <= kWideColumns; ++i)
        columns << QString("c%1 int null").arg(i);
    return "create table wide (" + columns.join(", ") + ")";
}

const QStringList kParts{"delete parts", "insert into parts values (1, 'bolt', 10, 'a')",
                         "insert into parts values (2, 'nut', 20, null)",
                         "insert into parts values (3, 'screw', 30, 'c')",
                         "insert into parts values (4, 'washer', 40, 'd')"};

// 200 bytes, more than the grid shows of a binary value (127), and a float of more digits than
// it prints (15).
QString longBinary() {
    QString hex = "0x";
    for (int i = 0; i < 200; ++i)
        hex += QString("%1").arg(i, 2, 16, QChar('0'));
    return hex;
}
constexpr char kLongFloat[] = "0.1234567890123456789";
// Longer than the server's default text size, which the workbench's connections raise.
const QString kLongText(40000, 'x');

QString bigRows() {
    QStringList inserts;
    for (int i = 1; i <= kBigRows; ++i)
        inserts << QString("insert into big values (%1, 0)").arg(i);
    return inserts.join("\r\n");
}

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
         test::runAsSa({QString("create database ") + kDb});
         test::runAsSa(
             QStringList{"create table parts (id int not null, name varchar(30) not null, qty int "
                         "null, note char(8) null)",
                         "create table quoted (k varchar(40) not null, v varchar(20) null)",
                         "insert into quoted values ('x\" or \"1\"=\"1', 'one')",
                         "insert into quoted values ('x', 'two')",
                         "insert into quoted values ('y', 'three')",
                         "create table dup (k int not null, v varchar(10) null)",
                         "insert into dup values (1, 'a')",
                         "insert into dup values (1, 'b')",
                         "insert into dup values (2, 'c')",
                         "create table big (id int not null, v int null)",
                         bigRows(),
                         "create table blanks (k varchar(10) not null, v varchar(10) null)",
                         "insert into blanks values (' a', 'one')",
                         "insert into blanks values ('a', 'two')",
                         "create table lossy (id int not null, b varbinary(200) null, f float "
                         "null, t text null, name varchar(10) null)",
                         "insert into lossy values (1, " + longBinary() + ", " + kLongFloat +
                             ", 'short', 'one')",
                         "insert into lossy values (2, 0x01, 1, '" + kLongText + "', 'two')",
                         "insert into lossy values (3, 0x02, 2, 'short', 'three')",
                         "create table people (id int not null, first_name varchar(12) not null, "
                         "active bit not null, notes text null, born datetime null, price money "
                         "null, qty smallint null, ratio float null)",
                         "insert into people values (1, 'Ann', 1, 'first', '2001-02-03', 1.5, 7, "
                         "0.5)",
                         "insert into people values (2, 'Bob', 0, 'second', null, null, 8, null)",
                         "insert into people values (3, 'Cy', 1, null, null, 3, 9, 2)",
                         wideTable(),
                         "insert into wide (c1, c105) values (1, 105)"} +
                 kParts,
             kDb);
     }});

ModifyRequest request(const QString& table, const QStringList& keys, const QStringList& updatable,
                      const QString& where) {
    ModifyRequest r;
    r.table = table;
    r.keys = keys;
    r.updatable = updatable;
    r.columns = keys + updatable;
    r.where = where;
    r.selectText = "select " + r.columns.join(",\r\n") + " \r\nfrom " + table + " \r\n" + where;
    r.login = {"DEMO", "sa", "", kDb};
    return r;
}

class Modify : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame();
        test::runAsSa(kParts, kDb);
        test::loginAsSa(other, kDb);
    }
    void TearDown() override {
        EXPECT_TRUE(serverBoxes.isEmpty()) << serverBoxes.join('\n').toStdString();
        other.disconnect();
        FrameTest::TearDown();
    }

    Tf_modify* open(const ModifyRequest& r) {
        window = Tf_modify::open(*main, r);
        loaded();
        return window;
    }
    // Waits until the grid's load has ended and its rows are in.
    void loaded() {
        ASSERT_TRUE(grid().waitForLoader(QDeadlineTimer(30000)));
        ASSERT_TRUE(grid().Terminated());
        QApplication::processEvents();
    }
    static ModifyRequest parts() {
        return request("parts", {"id"}, {"name", "qty", "note"}, "WHERE 1=1 order by id");
    }
    Tf_modify* openParts() { return open(parts()); }
    // The rows of parts, then a statement that holds the loader inside the server for a minute.
    Tf_modify* openHeldParts() {
        ModifyRequest r = parts();
        r.selectText += "\r\ngo\r\nwaitfor delay '00:01:00'";
        window = Tf_modify::open(*main, r);
        EXPECT_TRUE(waitingInServer());
        // The rows before the statement were handed over before it was sent.
        EXPECT_TRUE(test::waitUntil([&] { return find("4") > 0; }));
        return window;
    }
    QString spid() { return QString::number(dbspid(window->syb_modify->DbProc().get())); }
    bool waitingInServer() {
        const QString sql = "select cmd from master..sysprocesses where spid=" + spid();
        return test::waitUntil([&] { return value(sql).trimmed() == "WAITFOR"; });
    }
    // The server sees a closed connection a moment after the client drops it.
    bool processEnds(const QString& number) {
        const QString sql = "select count(*) from master..sysprocesses where spid=" + number;
        return test::waitUntil([&] { return value(sql) == "0"; });
    }
    QString trancount() {
        return test::lastValue(window->syb_modify->DbProc(), "select @@trancount");
    }
    // The first value the other login reads.
    QString value(const QString& sql) { return test::lastValue(other.DbProc(), sql); }
    TSybGrid& grid() { return *window->g_modify; }
    // The grid row whose first column shows key; -1 when none does.
    int find(const QString& key) {
        for (int row = 2; row < grid().rowCount(); ++row) {
            if (grid().cell(1, row) == key)
                return row;
        }
        return -1;
    }
    int rowOf(const QString& key) {
        const int row = find(key);
        if (row < 0)
            ADD_FAILURE() << "no row for " << key.toStdString();
        return row;
    }
    // What the user's editor hands to the grid.
    void edit(int row, int col, const QString& text) {
        const QModelIndex at = grid().model()->index(row, col);
        ASSERT_TRUE(grid().model()->flags(at) & Qt::ItemIsEditable);
        ASSERT_TRUE(grid().model()->setData(at, text, Qt::EditRole));
    }
    void mark(int row) {
        grid().setCurrentIndex(grid().model()->index(row, grid().FixedCols()));
        window->Delete1->trigger();
    }
    // Presses Update; the texts of the boxes captioned "Update" it showed. Any other box is
    // kept in serverBoxes.
    QStringList update() {
        const size_t before = dialogs.messages().size();
        window->IXButton1->click();
        QStringList texts;
        serverBoxes.clear();
        const std::vector<test::DialogCall> all = dialogs.messages();
        for (size_t i = before; i < all.size(); ++i)
            (all[i].caption == "Update" ? texts : serverBoxes) << all[i].text;
        return texts;
    }

    TSybDatabase other;
    QPointer<Tf_modify> window;
    QStringList serverBoxes;
};

TEST_F(Modify, OpensAsAChildOfTheFrameOnItsOwnConnection) {
    const ModifyRequest r = parts();
    ASSERT_NE(open(r), nullptr);
    EXPECT_EQ(window->windowTitle(), "Data Modification");
    EXPECT_NE(qobject_cast<QMdiSubWindow*>(window->parentWidget()), nullptr);
    ASSERT_TRUE(window->syb_modify->Connected());
    EXPECT_NE(window->syb_modify->DbProc(), other.DbProc());
    EXPECT_FALSE(window->syb_modify->LoginPrompt());
    EXPECT_EQ(window->q_update->DbProc(), window->syb_modify->DbProc());
    EXPECT_EQ(grid().Sql(), r.selectText);
    EXPECT_EQ(grid().cell(1, 1), "id");
    EXPECT_EQ(grid().cell(4, 1), "note");
    EXPECT_EQ(grid().cell(2, rowOf("3")), "screw");
    EXPECT_EQ(grid().FixedCols(), 2) << "the key and the mark column";
    EXPECT_EQ(grid().FixedRows(), 2) << "the empty row and the column names";
    const struct {
        QPushButton* button;
        const char* text;
        const char* hint;
    } buttons[] = {
        {window->btn_close, "Close", "Close"},          {window->IXButton11, "", "Abort query"},
        {window->IXButton12, "", "Pause query"},        {window->IXButton13, "", "Resume query"},
        {window->btn_sql_code, "View sql", "View sql"}, {window->IXButton1, "Update", "Update"}};
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text(), b.text);
        EXPECT_EQ(b.button->toolTip(), b.hint);
    }
    EXPECT_EQ(window->Delete1->text(), "&Delete");
    EXPECT_EQ(window->Close1->text(), "&Close");

    bool shown = false;
    dialogs.dialogHandlers.push_back([&](QDialog& d) {
        auto* code = qobject_cast<Tf_sql_code*>(&d);
        shown = code != nullptr;
        if (code) {
            EXPECT_EQ(code->memo_sql->toPlainText(), r.selectText.split("\r\n").join('\n'));
            EXPECT_EQ(code->memo_sql->font(), grid().font());
        }
        return int(QDialog::Accepted);
    });
    window->btn_sql_code->click();
    EXPECT_TRUE(shown);

    const QString number = spid();
    window->btn_close->click();
    QApplication::processEvents();
    EXPECT_TRUE(window.isNull()) << "closing frees the window";
    EXPECT_TRUE(processEnds(number)) << "and its connection";
}

// A key holding a double quote, and one told from another only by a leading blank.
TEST_F(Modify, ACharacterKeyUpdatesExactlyItsRow) {
    const struct {
        const char *table, *key, *other;
    } cases[] = {{"quoted", "x\" or \"1\"=\"1", "x"}, {"blanks", " a", "a"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        open(request(c.table, {"k"}, {"v"}, "WHERE 1=1 order by v"));
        edit(rowOf(c.key), 2, "changed");
        EXPECT_EQ(update(), (QStringList{"1 Rows Modified", "0 Rows Deleted"}));
        const QString from = QString(" from ") + c.table + " where ";
        EXPECT_EQ(value("select v" + from + "k='" + c.key + "'"), "changed");
        EXPECT_EQ(value("select count(*)" + from + "v='changed'"), "1");
        EXPECT_EQ(value("select v" + from + "k='" + c.other + "'"), "two");
    }
}

TEST_F(Modify, ANonUniqueKeyChangesNothingAndIsReported) {
    open(request("dup", {"k"}, {"v"}, "WHERE 1=1 order by v"));
    const int row = rowOf("1");
    edit(row, 2, "z");
    EXPECT_EQ(update(),
              (QStringList{"0 Rows Modified", "0 Rows Deleted",
                           QString("Row %1: 2 rows have this key; nothing was changed").arg(row)}));
    EXPECT_EQ(value("select count(*) from dup where v='z'"), "0");
    EXPECT_EQ(value("select count(*) from dup where v in ('a', 'b')"), "2");
    EXPECT_EQ(trancount(), "0");
}

TEST_F(Modify, ARowDeletedMeanwhileIsReportedAndNotCounted) {
    openParts();
    const int gone = rowOf("2");
    edit(gone, 2, "nut2");
    edit(rowOf("3"), 2, "screw2");
    value("delete parts where id=2 select @@rowcount");
    EXPECT_EQ(update(), (QStringList{"1 Rows Modified", "0 Rows Deleted",
                                     QString("Row %1: no row has this key any more (changed or "
                                             "deleted by someone else) or its text does not match")
                                         .arg(gone)}));
    EXPECT_EQ(value("select count(*) from parts where id=2"), "0");
    EXPECT_EQ(value("select name from parts where id=3"), "screw2");
    EXPECT_EQ(window->modifiedRows(), QList<int>{gone}) << "the changed row is done, not this one";
}

TEST_F(Modify, AnEmptiedCellIsSentAsNullAndAnUntouchedNullStaysNull) {
    openParts();
    const int row = rowOf("2");
    ASSERT_EQ(grid().cell(4, row), " ") << "the grid shows the NULL note as a blank";
    // Through the editor, as the user empties a cell.
    const QModelIndex qty = grid().model()->index(row, 3);
    grid().setCurrentIndex(qty);
    grid().edit(qty);
    auto* editor = grid().findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClick(editor, Qt::Key_Return);
    // The delegate commits from the event loop.
    QApplication::processEvents();
    EXPECT_EQ(window->modifiedRows(), QList<int>{row});
    EXPECT_EQ(update(), (QStringList{"1 Rows Modified", "0 Rows Deleted"}));
    EXPECT_EQ(value("select count(*) from parts where id=2 and qty is null and note is null"), "1");
    EXPECT_EQ(value("select name from parts where id=2"), "nut");
}

TEST_F(Modify, AStatementTheServerRefusesIsRolledBackAndReported) {
    openParts();
    const int row = rowOf("1");
    edit(row, 2, "");
    edit(row, 3, "11");
    EXPECT_EQ(
        update(),
        (QStringList{
            "0 Rows Modified", "0 Rows Deleted",
            QString("Row %1: the server refused the statement; nothing was changed").arg(row)}));
    const QStringList boxes = std::exchange(serverBoxes, {});
    ASSERT_EQ(boxes.size(), 1) << "the server's own message, and no other";
    EXPECT_TRUE(boxes[0].startsWith("The column name in table parts does not allow null values."));
    EXPECT_EQ(value("select name from parts where id=1"), "bolt");
    EXPECT_EQ(value("select qty from parts where id=1"), "10");
    EXPECT_EQ(trancount(), "0");
}

TEST_F(Modify, WhileItsBoxesAreOpenUpdateIsNeitherEnteredAgainNorClosed) {
    openParts();
    edit(rowOf("1"), 2, "bolt2");
    mark(rowOf("4"));
    int boxes = 0;
    dialogs.whileMessageShown = [&](const test::DialogCall&) {
        ++boxes;
        EXPECT_FALSE(window->isEnabled());
        window->IXButton1Click();
        window->btn_closeClick();
        EXPECT_TRUE(window->isVisible());
    };
    EXPECT_EQ(update(), (QStringList{"1 Rows Modified", "1 Rows Deleted"}));
    dialogs.whileMessageShown = {};
    EXPECT_EQ(boxes, 2) << "each box once: no second Update ran inside the first";
    ASSERT_FALSE(window.isNull());
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(value("select count(*) from parts"), "3");
    EXPECT_EQ(value("select name from parts where id=1"), "bolt2");
}

TEST_F(Modify, AnEditedAndMarkedRowIsOnlyDeletedAndTheGridReloads) {
    openParts();
    const int row = rowOf("2");
    edit(row, 2, "renamed");
    mark(row);
    EXPECT_EQ(grid().cell(0, row), "X");
    EXPECT_EQ(update(), (QStringList{"0 Rows Modified", "1 Rows Deleted"}));
    EXPECT_EQ(value("select count(*) from parts"), "3");
    EXPECT_EQ(value("select count(*) from parts where id=2 or name='renamed'"), "0");
    loaded();
    EXPECT_EQ(grid().cell(1, row), "3") << "reloaded: the next row moved up";
    EXPECT_TRUE(window->modifiedRows().isEmpty()) << "the old rows' numbers mean other rows now";
    EXPECT_EQ(grid().FixedRows(), 2);
    EXPECT_EQ(grid().FixedCols(), 2);
}

TEST_F(Modify, ModifiesAloneDoNotReloadAndAChangedRowIsNotSentAgain) {
    openParts();
    const int row = rowOf("1");
    edit(row, 2, "bolt2");
    value("update parts set name='other' where id=4 select 1");
    EXPECT_EQ(update(), (QStringList{"1 Rows Modified", "0 Rows Deleted"}));
    EXPECT_EQ(value("select name from parts where id=1"), "bolt2");
    EXPECT_EQ(grid().cell(2, rowOf("4")), "washer") << "not reloaded";
    EXPECT_TRUE(window->modifiedRows().isEmpty());

    value("update parts set name='bolt3' where id=1 select 1");
    EXPECT_EQ(update(), (QStringList{"0 Rows Modified", "0 Rows Deleted"}));
    EXPECT_EQ(value("select name from parts where id=1"), "bolt3") << "the other's change stands";
}

TEST_F(Modify, WithOneKeyADeleteRemovesThatRowOnlyAndTheHeaderRowsCannotBeMarked) {
    openParts();
    for (const int row : {0, 1}) {
        const QString before = grid().cell(0, row);
        mark(row);
        EXPECT_EQ(grid().cell(0, row), before) << row;
    }
    mark(rowOf("3"));
    EXPECT_EQ(update(), (QStringList{"0 Rows Modified", "1 Rows Deleted"}));
    EXPECT_EQ(value("select count(*) from parts where id<>3"), "3");
    EXPECT_EQ(value("select count(*) from parts where id=3"), "0");
}

TEST_F(Modify, EveryEditedRowIsSentBeyond500) {
    open(request("big", {"id"}, {"v"}, "WHERE 1=1 order by id"));
    for (int id = 1; id <= kBigRows; ++id)
        edit(id + 1, 2, QString::number(id));
    EXPECT_EQ(update(), (QStringList{QString("%1 Rows Modified").arg(kBigRows), "0 Rows Deleted"}));
    EXPECT_EQ(value("select count(*) from big where v=id"), QString::number(kBigRows));
}

TEST_F(Modify, ANonLiteralInAnIntCellIsRefusedBeforeAnythingIsSent) {
    openParts();
    const int refused = rowOf("1");
    edit(refused, 3, "5 delete parts");
    edit(rowOf("4"), 2, "washer2");
    EXPECT_EQ(update(),
              (QStringList{"1 Rows Modified", "0 Rows Deleted",
                           QString("Row %1: qty: \"5 delete parts\" is not a plain int value; "
                                   "nothing was sent")
                               .arg(refused)}));
    EXPECT_EQ(value("select count(*) from parts"), "4");
    EXPECT_EQ(value("select qty from parts where id=1"), "10");
    EXPECT_EQ(value("select name from parts where id=4"), "washer2");
    EXPECT_EQ(window->modifiedRows(), QList<int>{refused}) << "kept to be put right";
}

TEST_F(Modify, OnlyTheEditedCellsAreSentAndTheOthersStayByteForByte) {
    open(request("lossy", {"id"}, {"b", "f", "name"}, "WHERE 1=1 order by id"));
    const int row = rowOf("1");
    ASSERT_EQ(grid().cell(2, row).size(), 255) << "the grid shows the binary value cut";
    edit(row, 4, "new");
    EXPECT_EQ(update(), (QStringList{"1 Rows Modified", "0 Rows Deleted"}));
    EXPECT_EQ(value("select count(*) from lossy where id=1 and name='new' and datalength(b)=200 "
                    "and b=" +
                    longBinary() + " and f=" + kLongFloat),
              "1");
}

TEST_F(Modify, AnEditOfAValueTheGridHoldsOnlyPartOfIsRefused) {
    open(request("lossy", {"id"}, {"b", "t", "name"}, "WHERE 1=1 order by id"));
    const int binary = rowOf("1");
    const int text = rowOf("2");
    edit(binary, 2, "ff" + grid().cell(2, binary).mid(2));
    edit(text, 3, "y" + grid().cell(3, text).mid(1));
    edit(rowOf("3"), 3, "longer");
    EXPECT_EQ(update(), (QStringList{"2 Rows Modified", "0 Rows Deleted",
                                     QString("Row %1: b: the grid loaded only part of this value; "
                                             "nothing was sent")
                                         .arg(binary)}));
    EXPECT_EQ(value("select count(*) from lossy where id=1 and b=" + longBinary()), "1");
    EXPECT_EQ(value("select datalength(t) from lossy where id=2"),
              QString::number(kLongText.size()));
    EXPECT_EQ(value("select count(*) from lossy where id=2 and t like 'y%'"), "1")
        << "the text came whole, and went back whole";
    EXPECT_EQ(value("select count(*) from lossy where id=3 and t like 'longer'"), "1");
}

TEST_F(Modify, UpdateWaitsForTheLoadWhichAbortEnds) {
    openHeldParts();
    edit(rowOf("1"), 2, "bolt2");
    EXPECT_EQ(update(), QStringList{"The rows are still loading."});
    EXPECT_EQ(value("select name from parts where id=1"), "bolt");

    window->IXButton11->click();
    EXPECT_EQ(grid().RunState(), GridRunner::State::Done);
    EXPECT_EQ(update(), (QStringList{"1 Rows Modified", "0 Rows Deleted"}))
        << "the edit made while loading is kept, the connection serves again";
    EXPECT_EQ(value("select name from parts where id=1"), "bolt2");
}

TEST_F(Modify, PauseHoldsTheLoadAndResumeLetsItEnd) {
    ModifyRequest r = parts();
    r.selectText = "waitfor delay '00:00:01'\r\ngo\r\n" + r.selectText;
    window = Tf_modify::open(*main, r);
    ASSERT_TRUE(waitingInServer());
    // Asked while the server holds the statement: the loader stops at the first row after it.
    window->IXButton12->click();
    ASSERT_TRUE(test::waitUntil([&] { return grid().Paused(); }));
    EXPECT_EQ(find("1"), -1);
    EXPECT_EQ(update(), QStringList{"The rows are still loading."});

    window->IXButton13->click();
    loaded();
    EXPECT_EQ(grid().RunState(), GridRunner::State::Done);
    EXPECT_GT(find("4"), 0);
}

TEST_F(Modify, ClosingWhileTheRowsLoadStopsTheLoaderAndFreesItsConnection) {
    openHeldParts();
    const QString number = spid();
    window->btn_close->click();
    QApplication::processEvents();
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(processEnds(number));
}

const QStringList kPeople{"id", "first_name", "active", "notes", "born", "price", "qty", "ratio"};

class ModifyForm : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame();
    }
    Tf_modify_form* open(ModifyLayout layout, const QString& table = "people",
                         const QStringList& columns = kPeople) {
        ModifyRequest r =
            request(table, columns.mid(0, 1), columns.mid(1), "WHERE 1=1 order by " + columns[0]);
        r.layout = layout;
        window = Tf_modify_form::open(*main, r);
        QApplication::processEvents();
        return window;
    }
    template <class T> T* control(const QString& name) {
        T* found = window->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    // The record shown: the first name, the check box, the memo.
    QString shown() {
        return control<TSybEdit>("e_first_name")->text() + "," +
               control<TSybCheckbox>("chk_active")->Value() + "," +
               control<TSybMemo>("mem_notes")->toPlainText();
    }
    // Which of first, prior, next and last are enabled.
    QString movable() {
        QString flags;
        for (int i = 0; i < 4; ++i)
            flags += window->SybNavigator1->button(i)->isEnabled() ? '1' : '0';
        return flags;
    }

    QPointer<Tf_modify_form> window;
};

TEST_F(ModifyForm, TheNavigatorWalksTheRecordsAndItsButtonsFollow) {
    ASSERT_NE(open(ModifyLayout::Vertical), nullptr);
    EXPECT_EQ(window->windowTitle(), "Data Modification");
    EXPECT_NE(qobject_cast<QMdiSubWindow*>(window->parentWidget()), nullptr);
    ASSERT_TRUE(window->syb_modify_form->Connected());
    EXPECT_EQ(window->syb_modify_form->BufferSize(), 1000);
    EXPECT_EQ(window->q_modify_form->DbProc(), window->syb_modify_form->DbProc());
    EXPECT_EQ(window->q_modify_form2->DbProc(), window->syb_modify_form->DbProc());
    EXPECT_EQ(window->q_modify_form->Sql(),
              "select " + kPeople.join(',') + " from people where 1=2");
    EXPECT_EQ(window->q_modify_form2->Sql(),
              "select " + kPeople.join(',') + " from people WHERE 1=1 order by id");
    EXPECT_EQ(window->SybNavigator1->DataSet(), "q_modify_form2");
    QStringList hints;
    for (int i = 0; i < TSybNavigator::kButtonCount; ++i)
        hints << window->SybNavigator1->button(i)->toolTip();
    EXPECT_EQ(hints, (QStringList{"First record", "Prior record", "Next record", "Last record",
                                  "Insert record", "Delete record", "Edit", "Post edit",
                                  "Cancel update", "Refresh data"}));

    EXPECT_EQ(shown(), "Ann,1,first");
    EXPECT_EQ(control<TSybEdit>("e_qty")->text(), "7");
    EXPECT_EQ(movable(), "0011");
    const struct {
        QToolButton* button;
        const char* record;
        const char* enabled;
    } steps[] = {{window->SybNavigator1->btn_next(), "Bob,0,second", "1111"},
                 {window->SybNavigator1->btn_next(), "Cy,1,", "1111"},
                 {window->SybNavigator1->btn_next(), "Cy,1,", "1100"},
                 {window->SybNavigator1->btn_first(), "Ann,1,first", "0011"},
                 {window->SybNavigator1->btn_last(), "Cy,1,", "1100"},
                 {window->SybNavigator1->btn_prior(), "Bob,0,second", "1111"},
                 {window->SybNavigator1->btn_prior(), "Ann,1,first", "0011"}};
    for (const auto& step : steps) {
        step.button->click();
        EXPECT_EQ(shown(), step.record) << step.button->objectName().toStdString();
        EXPECT_EQ(movable(), step.enabled) << step.record;
    }
}

TEST_F(ModifyForm, FieldsAreNamedTypedAndPlacedByColumn) {
    ASSERT_NE(open(ModifyLayout::Vertical), nullptr);
    const struct {
        const char* column;
        const char* caption;
        const char* control;
        const char* datatype; // nullptr: a check box
        int length;
        int tag;
    } fields[] = {{"id", "Id", "e_id", "int", 0, 110},
                  {"first_name", "First Name", "e_first_name", "char", 12, 110},
                  {"active", "Active", "chk_active", nullptr, 0, 115},
                  {"notes", "Notes", "mem_notes", "text", 0, 120},
                  {"born", "Born", "e_born", "datetime", 0, 110},
                  {"price", "Price", "e_price", "float", 0, 110},
                  {"qty", "Qty", "e_qty", "int", 0, 110},
                  {"ratio", "Ratio", "e_ratio", "float", 0, 110}};
    ASSERT_EQ(window->fields().size(), std::size(fields));
    int widest = 0;
    for (const auto& f : fields)
        widest = std::max(widest, control<QLabel>(QString("lab_") + f.column)->width());
    int top = 30;
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const auto& f = fields[i];
        SCOPED_TRACE(f.column);
        auto* label = control<QLabel>(QString("lab_") + f.column);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(window->fields()[i].label, label);
        EXPECT_EQ(label->text(), f.caption);
        EXPECT_EQ(label->property("tag").toInt(), 105);
        EXPECT_EQ(label->pos(), QPoint(30, top));
        QWidget* widget = window->fields()[i].control;
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->objectName(), f.control);
        EXPECT_EQ(widget->property("tag").toInt(), f.tag);
        EXPECT_EQ(widget->pos(), QPoint(widest + 40, top));
        auto* data = dynamic_cast<DataControl*>(widget);
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(data->DataSet(), "q_modify_form2");
        EXPECT_EQ(data->DataField(), f.column);
        EXPECT_FALSE(data->IsPrimaryKey());
        if (auto* edit = qobject_cast<TSybEdit*>(widget)) {
            EXPECT_EQ(edit->Datatype(), f.datatype);
            EXPECT_EQ(edit->Length(), f.length);
            if (f.length > 0) {
                EXPECT_EQ(edit->maxLength(), f.length);
                EXPECT_EQ(edit->width(), QFontInfo(edit->font()).pointSize() * (f.length + 1));
            }
        } else if (auto* memo = qobject_cast<TSybMemo*>(widget)) {
            EXPECT_EQ(memo->Datatype(), f.datatype);
        } else {
            ASSERT_NE(qobject_cast<TSybCheckbox*>(widget), nullptr);
            EXPECT_EQ(f.datatype, nullptr);
            EXPECT_EQ(qobject_cast<TSybCheckbox*>(widget)->text(), "");
        }
        top += qobject_cast<TSybMemo*>(widget) ? 90 : 22;
    }
    EXPECT_EQ(window->q_modify_form2->Fields().size(), qsizetype(std::size(fields)));
}

TEST_F(ModifyForm, HorizontalPairsFillTheWidthInColumnOrder) {
    ASSERT_NE(open(ModifyLayout::Horizontal), nullptr);
    const int width = window->scbox_main->viewport()->width();
    const std::vector<Tf_modify_form::Field>& fields = window->fields();
    ASSERT_EQ(fields.size(), std::size_t(kPeople.size()));
    int lines = 1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        SCOPED_TRACE(kPeople[qsizetype(i)].toStdString());
        const QRect label = fields[i].label->geometry();
        const QRect control = fields[i].control->geometry();
        EXPECT_EQ(control.top(), label.top());
        EXPECT_GT(control.left(), label.right());
        if (i == 0) {
            EXPECT_EQ(label.topLeft(), QPoint(30, 30));
            continue;
        }
        const QRect before = fields[i - 1].control->geometry();
        if (label.top() == before.top()) {
            EXPECT_GT(label.left(), before.right());
            EXPECT_LE(control.right(), width - 30);
        } else {
            ++lines;
            EXPECT_EQ(label.left(), 30);
            EXPECT_GT(label.top(), before.top());
            EXPECT_GT(before.right() + 24 + control.right() - label.left(), width - 30)
                << "wrapped only when the pair did not fit";
        }
    }
    EXPECT_GT(lines, 1);
    EXPECT_LT(lines, int(fields.size()));
}

TEST_F(ModifyForm, OnlyTheFirst100ColumnsAreShown) {
    QStringList columns;
    for (int i = 1; i <= kWideColumns; ++i)
        columns << QString("c%1").arg(i);
    ASSERT_NE(open(ModifyLayout::Vertical, "wide", columns), nullptr);
    const std::vector<test::DialogCall> boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Only the first 100 of 105 columns are shown.");
    EXPECT_EQ(boxes[0].caption, "Data Modification");
    ASSERT_EQ(window->fields().size(), 100u);
    EXPECT_EQ(window->fields().back().control->objectName(), "e_c100");
    EXPECT_EQ(window->findChild<QWidget*>("e_c101"), nullptr);
    EXPECT_EQ(control<TSybEdit>("e_c1")->text(), "1");
}

} // namespace
} // namespace ostrim
