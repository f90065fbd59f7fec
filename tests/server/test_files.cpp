// The server window's files against the demo server: open, reload, new, save and save as, the
// recent-file list, the SQL history, printing, the command-line file and the file-name field.
#include "file_edit.h"
#include "file_helpers.h"
#include "file_modes.h"
#include "frame_test.h"
#include "pdf_print.h"
#include "window_helpers.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

namespace ostrim {
namespace {

using test::ScriptedDialogs;

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}, .entries = {{"DEMO"}}});

class FilesAtStart : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("sa", "ostrimdemo"));
        closingAnswers.assign(20, QMessageBox::Yes);
    }
    Tserverform* open(const QString& commandLineFile = {}) {
        frame(commandLineFile, false);
        main->show();
        return connect();
    }
};

// A connected window for each test.
class Files : public FilesAtStart {
protected:
    void SetUp() override {
        FilesAtStart::SetUp();
        w = open();
        ASSERT_NE(w, nullptr);
    }
    static QStringList reopenItems(Tserverform* window) {
        QStringList shown;
        for (QAction* a : window->hist)
            if (a->isVisible())
                shown << a->text();
        return shown;
    }
    void openFile(Tserverform* window, const QString& path) {
        dialogs.fileAnswers.push_back(path);
        window->Open2->trigger();
    }

    Tserverform* w = nullptr;
};

TEST_F(Files, OpenLoadsTheFileAndKeepsTheRecentListInFirstOpeningOrder) {
    const QString a = writeFile("a.sql", "select 1\r\ngo\r\n");
    const QString b = writeFile("b.sql", "select 2\n");
    openFile(w, a);
    EXPECT_EQ(w->memo->toPlainText(), "select 1\ngo");
    EXPECT_EQ(w->DocName, a);
    EXPECT_EQ(w->SaveName, a);
    EXPECT_EQ(w->windowTitle(), "DEMO/ostrimdemo:sa - " + a);
    EXPECT_EQ(w->statusPanels[3]->text(), "");
    EXPECT_EQ(main->config.DefaultDir, home.path());
    openFile(w, b);
    openFile(w, a);
    EXPECT_EQ(reopenItems(w), (QStringList{"&0 " + a, "&1 " + b}));

    // Eleven files: the first falls out, the rest keep their order.
    for (int i = 0; i < 9; ++i)
        openFile(w, writeFile(QString("f%1.sql").arg(i), "x"));
    const QStringList items = reopenItems(w);
    ASSERT_EQ(items.size(), 10);
    EXPECT_EQ(items[0], "&0 " + b);
    EXPECT_EQ(items[9], "&9 " + home.filePath("f8.sql"));

    // A cancelled dialog changes nothing.
    const QString before = w->memo->toPlainText();
    dialogs.fileAnswers.push_back(QString());
    w->Open2->trigger();
    EXPECT_EQ(w->memo->toPlainText(), before);
    EXPECT_EQ(reopenItems(w), items);

    // Reload from the list over changed text asks first; No keeps the text.
    w->memo->insertPlainText("changed ");
    const QString changed = w->memo->toPlainText();
    dialogs.messageAnswers = {QMessageBox::No};
    w->hist[0]->trigger();
    test::expectLastBox(dialogs, 1, "Contents has changed. Continue ?", "Close");
    EXPECT_EQ(w->memo->toPlainText(), changed);
    EXPECT_TRUE(w->Modified);
    dialogs.messageAnswers = {QMessageBox::Yes};
    w->hist[0]->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "select 2");

    // The list goes to the configuration file when the window closes.
    w->Modified = false;
    main->Disconnectall1->trigger();
    QApplication::processEvents();
    const QByteArray ini = test::readBytes(home.filePath("Ostrim.Ini"));
    EXPECT_TRUE(ini.contains(("History1=" + b + "\r\n").toUtf8())) << ini.toStdString();
}

TEST_F(Files, AFileThatCannotBeReadLeavesTheText) {
    w->memo->setPlainText("keep me");
    dialogs.messageAnswers = {QMessageBox::Yes};
    openFile(w, home.filePath("missing.sql"));
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(dialogs.messages()[1].text.startsWith(home.filePath("missing.sql") + ": "));
    EXPECT_EQ(w->memo->toPlainText(), "keep me");
    EXPECT_TRUE(reopenItems(w).isEmpty());
}

TEST_F(Files, NewAsksAboutChangedTextAndSaveAsksForAName) {
    const QString loaded = writeFile("loaded.sql", "select 1\n");
    openFile(w, loaded);
    w->memo->insertPlainText("-- edited\n");
    ASSERT_TRUE(w->Modified);

    dialogs.messageAnswers = {QMessageBox::No};
    w->New2->trigger();
    test::expectLastBox(dialogs, 1, "Contents has changed. Continue ?", "New");
    EXPECT_TRUE(w->memo->toPlainText().startsWith("-- edited"));
    EXPECT_EQ(w->DocName, loaded);

    dialogs.messageAnswers = {QMessageBox::Yes};
    w->New2->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "");
    EXPECT_EQ(w->DocName, "Untitled.sql");
    EXPECT_TRUE(w->SaveName.isEmpty());
    EXPECT_FALSE(w->Modified);
    EXPECT_EQ(w->windowTitle(), "DEMO/ostrimdemo:sa - Untitled.sql");
    // An empty new text asks nothing on the next New.
    w->New2->trigger();
    EXPECT_EQ(dialogs.messages().size(), 2u);

    // New, type, Save: the save dialog is shown and the loaded file stays as it was.
    w->memo->insertPlainText("select 2");
    dialogs.fileAnswers.push_back(QString());
    w->Save2->trigger();
    EXPECT_EQ(calls("save"), 1);
    EXPECT_EQ(test::readBytes(loaded), "select 1\n");

    // Save as writes the new script with the system's LF lines, adds .sql, and later Saves
    // write there without asking.
    const QString target = home.filePath("out");
    dialogs.fileAnswers.push_back(target);
    w->Saveas2->trigger();
    EXPECT_EQ(test::readBytes(target + ".sql"), "select 2\n");
    EXPECT_FALSE(w->Modified);
    EXPECT_EQ(w->DocName, target + ".sql");
    EXPECT_EQ(w->windowTitle(), "DEMO/ostrimdemo:sa - " + target + ".sql");
    w->memo->append("go");
    w->Save2->trigger();
    EXPECT_EQ(calls("save"), 2);
    EXPECT_EQ(test::readBytes(target + ".sql"), "select 2\ngo\n");
    EXPECT_EQ(w->statusPanels[3]->text(), "");

    // The tool-button New also resets the font after its question.
    w->memo->insertPlainText("x");
    dialogs.messageAnswers = {QMessageBox::Yes};
    w->toolButton(3)->click();
    EXPECT_EQ(w->memo->font().family(), "Courier");
    EXPECT_EQ(w->memo->font().pointSize(), 9);
}

TEST_F(Files, SaveAfterAnObjectPasteProposesTheObjectsName) {
    w->type_list->setCurrentText("Procedures");
    w->type_listChange();
    ASSERT_GT(w->object_list->count(), 0);
    const QString procedure = w->object_list->currentText();
    w->Button1Click();
    ASSERT_FALSE(w->memo->document()->isEmpty());
    EXPECT_EQ(w->SaveName, procedure);
    main->config.DefaultDir = home.path();
    dialogs.fileAnswers.push_back(QString());
    w->Save2->trigger();
    ASSERT_EQ(calls("save"), 1);
    EXPECT_EQ(dialogs.calls.back().text, home.filePath(procedure));
}

TEST_F(Files, TheSqlHistoryKeepsDistinctBatchesInItsFile) {
    const QString file = home.filePath("Ostrim.his");
    auto runText = [this](const QString& text) {
        w->memo->setPlainText(text);
        w->Run1->trigger();
    };
    runText("select 1");
    runText("  select 1 \n");
    EXPECT_EQ(main->sqlHistory.count(), 1);
    EXPECT_EQ(w->cmb_history->count(), 1);
    runText("select 2");
    // The file follows every run; its format and the limits are test_history_file.cpp's.
    SqlHistory reread;
    ASSERT_TRUE(read_history_file(file, reread));
    ASSERT_EQ(reread.count(), 2);
    EXPECT_EQ(trimHistoryText(reread.entry(1)), "select 2");

    // Paste SQL History puts the shown entry at the caret.
    w->memo->clear();
    w->cmb_history->setCurrentIndex(0);
    w->findChild<QAction*>("PasteSQLHistory1")->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "select 2");

    w->ClearHistory1->trigger();
    EXPECT_EQ(w->cmb_history->count(), 0);
    EXPECT_EQ(test::readBytes(file), "");
}

TEST_F(Files, OpenWithNewWindowAsksInTheNewWindow) {
    const QString a = writeFile("a.sql", "select 'new window'\n");
    w->options.OpenNewWindow = true;
    dialogs.fileAnswers.push_back(a);
    w->Open2->trigger();
    QApplication::processEvents();
    auto* other = qobject_cast<Tserverform*>(main->currentServer.data());
    ASSERT_NE(other, nullptr);
    ASSERT_NE(other, w);
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(other->parentWidget()));
    QApplication::processEvents();
    EXPECT_EQ(calls("open"), 1);
    EXPECT_EQ(other->memo->toPlainText(), "select 'new window'");
    EXPECT_EQ(main->openDialogPending, 0);
    EXPECT_EQ(w->memo->toPlainText(), "");
    EXPECT_TRUE(reopenItems(other).isEmpty());
}

TEST_F(FilesAtStart, TheCommandLineFileOpensInTheFirstWindow) {
    const QString start = writeFile("start.sql", "select 'from the command line'\n");
    Tserverform* w = open(start);
    ASSERT_NE(w, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(w->memo->toPlainText(), "select 'from the command line'");
    EXPECT_FALSE(main->openAtStart);
}

TEST_F(Files, PrintAllPrintsTheEditorsLines) {
    w->memo->setPlainText("select au_lname\nfrom authors\nwhere state = 'CA'");
    test::printNextToPdf(dialogs, home.filePath("text.pdf"));
    w->Print2->trigger();
    const QStringList lines = test::pdfText(home.filePath("text.pdf"))
                                  .split('\n', Qt::SkipEmptyParts)
                                  .replaceInStrings(QRegularExpression("\\s+$"), "");
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0].trimmed(), "select au_lname");
    EXPECT_EQ(lines[1].trimmed(), "from authors");
    EXPECT_EQ(lines[2].trimmed(), "where state = 'CA'");
}

TEST_F(Files, OpenOverChangedTextAsksAndNoKeepsIt) {
    const QString a = writeFile("a.sql", "select 'a'\n");
    w->memo->setPlainText("my unsaved work");
    ASSERT_TRUE(w->Modified);
    dialogs.messageAnswers = {QMessageBox::No};
    w->Open2->trigger();
    test::expectLastBox(dialogs, 1, "Contents has changed. Continue ?", "Close", std::nullopt,
                        QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(calls("open"), 0) << "No cancels the open before its dialog";
    EXPECT_EQ(w->memo->toPlainText(), "my unsaved work");

    // Yes, then a cancelled file dialog: the text and its changed state stay.
    dialogs.messageAnswers = {QMessageBox::Yes};
    dialogs.fileAnswers.push_back(QString());
    w->Open2->trigger();
    EXPECT_EQ(w->memo->toPlainText(), "my unsaved work");
    EXPECT_TRUE(w->Modified);

    dialogs.messageAnswers = {QMessageBox::Yes};
    openFile(w, a);
    EXPECT_EQ(w->memo->toPlainText(), "select 'a'");
}

TEST_F(Files, AnOpenInANewWindowThatFailsLeavesNothingPending) {
    w->options.OpenNewWindow = true;
    w->memo->setPlainText("my unsaved work");
    // The new window's login fails: the open meant for it must not land in this window.
    main->lastConnection.password = "wrong";
    w->Open2->trigger();
    QApplication::processEvents();
    EXPECT_EQ(main->mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(main->openDialogPending, 0);
    main->mdiArea()->setActiveSubWindow(nullptr);
    main->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(w->parentWidget()));
    QApplication::processEvents();
    EXPECT_EQ(calls("open"), 0);
    EXPECT_EQ(w->memo->toPlainText(), "my unsaved work");
}

TEST_F(Files, AnOpenedFileIsUnchangedUntilItsTextChanges) {
    openFile(w, writeFile("a.sql", "select 1\nfrom t\n"));
    EXPECT_FALSE(w->Modified);
    // The caret moves and the font (plain text keeps none) change nothing that could be lost.
    w->memo->setFocus();
    QTest::keyClick(w->memo, Qt::Key_Down);
    QTest::keyClick(w->memo, Qt::Key_End);
    w->toolButton(25)->click(); // bold
    EXPECT_FALSE(w->Modified);
    const QString b = writeFile("b.sql", "select 2\n");
    openFile(w, b);
    EXPECT_TRUE(dialogs.messages().empty()) << "nothing to ask about";
    EXPECT_EQ(w->memo->toPlainText(), "select 2");
    QTest::keyClicks(w->memo, "x");
    EXPECT_TRUE(w->Modified);
}

TEST_F(Files, SaveAsAsksBeforeTheSuffixItAddsReplacesAFile) {
    const QString existing = writeFile("out.sql", "precious\r\n");
    w->memo->setPlainText("select 1");
    dialogs.messageAnswers = {QMessageBox::No};
    dialogs.fileAnswers.push_back(home.filePath("out"));
    w->Saveas2->trigger();
    test::expectLastBox(dialogs, 1, existing + " already exists.\nDo you want to replace it?",
                        "Save As");
    EXPECT_EQ(test::readBytes(existing), "precious\r\n");
    EXPECT_TRUE(w->Modified);
    EXPECT_NE(w->SaveName, existing);

    dialogs.messageAnswers = {QMessageBox::Yes};
    dialogs.fileAnswers.push_back(home.filePath("out"));
    w->Saveas2->trigger();
    EXPECT_EQ(test::readBytes(existing), "select 1\n");
    EXPECT_FALSE(w->Modified);
}

TEST_F(Files, ASaveThatFailsIsReportedAndKeepsTheTextChanged) {
    w->memo->setPlainText("select 1");
    auto expectReported = [&](const QString& target) {
        ASSERT_EQ(dialogs.messages().size(), 1u) << target.toStdString();
        EXPECT_TRUE(dialogs.messages()[0].text.startsWith(target + ": "));
        EXPECT_EQ(dialogs.messages()[0].caption, "Ostrim");
        EXPECT_EQ(dialogs.messages()[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(w->Modified);
        dialogs.calls.clear();
    };
    // A directory nobody may create files in, root included.
    dialogs.fileAnswers.push_back("/proc/ostrim-test/out.sql");
    w->Saveas2->trigger();
    expectReported("/proc/ostrim-test/out.sql");
    // A device that is always full, written by Save under the name it already has.
    w->SaveName = "/dev/full";
    w->Save2->trigger();
    expectReported("/dev/full");
    EXPECT_FALSE(QFileInfo("/dev/full").isFile()) << "the device is written, never replaced";
}

TEST_F(Files, ANameWithoutADirectoryIsSavedThroughTheDialog) {
    main->config.DefaultDir = home.path();
    w->memo->setPlainText("create index i on t (c)");
    w->SaveName = "i";
    dialogs.fileAnswers.push_back(home.filePath("index.sql"));
    w->Save2->trigger();
    ASSERT_EQ(calls("save"), 1);
    EXPECT_EQ(dialogs.calls.back().text, home.filePath("i"));
    EXPECT_EQ(test::readBytes(home.filePath("index.sql")), "create index i on t (c)\n");
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("i")));
}

TEST_F(Files, AWindowsFileKeepsItsEuroSignsQuotesAndDashes) {
    // Windows-1252: euro, left and right double quotes, en dash, e acute; not valid UTF-8.
    openFile(w, writeFile("win.sql", "print \x93\x80 5 \x96 caf\xe9\x94\r\n"));
    EXPECT_EQ(w->memo->toPlainText(),
              QString::fromUtf8("print \u201c\u20ac 5 \u2013 caf\u00e9\u201d"));
}

TEST_F(Files, ScriptsAreSavedWithTheLineEndsTheyWereReadWith) {
    const struct {
        const char* name;
        QByteArray before;
        QByteArray after; // a line added
    } cases[] = {
        {"crlf.sql", "select 1\r\ngo\r\n", "select 1\r\ngo\r\nselect 2\r\n"},
        {"lf.sql", "select 1\ngo\n", "select 1\ngo\nselect 2\n"},
        {"mostly-crlf.sql", "select 1\r\ngo\r\nprint 'x'\n",
         "select 1\r\ngo\r\nprint 'x'\r\nselect 2\r\n"},
        {"mostly-lf.sql", "select 1\ngo\nprint 'x'\r\n", "select 1\ngo\nprint 'x'\nselect 2\n"},
    };
    for (const auto& c : cases) {
        const QString path = writeFile(c.name, c.before);
        openFile(w, path);
        w->memo->append("select 2");
        w->Save2->trigger();
        EXPECT_EQ(test::readBytes(path), c.after) << c.name;
    }

    // A new text after a CR LF script is a new script, and the user's umask decides who may
    // read it.
    const test::UmaskGuard umask(022);
    openFile(w, writeFile("windows.sql", "select 1\r\n"));
    w->New2->trigger();
    w->memo->setPlainText("select 3\ngo");
    dialogs.fileAnswers.push_back(home.filePath("new.sql"));
    w->Saveas2->trigger();
    EXPECT_EQ(test::readBytes(home.filePath("new.sql")), "select 3\ngo\n");
    EXPECT_EQ(test::fileMode(home.filePath("new.sql")), 0644);
}

TEST_F(Files, TheModeSwitchFileIsTheUsersAlone) {
    const test::UmaskGuard umask(022);
    const QString temporary = writeFile("ostrim.tmp", "left by an older version\r\n");
    ASSERT_TRUE(test::setFileMode(temporary, 0644));
    w->memo->setPlainText("sp_addlogin 'ann', 'secret'");
    w->Richtext1Click();
    EXPECT_TRUE(test::readBytes(temporary).contains("secret"));
    EXPECT_EQ(test::fileMode(temporary), 0600);
}

TEST(FileEdit, TheButtonChoosesTheFileAndTypingDoesNot) {
    ScriptedDialogs dialogs;
    Tfile_edit edit;
    edit.resize(200, 24);
    edit.show(); // the parts are placed as the field gets its size on screen
    EXPECT_EQ(edit.button()->geometry(), QRect(176, 0, 24, 24));
    EXPECT_EQ(edit.edit()->geometry(), QRect(0, 0, 176, 24));
    EXPECT_EQ(edit.BtnCaption(), "?");
    edit.setTitle("History file");
    edit.setInitialDir("/tmp");
    edit.setFileName("Ostrim.his");
    edit.edit()->setText("typed.his");
    EXPECT_EQ(edit.FileName(), "Ostrim.his");
    dialogs.fileAnswers.push_back("/var/chosen.his");
    edit.buttonClick();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].caption, "History file");
    EXPECT_EQ(edit.FileName(), "/var/chosen.his");
    EXPECT_EQ(edit.edit()->text(), "/var/chosen.his");
    dialogs.fileAnswers.push_back(QString());
    edit.buttonClick();
    EXPECT_EQ(edit.FileName(), "/var/chosen.his");
    // A typed name is where the dialog starts; cancelled, the file name stays.
    edit.edit()->setText("other.his");
    dialogs.fileAnswers.push_back(QString());
    edit.buttonClick();
    EXPECT_EQ(dialogs.calls.back().text, "/tmp/other.his");
    EXPECT_EQ(edit.FileName(), "/var/chosen.his");
}

} // namespace
} // namespace ostrim
