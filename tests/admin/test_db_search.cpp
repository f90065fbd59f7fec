// The database search opened from a server window on a database of our own objects: the lines
// it lists for each choice of kinds, texts across syscomments rows and with double quotes, its
// messages, the copy and the paste of a double-clicked hit. Its statements and the like match
// without a server.
#include "admin_helpers.h"
#include "busy_connection.h"
#include "db_search.h"
#include "frame_test.h"
#include "sybquery.h"
#include "u_db_search.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <functional>

namespace ostrim {
namespace {

constexpr char kDb[] = "searchdb";
constexpr int kRow = 255; // characters of source in one syscomments row

QString padding(char c, qsizetype width) {
    return QString(width, QLatin1Char(c));
}

// "boundaryword" with its first five characters closing the first syscomments row.
QString acrossProcedure() {
    const QString head = "create procedure p_across\r\nas\r\n-- ";
    return head + padding('x', kRow - 5 - head.size()) + "boundaryword\r\nreturn 0";
}

// "needle" in the first and the third row, "boundaryword" whole in the first.
QString twoChunkProcedure() {
    QString text = "create procedure p_two\r\nas\r\n-- needle one, boundaryword\r\n";
    while (text.size() < 2 * kRow + 20)
        text += "-- " + padding('y', 60) + "\r\n";
    return text + "-- needle two\r\nreturn 0";
}

const QString kQuoteProcedure = "create procedure p_quote\r\nas\r\nselect 'say \"hi\"'\r\nreturn 0";

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
         test::runAsSa({QString("create database ") + kDb, QString("use ") + kDb, acrossProcedure(),
                        twoChunkProcedure(), kQuoteProcedure, "create table trt (a int null)",
                        "create trigger tr_s on trt for insert\r\nas\r\n-- sharedword\r\nreturn",
                        "create view v_s\r\nas\r\n-- sharedword\r\nselect a from trt",
                        "create table colt (needle_a int null, needle_b int null, c int null)"});
     }});

class DbSearch : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame();
        writeIni(test::lastLogin("sa", kDb));
        window = connect("");
        ASSERT_NE(window, nullptr);
    }
    // Opens the search from trigger and runs check on it while it is shown, then closes it with
    // its button. False when no search came.
    bool openSearch(const std::function<void(Tf_db_search&)>& check,
                    const std::function<void()>& trigger = {}) {
        bool shown = false;
        dialogs.dialogHandlers.push_back([&](QDialog& d) {
            auto* search = qobject_cast<Tf_db_search*>(&d);
            if (!search)
                return int(QDialog::Rejected);
            shown = true;
            opened = search;
            d.show();
            QApplication::processEvents();
            check(*search);
            search->Button1->click();
            EXPECT_FALSE(d.isVisible()) << "Close closes the search";
            return d.result();
        });
        if (trigger)
            trigger();
        else
            window->SearchDatabase2->trigger();
        QApplication::processEvents();
        return shown;
    }
    // Searches text with the kinds checked as given; the messages it raised.
    std::vector<test::DialogCall> search(Tf_db_search& d, const QString& text,
                                         std::array<bool, 4> kinds = {true, true, true, false}) {
        const size_t before = dialogs.messages().size();
        const std::array boxes{d.chk_procedures, d.chk_triggers, d.chk_views, d.chk_tables};
        for (size_t i = 0; i < boxes.size(); ++i)
            boxes[i]->setChecked(kinds[i]);
        d.e_searchtext->setText(text);
        d.Button2->click();
        const std::vector<test::DialogCall> all = dialogs.messages();
        return {all.begin() + qsizetype(before), all.end()};
    }
    static void expectBox(const std::vector<test::DialogCall>& boxes, const QString& text) {
        ASSERT_EQ(boxes.size(), 1u) << text.toStdString();
        EXPECT_EQ(boxes[0].text, text);
        EXPECT_EQ(boxes[0].caption, "Database Search");
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    }
    static void doubleClick(Tf_db_search& d, const QString& line) {
        const QList<QListWidgetItem*> found = d.lb_search->findItems(line, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << line.toStdString();
        const QPoint at = d.lb_search->visualItemRect(found[0]).center();
        // The view takes a double click only on the item its press went to.
        QTest::mouseClick(d.lb_search->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(d.lb_search->viewport(), Qt::LeftButton, {}, at);
    }

    Tserverform* window = nullptr;
    QPointer<Tf_db_search> opened;
};

TEST_F(DbSearch, TheToolButtonOpensItOnTheWindowsConnection) {
    ASSERT_TRUE(window->SearchDatabase2->isEnabled());
    EXPECT_EQ(window->SearchDatabase2->text(), "&Search Database");
    ASSERT_TRUE(window->toolButton(27)->isEnabled());
    ASSERT_TRUE(openSearch(
        [&](Tf_db_search& d) {
            EXPECT_EQ(d.parentWidget(), window);
            EXPECT_EQ(d.windowTitle(), "Database Search");
            EXPECT_EQ(d.q_search->DbProc(), window->sybase->DbProc());
            EXPECT_EQ(d.q_search->DbName(), kDb);
            EXPECT_EQ(d.Label1->text(), "Search Text:");
            EXPECT_TRUE(d.e_searchtext->text().isEmpty());
            const struct {
                QCheckBox* box;
                const char* caption;
                bool checked;
            } boxes[] = {{d.chk_procedures, "Procedures", true},
                         {d.chk_triggers, "Triggers", true},
                         {d.chk_views, "Views", true},
                         {d.chk_tables, "Tables", false}};
            for (const auto& b : boxes) {
                EXPECT_EQ(b.box->text(), b.caption);
                EXPECT_EQ(b.box->isChecked(), b.checked) << b.caption;
            }
            EXPECT_EQ((QStringList{d.Button2->text(), d.Button3->text(), d.Button1->text()}),
                      (QStringList{"&Search", "&Copy", "&Close"}));
            EXPECT_FALSE(d.m_procs->isVisible());
            EXPECT_EQ(d.lb_search->count(), 0);
            // The database is the window's: its own procedure is found.
            EXPECT_TRUE(search(d, "needle").empty());
            EXPECT_EQ(test::items(d.lb_search), QStringList{"P  - p_two"});
        },
        [&] { window->toolButton(27)->click(); }));
    EXPECT_EQ(opened.data(), nullptr) << "freed on return";

    // Escape closes it too.
    bool closed = false;
    dialogs.dialogHandlers.push_back([&](QDialog& d) {
        d.show();
        QApplication::processEvents();
        QTest::keyClick(&d, Qt::Key_Escape);
        closed = !d.isVisible();
        return d.result();
    });
    window->SearchDatabase2->trigger();
    EXPECT_TRUE(closed);

    // Not while a results window reads from the connection: the window says so instead.
    {
        const BusyConnection loading(window->sybase->DbProc());
        window->SearchDatabase2->trigger();
    }
    int searches = 0;
    for (const test::DialogCall& c : dialogs.calls)
        searches += c.kind == "exec" && c.dialogClass == "ostrim::Tf_db_search";
    EXPECT_EQ(searches, 2);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_TRUE(dialogs.messages()[0].text.startsWith("A results window is still loading rows"));
}

TEST_F(DbSearch, BlankTextAndNoKindGiveTheirMessages) {
    ASSERT_TRUE(openSearch([&](Tf_db_search& d) {
        ASSERT_TRUE(search(d, "needle").empty());
        const QStringList before = test::items(d.lb_search);
        ASSERT_FALSE(before.isEmpty());
        expectBox(search(d, "   "), "Please enter text to search for !");
        EXPECT_EQ(test::items(d.lb_search), before) << "the list is left as it was";
        expectBox(search(d, "", {true, true, true, true}), "Please enter text to search for !");

        expectBox(search(d, "needle", {false, false, false, false}), "Text not Found !");
        EXPECT_TRUE(test::items(d.lb_search).isEmpty());
        EXPECT_FALSE(d.found());
    }));
}

TEST_F(DbSearch, EachObjectOnceInTheOrderOfItsKind) {
    const QStringList rows =
        test::lastValue(window->sybase->DbProc(), "select count(*) from syscomments where id = "
                                                  "object_id(\"p_two\") and text like \"%needle%\"")
            .split(' ', Qt::SkipEmptyParts);
    ASSERT_EQ(rows, QStringList{"2"}) << "needle is in two rows of p_two";
    const QStringList across = test::firstColumn(
        window->sybase->DbProc(),
        "select text from syscomments where id = object_id(\"p_across\") order by colid2, colid");
    ASSERT_EQ(across.size(), 2);
    ASSERT_TRUE(across[0].endsWith("bound") && across[1].startsWith("aryword"))
        << "boundaryword spans the row boundary";

    const struct {
        const char* text;
        std::array<bool, 4> kinds;
        QStringList lines;
    } cases[] = {
        {"needle", {true, true, true, true}, {"P  - p_two", "T - colt"}},
        {"needle_", {false, false, false, true}, {"T - colt"}},
        {"sharedword", {true, true, true, false}, {"TR - tr_s", "V  - v_s"}},
        {"sharedword", {false, true, false, false}, {"TR - tr_s"}},
        {"sharedword", {false, false, true, false}, {"V  - v_s"}},
        // The like query's hit first, then the procedure only the joined source holds.
        {"boundaryword", {true, true, true, false}, {"P  - p_two", "P  - p_across"}},
        {"bound_ryw%rd", {true, false, false, false}, {"P  - p_two", "P  - p_across"}},
        {"[a-c]ound[^b]ryword", {true, false, false, false}, {"P  - p_two", "P  - p_across"}},
        {"boundaryword", {false, true, true, true}, {}},
        {"BOUNDARYWORD", {true, true, true, true}, {}},
        {"say \"hi\"", {true, true, true, true}, {"P  - p_quote"}},
        {"\"", {true, true, true, true}, {"P  - p_quote"}},
    };
    ASSERT_TRUE(openSearch([&](Tf_db_search& d) {
        for (const auto& c : cases) {
            const std::vector<test::DialogCall> boxes = search(d, c.text, c.kinds);
            EXPECT_EQ(test::items(d.lb_search), c.lines) << c.text;
            EXPECT_EQ(d.found(), !c.lines.isEmpty()) << c.text;
            if (c.lines.isEmpty())
                expectBox(boxes, "Text not Found !");
            else
                EXPECT_TRUE(boxes.empty()) << c.text << ": " << boxes.front().text.toStdString();
        }
    }));
}

TEST_F(DbSearch, CopyJoinsTheLinesWithCrLf) {
    ASSERT_TRUE(openSearch([&](Tf_db_search& d) {
        QApplication::clipboard()->setText("before");
        search(d, "needle", {true, true, true, true});
        d.Button3->click();
        EXPECT_EQ(QApplication::clipboard()->text(), "P  - p_two\r\nT - colt");
        EXPECT_FALSE(d.m_procs->isVisible());
    }));
}

TEST_F(DbSearch, DoubleClickPastesTheSourceAsPasteObjectTextDoes) {
    window->options.AppendPaste = false;
    window->options.PasteDROP = true;
    window->options.AppendGo = true;
    // What Paste Object Text gives for p_across.
    window->type_list->setCurrentIndex(window->type_list->findText("Procedures"));
    emit window->type_list->activated(window->type_list->currentIndex());
    window->object_list->setCurrentIndex(window->object_list->findText("p_across"));
    emit window->object_list->activated(window->object_list->currentIndex());
    window->toolButton(2)->click();
    const QString pasted = window->memo->toPlainText();
    ASSERT_TRUE(pasted.startsWith("drop procedure p_across\n")) << pasted.toStdString();
    window->memo->setPlainText("unchanged");
    window->SaveName.clear();

    ASSERT_TRUE(openSearch([&](Tf_db_search& d) {
        search(d, "needle", {true, true, true, true});
        doubleClick(d, "T - colt");
        EXPECT_EQ(window->memo->toPlainText(), "unchanged") << "a table has no source";
        search(d, "boundaryword");
        doubleClick(d, "P  - p_across");
        EXPECT_EQ(window->memo->toPlainText(), pasted);
        EXPECT_EQ(window->SaveName, "p_across");
        EXPECT_TRUE(d.isVisible()) << "the search stays open for the next paste";
        search(d, "sharedword");
        doubleClick(d, "TR - tr_s");
        EXPECT_TRUE(window->memo->toPlainText().startsWith("drop trigger tr_s\n"));
        EXPECT_TRUE(window->memo->toPlainText().contains("-- sharedword"));
        EXPECT_EQ(window->SaveName, "tr_s");
    }));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST(DbSearchStatements, TheSearchTextGoesBetweenQuotesDoubled) {
    const QString source =
        "select distinct so.type + \" - \" + so.name from syscomments sc,sysobjects so where "
        "sc.text like ";
    EXPECT_EQ(searchSql(SearchKind::Procedures, "a\"b%"),
              source + "\"%a\"\"b%%\" and so.id = sc.id and so.type=\"P\"");
    EXPECT_EQ(searchSql(SearchKind::Triggers, "x"),
              source + "\"%x%\" and so.id = sc.id and so.type=\"TR\"");
    EXPECT_EQ(searchSql(SearchKind::Views, " x "),
              source + "\"% x %\" and so.id = sc.id and so.type=\"V\"");
    EXPECT_EQ(searchSql(SearchKind::Tables, "\"\""),
              "select distinct \"T - \" + so.name from syscolumns sc,sysobjects so where "
              "sc.name like \"%\"\"\"\"%\" and so.id = sc.id and so.type=\"U\"");
    EXPECT_EQ(sourceScanSql(SearchKind::Views, "q\"", "colid2, colid"),
              "select sc.id, sc.number, so.type + \" - \" + so.name, sc.text from syscomments "
              "sc,sysobjects so where so.id = sc.id and so.type=\"V\" and so.id not in (select "
              "id from syscomments where text like \"%q\"\"%\") order by sc.id, sc.number, "
              "sc.colid2, sc.colid");
}

TEST(DbSearchStatements, LikePatternsMatchAsTheServersDo) {
    const struct {
        const char* pattern;
        const char* text;
        bool matches;
    } cases[] = {
        {"%abc%", "xxabcxx", true},
        {"%abc%", "xxabxcx", false},
        {"%abc%", "ABC", false},
        {"abc", "abc", true},
        {"abc", "abcd", false},
        {"a%", "abc", true},
        {"%c", "abc", true},
        {"%c", "abcd", false},
        {"a%c", "ac", true},
        {"ab%bc", "abc", false},
        {"%a_c%", "xabcx", true},
        {"%a_c%", "xacx", false},
        {"%a%b%c%", "xaxbxcx", true},
        {"%a%b%c%", "xcxbxax", false},
        {"%", "", true},
        {"", "", true},
        {"", "a", false},
        {"_", "", false},
        {"%[a-c]x%", "..bx..", true},
        {"%[a-c]x%", "..dx..", false},
        {"%[^a-c]x%", "..dx", true},
        {"%[^a-c]x%", "bx", false},
        {"%[xy]%", "..y", true},
        {"%[ab%", "x[abz", true},
        {"%%a%%", "a", true},
        {"%aab%", "aaab", true},
        {"%\"%", "say \"hi\"", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LikePattern(c.pattern).matches(QString(c.text)), c.matches)
            << c.pattern << " / " << c.text;
}

} // namespace
} // namespace ostrim
