// The editor's Transact-SQL colouring and its line-number gutter: what each stretch of tricky
// text is coloured as, and that neither touches the text, its Modified flag, its undo steps or
// what leaves the editor.
#include "editor_services.h"
#include "line_gutter.h"
#include "sql_highlighter.h"

#include <QApplication>
#include <QMimeData>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QTextLayout>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

// One character per character of the text, the line breaks kept: _ plain, k keyword, s string,
// c comment, n number, v @variable, g @@global, G a "go" line, ? a format of no kind.
QString classes(const QTextDocument& document, const SqlHighlighter& highlighter) {
    constexpr char kLetters[] = "_kscnvgG";
    static_assert(sizeof kLetters - 1 == kSqlTokenKinds);
    QString out;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QString line(block.length() - 1, QLatin1Char('_'));
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            QChar letter = QLatin1Char('?');
            for (int kind = 0; kind < kSqlTokenKinds; ++kind)
                if (range.format == highlighter.format(SqlToken(kind)))
                    letter = QLatin1Char(kLetters[kind]);
            for (int i = range.start; i < range.start + range.length; ++i)
                line[i] = letter;
        }
        out += line;
        if (block.next().isValid())
            out += QLatin1Char('\n');
    }
    return out;
}

struct Colouring {
    const char* text;
    const char* expected;
};

TEST(SqlHighlighter, ColoursEachKindOfText) {
    const Colouring cases[] = {
        {"select 'from' from t", //
         "kkkkkk_ssssss_kkkk__"},
        {"'it''s' or 'x'", //
         "sssssss_kk_sss"},
        {"'a--b' -- c", //
         "ssssss_cccc"},
        {R"("say ""hi""" is)", //
         "ssssssssssss_kk"},
        {"a /* x\nselect */ b", //
         "__cccc\nccccccccc__"},
        {"/* a /* b */ select */ select", //
         "cccccccccccccccccccccc_kkkkkk"},
        {"/* a /* b */\ngo\nselect */ 1\ngo", //
         "cccccccccccc\ncc\nccccccccc_n\nGG"},
        {"select 'a\ngo\nb' go", //
         "kkkkkk_ss\nss\nss___"},
        {"select \"a\ngo 5\nb\"", //
         "kkkkkk_ss\nssss\nss"},
        {"-- /* not opened\nselect", //
         "cccccccccccccccc\nkkkkkk"},
        {"/* -- */ select", //
         "cccccccc_kkkkkk"},
        {"  GO  \ngo 10\ngo 0\ngo;\ngoto x", //
         "GGGGGG\nGGGGG\n___n\n___\nkkkk__"},
        {"@var = @@rowcount + @ x", //
         "vvvv___gggggggggg______"},
        {"t1 + 12.5e3 - 0x1F + .5 + 3e", //
         "_____nnnnnn___nnnn___nn___n_"},
        {"SeLeCt Selected FROM #select", //
         "kkkkkk__________kkkk________"},
        {"insert into t values (1, 'a')", //
         "kkkkkk_kkkk___kkkkkk__n__sss_"},
    };
    for (const Colouring& c : cases) {
        QTextEdit editor;
        SqlHighlighter highlighter(&editor);
        editor.setPlainText(QString::fromUtf8(c.text));
        EXPECT_EQ(classes(*editor.document(), highlighter), QString::fromUtf8(c.expected))
            << c.text;
    }
}

TEST(SqlHighlighter, AnEditColoursTheLinesItReaches) {
    QTextEdit editor;
    SqlHighlighter highlighter(&editor);
    editor.setPlainText("select 1\ngo\nselect 2");
    QTextCursor cursor(editor.document());
    cursor.insertText("/* ");
    EXPECT_EQ(classes(*editor.document(), highlighter), "ccccccccccc\ncc\ncccccccc");
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(" */ end");
    EXPECT_EQ(classes(*editor.document(), highlighter), "ccccccccccc\ncc\nccccccccccc_kkk");
    cursor.setPosition(0);
    cursor.deleteChar();
    cursor.deleteChar();
    cursor.deleteChar();
    EXPECT_EQ(classes(*editor.document(), highlighter), "kkkkkk_n\nGG\nkkkkkk_n____kkk");
}

// A script longer than the lines an edit colours at once.
QString longScript() {
    QStringList lines;
    for (int i = 0; i < 200; ++i)
        lines << "/* procedure */ create proc p as"
              << "select 'a', \"b\" -- c"
              << "go";
    return lines.join(QLatin1Char('\n'));
}

// The colours a document gets when coloured whole, in one pass.
QString colouredWhole(const QString& text) {
    QTextEdit editor;
    SqlHighlighter highlighter(&editor);
    editor.setPlainText(text);
    return classes(*editor.document(), highlighter);
}

void finishColouring(const SqlHighlighter& highlighter) {
    for (int pass = 0; pass < 10000 && highlighter.colouringPending(); ++pass)
        QCoreApplication::processEvents();
    ASSERT_FALSE(highlighter.colouringPending());
}

TEST(SqlHighlighter, LinesFarPastAnEditAreColouredByTheEventLoop) {
    QTextEdit editor;
    SqlHighlighter highlighter(&editor);
    editor.setPlainText(longScript());
    const QTextDocument& document = *editor.document();
    ASSERT_GT(document.blockCount(), 2 * SqlHighlighter::kColouredAhead);
    QSignalSpy textChanged(&editor, &QTextEdit::textChanged);

    QTextCursor(editor.document()).insertText("/*");
    ASSERT_EQ(textChanged.count(), 1);
    const auto lineKinds = [&](int line) {
        return classes(document, highlighter).section('\n', line, line);
    };
    // The edited line and the lines right after it are coloured at once.
    const QString near = lineKinds(SqlHighlighter::kColouredAhead);
    EXPECT_EQ(near, QString(near.size(), QLatin1Char('c')));
    EXPECT_TRUE(lineKinds(document.blockCount() - 2).startsWith("kkkkkk"));
    EXPECT_TRUE(highlighter.colouringPending());

    finishColouring(highlighter);
    EXPECT_EQ(classes(document, highlighter), colouredWhole(editor.toPlainText()));
    EXPECT_EQ(textChanged.count(), 1);
    EXPECT_EQ(document.availableUndoSteps(), 1);
}

// Edits that open and close comments and strings, some made while the colours of an earlier
// one still wait: the colours end as those of the text coloured whole.
TEST(SqlHighlighter, EditsEndInTheColoursOfTheWholeText) {
    QTextEdit editor;
    SqlHighlighter highlighter(&editor);
    editor.setPlainText(longScript());
    const char* const inserts[] = {"/*", "*/", "'", "\"", "--", "\n", "go\n", "x"};
    QRandomGenerator random(20261207);
    for (int edit = 0; edit < 60; ++edit) {
        QTextCursor cursor(editor.document());
        const int length = editor.document()->characterCount() - 1;
        cursor.setPosition(int(random.bounded(length)));
        if (random.bounded(4) == 0) {
            cursor.setPosition(std::min(cursor.position() + 2, length), QTextCursor::KeepAnchor);
            cursor.removeSelectedText();
        } else {
            cursor.insertText(inserts[random.bounded(int(std::size(inserts)))]);
        }
        if (edit % 3 == 2) {
            finishColouring(highlighter);
            ASSERT_EQ(classes(*editor.document(), highlighter), colouredWhole(editor.toPlainText()))
                << "after edit " << edit;
        }
    }
}

// What the window watches of its editor, before and after.
struct Watch {
    explicit Watch(QTextEdit& editor)
        : m_editor(editor), m_text(editor.toPlainText()),
          m_undoSteps(editor.document()->availableUndoSteps()),
          m_modified(editor.document()->isModified()),
          m_textChanged(&editor, &QTextEdit::textChanged),
          m_contentsChanged(editor.document(), &QTextDocument::contentsChanged) {}

    void expectUntouched(const char* step) {
        QCoreApplication::processEvents(); // any pass left for later runs too
        EXPECT_EQ(m_editor.toPlainText(), m_text) << step;
        EXPECT_EQ(m_editor.document()->availableUndoSteps(), m_undoSteps) << step;
        EXPECT_EQ(m_editor.document()->isModified(), m_modified) << step;
        EXPECT_EQ(m_textChanged.count(), 0) << step;
        EXPECT_EQ(m_contentsChanged.count(), 0) << step;
    }

    QTextEdit& m_editor;
    QString m_text;
    int m_undoSteps;
    bool m_modified;
    QSignalSpy m_textChanged;
    QSignalSpy m_contentsChanged;
};

constexpr char kScript[] = "/* header\n   /* nested */ */\ncreate proc p @n int as\n"
                           "select name, 'it''s' from sysobjects where id = @n -- one\ngo\n";

bool coloured(const QTextDocument& document) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        if (!block.layout()->formats().isEmpty())
            return true;
    return false;
}

TEST(SqlHighlighter, ColouringNeverChangesTheText) {
    QTextEdit editor;
    editor.setPlainText(kScript);
    QTextCursor(editor.document()).insertText(" "); // an undo step and the Modified flag
    ASSERT_TRUE(editor.document()->isModified());
    Watch watch(editor);

    auto highlighter = std::make_unique<SqlHighlighter>(&editor);
    EXPECT_TRUE(coloured(*editor.document()));
    watch.expectUntouched("switched on over text");

    const QTextCharFormat light = highlighter->format(SqlToken::Keyword);
    const QString kinds = classes(*editor.document(), *highlighter);
    QPalette palette = editor.palette();
    palette.setColor(QPalette::Base, Qt::black);
    editor.setPalette(palette);
    EXPECT_NE(highlighter->format(SqlToken::Keyword), light);
    EXPECT_EQ(classes(*editor.document(), *highlighter), kinds);
    watch.expectUntouched("dark background");

    highlighter->rehighlight();
    watch.expectUntouched("rehighlight");

    highlighter->setEnabled(false);
    EXPECT_FALSE(coloured(*editor.document()));
    watch.expectUntouched("switched off");
    highlighter->setEnabled(true);
    EXPECT_TRUE(coloured(*editor.document()));
    watch.expectUntouched("switched on again");

    highlighter.reset();
    EXPECT_FALSE(coloured(*editor.document()));
    watch.expectUntouched("destroyed");
}

TEST(SqlHighlighter, AnEditIsOneChangeAndOneUndoStepAsWithout) {
    for (const bool highlighted : {false, true}) {
        QTextEdit editor;
        std::unique_ptr<SqlHighlighter> highlighter;
        if (highlighted)
            highlighter = std::make_unique<SqlHighlighter>(&editor);
        editor.setPlainText(kScript);
        QSignalSpy textChanged(&editor, &QTextEdit::textChanged);
        // Opening a comment recolours every line after it.
        editor.moveCursor(QTextCursor::Start);
        editor.textCursor().insertText("/*");
        EXPECT_EQ(textChanged.count(), 1) << highlighted;
        EXPECT_EQ(editor.document()->availableUndoSteps(), 1) << highlighted;
        EXPECT_TRUE(editor.document()->isModified()) << highlighted;
        const QTextDocument& document = *editor.document();
        if (highlighter) {
            EXPECT_TRUE(classes(document, *highlighter).section('\n', 2, 2).startsWith("cccccc"));
        }
        editor.undo();
        EXPECT_EQ(editor.toPlainText(), kScript) << highlighted;
        EXPECT_FALSE(editor.document()->isModified()) << highlighted;
        if (highlighter) {
            EXPECT_TRUE(classes(document, *highlighter).section('\n', 2, 2).startsWith("kkkkkk"));
        }
    }
}

// createMimeDataFromSelection is what copy and drag hand to the clipboard.
class CopyingEdit : public QTextEdit {
public:
    using QTextEdit::createMimeDataFromSelection;
};
class CopyingSqlEdit : public SqlEdit {
public:
    using SqlEdit::createMimeDataFromSelection;
};

TEST(SqlHighlighter, ColoursStayOutOfWhatLeavesTheEditor) {
    CopyingEdit plain;
    plain.setPlainText(kScript);
    CopyingSqlEdit editor;
    SqlHighlighter highlighter(&editor);
    editor.setPlainText(kScript);
    ASSERT_TRUE(coloured(*editor.document()));
    editor.selectAll();
    plain.selectAll();

    const std::unique_ptr<QMimeData> copied(editor.createMimeDataFromSelection());
    const std::unique_ptr<QMimeData> copiedPlain(plain.createMimeDataFromSelection());
    EXPECT_EQ(copied->text(), kScript);
    EXPECT_TRUE(copied->html().contains("sysobjects"));
    EXPECT_EQ(copied->html().toStdString(), copiedPlain->html().toStdString());
    // Inside the document the lines' scanner states are Qt's own paragraph property; no colour.
    const auto withoutStates = [](QString html) {
        return html.remove(QRegularExpression(" -qt-user-state:\\d+;")).toStdString();
    };
    EXPECT_EQ(withoutStates(QTextDocumentFragment(editor.textCursor()).toHtml()),
              withoutStates(QTextDocumentFragment(plain.textCursor()).toHtml()));
    EXPECT_FALSE(editor.document()->toHtml().contains("color"));
    EXPECT_EQ(editorRtf(editor), editorRtf(plain));
}

std::vector<int> markedLines(const QTextEdit& editor) {
    std::vector<int> lines;
    for (const QTextEdit::ExtraSelection& selection : editor.extraSelections())
        if (selection.format.hasProperty(SqlEdit::kCurrentLineProperty)) {
            EXPECT_TRUE(selection.format.boolProperty(QTextFormat::FullWidthSelection));
            lines.push_back(selection.cursor.blockNumber());
        }
    return lines;
}

// The viewport's margin, as the editor set it.
int leftMargin(const SqlEdit& edit) {
    return edit.viewport()->x() - edit.contentsRect().x();
}

QString lines(int count) {
    QStringList all;
    for (int i = 1; i <= count; ++i)
        all << QString("select %1").arg(i);
    return all.join(QLatin1Char('\n'));
}

TEST(LineGutter, FitsTheLargestNumberInTheEditorsFont) {
    SqlEdit edit;
    edit.resize(400, 300);
    edit.show();
    edit.setPlainText(lines(99));
    EXPECT_EQ(leftMargin(edit), 0);
    EXPECT_FALSE(edit.gutter()->isVisible());

    edit.setLineNumbers(true);
    EXPECT_TRUE(edit.gutter()->isVisible());
    const int twoDigits = edit.gutterWidth();
    EXPECT_EQ(leftMargin(edit), twoDigits);
    EXPECT_EQ(edit.gutter()->width(), twoDigits);

    const int digit = QFontMetrics(edit.font()).horizontalAdvance(QLatin1Char('9'));
    edit.append("select 100");
    EXPECT_EQ(edit.gutterWidth(), twoDigits + digit);
    EXPECT_EQ(leftMargin(edit), twoDigits + digit);

    QFont larger = edit.font();
    larger.setPointSize(larger.pointSize() * 3);
    edit.setFont(larger);
    const int largerDigit = QFontMetrics(larger).horizontalAdvance(QLatin1Char('9'));
    ASSERT_GT(largerDigit, digit);
    EXPECT_EQ(edit.gutter()->font(), larger);
    EXPECT_EQ(edit.gutterWidth(), twoDigits / digit * largerDigit + largerDigit);
    EXPECT_EQ(leftMargin(edit), edit.gutterWidth());

    edit.setLineNumbers(false);
    EXPECT_EQ(leftMargin(edit), 0);
    EXPECT_FALSE(edit.gutter()->isVisible());
}

TEST(LineGutter, MarksTheCaretsLineAlone) {
    SqlEdit edit;
    edit.setPlainText(lines(20));
    QTextEdit::ExtraSelection foreign;
    foreign.cursor = QTextCursor(edit.document()->findBlockByNumber(2));
    foreign.format.setBackground(Qt::yellow);
    edit.setExtraSelections({foreign});
    Watch watch(edit);

    edit.setLineNumbers(true);
    EXPECT_EQ(markedLines(edit), std::vector<int>{0});
    QTextCursor caret(edit.document()->findBlockByNumber(9));
    caret.movePosition(QTextCursor::EndOfBlock);
    edit.setTextCursor(caret);
    EXPECT_EQ(markedLines(edit), std::vector<int>{9});
    edit.moveCursor(QTextCursor::Down);
    EXPECT_EQ(markedLines(edit), std::vector<int>{10});
    EXPECT_EQ(edit.extraSelections().size(), 2);
    EXPECT_EQ(edit.extraSelections().front().cursor.blockNumber(), 2);
    watch.expectUntouched("caret moved");

    edit.setLineNumbers(false);
    EXPECT_TRUE(markedLines(edit).empty());
    ASSERT_EQ(edit.extraSelections().size(), 1);
    EXPECT_EQ(edit.extraSelections().front().format.background().color(), QColor(Qt::yellow));
    watch.expectUntouched("switched off");
}

} // namespace
} // namespace ostrim
