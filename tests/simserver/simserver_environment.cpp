#include "simserver_environment.h"

namespace ostrim::test {

namespace {
// Registered at static initialisation; the object library keeps this file in every test binary.
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SimServerEnvironment);
} // namespace

void SimServerEnvironment::SetUp() {
    initDbLib();
    m_options.arguments = serverArguments();
    ServerEnvironment::SetUp();
}

std::vector<std::string>& SimServerEnvironment::serverArguments() {
    // A function-local static is constructed on first use, whatever the order in which the
    // translation units are initialised.
    static std::vector<std::string> arguments;
    return arguments;
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
