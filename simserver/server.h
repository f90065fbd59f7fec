#pragma once
// The listening server: accepts connections, numbers them (spids), lets one kill another,
// and serializes writers so that clients never meet SQLite's "database is locked".

#include "catalog.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct ServerOptions {
    int port = 0;
    std::string dataDir;
    std::string name = "SIMSERVER";
    std::string saPassword;
    // Sent to every successful login as an informational message, as a login script's print
    // or a password expiry warning would be.
    std::string loginNotice;
    bool demo = false;       // the demo databases ostrimdemo and ostrimdemo2
    bool benchTable = false; // ostrimdemo..bench_rows, a million rows for benchmarks
    int maxConnections = 500;
};

// One row of master..sysprocesses.
struct ProcessInfo {
    int spid = 0;
    int suid = 1;
    std::string status;
    std::string hostname, program, hostprocess, command, loginName, loggedIn;
    int dbid = 1;
    int packetSize = 512;
};

class Session;

// At most one session writes at a time; a session in a transaction keeps the gate.
class WriteGate {
public:
    // Waits for the gate; `abort` is polled while waiting and ends the wait when true.
    bool acquire(int spid, const std::function<bool()>& abort);
    void release(int spid);
    bool heldBy(int spid);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_owner = 0;
};

class Server {
public:
    explicit Server(ServerOptions options);
    ~Server();

    // Binds 127.0.0.1 and returns the port.
    int listen();
    // Accepts until stop(); returns when every session has ended.
    void serve();
    void stop();

    const ServerOptions& options() const { return m_options; }
    // Runs one of the built-in scripts as sa in db; throws with the first error it meets.
    void runScript(const std::string& name, const std::string& db);
    // The spid of the server's own script sessions, which no client can see or kill.
    static constexpr int kScriptSpid = -1;
    Catalog& catalog() { return m_catalog; }
    WriteGate& writeGate() { return m_gate; }
    std::string version() const;

    std::vector<ProcessInfo> processes();
    // True while some session has the database as its current one.
    bool databaseInUse(const std::string& name);
    // Kills another session; returns 0 or the Sybase error number (6104 self, 6106 unknown).
    int kill(int spid, int bySpid);

private:
    void finished(int spid);
    void createDemo();
    void joinFinished();

    ServerOptions m_options;
    Catalog m_catalog;
    WriteGate m_gate;
    int m_listenFd = -1;
    int m_wakeFds[2] = {-1, -1};
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_allDone;
    struct Entry {
        std::shared_ptr<Session> session;
        std::thread thread;
    };
    std::map<int, Entry> m_sessions;
    // Threads of ended sessions, joined by the accepting thread.
    std::vector<std::thread> m_finished;
};

} // namespace sim
