// The object differences window against the demo server: opened from a server window, both
// sides connected and moved to a database, the names only one side has, the tables whose
// layout and the objects whose text differ between the two demo databases, the side-by-side
// view and the report.
#include "frame_test.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "u_diff.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}, .entries = {{"DEMO"}}});

class Diff : public test::FrameTest<> {
protected:
    void TearDown() override {
        diff.reset();
        FrameTest::TearDown();
    }
    Tf_diff& open() {
        diff = std::make_unique<Tf_diff>();
        diff->set_login("sa", "", "DEMO");
        return *diff;
    }
    // Connects the side through its button, answering the login dialog with the server DEMO.
    void connectSide(int side) {
        dialogs.dialogHandlers.push_back([](QDialog& d) {
            d.findChild<QLineEdit*>("username")->setText("sa");
            d.findChild<QLineEdit*>("Password")->setText("");
            d.findChild<QComboBox*>("server")->setEditText("DEMO");
            return int(QDialog::Accepted);
        });
        (side == 1 ? diff->btn_connect1 : diff->btn_connect2)->click();
    }
    // Chooses database in the side's combo as the user does.
    void choose(int side, const QString& database) {
        TSybComboBox* combo = side == 1 ? diff->cmb_databases1 : diff->cmb_databases2;
        const int index = combo->findText(database);
        ASSERT_GE(index, 0) << database.toStdString();
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    // Opens the window unless a test set one up, and compares the two databases.
    void compare(const QString& database1, const QString& database2) {
        if (!diff)
            open();
        connectSide(1);
        connectSide(2);
        choose(1, database1);
        choose(2, database2);
        diff->ToolButton2->click();
    }
    std::vector<QListWidget*> lists() const {
        return {diff->lb_procedures1, diff->lb_procedures2, diff->lb_views1,  diff->lb_views2,
                diff->lb_triggers1,   diff->lb_triggers2,   diff->lb_tables1, diff->lb_tables2,
                diff->lb_layout1,     diff->lb_layout2,     diff->lb_text1,   diff->lb_text2};
    }
    QStringList allNames() const {
        QStringList names;
        for (const QListWidget* list : lists())
            names << list->objectName() + ":" + test::items(list).join(",");
        return names;
    }
    void doubleClick(QListWidget* list, const QString& name) {
        const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        emit list->itemDoubleClicked(found[0]);
    }

    std::unique_ptr<Tf_diff> diff;
};

TEST_F(Diff, FindDifferencesOpensTheWindowInTheFrameWithTheServerWindowsLogin) {
    frame();
    writeIni(test::lastLogin("sa", "master"));
    Tserverform* window = connect("");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->FindDifferences1->isEnabled());
    window->FindDifferences1->trigger();
    QApplication::processEvents();
    Tf_diff* opened = nullptr;
    for (QMdiSubWindow* sub : main->mdiArea()->subWindowList())
        if (auto* d = qobject_cast<Tf_diff*>(sub->widget()))
            opened = d;
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->windowTitle(), "Diff");
    EXPECT_EQ(opened->sybase1->ServerName(), "DEMO");
    EXPECT_EQ(opened->sybase1->UserName(), "sa");
    EXPECT_EQ(opened->sybase2->UserName(), "sa");
    EXPECT_TRUE(opened->sybase2->ServerName().isEmpty()) << "the login dialog chooses it";
    EXPECT_EQ(opened->sybase1->DBName(), "master");
    for (QCheckBox* box : {opened->chk_procedures, opened->chk_triggers, opened->chk_views,
                           opened->chk_tables, opened->chk_white_space})
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    const int before = int(main->mdiArea()->subWindowList().size());
    opened->ToolButton1->click();
    QApplication::processEvents();
    EXPECT_EQ(int(main->mdiArea()->subWindowList().size()), before - 1) << "Close closes it";
}

TEST_F(Diff, ConnectFillsTheSortedComboButStaysInMasterUntilChosen) {
    open();
    connectSide(1);
    ASSERT_TRUE(diff->sybase1->Connected());
    EXPECT_EQ(diff->btn_connect1->text(), "Disconnect Server 1");
    EXPECT_EQ(test::items(diff->cmb_databases1),
              (QStringList{"master", "model", "ostrimdemo", "ostrimdemo2", "tempdb"}));
    EXPECT_EQ(diff->cmb_databases1->currentText(), "master");
    EXPECT_EQ(diff->e_server1->text(), "DEMO");
    EXPECT_TRUE(diff->e_database1->text().isEmpty());
    EXPECT_EQ(diff->sybase1->DBName(), "master");
    choose(1, "ostrimdemo2");
    EXPECT_EQ(diff->sybase1->DBName(), "ostrimdemo2");
    EXPECT_EQ(test::lastValue(diff->sybase1->DbProc(), "select db_name()"), "ostrimdemo2");
    EXPECT_EQ(diff->e_database1->text(), "ostrimdemo2");

    diff->btn_connect1->click();
    EXPECT_FALSE(diff->sybase1->Connected());
    EXPECT_EQ(diff->btn_connect1->text(), "Connect Server 1");
    EXPECT_EQ(diff->cmb_databases1->count(), 0);
    EXPECT_TRUE(diff->cmb_databases1->currentText().isEmpty());
    EXPECT_TRUE(diff->e_server1->text().isEmpty());
}

TEST_F(Diff, TheTwoDemoDatabasesDifferExactlyAsBuilt) {
    compare("ostrimdemo", "ostrimdemo2");
    EXPECT_EQ(allNames(),
              (QStringList{"lb_procedures1:", "lb_procedures2:", "lb_views1:store_totals",
                           "lb_views2:", "lb_triggers1:", "lb_triggers2:reviewtrig",
                           "lb_tables1:", "lb_tables2:reviews", "lb_layout1:blurbs,sales",
                           "lb_layout2:blurbs,sales", "lb_text1:byroyalty", "lb_text2:byroyalty"}));
}

TEST_F(Diff, UncheckedKindsLeaveTheirListsEmpty) {
    open();
    diff->chk_tables->setChecked(false);
    diff->chk_layout->setChecked(false);
    diff->chk_text->setChecked(false);
    compare("ostrimdemo", "ostrimdemo2");
    EXPECT_EQ(allNames(),
              (QStringList{"lb_procedures1:", "lb_procedures2:", "lb_views1:store_totals",
                           "lb_views2:", "lb_triggers1:", "lb_triggers2:reviewtrig", "lb_tables1:",
                           "lb_tables2:", "lb_layout1:", "lb_layout2:", "lb_text1:", "lb_text2:"}));
}

TEST_F(Diff, NamesDifferingOnlyInCaseAreTheSame) {
    test::runAsSa({"create procedure Case_Proc as select 1"}, "ostrimdemo");
    test::runAsSa({"create procedure case_proc as select 1", "create procedure only_two as return"},
                  "ostrimdemo2");
    compare("ostrimdemo", "ostrimdemo2");
    EXPECT_TRUE(test::items(diff->lb_procedures1).isEmpty());
    EXPECT_EQ(test::items(diff->lb_procedures2), QStringList{"only_two"});
    // Their texts differ in the name's case, which the text compare does see; the server's
    // binary sort order puts capitals first.
    EXPECT_EQ(test::items(diff->lb_text1), (QStringList{"Case_Proc", "byroyalty"}));
    EXPECT_EQ(test::items(diff->lb_text2), (QStringList{"byroyalty", "case_proc"}));
}

TEST_F(Diff, ADisconnectedSideDoesNothing) {
    compare("ostrimdemo", "ostrimdemo2");
    const QStringList found = allNames();
    diff->btn_connect2->click();
    ASSERT_FALSE(diff->sybase2->Connected());
    const std::size_t callsBefore = dialogs.calls.size();
    diff->ToolButton2->click();
    EXPECT_EQ(allNames(), found) << "the lists keep what the last compare found";
    EXPECT_EQ(dialogs.calls.size(), callsBefore) << "and nothing is shown";
    diff->btn_connect1->click();
    diff->ToolButton2->click();
    EXPECT_EQ(allNames(), found);
}

TEST_F(Diff, WhiteSpaceOnlyChangeHiddenWhenIgnoredShownOtherwise) {
    test::runAsSa({"create procedure spaced as\nselect 1\nreturn"}, "ostrimdemo");
    test::runAsSa({"create procedure spaced   as\r\n\tselect  1\r\n\r\nreturn"}, "ostrimdemo2");
    compare("ostrimdemo", "ostrimdemo2");
    EXPECT_EQ(test::items(diff->lb_text1), QStringList{"byroyalty"});
    EXPECT_EQ(test::items(diff->lb_text2), QStringList{"byroyalty"});
    diff->chk_white_space->setChecked(false);
    diff->ToolButton2->click();
    EXPECT_EQ(test::items(diff->lb_text1), (QStringList{"byroyalty", "spaced"}));
    EXPECT_EQ(test::items(diff->lb_text2), (QStringList{"byroyalty", "spaced"}));
}

TEST_F(Diff, SideBySideMarksExactlyTheChangedProcedureLines) {
    compare("ostrimdemo", "ostrimdemo2");
    doubleClick(diff->lb_text1, "byroyalty");
    QPointer<Tf_diff_view> view = diff->lastView;
    ASSERT_TRUE(view);
    EXPECT_TRUE(view->isVisible());
    const QStringList one = view->memo1->toPlainText().split('\n');
    const QStringList two = view->memo2->toPlainText().split('\n');
    ASSERT_EQ(one.size(), 3) << view->memo1->toPlainText().toStdString();
    ASSERT_EQ(two.size(), 4) << view->memo2->toPlainText().toStdString();
    EXPECT_EQ(one[0], "create procedure byroyalty @percentage int = 100");
    EXPECT_EQ(two[0], one[0]);
    // demo2.sql adds a comment and changes the select.
    EXPECT_EQ(view->markedLines1(), QList<int>{2});
    EXPECT_EQ(view->markedLines2(), (QList<int>{2, 3}));
    EXPECT_EQ(two[2], "-- Ordered by royalty share since release 2.");

    view->btn_copy->click();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied, "--- DEMO/ostrimdemo/byroyalty\n"
                      "+++ DEMO/ostrimdemo2/byroyalty\n"
                      "@@ -1,3 +1,4 @@\n"
                      " " +
                          one[0] +
                          "\n as\n"
                          "-" +
                          one[2] +
                          "\n"
                          "+" +
                          two[2] +
                          "\n"
                          "+" +
                          two[3] + "\n");
    view->btn_close->click();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(view) << "the view frees itself when closed";
}

TEST_F(Diff, SideBySideOfATableShowsItsCreateTableAndIndexes) {
    compare("ostrimdemo", "ostrimdemo2");
    doubleClick(diff->lb_layout2, "sales");
    ASSERT_TRUE(diff->lastView);
    const QStringList one = diff->lastView->memo1->toPlainText().split('\n');
    const QStringList two = diff->lastView->memo2->toPlainText().split('\n');
    ASSERT_FALSE(one.isEmpty());
    EXPECT_EQ(one[0], "create table sales");
    const int changed1 =
        int(one.indexOf("create nonclustered index salesdateind on sales (ord_date) "));
    const int changed2 =
        int(two.indexOf("create nonclustered index salesdateind on sales (ord_date, stor_id) "));
    ASSERT_GE(changed1, 0) << one.join('\n').toStdString();
    ASSERT_GE(changed2, 0) << two.join('\n').toStdString();
    EXPECT_EQ(diff->lastView->markedLines1(), QList<int>{changed1});
    EXPECT_EQ(diff->lastView->markedLines2(), QList<int>{changed2});

    doubleClick(diff->lb_layout1, "blurbs");
    ASSERT_TRUE(diff->lastView);
    const QStringList blurbs1 = diff->lastView->memo1->toPlainText().split('\n');
    ASSERT_EQ(diff->lastView->markedLines1().size(), 1)
        << diff->lastView->memo1->toPlainText().toStdString() << "|"
        << diff->lastView->memo2->toPlainText().toStdString();
    EXPECT_TRUE(blurbs1[diff->lastView->markedLines1()[0]].contains("varchar(6)"));
    ASSERT_EQ(diff->lastView->markedLines2().size(), 1);
    EXPECT_TRUE(diff->lastView->memo2->toPlainText()
                    .split('\n')[diff->lastView->markedLines2()[0]]
                    .contains("char(6)"));
}

TEST_F(Diff, SaveReportWritesEveryListOrSaysWhyNot) {
    compare("ostrimdemo", "ostrimdemo2");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    dialogs.fileAnswers.push_back(QString());
    diff->btn_save_report->click();
    ASSERT_FALSE(dialogs.calls.empty());
    EXPECT_EQ(dialogs.calls.back().kind, "save");
    EXPECT_EQ(dialogs.calls.back().caption, "Save report");
    EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "cancelled: nothing written";
    EXPECT_TRUE(dialogs.messages().empty());

    const QString missing = dir.filePath("missing/report.txt");
    dialogs.fileAnswers.push_back(missing);
    diff->btn_save_report->click();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith(missing))
        << dialogs.messages()[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(missing));

    const QString path = dir.filePath("report.txt");
    dialogs.fileAnswers.push_back(path);
    diff->btn_save_report->click();
    EXPECT_EQ(dialogs.messages().size(), 1u) << "written without a box";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()).toStdString(),
              "Object differences\n"
              "Side 1: DEMO/ostrimdemo\n"
              "Side 2: DEMO/ostrimdemo2\n"
              "\nProcedures, side 1:\n"
              "\nProcedures, side 2:\n"
              "\nViews, side 1:\n    store_totals\n"
              "\nViews, side 2:\n"
              "\nTriggers, side 1:\n"
              "\nTriggers, side 2:\n    reviewtrig\n"
              "\nTables, side 1:\n"
              "\nTables, side 2:\n    reviews\n"
              "\nTables with different layout, side 1:\n    blurbs\n    sales\n"
              "\nTables with different layout, side 2:\n    blurbs\n    sales\n"
              "\nDifferent text, side 1:\n    byroyalty\n"
              "\nDifferent text, side 2:\n    byroyalty\n");
}

} // namespace
} // namespace ostrim
