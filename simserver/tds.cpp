#include "tds.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

// Rows are encoded value by value: appending whole little-endian words keeps that cheap.
void Bytes::u16(uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    raw(b, 2);
}

void Bytes::u32(uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    raw(b, 4);
}

void Bytes::u64(uint64_t v) {
    u32(uint32_t(v));
    u32(uint32_t(v >> 32));
}

void Bytes::raw(const void* p, size_t n) {
    auto* c = static_cast<const uint8_t*>(p);
    m_buf.insert(m_buf.end(), c, c + n);
}

void Bytes::bvarchar(std::string_view s) {
    if (s.size() > 255)
        s = s.substr(0, 255);
    u8(uint8_t(s.size()));
    raw(s);
}

void Bytes::usvarchar(std::string_view s) {
    if (s.size() > 65535)
        s = s.substr(0, 65535);
    u16(uint16_t(s.size()));
    raw(s);
}

void Bytes::patchU16(size_t at, uint16_t v) {
    m_buf[at] = uint8_t(v);
    m_buf[at + 1] = uint8_t(v >> 8);
}

void Bytes::patchU32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        m_buf[at + i] = uint8_t(v >> (8 * i));
}

uint8_t Reader::u8() {
    if (left() < 1)
        throw ConnectionClosed("truncated token");
    return *m_p++;
}

uint16_t Reader::u16() {
    uint16_t lo = u8();
    return uint16_t(lo | (u8() << 8));
}

uint32_t Reader::u32() {
    uint32_t lo = u16();
    return lo | (uint32_t(u16()) << 16);
}

uint64_t Reader::u64() {
    uint64_t lo = u32();
    return lo | (uint64_t(u32()) << 32);
}

std::string Reader::str(size_t n) {
    if (left() < n)
        throw ConnectionClosed("truncated token");
    std::string s(reinterpret_cast<const char*>(m_p), n);
    m_p += n;
    return s;
}

void Reader::skip(size_t n) {
    if (left() < n)
        throw ConnectionClosed("truncated token");
    m_p += n;
}

TdsSocket::~TdsSocket() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void TdsSocket::readExact(uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t r = ::recv(m_fd, p, n, 0);
        if (r == 0)
            throw ConnectionClosed("peer closed");
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw ConnectionClosed(std::strerror(errno));
        }
        p += r;
        n -= size_t(r);
    }
}

uint8_t TdsSocket::readMessage(std::vector<uint8_t>& payload, size_t maxSize) {
    payload.clear();
    uint8_t type = 0;
    for (bool first = true;; first = false) {
        uint8_t h[8];
        readExact(h, 8);
        size_t len = (size_t(h[2]) << 8) | h[3];
        if (len < 8)
            throw ConnectionClosed("bad packet length");
        if (first)
            type = h[0];
        else if (h[0] != type)
            throw ConnectionClosed("packet type changed inside a message");
        size_t n = len - 8;
        if (payload.size() + n > maxSize)
            throw ConnectionClosed("message too large");
        size_t at = payload.size();
        payload.resize(at + n);
        readExact(payload.data() + at, n);
        // An attention may sit between the end of a reply and the next request.
        if (type == kPacketAttention)
            return type;
        if (h[1] & 0x01)
            return type;
    }
}

void TdsSocket::pollAttention(int timeoutMs) {
    if (abortCheck && abortCheck())
        throw ConnectionClosed("killed");
    if (m_fd < 0)
        return;
    pollfd p{m_fd, POLLIN, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r <= 0)
        return;
    if (p.revents & (POLLERR | POLLNVAL))
        throw ConnectionClosed("socket error");
    uint8_t h[8];
    ssize_t got = ::recv(m_fd, h, 8, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0)
        throw ConnectionClosed("peer closed");
    if (got < 8)
        return; // wait for the whole header
    if (h[0] != kPacketAttention)
        throw ConnectionClosed("request while a reply is under way");
    size_t len = (size_t(h[2]) << 8) | h[3];
    if (len < 8 || len > 512)
        throw ConnectionClosed("bad attention packet");
    std::vector<uint8_t> skip(len);
    readExact(skip.data(), len);
    m_attention = true;
}

void TdsSocket::sendPacket(const uint8_t* p, size_t n, bool last) {
    if (m_fd < 0) // a script run by the server itself: the reply goes nowhere
        return;
    uint8_t h[8] = {
        kPacketReply, uint8_t(last ? 1 : 0), uint8_t((n + 8) >> 8), uint8_t(n + 8), 0, 0, 0, 0};
    iovec iov[2] = {{h, 8}, {const_cast<uint8_t*>(p), n}};
    msghdr msg{};
    msg.msg_iov = iov;
    msg.msg_iovlen = 2;
    size_t total = n + 8, sent = 0;
    while (sent < total) {
        ssize_t r = ::sendmsg(m_fd, &msg, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw ConnectionClosed(std::strerror(errno));
        }
        sent += size_t(r);
        // Advance the iovecs past what went out.
        size_t adv = size_t(r);
        while (adv > 0 && msg.msg_iovlen > 0) {
            if (adv >= msg.msg_iov[0].iov_len) {
                adv -= msg.msg_iov[0].iov_len;
                ++msg.msg_iov;
                --msg.msg_iovlen;
            } else {
                msg.msg_iov[0].iov_base = static_cast<uint8_t*>(msg.msg_iov[0].iov_base) + adv;
                msg.msg_iov[0].iov_len -= adv;
                adv = 0;
            }
        }
    }
}

void TdsSocket::flushFull() {
    size_t payload = m_packetSize - 8;
    auto& buf = m_out.data();
    if (buf.size() <= payload)
        return;
    size_t at = 0;
    while (buf.size() - at > payload) {
        pollAttention();
        if (m_attention)
            throw Cancelled{};
        sendPacket(buf.data() + at, payload, false);
        at += payload;
    }
    buf.erase(buf.begin(), buf.begin() + long(at));
}

void TdsSocket::finishReply() {
    size_t payload = m_packetSize - 8;
    auto& buf = m_out.data();
    size_t at = 0;
    while (buf.size() - at > payload) {
        sendPacket(buf.data() + at, payload, false);
        at += payload;
    }
    sendPacket(buf.data() + at, buf.size() - at, true);
    buf.clear();
}

void putEnvChange(Bytes& b, uint8_t type, std::string_view newValue, std::string_view oldValue) {
    newValue = newValue.substr(0, 255);
    oldValue = oldValue.substr(0, 255);
    b.u8(kTokEnvChange);
    b.u16(uint16_t(3 + newValue.size() + oldValue.size()));
    b.u8(type);
    b.bvarchar(newValue);
    b.bvarchar(oldValue);
}

void putDone(Bytes& b, uint8_t token, uint16_t status, uint16_t transtate, int32_t count) {
    b.u8(token);
    b.u16(status);
    b.u16(transtate);
    b.u32(uint32_t(count));
}

void putEed(Bytes& b, const Message& m, uint16_t transtate) {
    std::string text = m.text.substr(0, 4000);
    std::string server = m.server.substr(0, 255), proc = m.proc.substr(0, 255);
    const std::string sqlstate = "ZZZZZ";
    b.u8(kTokEed);
    b.u16(uint16_t(16 + sqlstate.size() + text.size() + server.size() + proc.size()));
    b.u32(uint32_t(m.number));
    b.u8(m.state);
    b.u8(m.severity);
    b.bvarchar(sqlstate);
    b.u8(0); // no extra parameters follow
    b.u16(transtate);
    b.usvarchar(text);
    b.bvarchar(server);
    b.bvarchar(proc);
    b.u16(m.line);
}

} // namespace sim
