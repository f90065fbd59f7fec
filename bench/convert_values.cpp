// Our value text of the fixed types against dbconvert's: random values of each type (1,000,000 by
// default, fixed seed) compared byte for byte, then each converted by writeValueText and by
// dbconvert as the loader called it before (255-character destination), both timed. Any
// difference is printed and fails the run; no server is needed.
//
//   bench_convert_values [--values N] [--seed S]

#include "bench_support.h"
#include "value_text.h"

#include <sybdb.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::seconds;

struct FixedType {
    int type;
    const char* name;
    int length;
};

constexpr std::array<FixedType, 9> kTypes{{{SYBINT1, "tinyint", 1},
                                           {SYBINT2, "smallint", 2},
                                           {SYBINT4, "int", 4},
                                           {SYBINT8, "bigint", 8},
                                           {SYBBIT, "bit", 1},
                                           {SYBMONEY, "money", 8},
                                           {SYBMONEY4, "smallmoney", 4},
                                           {SYBDATETIME, "datetime", 8},
                                           {SYBDATETIME4, "smalldatetime", 4}}};
constexpr std::int32_t kFirstDay = -53690; // Jan 1 1753
constexpr std::int32_t kLastDay = 2958463; // Dec 31 9999
constexpr std::uint32_t kTicksPerDay = 86400 * 300;

// One value's bytes as DB-Library holds them at out. Integers and money take uniform bits cut to
// a random width, so that short and long texts come alike; dates fall in the server's range.
void randomValue(int type, std::mt19937_64& random, unsigned char* out) {
    const std::uint64_t bits = random() >> (random() % 64);
    const std::int64_t value = (random() & 1) ? std::int64_t(0 - bits) : std::int64_t(bits);
    switch (type) {
    case SYBINT1:
    case SYBBIT:
        out[0] = static_cast<unsigned char>(value);
        return;
    case SYBINT2: {
        const auto v = std::int16_t(value);
        std::memcpy(out, &v, 2);
        return;
    }
    case SYBINT4:
    case SYBMONEY4: {
        const auto v = std::int32_t(value);
        std::memcpy(out, &v, 4);
        return;
    }
    case SYBINT8:
        std::memcpy(out, &value, 8);
        return;
    case SYBMONEY: {
        // The high half of the count of ten-thousandths first.
        const auto high = std::int32_t(value >> 32);
        const auto low = std::uint32_t(value);
        std::memcpy(out, &high, 4);
        std::memcpy(out + 4, &low, 4);
        return;
    }
    case SYBDATETIME: {
        const auto days =
            kFirstDay + std::int32_t(random() % std::uint64_t(kLastDay - kFirstDay + 1));
        const auto ticks = std::uint32_t(random() % kTicksPerDay);
        std::memcpy(out, &days, 4);
        std::memcpy(out + 4, &ticks, 4);
        return;
    }
    default: {
        const auto days = std::uint16_t(random());
        const auto minutes = std::uint16_t(random() % 1440);
        std::memcpy(out, &days, 2);
        std::memcpy(out + 2, &minutes, 2);
        return;
    }
    }
}

// The values whose text differs, each printed with both texts (the first few).
long differences(const FixedType& t, const std::vector<unsigned char>& values, long count) {
    long differing = 0;
    std::array<char, ostrim::kFixedTextRoom> ours{};
    std::array<char, ostrim::kConvertedLimit> theirs{};
    for (long i = 0; i < count; ++i) {
        const unsigned char* data = values.data() + i * t.length;
        const int n = ostrim::formatFixedValue(t.type, data, t.length, ours.data());
        const int m =
            ostrim::dbconvertText(t.type, data, t.length, theirs.data(), int(theirs.size()));
        if (n >= 0 && n == m && std::memcmp(ours.data(), theirs.data(), std::size_t(n)) == 0)
            continue;
        if (++differing <= 5)
            std::printf("DIFFERENT %s %s: ours \"%.*s\", dbconvert \"%.*s\"\n", t.name,
                        ostrim::hexText(data, t.length).c_str(), n < 0 ? 0 : n, ours.data(),
                        m < 0 ? 0 : m, theirs.data());
    }
    return differing;
}

} // namespace

int main(int argc, char** argv) {
    long count = 1000000;
    std::uint64_t seed = 20261207;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--values" && i + 1 < argc) {
            count = std::strtol(argv[++i], nullptr, 10);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--values N] [--seed S]\n", argv[0]);
            return 2;
        }
    }
    if (count <= 0) {
        std::fprintf(stderr, "%s: --values must be positive\n", argv[0]);
        return 2;
    }
    bench::initDbLib();
    std::printf("%ld random values per type, seed %llu\n", count,
                static_cast<unsigned long long>(seed));
    std::printf("%-14s %-9s %10s %12s %8s %10s %10s\n", "type", "path", "ours s", "dbconvert s",
                "ratio", "ours ns", "dbconv ns");
    std::mt19937_64 random(seed);
    long failed = 0;
    std::array<char, ostrim::kConvertedLimit> room{};
    for (const FixedType& t : kTypes) {
        std::vector<unsigned char> values(std::size_t(count) * std::size_t(t.length));
        for (long i = 0; i < count; ++i)
            randomValue(t.type, random, values.data() + i * t.length);
        failed += differences(t, values, count);

        // The sums keep the loops from being optimised away and are compared.
        std::size_t ourBytes = 0;
        const Clock::time_point ourStart = Clock::now();
        for (long i = 0; i < count; ++i)
            ourBytes += ostrim::writeValueText(nullptr, t.type, values.data() + i * t.length,
                                               t.length, room.data());
        const double ours = seconds(Clock::now() - ourStart);

        std::size_t theirBytes = 0;
        const Clock::time_point theirStart = Clock::now();
        for (long i = 0; i < count; ++i)
            theirBytes += std::size_t(
                dbconvert(nullptr, t.type, values.data() + i * t.length, t.length, SYBCHAR,
                          reinterpret_cast<BYTE*>(room.data()), ostrim::kConvertedLimit));
        const double theirs = seconds(Clock::now() - theirStart);
        if (ourBytes != theirBytes) {
            std::printf("DIFFERENT %s: %zu bytes of text, dbconvert %zu\n", t.name, ourBytes,
                        theirBytes);
            ++failed;
        }
        const bool own = ostrim::ownFixedTypes().test(std::size_t(t.type));
        std::printf("%-14s %-9s %10.3f %12.3f %8.3f %10.1f %10.1f\n", t.name,
                    own ? "ours" : "dbconvert", ours, theirs, theirs > 0 ? ours / theirs : 0.0,
                    ours * 1e9 / double(count), theirs * 1e9 / double(count));
        std::fflush(stdout);
    }
    if (failed) {
        std::printf("FAILED: %ld values differ from dbconvert's text\n", failed);
        return 1;
    }
    std::printf("all values give dbconvert's text\n");
    return 0;
}
