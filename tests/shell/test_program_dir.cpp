#include "program_dir.h"

#include "environment_guard.h"
#include "file_helpers.h"
#include "file_modes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

class ProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(exeDir()));
        ASSERT_TRUE(QDir().mkpath(home()));
    }
    QString exeDir() const { return m_dir.filePath("bin"); }
    QString home() const { return m_dir.filePath("home"); }

    QTemporaryDir m_dir;
};

TEST_F(ProgramDirTest, ChoosesByTheRulesInOrder) {
    ProgramDirInputs inputs;
    inputs.home = home();
    inputs.executableDir = exeDir();
    EXPECT_EQ(resolveProgramDirectory(inputs), home() + "/.config/ostrim");

    inputs.xdgConfigHome = m_dir.filePath("xdg");
    EXPECT_EQ(resolveProgramDirectory(inputs), m_dir.filePath("xdg/ostrim"));

    // A relative XDG_CONFIG_HOME is ignored.
    inputs.xdgConfigHome = "relative/config";
    EXPECT_EQ(resolveProgramDirectory(inputs), home() + "/.config/ostrim");

    // Only a configuration file of that exact name makes the executable's directory portable.
    test::writeBytes(QDir(exeDir()).filePath("OSTRIM.TOOLS"), "");
    test::writeBytes(QDir(exeDir()).filePath("ostrim.ini"), "");
    EXPECT_EQ(resolveProgramDirectory(inputs), home() + "/.config/ostrim");
    test::writeBytes(QDir(exeDir()).filePath("Ostrim.Ini"), "");
    EXPECT_EQ(resolveProgramDirectory(inputs), exeDir());

    inputs.ostrimHome = m_dir.filePath("chosen/");
    EXPECT_EQ(resolveProgramDirectory(inputs), m_dir.filePath("chosen"));
}

TEST_F(ProgramDirTest, OstrimHomeIsCreatedAndHoldsTheFiles) {
    const QString chosen = m_dir.filePath("a/b/ostrim");
    test::EnvironmentGuard env;
    env.set("OSTRIM_HOME", chosen.toLocal8Bit());
    const test::UmaskGuard umask(022);
    ASSERT_TRUE(test::setFileMode(m_dir.path(), 0755));
    EXPECT_EQ(programDirectory(), chosen);
    EXPECT_TRUE(QFileInfo(chosen).isDir());
    // What it creates is the user's alone; what was there stays as it was.
    for (const char* created : {"a", "a/b", "a/b/ostrim"})
        EXPECT_EQ(test::fileMode(m_dir.filePath(created)), 0700) << created;
    EXPECT_EQ(test::fileMode(m_dir.path()), 0755);
    EXPECT_EQ(configFilePath(), chosen + "/Ostrim.Ini");
    EXPECT_EQ(toolsFilePath(), chosen + "/OSTRIM.TOOLS");
}

TEST_F(ProgramDirTest, XdgConfigHomeOfTheProcessIsUsed) {
    // The test executable's directory holds no Ostrim.Ini, so the XDG rule applies.
    ASSERT_FALSE(QFileInfo::exists(currentProgramDirInputs().executableDir + "/Ostrim.Ini"));
    test::EnvironmentGuard env;
    env.unset("OSTRIM_HOME");
    env.set("XDG_CONFIG_HOME", m_dir.filePath("xdg").toLocal8Bit());
    EXPECT_EQ(programDirectory(), m_dir.filePath("xdg/ostrim"));
    EXPECT_TRUE(QFileInfo(m_dir.filePath("xdg/ostrim")).isDir());
}

TEST_F(ProgramDirTest, RelativeNamesResolveInsideTheProgramDirectory) {
    EXPECT_EQ(resolveInDirectory("/p/ostrim", "Ostrim.his"), QString("/p/ostrim/Ostrim.his"));
    EXPECT_EQ(resolveInDirectory("/p/ostrim", "hist/my.his"), QString("/p/ostrim/hist/my.his"));
    EXPECT_EQ(resolveInDirectory("/p/ostrim", "/var/my.his"), QString("/var/my.his"));

    test::EnvironmentGuard env;
    env.set("OSTRIM_HOME", m_dir.filePath("home/ostrim").toLocal8Bit());
    // Not the process's current directory.
    ASSERT_NE(QDir::currentPath(), m_dir.filePath("home/ostrim"));
    EXPECT_EQ(programFilePath("Ostrim.his"), m_dir.filePath("home/ostrim/Ostrim.his"));
}

} // namespace
} // namespace ostrim
