#pragma once
// Text pointers: the 16 bytes a select sends before a text or image value name its table,
// column and row, so that readtext, writetext and textvalid can find the value again.

#include "tds.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace sim {

struct TextPointer {
    int tableId = 0;
    int colid = 0;
    int64_t rowid = 0;
};

constexpr size_t kTextPointerSize = 16;

std::string encodeTextPointer(const TextPointer& p);
// nullopt for anything this server did not hand out.
std::optional<TextPointer> decodeTextPointer(std::string_view bytes);
// The text timestamp: it changes with the value, which is all a client compares it for.
uint64_t textTimestamp(std::string_view value);

// A non-NULL text or image value in the row format (pointer, timestamp, length, data); value
// is what is sent (cut to the textsize), whole is what the timestamp is taken of.
void putTextValue(Bytes& b, const TextPointer& p, std::string_view whole, std::string_view value);

// sim_textptr(tableId, colid, rowid, value): the pointer, NULL for a NULL value.
// sim_textptr_row(pointer, tableId, colid): the pointer's rowid when it names that column.
void registerTextPointerFunctions(sqlite3* db);

} // namespace sim
