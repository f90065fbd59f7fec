#include "server.h"

#include "scripts.h"
#include "session.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace sim {

bool WriteGate::acquire(int spid, const std::atomic<bool>& killed,
                        const std::function<bool()>& abort) {
    std::unique_lock lock(m_mutex);
    if (m_owner == 0 || m_owner == spid) {
        m_owner = spid;
        return true;
    }
    m_queue.push_back({spid, Clock::now()});
    for (;;) {
        // A cancel arrives on the socket, not through the condition: look at it now and then.
        m_cv.wait_for(lock, std::chrono::milliseconds(100),
                      [&] { return m_owner == spid || killed; });
        if (m_owner == spid && !killed)
            return true;
        bool stop = killed;
        if (!stop) {
            lock.unlock();
            stop = abort();
            lock.lock();
        }
        if (!stop)
            continue;
        // Leaving moves those behind up; a gate already handed to this one goes on to the next.
        if (m_owner == spid) {
            handOff();
            lock.unlock();
            m_cv.notify_all();
        } else {
            std::erase_if(m_queue, [spid](const Waiter& w) { return w.spid == spid; });
        }
        return false;
    }
}

void WriteGate::handOff() {
    if (m_queue.empty()) {
        m_owner = 0;
        return;
    }
    m_owner = m_queue.front().spid;
    m_queue.pop_front();
}

void WriteGate::release(int spid) {
    {
        std::lock_guard lock(m_mutex);
        if (m_owner != spid)
            return;
        handOff();
    }
    m_cv.notify_all();
}

bool WriteGate::heldBy(int spid) {
    std::lock_guard lock(m_mutex);
    return m_owner == spid;
}

void WriteGate::interrupt() {
    // Taking the lock orders this after a waiter's last look at its flag, so it cannot miss it.
    { std::lock_guard lock(m_mutex); }
    m_cv.notify_all();
}

std::map<int, WriteGate::Wait> WriteGate::waits() {
    std::lock_guard lock(m_mutex);
    std::map<int, Wait> out;
    int ahead = m_owner;
    for (const Waiter& w : m_queue) {
        out[w.spid] = {ahead, w.since};
        ahead = w.spid;
    }
    return out;
}

Server::Server(ServerOptions options)
    : m_options(std::move(options)), m_catalog(m_options.dataDir) {
    m_catalog.bootstrap(m_options.saPassword);
    // System procedures are replaced at every start, so a data directory always has the
    // ones of this server's version.
    for (const char* name : {"system_procedures.sql", "sp_ostrim_get_index.sql",
                             "sp_ostrim_get_user_type.sql", "sp_ostrim_who.sql"})
        runScript(name, "master");
    if (m_options.demo || m_options.benchTable)
        createDemo();
}

void Server::createDemo() {
    // Each database is built whole or not at all, so a failed start leaves nothing half made.
    std::vector<std::string> fresh;
    for (const char* db : {"ostrimdemo", "ostrimdemo2"})
        if (m_catalog.createDatabase(db))
            fresh.push_back(db);
    try {
        if (!fresh.empty())
            runScript("demo_logins.sql", "master"); // their default databases exist now
        for (const auto& db : fresh) {
            runScript("demo.sql", db);
            if (db == "ostrimdemo2")
                runScript("demo2.sql", db);
        }
    } catch (...) {
        for (const auto& db : fresh)
            m_catalog.dropDatabase(db);
        throw;
    }
    if (m_options.benchTable) {
        Session probe(*this, -1, kScriptSpid);
        auto errors = probe.runScript("select 1 from bench_rows where 1 = 0", "ostrimdemo");
        if (!errors.empty())
            runScript("bench_table.sql", "ostrimdemo");
    }
}

void Server::runScript(const std::string& name, const std::string& db) {
    const auto& scripts = embeddedScripts();
    auto it = scripts.find(name);
    if (it == scripts.end())
        throw std::runtime_error("no built-in script " + name);
    Session session(*this, -1, kScriptSpid);
    auto errors = session.runScript(it->second, db);
    if (!errors.empty())
        throw std::runtime_error(name + ": error " + std::to_string(errors[0].number) +
                                 " at line " + std::to_string(errors[0].line) + ": " +
                                 errors[0].text);
}

Server::~Server() {
    if (m_listenFd >= 0)
        ::close(m_listenFd);
    for (int fd : m_wakeFds)
        if (fd >= 0)
            ::close(fd);
}

std::string Server::version() const {
    return "Adaptive Server Enterprise/15.7/ostrim-simserver " OSTRIM_VERSION
           "/P/x86_64/Linux/simserver/1/64-bit/FBO/" __DATE__;
}

int Server::listen() {
    m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0)
        throw std::runtime_error(std::strerror(errno));
    int one = 1;
    ::setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(m_options.port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 ||
        ::listen(m_listenFd, 128) < 0)
        throw std::runtime_error(std::string("cannot listen: ") + std::strerror(errno));
    socklen_t len = sizeof addr;
    ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&addr), &len);
    if (::pipe2(m_wakeFds, O_CLOEXEC) < 0)
        throw std::runtime_error(std::strerror(errno));
    return ntohs(addr.sin_port);
}

void Server::stop() {
    m_stopping = true;
    if (m_wakeFds[1] >= 0) {
        char c = 0;
        [[maybe_unused]] auto n = ::write(m_wakeFds[1], &c, 1);
    }
}

void Server::serve() {
    while (!m_stopping) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFds[0], POLLIN, 0}};
        int ready = ::poll(fds, 2, 1000);
        joinFinished();
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        if (fds[1].revents)
            break;
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // The thread starts under the lock, so its finished() finds its entry complete.
        std::lock_guard lock(m_mutex);
        if (int(m_sessions.size()) >= m_options.maxConnections) {
            ::close(fd);
            continue;
        }
        int spid = 1;
        while (m_sessions.count(spid))
            ++spid;
        Entry& e = m_sessions[spid];
        e.session = std::make_shared<Session>(*this, fd, spid);
        try {
            e.thread = std::thread([this, spid, s = e.session]() mutable {
                s->run();
                s.reset();
                finished(spid);
            });
        } catch (const std::system_error&) {
            m_sessions.erase(spid); // out of threads: this client is turned away
        }
    }
    // Stop every session, wait for all of them, then for their threads.
    {
        std::unique_lock lock(m_mutex);
        for (auto& [spid, e] : m_sessions)
            e.session->requestKill();
        m_allDone.wait(lock, [this] { return m_sessions.empty(); });
    }
    joinFinished();
}

void Server::joinFinished() {
    std::vector<std::thread> done;
    {
        std::lock_guard lock(m_mutex);
        done.swap(m_finished);
    }
    for (auto& t : done)
        t.join();
}

void Server::finished(int spid) {
    std::shared_ptr<Session> last;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_sessions.find(spid);
        if (it != m_sessions.end()) {
            last = std::move(it->second.session);
            m_finished.push_back(std::move(it->second.thread));
            m_sessions.erase(it);
        }
    }
    last.reset(); // closes the connection outside the lock
    std::lock_guard lock(m_mutex);
    m_allDone.notify_all();
}

std::vector<ProcessInfo> Server::processes() {
    std::vector<std::shared_ptr<Session>> list;
    {
        std::lock_guard lock(m_mutex);
        for (auto& [spid, e] : m_sessions)
            list.push_back(e.session);
    }
    const auto waits = m_gate.waits();
    const auto now = WriteGate::Clock::now();
    std::vector<ProcessInfo> out;
    out.reserve(list.size());
    for (auto& s : list) {
        ProcessInfo p = s->processInfo();
        if (auto it = waits.find(p.spid); it != waits.end()) {
            p.status = "lock sleep";
            p.blocked = it->second.blockedBy;
            p.timeBlocked = int(
                std::chrono::duration_cast<std::chrono::seconds>(now - it->second.since).count());
        }
        out.push_back(std::move(p));
    }
    return out;
}

bool Server::databaseInUse(const std::string& name) {
    auto dbid = m_catalog.database(name);
    if (!dbid)
        return false;
    for (const auto& p : processes())
        if (p.dbid == dbid->dbid)
            return true;
    return false;
}

int Server::kill(int spid, int bySpid) {
    if (spid == bySpid)
        return 6104;
    std::lock_guard lock(m_mutex);
    auto it = m_sessions.find(spid);
    if (it == m_sessions.end())
        return 6106;
    it->second.session->requestKill();
    return 0;
}

} // namespace sim
