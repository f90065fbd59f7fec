// The program's own files hold logins and every batch run: each one is the user's alone after
// it is written, whatever mode it had and wherever the user put the history.
#include "config_file.h"
#include "history_file.h"
#include "program_dir.h"
#include "recent_files.h"
#include "tools_file.h"

#include "environment_guard.h"
#include "file_helpers.h"
#include "file_modes.h"

#include <functional>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

class PrivateFilesTest : public test::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        m_env.set("OSTRIM_HOME", m_dir.filePath("ostrim").toLocal8Bit());
    }
    test::EnvironmentGuard m_env;
    // Files made without care would be readable by all.
    test::UmaskGuard m_umask{022};
};

TEST_F(PrivateFilesTest, EveryWriterLeavesItsFileToTheUserAlone) {
    SqlHistory history;
    history.insertFirst("sp_password 'old', 'secret'");
    const struct {
        const char* what;
        QString path;
        std::function<IoResult(const QString&)> write;
    } cases[] = {
        {"configuration", configFilePath(),
         [](const QString& path) {
             return write_ini(path, OstrimConfig(), RecentFiles());
         }},
        {"tools", toolsFilePath(),
         [](const QString& path) {
             return write_tools(path, ToolLists{{"t"}, {"p"}, {}, {}, {}});
         }},
        {"history", programFilePath("Ostrim.his"),
         [&](const QString& path) {
             return write_history_file(path, history);
         }},
        {"history outside the program directory", m_dir.filePath("elsewhere.his"),
         [&](const QString& path) {
             return write_history_file(path, history);
         }},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(test::fileMode(c.path), -1) << c.what;
        ASSERT_TRUE(c.write(c.path)) << c.what;
        // The modes a file had before are writeFileSafely's (test_text_file.cpp).
        EXPECT_EQ(test::fileMode(c.path), 0600) << c.what;
    }
    EXPECT_TRUE(test::readBytes(programFilePath("Ostrim.his")).contains("secret"));
}

TEST_F(PrivateFilesTest, FilesCreatedByReadingAreTheUsersAlone) {
    ToolLists tools;
    ASSERT_TRUE(read_tools(toolsFilePath(), tools));
    EXPECT_EQ(test::fileMode(toolsFilePath()), 0600);
    SqlHistory history;
    const QString elsewhere = m_dir.filePath("elsewhere.his");
    ASSERT_TRUE(read_history_file(elsewhere, history));
    EXPECT_EQ(test::fileMode(elsewhere), 0600);
}

} // namespace
} // namespace ostrim
