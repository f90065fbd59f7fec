// The editor's RTF reader and writer: attributes and text survive a round trip, files of other
// writers read as their text, and hostile input neither crashes nor hangs the reader.
#include "rtf.h"

#include <QRandomGenerator>
#include <QTextCursor>
#include <QTextDocument>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

RtfFormat format(bool bold, bool italic, bool underline, const QString& font = {}, double size = 0,
                 const QColor& color = {}) {
    return {bold, italic, underline, font, size, color};
}

TEST(Rtf, RunsSurviveTheirOwnRoundTrip) {
    const RtfText text = {
        {"plain ", format(false, false, false, "Courier New", 10)},
        {"bold", format(true, false, false, "Courier New", 10)},
        {" italic", format(false, true, false, "Arial", 12, QColor(200, 10, 30))},
        {" under\nline", format(false, false, true, "Arial", 10.5, QColor(0, 0, 255))},
        {"all three", format(true, true, true, "Times New Roman", 14, QColor(0, 128, 0))},
        {" braces {x} and \\back\\slash\tand tab\n\nend", format(false, false, false)},
    };
    const QByteArray rtf = writeRtf(text);
    EXPECT_TRUE(rtf.startsWith("{\\rtf1"));
    EXPECT_TRUE(looksLikeRtf(rtf));
    EXPECT_EQ(readRtf(rtf), text);
}

TEST(Rtf, NonAsciiTextIsEscapedAndReadBack) {
    const QString text = QString::fromUtf8("Grüße, façade – 50 € — Ωμέγα, Привет, 漢字 😀 end");
    const RtfText runs = {{text, format(false, false, false, QString::fromUtf8("Schrift Ü"))}};
    const QByteArray rtf = writeRtf(runs);
    // Written in 7 bits: any reader copes with the bytes.
    for (char c : rtf)
        EXPECT_GE(static_cast<signed char>(c), 0);
    EXPECT_EQ(readRtf(rtf), runs);
}

TEST(Rtf, DocumentRoundTripKeepsEveryAttribute) {
    QTextDocument source;
    QFont base("Courier");
    base.setPointSize(9);
    source.setDefaultFont(base);
    QTextCursor cursor(&source);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat styled;
    styled.setFontItalic(true);
    styled.setFontUnderline(true);
    styled.setFontFamilies({"Helvetica"});
    styled.setFontPointSize(16);
    styled.setForeground(QColor(255, 0, 0));
    cursor.insertText("select ", QTextCharFormat());
    cursor.insertText("name", bold);
    cursor.insertText("\nfrom ", QTextCharFormat());
    cursor.insertText(QString::fromUtf8("tåble™"), styled);
    cursor.insertText("\n", QTextCharFormat());

    QTextDocument copy;
    copy.setDefaultFont(QFont("Arial", 20)); // the written attributes win over the reader's
    QTextCursor into(&copy);
    insertRuns(into, readRtf(documentToRtf(source)));

    EXPECT_EQ(copy.toPlainText(), source.toPlainText());
    EXPECT_EQ(copy.blockCount(), 3);
    const RtfText runs = documentRuns(copy);
    // A line break goes with the text before it.
    ASSERT_EQ(runs.size(), 4);
    EXPECT_EQ(runs[0].text, "select ");
    EXPECT_EQ(runs[0].format, format(false, false, false, "Courier", 9));
    EXPECT_EQ(runs[1].text, "name\n");
    EXPECT_EQ(runs[1].format, format(true, false, false, "Courier", 9));
    EXPECT_EQ(runs[2].text, "from ");
    EXPECT_EQ(runs[3].text, QString::fromUtf8("tåble™\n"));
    EXPECT_EQ(runs[3].format, format(false, true, true, "Helvetica", 16, QColor(255, 0, 0)));
    EXPECT_EQ(documentRuns(copy), documentRuns(source));
}

TEST(Rtf, ReadsWhatOtherWritersProduce) {
    // The shape of a word processor's file: tables to skip, a code page, a \u with its
    // fallback, hex escapes, an ignorable destination and a field.
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033"
        "{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}{\\f1\\fmodern\\fprq1 Courier New;}"
        "{\\f2\\fnil\\fcharset204{\\*\\panose 020b0604020202020204}Cyr Font;}}\r\n"
        "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}\r\n"
        "{\\stylesheet{ Normal;}{\\s1 heading 1;}}"
        "{\\info{\\author Somebody}{\\title A title}}"
        "{\\*\\generator Riched20 10.0;}\\viewkind4\\uc1\\pard\\f0\\fs20 "
        "Caf\\'e9 \\b bold\\b0  \\cf1 red\\cf0  \\u8364?uro "
        "{\\*\\unknowndest hidden}{\\unknownword shown}"
        "\\f2\\'cf\\'f0\\'e8\\f0 "
        "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}"
        "{\\pict\\wmetafile8\\picw10 0123abcdef}\\par\r\n"
        "\\i tail\\i0\\par\r\n}";
    const RtfText runs = readRtf(rtf);
    EXPECT_EQ(plainText(runs), QString::fromUtf8("Café bold red €uro shownПриlink\ntail\n"));
    ASSERT_GE(runs.size(), 5);
    EXPECT_EQ(runs[0].text, QString::fromUtf8("Café "));
    EXPECT_EQ(runs[0].format, format(false, false, false, "Arial", 10));
    EXPECT_EQ(runs[1].text, "bold");
    EXPECT_TRUE(runs[1].format.bold);
    bool sawRed = false, sawCyrillicFont = false, sawItalicTail = false;
    for (const RtfRun& run : runs) {
        sawRed = sawRed || (run.text == "red" && run.format.color == QColor(255, 0, 0));
        sawCyrillicFont = sawCyrillicFont ||
                          (run.format.font == "Cyr Font" && run.text == QString::fromUtf8("При"));
        sawItalicTail = sawItalicTail || (run.text.startsWith("tail") && run.format.italic);
    }
    EXPECT_TRUE(sawRed);
    EXPECT_TRUE(sawCyrillicFont);
    EXPECT_TRUE(sawItalicTail);
}

TEST(Rtf, UnicodeFallbackAndStyleWords) {
    // \uc2 skips two fallback characters, a hex escape counting as one; \plain and \ulnone
    // take styles back; surrogate pairs join; a lone surrogate is replaced.
    const RtfText runs = readRtf("{\\rtf1{\\uc2\\u26085\\'93\\'fa!}{\\u-10179?\\u-8704?}\\u-10179?x"
                                 "\\b\\i\\ul a\\plain b\\ul c\\ulnone d}");
    EXPECT_EQ(plainText(runs), QString::fromUtf8("日!😀\uFFFDxabcd"));
    ASSERT_EQ(runs.size(), 5);
    EXPECT_EQ(runs[1].text, "a");
    EXPECT_EQ(runs[1].format, format(true, true, true));
    EXPECT_EQ(runs[2].text, "b");
    EXPECT_EQ(runs[2].format, format(false, false, false));
    EXPECT_EQ(runs[3].text, "c");
    EXPECT_EQ(runs[3].format, format(false, false, true));
    EXPECT_EQ(runs[4].format, runs[2].format);
}

TEST(Rtf, RecognisesTheHeaderOnly) {
    EXPECT_TRUE(looksLikeRtf("{\\rtf1 x}"));
    EXPECT_TRUE(looksLikeRtf("\xEF\xBB\xBF \r\n{\\rtf1}"));
    EXPECT_FALSE(looksLikeRtf("select 1"));
    EXPECT_FALSE(looksLikeRtf("{\\rt"));
    EXPECT_FALSE(looksLikeRtf(""));
}

TEST(Rtf, HostileInputIsReadWithoutHarm) {
    // Unbalanced braces: what stands inside the document still counts.
    EXPECT_EQ(plainText(readRtf("{\\rtf1 open {\\b never closed")), "open never closed");
    EXPECT_EQ(plainText(readRtf("}}}{\\rtf1 a}}}b{c}")), "a");
    // Truncated escapes at the end, and in the middle.
    EXPECT_EQ(plainText(readRtf("{\\rtf1 x\\'4")), "x");
    EXPECT_EQ(plainText(readRtf("{\\rtf1 x\\'zq}")), "xzq");
    EXPECT_EQ(plainText(readRtf("{\\rtf1 x\\")), "x");
    EXPECT_EQ(plainText(readRtf("{\\rtf1 x\\u")), "x");
    EXPECT_EQ(plainText(readRtf("{\\rtf1 x\\u-")), "x");
    // Numbers out of every range.
    EXPECT_EQ(plainText(readRtf("{\\rtf1 \\u99999999999999999999 ?a\\fs-99999999999 b"
                                "\\cf4294967297 c\\uc99999999999\\u65?d}")),
              "abcA");
    // \bin skips its bytes, braces included, and does not run past the end.
    EXPECT_EQ(plainText(readRtf("{\\rtf1 a{\\pict\\bin4 }}{{}b}c")), "ab");
    EXPECT_EQ(plainText(readRtf("{\\rtf1 a\\bin999999999 xyz")), "a");
    // A control word of any length.
    EXPECT_EQ(plainText(readRtf("{\\rtf1 \\" + QByteArray(100000, 'z') + " q}")), "q");

    // Deep nesting: bounded state, no recursion, the text kept.
    const int depth = 200000;
    const QByteArray deep =
        "{\\rtf1 " + QByteArray(depth, '{') + "\\b deep" + QByteArray(depth, '}') + " after}";
    const RtfText deepRuns = readRtf(deep);
    EXPECT_EQ(plainText(deepRuns), "deep after");
    ASSERT_EQ(deepRuns.size(), 2);
    EXPECT_TRUE(deepRuns[0].format.bold);
    EXPECT_FALSE(deepRuns[1].format.bold); // the groups closed again, overflow included
    EXPECT_EQ(plainText(readRtf("{\\rtf1 " + QByteArray(depth, '{') + "x")), "x");

    // Random bytes and random mutations of a real file: any outcome but a crash.
    QRandomGenerator random(20240607);
    const QByteArray good = writeRtf({{QString::fromUtf8("sélect {x} from t\nwhere"),
                                       format(true, false, true, "Arial", 11, Qt::red)}});
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = good;
        for (int edits = random.bounded(1, 12); edits > 0; --edits) {
            const int at = random.bounded(int(bytes.size()));
            switch (random.bounded(3)) {
            case 0:
                bytes[at] = char(random.bounded(256));
                break;
            case 1:
                bytes.remove(at, random.bounded(1, 8));
                break;
            default:
                bytes.insert(at, "{}\\'u*-0123456789"[random.bounded(17)]);
            }
            if (bytes.isEmpty())
                bytes = "{";
        }
        const RtfText runs = readRtf(bytes);
        for (const RtfRun& run : runs)
            EXPECT_FALSE(run.text.isEmpty());
        QTextDocument document;
        QTextCursor cursor(&document);
        insertRuns(cursor, runs);
        EXPECT_EQ(document.toRawText(),
                  plainText(runs).replace(QLatin1Char('\n'), QChar::ParagraphSeparator));
    }
    for (int round = 0; round < 200; ++round) {
        QByteArray noise(random.bounded(1, 4000), '\0');
        for (char& c : noise)
            c = char(random.bounded(256));
        readRtf("{\\rtf1 " + noise);
    }
}

} // namespace
} // namespace ostrim
