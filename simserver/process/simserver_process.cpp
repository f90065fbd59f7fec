#include "simserver_process.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef OSTRIM_SIMSERVER_PATH
#define OSTRIM_SIMSERVER_PATH ""
#endif

namespace ostrim::test {

namespace {

constexpr int kStillRunning = INT_MIN;

std::chrono::milliseconds startTimeout() {
    // Sanitizer builds and loaded CI machines start slowly; the default is generous.
    if (const char* env = std::getenv("OSTRIM_SIMSERVER_START_TIMEOUT")) {
        const int seconds = std::atoi(env);
        if (seconds > 0) {
            return std::chrono::seconds(seconds);
        }
    }
    return std::chrono::seconds(60);
}

int decodeStatus(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return -WTERMSIG(status);
    }
    return -1;
}

std::string makeTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/ostrim-simserver-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp " + pattern);
    }
    return pattern;
}

} // namespace

SimServer::SimServer(std::vector<std::string> extraArgs, std::string binary)
    : m_binary(binary.empty() ? defaultBinary() : std::move(binary)),
      m_extraArgs(std::move(extraArgs)) {}

SimServer::~SimServer() {
    try {
        stop();
    } catch (...) {
        // A destructor must not throw; the process is gone or unreachable either way.
    }
    if (!m_dataDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_dataDir, ec);
    }
}

std::string SimServer::defaultBinary() {
    if (const char* env = std::getenv("OSTRIM_SIMSERVER"); env && *env) {
        return env;
    }
    return OSTRIM_SIMSERVER_PATH;
}

void SimServer::start() {
    if (m_pid > 0) {
        throw std::logic_error("SimServer::start: already running");
    }
    if (m_binary.empty()) {
        throw std::runtime_error("SimServer: no server binary (set OSTRIM_SIMSERVER)");
    }
    if (m_dataDir.empty()) {
        m_dataDir = makeTempDir();
    }

    std::vector<std::string> args{m_binary, "--port", "0", "--data", m_dataDir};
    args.insert(args.end(), m_extraArgs.begin(), m_extraArgs.end());
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe2");
    }
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child < 0) {
        const int err = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        throw std::system_error(err, std::generic_category(), "fork");
    }
    if (child == 0) {
        // Only async-signal-safe calls until exec. The death signal keeps a crashed test
        // from leaving an orphaned server behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        ::dup2(fds[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    m_pid = child;
    try {
        waitForListening(fds[0]);
    } catch (...) {
        ::close(fds[0]);
        throw;
    }
    const int fd = fds[0];
    m_drain = std::thread([fd] {
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                [[maybe_unused]] ssize_t w = ::write(STDOUT_FILENO, buf, static_cast<size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            break;
        }
        ::close(fd);
    });
}

void SimServer::waitForListening(int fd) {
    static constexpr std::string_view kPrefix = "listening on 127.0.0.1:";
    const auto deadline = std::chrono::steady_clock::now() + startTimeout();
    std::string pending;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(m_pid, SIGKILL);
            reap(std::chrono::milliseconds(-1));
            throw std::runtime_error("SimServer: no 'listening on' line from " + m_binary +
                                     " within the start timeout");
        }
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            continue; // the deadline check above handles the timeout
        }
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int code = reap(std::chrono::seconds(10));
            throw std::runtime_error("SimServer: " + m_binary +
                                     " closed its output before listening (exit status " +
                                     std::to_string(code) + ")");
        }
        pending.append(buf, static_cast<size_t>(n));
        for (size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (!line.starts_with(kPrefix)) {
                // Whatever the server says before it listens helps to diagnose a failed start.
                line += '\n';
                [[maybe_unused]] ssize_t w = ::write(STDOUT_FILENO, line.data(), line.size());
                continue;
            }
            const std::string portText = line.substr(kPrefix.size());
            char* end = nullptr;
            const long port = std::strtol(portText.c_str(), &end, 10);
            if (port <= 0 || port > 65535 || end == portText.c_str()) {
                throw std::runtime_error("SimServer: bad listening line: " + line);
            }
            m_port = static_cast<int>(port);
            if (!pending.empty()) {
                [[maybe_unused]] ssize_t w = ::write(STDOUT_FILENO, pending.data(), pending.size());
            }
            return;
        }
    }
}

int SimServer::reap(std::chrono::milliseconds timeout) {
    if (m_pid <= 0) {
        return 0;
    }
    if (timeout.count() >= 0) {
        // A pidfd becomes readable when the process exits: no polling loop needed.
        const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, m_pid, 0));
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            int r;
            do {
                r = ::poll(&p, 1, static_cast<int>(timeout.count()));
            } while (r < 0 && errno == EINTR);
            ::close(pidfd);
            if (r == 0) {
                return kStillRunning;
            }
        } else {
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            for (;;) {
                int status = 0;
                const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
                if (r == m_pid) {
                    m_pid = -1;
                    m_lastExitCode = decodeStatus(status);
                    return m_lastExitCode;
                }
                if (std::chrono::steady_clock::now() >= deadline) {
                    return kStillRunning;
                }
                // Kernels without pidfd offer no exit notification for a child we must not
                // block on, so this fallback has to poll.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(m_pid, &status, 0);
    } while (r < 0 && errno == EINTR);
    m_pid = -1;
    m_lastExitCode = r < 0 ? -1 : decodeStatus(status);
    return m_lastExitCode;
}

int SimServer::stop(std::chrono::milliseconds timeout) {
    int code = 0;
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        code = reap(timeout);
        if (code == kStillRunning) {
            ::kill(m_pid, SIGKILL);
            code = reap(std::chrono::milliseconds(-1));
        }
    }
    if (m_drain.joinable()) {
        m_drain.join();
    }
    return code;
}

void SimServer::kill9() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        reap(std::chrono::milliseconds(-1));
    }
    if (m_drain.joinable()) {
        m_drain.join();
    }
}

void SimServer::restart() {
    stop();
    start();
}

bool SimServer::running() {
    if (m_pid <= 0) {
        return false;
    }
    int status = 0;
    const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
    if (r == m_pid) {
        m_pid = -1;
        m_lastExitCode = decodeStatus(status);
        if (m_drain.joinable()) {
            m_drain.join();
        }
        return false;
    }
    return true;
}

} // namespace ostrim::test
