#pragma once
// TDS 5.0 wire layer: packets in both directions and the tokens simserver sends.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum PacketType : uint8_t {
    kPacketLogin = 0x02,
    kPacketReply = 0x04,
    kPacketAttention = 0x06,
    kPacketBulk = 0x07,
    kPacketNormal = 0x0F,
    kPacketTds7Login = 0x10,
    kPacketPrelogin = 0x12,
};

enum Token : uint8_t {
    kTokCapability = 0xE2,
    kTokEnvChange = 0xE3,
    kTokEed = 0xE5,
    kTokLoginAck = 0xAD,
    kTokRowFmt = 0xEE,
    kTokRow = 0xD1,
    kTokReturnStatus = 0x79,
    kTokParamFmt = 0xEC,
    kTokParams = 0xD7,
    kTokDone = 0xFD,
    kTokDoneProc = 0xFE,
    kTokDoneInProc = 0xFF,
    kTokLanguage = 0x21,
    kTokDbRpc = 0xE6,
    kTokLogout = 0x71,
    kTokDynamic = 0xE7,   // dynamic SQL: prepare, execute, deallocate, and their acknowledgement
    kTokParamFmt2 = 0x20, // PARAMFMT with 4-byte length and status
};

enum DoneStatus : uint16_t {
    kDoneFinal = 0x0000,
    kDoneMore = 0x0001,
    kDoneError = 0x0002,
    kDoneInXact = 0x0004,
    kDoneProc = 0x0008,
    kDoneCount = 0x0010,
    kDoneAttn = 0x0020,
};

// The peer broke the protocol or went away: the connection is closed, nothing else.
struct ConnectionClosed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Raised while sending when the client's attention packet arrived.
struct Cancelled {};

// Little-endian byte builder for token streams.
class Bytes {
public:
    void u8(uint8_t v) { m_buf.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void u64(uint64_t v);
    void raw(const void* p, size_t n);
    void raw(std::string_view s) { raw(s.data(), s.size()); }
    void bvarchar(std::string_view s);  // 1-byte length, cut to 255
    void usvarchar(std::string_view s); // 2-byte length
    size_t size() const { return m_buf.size(); }
    void patchU16(size_t at, uint16_t v);
    void patchU32(size_t at, uint32_t v);
    std::vector<uint8_t>& data() { return m_buf; }
    void clear() { m_buf.clear(); }

private:
    std::vector<uint8_t> m_buf;
};

// Reading side of a byte span, bounds-checked: a short buffer is a protocol error.
class Reader {
public:
    Reader(const uint8_t* p, size_t n) : m_p(p), m_end(p + n) {}
    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    std::string str(size_t n);
    std::string bvarchar() { return str(u8()); }
    void skip(size_t n);
    size_t left() const { return size_t(m_end - m_p); }
    bool atEnd() const { return m_p == m_end; }

private:
    const uint8_t* m_p;
    const uint8_t* m_end;
};

// One client socket. Reads whole messages; writes replies in packets of the negotiated
// size, looking for an attention between packets so that a cancel is seen while
// results stream.
class TdsSocket {
public:
    explicit TdsSocket(int fd) : m_fd(fd) {}
    ~TdsSocket();
    TdsSocket(const TdsSocket&) = delete;
    TdsSocket& operator=(const TdsSocket&) = delete;

    int fd() const { return m_fd; }
    void setPacketSize(size_t n) { m_packetSize = n; }
    size_t packetSize() const { return m_packetSize; }

    // Returns the packet type of the message and its concatenated payload.
    // An attention that arrives while idle yields type kPacketAttention.
    uint8_t readMessage(std::vector<uint8_t>& payload, size_t maxSize);

    // Token output of the current reply.
    Bytes& out() { return m_out; }
    // Sends full packets of what is buffered; throws Cancelled when an attention came.
    void flushFull();
    // Sends the rest of the reply with the end-of-message flag.
    void finishReply();
    // Drops what is buffered but not sent (after a cancel).
    void discardPending() { m_out.clear(); }

    // True once the client sent an attention (consumed from the socket).
    bool attentionSeen() const { return m_attention; }
    void clearAttention() { m_attention = false; }
    // Non-blocking look at the socket: notes an attention, throws on close or garbage.
    void pollAttention(int timeoutMs = 0);

    // Called between packets and while waiting; lets the owner abort work (kill).
    std::function<bool()> abortCheck;

private:
    void sendPacket(const uint8_t* p, size_t n, bool last);
    void readExact(uint8_t* p, size_t n);

    int m_fd;
    size_t m_packetSize = 512;
    Bytes m_out;
    bool m_attention = false;
};

// Tokens.
void putEnvChange(Bytes& b, uint8_t type, std::string_view newValue, std::string_view oldValue);
void putDone(Bytes& b, uint8_t token, uint16_t status, uint16_t transtate, int32_t count);
struct Message {
    int32_t number = 0;
    uint8_t state = 1;
    uint8_t severity = 10;
    std::string text;
    std::string server;
    std::string proc;
    uint16_t line = 1;
};
void putEed(Bytes& b, const Message& m, uint16_t transtate);

} // namespace sim
