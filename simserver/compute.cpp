#include "compute.h"
#include "translate.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

enum : uint8_t {
    kTokAltName = 0xA7,
    kTokAltFmt = 0xA8,
    kTokAltRow = 0xD3,
};

// TDS's operator codes of the ALTFMT token.
uint8_t opCode(const std::string& op) {
    if (op == "count")
        return 0x4B;
    if (op == "sum")
        return 0x4D;
    if (op == "avg")
        return 0x4F;
    if (op == "min")
        return 0x51;
    return 0x52;
}

bool isString(const Value& v) {
    return v.kind == Value::Text || v.kind == Value::Blob;
}

int compare(const Value& a, const Value& b) {
    if (isString(a) && isString(b))
        return a.s.compare(b.s);
    if (a.kind == Value::Integer && b.kind == Value::Integer)
        return a.i < b.i ? -1 : a.i > b.i;
    const double x = a.asReal(), y = b.asReal();
    return x < y ? -1 : x > y;
}

bool sameValue(const Value& a, const Value& b) {
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    if (isString(a) != isString(b))
        return false;
    return compare(a, b) == 0;
}

// Sybase: sum and avg of any integer type below bigint give int, of money types money.
SqlType resultType(const std::string& op, const SqlType& column, int line) {
    SqlType t = column;
    if (op == "count") {
        t = SqlType::of(SqlType::Int);
    } else if (op == "sum" || op == "avg") {
        if (!column.isNumeric()) {
            std::string name = column.name();
            name = name.substr(0, name.find('('));
            throw SqlError::make(409, 16,
                                 "The " + op + " aggregate operation cannot take a " + name +
                                     " datatype as an argument.",
                                 line);
        }
        if (column.isInteger())
            t = SqlType::of(column.code == SqlType::BigInt ? SqlType::BigInt : SqlType::Int);
        else if (column.code == SqlType::SmallMoney)
            t = SqlType::of(SqlType::Money);
        else if (column.code == SqlType::Real)
            t = SqlType::of(SqlType::Float);
        else if (column.code == SqlType::Numeric || column.code == SqlType::Decimal)
            t.precision = 38;
    }
    // An empty group's aggregate is NULL.
    t.nullable = true;
    return t;
}

} // namespace

ComputeRows::ComputeRows(const std::vector<ast::Compute>& clauses,
                         const std::vector<SqlType>& columnTypes) {
    uint16_t id = 0;
    for (const auto& c : clauses) {
        Clause clause;
        clause.id = ++id;
        for (int column : c.byColumns)
            clause.by.push_back(column - 1);
        for (const auto& a : c.aggregates) {
            Aggregate agg;
            agg.op = opCode(a.op);
            agg.column = a.column - 1;
            const SqlType& type = columnTypes.at(size_t(agg.column));
            agg.type = resultType(a.op, type, c.line);
            // Money is held in ten-thousandths: its totals are exact integers too.
            agg.integral =
                type.isInteger() || type.code == SqlType::Money || type.code == SqlType::SmallMoney;
            clause.aggregates.push_back(std::move(agg));
        }
        if (clause.by.size() > m_groupColumns.size())
            m_groupColumns = clause.by;
        m_clauses.push_back(std::move(clause));
    }
    std::stable_sort(m_clauses.begin(), m_clauses.end(),
                     [](const Clause& a, const Clause& b) { return a.by.size() > b.by.size(); });
}

void ComputeRows::putFormats(Bytes& b) const {
    std::vector<const Clause*> inIdOrder;
    for (const auto& c : m_clauses)
        inIdOrder.push_back(&c);
    std::sort(inIdOrder.begin(), inIdOrder.end(),
              [](const Clause* x, const Clause* y) { return x->id < y->id; });
    for (const Clause* c : inIdOrder) {
        // Empty names: the client names each column after its operator.
        b.u8(kTokAltName);
        size_t lenAt = b.size();
        b.u16(0);
        b.u16(c->id);
        for (size_t i = 0; i < c->aggregates.size(); ++i)
            b.bvarchar("");
        b.patchU16(lenAt, uint16_t(b.size() - lenAt - 2));

        b.u8(kTokAltFmt);
        lenAt = b.size();
        b.u16(0);
        b.u16(c->id);
        b.u8(uint8_t(c->aggregates.size()));
        for (const auto& a : c->aggregates) {
            b.u8(a.op);
            b.u8(uint8_t(a.column + 1));
            putTypeInfo(b, a.type);
            b.u8(0); // locale
        }
        b.u8(uint8_t(c->by.size()));
        for (int column : c->by)
            b.u8(uint8_t(column + 1));
        b.patchU16(lenAt, uint16_t(b.size() - lenAt - 2));
    }
}

void ComputeRows::beforeRow(Bytes& b, const std::vector<Value>& row) {
    if (!m_anyRow)
        return;
    size_t changed = m_groupColumns.size();
    for (size_t i = 0; i < m_groupColumns.size(); ++i) {
        const size_t column = size_t(m_groupColumns[i]);
        if (!sameValue(m_previous[column], row[column])) {
            changed = i;
            break;
        }
    }
    for (auto& c : m_clauses)
        if (c.by.size() > changed)
            putRow(b, c);
}

void ComputeRows::add(const std::vector<Value>& row) {
    for (auto& c : m_clauses) {
        for (auto& a : c.aggregates) {
            const Value& v = row[size_t(a.column)];
            if (v.isNull())
                continue;
            ++a.count;
            if (!a.integral)
                a.realSum += v.asReal();
            else if (__builtin_add_overflow(a.intSum, v.asInteger(), &a.intSum))
                throw SqlError::make(3606, 16, "Arithmetic overflow occurred.");
            const bool better = a.best.isNull() || (a.op == 0x51 && compare(v, a.best) < 0) ||
                                (a.op == 0x52 && compare(v, a.best) > 0);
            if (better)
                a.best = v;
        }
    }
    m_previous = row;
    m_anyRow = true;
}

void ComputeRows::finish(Bytes& b) {
    for (auto& c : m_clauses)
        if (m_anyRow || c.by.empty())
            putRow(b, c);
}

void ComputeRows::putRow(Bytes& b, Clause& c) {
    std::vector<Value> values;
    for (auto& a : c.aggregates) {
        Value v;
        if (a.op == 0x4B) {
            v = Value::integer(a.count);
        } else if (a.count == 0) {
            v = Value::null();
        } else if (a.op == 0x51 || a.op == 0x52) {
            v = a.best;
        } else if (a.integral) {
            int64_t avg = a.intSum / a.count, rest = a.intSum % a.count;
            if (a.type.code == SqlType::Money && 2 * (rest < 0 ? -rest : rest) >= a.count)
                avg += rest < 0 ? -1 : 1;
            v = Value::integer(a.op == 0x4D ? a.intSum : avg);
        } else {
            v = Value::real(a.op == 0x4D ? a.realSum : a.realSum / double(a.count));
        }
        if (!fitsType(a.type, v))
            throw SqlError::make(3606, 16, "Arithmetic overflow occurred.");
        values.push_back(std::move(v));
        a.count = 0;
        a.intSum = 0;
        a.realSum = 0;
        a.best = Value::null();
    }
    b.u8(kTokAltRow);
    b.u16(c.id);
    for (size_t i = 0; i < values.size(); ++i)
        putValue(b, c.aggregates[i].type, values[i]);
}

} // namespace sim
