#include "silent_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace ostrim::test {

SilentServer::SilentServer(std::chrono::milliseconds giveUpAfter) : m_giveUpAfter(giveUpAfter) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(m_listen, 8) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0)
        throw std::runtime_error("silent server: no loopback listener");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { run(); });
}

SilentServer::~SilentServer() {
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wake[1], &stop, 1);
    m_thread.join();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    ::close(m_listen);
}

QString SilentServer::address() const {
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void SilentServer::run() {
    using Clock = std::chrono::steady_clock;
    struct Taken {
        int fd;
        Clock::time_point closeAt;
    };
    std::vector<Taken> taken;
    for (;;) {
        int timeoutMs = -1;
        const auto now = Clock::now();
        for (const Taken& t : taken) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(t.closeAt - now).count();
            const int ms = int(std::max<long long>(left, 0));
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        }
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, timeoutMs) < 0)
            continue;
        if (fds[1].revents)
            break;
        if (fds[0].revents & POLLIN) {
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                taken.push_back({fd, Clock::now() + m_giveUpAfter});
                ++m_accepted;
            }
        }
        // Whatever the client sends stays unread and unanswered until its time is up.
        const auto later = Clock::now();
        std::erase_if(taken, [later](const Taken& t) {
            if (t.closeAt > later)
                return false;
            ::close(t.fd);
            return true;
        });
    }
    for (const Taken& t : taken)
        ::close(t.fd);
}

} // namespace ostrim::test
