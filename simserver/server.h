#pragma once
// The listening server: accepts connections, numbers them (spids), lets one kill another,
// and serializes writers so that clients never meet SQLite's "database is locked".

#include "catalog.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
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
    int blocked = 0;     // the spid this one waits on
    int timeBlocked = 0; // whole seconds
    // Killed and on its way out: no longer listed, so that a kill is seen at once.
    bool killed = false;
};

class Session;

// At most one session writes at a time; a session in a transaction keeps the gate. Waiters
// queue in arrival order and the gate passes straight to the first, as a lock queue does: the
// first waits on the owner, each later one on the request queued just ahead of it.
class WriteGate {
public:
    using Clock = std::chrono::steady_clock;
    struct Wait {
        int blockedBy = 0;
        Clock::time_point since;
    };

    // Waits for the gate. `killed` ends the wait as soon as interrupt() is called after it was
    // set; `abort` is polled now and then, outside the lock, for what only the socket shows.
    bool acquire(int spid, const std::atomic<bool>& killed, const std::function<bool()>& abort);
    void release(int spid);
    bool heldBy(int spid);
    void interrupt();
    // Every waiting spid with what it waits on.
    std::map<int, Wait> waits();

private:
    struct Waiter {
        int spid;
        Clock::time_point since;
    };
    // Passes the gate to the first waiter, or frees it.
    void handOff();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_owner = 0;
    std::deque<Waiter> m_queue;
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
