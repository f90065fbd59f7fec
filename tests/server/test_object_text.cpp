// The object lists and the object text of the server window against the demo server: every
// kind's list, columns, index keys, user types, every paste and its options, the database switch
// with its caption, the dormant drop.
#include "busy_connection.h"
#include "frame_test.h"
#include "object_text.h"
#include "sybcombobox.h"
#include "text_lines.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

namespace ostrim {
namespace {

using test::blanks;
using test::items;
using test::lines;

constexpr char kTestDb[] = "objtest";
constexpr char kGoneDb[] = "objgone";
constexpr int kWideColumns = 300;

// A procedure whose text needs several rows of syscomments (255 characters each).
QString longProcedure() {
    QString text = "create procedure longproc @x int = 0\r\nas\r\n";
    for (int i = 1; i <= 12; ++i)
        text += "select value_" + QString::number(i) + " = @x + " + QString::number(i) +
                "  -- the line that makes the text longer than one row\r\n";
    return text + "return 0";
}

QString wideTable() {
    QString wide = "create table wide (";
    for (int i = 1; i <= kWideColumns; ++i)
        wide += (i > 1 ? ", c" : "c") + QString::number(i) + " int null";
    return wide + ")";
}

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
         test::runAsSa({QString("create database ") + kTestDb,
                        QString("create database ") + kGoneDb, QString("use ") + kTestDb,
                        "create table t (a int not null, b int null, c int null)",
                        "create table layout_t (id varchar(30) null, n int not null, "
                        "amount numeric(7,2) null, rate decimal(9,3) not null)",
                        wideTable(), "create table victim (x int null)", longProcedure()});
     }});

class ObjectLists : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame();
        ASSERT_NO_FATAL_FAILURE(open(database()));
    }
    // Every box a test does not expect is a fault of its own.
    void TearDown() override {
        if (quiet) {
            EXPECT_EQ(boxes(), 0);
        }
        FrameTest::TearDown();
    }
    virtual QString database() const { return "ostrimdemo"; }
    // A window of sa in database, by Connect and its login dialog.
    void open(const QString& database) {
        writeIni(test::lastLogin("sa", database));
        w = connect("");
        ASSERT_NE(w, nullptr);
    }
    // The user's choices, as the combo boxes report them.
    static void chooseType(Tserverform* window, const QString& kind) {
        const int index = window->type_list->findText(kind);
        ASSERT_GE(index, 0) << kind.toStdString();
        window->type_list->setCurrentIndex(index);
        emit window->type_list->activated(index);
    }
    static void chooseObject(Tserverform* window, const QString& name) {
        const int index = window->object_list->findText(name);
        ASSERT_GE(index, 0) << name.toStdString();
        window->object_list->setCurrentIndex(index);
        emit window->object_list->activated(index);
    }
    static void choose(Tserverform* window, const QString& kind, const QString& name) {
        chooseType(window, kind);
        chooseObject(window, name);
    }
    static QStringList editorLines(Tserverform* window) {
        return window->memo->toPlainText().split('\n');
    }
    // Options as the settings dialog would leave them.
    static void setPaste(Tserverform* window, bool append, bool drop, bool create, bool go) {
        window->options.AppendPaste = append;
        window->options.PasteDROP = drop;
        window->options.PasteCREATE = create;
        window->options.AppendGo = go;
    }
    void paste(Tserverform* window) { window->toolButton(2)->click(); }
    int boxes() const { return int(dialogs.messages().size()); }

    Tserverform* w = nullptr;
    bool quiet = true;
};

// The same in the database made for these tests.
class TestDbLists : public ObjectLists {
protected:
    QString database() const override { return kTestDb; }
};

TEST_F(ObjectLists, EveryKindListsTheDemoCatalogue) {
    const struct {
        const char* kind;
        QStringList objects;
    } expected[] = {
        {"Groups", {"public", "readers"}},
        {"Indexes",
         {"authors.auidind", "authors.aunmind", "publishers.pubind", "sales.salesind",
          "sales.salesdateind", "titleauthor.taind", "titles.titleidind", "titles.titleind"}},
        {"Logins", {"alice", "bob", "carol", "sa"}},
        {"Procedures", {"author_report", "byroyalty", "title_sales"}},
        {"Rules", {"pub_idrule"}},
        {"Triggers", {"deltitle", "salestrig"}},
        {"User Datatypes", {"id_t", "phone_t"}},
        {"Users", {"alice", "bob", "dbo", "guest"}},
        {"Views", {"author_names", "store_totals", "titleview"}},
    };
    for (const auto& e : expected) {
        chooseType(w, e.kind);
        EXPECT_EQ(items(w->object_list), e.objects) << e.kind;
        EXPECT_EQ(w->object_list->currentIndex(), 0) << e.kind;
    }
    // Tables and Select list the user tables among the system tables, sorted.
    for (const char* kind : {"Tables", "Select"}) {
        chooseType(w, kind);
        const QStringList tables = items(w->object_list);
        for (const char* table : {"authors", "blurbs", "publishers", "sales", "stores",
                                  "titleauthor", "titles", "sysobjects", "syscolumns"})
            EXPECT_TRUE(tables.contains(table)) << kind << " " << table;
        EXPECT_FALSE(tables.contains("titleview"));
        QStringList sorted = tables;
        sorted.sort();
        EXPECT_EQ(tables, sorted);
    }
    chooseType(w, "System Datatypes");
    const QStringList types = items(w->object_list);
    for (const char* type : {"int", "varchar", "numeric", "decimal", "datetime"})
        EXPECT_TRUE(types.contains(type)) << type;
    EXPECT_FALSE(types.contains("phone_t"));
    chooseType(w, "Databases");
    for (const char* db : {"master", "ostrimdemo", "ostrimdemo2", kTestDb})
        EXPECT_TRUE(items(w->object_list).contains(db)) << db;
    EXPECT_TRUE(w->column_list->Sql().isEmpty());
}

TEST_F(ObjectLists, ColumnListFollowsTheChosenObject) {
    chooseType(w, "Tables");
    // The first entry's columns at once.
    EXPECT_EQ(w->column_list->Sql(), "select name from syscolumns where id = object_id(\"" +
                                         w->object_list->itemText(0) + "\") order by colid");
    chooseObject(w, "publishers");
    EXPECT_EQ(items(w->column_list),
              (QStringList{"pub_id", "pub_name", "city", "state", "country"}));
    EXPECT_EQ(w->column_list->currentText(), "pub_id");

    chooseType(w, "Views");
    EXPECT_EQ(w->object_list->currentText(), "author_names");
    EXPECT_EQ(items(w->column_list), (QStringList{"id", "full_name", "city"}));

    chooseType(w, "Procedures");
    EXPECT_EQ(items(w->column_list), (QStringList{"@state", "@with_titles"}));
    chooseObject(w, "title_sales");
    EXPECT_EQ(items(w->column_list), (QStringList{"@title_id", "@units", "@orders"}));

    // Kinds without details empty the list, its text and its query.
    w->column_list->setEditText("typed");
    chooseType(w, "Rules");
    EXPECT_EQ(w->column_list->count(), 0);
    EXPECT_EQ(w->column_list->currentText(), "");
    EXPECT_TRUE(w->column_list->Sql().isEmpty());
}

TEST_F(ObjectLists, UserTypeDetailsOnlyOnceATypeIsChosen) {
    chooseType(w, "User Datatypes");
    EXPECT_EQ(w->object_list->currentText(), "id_t");
    EXPECT_EQ(w->column_list->count(), 0);
    chooseObject(w, "phone_t");
    EXPECT_EQ(items(w->column_list),
              (QStringList{"Type: varchar(20)", "Nulls: null", "Default: none", "Rule: none"}));
    chooseObject(w, "id_t");
    EXPECT_EQ(items(w->column_list).value(0), "Type: numeric(8,0)");
    EXPECT_EQ(items(w->column_list).value(1), "Nulls: not null");
}

TEST_F(ObjectLists, IndexKeysAndSaveName) {
    chooseType(w, "Indexes");
    // The type change runs the object change for the first index.
    EXPECT_EQ(w->object_list->currentText(), "authors.auidind");
    EXPECT_EQ(items(w->column_list), QStringList{"au_id"});
    EXPECT_EQ(w->SaveName, "auidind");
    chooseObject(w, "authors.aunmind");
    EXPECT_EQ(items(w->column_list), (QStringList{"au_lname", "au_fname"}));
    EXPECT_EQ(w->column_list->currentIndex(), 0);
    EXPECT_EQ(w->SaveName, "aunmind");
    chooseObject(w, "sales.salesind");
    EXPECT_EQ(items(w->column_list), (QStringList{"title_id", "ord_num"}));
}

TEST_F(ObjectLists, SpeedButtonsRunTheTypeChange) {
    const struct {
        const char* button;
        const char* kind;
        const char* first;
    } cases[] = {{"btn_procedures", "Procedures", "author_report"},
                 {"btn_triggers", "Triggers", "deltitle"},
                 {"btn_views", "Views", "author_names"},
                 {"btn_select", "Select", nullptr},
                 {"btn_tables", "Tables", nullptr},
                 {"btn_databases", "Databases", "master"}};
    for (const auto& c : cases) {
        w->object_list->clear();
        w->speedButton(c.button)->click();
        EXPECT_EQ(w->type_list->currentText(), c.kind);
        EXPECT_GT(w->object_list->count(), 0) << c.button;
        if (c.first) {
            EXPECT_EQ(w->object_list->currentText(), c.first) << c.button;
        }
    }
    // The same kind again reads the list again.
    w->speedButton("btn_triggers")->click();
    w->object_list->clear();
    w->speedButton("btn_triggers")->click();
    EXPECT_EQ(items(w->object_list), (QStringList{"deltitle", "salestrig"}));
}

TEST_F(TestDbLists, SelectPasteOfATable) {
    setPaste(w, false, true, true, true);
    w->memo->setPlainText("old text");
    choose(w, "Select", "t");
    w->Modified = false;
    paste(w);
    // Drop, create and "go" do not apply to a SELECT.
    EXPECT_EQ(editorLines(w), (QStringList{"select ", " a,", " b,", " c", "from t"}));
    EXPECT_EQ(w->SaveName, "t");
    EXPECT_TRUE(w->Modified);
    EXPECT_TRUE(w->memo->hasFocus() || !QApplication::focusWidget());
    // One edit: undo brings the old text back.
    w->memo->undo();
    EXPECT_EQ(w->memo->toPlainText(), "old text");
}

TEST_F(TestDbLists, TablePasteWithDropCreateAndGo) {
    choose(w, "Tables", "t");
    const QString a = " a" + blanks(29) + "int " + blanks(26) + "NOT NULL";
    const QString b = " b" + blanks(29) + "int " + blanks(26) + "NULL";
    const QString c = " c" + blanks(29) + "int " + blanks(26) + "NULL";

    setPaste(w, false, true, true, true);
    paste(w);
    EXPECT_EQ(editorLines(w), (QStringList{"drop table t", "go", "", "create table t", "(", "",
                                           a + ",", b + ",", c, ")", "go"}));
    EXPECT_EQ(w->SaveName, "t");
}

TEST_F(TestDbLists, LayoutLinesOfTheServersTypes) {
    w->options.PasteCREATE = false;
    EXPECT_EQ(lines(w->table_layout("layout_t")),
              (QStringList{"", " id" + blanks(28) + "varchar(30)" + blanks(19) + "NULL",
                           " n" + blanks(29) + "int " + blanks(26) + "NOT NULL",
                           " amount" + blanks(24) + "numeric(7,2)" + blanks(18) + "NULL",
                           " rate" + blanks(26) + "decimal(9,3)" + blanks(18) + "NOT NULL"}));
    EXPECT_EQ(w->table_layout("no_such_table"), "");

    // A user type shows its own name and no size.
    ASSERT_NO_FATAL_FAILURE(open("ostrimdemo"));
    EXPECT_EQ(lines(w->table_layout("sales")).value(1),
              " ord_num" + blanks(23) + "id_t " + blanks(25) + "NOT NULL");
}

TEST_F(TestDbLists, WideTablePastesEveryColumn) {
    choose(w, "Tables", "wide");
    EXPECT_EQ(w->column_list->count(), kWideColumns);
    setPaste(w, false, false, true, false);
    paste(w);
    const QStringList got = editorLines(w);
    // create, "(", the empty line, one line per column, ")", and the last line break.
    ASSERT_EQ(got.size(), 3 + kWideColumns + 2);
    for (int i = 1; i <= kWideColumns; ++i) {
        const QString name = "c" + QString::number(i);
        const QString line = " " + name + blanks(30 - int(name.size())) + "int " + blanks(26) +
                             "NULL" + (i < kWideColumns ? "," : "");
        ASSERT_EQ(got[2 + i], line) << i;
    }
    EXPECT_EQ(got[3 + kWideColumns], ")");
}

TEST_F(TestDbLists, ProcedureTextOverSeveralRowsPastedWhole) {
    const int rows =
        test::lastValue(w->sybase->DbProc(), "select count(*) from syscomments where id = "
                                             "object_id(\"longproc\")")
            .toInt();
    const QString source = longProcedure();
    EXPECT_EQ(rows, (source.size() + 254) / 255);
    ASSERT_GT(rows, 1);

    setPaste(w, false, false, false, false);
    choose(w, "Procedures", "longproc");
    EXPECT_EQ(items(w->column_list), QStringList{"@x"});
    paste(w);
    QString expected = source;
    expected.replace("\r\n", "\n");
    EXPECT_EQ(w->memo->toPlainText(), expected);
    EXPECT_EQ(w->SaveName, "longproc");

    setPaste(w, false, true, false, true);
    paste(w);
    expected = "drop procedure longproc\ngo\n\n" + expected + "\ngo";
    EXPECT_EQ(w->memo->toPlainText(), expected);
}

TEST_F(ObjectLists, TriggerAndViewText) {
    setPaste(w, false, true, false, false);
    choose(w, "Triggers", "salestrig");
    paste(w);
    const QStringList trigger = editorLines(w);
    ASSERT_GE(trigger.size(), 3);
    EXPECT_EQ(trigger[0], "drop trigger salestrig");
    EXPECT_EQ(trigger[1], "create trigger salestrig on sales for insert, update");
    EXPECT_TRUE(w->memo->toPlainText().contains("raiserror 20010"));
    EXPECT_EQ(w->SaveName, "salestrig");

    choose(w, "Views", "titleview");
    paste(w);
    EXPECT_EQ(editorLines(w).value(0), "drop view titleview");
    EXPECT_EQ(editorLines(w).value(1), "create view titleview");
}

TEST_F(ObjectLists, IndexPasteWithAndWithoutSegmentClause) {
    setPaste(w, false, false, false, false);
    choose(w, "Indexes", "publishers.pubind");
    paste(w);
    EXPECT_EQ(editorLines(w),
              (QStringList{"create unique clustered index pubind on publishers(pub_id) ", ""}));
    EXPECT_EQ(w->SaveName, "pubind");

    chooseObject(w, "titles.titleind");
    setPaste(w, false, true, false, true);
    paste(w);
    EXPECT_EQ(
        editorLines(w),
        (QStringList{"drop index titles.titleind", "go",
                     "create nonclustered index titleind on titles(title) on fastseg", "go"}));
    EXPECT_EQ(w->SaveName, "titleind");
}

TEST_F(ObjectLists, AppendPasteAndTheEmptyEditor) {
    setPaste(w, true, false, false, false);
    choose(w, "Indexes", "publishers.pubind");
    w->memo->clear();
    paste(w);
    EXPECT_EQ(editorLines(w),
              (QStringList{"", "create unique clustered index pubind on publishers(pub_id) ", ""}));

    // Every kind's header before the pasted text is pasteHeader's; with text in the editor a
    // select appends after a line break.
    choose(w, "Select", "stores");
    w->memo->setPlainText("first line");
    paste(w);
    const QStringList appended = editorLines(w);
    EXPECT_EQ(appended.value(0), "first line");
    EXPECT_EQ(appended.value(1), "select ");
    EXPECT_EQ(appended.last(), "from stores");
}

TEST_F(TestDbLists, NothingToPasteLeavesTheEditorAlone) {
    setPaste(w, false, true, true, true);
    w->memo->setPlainText("keep me");
    w->SaveName.clear();
    // Kinds without text.
    for (const char* kind : {"Databases", "Rules", "Users", "System Datatypes"}) {
        chooseType(w, kind);
        paste(w);
        EXPECT_EQ(w->memo->toPlainText(), "keep me") << kind;
    }
    EXPECT_TRUE(w->SaveName.isEmpty());
    // An empty object list.
    chooseType(w, "Triggers");
    EXPECT_EQ(w->object_list->count(), 0);
    paste(w);
    EXPECT_EQ(w->memo->toPlainText(), "keep me");
    // Objects that vanished since the list was read.
    for (const auto& [kind, name] : {std::pair{"Tables", "dropped_meanwhile"},
                                     {"Procedures", "gone_proc"},
                                     {"Indexes", "t.no_such_index"}}) {
        chooseType(w, kind);
        w->object_list->addItem(name);
        w->object_list->setCurrentIndex(w->object_list->count() - 1);
        paste(w);
        EXPECT_EQ(w->memo->toPlainText(), "keep me") << name;
    }
    EXPECT_EQ(w->object_list->count(), 1) << "t has no index";
}

TEST_F(ObjectLists, PopupItemsInsertTheChosenNames) {
    choose(w, "Tables", "authors");
    w->column_list->setCurrentIndex(w->column_list->findText("au_fname"));
    w->memo->setPlainText("select  from ");
    QTextCursor cursor = w->memo->textCursor();
    cursor.setPosition(7);
    w->memo->setTextCursor(cursor);
    w->PopupMenu1->findChild<QAction*>("Pastecolumntext1")->trigger();
    cursor = w->memo->textCursor();
    cursor.movePosition(QTextCursor::End);
    w->memo->setTextCursor(cursor);
    w->PopupMenu1->findChild<QAction*>("Pasteobjecttext1")->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "select au_fname from authors");
    EXPECT_TRUE(w->PopupMenu1->findChild<QAction*>("Pasteobjecttext1")->isEnabled());
    EXPECT_TRUE(w->toolButton(2)->isEnabled());
}

TEST_F(ObjectLists, PickingADatabaseSwitchesConnectionAndCaption) {
    EXPECT_EQ(w->windowTitle(), "DEMO/ostrimdemo:sa - Untitled.sql");
    chooseType(w, "Databases");
    const QStringList before = items(w->object_list);
    chooseObject(w, kTestDb);
    EXPECT_EQ(w->sybase->DBName(), kTestDb);
    EXPECT_EQ(w->windowTitle(), QString("DEMO/") + kTestDb + ":sa - Untitled.sql");
    // The connection is there now: its objects are listed.
    chooseType(w, "Procedures");
    EXPECT_EQ(items(w->object_list), QStringList{"longproc"});
    EXPECT_EQ(test::lastValue(w->sybase->DbProc(), "select db_name()"), kTestDb);
    // Later captions keep the new database.
    w->resize(w->width() - 10, w->height());
    w->updateCaption();
    EXPECT_EQ(w->windowTitle(), QString("DEMO/") + kTestDb + ":sa - Untitled.sql");
    // The lists are not re-read by the switch itself.
    chooseType(w, "Databases");
    EXPECT_EQ(items(w->object_list), before);
    chooseObject(w, "ostrimdemo2");
    EXPECT_EQ(w->object_list->count(), before.size());
    EXPECT_EQ(w->windowTitle(), "DEMO/ostrimdemo2:sa - Untitled.sql");
}

TEST_F(ObjectLists, AFailedSwitchKeepsTheCurrentDatabase) {
    quiet = false;
    chooseType(w, "Databases");
    ASSERT_TRUE(items(w->object_list).contains(kGoneDb));
    ASSERT_NO_FATAL_FAILURE(test::runAsSa({QString("drop database ") + kGoneDb}));
    chooseObject(w, kGoneDb);
    // The server said why; the window goes on naming the database it is in.
    EXPECT_GE(boxes(), 1);
    EXPECT_EQ(w->sybase->DBName(), "ostrimdemo");
    EXPECT_EQ(w->object_list->currentText(), "ostrimdemo");
    EXPECT_EQ(w->windowTitle(), "DEMO/ostrimdemo:sa - Untitled.sql");
    chooseType(w, "Procedures");
    EXPECT_EQ(items(w->object_list), (QStringList{"author_report", "byroyalty", "title_sales"}));
}

TEST_F(ObjectLists, NothingIsSentWhileAResultsWindowLoads) {
    quiet = false;
    chooseType(w, "Views");
    const QStringList views = items(w->object_list);
    w->memo->setPlainText("keep");
    {
        const BusyConnection busy(w->sybase->DbProc());
        chooseType(w, "Procedures");
        EXPECT_EQ(boxes(), 1);
        EXPECT_EQ(items(w->object_list), views);
        EXPECT_EQ(w->type_list->currentText(), "Views");
        w->speedButton("btn_tables")->click();
        EXPECT_EQ(boxes(), 2);
        EXPECT_EQ(w->type_list->currentText(), "Views");
        paste(w);
        EXPECT_EQ(boxes(), 3);
        EXPECT_EQ(w->memo->toPlainText(), "keep");
        // A database list read before the load began.
        w->type_list->setCurrentIndex(w->type_list->findText("Databases"));
        w->object_list->clear();
        w->object_list->addItems({"master", "ostrimdemo"});
        chooseObject(w, "master");
        EXPECT_EQ(boxes(), 4);
        EXPECT_EQ(w->sybase->DBName(), "ostrimdemo");
        EXPECT_EQ(w->object_list->currentText(), "ostrimdemo");
    }
    EXPECT_EQ(dialogs.messages().front().text.left(24), "A results window is stil");
    chooseType(w, "Procedures");
    EXPECT_EQ(items(w->object_list), (QStringList{"author_report", "byroyalty", "title_sales"}));
}

TEST_F(ObjectLists, PasteWithTheHistoryFocusedLeavesItToTheHistory) {
    choose(w, "Select", "stores");
    auto* history = w->findChild<QAction*>("PasteSQLHistory1");
    history->setEnabled(true);
    QSignalSpy spy(history, &QAction::triggered);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    w->cmb_history->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->cmb_history->hasFocus(); }));
    w->memo->setPlainText("keep");
    paste(w);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(w->memo->toPlainText().contains("from stores"));
    w->memo->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->memo->hasFocus(); }));
    paste(w);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_TRUE(w->memo->toPlainText().contains("from stores"));
}

TEST_F(TestDbLists, DropObjectStaysDormantAndAsksFirst) {
    quiet = false;
    EXPECT_FALSE(w->toolButton(24)->isEnabled());
    EXPECT_FALSE(w->toolButton(24)->isVisible());
    choose(w, "Tables", "victim");
    dialogs.messageAnswers.push_back(QMessageBox::Cancel);
    w->IXButton15Click();
    ASSERT_EQ(boxes(), 1);
    EXPECT_EQ(dialogs.messages()[0].text, "Drop object victim");
    EXPECT_EQ(dialogs.messages()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    chooseType(w, "Tables");
    EXPECT_TRUE(items(w->object_list).contains("victim"));

    chooseObject(w, "victim");
    dialogs.messageAnswers.push_back(QMessageBox::Ok);
    w->IXButton15Click();
    EXPECT_EQ(boxes(), 2);
    // The lists are not refreshed; reading them again shows the table gone.
    EXPECT_TRUE(items(w->object_list).contains("victim"));
    chooseType(w, "Tables");
    EXPECT_FALSE(items(w->object_list).contains("victim"));

    // Kinds without a drop statement ask nothing.
    chooseType(w, "Select");
    w->IXButton15Click();
    EXPECT_EQ(boxes(), 2);
}

} // namespace
} // namespace ostrim
