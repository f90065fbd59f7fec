// The form expert on the demo database: its table and column lists, the refusals of each page,
// cancel and back through the nested pages, what the kept pages remember between runs, and the
// choice it hands to the data modification windows.
#include "admin_helpers.h"
#include "form_expert.h"
#include "scripted_dialogs.h"
#include "server_environment.h"
#include "sybdatabase.h"
#include "syblistbox.h"
#include "sybquery.h"
#include "u_generate2.h"
#include "u_generate25.h"
#include "u_generate27.h"
#include "u_generate3.h"
#include "u_generatesql.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>

namespace ostrim {
namespace {

constexpr char kDb[] = "ostrimdemo";
// The demo's publishers, in the order of the table.
const QStringList kPublishers{"pub_id", "pub_name", "city", "state", "country"};

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}, .entries = {{"DEMO"}}});

QStringList listed(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

// What one run chooses on each page. A page whose "&Next >" refuses the choice is cancelled.
struct Choice {
    QString table = "publishers"; // none selected when empty
    bool allColumns = true;       // ">>", else no column
    QStringList keys{"pub_id"};
    QRadioButton* Tf_form3::*layout = &Tf_form3::r_grid;
    QString where = "WHERE 1=1";
    int cancelOn = -1; // the page (0..4) left with "&Cancel" instead
};

class FormExpert : public ::testing::Test {
protected:
    void SetUp() override { test::loginAsSa(db, kDb); }
    void TearDown() override { db.disconnect(); }

    // Queues act for the next page shown, which must be a Page. The page is shown as the real
    // run shows it, so that a page that ended is hidden and one that stays open is not.
    template <class Page> void on(std::function<void(Page&)> act) {
        dialogs.dialogHandlers.push_back([this, act](QDialog& d) {
            shown << d.metaObject()->className();
            auto* page = qobject_cast<Page*>(&d);
            if (!page) {
                ADD_FAILURE() << "unexpected page " << d.metaObject()->className();
                return int(Cancel);
            }
            page->setResult(Help);
            page->show();
            act(*page);
            EXPECT_FALSE(page->isVisible()) << "the page ended";
            ended << page->result();
            return page->result();
        });
    }
    // Queues act for the next page, then its "&Next >".
    template <class Page> void next(std::function<void(Page&)> act = {}) {
        on<Page>([act](Page& page) {
            if (act)
                act(page);
            page.btn_next->click();
        });
    }
    // Next on page, or cancel when the choice says so or when the page refused to go on.
    void leave(ExpertPage& page, int index, const Choice& choice) {
        if (choice.cancelOn == index) {
            page.btn_cancel->click();
            return;
        }
        page.btn_next->click();
        if (page.isVisible()) {
            refusedOn = index;
            page.btn_cancel->click();
        }
    }
    void queue(const Choice& choice) {
        on<Tf_form2>([=, this](Tf_form2& page) {
            if (!choice.table.isEmpty())
                test::pick(page.l_tablenames, choice.table);
            leave(page, 0, choice);
        });
        on<Tf_form25>([=, this](Tf_form25& page) {
            if (choice.allColumns)
                page.Button2->click();
            leave(page, 1, choice);
        });
        on<Tf_form27>([=, this](Tf_form27& page) {
            for (const QString& key : choice.keys)
                test::pick(page.l_primarykeys, key);
            leave(page, 2, choice);
        });
        on<Tf_form3>([=, this](Tf_form3& page) {
            (page.*choice.layout)->click();
            leave(page, 3, choice);
        });
        on<Tf_formsql>([=, this](Tf_formsql& page) {
            page.m_sql->setPlainText(choice.where);
            leave(page, 4, choice);
        });
    }
    // Runs the expert with what is queued; forgets what the run did not use.
    bool run() {
        shown.clear();
        ended.clear();
        refusedOn = -1;
        dialogs.calls.clear();
        const bool finished = runFormExpert(nullptr, pages, db.DbProc(), kDb, request);
        dialogs.dialogHandlers.clear();
        return finished;
    }
    bool run(const Choice& choice) {
        queue(choice);
        return run();
    }

    test::ScriptedDialogs dialogs;
    TSybDatabase db;
    FormExpertPages pages;
    ModifyRequest request;
    QStringList shown;  // the pages shown, in order
    QList<int> ended;   // what each page ended with, the innermost first
    int refusedOn = -1; // the page whose "&Next >" refused
};

const QStringList kAllPages{"ostrim::Tf_form2", "ostrim::Tf_form25", "ostrim::Tf_form27",
                            "ostrim::Tf_form3", "ostrim::Tf_formsql"};

TEST_F(FormExpert, TheFirstPageListsTheTablesSortedAndIsFreedAfterTheRun) {
    QPointer<Tf_form2> first;
    QStringList tables;
    on<Tf_form2>([&](Tf_form2& page) {
        first = &page;
        EXPECT_EQ(page.windowTitle(), "Sybase Database Form Expert");
        EXPECT_EQ(page.Label1->text(), "Table Name");
        EXPECT_EQ(page.l_tablenames->DbProc(), db.DbProc());
        EXPECT_EQ(page.l_tablenames->DbName(), kDb);
        const QStringList captions{page.btn_help->text(), page.btn_back->text(),
                                   page.btn_next->text(), page.btn_cancel->text()};
        EXPECT_EQ(captions, QStringList({"&Help", "< &Back", "&Next >", "&Cancel"}));
        EXPECT_TRUE(page.btn_next->isDefault());
        tables = listed(page.l_tablenames);
        page.btn_help->click();
        EXPECT_TRUE(page.isVisible()) << "help leaves the page open";
        page.btn_cancel->click();
    });
    EXPECT_FALSE(run());
    EXPECT_TRUE(first.isNull());

    const QStringList onServer =
        test::firstColumn(db.DbProc(), "select name from sysobjects where type in ('U','S')");
    const QStringList sorted = test::sorted(onServer);
    ASSERT_NE(onServer, sorted) << "the server's order must differ for the sort to show";
    EXPECT_TRUE(sorted.contains("publishers"));
    EXPECT_TRUE(sorted.contains("sysobjects"));
    EXPECT_EQ(tables, sorted);
}

TEST_F(FormExpert, EachPageRefusesToGoOnWithoutItsChoice) {
    const struct {
        const char* name;
        Choice choice;
        int page;
        QString message;
    } cases[] = {
        {"no table", {.table = {}}, 0, "Table name is invalid !"},
        {"no column", {.allColumns = false}, 1, "Select at least one column!"},
        {"no key", {.keys = {}}, 2, "You have to select at least one key field!"},
        {"WHERE alone", {.where = "WHERE"}, 4, "Enter the where clause !"},
        {"WHERE in blanks", {.where = "  WHERE \n"}, 4, "Enter the where clause !"},
        {"lower-case where", {.where = "where"}, 4, "Enter the where clause !"},
        {"five characters", {.where = "x = 1"}, 4, "Enter the where clause !"},
        {"a clause", {.where = "WHERE 1=1"}, -1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool finished = run(c.choice);
        EXPECT_EQ(finished, c.page < 0);
        EXPECT_EQ(refusedOn, c.page);
        EXPECT_EQ(shown, c.page < 0 ? kAllPages : kAllPages.mid(0, c.page + 1));
        const std::vector<test::DialogCall> boxes = dialogs.messages();
        if (c.message.isEmpty()) {
            EXPECT_TRUE(boxes.empty());
            continue;
        }
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, c.message);
        EXPECT_EQ(boxes[0].caption, "Ostrim");
        EXPECT_EQ(boxes[0].icon, QMessageBox::NoIcon);
        EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
    }
}

TEST_F(FormExpert, CancelOnAnyPageEndsTheWholeExpert) {
    ASSERT_TRUE(run(Choice{}));
    for (int page = 0; page < 5; ++page) {
        SCOPED_TRACE(page);
        EXPECT_FALSE(run({.cancelOn = page})) << "an earlier run's finish does not count";
        EXPECT_EQ(shown, kAllPages.mid(0, page + 1));
        EXPECT_EQ(ended, QList<int>(page + 1, Cancel)) << "every open page ended with cancel";
        EXPECT_TRUE(dialogs.messages().empty());
    }
}

TEST_F(FormExpert, BackOnTheKeysPageKeepsTheChosenColumns) {
    next<Tf_form2>([](Tf_form2& page) { test::pick(page.l_tablenames, "publishers"); });
    on<Tf_form25>([&](Tf_form25& page) {
        for (const char* column : {"city", "pub_id"}) {
            test::pick(page.l_allfields, column);
            page.Button1->click();
        }
        page.btn_next->click();
        EXPECT_TRUE(page.isVisible()) << "back on the next page leaves this one open";
        EXPECT_EQ(page.chosenFields(), QStringList({"city", "pub_id"}));
        EXPECT_EQ(listed(page.l_allfields), kPublishers);
        test::pick(page.l_allfields, "state");
        page.Button1->click();
        page.btn_next->click();
    });
    on<Tf_form27>([&](Tf_form27& page) {
        EXPECT_EQ(listed(page.l_primarykeys), QStringList({"city", "pub_id"}));
        page.btn_back->click();
    });
    next<Tf_form27>([](Tf_form27& page) {
        EXPECT_EQ(listed(page.l_primarykeys), QStringList({"city", "pub_id", "state"}));
        EXPECT_TRUE(page.l_primarykeys->selectedItems().isEmpty());
        test::pick(page.l_primarykeys, "pub_id");
    });
    next<Tf_form3>();
    next<Tf_formsql>();
    ASSERT_TRUE(run());
    EXPECT_EQ(ended, QList<int>({Back, Finish, Finish, Finish, Finish, Finish}));
    EXPECT_EQ(request.columns, QStringList({"pub_id", "city", "state"}));
    EXPECT_EQ(request.keys, QStringList({"pub_id"}));
    EXPECT_EQ(request.updatable, QStringList({"city", "state"}));
}

TEST_F(FormExpert, FinishHandsOverTheChoiceWithTheKeysFirst) {
    const struct {
        QRadioButton* Tf_form3::*radio;
        ModifyLayout layout;
    } layouts[] = {{&Tf_form3::r_vertical, ModifyLayout::Vertical},
                   {&Tf_form3::r_horizontal, ModifyLayout::Horizontal},
                   {&Tf_form3::r_grid, ModifyLayout::Grid}};
    for (const auto& l : layouts) {
        SCOPED_TRACE(int(l.layout));
        ASSERT_TRUE(run({.keys = {"city"}, .layout = l.radio, .where = "WHERE state = 'CA'"}));
        EXPECT_EQ(request.table, "publishers");
        EXPECT_EQ(request.columns, QStringList({"city", "pub_id", "pub_name", "state", "country"}));
        EXPECT_EQ(request.keys, QStringList({"city"}));
        EXPECT_EQ(request.updatable, QStringList({"pub_id", "pub_name", "state", "country"}));
        EXPECT_EQ(request.where, "WHERE state = 'CA'");
        EXPECT_EQ(request.selectText, "select city,\r\npub_id,\r\npub_name,\r\nstate,\r\ncountry "
                                      "\r\nfrom publishers \r\nWHERE state = 'CA'");
        EXPECT_EQ(request.layout, l.layout);
    }
    // A double click on a table goes on as "&Next >" does.
    on<Tf_form2>([&](Tf_form2& page) {
        const QList<QListWidgetItem*> found = page.l_tablenames->findItems("stores", {});
        ASSERT_EQ(found.size(), 1);
        page.l_tablenames->setCurrentItem(found[0]);
        emit page.l_tablenames->itemDoubleClicked(found[0]);
    });
    on<Tf_form25>([&](Tf_form25& page) { page.btn_cancel->click(); });
    EXPECT_FALSE(run());
    EXPECT_EQ(shown, kAllPages.mid(0, 2));
}

TEST_F(FormExpert, ASecondRunStartsWithTheLayoutAndWhereOfTheFirst) {
    ASSERT_TRUE(
        run({.layout = &Tf_form3::r_horizontal, .where = "WHERE state = 'CA'\nAND city > 'A'"}));
    EXPECT_EQ(request.where, "WHERE state = 'CA'\r\nAND city > 'A'");

    next<Tf_form2>([](Tf_form2& page) { test::pick(page.l_tablenames, "publishers"); });
    next<Tf_form25>([](Tf_form25& page) {
        EXPECT_EQ(page.l_thefields->count(), 0);
        page.Button2->click();
    });
    next<Tf_form27>([](Tf_form27& page) { test::pick(page.l_primarykeys, "pub_id"); });
    next<Tf_form3>([](Tf_form3& page) {
        EXPECT_TRUE(page.r_horizontal->isChecked());
        EXPECT_EQ(page.layout(), ModifyLayout::Horizontal);
        EXPECT_EQ(page.picture->motif(), ExpertPicture::Motif::Horizontal);
    });
    on<Tf_formsql>([&](Tf_formsql& page) {
        EXPECT_EQ(page.windowTitle(), "Enter SQL");
        EXPECT_EQ(page.btn_next->text(), "&Finish");
        EXPECT_EQ(page.m_sql->toPlainText(), "WHERE state = 'CA'\nAND city > 'A'");
        page.btn_cancel->click();
    });
    EXPECT_FALSE(run());
    EXPECT_EQ(shown, kAllPages);
}

TEST_F(FormExpert, TheColumnsPageAddsEachColumnOnceAndMovesTheSelectedOne) {
    Tf_form25& page = *pages.form25;
    page.l_thefields->addItem("left from before");
    ASSERT_TRUE(page.start("publishers", db.DbProc()));
    EXPECT_EQ(listed(page.l_allfields), kPublishers);
    EXPECT_EQ(page.l_thefields->count(), 0);

    test::pick(page.l_allfields, "city");
    page.Button1->click();
    page.Button1->click();
    emit page.l_allfields->itemDoubleClicked(page.l_allfields->item(0));
    EXPECT_EQ(page.chosenFields(), QStringList({"city", "pub_id"}));
    emit page.l_thefields->itemDoubleClicked(page.l_thefields->item(0));
    EXPECT_EQ(page.chosenFields(), QStringList({"pub_id"})) << "a double click takes it away";

    const struct {
        int row;
        QPushButton* Tf_form25::*button;
        QStringList after;
        int selected;
    } moves[] = {
        {0, &Tf_form25::BitBtn1, kPublishers, 0},
        {4, &Tf_form25::BitBtn2, kPublishers, 4},
        {2, &Tf_form25::BitBtn1, {"pub_id", "city", "pub_name", "state", "country"}, 1},
        {2, &Tf_form25::BitBtn2, {"pub_id", "pub_name", "state", "city", "country"}, 3},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.row);
        page.Button2->click();
        EXPECT_EQ(page.chosenFields(), kPublishers) << "\">>\" puts every column in once";
        page.l_thefields->setCurrentRow(m.row);
        (page.*m.button)->click();
        EXPECT_EQ(page.chosenFields(), m.after);
        const QList<QListWidgetItem*> selected = page.l_thefields->selectedItems();
        ASSERT_EQ(selected.size(), 1);
        EXPECT_EQ(page.l_thefields->row(selected[0]), m.selected);
    }
    page.l_thefields->setCurrentRow(1);
    page.Button3->click();
    EXPECT_EQ(page.chosenFields(), QStringList({"pub_id", "state", "city", "country"}));
    page.Button4->click();
    EXPECT_EQ(page.l_thefields->count(), 0);
}

TEST(FormExpertRequest, NoColumnOrKeyIsDropped) {
    QStringList many;
    for (int i = 1; i <= 250; ++i)
        many << QString("c%1").arg(i);
    const QStringList keys = many.mid(100, 60);
    const ModifyRequest request =
        buildModifyRequest("t", keys, many, "WHERE 1=1", ModifyLayout::Grid);
    EXPECT_EQ(request.columns.size(), 250);
    EXPECT_EQ(request.columns.mid(0, 60), keys);
    EXPECT_EQ(request.updatable, many.mid(0, 100) + many.mid(160));

    const ModifyRequest one =
        buildModifyRequest("t", {"a"}, {"a"}, "WHERE a > 1", ModifyLayout::Vertical);
    EXPECT_TRUE(one.updatable.isEmpty());
    EXPECT_EQ(one.selectText, "select a \r\nfrom t \r\nWHERE a > 1");
    EXPECT_EQ(columnListSql("a\"b"),
              "select name from syscolumns where id=object_id(\"a\"\"b\") order by colid");
}

} // namespace
} // namespace ostrim
