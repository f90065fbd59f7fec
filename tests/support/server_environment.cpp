#include "server_environment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

namespace ostrim::test {

ServerEnvironment::ServerEnvironment(ServerOptions options) : m_options(std::move(options)) {}

ServerEnvironment::~ServerEnvironment() {
    if (!m_sybase.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_sybase, ec);
    }
}

void ServerEnvironment::SetUp() {
    try {
        auto server = std::make_unique<SimServer>(m_options.arguments);
        server->start();
        s_server = std::move(server);
    } catch (const std::exception& e) {
        s_startError = e.what();
        ADD_FAILURE() << "ostrim-simserver did not start: " << e.what();
        return;
    }
    if (!m_options.entries.empty()) {
        ASSERT_NO_FATAL_FAILURE(nameServer());
    }
    if (m_options.prepare)
        m_options.prepare();
}

void ServerEnvironment::nameServer() {
    const char* base = std::getenv("TMPDIR");
    std::string dir = std::string(base && *base ? base : "/tmp") + "/ostrim-sybase-XXXXXX";
    ASSERT_NE(::mkdtemp(dir.data()), nullptr) << std::strerror(errno);
    m_sybase = dir;
    std::filesystem::create_directories(dir + "/INI");
    std::ofstream ini(dir + "/INI/SQL.INI", std::ios::binary);
    for (const DirectoryEntry& entry : m_options.entries)
        ini << '[' << entry.name << "]\r\nquery=TCP,127.0.0.1,"
            << (entry.port ? entry.port : s_server->port()) << "\r\n";
    ASSERT_TRUE(ini.good());
    ::setenv("SYBASE", dir.c_str(), 1);
    // The directory also lists ~/.freetds.conf's servers: the tester's own must not show.
    ::setenv("HOME", dir.c_str(), 1);
}

void ServerEnvironment::TearDown() {
    if (s_server) {
        const int code = s_server->stop();
        s_server.reset();
        // A server that crashes or hangs on SIGTERM is a fault worth a failure of its own.
        EXPECT_EQ(code, 0) << "ostrim-simserver did not stop cleanly on SIGTERM";
    }
}

SimServer& ServerEnvironment::server() {
    if (!s_server)
        throw std::runtime_error("ostrim-simserver is not running: " + s_startError);
    return *s_server;
}

ServerEnvironment* addServerEnvironment(ServerOptions options) {
    auto* environment = new ServerEnvironment(std::move(options));
    ::testing::AddGlobalTestEnvironment(environment);
    return environment;
}

} // namespace ostrim::test
