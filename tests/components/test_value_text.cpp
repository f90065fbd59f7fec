// Our text of the fixed types against dbconvert's, byte for byte: edge values, a bounded random
// run, the calibration that keeps dbconvert for a configuration we do not mirror, and the values
// of a simserver row set.
#include "component_server.h"
#include "sybase32.h"
#include "value_text.h"

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace ostrim {
namespace {

using test::runSql;

constexpr int kFixedTypes[] = {SYBINT1,  SYBINT2,   SYBINT4,     SYBINT8,     SYBBIT,
                               SYBMONEY, SYBMONEY4, SYBDATETIME, SYBDATETIME4};
constexpr std::int32_t kFirstDay = -53690; // Jan 1 1753
constexpr std::int32_t kLastDay = 2958463; // Dec 31 9999
constexpr std::uint32_t kTicksPerDay = 86400 * 300;

std::string dbconvertOf(int type, const unsigned char* data, int length) {
    std::array<char, kConvertedLimit> text{};
    const int n = dbconvertText(type, data, length, text.data(), int(text.size()));
    return n < 0 ? "(failed)" : std::string(text.data(), std::size_t(n));
}

// Both texts when ours differs from dbconvert's (or we leave the value to it); empty when alike.
std::string difference(int type, const unsigned char* data, int length) {
    std::array<char, kFixedTextRoom> text{};
    const int n = formatFixedValue(type, data, length, text.data());
    const std::string ours = n < 0 ? "(not ours)" : std::string(text.data(), std::size_t(n));
    const std::string theirs = dbconvertOf(type, data, length);
    if (ours == theirs)
        return {};
    return "type " + std::to_string(type) + " bytes " + hexText(data, length) + ": ours \"" + ours +
           "\", dbconvert \"" + theirs + "\"";
}

std::vector<FixedValue> edgeValues() {
    std::vector<FixedValue> values;
    for (std::uint8_t v : {0, 1, 9, 10, 99, 100, 254, 255})
        values.push_back(fixedValue(SYBINT1, v));
    for (std::int16_t v : {0, 1, -1, 9, -10, 32767, -32768, -32767})
        values.push_back(fixedValue(SYBINT2, v));
    for (std::int32_t v : {0, 1, -1, 999999, -1000000, INT32_MAX, INT32_MIN, INT32_MIN + 1})
        values.push_back(fixedValue(SYBINT4, v));
    for (std::int64_t v : {std::int64_t(0), std::int64_t(-1), std::int64_t(INT32_MAX) + 1,
                           std::int64_t(INT32_MIN) - 1, INT64_MAX, INT64_MIN, INT64_MIN + 1})
        values.push_back(fixedValue(SYBINT8, v));
    for (std::uint8_t v : {0, 1, 2, 128, 255})
        values.push_back(fixedValue(SYBBIT, v));
    // Every number of decimals, both signs, and the limits.
    for (std::int64_t v : {0, 1, 10, 100, 1000, 10000, 12345, 50, 5000, 9999, 10001, 123456789})
        for (std::int64_t sign : {1, -1}) {
            values.push_back(moneyValue(sign * v));
            values.push_back(fixedValue(SYBMONEY4, std::int32_t(sign * v)));
        }
    for (std::int64_t v : {INT64_MAX, INT64_MIN, INT64_MIN + 1, std::int64_t(INT32_MAX) + 1})
        values.push_back(moneyValue(v));
    for (std::int32_t v : {INT32_MAX, INT32_MIN, INT32_MIN + 1})
        values.push_back(fixedValue(SYBMONEY4, v));
    // Midnight, the ticks around the milliseconds' rounding, the hours around 12:00 AM and PM.
    const std::uint32_t hour = 3600 * 300;
    const std::vector<std::uint32_t> times{0,
                                           1,
                                           2,
                                           3,
                                           4,
                                           5,
                                           149,
                                           150,
                                           151,
                                           299,
                                           300,
                                           hour - 1,
                                           hour,
                                           11 * hour + hour - 1,
                                           12 * hour,
                                           12 * hour + 1,
                                           13 * hour,
                                           23 * hour + 59 * 60 * 300 + 59 * 300 + 299,
                                           kTicksPerDay - 1};
    for (std::uint32_t ticks : times)
        for (std::int32_t day : {kFirstDay, 0, 36524, kLastDay})
            values.push_back(dateTimeValue(day, ticks));
    // Each month's first and last day, around a leap day.
    for (std::int32_t day = 36524 - 1; day <= 36524 + 366; ++day)
        values.push_back(dateTimeValue(day, std::uint32_t(day % 7) * 3 * hour));
    for (std::uint16_t minutes : {0, 1, 59, 60, 719, 720, 721, 779, 780, 1439})
        for (std::uint16_t day : {0, 1, 36524, 65535})
            values.push_back(smallDateTimeValue(day, minutes));
    for (std::uint16_t day = 36524; day <= 36524 + 366; ++day)
        values.push_back(smallDateTimeValue(day, std::uint16_t(day % 1440)));
    return values;
}

// Uniform bits or a random number of them, so that short and long texts come alike.
std::uint64_t randomBits(std::mt19937_64& random) {
    const std::uint64_t bits = random();
    return bits >> (random() % 64);
}

FixedValue randomValue(int type, std::mt19937_64& random) {
    const std::uint64_t bits = randomBits(random);
    const bool negative = random() & 1;
    const auto signedBits = [&] {
        return negative ? std::int64_t(0 - bits) : std::int64_t(bits);
    };
    switch (type) {
    case SYBINT1:
    case SYBBIT:
        return fixedValue(type, std::uint8_t(bits));
    case SYBINT2:
        return fixedValue(type, std::int16_t(signedBits()));
    case SYBINT4:
    case SYBMONEY4:
        return fixedValue(type, std::int32_t(signedBits()));
    case SYBINT8:
        return fixedValue(type, signedBits());
    case SYBMONEY:
        return moneyValue(signedBits());
    case SYBDATETIME:
        return dateTimeValue(kFirstDay +
                                 std::int32_t(random() % std::uint64_t(kLastDay - kFirstDay + 1)),
                             std::uint32_t(random() % kTicksPerDay));
    default:
        return smallDateTimeValue(std::uint16_t(random()), std::uint16_t(random() % 1440));
    }
}

// Our dates mirror FreeTDS's default date format in the C locale; the Qt test main takes the
// environment's.
class ValueTextTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        initDbLib();
        std::setlocale(LC_TIME, "C");
    }
};

TEST_F(ValueTextTest, EdgeValuesGiveDbconvertsText) {
    for (const FixedValue& v : edgeValues())
        EXPECT_EQ(difference(v.type, v.bytes.data(), int(v.bytes.size())), "");
}

TEST_F(ValueTextTest, RandomValuesGiveDbconvertsText) {
    constexpr std::uint64_t kSeed = 20261207;
    constexpr int kPerType = 30'000;
    std::mt19937_64 random(kSeed);
    for (int type : kFixedTypes) {
        int differences = 0;
        for (int i = 0; i < kPerType; ++i) {
            const FixedValue v = randomValue(type, random);
            const std::string d = difference(v.type, v.bytes.data(), int(v.bytes.size()));
            if (!d.empty() && ++differences <= 5)
                ADD_FAILURE() << "seed " << kSeed << ", " << d;
        }
        EXPECT_EQ(differences, 0) << "type " << type << ", seed " << kSeed;
    }
}

TEST_F(ValueTextTest, ValuesOutsideTheRangeStayDbconverts) {
    std::array<char, kConvertedLimit> text{};
    for (const FixedValue& v : {dateTimeValue(kFirstDay - 1, 0), dateTimeValue(kLastDay + 1, 0),
                                dateTimeValue(0, kTicksPerDay), smallDateTimeValue(0, 1440)}) {
        const int length = int(v.bytes.size());
        ASSERT_EQ(formatFixedValue(v.type, v.bytes.data(), length, text.data()), -1);
        const std::size_t n = writeValueText(nullptr, v.type, v.bytes.data(), length, text.data());
        EXPECT_EQ(std::string(text.data(), n), dbconvertOf(v.type, v.bytes.data(), length));
    }
}

TEST_F(ValueTextTest, CharIsCopiedToItsZeroAndTextWithoutTrailingBlanks) {
    const std::string bytes("ab c \0d  ", 9);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    std::array<char, 16> text{};
    EXPECT_EQ(std::string(text.data(), writeValueText(nullptr, SYBCHAR, data, 9, text.data())),
              "ab c ");
    EXPECT_EQ(std::string(text.data(), writeValueText(nullptr, SYBTEXT, data, 9, text.data())),
              std::string("ab c \0d", 7));
    EXPECT_EQ(writeValueText(nullptr, SYBINT4, data, 0, text.data()), 0u);
}

// A reference that differs from dbconvert for one type only, as a date format or money decimals
// we do not mirror would.
int g_alteredType = 0;
int alteredReference(int type, const unsigned char* data, int length, char* out, int room) {
    const int n = dbconvertText(type, data, length, out, room);
    if (type == g_alteredType && n > 0)
        out[0] = out[0] == 'x' ? 'y' : 'x';
    return n;
}

TEST_F(ValueTextTest, CalibrationKeepsDbconvertForTheTypeThatDiffers) {
    FixedTypeSet all;
    for (int type : kFixedTypes)
        all.set(std::size_t(type));
    EXPECT_EQ(matchingFixedTypes(&dbconvertText), all);
    for (int type : kFixedTypes) {
        g_alteredType = type;
        FixedTypeSet expected = all;
        expected.reset(std::size_t(type));
        EXPECT_EQ(matchingFixedTypes(&alteredReference), expected) << "type " << type;
    }
}

// The values as the server sends them: our text of each column against dbconvert's of the same
// bytes (dbdata, dbdatlen), through the grid's and the query's own path.
TEST_F(ValueTextTest, ServerRowsGiveDbconvertsText) {
    test::recreateTables(
        {QStringLiteral("value_text")},
        QStringLiteral(
            "create table value_text (ti tinyint null, si smallint null, i int null, "
            "bi bigint null, b bit not null, m money null, sm smallmoney null, dt datetime null, "
            "sdt smalldatetime null)\n"
            "insert value_text values (0, -32768, -2147483648, -9223372036854775807, 0, "
            "-922337203685477.5807, -214748.3647, '1753-01-01 00:00:00.000', "
            "'1900-01-01 00:00')\n"
            "insert value_text values (255, 32767, 2147483647, 9223372036854775807, 1, "
            "922337203685477.5807, 214748.3647, '9999-12-31 23:59:59.997', "
            "'2079-06-06 23:59')\n"
            "insert value_text values (7, 0, 0, 0, 0, 0, 0, '2026-12-07 12:00:00.003', "
            "'2026-12-07 12:00')\n"
            "insert value_text values (10, -1, -1, -1, 1, -0.0001, -0.01, "
            "'2000-02-29 11:59:59.999', '2000-02-29 00:01')\n"
            "insert value_text values (99, 12, 123456, 1234567890123, 1, -12.3456, 5.5, "
            "'1999-10-09 00:00:00.002', '1999-10-09 12:59')"));
    test::Connection db = test::connectToServer();
    ASSERT_TRUE(db->Connected());
    DBPROCESS* p = db->DbProc().get();
    ASSERT_EQ(dbcmd(p, "select * from value_text"), SUCCEED);
    ASSERT_EQ(dbsqlexec(p), SUCCEED);
    ASSERT_EQ(dbresults(p), SUCCEED);
    std::vector<int> types;
    for (int c = 1; c <= dbnumcols(p); ++c)
        types.push_back(dbcoltype(p, c));
    EXPECT_EQ(types, std::vector<int>(std::begin(kFixedTypes), std::end(kFixedTypes)));
    int rows = 0;
    std::array<char, kConvertedLimit> text{};
    while (dbnextrow(p) == REG_ROW) {
        ++rows;
        for (int c = 1; c <= dbnumcols(p); ++c) {
            const int type = dbcoltype(p, c);
            const BYTE* data = dbdata(p, c);
            const int length = dbdatlen(p, c);
            EXPECT_EQ(difference(type, data, length), "") << "row " << rows << ", column " << c;
            const std::size_t n = writeValueText(p, type, data, length, text.data());
            EXPECT_EQ(std::string(text.data(), n), dbconvertOf(type, data, length))
                << "row " << rows << ", column " << c;
        }
    }
    EXPECT_EQ(rows, 5);
    while (dbresults(p) == SUCCEED) {
    }
}

} // namespace
} // namespace ostrim
