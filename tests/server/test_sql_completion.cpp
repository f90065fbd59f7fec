// Name completion in the SQL editor: the reading of the text around the caret, then the popup
// over an editor against the demo server, its names read in the background.
#include "qt_print.h"
#include "qt_wait.h"
#include "scripted_dialogs.h"
#include "server_environment.h"
#include "silent_server.h"
#include "sql_completion.h"
#include "sybdatabase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QTest>
#include <QTextEdit>

#include <sybdb.h>

#include <memory>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}});

// text with '|' at the caret, as the text and the caret's position.
std::pair<QString, int> caretText(QString text) {
    const int caret = int(text.indexOf('|'));
    text.remove(caret, 1);
    return {text, caret};
}

TEST(TypedName, IsTheNameBeforeTheCaretWithTheNameBeforeItsDot) {
    struct Case {
        const char* text;
        const char* prefix;
        bool qualified;
        const char* qualifier;
    };
    const Case cases[] = {
        {"select * from ti|", "ti", false, ""},
        {"select * from |", "", false, ""},
        {"select t.ti|tle from titles t", "ti", true, "t"},
        {"select t.|", "", true, "t"},
        {"select x from pubs2..ti|", "ti", true, ""},
        {"select x from dbo.ti|", "ti", true, "dbo"},
        {"select @v|", "@v", false, ""},
        {"select * from #tmp|", "#tmp", false, ""},
        {"select a$b_1|", "a$b_1", false, ""},
        {"select (ti|", "ti", false, ""},
    };
    for (const Case& c : cases) {
        const auto [text, caret] = caretText(c.text);
        const TypedName typed = typedName(text, caret);
        EXPECT_EQ(typed.prefix, c.prefix) << c.text;
        EXPECT_EQ(typed.start, caret - typed.prefix.size()) << c.text;
        EXPECT_EQ(typed.qualified, c.qualified) << c.text;
        EXPECT_EQ(typed.qualifier, c.qualifier) << c.text;
    }
}

TEST(QualifiedTable, ResolvesAliasesOfTheBatchAroundTheCaret) {
    struct Case {
        const char* text;
        const char* qualifier;
        const char* table;
    };
    const Case cases[] = {
        {"select t.| from titles t", "t", "titles"},
        {"select t.| from titles as t", "t", "titles"},
        {"select t.| from pubs2..titles t", "t", "titles"},
        {"select t.| from pubs2.dbo.titles t where 1 = 1", "t", "titles"},
        {"select a.| from titles t, authors a where a.au_id = 1", "a", "authors"},
        {"select A.| from titles T, authors A", "A", "authors"},
        {"select s.| from titles t join sales s on s.title_id = t.title_id", "s", "sales"},
        {"select s.| from titles t\ninner join sales as s on s.title_id = t.title_id", "s",
         "sales"},
        {"update titles set price = 1 from titles t, sales s where s.|", "s", "sales"},
        {"select x from (select y from sales s) d where s.|", "s", "sales"},
        // A table name is its own qualifier.
        {"select titles.| from dbo.titles", "titles", "titles"},
        {"select x.| from titles t", "x", "x"},
        // Comments and strings are no from clauses.
        {"select t.| from titles /* from authors t */ t", "t", "titles"},
        {"select t.|\n-- from authors t\nfrom titles t", "t", "titles"},
        {"select t.|, 'from authors t' from titles t", "t", "titles"},
        {"select t.|, \"from authors t\" from titles t", "t", "titles"},
        {"select t.|, 'it''s from authors t' from titles t", "t", "titles"},
        {"select t.| from titles", "t", "t"},
        // Another batch's aliases are not this one's; of two, the nearer one counts.
        {"select * from authors t\ngo\nselect t.| from titles x", "t", "t"},
        {"select t.| from titles x\n  GO \nselect * from authors t", "t", "t"},
        {"select * from authors t\ngo\nselect t.| from titles t\ngo\nselect 1 from sales t", "t",
         "titles"},
        {"select * from authors t\nselect t.| from titles t", "t", "titles"},
        // A line that only begins with go is no separator.
        {"select * from authors t\ngoto\nselect t.|", "t", "authors"},
    };
    for (const Case& c : cases) {
        const auto [text, caret] = caretText(c.text);
        EXPECT_EQ(qualifiedTable(text, caret, c.qualifier), c.table) << c.text;
    }
}

TEST(CompletionCandidates, AreObjectsOrTheQualifiedTablesColumnsStartingWithThePrefix) {
    CatalogueNames names;
    names.objects = {"authors", "title_sales", "titleauthor", "titles", "titleview"};
    names.columns["titles"] = {"title_id", "title", "type", "price", "pubdate"};
    names.columns["authors"] = {"au_id", "au_lname"};
    struct Case {
        const char* text;
        QStringList candidates;
    };
    const Case cases[] = {
        {"select * from ti|", {"title_sales", "titleauthor", "titles", "titleview"}},
        {"select * from TITLEA|", {"titleauthor"}},
        {"select * from x|", {}},
        {"select t.| from titles t", {"title_id", "title", "type", "price", "pubdate"}},
        {"select T.TI| from titles t", {"title_id", "title"}},
        {"select T.p| from TITLES T", {"price", "pubdate"}},
        {"select a.| from titles t, authors a", {"au_id", "au_lname"}},
        // No table known by the qualifier: an owner or a database, so objects.
        {"select * from dbo.ti|", {"title_sales", "titleauthor", "titles", "titleview"}},
        {"select * from pubs2..a|", {"authors"}},
    };
    for (const Case& c : cases) {
        const auto [text, caret] = caretText(c.text);
        EXPECT_EQ(completionCandidates(names, text, caret), c.candidates) << c.text;
    }
}

// Records the keys that reach it: the editor's own key hooks, installed before the completer.
class KeyWitness : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        // QTest presses a modifier on its own before the key it goes with.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Control && key != Qt::Key_Shift)
            keys << key;
        return false;
    }
    QList<int> keys;
};

// As a user does it: QTest's double click alone is no click on the item first.
void doubleClick(QListWidget& list, int row) {
    const QPoint at = list.visualItemRect(list.item(row)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
}

QStringList items(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.item(i)->text();
    return texts;
}

// An editor shown with its completer over the demo server's first database, as sa.
class Completion : public ::testing::Test {
protected:
    void SetUp() override {
        database.setLoginPrompt(false);
        database.setServerName(QString::fromStdString(test::ServerEnvironment::host()));
        database.setUserName("sa");
        editor = std::make_unique<QTextEdit>();
        editor->installEventFilter(&witness);
        completer = new SqlCompleter(editor.get(), [this] { return login(); });
        completer->setDatabase("ostrimdemo");
        editor->resize(600, 400);
        editor->show();
        editor->activateWindow();
        editor->setFocus();
        QApplication::processEvents();
    }
    void TearDown() override {
        EXPECT_TRUE(dialogs.calls.empty()) << "a read is silent";
        editor.reset();
    }
    virtual LoginValues login() { return database.loginValues(); }

    void type(const QString& text) {
        editor->moveCursor(QTextCursor::End);
        QTest::keyClicks(editor.get(), text);
    }
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(editor.get(), k, modifiers);
    }
    // Ctrl+Space, then the popup once the names are read; empty when it stayed closed.
    QStringList complete() {
        key(Qt::Key_Space, Qt::ControlModifier);
        EXPECT_TRUE(test::waitUntil([this] { return !completer->catalogue().isReading(); }));
        return completer->isOpen() ? items(*completer->popup()) : QStringList();
    }
    void runSql(const QString& sql) {
        const DbProcHandle process = openLogin(login());
        ASSERT_TRUE(process);
        DBPROCESS* p = process.get();
        dbuse(p, "ostrimdemo");
        dbcmd(p, sql.toLocal8Bit().constData());
        EXPECT_EQ(dbsqlexec(p), SUCCEED) << sql.toStdString();
        while (dbresults(p) == SUCCEED)
            while (dbnextrow(p) != NO_MORE_ROWS) {
            }
        dbclose(p);
    }

    test::ScriptedDialogs dialogs;
    TSybDatabase database;
    KeyWitness witness;
    std::unique_ptr<QTextEdit> editor;
    SqlCompleter* completer = nullptr;
};

TEST_F(Completion, OffersTheObjectsOfTheTypedPrefixAndInsertsTheChoiceAsOneEdit) {
    type("select * from ti");
    ASSERT_EQ(complete(), QStringList({"title_sales", "titleauthor", "titles", "titleview",
                                       SqlCompleter::kRefresh}));
    EXPECT_TRUE(completer->popup()->item(4)->font().italic());

    type("tlea");
    EXPECT_EQ(items(*completer->popup()), QStringList({"titleauthor", SqlCompleter::kRefresh}));
    key(Qt::Key_Return);
    EXPECT_FALSE(completer->isOpen());
    EXPECT_EQ(editor->toPlainText(), "select * from titleauthor");
    EXPECT_FALSE(witness.keys.contains(Qt::Key_Return)) << "the choice is no line break";
    editor->undo();
    EXPECT_EQ(editor->toPlainText(), "select * from titlea");
}

TEST_F(Completion, OffersTheColumnsOfAnAliasedTableInColumnOrder) {
    type("select t. from titles t");
    QTextCursor caret = editor->textCursor();
    caret.setPosition(9);
    editor->setTextCursor(caret);
    EXPECT_EQ(complete(),
              QStringList({"title_id", "title", "type", "pub_id", "price", "advance", "royalty",
                           "ytd_sales", "notes", "pubdate", SqlCompleter::kRefresh}));
    QTest::keyClick(editor.get(), 'p');
    EXPECT_EQ(items(*completer->popup()),
              QStringList({"pub_id", "price", "pubdate", SqlCompleter::kRefresh}));
    key(Qt::Key_Down);
    key(Qt::Key_Tab);
    EXPECT_EQ(editor->toPlainText(), "select t.price from titles t");
}

TEST_F(Completion, ClosesWhenNothingMatchesOrANonNameCharacterIsTyped) {
    type("select * from ti");
    ASSERT_FALSE(complete().isEmpty());
    type("x");
    EXPECT_FALSE(completer->isOpen());
    EXPECT_EQ(editor->toPlainText(), "select * from tix");

    editor->clear();
    type("select * from ti");
    key(Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(completer->isOpen());
    type(" ");
    EXPECT_FALSE(completer->isOpen());
    EXPECT_EQ(editor->toPlainText(), "select * from ti ");
}

TEST_F(Completion, EscapeClosesThePopupBeforeTheEditorsHooksSeeIt) {
    type("select * from ti");
    witness.keys.clear();
    ASSERT_FALSE(complete().isEmpty());
    EXPECT_TRUE(witness.keys.isEmpty()) << "Ctrl+Space is the completer's";
    key(Qt::Key_Escape);
    EXPECT_FALSE(completer->isOpen());
    EXPECT_TRUE(witness.keys.isEmpty());
    EXPECT_EQ(editor->toPlainText(), "select * from ti");

    key(Qt::Key_Escape);
    EXPECT_EQ(witness.keys, QList<int>{Qt::Key_Escape}) << "no popup: the editor's Esc";

    witness.keys.clear();
    completer->setEnabled(false);
    key(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(completer->isOpen());
    EXPECT_EQ(witness.keys, QList<int>{Qt::Key_Space});
}

TEST_F(Completion, ADatabaseSwitchOffersThatDatabasesNames) {
    struct Case {
        const char* database;
        const char* text;
        QStringList offered;
    };
    // reviews is only in the second database, store_totals only in the first.
    const Case cases[] = {
        {"ostrimdemo2", "select * from rev", {"reviews", SqlCompleter::kRefresh}},
        {"ostrimdemo2", "select * from sto", {"stores", SqlCompleter::kRefresh}},
        {"ostrimdemo", "select * from rev", {}},
        {"ostrimdemo", "select * from sto", {"store_totals", "stores", SqlCompleter::kRefresh}},
        {"no_such_database", "select * from sto", {}},
    };
    for (const Case& c : cases) {
        completer->setDatabase(c.database);
        editor->clear();
        type(c.text);
        EXPECT_EQ(complete(), c.offered) << c.database << ": " << c.text;
        key(Qt::Key_Escape);
    }
    EXPECT_FALSE(completer->catalogue().hasNames()) << "a failed read leaves no names";
}

TEST_F(Completion, RefreshReadsTheNamesAgain) {
    runSql("create table zz_one (a int not null)");
    type("select * from zz");
    EXPECT_EQ(complete(), QStringList({"zz_one", SqlCompleter::kRefresh}));
    runSql("create table zz_two (b int not null)");

    QListWidget& popup = *completer->popup();
    doubleClick(popup, popup.count() - 1);
    EXPECT_TRUE(test::waitUntil(
        [this] { return completer->isOpen() && completer->popup()->count() == 3; }));
    EXPECT_EQ(items(popup), QStringList({"zz_one", "zz_two", SqlCompleter::kRefresh}));
    EXPECT_EQ(editor->toPlainText(), "select * from zz");
    EXPECT_EQ(QApplication::focusWidget(), editor.get());

    doubleClick(popup, 1);
    EXPECT_EQ(editor->toPlainText(), "select * from zz_two");
    runSql("drop table zz_one drop table zz_two");
}

// The first read goes to a server that never answers its login; later ones to the demo server.
class HeldRead : public Completion {
protected:
    LoginValues login() override {
        LoginValues values = database.loginValues();
        if (!silentUsed && silent) {
            values.target.server = silent->address();
            silentUsed = true;
        }
        return values;
    }
    // Ctrl+Space; returns once the read is held in its login.
    void startHeldRead() {
        silent = std::make_unique<test::SilentServer>();
        type("select * from ti");
        key(Qt::Key_Space, Qt::ControlModifier);
        ASSERT_TRUE(test::waitUntil([this] { return silent->accepted() == 1; }));
        ASSERT_TRUE(completer->catalogue().isReading());
    }
    std::unique_ptr<test::SilentServer> silent;
    bool silentUsed = false;
};

TEST_F(HeldRead, AClosedWindowLeavesItsReadToEndAlone) {
    startHeldRead();
    editor.reset();
    EXPECT_GE(CompletionCatalogue::readsRunning(), 1) << "closing did not wait for the read";
    silent.reset(); // the login fails now, with nobody to tell
    EXPECT_TRUE(test::waitUntil([] { return CompletionCatalogue::readsRunning() == 0; }));
    QApplication::processEvents();
}

TEST_F(HeldRead, ANewerReadsNamesStayWhenTheOlderEnds) {
    startHeldRead();
    completer->setDatabase("ostrimdemo");
    EXPECT_TRUE(test::waitUntil([this] { return completer->isOpen(); }));
    EXPECT_EQ(items(*completer->popup()).first(), "title_sales");
    silent.reset();
    EXPECT_TRUE(test::waitUntil([] { return CompletionCatalogue::readsRunning() == 0; }));
    QApplication::processEvents();
    EXPECT_TRUE(completer->catalogue().hasNames());
    EXPECT_TRUE(completer->isOpen());
}

} // namespace
} // namespace ostrim
