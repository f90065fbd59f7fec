#include "text_file.h"

#include "file_helpers.h"

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

} // namespace
} // namespace ostrim
