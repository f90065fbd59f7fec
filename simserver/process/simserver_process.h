#pragma once
// Starts, stops and kills ostrim-simserver child processes: shared by the tests and the benchmarks.

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <sys/types.h>

namespace ostrim::test {

// One ostrim-simserver child process on a free loopback port with its own data directory.
// It does not depend on GoogleTest, so the benchmarks can start a server the same way.
class SimServer {
public:
    // binary: path of ostrim-simserver; empty means the one this build made (see defaultBinary).
    explicit SimServer(std::vector<std::string> extraArgs = {}, std::string binary = {});
    ~SimServer();

    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Starts the process and waits for its "listening on 127.0.0.1:PORT" line.
    // Throws std::runtime_error (with the exit status when it died) on failure.
    void start();
    // SIGTERM, then SIGKILL if it has not exited within the timeout. Returns the exit code,
    // or -signal when it was killed by a signal; 0 when it was not running.
    int stop(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Simulates a crash: SIGKILL and reap. The data directory stays.
    void kill9();
    // Stops (if running) and starts again on the same data directory. The port changes.
    void restart();

    // Reaps the process when it has exited; lastExitCode() then tells how it ended.
    bool running();
    int lastExitCode() const { return m_lastExitCode; }
    int port() const { return m_port; }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_port); }
    const std::string& dataDir() const { return m_dataDir; }
    pid_t pid() const { return m_pid; }

    // The server binary given at build time, overridable with $OSTRIM_SIMSERVER.
    static std::string defaultBinary();

private:
    void waitForListening(int fd);
    int reap(std::chrono::milliseconds timeout);

    std::string m_binary;
    std::vector<std::string> m_extraArgs;
    std::string m_dataDir;
    pid_t m_pid = -1;
    int m_port = 0;
    int m_lastExitCode = 0;
    std::thread m_drain; // forwards the rest of the server's stdout so its pipe never fills
};

} // namespace ostrim::test
