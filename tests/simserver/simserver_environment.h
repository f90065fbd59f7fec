#pragma once
// The simserver tests' view of the shared server environment, with a DB-Library client.

#include "dblib_client.h"
#include "server_environment.h"

#include <string>
#include <vector>

// sybdb.h defines FAIL and SUCCEED as return codes; the build turns off GoogleTest's macros of
// the same names (GTEST_DONT_DEFINE_FAIL/SUCCEED), so tests write GTEST_FAIL() instead.
#include <gtest/gtest.h>

namespace ostrim::test {

// Linking simserver_testkit registers it.
class SimServerEnvironment : public ServerEnvironment {
public:
    void SetUp() override;

    // Extra command-line arguments for the shared server (e.g. "--demo"). A test binary sets
    // them from a namespace-scope initialiser, before GoogleTest runs SetUp; the default is none.
    static std::vector<std::string>& serverArguments();
};

// Base for tests that talk to the shared server: a clean message log for every test.
class SimServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    static SimServer& server() { return SimServerEnvironment::server(); }
    static std::string host() { return server().host(); }
    // A TDS 5.0 sa connection to the shared server; the test fails when the login fails.
    static Connection connectSa(const ConnectOptions& options = {});
};

} // namespace ostrim::test
