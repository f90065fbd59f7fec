#include "text_file.h"

#include "file_helpers.h"
#include "file_modes.h"

#include <QDir>
#include <QIODevice>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

class TextFileTest : public test::TempDirTest {
protected:
    QStringList entries() const {
        return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

TEST_F(TextFileTest, InterruptedWriteLeavesTheOldFileIntact) {
    const QString path = m_dir.filePath("Ostrim.his");
    test::writeBytes(path, "#\r\nold contents\r\n");
    const QByteArray replacement(64 * 1024, 'x');

    // The writer gets half of the new text out, then fails as a full disk would.
    const IoResult result = writeFileSafely(path, [&](QIODevice& device) {
        EXPECT_EQ(device.write(replacement.left(replacement.size() / 2)), replacement.size() / 2);
        return false;
    });

    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.fileName(), path);
    EXPECT_EQ(test::readBytes(path), QByteArray("#\r\nold contents\r\n"));
    // No temporary file is left behind.
    EXPECT_EQ(entries(), QStringList{"Ostrim.his"});
}

TEST_F(TextFileTest, CompleteWriteReplacesTheFile) {
    const QString path = m_dir.filePath("OSTRIM.TOOLS");
    test::writeBytes(path, "a much longer old text than the new one\r\n");
    ASSERT_TRUE(writeFileSafely(path, QByteArray("new\r\n")));
    EXPECT_EQ(test::readBytes(path), QByteArray("new\r\n"));
    EXPECT_EQ(entries(), QStringList{"OSTRIM.TOOLS"});
}

TEST_F(TextFileTest, ReadCreatesAMissingFileEmpty) {
    const QString path = m_dir.filePath("new.his");
    QByteArray contents = "stale";
    ASSERT_TRUE(readFileCreatingIfMissing(path, contents));
    EXPECT_TRUE(contents.isEmpty());
    EXPECT_TRUE(QFile::exists(path));
}

TEST_F(TextFileTest, AMissingDirectoryIsReportedWithTheFileLayersMessage) {
    const QString path = m_dir.filePath("no/such/dir/Ostrim.his");
    const IoResult written = writeFileSafely(path, QByteArray("x"));
    EXPECT_FALSE(written.ok());
    EXPECT_FALSE(written.message().isEmpty());
    EXPECT_EQ(written.fileName(), path);

    QByteArray untouched = "stale";
    const IoResult read = readFileCreatingIfMissing(path, untouched);
    EXPECT_FALSE(read.ok());
    EXPECT_FALSE(read.message().isEmpty());
    EXPECT_EQ(untouched, QByteArray("stale"));
}

TEST_F(TextFileTest, PrivateFilesAreTheUsersAloneWhateverTheyWereBefore) {
    const test::UmaskGuard umask(022);
    const struct {
        const char* what;
        int before; // -1: no file yet
    } cases[] = {{"new", -1},
                 {"readable by all", 0644},
                 {"writable by all", 0666},
                 {"already private", 0600},
                 {"read-only", 0400}};
    for (const auto& c : cases) {
        const QString path = m_dir.filePath(QString::fromLatin1(c.what));
        if (c.before >= 0) {
            test::writeBytes(path, "old\r\n");
            ASSERT_TRUE(test::setFileMode(path, c.before));
        }
        ASSERT_TRUE(writeFileSafely(path, QByteArray("new\r\n"), FileMode::Private)) << c.what;
        EXPECT_EQ(test::fileMode(path), 0600) << c.what;
        EXPECT_EQ(test::readBytes(path), QByteArray("new\r\n")) << c.what;
    }

    const QString created = m_dir.filePath("created.his");
    QByteArray contents;
    ASSERT_TRUE(readFileCreatingIfMissing(created, contents, FileMode::Private));
    EXPECT_EQ(test::fileMode(created), 0600);
}

TEST_F(TextFileTest, SharedFilesFollowTheUmaskAndKeepTheirMode) {
    const struct {
        int umask;
        int created;
    } cases[] = {{022, 0644}, {027, 0640}, {002, 0664}};
    for (const auto& c : cases) {
        const test::UmaskGuard umask(c.umask);
        const QString written = m_dir.filePath(QString("out%1.sql").arg(c.umask, 0, 8));
        ASSERT_TRUE(writeFileSafely(written, QByteArray("select 1\n")));
        EXPECT_EQ(test::fileMode(written), c.created) << c.umask;
        const QString read = m_dir.filePath(QString("in%1.sql").arg(c.umask, 0, 8));
        QByteArray contents;
        ASSERT_TRUE(readFileCreatingIfMissing(read, contents));
        EXPECT_EQ(test::fileMode(read), c.created) << c.umask;
    }
    // The user's own choice for an existing file stays.
    const QString existing = m_dir.filePath("mine.sql");
    test::writeBytes(existing, "select 1\n");
    ASSERT_TRUE(test::setFileMode(existing, 0604));
    ASSERT_TRUE(writeFileSafely(existing, QByteArray("select 2\n")));
    EXPECT_EQ(test::fileMode(existing), 0604);
}

TEST(LineEnds, TheMostCommonLineEndWinsAndATieGoesToLf) {
    const struct {
        QByteArray bytes;
        LineEnd expected;
    } cases[] = {
        {"a\r\nb\r\n", LineEnd::CrLf}, {"a\nb\n", LineEnd::Lf},   {"a\r\nb\r\nc\n", LineEnd::CrLf},
        {"a\nb\nc\r\n", LineEnd::Lf},  {"a\r\nb\n", LineEnd::Lf}, {"a\r\nb", LineEnd::CrLf},
        {"no break", LineEnd::Lf},     {"", LineEnd::Lf},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dominantLineEnd(c.bytes), c.expected) << c.bytes.toStdString();

    EXPECT_EQ(joinLines({"a", "", "b"}), QByteArray("a\r\n\r\nb\r\n"));
    EXPECT_EQ(joinLines({"a", "", "b"}, LineEnd::Lf), QByteArray("a\n\nb\n"));
    EXPECT_EQ(joinLines({"a", "", "b"}, LineEnd::CrLf), QByteArray("a\r\n\r\nb\r\n"));
}

} // namespace
} // namespace ostrim
