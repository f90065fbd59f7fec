#include "value.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

// Numeric values of up to 38 digits need 128-bit integers.
__extension__ typedef __int128 Int128;
__extension__ typedef unsigned __int128 UInt128;

// Bytes of a numeric magnitude for each precision, as the client decodes it.
int bytesForPrecision(int p) {
    static const int table[] = {0,  2,  2,  3,  3,  4,  4,  4,  5,  5,  6,  6,  6,
                                7,  7,  8,  8,  9,  9,  9,  10, 10, 11, 11, 11, 12,
                                12, 13, 13, 14, 14, 14, 15, 15, 16, 16, 16, 17, 17};
    return table[std::clamp(p, 1, 38)];
}

std::string lower(std::string_view s) {
    std::string r(s);
    for (auto& c : r)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

// Parses a decimal text into an integer scaled by 10^scale, rounding half up on the first
// dropped digit; false when it is no number.
bool parseScaled(std::string_view s, int scale, Int128& out) {
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    bool neg = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        neg = s[i++] == '-';
    if (i < s.size() && s[i] == '$')
        ++i;
    Int128 v = 0;
    int frac = -1, digits = 0, dropped = -1;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c == '.' && frac < 0) {
            frac = 0;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c)))
            break;
        ++digits;
        if (frac >= 0) {
            if (frac == scale) {
                if (dropped < 0)
                    dropped = c - '0';
                continue;
            }
            ++frac;
        }
        if (v > (Int128(1) << 120))
            return false;
        v = v * 10 + (c - '0');
    }
    if (digits == 0)
        return false;
    for (int f = std::max(frac, 0); f < scale; ++f)
        v *= 10;
    if (dropped >= 5)
        v += 1;
    out = neg ? -v : v;
    return true;
}

Int128 scaledFrom(const Value& v, int scale, bool& ok) {
    ok = true;
    Int128 out = 0;
    switch (v.kind) {
    case Value::Integer: {
        out = v.i;
        for (int k = 0; k < scale; ++k)
            out *= 10;
        return out;
    }
    case Value::Real: {
        // Money and most numerics fit a double's exact range once scaled: skip the text form.
        static const double powers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
        if (scale <= 9 && std::fabs(v.r) < 1e15 / powers[scale])
            return Int128(std::llround(v.r * powers[scale]));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*f", std::min(scale, 30), v.r);
        if (parseScaled(buf, scale, out))
            return out;
        break;
    }
    case Value::Text:
        if (parseScaled(v.s, scale, out))
            return out;
        break;
    default:
        break;
    }
    ok = false;
    return 0;
}

} // namespace

bool moneyFits(int64_t scaled, bool small) {
    return !small || (scaled >= INT32_MIN && scaled <= INT32_MAX);
}

MoneyParse parseMoney(std::string_view text, bool small, int64_t& out) {
    size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string_view::npos)
        return MoneyParse::NotNumber;
    text = text.substr(b, e - b + 1);
    size_t i = 0;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        neg = text[i++] == '-';
    if (i < text.size() && text[i] == '$')
        ++i;
    if (!neg && i < text.size() && (text[i] == '-' || text[i] == '+'))
        neg = text[i++] == '-';
    UInt128 v = 0;
    int frac = -1, digits = 0;
    bool roundUp = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && frac < 0) {
            frac = 0;
            continue;
        }
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return MoneyParse::NotNumber;
        ++digits;
        if (frac == 4) {
            roundUp = c >= '5';
            frac = 5; // only the first dropped digit decides
            continue;
        }
        if (frac == 5)
            continue;
        if (frac >= 0)
            ++frac;
        if (v > (UInt128(1) << 100))
            return MoneyParse::Overflow;
        v = v * 10 + UInt128(c - '0');
    }
    if (digits == 0)
        return MoneyParse::NotNumber;
    for (int f = std::clamp(frac, 0, 4); f < 4; ++f)
        v *= 10;
    if (roundUp)
        v += 1;
    UInt128 limit = neg ? UInt128(1) << 63 : (UInt128(1) << 63) - 1;
    if (v > limit)
        return MoneyParse::Overflow;
    int64_t r = neg ? int64_t(-Int128(v)) : int64_t(v);
    if (!moneyFits(r, small))
        return MoneyParse::Overflow;
    out = r;
    return MoneyParse::Ok;
}

std::string formatMoney(int64_t scaled, int decimals) {
    bool neg = scaled < 0;
    UInt128 mag = neg ? UInt128(-Int128(scaled)) : UInt128(scaled);
    if (decimals < 4) {
        UInt128 unit = 1;
        for (int k = decimals; k < 4; ++k)
            unit *= 10;
        mag = (mag + unit / 2) / unit;
        neg = neg && mag != 0;
    }
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(mag % 10)));
        mag /= 10;
    } while (mag > 0);
    while (int(digits.size()) <= decimals)
        digits.insert(digits.begin(), '0');
    if (decimals > 0)
        digits.insert(digits.end() - decimals, '.');
    return neg ? "-" + digits : digits;
}

bool SqlType::isInteger() const {
    return code == TinyInt || code == SmallInt || code == Int || code == BigInt || code == Bit;
}

bool SqlType::isNumeric() const {
    return isInteger() || code == Real || code == Float || code == Money || code == SmallMoney ||
           code == Numeric || code == Decimal;
}

SqlType SqlType::of(Code c, int length) {
    SqlType t;
    t.code = c;
    switch (c) {
    case TinyInt:
    case Bit:
        t.length = 1;
        break;
    case SmallInt:
        t.length = 2;
        break;
    case Int:
    case Real:
    case SmallMoney:
    case SmallDateTime:
        t.length = 4;
        break;
    case BigInt:
    case Float:
    case Money:
    case DateTime:
        t.length = 8;
        break;
    case Text:
    case Image:
        t.length = 16;
        break;
    case Numeric:
    case Decimal:
        t.precision = length > 0 ? length : 18;
        t.length = bytesForPrecision(t.precision);
        break;
    default:
        t.length = length > 0 ? length : 1;
        break;
    }
    return t;
}

std::optional<SqlType> SqlType::fromName(std::string_view rawName, int arg1, int arg2) {
    std::string n = lower(rawName);
    auto sized = [&](Code c, int def) -> std::optional<SqlType> {
        if (arg1 > kMaxLength)
            return std::nullopt;
        return of(c, arg1 > 0 ? arg1 : def);
    };
    if (n == "int" || n == "integer")
        return of(Int);
    if (n == "smallint")
        return of(SmallInt);
    if (n == "tinyint")
        return of(TinyInt);
    if (n == "bigint")
        return of(BigInt);
    if (n == "bit")
        return of(Bit);
    if (n == "real")
        return of(Real);
    if (n == "float")
        return (arg1 > 0 && arg1 < 16) ? of(Real) : of(Float);
    if (n == "double precision" || n == "double")
        return of(Float);
    if (n == "money")
        return of(Money);
    if (n == "smallmoney")
        return of(SmallMoney);
    if (n == "datetime")
        return of(DateTime);
    if (n == "smalldatetime")
        return of(SmallDateTime);
    if (n == "char" || n == "character" || n == "nchar" || n == "unichar")
        return sized(Char, 1);
    if (n == "varchar" || n == "nvarchar" || n == "univarchar" || n == "char varying" ||
        n == "character varying")
        return sized(VarChar, 1);
    if (n == "sysname") {
        SqlType t = of(VarChar, 30);
        t.nullable = false;
        return t;
    }
    if (n == "text" || n == "unitext")
        return of(Text);
    if (n == "image")
        return of(Image);
    if (n == "binary")
        return sized(Binary, 1);
    if (n == "varbinary")
        return sized(VarBinary, 1);
    if (n == "timestamp")
        return of(VarBinary, 8);
    if (n == "numeric" || n == "decimal" || n == "dec") {
        SqlType t = of(n == "numeric" ? Numeric : Decimal, arg1 > 0 ? std::min(arg1, 38) : 18);
        t.scale = std::clamp(arg2 > 0 ? arg2 : 0, 0, t.precision);
        return t;
    }
    return std::nullopt;
}

std::string SqlType::name() const {
    char buf[64];
    switch (code) {
    case Char:
        std::snprintf(buf, sizeof buf, "char(%d)", length);
        return buf;
    case VarChar:
        std::snprintf(buf, sizeof buf, "varchar(%d)", length);
        return buf;
    case Binary:
        std::snprintf(buf, sizeof buf, "binary(%d)", length);
        return buf;
    case VarBinary:
        std::snprintf(buf, sizeof buf, "varbinary(%d)", length);
        return buf;
    case Numeric:
    case Decimal:
        std::snprintf(buf, sizeof buf, "%s(%d,%d)", code == Numeric ? "numeric" : "decimal",
                      precision, scale);
        return buf;
    case TinyInt:
        return "tinyint";
    case SmallInt:
        return "smallint";
    case Int:
        return "int";
    case BigInt:
        return "bigint";
    case Bit:
        return "bit";
    case Real:
        return "real";
    case Float:
        return "float";
    case Money:
        return "money";
    case SmallMoney:
        return "smallmoney";
    case DateTime:
        return "datetime";
    case SmallDateTime:
        return "smalldatetime";
    case Text:
        return "text";
    case Image:
        return "image";
    case Unknown:
        break;
    }
    return "varchar(255)";
}

uint16_t SqlType::userType() const {
    switch (code) {
    case Char:
        return 1;
    case VarChar:
        return 2;
    case Binary:
        return 3;
    case VarBinary:
        return 4;
    case TinyInt:
        return 5;
    case SmallInt:
        return 6;
    case Int:
        return 7;
    case Float:
        return 8;
    case Numeric:
        return 10;
    case Money:
        return 11;
    case DateTime:
        return 12;
    case Bit:
        return 16;
    case Text:
        return 19;
    case Image:
        return 20;
    case SmallMoney:
        return 21;
    case SmallDateTime:
        return 22;
    case Real:
        return 23;
    case Decimal:
        return 26;
    case BigInt:
        return 43;
    case Unknown:
        break;
    }
    return 2;
}

double Value::asReal() const {
    switch (kind) {
    case Integer:
        return double(i);
    case Real:
        return r;
    case Text:
    case Blob:
        return std::strtod(s.c_str(), nullptr);
    default:
        return 0;
    }
}

int64_t Value::asInteger() const {
    switch (kind) {
    case Integer:
        return i;
    case Real:
        return int64_t(r);
    case Text:
    case Blob:
        return std::strtoll(s.c_str(), nullptr, 10);
    default:
        return 0;
    }
}

std::string Value::asText() const {
    char buf[64];
    switch (kind) {
    case Integer:
        return std::to_string(i);
    case Real:
        std::snprintf(buf, sizeof buf, "%.15g", r);
        return buf;
    case Text:
    case Blob:
        return s;
    default:
        return {};
    }
}

int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468; // days since 1970-01-01
}

DateTimeParts civilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    DateTimeParts p;
    p.day = int(doy - (153 * mp + 2) / 5 + 1);
    p.month = int(mp < 10 ? mp + 3 : mp - 9);
    p.year = int(yoe + era * 400 + (p.month <= 2));
    return p;
}

std::optional<DateTimeParts> parseDateTime(std::string_view s) {
    // Stored form "YYYY-MM-DD[ HH:MM[:SS[.mmm]]]"; other input forms are the translator's job.
    DateTimeParts d;
    // Fast path for the exact stored form, which every row of a datetime column has.
    auto digit = [&](size_t i) {
        return unsigned(s[i] - '0') <= 9;
    };
    if (s.size() == 23 && s[4] == '-' && s[7] == '-' && s[10] == ' ' && s[13] == ':' &&
        s[16] == ':' && s[19] == '.') {
        static const int positions[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18, 20, 21, 22};
        if (std::all_of(std::begin(positions), std::end(positions), digit)) {
            auto n = [&](size_t i, size_t len) {
                int v = 0;
                for (size_t k = i; k < i + len; ++k)
                    v = v * 10 + (s[k] - '0');
                return v;
            };
            d = {n(0, 4), n(5, 2), n(8, 2), n(11, 2), n(14, 2), n(17, 2), n(20, 3)};
            if (d.month >= 1 && d.month <= 12 && d.day >= 1 && d.day <= 31 && d.hour <= 23 &&
                d.minute <= 59 && d.second <= 59)
                return d;
            return std::nullopt;
        }
    }
    auto num = [&](size_t& i, int maxDigits, int& out) {
        int n = 0, v = 0;
        while (i < s.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i] - '0');
            ++i;
            ++n;
        }
        out = v;
        return n > 0;
    };
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (!num(i, 4, d.year) || i >= s.size() || s[i++] != '-' || !num(i, 2, d.month) ||
        i >= s.size() || s[i++] != '-' || !num(i, 2, d.day))
        return std::nullopt;
    if (i < s.size() && (s[i] == ' ' || s[i] == 'T')) {
        ++i;
        if (!num(i, 2, d.hour) || i >= s.size() || s[i++] != ':' || !num(i, 2, d.minute))
            return std::nullopt;
        if (i < s.size() && s[i] == ':') {
            ++i;
            if (!num(i, 2, d.second))
                return std::nullopt;
            if (i < s.size() && (s[i] == '.' || s[i] == ':')) {
                ++i;
                size_t start = i;
                int ms = 0;
                num(i, 3, ms);
                for (size_t k = i - start; k < 3; ++k)
                    ms *= 10;
                d.millis = ms;
                while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])))
                    ++i;
            }
        }
    }
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > 31 || d.hour > 23 || d.minute > 59 ||
        d.second > 59)
        return std::nullopt;
    return d;
}

std::string formatStored(const DateTimeParts& d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second, d.millis);
    return buf;
}

bool fitsType(const SqlType& t, const Value& v) {
    if (v.kind != Value::Integer && v.kind != Value::Real)
        return true;
    double lo, hi;
    switch (t.code) {
    case SqlType::TinyInt:
        lo = 0, hi = 255;
        break;
    case SqlType::SmallInt:
        lo = -32768, hi = 32767;
        break;
    case SqlType::Int:
        lo = -2147483648.0, hi = 2147483647.0;
        break;
    case SqlType::SmallMoney:
    case SqlType::Money:
        if (v.kind == Value::Integer)
            return moneyFits(v.i, t.code == SqlType::SmallMoney);
        lo = t.code == SqlType::Money ? -9223372036854775808.0 : double(INT32_MIN);
        hi = t.code == SqlType::Money ? 9223372036854775807.0 : double(INT32_MAX);
        break;
    case SqlType::BigInt:
        if (v.kind == Value::Integer)
            return true;
        lo = -9223372036854775808.0, hi = 9223372036854775807.0;
        break;
    default:
        return true;
    }
    if (v.kind == Value::Integer)
        return double(v.i) >= lo && double(v.i) <= hi;
    return v.r >= lo && v.r <= hi;
}

void putTypeInfo(Bytes& b, const SqlType& t) {
    b.u32(t.userType());
    switch (t.code) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt:
        b.u8(0x26);
        b.u8(uint8_t(t.length));
        return;
    case SqlType::Bit:
        b.u8(0x32);
        return;
    case SqlType::Real:
    case SqlType::Float:
        b.u8(0x6D);
        b.u8(uint8_t(t.length));
        return;
    case SqlType::Money:
    case SqlType::SmallMoney:
        b.u8(0x6E);
        b.u8(uint8_t(t.length));
        return;
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
        b.u8(0x6F);
        b.u8(uint8_t(t.length));
        return;
    case SqlType::Numeric:
    case SqlType::Decimal:
        b.u8(t.code == SqlType::Numeric ? 0x6C : 0x6A);
        b.u8(uint8_t(bytesForPrecision(t.precision)));
        b.u8(uint8_t(t.precision));
        b.u8(uint8_t(t.scale));
        return;
    case SqlType::Text:
    case SqlType::Image:
        b.u8(t.code == SqlType::Text ? 0x23 : 0x22);
        b.u32(0x7FFFFFFF);
        b.usvarchar("");
        return;
    case SqlType::Char:
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::VarChar:
    case SqlType::Unknown: {
        bool binary = t.isBinary();
        int len = t.code == SqlType::Unknown ? 255 : std::max(t.length, 1);
        if (len > 255) {
            b.u8(binary ? 0xE1 : 0xAF);
            b.u32(uint32_t(len));
            return;
        }
        uint8_t wire = t.code == SqlType::Char     ? 0x2F
                       : t.code == SqlType::Binary ? 0x2D
                       : binary                    ? 0x25
                                                   : 0x27;
        b.u8(wire);
        b.u8(uint8_t(len));
        return;
    }
    }
}

namespace {

void putSized(Bytes& b, bool longForm, std::string_view data) {
    if (longForm)
        b.u32(uint32_t(data.size()));
    else
        b.u8(uint8_t(data.size()));
    b.raw(data);
}

} // namespace

void putValue(Bytes& b, const SqlType& t, const Value& v) {
    switch (t.code) {
    case SqlType::TinyInt:
    case SqlType::SmallInt:
    case SqlType::Int:
    case SqlType::BigInt: {
        if (v.isNull()) {
            b.u8(0);
            return;
        }
        int64_t x = v.kind == Value::Real ? int64_t(std::llround(v.r)) : v.asInteger();
        b.u8(uint8_t(t.length));
        if (t.length == 1)
            b.u8(uint8_t(x));
        else if (t.length == 2)
            b.u16(uint16_t(x));
        else if (t.length == 4)
            b.u32(uint32_t(x));
        else
            b.u64(uint64_t(x));
        return;
    }
    case SqlType::Bit:
        b.u8(v.isNull() ? 0 : (v.asReal() != 0 ? 1 : 0));
        return;
    case SqlType::Real:
    case SqlType::Float: {
        if (v.isNull()) {
            b.u8(0);
            return;
        }
        b.u8(uint8_t(t.length));
        if (t.length == 4) {
            float f = float(v.asReal());
            uint32_t u;
            std::memcpy(&u, &f, 4);
            b.u32(u);
        } else {
            double d = v.asReal();
            uint64_t u;
            std::memcpy(&u, &d, 8);
            b.u64(u);
        }
        return;
    }
    case SqlType::Money:
    case SqlType::SmallMoney: {
        int64_t x = 0;
        bool ok = true;
        if (v.kind == Value::Integer)
            x = v.i;
        else if (v.kind == Value::Real)
            x = int64_t(std::llround(v.r));
        else
            ok = !v.isNull() && parseMoney(v.s, t.length == 4, x) == MoneyParse::Ok;
        if (!ok) {
            b.u8(0);
            return;
        }
        b.u8(uint8_t(t.length));
        if (t.length == 4) {
            b.u32(uint32_t(int32_t(x)));
        } else {
            b.u32(uint32_t(uint64_t(x) >> 32));
            b.u32(uint32_t(uint64_t(x)));
        }
        return;
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime: {
        auto d = v.kind == Value::Text ? parseDateTime(v.s) : std::nullopt;
        if (!d) {
            b.u8(0);
            return;
        }
        int64_t days = daysFromCivil(d->year, d->month, d->day) - daysFromCivil(1900, 1, 1);
        b.u8(uint8_t(t.length));
        if (t.length == 4) {
            int minutes = d->hour * 60 + d->minute + (d->second >= 30 ? 1 : 0);
            if (minutes == 24 * 60) {
                minutes = 0;
                ++days;
            }
            b.u16(uint16_t(days));
            b.u16(uint16_t(minutes));
        } else {
            int64_t ticks = (int64_t(d->hour) * 3600 + d->minute * 60 + d->second) * 300 +
                            (d->millis * 3 + 5) / 10;
            b.u32(uint32_t(int32_t(days)));
            b.u32(uint32_t(ticks));
        }
        return;
    }
    case SqlType::Numeric:
    case SqlType::Decimal: {
        bool ok = false;
        Int128 scaled = v.isNull() ? 0 : scaledFrom(v, t.scale, ok);
        if (!ok) {
            b.u8(0);
            return;
        }
        int n = bytesForPrecision(t.precision);
        b.u8(uint8_t(n));
        b.u8(scaled < 0 ? 1 : 0);
        UInt128 mag = scaled < 0 ? -(UInt128)scaled : scaled;
        for (int k = n - 2; k >= 0; --k)
            b.u8(uint8_t(mag >> (8 * k)));
        return;
    }
    case SqlType::Text:
    case SqlType::Image: {
        if (v.isNull()) {
            b.u8(0);
            return;
        }
        std::string data = v.asText();
        b.u8(16);
        for (int k = 0; k < 16; ++k)
            b.u8(uint8_t(k + 1)); // any non-empty text pointer will do
        b.u64(0);
        b.u32(uint32_t(data.size()));
        b.raw(data);
        return;
    }
    case SqlType::Char:
    case SqlType::VarChar:
    case SqlType::Binary:
    case SqlType::VarBinary:
    case SqlType::Unknown: {
        if (v.isNull()) {
            // Long character and binary values carry a four-byte length, NULL included.
            if (t.code != SqlType::Unknown && t.length > 255)
                b.u32(0);
            else
                b.u8(0);
            return;
        }
        size_t len = t.code == SqlType::Unknown ? 255 : size_t(std::max(t.length, 1));
        std::string converted;
        if (v.kind != Value::Text && v.kind != Value::Blob)
            converted = v.asText();
        std::string_view data = converted.empty() ? std::string_view(v.s) : converted;
        data = data.substr(0, len);
        // Fixed-length columns that take no NULL are padded, as Sybase stores them; and zero
        // length means NULL on the wire, so an empty value goes out as one blank.
        bool fixed = !t.nullable && (t.code == SqlType::Char || t.code == SqlType::Binary);
        size_t want = fixed ? len : std::max<size_t>(data.size(), 1);
        if (data.size() < want) {
            std::string padded(data);
            padded.append(want - data.size(), t.isBinary() ? '\0' : ' ');
            converted = std::move(padded);
            data = converted;
        }
        bool longForm = len > 255;
        putSized(b, longForm, data);
        return;
    }
    }
}

WireParam readTypeInfo(Reader& r) {
    WireParam p;
    p.wireType = r.u8();
    auto fixed = [&](SqlType::Code c) {
        p.type = SqlType::of(c);
    };
    switch (p.wireType) {
    case 0x30:
        fixed(SqlType::TinyInt);
        break;
    case 0x34:
        fixed(SqlType::SmallInt);
        break;
    case 0x38:
        fixed(SqlType::Int);
        break;
    case 0xBF:
        fixed(SqlType::BigInt);
        break;
    case 0x32:
        fixed(SqlType::Bit);
        break;
    case 0x3B:
        fixed(SqlType::Real);
        break;
    case 0x3E:
        fixed(SqlType::Float);
        break;
    case 0x3C:
        fixed(SqlType::Money);
        break;
    case 0x7A:
        fixed(SqlType::SmallMoney);
        break;
    case 0x3D:
        fixed(SqlType::DateTime);
        break;
    case 0x3A:
        fixed(SqlType::SmallDateTime);
        break;
    case 0x26: {
        p.maxLen = r.u8();
        fixed(p.maxLen == 1   ? SqlType::TinyInt
              : p.maxLen == 2 ? SqlType::SmallInt
              : p.maxLen == 8 ? SqlType::BigInt
                              : SqlType::Int);
        break;
    }
    case 0x6D:
        p.maxLen = r.u8();
        fixed(p.maxLen == 4 ? SqlType::Real : SqlType::Float);
        break;
    case 0x6E:
        p.maxLen = r.u8();
        fixed(p.maxLen == 4 ? SqlType::SmallMoney : SqlType::Money);
        break;
    case 0x6F:
        p.maxLen = r.u8();
        fixed(p.maxLen == 4 ? SqlType::SmallDateTime : SqlType::DateTime);
        break;
    case 0x68: // BITN: FreeTDS sends a bit output parameter so, to carry a NULL
        p.maxLen = r.u8();
        fixed(SqlType::Bit);
        break;
    case 0x6C:
    case 0x6A: {
        p.maxLen = r.u8();
        int prec = r.u8(), scale = r.u8();
        if (prec < 1 || prec > 38 || scale > prec)
            throw ConnectionClosed("bad numeric parameter");
        p.type = SqlType::of(p.wireType == 0x6C ? SqlType::Numeric : SqlType::Decimal, prec);
        p.type.scale = scale;
        break;
    }
    case 0x2F:
    case 0x27:
    case 0x2D:
    case 0x25:
        p.maxLen = r.u8();
        p.type = SqlType::of(p.wireType == 0x2F   ? SqlType::Char
                             : p.wireType == 0x27 ? SqlType::VarChar
                             : p.wireType == 0x2D ? SqlType::Binary
                                                  : SqlType::VarBinary,
                             std::max(p.maxLen, 1));
        break;
    case 0xAF:
    case 0xE1:
        p.maxLen = int(std::min<uint32_t>(r.u32(), 1 << 30));
        p.type = SqlType::of(p.wireType == 0xAF ? SqlType::VarChar : SqlType::VarBinary,
                             std::max(p.maxLen, 1));
        break;
    case 0x23:
    case 0x22:
        r.u32();
        r.skip(r.u16());
        p.type = SqlType::of(p.wireType == 0x23 ? SqlType::Text : SqlType::Image);
        break;
    default:
        throw ConnectionClosed("unsupported parameter type");
    }
    return p;
}

Value readValue(Reader& r, const WireParam& p) {
    auto readInt = [&](int n) -> int64_t {
        switch (n) {
        case 1:
            return r.u8();
        case 2:
            return int16_t(r.u16());
        case 4:
            return int32_t(r.u32());
        case 8:
            return int64_t(r.u64());
        default:
            throw ConnectionClosed("bad integer length");
        }
    };
    auto readFloat = [&](int n) -> double {
        if (n == 4) {
            uint32_t u = r.u32();
            float f;
            std::memcpy(&f, &u, 4);
            return f;
        }
        if (n != 8)
            throw ConnectionClosed("bad float length");
        uint64_t u = r.u64();
        double d;
        std::memcpy(&d, &u, 8);
        return d;
    };
    auto readMoney = [&](int n) -> Value {
        int64_t scaled;
        if (n == 4) {
            scaled = int32_t(r.u32());
        } else if (n == 8) {
            uint64_t hi = r.u32();
            uint64_t lo = r.u32();
            scaled = int64_t((hi << 32) | lo);
        } else {
            throw ConnectionClosed("bad money length");
        }
        return Value::integer(scaled);
    };
    auto readDate = [&](int n) -> Value {
        DateTimeParts d;
        int64_t base = daysFromCivil(1900, 1, 1);
        if (n == 4) {
            int days = r.u16(), minutes = r.u16();
            d = civilFromDays(base + days);
            d.hour = (minutes / 60) % 24;
            d.minute = minutes % 60;
        } else if (n == 8) {
            int32_t days = int32_t(r.u32());
            uint32_t ticks = r.u32();
            d = civilFromDays(base + days);
            uint64_t ms = (uint64_t(ticks) * 10 + 1) / 3;
            d.hour = int(ms / 3600000 % 24);
            d.minute = int(ms / 60000 % 60);
            d.second = int(ms / 1000 % 60);
            d.millis = int(ms % 1000);
        } else {
            throw ConnectionClosed("bad datetime length");
        }
        return Value::text(formatStored(d));
    };
    switch (p.wireType) {
    case 0x30:
        return Value::integer(readInt(1));
    case 0x34:
        return Value::integer(readInt(2));
    case 0x38:
        return Value::integer(readInt(4));
    case 0xBF:
        return Value::integer(readInt(8));
    case 0x32:
        return Value::integer(r.u8() ? 1 : 0);
    case 0x3B:
        return Value::real(readFloat(4));
    case 0x3E:
        return Value::real(readFloat(8));
    case 0x3C:
        return readMoney(8);
    case 0x7A:
        return readMoney(4);
    case 0x3D:
        return readDate(8);
    case 0x3A:
        return readDate(4);
    case 0x26:
    case 0x6D:
    case 0x6E:
    case 0x6F: {
        int n = r.u8();
        if (n == 0)
            return Value::null();
        if (p.wireType == 0x26)
            return Value::integer(readInt(n));
        if (p.wireType == 0x6D)
            return Value::real(readFloat(n));
        if (p.wireType == 0x6E)
            return readMoney(n);
        return readDate(n);
    }
    case 0x68: {
        int n = r.u8();
        if (n == 0)
            return Value::null();
        bool set = r.u8() != 0;
        r.skip(size_t(n - 1));
        return Value::integer(set ? 1 : 0);
    }
    case 0x6C:
    case 0x6A: {
        int n = r.u8();
        if (n == 0)
            return Value::null();
        bool neg = r.u8() != 0;
        UInt128 mag = 0;
        for (int k = 1; k < n; ++k)
            mag = (mag << 8) | r.u8();
        // Render as exact decimal text, then let SQLite's affinity take it.
        std::string digits;
        do {
            digits.insert(digits.begin(), char('0' + int(mag % 10)));
            mag /= 10;
        } while (mag > 0);
        int scale = p.type.scale;
        while (int(digits.size()) <= scale)
            digits.insert(digits.begin(), '0');
        if (scale > 0)
            digits.insert(digits.end() - scale, '.');
        if (neg)
            digits.insert(digits.begin(), '-');
        if (scale == 0)
            return Value::integer(std::strtoll(digits.c_str(), nullptr, 10));
        return Value::real(std::strtod(digits.c_str(), nullptr));
    }
    case 0x2F:
    case 0x27:
    case 0x2D:
    case 0x25: {
        int n = r.u8();
        if (n == 0)
            return Value::null();
        std::string s = r.str(size_t(n));
        return p.type.isBinary() ? Value::blob(std::move(s)) : Value::text(std::move(s));
    }
    case 0xAF:
    case 0xE1: {
        uint32_t n = r.u32();
        if (n == 0)
            return Value::null();
        std::string s = r.str(n);
        return p.wireType == 0xE1 ? Value::blob(std::move(s)) : Value::text(std::move(s));
    }
    case 0x23:
    case 0x22: {
        int ptrLen = r.u8();
        if (ptrLen == 0)
            return Value::null();
        r.skip(size_t(ptrLen) + 8);
        uint32_t n = r.u32();
        std::string s = r.str(n);
        return p.wireType == 0x22 ? Value::blob(std::move(s)) : Value::text(std::move(s));
    }
    default:
        throw ConnectionClosed("unsupported parameter type");
    }
}

} // namespace sim
