#pragma once
// Value to text, as dbconvert(..., SYBCHAR, ...) gives it, for the grid loader and the query
// components alike. The common fixed types are formatted here: dbconvert is general and costs more
// than fetching the row.

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// The same declaration as sybdb.h's, which callers of this header need not include.
typedef struct tds_dblib_dbprocess DBPROCESS;

namespace ostrim {

// The integer, floating-point, exact numeric and money types (bit is none of them).
bool isNumericType(int type);

// Conversions longer than this many characters are cut.
inline constexpr int kConvertedLimit = 255;

// The room writeValueText needs for one value of length bytes of type.
std::size_t valueTextRoom(int type, int length);

// Writes the text of one value at room (valueTextRoom bytes), without a terminator, and returns its
// byte count. NULL and a zero-length value give none; char is copied up to a zero byte, text whole
// without its trailing blanks (as dbconvert's text to text), every other type in dbconvert's text
// cut to kConvertedLimit. Threads may convert at once: the one thing kept, which fixed types are
// formatted here, is settled at the first call of the process (ownFixedTypes).
std::size_t writeValueText(DBPROCESS* process, int type, const unsigned char* data, int length,
                           char* room);

// Our own text of a fixed type's value (tinyint, smallint, int, bigint, bit, money, smallmoney,
// datetime, smalldatetime), written at out, which holds kFixedTextRoom bytes; -1 for any other type
// or size, and for dates outside the server's range, which stay dbconvert's.
inline constexpr std::size_t kFixedTextRoom = 32;
int formatFixedValue(int type, const unsigned char* data, int length, char* out);

// The fixed types, by DB-Library type number, whose text from formatFixedValue equals reference's
// on probe values of every shape (each month, both halves of the day, every sign and number of
// decimals). dbconvert's dates follow FreeTDS's date format and the C library's locale, which a
// user may have set otherwise; a type that differs then stays dbconvert's. reference writes at
// most room bytes and returns their count.
using ReferenceText = int (*)(int type, const unsigned char* data, int length, char* out, int room);
using FixedTypeSet = std::bitset<256>;
FixedTypeSet matchingFixedTypes(ReferenceText reference);

// dbconvert's text (DB-Library must be initialised), the reference writeValueText calibrates
// against once per process.
int dbconvertText(int type, const unsigned char* data, int length, char* out, int room);
// The fixed types writeValueText formats itself in this process: those matching dbconvertText
// at the first call, made after DB-Library's initialisation and the program's setlocale.
const FixedTypeSet& ownFixedTypes();

// A fixed type's value as DB-Library holds it (host byte order): for the calibration's probes,
// and for whoever builds such values to check the text of.
struct FixedValue {
    int type;
    std::vector<unsigned char> bytes;
};
template <typename T> FixedValue fixedValue(int type, T value) {
    FixedValue v{type, std::vector<unsigned char>(sizeof value)};
    std::memcpy(v.bytes.data(), &value, sizeof value);
    return v;
}
// money: the high half of the 64-bit count of ten-thousandths first.
FixedValue moneyValue(std::int64_t tenThousandths);
// datetime: days since Jan 1 1900 and 1/300 s ticks since midnight.
FixedValue dateTimeValue(std::int32_t days, std::uint32_t ticks);
// smalldatetime: days since Jan 1 1900 and minutes since midnight.
FixedValue smallDateTimeValue(std::uint16_t days, std::uint16_t minutes);
// Bytes as lower-case hex digits, for reports of a value.
std::string hexText(const unsigned char* data, int length);

} // namespace ostrim
