// Statements sent with parameters: a language command followed by PARAMFMT/PARAMS, and dynamic
// SQL (prepare, execute, deallocate), which ASE runs as temporary procedures of the session.

#include "session.h"

#include <cctype>

namespace sim {

namespace {

enum DynamicType : uint8_t {
    kDynPrepare = 0x01,
    kDynExecute = 0x02,
    kDynDeallocate = 0x04,
    kDynExecuteImmediate = 0x08,
    kDynAck = 0x20,
};

// ASE keeps a prepared statement as a temporary procedure: a missing one is a missing
// procedure.
constexpr int kNoStatement = 2812;

// Names the ? placeholders outside literals, brackets and comments @P1, @P2..., as FreeTDS
// names them in the texts it sends itself.
std::string namePlaceholders(const std::string& sql) {
    std::string out;
    int n = 0;
    for (size_t i = 0; i < sql.size(); ++i) {
        char c = sql[i];
        if (c == '\'' || c == '"' || c == '[') {
            char close = c == '[' ? ']' : c;
            size_t end = sql.find(close, i + 1);
            end = end == std::string::npos ? sql.size() : end + 1;
            out.append(sql, i, end - i);
            i = end - 1;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t end = std::min(sql.find('\n', i), sql.size());
            out.append(sql, i, end - i);
            i = end - 1;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t end = sql.find("*/", i + 2);
            end = end == std::string::npos ? sql.size() : end + 2;
            out.append(sql, i, end - i);
            i = end - 1;
        } else if (c == '?') {
            out += "@P" + std::to_string(++n);
        } else {
            out += c;
        }
    }
    return out;
}

// Client libraries that may prepare procedures wrap the statement in "create proc <id> as".
std::string statementOf(const std::string& text, const std::string& id) {
    std::string prefix = "create proc " + id + " as ";
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || text.size() - start < prefix.size())
        return text;
    for (size_t k = 0; k < prefix.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(text[start + k])) !=
            std::tolower(static_cast<unsigned char>(prefix[k])))
            return text;
    return text.substr(start + prefix.size());
}

} // namespace

std::vector<Session::Argument> Session::readParameters(Reader& r) {
    if (r.atEnd())
        throw ConnectionClosed("expected parameter formats");
    uint8_t tok = r.u8();
    bool wide = tok == kTokParamFmt2;
    if (tok != kTokParamFmt && !wide)
        throw ConnectionClosed("expected parameter formats");
    if (wide)
        r.u32();
    else
        r.u16();
    uint16_t count = r.u16();
    std::vector<Argument> args(count);
    std::vector<WireParam> formats;
    for (uint16_t i = 0; i < count; ++i) {
        args[i].name = r.bvarchar();
        if (args[i].name.empty())
            args[i].name = "@P" + std::to_string(i + 1);
        args[i].output = ((wide ? r.u32() : r.u8()) & 0x01) != 0;
        r.u32(); // usertype
        formats.push_back(readTypeInfo(r));
        args[i].wireType = formats.back().type;
        r.skip(r.u8()); // locale
    }
    if (count > 0 && r.u8() != kTokParams)
        throw ConnectionClosed("expected parameters");
    for (uint16_t i = 0; i < count; ++i)
        args[i].value = readValue(r, formats[i]);
    return args;
}

void Session::parameterisedLanguage(const std::string& sql, Reader& r) {
    std::vector<Argument> params = readParameters(r);
    languageRequest(namePlaceholders(sql), params);
}

void Session::refuseRequest(const std::string& text, int number) {
    Frame f;
    sendError(SqlError::make(number, 16, text), f, 1);
    statementDone(f, 0, 0);
}

void Session::dynamicRequest(Reader& r) {
    size_t len = r.u16();
    size_t start = r.left();
    if (len < 3 || len > start)
        throw ConnectionClosed("bad dynamic token");
    auto used = [&] {
        return start - r.left();
    };
    uint8_t type = r.u8();
    bool hasParams = (r.u8() & 0x01) != 0;
    std::string id = r.bvarchar();
    std::string text;
    if (used() + 2 <= len)
        text = r.str(r.u16());
    if (used() > len)
        throw ConnectionClosed("bad dynamic token");
    r.skip(len - used());
    std::vector<Argument> params = hasParams ? readParameters(r) : std::vector<Argument>{};
    auto acknowledge = [&] {
        if (id.size() > 255)
            id.resize(255);
        Bytes& b = tokens();
        b.u8(kTokDynamic);
        b.u16(uint16_t(3 + id.size()));
        b.u8(kDynAck);
        b.u8(0);
        b.bvarchar(id);
    };
    switch (type) {
    case kDynPrepare: {
        std::string sql = namePlaceholders(statementOf(text, id));
        ast::ParseResult parsed = ast::parseBatch(sql);
        if (!parsed.ok) {
            Frame f;
            sendError(
                SqlError::make(parsed.error.number, 15, parsed.error.message, parsed.error.line), f,
                parsed.error.line);
            statementDone(f, 0, 0);
            return;
        }
        m_dynamic[id] = sql;
        acknowledge();
        return;
    }
    case kDynExecute: {
        auto it = m_dynamic.find(id);
        if (it == m_dynamic.end()) {
            refuseRequest("Dynamic statement '" + id + "' was not prepared.", kNoStatement);
            return;
        }
        languageRequest(it->second, params);
        return;
    }
    case kDynDeallocate:
        if (!m_dynamic.erase(id)) {
            refuseRequest("Dynamic statement '" + id + "' was not prepared.", kNoStatement);
            return;
        }
        acknowledge();
        return;
    case kDynExecuteImmediate:
        languageRequest(namePlaceholders(statementOf(text, id)), params);
        return;
    default:
        refuseRequest("This server does not support dynamic SQL requests of type " +
                      std::to_string(type) + ".");
    }
}

} // namespace sim
