#pragma once
// Sybase data types as simserver stores and sends them.
//
// Storage in SQLite: integers as INTEGER, money and smallmoney as INTEGER ten-thousandths (a
// double cannot hold every money value), float/real/numeric as REAL (numeric with a scale of 0
// as INTEGER), character data as TEXT, binary data as BLOB, datetime values as
// TEXT "YYYY-MM-DD HH:MM:SS.mmm" so that ordering and comparison work on the text.

#include "tds.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

struct SqlType {
    // Codes are Sybase's systypes.type values.
    enum Code : uint8_t {
        Unknown = 0,
        Image = 34,
        Text = 35,
        VarBinary = 37,
        VarChar = 39,
        Binary = 45,
        Char = 47,
        TinyInt = 48,
        Bit = 50,
        SmallInt = 52,
        Int = 56,
        SmallDateTime = 58,
        Real = 59,
        Money = 60,
        DateTime = 61,
        Float = 62,
        Decimal = 106,
        Numeric = 108,
        SmallMoney = 122,
        BigInt = 191,
    };
    // The longest character or binary type the server takes.
    static constexpr int kMaxLength = 16384;
    Code code = Unknown;
    int length = 0; // bytes; character and binary types: declared length
    int precision = 0;
    int scale = 0;
    bool nullable = true;

    bool isCharacter() const { return code == Char || code == VarChar || code == Text; }
    bool isBinary() const { return code == Binary || code == VarBinary || code == Image; }
    bool isInteger() const;
    bool isNumeric() const; // any arithmetic type
    bool isDateTime() const { return code == DateTime || code == SmallDateTime; }
    std::string name() const;  // "varchar(30)", "numeric(10,2)", "int"
    uint16_t userType() const; // systypes.usertype of the base type
    static std::optional<SqlType> fromName(std::string_view name, int arg1 = -1, int arg2 = -1);
    static SqlType of(Code c, int length = 0);
    static SqlType varchar(int length) { return of(VarChar, length); }
};

// A value as SQLite hands it over.
struct Value {
    enum Kind : uint8_t { Null, Integer, Real, Text, Blob };
    Kind kind = Null;
    int64_t i = 0;
    double r = 0;
    std::string s; // Text and Blob

    static Value null() { return {}; }
    static Value integer(int64_t v) {
        Value x;
        x.kind = Integer;
        x.i = v;
        return x;
    }
    static Value real(double v) {
        Value x;
        x.kind = Real;
        x.r = v;
        return x;
    }
    static Value text(std::string v) {
        Value x;
        x.kind = Text;
        x.s = std::move(v);
        return x;
    }
    static Value blob(std::string v) {
        Value x;
        x.kind = Blob;
        x.s = std::move(v);
        return x;
    }
    bool isNull() const { return kind == Null; }
    double asReal() const;
    int64_t asInteger() const;
    std::string asText() const; // SQLite's own text form
};

// Whether a number fits the range of an integer or money type (other types always fit); money
// values are counted in ten-thousandths.
bool fitsType(const SqlType& t, const Value& v);

// Money in ten-thousandths: exact parsing (blanks, sign and '$' allowed, the fifth decimal
// rounds half away from zero) and Sybase's text form.
enum class MoneyParse { Ok, NotNumber, Overflow };
MoneyParse parseMoney(std::string_view text, bool small, int64_t& out);
bool moneyFits(int64_t scaled, bool small);
// decimals: 4 for the full value, 2 as convert to a character type shows it.
std::string formatMoney(int64_t scaled, int decimals);

// Writes the column description of a ROWFMT/PARAMFMT entry after its name and status:
// usertype, wire type and type info.
void putTypeInfo(Bytes& b, const SqlType& t);
// Writes one value in the wire form of the type described by putTypeInfo.
void putValue(Bytes& b, const SqlType& t, const Value& v);

// Reads a parameter value of an RPC in the wire type given; returns its Sybase type too.
struct WireParam {
    SqlType type;
    uint8_t wireType = 0;
    int maxLen = 0;
};
WireParam readTypeInfo(Reader& r);
Value readValue(Reader& r, const WireParam& p);

// Datetime helpers on the stored text form.
struct DateTimeParts {
    int year = 1900, month = 1, day = 1, hour = 0, minute = 0, second = 0, millis = 0;
};
std::optional<DateTimeParts> parseDateTime(std::string_view text);
std::string formatStored(const DateTimeParts& d);
int64_t daysFromCivil(int y, int m, int d);
DateTimeParts civilFromDays(int64_t days);

} // namespace sim
