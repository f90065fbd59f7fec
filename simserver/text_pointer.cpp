#include "text_pointer.h"

#include <sqlite3.h>

namespace sim {

namespace {

// Marks the pointers this server made, so that stray bytes are refused rather than read.
constexpr uint16_t kMagic = 0x5854;

uint64_t getLe(std::string_view s, size_t at, int bytes) {
    uint64_t v = 0;
    for (int k = bytes - 1; k >= 0; --k)
        v = (v << 8) | uint8_t(s[at + size_t(k)]);
    return v;
}

void textptrFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[3]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    std::string p = encodeTextPointer(
        {sqlite3_value_int(argv[0]), sqlite3_value_int(argv[1]), sqlite3_value_int64(argv[2])});
    sqlite3_result_blob(ctx, p.data(), int(p.size()), SQLITE_TRANSIENT);
}

void textptrRowFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    auto* data = static_cast<const char*>(sqlite3_value_blob(argv[0]));
    std::string_view bytes(data ? data : "", size_t(sqlite3_value_bytes(argv[0])));
    auto p = decodeTextPointer(bytes);
    if (!p || p->tableId != sqlite3_value_int(argv[1]) || p->colid != sqlite3_value_int(argv[2])) {
        sqlite3_result_null(ctx);
        return;
    }
    sqlite3_result_int64(ctx, p->rowid);
}

} // namespace

std::string encodeTextPointer(const TextPointer& p) {
    Bytes b;
    b.u32(uint32_t(p.tableId));
    b.u16(uint16_t(p.colid));
    b.u16(kMagic);
    b.u64(uint64_t(p.rowid));
    return {reinterpret_cast<const char*>(b.data().data()), b.size()};
}

std::optional<TextPointer> decodeTextPointer(std::string_view s) {
    if (s.size() != kTextPointerSize || getLe(s, 6, 2) != kMagic)
        return std::nullopt;
    TextPointer p;
    p.tableId = int(getLe(s, 0, 4));
    p.colid = int(getLe(s, 4, 2));
    p.rowid = int64_t(getLe(s, 8, 8));
    if (p.tableId == 0 || p.colid == 0)
        return std::nullopt;
    return p;
}

uint64_t textTimestamp(std::string_view value) {
    uint64_t h = 1469598103934665603ull; // FNV-1a
    for (char c : value)
        h = (h ^ uint8_t(c)) * 1099511628211ull;
    return h;
}

void putTextValue(Bytes& b, const TextPointer& p, std::string_view whole, std::string_view value) {
    b.u8(uint8_t(kTextPointerSize));
    b.raw(encodeTextPointer(p));
    b.u64(textTimestamp(whole));
    b.u32(uint32_t(value.size()));
    b.raw(value);
}

void registerTextPointerFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "sim_textptr", 4, flags, nullptr, textptrFunction, nullptr,
                               nullptr, nullptr);
    sqlite3_create_function_v2(db, "sim_textptr_row", 3, flags, nullptr, textptrRowFunction,
                               nullptr, nullptr, nullptr);
}

} // namespace sim
