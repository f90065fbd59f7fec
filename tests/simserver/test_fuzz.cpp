// Randomized hostile clients over raw TCP: malformed, truncated, oversized and random packets,
// random login records, garbage after a good login. The server must survive every round and
// keep serving ordinary DB-Library clients. Deterministic per seed; the budget is time-bound.
//
//   OSTRIM_FUZZ_SECONDS  time budget (default 20)
//   OSTRIM_FUZZ_SEED     seed to replay a failure (printed at the start)

#include "dblib_client.h"
#include "simserver_environment.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ostrim::test {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kLogin = 0x02;
constexpr uint8_t kNormal = 0x0F;
const Bytes kAttention{0x06, 1, 0, 8, 0, 0, 0, 0};

class Socket {
public:
    explicit Socket(int port) : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            throw std::runtime_error(std::string("connect: ") + std::strerror(errno));
        }
    }
    ~Socket() { ::close(m_fd); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // The server may close or reset the connection at any point; that is allowed.
    void send(const Bytes& data) {
        for (size_t done = 0; done < data.size();) {
            const ssize_t n = ::send(m_fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
            if (n <= 0 && errno != EINTR) {
                return;
            }
            done += n > 0 ? static_cast<size_t>(n) : 0;
        }
    }

    // Appends what one recv brings within the timeout; false on timeout, close or error.
    bool receive(Bytes& into, int timeoutMs) {
        pollfd p{m_fd, POLLIN, 0};
        uint8_t buf[8192];
        const ssize_t n =
            timeoutMs > 0 && ::poll(&p, 1, timeoutMs) > 0 ? ::recv(m_fd, buf, sizeof buf, 0) : 0;
        into.insert(into.end(), buf, buf + std::max<ssize_t>(n, 0));
        return n > 0;
    }

private:
    int m_fd;
};

// A message in packets of at most packetSize bytes, EOM on the last unless told not to.
Bytes packets(uint8_t type, const Bytes& payload, size_t packetSize = 512, bool eom = true) {
    Bytes out;
    size_t pos = 0;
    do {
        const size_t n = std::min(packetSize - 8, payload.size() - pos);
        const bool last = eom && pos + n == payload.size();
        out.insert(out.end(), {type, static_cast<uint8_t>(last), static_cast<uint8_t>((n + 8) >> 8),
                               static_cast<uint8_t>(n + 8), 0, 0, 0, 0});
        out.insert(out.end(), payload.begin() + pos, payload.begin() + pos + n);
        pos += n;
    } while (pos < payload.size());
    return out;
}

// The 568-byte TDS 5.0 login record plus the capability token, as FreeTDS 1.3 sends it.
Bytes loginRecord() {
    Bytes rec(568, 0);
    auto put = [&rec](size_t offset, size_t size, const std::string& value) {
        std::memcpy(rec.data() + offset, value.data(), std::min(size, value.size()));
        rec[offset + size] = static_cast<uint8_t>(std::min(size, value.size()));
    };
    put(0, 30, "fuzzhost");
    put(31, 30, "sa");
    put(62, 30, "");
    put(93, 30, "4242");
    const uint8_t order[] = {3, 1, 6, 10, 9, 1, 0};
    std::memcpy(rec.data() + 124, order, sizeof order);
    put(140, 30, "fuzz");
    put(171, 30, "127.0.0.1");
    rec[457] = 2;
    const uint8_t tds[] = {5, 0, 0, 0};
    std::memcpy(rec.data() + 458, tds, 4);
    put(462, 10, "DB-Library");
    std::memcpy(rec.data() + 473, tds, 4);
    rec[478] = 0x0D;
    rec[479] = 0x11;
    put(480, 30, "us_english");
    rec[556] = 1;
    put(557, 6, "512");
    rec.insert(rec.end(), {0xe2, 0x20, 0x00, 0x01, 0x0e, 0x00, 0x00, 0x60, 0x08, 0x81, 0x81, 0xe8,
                           0x0f, 0x6d, 0x7f, 0xff, 0xff, 0xff, 0xfe, 0x02, 0x0e, 0x00, 0x00, 0x00,
                           0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x68, 0x00, 0x00, 0x00});
    return rec;
}

Bytes languageToken(const std::string& sql) {
    Bytes t{0x21};
    for (int i = 0; i < 4; ++i) {
        t.push_back(static_cast<uint8_t>((sql.size() + 1) >> (8 * i)));
    }
    t.push_back(0);
    t.insert(t.end(), sql.begin(), sql.end());
    return t;
}

class Fuzzer {
public:
    Fuzzer(int port, uint64_t seed) : m_port(port), m_rng(seed) {}

    int loginFailures() const { return m_loginFailures; }

    // Runs one hostile client; returns its kind for the log.
    int runCase() {
        const int kind = pick(0, 8);
        Socket s(m_port);
        // These kinds start from a good login.
        if ((kind == 3 || kind == 4 || kind == 6 || kind == 7) && !login(s)) {
            return kind;
        }
        switch (kind) {
        case 0:
            s.send(random(pick(0, 3000)));
            break;
        case 1: { // a header that lies about type, status or length, then random payload
            static constexpr std::array<uint8_t, 10> kTypes{0x01, 0x02, 0x03, 0x04, 0x06,
                                                            0x07, 0x0F, 0x10, 0x11, 0x12};
            const int len = std::array{0, 1, 7, 8, 512, 65535}[static_cast<size_t>(pick(0, 5))];
            Bytes p{kTypes[static_cast<size_t>(pick(0, 9))], static_cast<uint8_t>(pick(0, 255)),
                    static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)};
            append(p, random(pick(4, 600)));
            s.send(p);
            break;
        }
        case 2: { // a login record with random bytes written over it, perhaps cut short
            Bytes rec = loginRecord();
            for (int i = pick(1, 40); i > 0; --i) {
                rec[static_cast<size_t>(pick(0, static_cast<int>(rec.size()) - 1))] =
                    static_cast<uint8_t>(pick(0, 255));
            }
            if (pick(0, 3) == 0) {
                rec.resize(static_cast<size_t>(pick(0, static_cast<int>(rec.size()))));
            }
            s.send(packets(kLogin, rec));
            s.send(packets(kNormal, languageToken("select 1")));
            break;
        }
        case 3:
            s.send(packets(kNormal, garbageTokens(), pick(0, 1) ? 512 : 2048));
            break;
        case 4: { // a request cut off in the middle of a packet
            Bytes p = packets(kNormal, languageToken("select name from sysobjects"));
            p.resize(static_cast<size_t>(pick(1, static_cast<int>(p.size()) - 1)));
            s.send(p);
            return kind;
        }
        case 5: // a 64 KB packet, or a login message that never ends
            if (pick(0, 1)) {
                Bytes p{kNormal, 1, 0xFF, 0xFF, 0, 0, 0, 0};
                append(p, random(65535 - 8));
                s.send(p);
            } else {
                s.send(packets(kLogin, random(200 * 1024), 512, false));
            }
            break;
        case 6: // attention with nothing running, then logout garbage
            for (int i = pick(1, 3); i > 0; --i) {
                s.send(kAttention);
            }
            s.send(packets(kNormal, {0x71, static_cast<uint8_t>(pick(0, 255))}));
            break;
        case 7: // attention in the middle of the reply stream, then random bytes
            s.send(packets(kNormal, languageToken("select * from sysobjects select 1/0")));
            s.send(kAttention);
            s.send(packets(kNormal, random(pick(1, 100))));
            break;
        default: // half a header, then close
            s.send(random(pick(1, 7)));
            return kind;
        }
        for (Bytes ignored; s.receive(ignored, 30);) {
        }
        return kind;
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    static void append(Bytes& to, const Bytes& more) {
        to.insert(to.end(), more.begin(), more.end());
    }
    Bytes random(int n) {
        Bytes b(static_cast<size_t>(n));
        for (auto& x : b) {
            x = static_cast<uint8_t>(pick(0, 255));
        }
        return b;
    }

    // Reads the reply up to its end-of-message packet and looks for LOGINACK with status 5.
    bool login(Socket& s) {
        s.send(packets(kLogin, loginRecord()));
        Bytes reply;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        bool ended = false;
        while (!ended && std::chrono::steady_clock::now() < deadline && s.receive(reply, 1000)) {
            for (size_t at = 0; at + 8 <= reply.size();) {
                const size_t len = static_cast<size_t>(reply[at + 2]) << 8 | reply[at + 3];
                if (len < 8 || at + len > reply.size()) {
                    break;
                }
                ended = ended || (reply[at + 1] & 0x01);
                at += len;
            }
        }
        bool accepted = false;
        for (size_t i = 0; i + 3 < reply.size(); ++i) {
            accepted = accepted || (reply[i] == 0xAD && reply[i + 3] == 5);
        }
        m_loginFailures += accepted ? 0 : 1;
        return accepted;
    }

    // Plausible token bytes with lying lengths: the shapes a parser must reject safely.
    Bytes garbageTokens() {
        static const char* const words[] = {
            "select", "from", "'", "\"", "(",       ")",     "*",   "1",  "where", "insert", "exec",
            "--",     "/*",   ",", "@x", "declare", "begin", "end", "if", "while", "0x"};
        Bytes t;
        for (int i = pick(1, 6); i > 0; --i) {
            switch (pick(0, 6)) {
            case 0: // LANGUAGE with a length far beyond the data
                append(t, {0x21, 0xff, 0xff, 0xff, 0x7f, 0x00});
                append(t, random(pick(0, 50)));
                break;
            case 1: { // LANGUAGE with random SQL-ish words
                std::string sql;
                for (int w = pick(1, 30); w > 0; --w) {
                    sql += std::string(words[pick(0, 20)]) + " ";
                }
                append(t, languageToken(sql));
                break;
            }
            case 2: // DBRPC with a bad name length and a PARAMFMT that lies about its count
                append(t, {0xe6, static_cast<uint8_t>(pick(0, 255)),
                           0x00, static_cast<uint8_t>(pick(0, 255)),
                           'p',  0x02,
                           0x00, 0xec,
                           0x10, 0x00,
                           0xff, 0xff,
                           0x02, '@',
                           'a',  0x00,
                           0x00, 0x00,
                           0x00, 0x00,
                           0x26, 0x04,
                           0x00, 0xd7,
                           0x04});
                break;
            case 3: // PARAMS without PARAMFMT
                append(t, {0xd7, 0x04, 0x01, 0x00, 0x00, 0x00});
                break;
            case 4: // an unknown token
                t.push_back(static_cast<uint8_t>(pick(0, 255)));
                break;
            case 5:
                append(t, random(pick(1, 200)));
                break;
            default: // a zero-length LANGUAGE token
                append(t, {0x21, 0x00, 0x00, 0x00, 0x00});
                break;
            }
        }
        return t;
    }

    int m_port;
    std::mt19937_64 m_rng;
    int m_loginFailures = 0;
};

uint64_t envNumber(const char* name, uint64_t fallback) {
    const char* v = std::getenv(name);
    return v && *v ? std::strtoull(v, nullptr, 10) : fallback;
}

class Fuzz : public SimServerTest {};

TEST_F(Fuzz, ServerSurvivesHostileClients) {
    const auto budget = std::chrono::seconds(envNumber("OSTRIM_FUZZ_SECONDS", 20));
    const uint64_t seed = envNumber(
        "OSTRIM_FUZZ_SEED",
        static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    std::cout << "fuzz seed " << seed << " (OSTRIM_FUZZ_SEED=" << seed
              << " repeats this run), budget " << budget.count() << " s" << std::endl;

    Fuzzer fuzzer(server().port(), seed);
    const auto end = std::chrono::steady_clock::now() + budget;
    int round = 0;
    while (std::chrono::steady_clock::now() < end) {
        ++round;
        int last = -1;
        for (int i = 0; i < 10; ++i) {
            last = fuzzer.runCase();
        }
        ASSERT_TRUE(server().running())
            << "server died in round " << round << " (last case: kind " << last << "), exit status "
            << server().lastExitCode() << ", seed " << seed;
        MessageLog::clear();
        Connection c = connect(host());
        ASSERT_TRUE(c) << "no login after round " << round << ", seed " << seed << "\n"
                       << MessageLog::dump();
        ASSERT_EQ(queryValue(c.get(), "select 1"), "1") << "round " << round << ", seed " << seed;
    }
    std::cout << "fuzz: " << round * 10 << " hostile clients in " << round << " rounds"
              << std::endl;
    // A good login sent over raw TCP must be accepted, or the garbage cases tested nothing.
    EXPECT_EQ(fuzzer.loginFailures(), 0) << "seed " << seed;
}

} // namespace
} // namespace ostrim::test
