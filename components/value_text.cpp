#include "value_text.h"

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ostrim {

namespace {

// The server's datetime range, in days from 1900-01-01: Jan 1 1753 to Dec 31 9999.
constexpr std::int32_t kFirstDay = -53690;
constexpr std::int32_t kLastDay = 2958463;
constexpr std::uint32_t kTicksPerSecond = 300;
constexpr std::uint32_t kTicksPerDay = 86400 * kTicksPerSecond;
constexpr std::uint32_t kMinutesPerDay = 1440;
// 1900-01-01 counted from 1970-01-01.
constexpr std::int64_t kEpoch1900 = -25567;

// Values arrive at any alignment inside DB-Library's row.
template <typename T> T load(const unsigned char* data) {
    T value;
    std::memcpy(&value, data, sizeof value);
    return value;
}

template <typename T> int writeInteger(T value, char* out) {
    return int(std::to_chars(out, out + kFixedTextRoom, value).ptr - out);
}

char* twoDigits(unsigned value, char* at) {
    at[0] = char('0' + value / 10);
    at[1] = char('0' + value % 10);
    return at + 2;
}

// A two-digit field with a blank for the leading zero, as FreeTDS's %e and %l.
char* blankPadded(unsigned value, char* at) {
    at[0] = value < 10 ? ' ' : char('0' + value / 10);
    at[1] = char('0' + value % 10);
    return at + 2;
}

// The four decimals of money's ten-thousandths after its whole units.
int writeMoney(bool negative, std::uint64_t magnitude, char* out) {
    char* at = out;
    if (negative)
        *at++ = '-';
    at = std::to_chars(at, out + kFixedTextRoom, magnitude / 10000).ptr;
    const auto fraction = unsigned(magnitude % 10000);
    *at++ = '.';
    at = twoDigits(fraction / 100, at);
    at = twoDigits(fraction % 100, at);
    return int(at - out);
}

struct CivilDate {
    int year;
    unsigned month; // 1 to 12
    unsigned day;
};

// The proleptic Gregorian date of a day counted from 1970-01-01 (H. Hinnant's civil_from_days).
CivilDate civilFromDays(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153; // March is 0
    const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    return {int(yearOfEra + era * 400 + (month <= 2)), month, day};
}

// FreeTDS's default date format in the C locale, "%b %e %Y %l:%M:%S:%z%p" with milliseconds for
// %z: "Jan  1 1900 12:00:00:000AM".
int writeDateTime(std::int32_t days, std::uint32_t ticks, char* out) {
    static constexpr std::array<char[4], 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const CivilDate date = civilFromDays(kEpoch1900 + days);
    // dbconvert rounds the 1/300 s ticks to the nearest millisecond: 2 ticks give 007, 299 give
    // 997.
    const unsigned millisecond = ((ticks % kTicksPerSecond) * 1000 + 150) / kTicksPerSecond;
    const std::uint32_t seconds = ticks / kTicksPerSecond;
    const unsigned hour = seconds / 3600;
    char* at = out;
    std::memcpy(at, kMonths[date.month - 1], 3);
    at[3] = ' ';
    at = blankPadded(date.day, at + 4);
    *at++ = ' ';
    at = std::to_chars(at, out + kFixedTextRoom, date.year).ptr;
    *at++ = ' ';
    at = blankPadded((hour + 11) % 12 + 1, at);
    *at++ = ':';
    at = twoDigits(seconds / 60 % 60, at);
    *at++ = ':';
    at = twoDigits(seconds % 60, at);
    *at++ = ':';
    at = twoDigits(millisecond / 10, at);
    *at++ = char('0' + millisecond % 10);
    *at++ = hour < 12 ? 'A' : 'P';
    *at++ = 'M';
    return int(at - out);
}

std::vector<FixedValue> probes() {
    std::vector<FixedValue> all;
    for (std::uint8_t v : {0, 1, 9, 10, 99, 100, 255})
        all.push_back(fixedValue(SYBINT1, v));
    for (std::int16_t v : {0, 1, -1, 10, -10, 32767, -32768})
        all.push_back(fixedValue(SYBINT2, v));
    for (std::int32_t v : {0, 1, -1, 100000, -100000, INT32_MAX, INT32_MIN})
        all.push_back(fixedValue(SYBINT4, v));
    for (std::int64_t v : {std::int64_t(0), std::int64_t(-1), std::int64_t(1) << 40,
                           -(std::int64_t(1) << 40) - 7, INT64_MAX, INT64_MIN})
        all.push_back(fixedValue(SYBINT8, v));
    for (std::uint8_t v : {0, 1, 2, 255})
        all.push_back(fixedValue(SYBBIT, v));
    for (std::int64_t v : {std::int64_t(0), std::int64_t(1), std::int64_t(-1), std::int64_t(50),
                           std::int64_t(-12345), std::int64_t(10000), std::int64_t(-99999999999),
                           INT64_MAX, INT64_MIN})
        all.push_back(moneyValue(v));
    for (std::int32_t v : {0, 1, -1, 50, -5000, 123456, INT32_MAX, INT32_MIN})
        all.push_back(fixedValue(SYBMONEY4, v));
    // Days 36524 + 31 * month land on each month of 2000, on single- and two-digit days; the times
    // walk both halves of the day and the ticks' rounding.
    static constexpr std::array<std::uint32_t, 7> kTicks{0,
                                                         1,
                                                         2,
                                                         3600 * kTicksPerSecond,
                                                         12 * 3600 * kTicksPerSecond - 1,
                                                         12 * 3600 * kTicksPerSecond,
                                                         kTicksPerDay - 1};
    for (std::int32_t month = 0; month < 12; ++month) {
        const std::int32_t day = 36524 + 31 * month + (month % 2) * 20;
        for (std::uint32_t ticks : kTicks)
            all.push_back(dateTimeValue(day, ticks));
        all.push_back(smallDateTimeValue(std::uint16_t(day), std::uint16_t(month * 120)));
    }
    all.push_back(dateTimeValue(kFirstDay, 0));
    all.push_back(dateTimeValue(kLastDay, kTicksPerDay - 1));
    for (std::uint16_t minutes : {0, 59, 719, 720, 721, 1439}) {
        all.push_back(smallDateTimeValue(0, minutes));
        all.push_back(smallDateTimeValue(65535, minutes));
    }
    return all;
}

} // namespace

int formatFixedValue(int type, const unsigned char* data, int length, char* out) {
    switch (type) {
    case SYBINT1:
        return length == 1 ? writeInteger(unsigned(data[0]), out) : -1;
    case SYBBIT:
        if (length != 1)
            return -1;
        out[0] = data[0] ? '1' : '0';
        return 1;
    case SYBINT2:
        return length == 2 ? writeInteger(load<std::int16_t>(data), out) : -1;
    case SYBINT4:
        return length == 4 ? writeInteger(load<std::int32_t>(data), out) : -1;
    case SYBINT8:
        return length == 8 ? writeInteger(load<std::int64_t>(data), out) : -1;
    case SYBMONEY4: {
        if (length != 4)
            return -1;
        const auto value = load<std::int32_t>(data);
        // The magnitude of the smallest value has no signed type of its size.
        const std::uint32_t magnitude =
            value < 0 ? 0u - std::uint32_t(value) : std::uint32_t(value);
        return writeMoney(value < 0, magnitude, out);
    }
    case SYBMONEY: {
        if (length != 8)
            return -1;
        const auto value =
            std::int64_t((std::uint64_t(std::uint32_t(load<std::int32_t>(data))) << 32) |
                         load<std::uint32_t>(data + 4));
        const std::uint64_t magnitude =
            value < 0 ? 0u - std::uint64_t(value) : std::uint64_t(value);
        return writeMoney(value < 0, magnitude, out);
    }
    case SYBDATETIME: {
        if (length != 8)
            return -1;
        const auto days = load<std::int32_t>(data);
        const auto ticks = load<std::uint32_t>(data + 4);
        if (days < kFirstDay || days > kLastDay || ticks >= kTicksPerDay)
            return -1;
        return writeDateTime(days, ticks, out);
    }
    case SYBDATETIME4: {
        if (length != 4)
            return -1;
        const auto minutes = load<std::uint16_t>(data + 2);
        if (minutes >= kMinutesPerDay)
            return -1;
        return writeDateTime(load<std::uint16_t>(data), minutes * 60u * kTicksPerSecond, out);
    }
    default:
        return -1;
    }
}

FixedTypeSet matchingFixedTypes(ReferenceText reference) {
    FixedTypeSet matching;
    FixedTypeSet differing;
    for (const FixedValue& p : probes()) {
        std::array<char, kFixedTextRoom> ours{};
        std::array<char, kConvertedLimit> theirs{};
        const int length = int(p.bytes.size());
        const int n = formatFixedValue(p.type, p.bytes.data(), length, ours.data());
        const int m = reference(p.type, p.bytes.data(), length, theirs.data(), int(theirs.size()));
        if (n >= 0 && n == m && std::equal(ours.begin(), ours.begin() + n, theirs.begin()))
            matching.set(std::size_t(p.type));
        else
            differing.set(std::size_t(p.type));
    }
    return matching & ~differing;
}

const FixedTypeSet& ownFixedTypes() {
    static const FixedTypeSet types = matchingFixedTypes(&dbconvertText);
    return types;
}

int dbconvertText(int type, const unsigned char* data, int length, char* out, int room) {
    return dbconvert(nullptr, type, data, length, SYBCHAR, reinterpret_cast<BYTE*>(out), room);
}

bool isNumericType(int type) {
    switch (type) {
    case SYBINT1:
    case SYBINT2:
    case SYBINT4:
    case SYBINT8:
    case SYBINTN:
    case SYBFLT8:
    case SYBREAL:
    case SYBFLTN:
    case SYBNUMERIC:
    case SYBDECIMAL:
    case SYBMONEY:
    case SYBMONEY4:
    case SYBMONEYN:
        return true;
    default:
        return false;
    }
}

std::size_t valueTextRoom(int type, int length) {
    if (length <= 0)
        return 0;
    if (type == SYBCHAR || type == SYBTEXT)
        return std::size_t(length);
    // FreeTDS fails a conversion that does not fit its destination instead of cutting it (binary
    // values give two characters per byte): room for the whole text, cut afterwards.
    return std::size_t(std::max(kConvertedLimit, 2 * length + 2));
}

std::size_t writeValueText(DBPROCESS* process, int type, const unsigned char* data, int length,
                           char* room) {
    if (length <= 0 || !data)
        return 0;
    if (type == SYBCHAR) {
        const void* zero = std::memchr(data, 0, std::size_t(length));
        const std::size_t n = zero ? std::size_t(static_cast<const unsigned char*>(zero) - data)
                                   : std::size_t(length);
        std::memcpy(room, data, n);
        return n;
    }
    if (type == SYBTEXT) {
        std::size_t n = std::size_t(length);
        while (n > 0 && data[n - 1] == ' ')
            --n;
        std::memcpy(room, data, n);
        return n;
    }
    if (const FixedTypeSet& own = ownFixedTypes();
        unsigned(type) < own.size() && own.test(unsigned(type))) {
        const int n = formatFixedValue(type, data, length, room);
        if (n >= 0)
            return std::size_t(n);
    }
    const int capacity = int(valueTextRoom(type, length));
    const DBINT n =
        dbconvert(process, type, data, length, SYBCHAR, reinterpret_cast<BYTE*>(room), capacity);
    return std::size_t(std::clamp<DBINT>(n, 0, kConvertedLimit));
}

FixedValue moneyValue(std::int64_t tenThousandths) {
    FixedValue v{SYBMONEY, std::vector<unsigned char>(8)};
    const auto high = std::int32_t(tenThousandths >> 32);
    const auto low = std::uint32_t(tenThousandths);
    std::memcpy(v.bytes.data(), &high, 4);
    std::memcpy(v.bytes.data() + 4, &low, 4);
    return v;
}

FixedValue dateTimeValue(std::int32_t days, std::uint32_t ticks) {
    FixedValue v{SYBDATETIME, std::vector<unsigned char>(8)};
    std::memcpy(v.bytes.data(), &days, 4);
    std::memcpy(v.bytes.data() + 4, &ticks, 4);
    return v;
}

FixedValue smallDateTimeValue(std::uint16_t days, std::uint16_t minutes) {
    FixedValue v{SYBDATETIME4, std::vector<unsigned char>(4)};
    std::memcpy(v.bytes.data(), &days, 2);
    std::memcpy(v.bytes.data() + 2, &minutes, 2);
    return v;
}

std::string hexText(const unsigned char* data, int length) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < length; ++i)
        text += {kDigits[data[i] >> 4], kDigits[data[i] & 15]};
    return text;
}

} // namespace ostrim
