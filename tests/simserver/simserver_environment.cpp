#include "simserver_environment.h"

#include <stdexcept>

namespace ostrim::test {

std::unique_ptr<SimServer> SimServerEnvironment::s_server;
std::string SimServerEnvironment::s_startError;

namespace {
// Registered at static initialisation; the object library keeps this file in every test binary.
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SimServerEnvironment);
} // namespace

void SimServerEnvironment::SetUp() {
    initDbLib();
    try {
        auto server = std::make_unique<SimServer>(serverArguments());
        server->start();
        s_server = std::move(server);
    } catch (const std::exception& e) {
        s_startError = e.what();
    }
}

void SimServerEnvironment::TearDown() {
    if (s_server) {
        const int code = s_server->stop();
        s_server.reset();
        // A server that crashes or hangs on SIGTERM is a fault worth a failure of its own.
        EXPECT_EQ(code, 0) << "ostrim-simserver did not stop cleanly on SIGTERM";
    }
}

std::vector<std::string>& SimServerEnvironment::serverArguments() {
    // A function-local static is constructed on first use, whatever the order in which the
    // translation units are initialised.
    static std::vector<std::string> arguments;
    return arguments;
}

SimServer& SimServerEnvironment::server() {
    if (!s_server) {
        throw std::runtime_error("ostrim-simserver is not running: " + s_startError);
    }
    return *s_server;
}

void SimServerTest::SetUp() {
    try {
        server();
    } catch (const std::exception& e) {
        GTEST_FAIL() << e.what();
    }
    MessageLog::clear();
}

Connection SimServerTest::connectSa(const ConnectOptions& options) {
    Connection c = connect(host(), options);
    if (!c) {
        ADD_FAILURE() << "login as " << options.user << " failed:\n" << MessageLog::dump();
    }
    return c;
}

} // namespace ostrim::test
