#include "functions.h"

#include "catalog.h"
#include "value.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <new>
#include <random>

namespace sim {

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthNames[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
const char* const kDayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

using Callback = void (*)(sqlite3_context*, int, sqlite3_value**);

// What each registered function carries: the session it serves and its body.
struct Binding {
    FunctionHost* host;
    Callback body;
};

FunctionHost* host(sqlite3_context* c) {
    return static_cast<Binding*>(sqlite3_user_data(c))->host;
}

// No C++ exception may unwind through SQLite's C frames: it becomes the statement's error.
void callSafely(sqlite3_context* c, int argc, sqlite3_value** argv) {
    try {
        static_cast<Binding*>(sqlite3_user_data(c))->body(c, argc, argv);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(c);
    } catch (const std::exception& e) {
        sqlite3_result_error(c, e.what(), -1);
    }
}

void error(sqlite3_context* c, int number, int severity, const std::string& text) {
    std::string m = sybErrorText(number, severity, text);
    sqlite3_result_error(c, m.c_str(), int(m.size()));
}

std::string text(sqlite3_value* v) {
    auto* p = sqlite3_value_text(v);
    return p ? std::string(reinterpret_cast<const char*>(p), size_t(sqlite3_value_bytes(v)))
             : std::string();
}

bool isNull(sqlite3_value* v) {
    return sqlite3_value_type(v) == SQLITE_NULL;
}

void resultText(sqlite3_context* c, const std::string& s) {
    sqlite3_result_text(c, s.data(), int(s.size()), SQLITE_TRANSIENT);
}

// Numeric view of a value: text that looks like a number counts as one.
bool numberOf(sqlite3_value* v, bool& isInt, int64_t& i, double& d) {
    switch (sqlite3_value_numeric_type(v)) {
    case SQLITE_INTEGER:
        isInt = true;
        i = sqlite3_value_int64(v);
        return true;
    case SQLITE_FLOAT:
        isInt = false;
        d = sqlite3_value_double(v);
        return true;
    default:
        return false;
    }
}

void sybConcat(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0]) && isNull(a[1])) {
        sqlite3_result_null(c);
        return;
    }
    resultText(c, text(a[0]) + text(a[1]));
}

void sybPlus(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0]) || isNull(a[1])) {
        bool textual =
            sqlite3_value_type(a[0]) == SQLITE_TEXT || sqlite3_value_type(a[1]) == SQLITE_TEXT;
        if (textual)
            sybConcat(c, 2, a);
        else
            sqlite3_result_null(c);
        return;
    }
    bool bothText =
        sqlite3_value_type(a[0]) == SQLITE_TEXT && sqlite3_value_type(a[1]) == SQLITE_TEXT;
    bool ai, bi;
    int64_t x, y;
    double dx, dy;
    if (!bothText && numberOf(a[0], ai, x, dx) && numberOf(a[1], bi, y, dy)) {
        if (ai && bi) {
            int64_t r;
            if (!__builtin_add_overflow(x, y, &r)) {
                sqlite3_result_int64(c, r);
                return;
            }
        }
        sqlite3_result_double(c, (ai ? double(x) : dx) + (bi ? double(y) : dy));
        return;
    }
    sybConcat(c, 2, a);
}

void sybDivMod(sqlite3_context* c, sqlite3_value** a, bool mod) {
    if (isNull(a[0]) || isNull(a[1])) {
        sqlite3_result_null(c);
        return;
    }
    bool ai = false, bi = false;
    int64_t x = 0, y = 0;
    double dx = 0, dy = 0;
    if (!numberOf(a[0], ai, x, dx) || !numberOf(a[1], bi, y, dy)) {
        error(c, 257, 16,
              "Implicit conversion from datatype 'VARCHAR' to 'INT' is not allowed.  "
              "Use the CONVERT function to run this query.");
        return;
    }
    if ((bi && y == 0) || (!bi && dy == 0)) {
        if (host(c)->arithIgnore()) {
            sqlite3_result_null(c);
            return;
        }
        error(c, 3607, 16, "Divide by zero occurred.");
        return;
    }
    if (ai && bi) {
        if (y == -1 && x == INT64_MIN) {
            sqlite3_result_double(c, mod ? 0.0 : -double(x));
            return;
        }
        sqlite3_result_int64(c, mod ? x % y : x / y);
        return;
    }
    double fx = ai ? double(x) : dx, fy = bi ? double(y) : dy;
    sqlite3_result_double(c, mod ? std::fmod(fx, fy) : fx / fy);
}

void sybDiv(sqlite3_context* c, int, sqlite3_value** a) {
    sybDivMod(c, a, false);
}
void sybMod(sqlite3_context* c, int, sqlite3_value** a) {
    sybDivMod(c, a, true);
}

std::optional<DateTimeParts> partsOf(sqlite3_value* v) {
    if (isNull(v))
        return std::nullopt;
    return parseDateTime(text(v));
}

int64_t dayNumber(const DateTimeParts& d) {
    return daysFromCivil(d.year, d.month, d.day);
}

int64_t millisOf(const DateTimeParts& d) {
    return dayNumber(d) * 86400000LL + ((d.hour * 60LL + d.minute) * 60 + d.second) * 1000 +
           d.millis;
}

DateTimeParts fromMillis(int64_t ms) {
    int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
    int64_t rest = ms - days * 86400000;
    DateTimeParts d = civilFromDays(days);
    d.hour = int(rest / 3600000);
    d.minute = int(rest / 60000 % 60);
    d.second = int(rest / 1000 % 60);
    d.millis = int(rest % 1000);
    return d;
}

// Canonical names of the date parts and their abbreviations.
std::string datePartName(const std::string& p) {
    static const std::pair<const char*, const char*> names[] = {
        {"yy", "year"},       {"yyyy", "year"},       {"year", "year"},
        {"qq", "quarter"},    {"q", "quarter"},       {"quarter", "quarter"},
        {"mm", "month"},      {"m", "month"},         {"month", "month"},
        {"wk", "week"},       {"ww", "week"},         {"week", "week"},
        {"dd", "day"},        {"d", "day"},           {"day", "day"},
        {"dy", "dayofyear"},  {"y", "dayofyear"},     {"dayofyear", "dayofyear"},
        {"dw", "weekday"},    {"weekday", "weekday"}, {"hh", "hour"},
        {"hour", "hour"},     {"mi", "minute"},       {"n", "minute"},
        {"minute", "minute"}, {"ss", "second"},       {"s", "second"},
        {"second", "second"}, {"ms", "millisecond"},  {"millisecond", "millisecond"}};
    for (auto& [abbr, name] : names)
        if (p == abbr)
            return name;
    return {};
}

int daysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

void sybDateAdd(sqlite3_context* c, int, sqlite3_value** a) {
    std::string part = datePartName(text(a[0]));
    auto d = partsOf(a[2]);
    if (part.empty()) {
        error(c, 155, 15, "'" + text(a[0]) + "' is not a recognized datepart option.");
        return;
    }
    if (!d || isNull(a[1])) {
        sqlite3_result_null(c);
        return;
    }
    int64_t n = sqlite3_value_int64(a[1]);
    if (part == "year" || part == "quarter" || part == "month") {
        int64_t months = part == "year" ? n * 12 : part == "quarter" ? n * 3 : n;
        int64_t total = d->year * 12LL + (d->month - 1) + months;
        d->year = int(total / 12);
        d->month = int(total % 12) + 1;
        d->day = std::min(d->day, daysInMonth(d->year, d->month));
        resultText(c, formatStored(*d));
        return;
    }
    int64_t unit = part == "week"          ? 7 * 86400000LL
                   : part == "hour"        ? 3600000LL
                   : part == "minute"      ? 60000LL
                   : part == "second"      ? 1000LL
                   : part == "millisecond" ? 1LL
                                           : 86400000LL;
    resultText(c, formatStored(fromMillis(millisOf(*d) + n * unit)));
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

void sybDateDiff(sqlite3_context* c, int, sqlite3_value** a) {
    std::string part = datePartName(text(a[0]));
    auto x = partsOf(a[1]), y = partsOf(a[2]);
    if (part.empty()) {
        error(c, 155, 15, "'" + text(a[0]) + "' is not a recognized datepart option.");
        return;
    }
    if (!x || !y) {
        sqlite3_result_null(c);
        return;
    }
    int64_t r;
    if (part == "year")
        r = y->year - x->year;
    else if (part == "quarter")
        r = (y->year * 4LL + (y->month - 1) / 3) - (x->year * 4LL + (x->month - 1) / 3);
    else if (part == "month")
        r = (y->year * 12LL + y->month) - (x->year * 12LL + x->month);
    else if (part == "week") // weeks start on Sunday; 1970-01-04 was one
        r = floorDiv(dayNumber(*y) - 3, 7) - floorDiv(dayNumber(*x) - 3, 7);
    else if (part == "hour")
        r = floorDiv(millisOf(*y), 3600000) - floorDiv(millisOf(*x), 3600000);
    else if (part == "minute")
        r = floorDiv(millisOf(*y), 60000) - floorDiv(millisOf(*x), 60000);
    else if (part == "second")
        r = floorDiv(millisOf(*y), 1000) - floorDiv(millisOf(*x), 1000);
    else if (part == "millisecond")
        r = millisOf(*y) - millisOf(*x);
    else
        r = dayNumber(*y) - dayNumber(*x);
    sqlite3_result_int64(c, r);
}

int weekday(const DateTimeParts& d) {   // Sunday = 1
    int64_t w = (dayNumber(d) + 4) % 7; // 1970-01-01 was a Thursday
    return int(w < 0 ? w + 7 : w) + 1;
}

int64_t datePart(const std::string& part, const DateTimeParts& d) {
    if (part == "year")
        return d.year;
    if (part == "quarter")
        return (d.month - 1) / 3 + 1;
    if (part == "month")
        return d.month;
    if (part == "dayofyear")
        return dayNumber(d) - daysFromCivil(d.year, 1, 1) + 1;
    if (part == "week") {
        int64_t jan1 = daysFromCivil(d.year, 1, 1);
        return floorDiv(dayNumber(d) - 3, 7) - floorDiv(jan1 - 3, 7) + 1;
    }
    if (part == "weekday")
        return weekday(d);
    if (part == "hour")
        return d.hour;
    if (part == "minute")
        return d.minute;
    if (part == "second")
        return d.second;
    if (part == "millisecond")
        return d.millis;
    return d.day;
}

// The part and date of datepart()/datename(); false when the result is already set.
bool datePartArguments(sqlite3_context* c, sqlite3_value** a, std::string& part,
                       std::optional<DateTimeParts>& d) {
    part = datePartName(text(a[0]));
    d = partsOf(a[1]);
    if (part.empty()) {
        error(c, 155, 15, "'" + text(a[0]) + "' is not a recognized datepart option.");
        return false;
    }
    if (!d) {
        sqlite3_result_null(c);
        return false;
    }
    return true;
}

void sybDatePart(sqlite3_context* c, int, sqlite3_value** a) {
    std::string part;
    std::optional<DateTimeParts> d;
    if (datePartArguments(c, a, part, d))
        sqlite3_result_int64(c, datePart(part, *d));
}

void sybDateName(sqlite3_context* c, int, sqlite3_value** a) {
    std::string part;
    std::optional<DateTimeParts> d;
    if (!datePartArguments(c, a, part, d))
        return;
    if (part == "month")
        resultText(c, kMonthNames[d->month - 1]);
    else if (part == "weekday")
        resultText(c, kDayNames[weekday(*d) - 1]);
    else
        resultText(c, std::to_string(datePart(part, *d)));
}

void sybGetDate(sqlite3_context* c, int, sqlite3_value**) {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    int ms = int(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    DateTimeParts d{tm.tm_year + 1900, tm.tm_mon + 1,         tm.tm_mday, tm.tm_hour, tm.tm_min,
                    tm.tm_sec,         (ms * 3 / 10) * 10 / 3};
    resultText(c, formatStored(d));
}

void sybToDateTime(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    std::string s = toStoredDateTime(text(a[0]));
    if (s.empty()) {
        error(c, 249, 16,
              "Syntax error during implicit conversion of VARCHAR value '" + text(a[0]) +
                  "' to a DATETIME field.");
        return;
    }
    resultText(c, s);
}

__extension__ typedef __int128 Int128;

void overflow(sqlite3_context* c) {
    error(c, 3606, 16, "Arithmetic overflow occurred.");
}

// A number in ten-thousandths, as money holds it; false when it is none or out of range.
MoneyParse moneyFrom(sqlite3_value* v, bool small, int64_t& out) {
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
        Int128 x = Int128(sqlite3_value_int64(v)) * 10000;
        if (x < INT64_MIN || x > INT64_MAX || !moneyFits(int64_t(x), small))
            return MoneyParse::Overflow;
        out = int64_t(x);
        return MoneyParse::Ok;
    }
    case SQLITE_FLOAT: {
        double d = std::round(sqlite3_value_double(v) * 10000.0);
        if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0) ||
            !moneyFits(int64_t(d), small))
            return MoneyParse::Overflow;
        out = int64_t(d);
        return MoneyParse::Ok;
    }
    case SQLITE_TEXT:
        return parseMoney(text(v), small, out);
    default:
        return MoneyParse::NotNumber;
    }
}

// syb_money(x): a value of another type brought to money's ten-thousandths.
void sybMoney(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    int64_t x = 0;
    switch (moneyFrom(a[0], false, x)) {
    case MoneyParse::Ok:
        sqlite3_result_int64(c, x);
        return;
    case MoneyParse::Overflow:
        overflow(c);
        return;
    case MoneyParse::NotNumber:
        error(c, 257, 16,
              "Implicit conversion from datatype 'VARCHAR' to 'MONEY' is not allowed.  "
              "Use the CONVERT function to run this query.");
        return;
    }
}

// Rounds half away from zero, as Sybase rounds money results.
Int128 divideRounded(Int128 n, Int128 d) {
    Int128 q = n / d, r = n % d;
    if (r < 0)
        r = -r;
    if (2 * r >= (d < 0 ? -d : d))
        q += ((n < 0) != (d < 0)) ? -1 : 1;
    return q;
}

// syb_money_op(op, a, b, small): arithmetic on two values in ten-thousandths.
void sybMoneyOp(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[1]) || isNull(a[2])) {
        sqlite3_result_null(c);
        return;
    }
    char op = text(a[0])[0];
    Int128 x = sqlite3_value_int64(a[1]), y = sqlite3_value_int64(a[2]), r = 0;
    switch (op) {
    case '+':
        r = x + y;
        break;
    case '-':
        r = x - y;
        break;
    case '*':
        r = divideRounded(x * y, 10000);
        break;
    default:
        if (y == 0) {
            if (host(c)->arithIgnore())
                sqlite3_result_null(c);
            else
                error(c, 3607, 16, "Divide by zero occurred.");
            return;
        }
        r = divideRounded(x * 10000, y);
    }
    if (r < INT64_MIN || r > INT64_MAX || !moneyFits(int64_t(r), sqlite3_value_int(a[3]) != 0)) {
        overflow(c);
        return;
    }
    sqlite3_result_int64(c, int64_t(r));
}

// syb_money_round(m, digits, mode): round ('r', half away from zero), ceiling ('c') or floor
// ('f') of money to a number of decimals, without leaving ten-thousandths.
void sybMoneyRound(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0]) || isNull(a[1])) {
        sqlite3_result_null(c);
        return;
    }
    Int128 m = sqlite3_value_int64(a[0]);
    int drop = 4 - std::clamp(sqlite3_value_int(a[1]), -20, 4);
    Int128 unit = 1;
    for (int k = 0; k < drop; ++k)
        unit *= 10;
    char mode = text(a[2])[0];
    Int128 q = m / unit, r = m % unit;
    if (mode == 'r')
        q = divideRounded(m, unit);
    else if (mode == 'c' && r > 0)
        q += 1;
    else if (mode == 'f' && r < 0)
        q -= 1;
    Int128 x = q * unit;
    if (x < INT64_MIN || x > INT64_MAX) {
        overflow(c);
        return;
    }
    sqlite3_result_int64(c, int64_t(x));
}

// syb_money_sum and syb_money_avg: exact aggregates of money.
struct MoneyTotal {
    Int128 sum;
    int64_t count;
};

// SQLite's aggregate memory is aligned for 8 bytes, the 128-bit sum wants 16: the total is copied
// in and out.
MoneyTotal totalAt(const void* at) {
    MoneyTotal t;
    std::memcpy(&t, at, sizeof t);
    return t;
}

void moneyStep(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0]))
        return;
    void* at = sqlite3_aggregate_context(c, sizeof(MoneyTotal));
    if (!at) {
        sqlite3_result_error_nomem(c);
        return;
    }
    MoneyTotal t = totalAt(at);
    t.sum += sqlite3_value_int64(a[0]);
    ++t.count;
    std::memcpy(at, &t, sizeof t);
}

void moneyFinal(sqlite3_context* c, bool average) {
    const void* at = sqlite3_aggregate_context(c, 0);
    const MoneyTotal t = at ? totalAt(at) : MoneyTotal{};
    if (t.count == 0) {
        sqlite3_result_null(c);
        return;
    }
    Int128 r = average ? divideRounded(t.sum, t.count) : t.sum;
    if (r < INT64_MIN || r > INT64_MAX) {
        overflow(c);
        return;
    }
    sqlite3_result_int64(c, int64_t(r));
}

// Renders a value in a fixed number of decimals, without exponent.
std::string fixedDecimals(sqlite3_value* v, int scale) {
    char buf[128];
    if (sqlite3_value_numeric_type(v) == SQLITE_INTEGER && scale == 0)
        return std::to_string(sqlite3_value_int64(v));
    std::snprintf(buf, sizeof buf, "%.*f", scale, sqlite3_value_double(v));
    return buf;
}

// The scale written in a type name such as "numeric(10,2)".
int scaleOf(const std::string& typeName) {
    int p = 0, sc = 0;
    auto open = typeName.find('(');
    if (open != std::string::npos)
        std::sscanf(typeName.c_str() + open, "(%d,%d)", &p, &sc);
    return std::clamp(sc, 0, 38);
}

void sybConvert(sqlite3_context* c, int argc, sqlite3_value** a) {
    std::string target = text(a[0]);
    sqlite3_value* v = a[1];
    if (isNull(v)) {
        sqlite3_result_null(c);
        return;
    }
    int style = argc > 2 && !isNull(a[2]) ? sqlite3_value_int(a[2]) : -1;
    std::string source = argc > 3 ? text(a[3]) : std::string();
    std::string base = target.substr(0, target.find('('));
    int a1 = -1, a2 = -1;
    if (auto p = target.find('('); p != std::string::npos)
        std::sscanf(target.c_str() + p, "(%d,%d)", &a1, &a2);
    auto t = SqlType::fromName(base, a1, a2);
    if (!t) {
        if (a1 > SqlType::kMaxLength)
            error(c, 131, 15,
                  "The size (" + std::to_string(a1) + ") given to the type '" + base +
                      "' exceeds the maximum. The largest size allowed is " +
                      std::to_string(SqlType::kMaxLength) + ".");
        else
            error(c, 2715, 16, "Can't find type '" + base + "'.");
        return;
    }
    auto src = SqlType::fromName(source.substr(0, source.find('(')));
    auto conversionError = [&](const char* to) {
        error(c, 249, 16,
              "Syntax error during explicit conversion of VARCHAR value '" + text(v) + "' to a " +
                  to + " field.");
    };
    if (t->isCharacter()) {
        std::string s;
        if (src && src->isDateTime())
            s = formatDateTime(text(v), style);
        else if (src && (src->code == SqlType::Money || src->code == SqlType::SmallMoney) &&
                 sqlite3_value_type(v) == SQLITE_INTEGER)
            s = formatMoney(sqlite3_value_int64(v), 2);
        else if (src && (src->code == SqlType::Numeric || src->code == SqlType::Decimal))
            s = fixedDecimals(v, scaleOf(source));
        else if (sqlite3_value_type(v) == SQLITE_FLOAT) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.15g", sqlite3_value_double(v));
            s = buf;
        } else
            s = text(v);
        if (t->code != SqlType::Text && s.size() > size_t(t->length))
            s.resize(size_t(t->length));
        if (t->code == SqlType::Char && s.size() < size_t(t->length))
            s.append(size_t(t->length) - s.size(), ' ');
        resultText(c, s);
        return;
    }
    if (t->isDateTime()) {
        std::string s = toStoredDateTime(text(v));
        if (s.empty()) {
            conversionError("DATETIME");
            return;
        }
        if (t->code == SqlType::SmallDateTime) {
            auto d = parseDateTime(s);
            int64_t ms = millisOf(*d);
            s = formatStored(fromMillis((ms + 30000) / 60000 * 60000));
        }
        resultText(c, s);
        return;
    }
    if (t->isBinary()) {
        std::string s;
        if (sqlite3_value_type(v) == SQLITE_INTEGER) {
            // An integer's bytes, most significant first, in the width of its type.
            int64_t x = sqlite3_value_int64(v);
            int width = src && src->isInteger() ? src->length : 4;
            for (int k = width - 1; k >= 0; --k)
                s += char(uint8_t(uint64_t(x) >> (8 * k)));
        } else {
            s = text(v);
        }
        if (t->code == SqlType::Binary && s.size() < size_t(t->length))
            s.append(size_t(t->length) - s.size(), '\0');
        if (s.size() > size_t(t->length))
            s.resize(size_t(t->length));
        sqlite3_result_blob(c, s.data(), int(s.size()), SQLITE_TRANSIENT);
        return;
    }
    if (sqlite3_value_type(v) == SQLITE_BLOB && t->isNumeric()) {
        // Binary to a number: the bytes read most significant first.
        const auto* p = static_cast<const uint8_t*>(sqlite3_value_blob(v));
        int n = std::min(sqlite3_value_bytes(v), 8);
        uint64_t x = 0;
        for (int k = 0; k < n; ++k)
            x = (x << 8) | p[k];
        sqlite3_result_int64(c, int64_t(x));
        return;
    }
    bool fromMoney = src && (src->code == SqlType::Money || src->code == SqlType::SmallMoney) &&
                     sqlite3_value_type(v) == SQLITE_INTEGER;
    if (t->code == SqlType::Money || t->code == SqlType::SmallMoney) {
        int64_t m = sqlite3_value_int64(v);
        MoneyParse p = fromMoney
                           ? (moneyFits(m, t->code == SqlType::SmallMoney) ? MoneyParse::Ok
                                                                           : MoneyParse::Overflow)
                           : moneyFrom(v, t->code == SqlType::SmallMoney, m);
        if (p == MoneyParse::NotNumber)
            conversionError("MONEY");
        else if (p == MoneyParse::Overflow)
            error(c, 247, 16,
                  "Arithmetic overflow during explicit conversion of a value to a " + t->name() +
                      " field.");
        else
            sqlite3_result_int64(c, m);
        return;
    }
    bool isInt = false;
    int64_t i = 0;
    double d = 0;
    if (fromMoney) {
        d = double(sqlite3_value_int64(v)) / 10000.0;
    } else if (!numberOf(v, isInt, i, d)) {
        std::string s = text(v);
        // Sybase accepts blanks around numbers and a leading '$' for money.
        size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
        s = b == std::string::npos ? "" : s.substr(b, e - b + 1);
        if (!s.empty() && s[0] == '$')
            s = s.substr(1);
        char* end = nullptr;
        d = std::strtod(s.c_str(), &end);
        if (s.empty() || *end) {
            conversionError(t->isInteger() ? "INT" : "NUMERIC");
            return;
        }
        isInt = false;
    }
    double x = isInt ? double(i) : d;
    if (!fitsType(*t, isInt ? Value::integer(i) : Value::real(d))) {
        error(c, 247, 16,
              "Arithmetic overflow during explicit conversion of a value to a " + t->name() +
                  " field.");
        return;
    }
    if (t->isInteger()) {
        if (t->code == SqlType::Bit) {
            sqlite3_result_int(c, x != 0);
            return;
        }
        if (isInt)
            sqlite3_result_int64(c, i);
        else
            sqlite3_result_int64(c, int64_t(std::trunc(d)));
        return;
    }
    int scale = t->code == SqlType::Money || t->code == SqlType::SmallMoney  ? 4
                : t->code == SqlType::Numeric || t->code == SqlType::Decimal ? t->scale
                                                                             : -1;
    if (scale == 0) {
        sqlite3_result_int64(c, isInt ? i : int64_t(std::llround(d)));
        return;
    }
    if (scale > 0) {
        double f = std::pow(10.0, scale);
        x = std::round(x * f) / f;
    }
    sqlite3_result_double(c, x);
}

// A value bound for an integer or money column: refused when out of the column's range.
void sybFit(sqlite3_context* c, int, sqlite3_value** a) {
    bool isInt = false;
    int64_t i = 0;
    double d = 0;
    auto t = SqlType::fromName(text(a[1]));
    if (t && numberOf(a[0], isInt, i, d) &&
        !fitsType(*t, isInt ? Value::integer(i) : Value::real(d))) {
        error(c, 3606, 16, "Arithmetic overflow occurred.");
        return;
    }
    sqlite3_result_value(c, a[0]);
}

void sybDataLength(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    int fixed = sqlite3_value_int(a[1]);
    if (fixed > 0) {
        sqlite3_result_int(c, fixed);
        return;
    }
    switch (sqlite3_value_type(a[0])) {
    case SQLITE_INTEGER:
        sqlite3_result_int(c, 4);
        return;
    case SQLITE_FLOAT:
        sqlite3_result_int(c, 8);
        return;
    default:
        sqlite3_result_int(c, sqlite3_value_bytes(a[0]));
    }
}

void sybStr(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    int len = std::clamp(sqlite3_value_int(a[1]), 1, 255);
    int dec = std::clamp(sqlite3_value_int(a[2]), 0, 16);
    char buf[400];
    std::snprintf(buf, sizeof buf, "%*.*f", len, dec, sqlite3_value_double(a[0]));
    std::string s = buf;
    if (s.size() > size_t(len))
        s.assign(size_t(len), '*');
    resultText(c, s);
}

void sybReverse(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    std::string s = text(a[0]);
    std::reverse(s.begin(), s.end());
    resultText(c, s);
}

void sybReplicate(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0]) || isNull(a[1]) || sqlite3_value_int(a[1]) < 0) {
        sqlite3_result_null(c);
        return;
    }
    std::string unit = text(a[0]), s;
    int n = sqlite3_value_int(a[1]);
    while (n-- > 0 && s.size() < 16384)
        s += unit;
    if (s.size() > 16384)
        s.resize(16384);
    resultText(c, s);
}

void sybRound(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    int n = sqlite3_value_int(a[1]);
    if (sqlite3_value_numeric_type(a[0]) == SQLITE_INTEGER && n >= 0) {
        sqlite3_result_int64(c, sqlite3_value_int64(a[0]));
        return;
    }
    double f = std::pow(10.0, n);
    sqlite3_result_double(c, std::round(sqlite3_value_double(a[0]) * f) / f);
}

void sybCeilFloor(sqlite3_context* c, sqlite3_value** a, bool ceil) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    if (sqlite3_value_numeric_type(a[0]) == SQLITE_INTEGER) {
        sqlite3_result_int64(c, sqlite3_value_int64(a[0]));
        return;
    }
    double d = sqlite3_value_double(a[0]);
    sqlite3_result_double(c, ceil ? std::ceil(d) : std::floor(d));
}
void sybCeiling(sqlite3_context* c, int, sqlite3_value** a) {
    sybCeilFloor(c, a, true);
}
void sybFloor(sqlite3_context* c, int, sqlite3_value** a) {
    sybCeilFloor(c, a, false);
}

void sybMath(sqlite3_context* c, int argc, sqlite3_value** a) {
    std::string f = text(a[0]);
    if (f == "pi") {
        sqlite3_result_double(c, M_PI);
        return;
    }
    if (f == "rand") {
        thread_local std::mt19937_64 rng{std::random_device{}()};
        sqlite3_result_double(c, std::uniform_real_distribution<double>(0, 1)(rng));
        return;
    }
    for (int i = 1; i < argc; ++i)
        if (isNull(a[i])) {
            sqlite3_result_null(c);
            return;
        }
    double x = argc > 1 ? sqlite3_value_double(a[1]) : 0;
    double y = argc > 2 ? sqlite3_value_double(a[2]) : 0;
    double r = f == "power"   ? std::pow(x, y)
               : f == "sqrt"  ? std::sqrt(x)
               : f == "exp"   ? std::exp(x)
               : f == "log"   ? std::log(x)
               : f == "log10" ? std::log10(x)
               : f == "sin"   ? std::sin(x)
               : f == "cos"   ? std::cos(x)
                              : std::tan(x);
    if (std::isnan(r)) {
        error(c, 3622, 10, "Domain error occurred.");
        return;
    }
    sqlite3_result_double(c, r);
}

// Runs a one-value lookup on the caller's own connection.
bool lookup(sqlite3_context* c, const std::string& sql, const std::vector<std::string>& args,
            std::string& out) {
    sqlite3* db = sqlite3_context_db_handle(c);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        sqlite3_finalize(st);
        return false;
    }
    for (size_t i = 0; i < args.size(); ++i)
        sqlite3_bind_text(st, int(i + 1), args[i].c_str(), -1, SQLITE_TRANSIENT);
    bool found = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL;
    if (found)
        out = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
    return found;
}

// Splits "db.owner.name", "db..name", "owner.name", "name" into schema and name.
std::pair<std::string, std::string> splitObjectName(FunctionHost* h, const std::string& full) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = full.find('.', start);
        parts.push_back(full.substr(start, dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    std::string name = parts.back();
    std::string db = parts.size() >= 3 ? parts[parts.size() - 3] : std::string();
    if (!name.empty() && name[0] == '#')
        return {"temp", name};
    if (db.empty())
        db = h->currentDb();
    return {db, name};
}

void sybObjectId(sqlite3_context* c, int, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    auto [schema, name] = splitObjectName(host(c), text(a[0]));
    std::string id;
    if ((schema == "temp" || host(c)->databaseExists(schema)) &&
        lookup(c, "select id from " + quoteId(schema) + ".sysobjects where name = ?", {name}, id))
        sqlite3_result_int64(c, std::stoll(id));
    else
        sqlite3_result_null(c);
}

void sybObjectName(sqlite3_context* c, int argc, sqlite3_value** a) {
    if (isNull(a[0])) {
        sqlite3_result_null(c);
        return;
    }
    std::string schema = host(c)->currentDb();
    if (argc > 1 && !isNull(a[1]))
        schema = host(c)->databaseName(sqlite3_value_int(a[1]));
    std::string name;
    if (!schema.empty() &&
        lookup(c, "select name from " + quoteId(schema) + ".sysobjects where id = ?", {text(a[0])},
               name))
        resultText(c, name);
    else
        sqlite3_result_null(c);
}

void sybDbName(sqlite3_context* c, int argc, sqlite3_value** a) {
    if (argc == 0) {
        resultText(c, host(c)->currentDb());
        return;
    }
    std::string n = isNull(a[0]) ? "" : host(c)->databaseName(sqlite3_value_int(a[0]));
    if (n.empty())
        sqlite3_result_null(c);
    else
        resultText(c, n);
}

void sybDbId(sqlite3_context* c, int argc, sqlite3_value** a) {
    int id = host(c)->databaseId(argc ? text(a[0]) : host(c)->currentDb());
    if (id)
        sqlite3_result_int(c, id);
    else
        sqlite3_result_null(c);
}

// The session's user in the current database: sa and the database's owner are dbo; a login
// without a user of its own is the database's guest.
std::string currentUserColumn(sqlite3_context* c, const char* column) {
    std::string q = quoteId(host(c)->currentDb()), value;
    std::string suid = std::to_string(host(c)->loginSuid()), owner;
    if (host(c)->loginSuid() == 1 ||
        lookup(c, "select 1 from master.sysdatabases where name = ? and suid = ?",
               {host(c)->currentDb(), suid}, owner))
        lookup(c, std::string("select ") + column + " from " + q + ".sysusers where uid = 1", {},
               value);
    else if (!lookup(c, std::string("select ") + column + " from " + q + ".sysusers where suid = ?",
                     {suid}, value))
        lookup(c, std::string("select ") + column + " from " + q + ".sysusers where uid = 2", {},
               value);
    return value;
}

void sybUserName(sqlite3_context* c, int argc, sqlite3_value** a) {
    std::string name;
    if (argc == 0 || isNull(a[0]))
        name = currentUserColumn(c, "name");
    else
        lookup(c, "select name from " + quoteId(host(c)->currentDb()) + ".sysusers where uid = ?",
               {text(a[0])}, name);
    if (name.empty())
        sqlite3_result_null(c);
    else
        resultText(c, name);
}

void sybUserId(sqlite3_context* c, int argc, sqlite3_value** a) {
    std::string uid;
    if (argc == 0)
        uid = currentUserColumn(c, "uid");
    else
        lookup(c, "select uid from " + quoteId(host(c)->currentDb()) + ".sysusers where name = ?",
               {text(a[0])}, uid);
    if (uid.empty())
        sqlite3_result_null(c);
    else
        sqlite3_result_int64(c, std::stoll(uid));
}

void sybSuserName(sqlite3_context* c, int argc, sqlite3_value** a) {
    if (!argc) {
        resultText(c, host(c)->loginName());
        return;
    }
    std::string name;
    if (lookup(c, "select name from master.syslogins where suid = ?", {text(a[0])}, name))
        resultText(c, name);
    else
        sqlite3_result_null(c);
}

void sybSuserId(sqlite3_context* c, int argc, sqlite3_value** a) {
    std::string login = argc ? text(a[0]) : host(c)->loginName(), suid;
    if (lookup(c, "select suid from master.syslogins where name = ?", {login}, suid))
        sqlite3_result_int64(c, std::stoll(suid));
    else
        sqlite3_result_null(c);
}

void sybColName(sqlite3_context* c, int argc, sqlite3_value** a) {
    std::string schema = host(c)->currentDb();
    if (argc > 2 && !isNull(a[2]))
        schema = host(c)->databaseName(sqlite3_value_int(a[2]));
    std::string name;
    if (!schema.empty() && lookup(c,
                                  "select name from " + quoteId(schema) +
                                      ".syscolumns where id = ? and colid = ? and number = 0",
                                  {text(a[0]), text(a[1])}, name))
        resultText(c, name);
    else
        sqlite3_result_null(c);
}

void sybColLength(sqlite3_context* c, int, sqlite3_value** a) {
    auto [schema, table] = splitObjectName(host(c), text(a[0]));
    std::string len;
    if ((schema == "temp" || host(c)->databaseExists(schema)) &&
        lookup(c,
               "select c.length from " + quoteId(schema) + ".syscolumns c join " + quoteId(schema) +
                   ".sysobjects o on o.id = c.id where o.name = ? and "
                   "c.name = ? and c.number = 0",
               {table, text(a[1])}, len))
        sqlite3_result_int64(c, std::stoll(len));
    else
        sqlite3_result_null(c);
}

void sybIndexCol(sqlite3_context* c, int, sqlite3_value** a) {
    auto [schema, table] = splitObjectName(host(c), text(a[0]));
    std::string name;
    std::string q = quoteId(schema);
    if ((schema == "temp" || host(c)->databaseExists(schema)) &&
        lookup(c,
               "select c.name from " + q + ".sim_indexkeys k join " + q +
                   ".sysobjects o on o.id = k.id join " + q +
                   ".syscolumns c on c.id = k.id and c.colid = k.colid and c.number = 0 "
                   "where o.name = ? and k.indid = ? and k.keyno = ?",
               {table, text(a[1]), text(a[2])}, name))
        resultText(c, name);
    else
        sqlite3_result_null(c);
}

void sybHostName(sqlite3_context* c, int, sqlite3_value**) {
    resultText(c, host(c)->clientHost());
}

// Sybase patterns: % _ [abc] [a-z] [^abc]; case-sensitive like the server's sort order.
bool likeMatch(const char* p, const char* pe, const char* s, const char* se, int esc) {
    while (p < pe) {
        char pc = *p;
        if (esc >= 0 && pc == char(esc) && p + 1 < pe) {
            if (s >= se || *s != p[1])
                return false;
            p += 2;
            ++s;
            continue;
        }
        if (pc == '%') {
            while (p < pe && *p == '%')
                ++p;
            if (p == pe)
                return true;
            for (const char* t = s; t <= se; ++t)
                if (likeMatch(p, pe, t, se, esc))
                    return true;
            return false;
        }
        if (s >= se)
            return false;
        if (pc == '_') {
            ++p;
            ++s;
            continue;
        }
        if (pc == '[') {
            const char* q = p + 1;
            bool neg = q < pe && *q == '^';
            if (neg)
                ++q;
            bool hit = false;
            const char* close = q;
            while (close < pe && *close != ']')
                ++close;
            if (close == pe) { // no closing bracket: a plain character
                if (*s != '[')
                    return false;
                ++p;
                ++s;
                continue;
            }
            for (const char* k = q; k < close; ++k) {
                if (k + 2 < close && k[1] == '-') {
                    if (*s >= k[0] && *s <= k[2])
                        hit = true;
                    k += 2;
                } else if (*k == *s) {
                    hit = true;
                }
            }
            if (hit == neg)
                return false;
            p = close + 1;
            ++s;
            continue;
        }
        if (pc != *s)
            return false;
        ++p;
        ++s;
    }
    return s == se;
}

void sybLike(sqlite3_context* c, int argc, sqlite3_value** a) {
    // SQLite calls like(pattern, value[, escape]).
    if (isNull(a[0]) || isNull(a[1])) {
        sqlite3_result_null(c);
        return;
    }
    std::string p = text(a[0]), s = text(a[1]);
    int esc = -1;
    if (argc > 2 && !isNull(a[2])) {
        std::string e = text(a[2]);
        if (e.size() != 1) {
            error(c, 11713, 16, "The ESCAPE clause must be a single character.");
            return;
        }
        esc = static_cast<unsigned char>(e[0]);
    }
    // Sybase ignores trailing blanks of the value when matching.
    while (!s.empty() && s.back() == ' ' && !(p.size() && p.back() == ' '))
        s.pop_back();
    sqlite3_result_int(
        c, likeMatch(p.data(), p.data() + p.size(), s.data(), s.data() + s.size(), esc));
}

} // namespace

std::string sybErrorText(int number, int severity, const std::string& text) {
    return "SYB:" + std::to_string(number) + ":" + std::to_string(severity) + ":" + text;
}

bool parseSybError(const std::string& m, Message& out) {
    if (m.rfind("SYB:", 0) != 0)
        return false;
    int number = 0, severity = 0, used = 0;
    if (std::sscanf(m.c_str(), "SYB:%d:%d:%n", &number, &severity, &used) < 2 || used == 0)
        return false;
    out.number = number;
    out.severity = uint8_t(severity);
    out.text = m.substr(size_t(used));
    return true;
}

std::string formatDateTime(const std::string& stored, int style) {
    auto d = parseDateTime(stored);
    if (!d)
        return stored;
    char buf[64];
    int h12 = d->hour % 12 == 0 ? 12 : d->hour % 12;
    const char* ampm = d->hour < 12 ? "AM" : "PM";
    int yy = d->year % 100;
    const char* mon = kMonths[d->month - 1];
    // Styles 1-12 give two-digit years, 101-112 the same layouts with four.
    int base = style > 100 ? style - 100 : style;
    bool fullYear = style > 100;
    char year[8];
    std::snprintf(year, sizeof year, fullYear ? "%04d" : "%02d", fullYear ? d->year : yy);
    struct Numeric {
        int style;
        char order[4]; // m, d, y
        const char* sep;
    };
    static const Numeric numeric[] = {{1, "mdy", "/"},  {2, "ymd", "."}, {3, "dmy", "/"},
                                      {4, "dmy", "."},  {5, "dmy", "-"}, {10, "mdy", "-"},
                                      {11, "ymd", "/"}, {12, "ymd", ""}};
    for (const auto& n : numeric) {
        if (n.style != base)
            continue;
        std::string out;
        for (int k = 0; k < 3; ++k) {
            char part[8];
            if (n.order[k] == 'y')
                std::snprintf(part, sizeof part, "%s", year);
            else
                std::snprintf(part, sizeof part, "%02d", n.order[k] == 'm' ? d->month : d->day);
            out += (k ? n.sep : "") + std::string(part);
        }
        return out;
    }
    switch (base) {
    case 6:
        std::snprintf(buf, sizeof buf, "%02d %s %s", d->day, mon, year);
        break;
    case 7:
        std::snprintf(buf, sizeof buf, "%s %02d, %s", mon, d->day, year);
        break;
    case 8:
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", d->hour, d->minute, d->second);
        break;
    case 9:
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d:%02d:%03d%s", mon, d->day, d->year,
                      h12, d->minute, d->second, d->millis, ampm);
        break;
    default:
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", mon, d->day, d->year, h12,
                      d->minute, ampm);
        break;
    }
    return buf;
}

std::string toStoredDateTime(const std::string& in) {
    std::string s = in;
    size_t b = s.find_first_not_of(' '), e = s.find_last_not_of(' ');
    if (b == std::string::npos)
        return formatStored(DateTimeParts{}); // '' is 1900-01-01 to Sybase
    s = s.substr(b, e - b + 1);
    if (auto d = parseDateTime(s))
        return formatStored(*d);
    DateTimeParts d;
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < s.size() && (s[i] == ' ' || s[i] == ','))
            ++i;
    };
    auto number = [&](int& out, int maxDigits = 4) {
        int n = 0, v = 0;
        while (i < s.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i++] - '0');
            ++n;
        }
        out = v;
        return n;
    };
    auto month = [&]() {
        for (int m = 0; m < 12; ++m)
            if (s.size() - i >= 3 && strncasecmp(s.c_str() + i, kMonths[m], 3) == 0) {
                i += 3;
                while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i])))
                    ++i;
                return m + 1;
            }
        return 0;
    };
    bool haveDate = false;
    if (int m = month()) { // "Jan 1 2023"
        d.month = m;
        skipBlanks();
        number(d.day, 2);
        skipBlanks();
        number(d.year);
        haveDate = true;
    } else {
        size_t save = i;
        int first = 0, n = number(first, 8);
        if (n == 8 && (i == s.size() || s[i] == ' ')) { // "20230115"
            d.year = first / 10000;
            d.month = first / 100 % 100;
            d.day = first % 100;
            haveDate = true;
        } else if (n > 0 && i < s.size() && (s[i] == '/' || s[i] == '-' || s[i] == '.')) {
            char sep = s[i++];
            int second = 0, third = 0;
            number(second, 2);
            if (i < s.size() && s[i] == sep) {
                ++i;
                int digits = number(third);
                d.month = first;
                d.day = second;
                d.year = digits <= 2 ? (third < 50 ? 2000 + third : 1900 + third) : third;
                haveDate = true;
            }
        } else if (n > 0 && i < s.size() && s[i] == ' ') { // "15 Jan 2023"
            skipBlanks();
            if (int m2 = month()) {
                d.day = first;
                d.month = m2;
                skipBlanks();
                number(d.year);
                haveDate = true;
            }
        }
        if (!haveDate)
            i = save;
    }
    skipBlanks();
    if (i < s.size()) { // time part
        if (!number(d.hour, 2) || i >= s.size() || s[i] != ':') {
            if (i < s.size())
                return {};
        } else {
            ++i;
            number(d.minute, 2);
            if (i < s.size() && s[i] == ':') {
                ++i;
                number(d.second, 2);
                if (i < s.size() && (s[i] == ':' || s[i] == '.')) {
                    ++i;
                    size_t st = i;
                    number(d.millis, 3);
                    for (size_t k = i - st; k < 3; ++k)
                        d.millis *= 10;
                }
            }
            skipBlanks();
            if (s.size() - i >= 2 && strncasecmp(s.c_str() + i, "PM", 2) == 0) {
                if (d.hour < 12)
                    d.hour += 12;
                i += 2;
            } else if (s.size() - i >= 2 && strncasecmp(s.c_str() + i, "AM", 2) == 0) {
                if (d.hour == 12)
                    d.hour = 0;
                i += 2;
            }
            skipBlanks();
            if (i != s.size())
                return {};
        }
    }
    if (d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month) ||
        d.hour > 23 || d.minute > 59 || d.second > 59 || d.year < 1753 || d.year > 9999)
        return {};
    return formatStored(d);
}

void registerFunctions(sqlite3* db, FunctionHost* h) {
    struct Fn {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
        bool deterministic;
    };
    static const Fn fns[] = {
        {"syb_concat", 2, sybConcat, true},
        {"syb_plus", 2, sybPlus, true},
        {"syb_div", 2, sybDiv, true},
        {"syb_mod", 2, sybMod, true},
        {"syb_dateadd", 3, sybDateAdd, true},
        {"syb_datediff", 3, sybDateDiff, true},
        {"syb_datepart", 2, sybDatePart, true},
        {"syb_datename", 2, sybDateName, true},
        {"syb_getdate", 0, sybGetDate, false},
        {"syb_to_datetime", 1, sybToDateTime, true},
        {"syb_convert", 4, sybConvert, true},
        {"syb_datalength", 2, sybDataLength, true},
        {"syb_fit", 2, sybFit, true},
        {"syb_money", 1, sybMoney, true},
        {"syb_money_op", 4, sybMoneyOp, true},
        {"syb_money_round", 3, sybMoneyRound, true},
        {"syb_str", 3, sybStr, true},
        {"syb_reverse", 1, sybReverse, true},
        {"syb_replicate", 2, sybReplicate, true},
        {"syb_round", 2, sybRound, true},
        {"syb_ceiling", 1, sybCeiling, true},
        {"syb_floor", 1, sybFloor, true},
        {"syb_math", -1, sybMath, false},
        {"syb_object_id", 1, sybObjectId, false},
        {"syb_object_name", -1, sybObjectName, false},
        {"syb_db_name", -1, sybDbName, false},
        {"syb_db_id", -1, sybDbId, false},
        {"syb_user_name", -1, sybUserName, false},
        {"syb_user_id", -1, sybUserId, false},
        {"syb_suser_name", -1, sybSuserName, false},
        {"syb_suser_id", -1, sybSuserId, false},
        {"syb_col_name", -1, sybColName, false},
        {"syb_col_length", 2, sybColLength, false},
        {"syb_host_name", 0, sybHostName, false},
        {"syb_host_id", 0, sybHostName, false},
        {"syb_index_col", -1, sybIndexCol, false},
        {"like", 2, sybLike, true},
        {"like", 3, sybLike, true},
    };
    for (const auto& f : fns) {
        int flags = SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
        sqlite3_create_function_v2(db, f.name, f.args, flags, new Binding{h, f.fn}, callSafely,
                                   nullptr, nullptr,
                                   [](void* p) { delete static_cast<Binding*>(p); });
    }
    sqlite3_create_function_v2(
        db, "syb_money_sum", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, moneyStep,
        [](sqlite3_context* c) { moneyFinal(c, false); }, nullptr);
    sqlite3_create_function_v2(
        db, "syb_money_avg", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, moneyStep,
        [](sqlite3_context* c) { moneyFinal(c, true); }, nullptr);
}

} // namespace sim
