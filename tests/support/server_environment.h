#pragma once
// One ostrim-simserver per test binary, started before the first test and stopped after the
// last, optionally named in the SQL.INI of a temporary $SYBASE.

#include "simserver_process.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ostrim::test {

// A server directory entry; port 0 leads to the test server.
struct DirectoryEntry {
    std::string name;
    int port = 0;
};

struct ServerOptions {
    std::vector<std::string> arguments{};  // extra simserver arguments ("--demo", ...)
    std::vector<DirectoryEntry> entries{}; // none: $SYBASE is left alone
    std::function<void()> prepare{};       // runs once the server is up and named
};

class ServerEnvironment : public ::testing::Environment {
public:
    explicit ServerEnvironment(ServerOptions options = {});
    ~ServerEnvironment() override;
    void SetUp() override;
    void TearDown() override;

    // The running server; throws with the reason when it could not be started.
    static SimServer& server();
    static std::string host() { return server().host(); }

protected:
    ServerOptions m_options;

private:
    void nameServer();

    std::string m_sybase;
    static inline std::unique_ptr<SimServer> s_server;
    static inline std::string s_startError;
};

// Registers the binary's server environment; call from a namespace-scope initialiser.
ServerEnvironment* addServerEnvironment(ServerOptions options = {});

} // namespace ostrim::test
