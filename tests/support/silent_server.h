#pragma once
// A loopback listener that takes connections and never sends a byte: a server that never
// answers a login.

#include <QString>

#include <atomic>
#include <chrono>
#include <thread>

namespace ostrim::test {

class SilentServer {
public:
    // Each connection is closed giveUpAfter after it came, so that a client waiting without a
    // timeout of its own fails there rather than hanging the test.
    explicit SilentServer(std::chrono::milliseconds giveUpAfter = std::chrono::seconds(20));
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    // "127.0.0.1:port", as a server name FreeTDS connects to.
    QString address() const;
    // Connections taken so far.
    int accepted() const { return m_accepted.load(); }

private:
    void run();

    int m_listen = -1;
    int m_port = 0;
    int m_wake[2] = {-1, -1}; // written to end run()
    std::chrono::milliseconds m_giveUpAfter;
    std::atomic<int> m_accepted{0};
    std::thread m_thread;
};

} // namespace ostrim::test
