#include "history_file.h"

#include "file_helpers.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

class HistoryFileTest : public test::TempDirTest {
protected:
    QString path() const { return m_dir.filePath("Ostrim.his"); }

    SqlHistory readFrom(const QByteArray& bytes) {
        test::writeBytes(path(), bytes);
        SqlHistory history;
        const IoResult result = read_history_file(path(), history);
        EXPECT_TRUE(result.ok()) << result.message().toStdString();
        return history;
    }
};

TEST_F(HistoryFileTest, HashLinesSeparateEntriesThatEachBeginWithALineBreak) {
    const struct {
        const char* what;
        QByteArray bytes;
        QStringList entries;
    } cases[] = {
        {"lines kept, empty entries skipped",
         "#\r\nselect 1\r\n#\r\nselect *\n  from sysobjects\r\n\r\n#\r\n#\r\nsp_who",
         {"\r\nselect 1", "\r\nselect *\r\n  from sysobjects\r\n", "\r\nsp_who"}},
        {"text before the first hash line is entry one",
         "select 1\r\ngo\r\n#\r\nselect 2\r\n",
         {"\r\nselect 1\r\ngo", "\r\nselect 2"}},
        {"a hash line with text ends the entry and its text is dropped",
         "#1\r\nselect 1\r\n# entry two\r\nselect 2\r\n # not a separator\r\n",
         {"\r\nselect 1", "\r\nselect 2\r\n # not a separator"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readFrom(c.bytes).entries(), c.entries) << c.what;
    EXPECT_EQ(trimHistoryText("\r\nselect *\r\n  from sysobjects\r\n"),
              QString("select *\r\n  from sysobjects"));
}

TEST_F(HistoryFileTest, WritesAHashLineThenTheTrimmedEntry) {
    SqlHistory history;
    history.assign({"\r\n  select 1\r\n\t", "select *\r\nfrom t", " \r\n"});
    ASSERT_TRUE(write_history_file(path(), history));
    EXPECT_EQ(test::readBytes(path()),
              QByteArray("#\r\nselect 1\r\n#\r\nselect *\r\nfrom t\r\n#\r\n\r\n"));

    // Read back, each entry is the written text after a line break, blank entry included.
    SqlHistory reread;
    ASSERT_TRUE(read_history_file(path(), reread));
    EXPECT_EQ(reread.entries(), (QStringList{"\r\nselect 1", "\r\nselect *\r\nfrom t", "\r\n"}));
}

TEST_F(HistoryFileTest, LinesBeginningWithAHashStayInsideTheirEntry) {
    // Temporary tables at the start of a line come back after one blank.
    const QString first = "#t first\r\nselect 1";
    const QString second = "create table #t (a int)\r\n#t is next\r\n  #u kept\r\n##glob";
    SqlHistory history;
    history.insertFirst(first);
    history.insertFirst(second);
    ASSERT_TRUE(write_history_file(path(), history));
    SqlHistory reread;
    ASSERT_TRUE(read_history_file(path(), reread));
    ASSERT_EQ(reread.count(), 2);
    EXPECT_EQ(reread.entry(1),
              "\r\ncreate table #t (a int)\r\n #t is next\r\n  #u kept\r\n ##glob");
    EXPECT_EQ(reread.entry(2), "\r\n #t first\r\nselect 1");
    // Files of older versions read as before: a hash line still ends an entry.
    EXPECT_EQ(readFrom("#\r\nselect 1\r\n#t\r\nselect 2\r\n").count(), 2);
}

TEST_F(HistoryFileTest, AtMost99EntriesAreLoadedAndWrittenBack) {
    QByteArray bytes;
    for (int i = 1; i <= 150; ++i)
        bytes += "#\r\nselect " + QByteArray::number(i) + "\r\n";
    const SqlHistory history = readFrom(bytes);
    ASSERT_EQ(history.count(), kHistoryLoadLimit);
    EXPECT_EQ(history.entry(1), QString("\r\nselect 1"));
    EXPECT_EQ(history.entry(99), QString("\r\nselect 99"));

    ASSERT_TRUE(write_history_file(path(), history));
    const QByteArray written = test::readBytes(path());
    EXPECT_EQ(written.count("#\r\n"), 99);
    EXPECT_TRUE(written.endsWith("#\r\nselect 99\r\n"));

    // Text still pending at the end of the file is the hundredth entry: left out as well.
    bytes.truncate(bytes.indexOf("#\r\nselect 101\r\n"));
    EXPECT_EQ(readFrom(bytes).count(), 99);
}

TEST_F(HistoryFileTest, MissingFileIsCreatedEmpty) {
    SqlHistory history;
    history.assign({"old"});
    ASSERT_TRUE(read_history_file(path(), history));
    EXPECT_EQ(history.count(), 0);
    EXPECT_TRUE(QFile::exists(path()));
    EXPECT_TRUE(test::readBytes(path()).isEmpty());

    // Clearing the history leaves an empty file.
    test::writeBytes(path(), "#\r\nselect 1\r\n");
    ASSERT_TRUE(write_history_file(path(), SqlHistory()));
    EXPECT_TRUE(test::readBytes(path()).isEmpty());
}

TEST_F(HistoryFileTest, FileInAMissingDirectoryIsAnErrorAndChangesNothing) {
    const QString bad = m_dir.filePath("nowhere/Ostrim.his");
    SqlHistory history;
    history.assign({"kept"});
    const IoResult readResult = read_history_file(bad, history);
    EXPECT_FALSE(readResult.ok());
    EXPECT_EQ(history.entries(), QStringList{"kept"});

    const IoResult writeResult = write_history_file(bad, history);
    EXPECT_FALSE(writeResult.ok());
    EXPECT_EQ(writeResult.fileName(), bad);
}

TEST(SqlHistory, HoldsAtMost100NewestFirst) {
    SqlHistory history;
    for (int i = 1; i <= 101; ++i)
        history.insertFirst(QString::number(i));
    ASSERT_EQ(history.count(), SqlHistory::kCapacity);
    EXPECT_EQ(history.entry(1), QString("101"));
    EXPECT_EQ(history.entry(100), QString("2"));
    EXPECT_TRUE(history.entry(101).isEmpty());

    QStringList many;
    for (int i = 0; i < 120; ++i)
        many << QString::number(i);
    history.assign(many);
    EXPECT_EQ(history.entries(), many.mid(0, 100));
}

TEST(SqlHistory, TrimRemovesBlanksAndControlCharactersAtBothEnds) {
    EXPECT_EQ(trimHistoryText(QString("\r\n\t \x01select\t1 \r\n\x1f")), QString("select\t1"));
    EXPECT_EQ(trimHistoryText(" \r\n "), QString());
    // A non-breaking space is text.
    EXPECT_EQ(trimHistoryText(QString(QChar(0xA0)) + "x"), QString(QChar(0xA0)) + "x");
}

} // namespace
} // namespace ostrim
