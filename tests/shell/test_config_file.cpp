#include "config_file.h"
#include "recent_files.h"

#include "file_helpers.h"

#include <gtest/gtest.h>

namespace ostrim {
namespace {

class ConfigFileTest : public test::TempDirTest {
protected:
    QString path() const { return m_dir.filePath("Ostrim.Ini"); }
    // The file's values read over config.
    OstrimConfig readOver(OstrimConfig config = {}) {
        RecentFiles recent;
        read_ini(path(), config, recent);
        return config;
    }
};

// Every value different from its default.
OstrimConfig changedConfig() {
    OstrimConfig c{.DefaultDir = "/home/u/sql/",
                   .LastUser = "sa",
                   .LastDbName = "pubs2",
                   .LastServerName = "SYBASE",
                   .HistoryFile = "/tmp/other.his"};
    c.LoginTimeOut = 0;
    c.MessagesInResults = c.ShowNullText = true;
    c.SyntaxColours = c.LineNumbers = c.Completion = c.CellViewer = false;
    c.ShowPlan = c.NoExec = c.CheckSyntax = c.ShowIo = c.ShowTime = c.ArithAbort = c.ArithIgnore =
        c.ShowNonAnsi = c.AppendGo = c.OpenNewWindow = c.PasteCREATE = c.PasteDROP = c.RichText =
            true;
    c.ExecSelected = c.BackgroundProcess = c.SeperateDBProc = c.AppendPaste = false;
    c.TextForeGroundColor = 255;
    c.TextBackGroundColor = 8421504;
    c.ProcessesDelay = 12;
    c.ProcessesSProc = "sp_who2";
    return c;
}

TEST_F(ConfigFileTest, MissingFileGivesTheDefaults) {
    OstrimConfig config = changedConfig();
    RecentFiles recent;
    recent.add("/a.sql");
    read_ini(path(), config, recent);

    EXPECT_EQ(config, OstrimConfig());
    EXPECT_EQ(recent.count(), 0);
    // The defaults as the file's users expect them.
    EXPECT_EQ(config.HistoryFile, QString("Ostrim.his"));
    EXPECT_TRUE(config.ExecSelected && config.BackgroundProcess && config.SeperateDBProc &&
                config.AppendPaste);
    EXPECT_EQ(config.TextForeGroundColor, 0);
    EXPECT_EQ(config.TextBackGroundColor, 16777215);
    EXPECT_EQ(config.ProcessesDelay, 5);
    EXPECT_EQ(config.ProcessesSProc, QString("sp_who"));
    EXPECT_EQ(config.LoginTimeOut, 15);
    EXPECT_TRUE(config.SyntaxColours && config.LineNumbers && config.Completion &&
                config.CellViewer);
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(ConfigFileTest, FreshFileHoldsEveryKeyInOrder) {
    RecentFiles recent;
    recent.add("/sql/a.sql");
    recent.add("/sql/b.sql");
    ASSERT_TRUE(write_ini(path(), changedConfig(), recent));
    EXPECT_EQ(test::readBytes(path()),
              QByteArray("[Run]\r\nLastUser=sa\r\nLastDbName=pubs2\r\nLastServerName=SYBASE\r\n"
                         "DefaultDir=/home/u/sql/\r\nHistoryFile=/tmp/other.his\r\n"
                         "History1=/sql/a.sql\r\nHistory2=/sql/b.sql\r\nLoginTimeOut=0\r\n"
                         "MessagesInResults=1\r\nShowNullText=1\r\nSyntaxColours=0\r\n"
                         "LineNumbers=0\r\nCompletion=0\r\nCellViewer=0\r\n\r\n"
                         "[Config]\r\nShowPlan=1\r\nNoExec=1\r\nCheckSyntax=1\r\nShowIo=1\r\n"
                         "ShowTime=1\r\nArithAbort=1\r\nArithIgnore=1\r\nShowNonAnsi=1\r\n"
                         "ExecSelected=0\r\nBackgroundProcess=0\r\nAppendgo=1\r\nAppendPaste=0\r\n"
                         "OpenNewWindow=1\r\nPasteCREATE=1\r\nPasteDROP=1\r\nProcessesDelay=12\r\n"
                         "ProcessesSProc=sp_who2\r\nSeperateDBProc=0\r\nRichText=1\r\n"
                         "TextForeGroundColor=255\r\nTextBackGroundColor=8421504\r\n"));
}

TEST_F(ConfigFileTest, WrittenValuesReadBack) {
    RecentFiles written;
    for (int i = 1; i <= RecentFiles::kCapacity; ++i)
        written.add(QString("/sql/f%1.sql").arg(i));
    ASSERT_TRUE(write_ini(path(), changedConfig(), written));

    OstrimConfig config;
    RecentFiles recent;
    read_ini(path(), config, recent);
    EXPECT_EQ(config, changedConfig());
    EXPECT_EQ(recent.names(), written.names());
}

TEST_F(ConfigFileTest, AppendgoSpellingAndAnyCaseAreReadAsAppendGo) {
    test::writeBytes(path(), "[config]\r\nAppendgo=1\r\nAPPENDPASTE=0\r\nrichtext=2\r\n");
    OstrimConfig config = readOver();
    EXPECT_TRUE(config.AppendGo);
    EXPECT_FALSE(config.AppendPaste);
    EXPECT_TRUE(config.RichText); // any non-zero integer

    // Rewriting keeps the one line of the file, whatever its spelling.
    config.AppendGo = false;
    ASSERT_TRUE(write_ini(path(), config, RecentFiles()));
    const QByteArray bytes = test::readBytes(path());
    EXPECT_TRUE(bytes.contains("\r\nAppendgo=0\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nAPPENDPASTE=0\r\n"));
    EXPECT_EQ(bytes.toLower().count("append"), 2);
}

TEST_F(ConfigFileTest, RecentFilesWithGapsArePackedAndOldSlotsStay) {
    test::writeBytes(path(), "[Run]\r\nHistory2=/sql/two.sql\r\nHistory5=/sql/five.sql\r\n");
    OstrimConfig config;
    RecentFiles recent;
    read_ini(path(), config, recent);
    EXPECT_EQ(recent.count(), 2);
    EXPECT_EQ(recent.slot(1), QString("/sql/two.sql"));
    EXPECT_EQ(recent.slot(2), QString("/sql/five.sql"));

    ASSERT_TRUE(write_ini(path(), config, recent));
    const QByteArray bytes = test::readBytes(path());
    EXPECT_TRUE(bytes.startsWith("[Run]\r\n"
                                 "History2=/sql/five.sql\r\n"
                                 "History5=/sql/five.sql\r\n"
                                 "LastUser=\r\n"));
    EXPECT_TRUE(bytes.contains("HistoryFile=Ostrim.his\r\nHistory1=/sql/two.sql\r\n"));

    // Read again: the old History5 line now duplicates slot 2, and both are taken.
    read_ini(path(), config, recent);
    EXPECT_EQ(recent.names(), (QStringList{"/sql/two.sql", "/sql/five.sql", "/sql/five.sql"}));
}

TEST_F(ConfigFileTest, UnknownSectionsAndKeysArePreserved) {
    test::writeBytes(path(), "; my settings\r\n"
                             "[Run]\r\n"
                             "LastUser=old\r\n"
                             "WindowState=2\r\n"
                             "\r\n"
                             "[Printer]\r\n"
                             "Name=lp0\r\n");
    ASSERT_TRUE(write_ini(path(), changedConfig(), RecentFiles()));
    const QByteArray bytes = test::readBytes(path());
    EXPECT_TRUE(bytes.startsWith("; my settings\r\n[Run]\r\nLastUser=sa\r\nWindowState=2\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nCellViewer=0\r\n\r\n[Printer]\r\nName=lp0\r\n"))
        << "keys of our own go last in their section";
    EXPECT_FALSE(bytes.contains("History1"));
}

TEST_F(ConfigFileTest, NamesAreCutTo30Characters) {
    const QByteArray longName(40, 'n');
    test::writeBytes(path(), "[Run]\r\nLastUser=" + longName + "\r\nLastDbName=" + longName +
                                 "\r\nLastServerName=" + longName + "\r\nDefaultDir=" + longName +
                                 "\r\n[Config]\r\nProcessesSProc=" + longName + "\r\n");
    const OstrimConfig config = readOver();
    const QString cut(30, 'n');
    EXPECT_EQ(config.LastUser, cut);
    EXPECT_EQ(config.LastDbName, cut);
    EXPECT_EQ(config.LastServerName, cut);
    EXPECT_EQ(config.ProcessesSProc, cut);
    EXPECT_EQ(config.DefaultDir, QString(40, 'n'));
}

TEST_F(ConfigFileTest, UnusableValuesFallBackToDefaultsButZeroIsATimeOut) {
    test::writeBytes(path(), "[Run]\r\nLoginTimeOut=-2\r\n"
                             "[Config]\r\nProcessesDelay=soon\r\nExecSelected=\r\n");
    const OstrimConfig config = readOver(changedConfig());
    EXPECT_EQ(config.ProcessesDelay, 5);
    EXPECT_TRUE(config.ExecSelected);
    EXPECT_EQ(config.LoginTimeOut, 15);

    OstrimConfig waits;
    waits.LoginTimeOut = 0;
    test::writeBytes(path(), "[Run]\r\nLoginTimeOut=soon\r\n");
    EXPECT_EQ(readOver(waits).LoginTimeOut, 15);
    test::writeBytes(path(), "[run]\r\nlogintimeout=0\r\n");
    EXPECT_EQ(readOver().LoginTimeOut, 0) << "0 waits for ever";
}

TEST_F(ConfigFileTest, WriteFailureIsReported) {
    const IoResult result =
        write_ini(m_dir.filePath("missing/Ostrim.Ini"), OstrimConfig(), RecentFiles());
    EXPECT_FALSE(result.ok()); // the message is writeFileSafely's (test_text_file.cpp)
}

} // namespace
} // namespace ostrim
