#include "environment_guard.h"
#include "file_helpers.h"
#include "server_directory.h"
#include "sybdatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <utility>

namespace ostrim {
namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    test::writeBytes(path, text);
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
    test::EnvironmentGuard env;
    env.set("SYBASE", m_dir.path().toLocal8Bit());
    EXPECT_EQ(serverDirectoryPath(), m_dir.path() + "/INI/SQL.INI");
    writeFile(path("ini/sql.ini"), "[LOWER]\n");
    EXPECT_EQ(serverDirectoryPath(), m_dir.path() + "/ini/sql.ini");
    writeFile(path("INI/SQL.INI"), "[UPPER]\n");
    EXPECT_EQ(serverDirectoryPath(), m_dir.path() + "/INI/SQL.INI");
}

TEST_F(ServerDirectoryTest, WithoutSybaseTheFilesAreLookedForWhereTheirReadersLook) {
    test::EnvironmentGuard env;
    for (const std::optional<QByteArray>& sybase : {std::optional<QByteArray>(), {""}}) {
        SCOPED_TRACE(sybase ? "SYBASE empty" : "SYBASE unset");
        sybase ? env.set("SYBASE", *sybase) : env.unset("SYBASE");
        // The lower-case spelling only counts where this machine has it and not the other.
        const bool lowerOnly =
            !QFileInfo::exists("/INI/SQL.INI") && QFileInfo::exists("/ini/sql.ini");
        EXPECT_EQ(serverDirectoryPath(), lowerOnly ? "/ini/sql.ini" : "/INI/SQL.INI");
        EXPECT_EQ(interfacesPath(), "/etc/freetds/interfaces") << "FreeTDS's own fallback";
    }
    env.set("SYBASE", m_dir.path().toLocal8Bit());
    EXPECT_EQ(interfacesPath(), m_dir.path() + "/interfaces");
}

// A temporary $HOME and $SYBASE holding the three files a case gives; nullopt leaves one out.
class DirectoryNamesTest : public ServerDirectoryTest {
protected:
    void SetUp() override {
        m_env.set("SYBASE", path("sybase").toLocal8Bit());
        m_env.set("HOME", path("home").toLocal8Bit());
        m_env.unset("FREETDSCONF");
        m_env.unset("FREETDS");
        m_env.unset("TDSVER");
        QDir().mkpath(path("sybase"));
        QDir().mkpath(path("home"));
    }
    void write(const std::optional<QByteArray>& sqlIni, const std::optional<QByteArray>& conf,
               const std::optional<QByteArray>& interfaces) {
        const std::pair<QString, const std::optional<QByteArray>&> files[] = {
            {path("sybase/INI/SQL.INI"), sqlIni},
            {path("home/.freetds.conf"), conf},
            {path("sybase/interfaces"), interfaces}};
        for (const auto& [file, text] : files) {
            QFile::remove(file);
            if (text)
                writeFile(file, *text);
        }
    }
    test::EnvironmentGuard m_env;
};

struct DirectoryCase {
    const char* what;
    std::optional<QByteArray> sqlIni;
    std::optional<QByteArray> freetdsConf;
    std::optional<QByteArray> interfaces;
    QStringList names;
};

TEST_F(DirectoryNamesTest, ListsTheDirectoryThenFreetdsConfThenInterfaces) {
    const DirectoryCase cases[] = {
        {"no file at all", std::nullopt, std::nullopt, std::nullopt, {}},
        {"directory names first, duplicates and cuts as read",
         "[B]\r\n[A]\r\n[a]\r\n[A]\r\n[X] \r\n",
         std::nullopt,
         std::nullopt,
         {"B", "A", "a", "A", "X]"}},
        {"freetds.conf sections after, [global] and listed names left out",
         "[SRV1]\n[Both]\n",
         "[global]\n"
         "\ttds version = auto\n"
         "[srv1]\n"
         "\thost = 10.0.0.1\n"
         "[conf one]\n"
         "; [semicolon]\n"
         "# [hash]\n"
         "  [Indented]\n"
         "\tport = 5000\n"
         "[conf   two] ; note\n"
         "[CONF ONE]\n"
         "[BOTH]\n"
         "[Global]\n"
         "[]\n"
         "[unclosed\n",
         std::nullopt,
         {"SRV1", "Both", "conf one", "Indented", "conf two", "unclosed"}},
        {"interfaces entries last, comments, indented lines and listed names left out",
         "[DIR]\n",
         "[conf]\n",
         "# SYB0 commented\n"
         "SYB1 3 5\n"
         "\tmaster tcp ether host1 5000\n"
         "\tquery tcp ether host1 5000\n"
         "\n"
         " INDENTED\n"
         "\tquery tcp ether host2 5000\n"
         "dir\n"
         "\tquery tcp ether host3 5000\n"
         "CONF\n"
         "SYB2\n"
         "\tquery tcp ether host4 5000\n"
         "syb1\n"
         "SYB2\n",
         {"DIR", "conf", "SYB1", "SYB2"}},
        {"interfaces alone", std::nullopt, std::nullopt, "ONLY\n\tquery tcp ether h 1\n", {"ONLY"}},
        {"freetds.conf alone", std::nullopt, "[global]\n[only]\n", std::nullopt, {"only"}},
        {"an empty directory and empty files", "", "", "", {}},
    };
    for (const DirectoryCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NO_FATAL_FAILURE(write(c.sqlIni, c.freetdsConf, c.interfaces));
        EXPECT_EQ(directoryServerNames(), c.names);
    }
}

TEST_F(DirectoryNamesTest, TheLoginListIsTheWholeDirectory) {
    ASSERT_NO_FATAL_FAILURE(write("[DIR]\n", "[conf]\n", "IF\n\tquery tcp ether h 5000\n"));
    TSybDatabase db;
    EXPECT_EQ(db.ServerList(), (QStringList{"DIR", "conf", "IF"}));
}

TEST_F(DirectoryNamesTest, ListedNamesOfFreetdsAndInterfacesAreLeftToFreetds) {
    ASSERT_NO_FATAL_FAILURE(write("[DIR]\nquery=TCP,10.0.0.9,5000\n",
                                  "[confonly]\n\thost = 10.0.0.8\n\tport = 5000\n",
                                  "IFONLY\n\tquery tcp ether 10.0.0.7 5000\n"));
    ASSERT_EQ(directoryServerNames(), (QStringList{"DIR", "confonly", "IFONLY"}));
    EXPECT_EQ(resolveLoginTarget("DIR").server, "10.0.0.9:5000");
    EXPECT_EQ(resolveLoginTarget("confonly").server, "confonly");
    EXPECT_EQ(resolveLoginTarget("IFONLY").server, "IFONLY");
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
    test::EnvironmentGuard m_env;
};

struct ExpectedTarget {
    const char* name;
    const char* server;
    bool askTds50;
};

void expectTargets(std::initializer_list<ExpectedTarget> cases) {
    for (const ExpectedTarget& c : cases) {
        SCOPED_TRACE(c.name);
        const LoginTarget target = resolveLoginTarget(c.name);
        EXPECT_EQ(target.server, c.server);
        EXPECT_EQ(target.askTds50, c.askTds50);
    }
}

// [global] tds version = auto chooses nothing; freetds.conf sections match case-insensitively;
// the address's host part (PINNED) is a freetds.conf section of its own.
TEST_F(LoginTargetTest, DirectoryAddressOnlyForNamesFreetdsDoesNotKnow) {
    expectTargets({{"DIRONLY", "10.1.2.3:5000", true},
                   {"BOTH", "BOTH", true},
                   {"127.0.0.1:4100", "127.0.0.1:4100", true},
                   {"CONFVER", "CONFVER", false},
                   {"PINNED", "pinnedhost:5000", false}});
    EXPECT_EQ(resolveLoginTarget("").server, "");
}

TEST_F(LoginTargetTest, TdsVersionFromFreetdsConfOrTdsverWins) {
    writeFile(path("freetds.conf"), "[global]\n tds version = 4.2\n");
    EXPECT_FALSE(resolveLoginTarget("DIRONLY").askTds50);

    writeFile(path("freetds.conf"), "");
    EXPECT_TRUE(resolveLoginTarget("DIRONLY").askTds50);
    m_env.set("TDSVER", "7.0");
    EXPECT_FALSE(resolveLoginTarget("DIRONLY").askTds50);
    EXPECT_FALSE(resolveLoginTarget("").askTds50);
}

TEST_F(LoginTargetTest, InterfacesEntriesGoToFreetdsUnlessOnlyAMasterLineLeadsThere) {
    writeFile(path("interfaces"), "IFQUERY\n"
                                  "\tmaster tcp ether masterhost 4100\n"
                                  "\tquery tcp ether 10.5.5.5 5000\n"
                                  "IFMASTER\n"
                                  "\tmaster tcp ether masterhost 4100\n"
                                  "\tmaster tcp ether otherhost 4200\n"
                                  "IFPINNED\n"
                                  "\tmaster tcp ether pinnedhost 4100\n"
                                  "IFTLI\n"
                                  "\tmaster tli tcp /dev/tcp \\x000210040a0000010000000000000000\n"
                                  "IFBADPORT\n"
                                  "\tmaster tcp ether host 99999\n"
                                  "IFVER\n"
                                  "\tquery tcp 4.2 10.5.5.6 5000\n"
                                  "IFLATER\n"
                                  "\tquery tcp 4.2 10.5.5.6 5000\n"
                                  "\tquery tcp ether 10.5.5.6 5000\n"
                                  "DIRONLY\n"
                                  "\tmaster tcp ether 10.7.7.7 5000\n"
                                  "Both\n"
                                  "\tmaster tcp ether 10.8.8.8 5000\n"
                                  "# COMMENTED\n"
                                  "\tmaster tcp ether 10.9.9.9 5000\n");
    expectTargets({
        {"IFQUERY", "IFQUERY", true},
        {"IFMASTER", "masterhost:4100", true},
        {"ifmaster", "ifmaster", true},
        {"IFPINNED", "pinnedhost:4100", false},
        {"IFTLI", "IFTLI", true},
        {"IFBADPORT", "IFBADPORT", true},
        {"IFVER", "IFVER", false},
        {"IFLATER", "IFLATER", true},
        {"DIRONLY", "10.1.2.3:5000", true},
        {"BOTH", "BOTH", true},
        {"COMMENTED", "COMMENTED", true},
    });
}

TEST_F(LoginTargetTest, AnInterfacesVersionWordOverridesTheGlobalOne) {
    writeFile(path("freetds.conf"), "[global]\n tds version = 4.2\n");
    writeFile(path("interfaces"), "ETHER\n\tquery tcp ether 10.5.5.5 5000\n"
                                  "AUTO\n\tquery tcp auto 10.5.5.5 5000\n"
                                  "ZERO\n\tquery tcp 0 10.5.5.5 5000\n");
    expectTargets({{"ETHER", "ETHER", false}, {"AUTO", "AUTO", true}, {"ZERO", "ZERO", true}});
}

} // namespace
} // namespace ostrim
