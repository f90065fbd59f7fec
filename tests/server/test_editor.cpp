// The server window's editor services, driven through the keyboard, the menus and the tool
// buttons of a window connected to the demo server: speedwords, bookmarks, comments, find and
// replace, the line jump, fonts and styles, the clipboard commands and the text modes.
#include "file_helpers.h"
#include "frame_test.h"
#include "qt_wait.h"
#include "rtf.h"
#include "u_gotoline.h"
#include "window_helpers.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolButton>

namespace ostrim {
namespace {

using test::ScriptedDialogs;

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}, .entries = {{"DEMO"}}});

// The font dialog answers with a font of its own and remembers the one it was offered.
class FontDialogs : public ScriptedDialogs {
public:
    bool chooseFont(QFont& font, const QString& caption) override {
        offered = font;
        const bool answer = ScriptedDialogs::chooseFont(font, caption);
        if (answer)
            font = chosen;
        return answer;
    }
    QFont offered;
    QFont chosen;
};

class Editor : public test::FrameTest<FontDialogs> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("alice", "ostrimdemo"));
        frame();
        w = connect("alice123");
        ASSERT_NE(w, nullptr);
        main->tools.speedwords = {"select", "sp_who", "set"};
        dialogs.calls.clear();
        focusEditor();
        memo = w->memo;
    }
    void focusEditor() {
        main->activateWindow();
        w->memo->setFocus();
        QApplication::processEvents();
    }
    void type(const QString& keys) { QTest::keyClicks(QApplication::focusWidget(), keys); }
    void key(Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), k, m);
    }
    void select(int from, int to) {
        QTextCursor c(memo->document());
        c.setPosition(from);
        c.setPosition(to, QTextCursor::KeepAnchor);
        memo->setTextCursor(c);
    }
    QString panel(int i) { return w->statusPanels[std::size_t(i)]->text(); }
    std::vector<test::DialogCall> boxes() { return dialogs.messages(); }
    void expectLastBox(std::size_t count, const QString& text, const QString& caption = {},
                       std::optional<QMessageBox::Icon> icon = std::nullopt,
                       std::optional<QMessageBox::StandardButtons> buttons = std::nullopt) {
        test::expectLastBox(dialogs, count, text, caption, icon, buttons);
    }
    // Marks the text as unchanged by the user, so that the next edit must say "Modified".
    void quiet() {
        w->QuietChange = true;
        w->statusPanels[3]->clear();
    }
    QWidget* findDialog() { return w->FindDialog1; }
    QWidget* replaceDialog() { return w->ReplaceDialog1; }
    void find(const QString& text, bool matchCase) {
        w->Find1->trigger();
        findDialog()->findChild<QLineEdit*>("FindText")->setText(text);
        findDialog()->findChild<QCheckBox*>("MatchCase")->setChecked(matchCase);
    }
    void findNext() { findDialog()->findChild<QPushButton*>("FindNext")->click(); }
    void replace(const QString& from, const QString& to, bool matchCase = false) {
        w->Replace1->trigger();
        replaceDialog()->findChild<QLineEdit*>("FindText")->setText(from);
        replaceDialog()->findChild<QLineEdit*>("ReplaceText")->setText(to);
        replaceDialog()->findChild<QCheckBox*>("MatchCase")->setChecked(matchCase);
    }
    void press(QWidget* dialog, const char* button) {
        dialog->findChild<QPushButton*>(button)->click();
    }
    QString selected() { return memo->textCursor().selectedText(); }
    // The attributes of the character after position.
    QTextCharFormat formatAt(int position) {
        QTextCursor c(memo->document());
        c.setPosition(position + 1);
        return c.charFormat();
    }

    Tserverform* w = nullptr;
    QTextEdit* memo = nullptr;
};

TEST_F(Editor, EscapeExpandsTheFirstSpeedwordThatStartsWithTheTypedWord) {
    ASSERT_EQ(QApplication::focusWidget(), memo);
    EXPECT_TRUE(w->speedwordMode);
    EXPECT_EQ(panel(2), "Speedword ON");
    type("se");
    EXPECT_EQ(w->speed_edit1->text(), "se");
    key(Qt::Key_Escape);
    EXPECT_EQ(memo->toPlainText(), "select");
    EXPECT_EQ(panel(2), "Speedword OFF");
    EXPECT_FALSE(w->speedwordMode);

    // Off after an expansion: letters collect nothing until Space, Enter or Esc.
    type("ab");
    EXPECT_TRUE(Tserverform::SpeedwordBuffer.isEmpty());
    EXPECT_TRUE(w->speed_edit1->text().isEmpty());
    key(Qt::Key_Escape); // switches the mode on, inserts nothing
    EXPECT_EQ(memo->toPlainText(), "selectab");
    EXPECT_EQ(panel(2), "Speedword ON");

    key(Qt::Key_Space);
    type("s");
    key(Qt::Key_Escape);
    EXPECT_EQ(memo->toPlainText(), "selectab select"); // the first entry, not sp_who
    EXPECT_EQ(panel(2), "Speedword OFF");

    key(Qt::Key_Return); // on again
    EXPECT_EQ(panel(2), "Speedword ON");
    type("xy");
    key(Qt::Key_Escape);
    EXPECT_EQ(memo->toPlainText(), "selectab select\nxy");
    EXPECT_EQ(panel(2), "Speedword OFF");

    // Case counts, and a word longer than every entry matches none.
    key(Qt::Key_Space);
    type("SE");
    key(Qt::Key_Escape);
    key(Qt::Key_Space);
    type("selects");
    key(Qt::Key_Escape);
    EXPECT_EQ(memo->toPlainText(), "selectab select\nxy SE selects");

    // Backspace and tab are part of the word typed.
    key(Qt::Key_Escape);
    type("sp");
    key(Qt::Key_Backspace);
    EXPECT_EQ(Tserverform::SpeedwordBuffer, "sp\b");
    key(Qt::Key_Return);
    type("sp_");
    key(Qt::Key_Escape);
    EXPECT_TRUE(memo->toPlainText().endsWith("\nsp_who"));
    EXPECT_TRUE(boxes().empty());
}

TEST_F(Editor, ExpansionIsOneUndoableEditAndLeavesTheClipboardAlone) {
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->setText("the user's text");
    QSignalSpy clipboardChanges(clipboard, &QClipboard::dataChanged);
    type("sp");
    key(Qt::Key_Escape);
    EXPECT_EQ(memo->toPlainText(), "sp_who");
    EXPECT_EQ(clipboard->text(), "the user's text");
    EXPECT_EQ(clipboardChanges.count(), 0);
    EXPECT_EQ(panel(3), "Modified");

    w->Undo1->trigger();
    EXPECT_FALSE(memo->toPlainText().contains("_who"));
    memo->redo();
    EXPECT_EQ(memo->toPlainText(), "sp_who");
}

TEST_F(Editor, SpeedwordStateIsSharedByEveryWindow) {
    type("se");
    key(Qt::Key_Escape);
    EXPECT_FALSE(w->speedwordMode);
    main->New1->trigger();
    QApplication::processEvents();
    auto* second = qobject_cast<Tserverform*>(main->currentServer.data());
    ASSERT_NE(second, nullptr);
    ASSERT_NE(second, w);
    // Activating the new window switches the one mode on, for both windows.
    EXPECT_TRUE(second->speedwordMode);
    EXPECT_TRUE(w->speedwordMode);
    second->memo->setFocus();
    QTest::keyClicks(second->memo, "sp");
    EXPECT_EQ(Tserverform::SpeedwordBuffer, "sp");
}

TEST_F(Editor, CtrlKAndCtrlQWithADigitSetAndReachBookmarks) {
    memo->setPlainText("line one\nline two\nline three\nline four\nline five is long\nlast");
    Tserverform::SetMemoRowCol(*memo, 4, 6);
    EXPECT_EQ(panel(0), "5 : 7");
    key(Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->edt_bookmark1);
    key(Qt::Key_3);
    EXPECT_EQ(QApplication::focusWidget(), memo);
    EXPECT_EQ(w->Bookmarks[3], (std::array<qint32, 2>{5, 7}));

    Tserverform::SetMemoRowCol(*memo, 1, 2);
    EXPECT_EQ(panel(0), "2 : 3");
    key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), w->edt_bookmark2);
    key(Qt::Key_3);
    EXPECT_EQ(QApplication::focusWidget(), memo);
    EXPECT_EQ(panel(0), "5 : 7");
    EXPECT_EQ(memo->textCursor().position(), memo->toPlainText().indexOf("line five") + 6);

    // Slot 4 is unset: the caret stays.
    Tserverform::SetMemoRowCol(*memo, 0, 1);
    key(Qt::Key_Q, Qt::ControlModifier);
    key(Qt::Key_4);
    EXPECT_EQ(QApplication::focusWidget(), memo);
    EXPECT_EQ(panel(0), "1 : 2");

    // A keypad digit or another key only gives the focus back.
    key(Qt::Key_K, Qt::ControlModifier);
    key(Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(QApplication::focusWidget(), memo);
    key(Qt::Key_K, Qt::ControlModifier);
    key(Qt::Key_X);
    EXPECT_EQ(QApplication::focusWidget(), memo);
    EXPECT_EQ(w->Bookmarks[5], (std::array<qint32, 2>{0, 0}));
    // None of these keys reached the text.
    EXPECT_EQ(memo->toPlainText(),
              "line one\nline two\nline three\nline four\nline five is long\nlast");
}

TEST_F(Editor, CommentAndUncommentFollowTheLineRules) {
    EXPECT_EQ(Tserverform::commentedLines("a\r\nb\r\n"), "--a\r\n--b\r\n--");
    EXPECT_EQ(Tserverform::commentedLines(""), "--");
    EXPECT_EQ(Tserverform::uncommentedLines(" --x\n--x\n---x\n-x"), " --x\r\nx\r\n-x\r\n-x");

    // Two full lines with their final line break: the break is replaced.
    memo->setPlainText("a\nb\nc");
    select(0, 4);
    w->toolButton(22)->click();
    EXPECT_EQ(memo->toPlainText(), "--a\n--b\n--c");
    memo->setPlainText("a\nb\n");
    select(0, 4);
    w->toolButton(22)->click();
    EXPECT_EQ(memo->toPlainText(), "--a\n--b\n--");

    // Nothing selected: "--" at the caret.
    memo->setPlainText("select 1");
    Tserverform::SetMemoRowCol(*memo, 0, 7);
    w->toolButton(22)->click();
    EXPECT_EQ(memo->toPlainText(), "select --1");

    memo->setPlainText(" --x\n--x\n---x");
    memo->selectAll();
    w->toolButton(33)->click();
    EXPECT_EQ(memo->toPlainText(), " --x\nx\n-x");
    // Nothing selected: nothing changes.
    w->toolButton(33)->click();
    EXPECT_EQ(memo->toPlainText(), " --x\nx\n-x");
}

TEST_F(Editor, FindMatchesCaseWhenAskedAndReportsTheEnd) {
    memo->setPlainText("select Select SELECT");
    find("Select", true);
    EXPECT_TRUE(findDialog()->isVisible());
    EXPECT_TRUE(findDialog()->findChild<QRadioButton*>("Down")->isChecked());
    EXPECT_FALSE(findDialog()->findChild<QCheckBox*>("WholeWord")->isVisible());
    findNext();
    EXPECT_EQ(memo->textCursor().selectionStart(), 7);
    EXPECT_EQ(selected(), "Select");
    findNext();
    expectLastBox(1, "Text not found !", "Find", QMessageBox::Critical);
    EXPECT_FALSE(findDialog()->isVisible());
    EXPECT_EQ(memo->textCursor().selectionStart(), 7); // the last match stays selected

    // Without case: all three, then the end of the text.
    find("select", false);
    QList<int> starts;
    for (int i = 0; i < 3; ++i) {
        findNext();
        starts << memo->textCursor().selectionStart();
    }
    EXPECT_EQ(starts, (QList<int>{0, 7, 14}));
    ASSERT_EQ(boxes().size(), 1u);
    w->Findnext1->trigger(); // F3 repeats the search
    expectLastBox(2, "Reached the end of the file.", {}, QMessageBox::Information, QMessageBox::Ok);
}

TEST_F(Editor, TheNextSearchBeginsAfterTheWholeMatch) {
    memo->setPlainText("aa");
    find("a", true);
    findNext();
    EXPECT_EQ(memo->textCursor().selectionStart(), 0);
    findNext();
    EXPECT_EQ(memo->textCursor().selectionStart(), 1);
    EXPECT_EQ(selected(), "a");
    EXPECT_TRUE(boxes().empty());
    findNext();
    expectLastBox(1, "Reached the end of the file.");

    // Overlapping candidates: "aa" in "aaaa" twice, not three times.
    memo->setPlainText("aaaa");
    find("aa", true);
    findNext();
    findNext();
    EXPECT_EQ(memo->textCursor().selectionStart(), 2);
    findNext();
    EXPECT_EQ(boxes().size(), 2u);

    // The search position is the program's: the window's Find starts it again from the top.
    find("a", true);
    findNext();
    EXPECT_EQ(memo->textCursor().selectionStart(), 0);
    EXPECT_EQ(Tserverform::findState.start, 2);
}

TEST_F(Editor, ReplaceAllReplacesEveryMatchAndEndsWithTextNotFound) {
    memo->setPlainText("x x x");
    replace("x", "y");
    press(replaceDialog(), "ReplaceAll");
    EXPECT_EQ(memo->toPlainText(), "y y y");
    expectLastBox(1, "Text not found !", "Replace/Find", QMessageBox::Critical);
    EXPECT_TRUE(Tserverform::replaceState.notFound);
    // The run is one step for Undo/Redo.
    w->Undo1->trigger();
    EXPECT_EQ(memo->toPlainText(), "x x x");

    // A replacement that holds the find text: each found once, and the run ends.
    replace("x", "axb");
    press(replaceDialog(), "ReplaceAll");
    EXPECT_EQ(memo->toPlainText(), "axb axb axb");
    replace("x", "xx");
    press(replaceDialog(), "ReplaceAll");
    EXPECT_EQ(memo->toPlainText(), "axxb axxb axxb");
    EXPECT_EQ(boxes().size(), 3u);
}

TEST_F(Editor, TabLeadsFromTheFindTextToTheReplaceTextAndLabelsNameTheirFields) {
    for (bool replacing : {true, false}) {
        (replacing ? w->Replace1 : w->Find1)->trigger();
        QWidget* dialog = replacing ? replaceDialog() : findDialog();
        QStringList order;
        QWidget* at = dialog->findChild<QLineEdit*>("FindText");
        for (int i = 0; i < 6; ++i, at = at->nextInFocusChain()) {
            while (!(at->focusPolicy() & Qt::TabFocus) || at->isHidden())
                at = at->nextInFocusChain();
            order << at->objectName();
        }
        const QStringList expected =
            replacing ? QStringList{"FindText", "ReplaceText", "MatchCase",
                                    "FindNext", "Replace",     "ReplaceAll"}
                      : QStringList{"FindText", "MatchCase", "Up", "Down", "FindNext", "Cancel"};
        EXPECT_EQ(order, expected);
        for (QLabel* label : dialog->findChildren<QLabel*>())
            EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    }
}

TEST_F(Editor, ReplaceOneAtATimeAndMatchCaseOff) {
    memo->setPlainText("X and x");
    replace("x", "y");
    press(replaceDialog(), "Replace"); // finds the first, replaces it, finds the next
    EXPECT_EQ(memo->toPlainText(), "y and x");
    EXPECT_EQ(memo->textCursor().selectionStart(), 6);
    press(replaceDialog(), "Replace"); // the last one: its next search starts past the end
    EXPECT_EQ(memo->toPlainText(), "y and y");
    expectLastBox(1, "Reached the end of the file.");

    // Matching case, the upper-case X is left alone.
    memo->setPlainText("X and x");
    replace("x", "y", true);
    press(replaceDialog(), "ReplaceAll");
    EXPECT_EQ(memo->toPlainText(), "X and y");

    // A selection that is no match is not replaced when the search fails.
    memo->setPlainText("abc");
    select(1, 2);
    replace("zz", "y");
    press(replaceDialog(), "Replace");
    EXPECT_EQ(memo->toPlainText(), "abc");
    expectLastBox(3, "Text not found !", "Replace/Find");
}

TEST_F(Editor, GoToLineMovesTheCaretToTheStartOfTheLine) {
    memo->setPlainText("1\n2\n3\n4\n5\n6\n7 seven\n8");
    Tserverform::SetMemoRowCol(*memo, 2, 1);
    QString offered, caption;
    dialogs.dialogHandlers.push_back([&](QDialog& d) {
        auto* dialog = qobject_cast<Tf_gotoline*>(&d);
        if (!dialog)
            return 0;
        caption = dialog->windowTitle();
        offered = dialog->edt_line_number->text();
        dialog->edt_line_number->setText("7");
        dialog->btn_ok->click();
        return dialog->result();
    });
    key(Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(caption, "Go to Line Number");
    EXPECT_EQ(offered, "3");
    EXPECT_EQ(panel(0), "7 : 1");
    EXPECT_EQ(memo->textCursor().position(), memo->toPlainText().indexOf("7 seven"));

    auto answer = [&](const QString& text, int result) {
        dialogs.dialogHandlers.push_back([text, result](QDialog& d) {
            static_cast<Tf_gotoline&>(d).edt_line_number->setText(text);
            return result;
        });
        w->GotoLineNumber1->trigger();
    };
    answer("2", Tf_gotoline::kResultCancel);
    EXPECT_EQ(panel(0), "7 : 1");
    answer("abc", Tf_gotoline::kResultOk);
    EXPECT_EQ(panel(0), "7 : 1");
    expectLastBox(1, "'abc' is not a valid integer value");
    answer("999", Tf_gotoline::kResultOk);
    EXPECT_EQ(panel(0), "8 : 1");
    answer(" 2 ", Tf_gotoline::kResultOk);
    EXPECT_EQ(panel(0), "2 : 1");

    Tf_gotoline dialog;
    EXPECT_EQ(dialog.lbl_line_number->text(), "&Enter new line number:");
    EXPECT_TRUE(dialog.btn_ok->isDefault());
    dialog.btn_cancel->click();
    EXPECT_EQ(dialog.result(), Tf_gotoline::kResultCancel);
    dialog.btn_help->click(); // does nothing
    EXPECT_EQ(dialog.result(), Tf_gotoline::kResultCancel);
}

TEST_F(Editor, StylesOnlyAddAndActOnTheSelectionOrTheWholeText) {
    memo->setPlainText("select name from t");
    select(7, 11);
    w->toolButton(25)->click();
    w->toolButton(25)->click(); // bold twice: still bold
    EXPECT_EQ(formatAt(7).fontWeight(), QFont::Bold);
    EXPECT_NE(formatAt(0).fontWeight(), QFont::Bold);
    w->toolButton(19)->click();
    w->toolButton(21)->click();
    EXPECT_EQ(formatAt(8).fontWeight(), QFont::Bold);
    EXPECT_TRUE(formatAt(8).fontItalic());
    EXPECT_TRUE(formatAt(8).fontUnderline());
    EXPECT_FALSE(formatAt(12).fontItalic());

    // No selection: the default attributes, for the text there and what is typed next.
    Tserverform::SetMemoRowCol(*memo, 0, 18);
    w->toolButton(19)->click();
    EXPECT_TRUE(formatAt(0).fontItalic());
    EXPECT_TRUE(formatAt(16).fontItalic());
    EXPECT_EQ(formatAt(8).fontWeight(), QFont::Bold); // what was there stays
    type("x");
    EXPECT_TRUE(formatAt(18).fontItalic());
}

TEST_F(Editor, FontDialogStartsFromTheAttributesActedOn) {
    memo->setPlainText("select name");
    select(7, 11);
    dialogs.chosen = QFont("Helvetica", 20);
    dialogs.fontAnswers = {true, false, true};
    w->toolButton(32)->click();
    EXPECT_EQ(dialogs.offered.family(), "Courier");
    EXPECT_EQ(dialogs.offered.pixelSize(), 12);
    EXPECT_EQ(formatAt(8).font().family(), "Helvetica");
    EXPECT_EQ(formatAt(8).font().pointSize(), 20);
    EXPECT_NE(formatAt(1).font().family(), "Helvetica");
    EXPECT_EQ(QApplication::focusWidget(), memo);

    // Offered what the selection shows; cancelled, nothing changes.
    w->Fonts1->trigger();
    EXPECT_EQ(dialogs.offered.family(), "Helvetica");
    EXPECT_EQ(formatAt(1).font().family(), formatAt(2).font().family());
    EXPECT_NE(formatAt(1).font().family(), "Helvetica");

    // Nothing selected: the whole text.
    Tserverform::SetMemoRowCol(*memo, 0, 0);
    dialogs.chosen = QFont("Times", 8);
    w->Fonts1->trigger();
    EXPECT_EQ(formatAt(1).font().family(), "Times");
    EXPECT_EQ(formatAt(8).font().family(), "Times");
    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[0].kind, "font");
}

TEST_F(Editor, EditingCommandsClearQuietChangeAndUndoTakesBack) {
    QApplication::clipboard()->setText("pasted");
    memo->setPlainText("abc");
    w->QuietChange = true;
    w->Copy1->trigger(); // no change, and no clearing
    EXPECT_TRUE(w->QuietChange);
    w->statusPanels[3]->clear();
    w->Paste1->trigger();
    EXPECT_EQ(memo->toPlainText(), "pastedabc");
    EXPECT_EQ(panel(3), "Modified");

    for (const char* name : {"Cut2", "Delete2", "Paste2"}) {
        select(0, 1);
        quiet();
        w->findChild<QAction*>(name)->trigger();
        EXPECT_EQ(panel(3), "Modified") << name;
    }
    // A key typed is an edit of the user's too.
    quiet();
    type("z");
    EXPECT_EQ(panel(3), "Modified");

    memo->setPlainText("one");
    memo->moveCursor(QTextCursor::End);
    memo->insertPlainText(" two");
    w->Undo1->trigger();
    EXPECT_EQ(memo->toPlainText(), "one");
    w->Undo1->trigger();
    EXPECT_EQ(memo->toPlainText(), "one two");
}

TEST_F(Editor, StatusBarShowsWhereTheSelectionStarts) {
    memo->setPlainText("first\nsecond line\nthird");
    select(16, 8); // dragged backwards: the caret is at the start
    EXPECT_EQ(panel(0), "2 : 3");
    select(8, 20); // forwards: still the start
    EXPECT_EQ(panel(0), "2 : 3");
    memo->moveCursor(QTextCursor::End);
    EXPECT_EQ(panel(0), "3 : 6");
    const Tserverform::RowCol at = Tserverform::GetMemoRowCol(*memo);
    EXPECT_EQ(at.line, 2);
    EXPECT_EQ(at.column, 5);
    key(Qt::Key_Home);
    EXPECT_EQ(panel(0), "3 : 1");
}

TEST_F(Editor, ModeSwitchGoesThroughTheTemporaryFileAndDropsFormatting) {
    memo->setPlainText(QString::fromUtf8("select näme\nfrom t\n"));
    select(0, 6);
    w->BoldClick();
    w->Modified = false;
    w->statusPanels[3]->clear();
    w->Richtext1Click();
    EXPECT_EQ(panel(1), "Rich Text");
    EXPECT_TRUE(memo->acceptRichText());
    EXPECT_EQ(memo->toPlainText(), QString::fromUtf8("select näme\nfrom t\n"));
    EXPECT_NE(formatAt(0).fontWeight(), QFont::Bold);
    EXPECT_EQ(panel(3), ""); // unmodified text converts quietly
    const QString temporary = home.filePath("ostrim.tmp");
    EXPECT_EQ(QString::fromUtf8(test::readBytes(temporary)),
              QString::fromUtf8("select näme\r\nfrom t\r\n\r\n"));
    EXPECT_FALSE(QFile::exists(QDir::current().filePath("ostrim.tmp")));

    // From rich text the file holds RTF, read back as text.
    select(7, 11);
    w->ItalicClick();
    w->Modified = true;
    w->Plaintext1Click();
    EXPECT_EQ(panel(1), "Plain Text");
    EXPECT_FALSE(memo->acceptRichText());
    EXPECT_EQ(memo->toPlainText(), QString::fromUtf8("select näme\nfrom t\n"));
    EXPECT_FALSE(formatAt(8).fontItalic());
    EXPECT_EQ(panel(3), "Modified");
    const QByteArray rtf = test::readBytes(temporary);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(rtf.contains("\\i"));
    EXPECT_TRUE(boxes().empty());

    // The file cannot be written: a message, and nothing changes.
    ASSERT_TRUE(QFile::remove(temporary));
    ASSERT_TRUE(QDir(home.path()).mkdir("ostrim.tmp"));
    w->Modified = false;
    w->QuietChange = false;
    w->Richtext1Click();
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_TRUE(boxes()[0].text.contains("ostrim.tmp")) << boxes()[0].text.toStdString();
    EXPECT_EQ(boxes()[0].caption, "Ostrim");
    EXPECT_EQ(boxes()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(panel(1), "Plain Text");
    EXPECT_FALSE(memo->acceptRichText());
    EXPECT_FALSE(w->QuietChange);
}

TEST_F(Editor, RichTextRoundTripKeepsAttributesAndText) {
    const QString text = QString::fromUtf8("SELECT Größe, 'Ω€' FROM t -- 漢字\n\tnext line");
    memo->setPlainText(text);
    select(0, 6);
    w->BoldClick();
    select(7, 12);
    w->ItalicClick();
    w->UnderlineClick();
    QTextCharFormat styled;
    styled.setFontFamilies({"Helvetica"});
    styled.setFontPointSize(14);
    styled.setForeground(QColor(200, 0, 0));
    select(14, 18);
    memo->mergeCurrentCharFormat(styled);
    const RtfText before = documentRuns(*memo->document());
    ASSERT_GE(before.size(), 4);

    const QByteArray rtf = w->rtfText();
    w->loadRtf("{\\rtf1 other}");
    EXPECT_EQ(memo->toPlainText(), "other");
    quiet();
    w->loadRtf(rtf);
    EXPECT_EQ(memo->toPlainText(), text);
    EXPECT_EQ(documentRuns(*memo->document()), before);
    EXPECT_EQ(panel(3), ""); // one change notification, and a quiet one
    EXPECT_FALSE(memo->document()->isUndoAvailable());

    // A file that is no RTF loads as its text.
    w->loadRtf("plain text\r\nnot rtf\r\n");
    EXPECT_EQ(memo->toPlainText(), "plain text\nnot rtf");
}

TEST_F(Editor, ColouringLineNumbersAndCompletionFollowTheSettingsAndTheTextMode) {
    auto coloured = [this] {
        return !memo->document()->firstBlock().layout()->formats().isEmpty();
    };
    auto offered = [this] {
        QStringList names;
        const auto* popup = memo->findChild<QListWidget*>();
        for (int i = 0; popup && popup->isVisible() && i < popup->count(); ++i)
            names << popup->item(i)->text();
        return names;
    };
    memo->setPlainText("select * from ");
    memo->moveCursor(QTextCursor::End);
    type("ti");
    w->Modified = false;
    EXPECT_TRUE(coloured());
    EXPECT_TRUE(w->memo->lineNumbers());

    // The names come from the window's database, read on a connection of their own.
    const bool speedwords = w->speedwordMode;
    key(Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(test::waitUntil([&] { return !offered().isEmpty(); }));
    EXPECT_TRUE(offered().contains("titles")) << offered().join(' ').toStdString();
    key(Qt::Key_Escape);
    EXPECT_TRUE(offered().isEmpty());
    EXPECT_EQ(w->speedwordMode, speedwords) << "the popup's Esc is not the speedwords' one";
    EXPECT_FALSE(w->Modified);

    // A chosen name ends the word as a blank would (Esc then expands no speedword into it), and
    // the change is the user's even in a file just opened.
    key(Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(test::waitUntil([&] { return !offered().isEmpty(); }));
    const QString text = "select * from " + offered().first();
    w->QuietChange = true;
    key(Qt::Key_Return);
    EXPECT_EQ(memo->toPlainText(), text);
    EXPECT_TRUE(w->SpeedwordBuffer.isEmpty());
    EXPECT_FALSE(w->QuietChange);
    EXPECT_TRUE(w->Modified);

    // Rich text keeps the user's own formatting.
    w->Richtext1Click();
    EXPECT_FALSE(coloured());
    w->Plaintext1Click();
    EXPECT_TRUE(coloured());

    // Settings another window changed take effect when this one is activated.
    main->config.SyntaxColours = main->config.LineNumbers = main->config.Completion = false;
    w->Modified = false;
    w->FormActivate();
    EXPECT_FALSE(coloured());
    EXPECT_FALSE(w->memo->lineNumbers());
    EXPECT_FALSE(w->Modified);
    key(Qt::Key_Space, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(offered().isEmpty());
    EXPECT_EQ(memo->toPlainText(), text);
    EXPECT_TRUE(boxes().empty());
}

} // namespace
} // namespace ostrim
