#include "server_directory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace ostrim {
namespace {

// Sets environment variables for one test and puts the old values back.
class EnvironmentGuard {
public:
    ~EnvironmentGuard() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it)
            it->second.isNull() ? qunsetenv(it->first) : qputenv(it->first, it->second);
    }
    void set(const char* name, const QByteArray& value) {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name) {
        remember(name);
        qunsetenv(name);
    }

private:
    // A null value stands for "not set".
    void remember(const char* name) {
        m_saved.emplace_back(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
    }
    std::vector<std::pair<const char*, QByteArray>> m_saved;
};

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

class ServerDirectoryTest : public ::testing::Test {
protected:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

TEST_F(ServerDirectoryTest, SectionHeadersFollowTheCutRules) {
    writeFile(path("SQL.INI"), "[SERVER1]\r\n"
                               "query=TCP,host1,5000\r\n"
                               "[SERVER1] \r\n"
                               "; [comment]\r\n"
                               " [INDENTED]\r\n"
                               "[ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789]\r\n"
                               "[X]\n"
                               "[]\n"
                               "[\n");
    const QStringList names = readServerNames(path("SQL.INI"));
    EXPECT_EQ(names,
              (QStringList{"SERVER1", "SERVER1]", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01", "X", "", ""}));
}

TEST_F(ServerDirectoryTest, MissingFileGivesNoNames) {
    EXPECT_TRUE(readServerNames(path("nothing.ini")).isEmpty());
    EXPECT_TRUE(serverAddress(path("nothing.ini"), "SERVER1").isEmpty());
}

TEST_F(ServerDirectoryTest, AddressComesFromQueryElseMasterOfTheRightSection) {
    writeFile(path("SQL.INI"), "[FIRST]\r\n"
                               "master=TCP,masterhost,4100\r\n"
                               "query=TCP,127.0.0.1,5000\r\n"
                               "[SECOND]\r\n"
                               "master=NLWNSCK,dbhost,4200\r\n"
                               "[PIPE]\r\n"
                               "query=NLMSNMP,\\\\pipe\\sybase\\query\r\n"
                               "[BADPORT]\r\n"
                               "query=TCP,host,99999\r\n"
                               "[SPACED]\r\n"
                               "  Query = TCP, spaced.example , 6000 \r\n");
    const QString file = path("SQL.INI");
    EXPECT_EQ(serverAddress(file, "FIRST"), "127.0.0.1:5000");
    EXPECT_EQ(serverAddress(file, "SECOND"), "dbhost:4200");
    EXPECT_EQ(serverAddress(file, "SPACED"), "spaced.example:6000");
    EXPECT_EQ(serverAddress(file, "PIPE"), "");
    EXPECT_EQ(serverAddress(file, "BADPORT"), "");
    EXPECT_EQ(serverAddress(file, "first"), "") << "names compare exactly, as listed";
    EXPECT_EQ(serverAddress(file, "THIRD"), "");
}

TEST_F(ServerDirectoryTest, DirectoryPathAcceptsTheLowerCaseSpelling) {
    EnvironmentGuard env;
    env.set("SYBASE", m_dir.path().toLocal8Bit());
    EXPECT_EQ(serverDirectoryPath(), m_dir.path() + "/INI/SQL.INI");
    writeFile(path("ini/sql.ini"), "[LOWER]\n");
    EXPECT_EQ(serverDirectoryPath(), m_dir.path() + "/ini/sql.ini");
    writeFile(path("INI/SQL.INI"), "[UPPER]\n");
    EXPECT_EQ(serverDirectoryPath(), m_dir.path() + "/INI/SQL.INI");
}

class LoginTargetTest : public ServerDirectoryTest {
protected:
    void SetUp() override {
        m_env.set("SYBASE", m_dir.path().toLocal8Bit());
        m_env.set("HOME", m_dir.path().toLocal8Bit());
        m_env.set("FREETDSCONF", path("freetds.conf").toLocal8Bit());
        m_env.unset("FREETDS");
        m_env.unset("TDSVER");
        writeFile(path("INI/SQL.INI"), "[DIRONLY]\n"
                                       "query=TCP,10.1.2.3,5000\n"
                                       "[BOTH]\n"
                                       "query=TCP,10.9.9.9,5000\n"
                                       "[PINNED]\n"
                                       "query=TCP,pinnedhost,5000\n");
        writeFile(path("freetds.conf"), "[global]\n"
                                        "\ttds version = auto\n"
                                        "[Both]\n"
                                        "\thost = 10.0.0.1\n"
                                        "[confver]\n"
                                        "\thost = 10.0.0.2\n"
                                        "\tTDS   Version = 4.2 ; old server\n"
                                        "[pinnedhost]\n"
                                        "\ttds version = 5.0\n");
    }
    EnvironmentGuard m_env;
};

TEST_F(LoginTargetTest, DirectoryAddressOnlyForNamesFreetdsDoesNotKnow) {
    LoginTarget dirOnly = resolveLoginTarget("DIRONLY");
    EXPECT_EQ(dirOnly.server, "10.1.2.3:5000");
    EXPECT_TRUE(dirOnly.askTds50) << "[global] tds version = auto chooses nothing";

    LoginTarget both = resolveLoginTarget("BOTH");
    EXPECT_EQ(both.server, "BOTH") << "freetds.conf sections match case-insensitively";
    EXPECT_TRUE(both.askTds50);

    LoginTarget unknown = resolveLoginTarget("127.0.0.1:4100");
    EXPECT_EQ(unknown.server, "127.0.0.1:4100");
    EXPECT_TRUE(unknown.askTds50);

    EXPECT_EQ(resolveLoginTarget("").server, "");
}

TEST_F(LoginTargetTest, TdsVersionFromFreetdsConfOrTdsverWins) {
    EXPECT_FALSE(resolveLoginTarget("CONFVER").askTds50);
    EXPECT_EQ(resolveLoginTarget("CONFVER").server, "CONFVER");

    // The address's host part is a freetds.conf section of its own.
    LoginTarget pinned = resolveLoginTarget("PINNED");
    EXPECT_EQ(pinned.server, "pinnedhost:5000");
    EXPECT_FALSE(pinned.askTds50);

    writeFile(path("freetds.conf"), "[global]\n tds version = 4.2\n");
    EXPECT_FALSE(resolveLoginTarget("DIRONLY").askTds50);

    writeFile(path("freetds.conf"), "");
    EXPECT_TRUE(resolveLoginTarget("DIRONLY").askTds50);
    m_env.set("TDSVER", "7.0");
    EXPECT_FALSE(resolveLoginTarget("DIRONLY").askTds50);
    EXPECT_FALSE(resolveLoginTarget("").askTds50);
}

} // namespace
} // namespace ostrim
