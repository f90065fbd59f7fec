#include "profile_file.h"

#include "file_helpers.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

TEST(ProfileFile, NamesCompareWithoutCaseAndTheFirstMatchCounts) {
    const ProfileFile profile =
        ProfileFile::fromBytes("[Run]\r\nLastUser = sa \r\nlastuser=second\r\n"
                               "[CONFIG]\r\nAppendGo=1\r\n[config]\r\nNoExec=1\r\n");
    EXPECT_EQ(profile.value("run", "LASTUSER"), QString("sa"));
    EXPECT_TRUE(profile.readBool("Config", "appendgo", false));
    // A second section of the same name is not searched.
    EXPECT_FALSE(profile.value("Config", "NoExec").has_value());
    EXPECT_FALSE(profile.value("Other", "LastUser").has_value());
    // A key of one section is not seen in another.
    EXPECT_FALSE(profile.value("Config", "LastUser").has_value());
}

TEST(ProfileFile, IntegersAndBooleans) {
    const ProfileFile profile = ProfileFile::fromBytes(
        "[S]\none=1\nzero=0\nseven=7\nnegative=-3\ncolour=16777215\nword=yes\nempty=\n");
    EXPECT_TRUE(profile.readBool("S", "one", false));
    EXPECT_FALSE(profile.readBool("S", "zero", true));
    EXPECT_TRUE(profile.readBool("S", "seven", false));
    EXPECT_TRUE(profile.readBool("S", "negative", false));
    EXPECT_EQ(profile.readInteger("S", "negative", 0), -3);
    EXPECT_EQ(profile.readInteger("S", "colour", 0), 16777215);
    // Not an integer, or no value: the default, as for a missing key.
    EXPECT_TRUE(profile.readBool("S", "word", true));
    EXPECT_FALSE(profile.readBool("S", "word", false));
    EXPECT_EQ(profile.readInteger("S", "empty", 5), 5);
    EXPECT_EQ(profile.readInteger("S", "missing", 5), 5);
    // An empty string value is a value, not a missing key.
    EXPECT_EQ(profile.readString("S", "empty", "default"), QString());
}

TEST(ProfileFile, RewriteKeepsEveryOtherLineAndItsText) {
    ProfileFile profile = ProfileFile::fromBytes(
        "; written by hand\r\n[Run]\r\nLASTUSER=old\r\nUnknown = keep  me\r\n"
        "no equals sign here\r\n\r\n[Extra]\r\nKey=Value\r\n");
    profile.writeString("Run", "LastUser", "sa");
    profile.writeString("Run", "LastDbName", "pubs2");
    profile.writeBool("Config", "ShowPlan", true);
    profile.writeInteger("Extra", "Number", -12);
    EXPECT_EQ(profile.toBytes(),
              QByteArray("; written by hand\r\n[Run]\r\nLASTUSER=sa\r\nUnknown = keep  me\r\n"
                         "no equals sign here\r\nLastDbName=pubs2\r\n\r\n"
                         "[Extra]\r\nKey=Value\r\nNumber=-12\r\n\r\n[Config]\r\nShowPlan=1\r\n"));
    // Writing the same values again changes nothing.
    const QByteArray once = profile.toBytes();
    profile.writeString("run", "lastuser", "sa");
    profile.writeBool("Config", "ShowPlan", true);
    EXPECT_EQ(profile.toBytes(), once);
}

TEST(ProfileFile, CommentLinesAreNotKeys) {
    ProfileFile profile = ProfileFile::fromBytes("[Run]\n;LastUser=commented\n");
    EXPECT_FALSE(profile.value("Run", "LastUser").has_value());
    profile.writeString("Run", "LastUser", "sa");
    EXPECT_EQ(profile.toBytes(), QByteArray("[Run]\r\n;LastUser=commented\r\nLastUser=sa\r\n"));
}

class ProfileFileOnDisk : public test::TempDirTest {
protected:
    const QString path = m_dir.filePath("x.ini");
};

TEST_F(ProfileFileOnDisk, SingleByteFilesAreReadAndRewrittenWithoutLoss) {
    // LF and CRLF mixed, a single byte above 127 (not UTF-8), no final line break.
    test::writeBytes(path, "[Run]\nDefaultDir=C:\\donn\xE9\x65s\r\nOther=\xFF");
    ProfileFile profile;
    ASSERT_TRUE(profile.load(path));
    EXPECT_EQ(profile.value("Run", "DefaultDir"), QString::fromLatin1("C:\\donn\xE9\x65s"));
    ASSERT_TRUE(profile.save(path));
    // Rewritten in UTF-8 with CRLF line ends; the same characters come back.
    EXPECT_EQ(test::readBytes(path), QByteArray("[Run]\r\nDefaultDir=C:\\donn\xC3\xA9\x65s\r\n"
                                                "Other=\xC3\xBF\r\n"));
    ProfileFile again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(again.value("Run", "Other"), QString::fromLatin1("\xFF"));
}

TEST_F(ProfileFileOnDisk, TextOutsideLatin1SurvivesARoundTrip) {
    const QString name =
        QString::fromUtf8("/home/\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD/\xE6\x97\xA5.sql");
    ProfileFile profile;
    profile.writeString("Run", "History1", name);
    ASSERT_TRUE(profile.save(path));
    ProfileFile again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(again.value("Run", "History1"), name);
}

} // namespace
} // namespace ostrim
