#include "bulk.h"

#include "tds.h"

namespace sim {

namespace {

// Whether DB-Library puts the column among the variable ones: a type it counts as nullable
// by nature (its wire type in the row format: INTN, FLTN, MONEYN, DATETIMN, VARCHAR, ...), or
// a column that allows NULL.
bool isVariable(const SqlType& t) {
    switch (t.code) {
    case SqlType::Bit:
    case SqlType::Numeric:
    case SqlType::Decimal:
        return t.nullable;
    case SqlType::Char:
    case SqlType::Binary:
        return t.nullable || t.length > 255;
    default:
        return true;
    }
}

bool isBlob(const SqlType& t) {
    return t.code == SqlType::Text || t.code == SqlType::Image;
}

// The wire type whose RPC form (length byte, data) readValue decodes for this column.
uint8_t nullableWireType(const SqlType& t) {
    switch (t.code) {
    case SqlType::Real:
    case SqlType::Float:
        return 0x6D;
    case SqlType::Money:
    case SqlType::SmallMoney:
        return 0x6E;
    case SqlType::DateTime:
    case SqlType::SmallDateTime:
        return 0x6F;
    case SqlType::Numeric:
        return 0x6C;
    case SqlType::Decimal:
        return 0x6A;
    default:
        return 0x26;
    }
}

Value valueOf(const SqlType& t, const uint8_t* p, size_t n) {
    std::string bytes(reinterpret_cast<const char*>(p), n);
    if (t.isCharacter())
        return Value::text(std::move(bytes));
    if (t.isBinary())
        return Value::blob(std::move(bytes));
    if (t.code == SqlType::Bit)
        return Value::integer(n > 0 && p[0] != 0);
    if (n == 0 || n > 255)
        throw ConnectionClosed("bad bulk value length");
    std::vector<uint8_t> framed;
    framed.reserve(n + 1);
    framed.push_back(uint8_t(n));
    framed.insert(framed.end(), p, p + n);
    Reader r(framed.data(), framed.size());
    WireParam wp;
    wp.type = t;
    wp.wireType = nullableWireType(t);
    return readValue(r, wp);
}

// The starts of the variable columns and the end of the last one, from the offset table at the
// record's end: its low bytes in reverse order, before them the high bytes as counts.
std::vector<size_t> variableOffsets(const uint8_t* rec, size_t len, size_t ncols) {
    // The table holds a count byte, one adjustment byte per 256 of the last offset, and
    // ncols + 1 low bytes; the last offset is where the table starts.
    size_t adjust = 0;
    for (;; ++adjust) {
        if (len < ncols + 2 + adjust)
            throw ConnectionClosed("bad bulk offset table");
        if ((len - ncols - 2 - adjust) / 256 == adjust)
            break;
    }
    const size_t tableAt = len - ncols - 2 - adjust;
    if (rec[tableAt] != ncols + 1)
        throw ConnectionClosed("bad bulk offset table");
    std::vector<size_t> offsets(ncols + 1);
    for (size_t k = 0; k <= ncols; ++k) {
        size_t high = 0;
        // Adjustment byte j stands for high byte (adjust - j): the number of offsets below it,
        // plus one.
        for (size_t j = 0; j < adjust; ++j)
            if (k + 1 >= rec[tableAt + 1 + j])
                ++high;
        offsets[k] = high * 256 + rec[len - 1 - k];
    }
    for (size_t k = 0; k < ncols; ++k)
        if (offsets[k] > offsets[k + 1] || offsets[k + 1] > tableAt)
            throw ConnectionClosed("bad bulk offset table");
    return offsets;
}

} // namespace

void decodeBulkRows(const std::vector<SqlType>& columns, const uint8_t* data, size_t size,
                    const std::function<void(const std::vector<Value>&)>& row) {
    Reader r(data, size);
    std::vector<Value> values(columns.size());
    std::vector<uint8_t> rec;
    while (!r.atEnd()) {
        const size_t len = r.u16();
        if (len < 2)
            throw ConnectionClosed("bad bulk row length");
        std::string bytes = r.str(len);
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        const size_t ncols = p[0];

        size_t at = 2, bitAt = 0;
        int bitsLeft = 0;
        for (size_t i = 0; i < columns.size(); ++i) {
            const SqlType& t = columns[i];
            if (isVariable(t))
                continue;
            if (t.code == SqlType::Bit) {
                if (bitsLeft == 0) {
                    bitAt = at++;
                    bitsLeft = 8;
                }
                if (bitAt >= len)
                    throw ConnectionClosed("bulk row too short");
                values[i] = Value::integer((p[bitAt] >> (8 - bitsLeft)) & 1);
                --bitsLeft;
                continue;
            }
            const size_t n = size_t(t.length);
            if (at + n > len)
                throw ConnectionClosed("bulk row too short");
            values[i] = valueOf(t, p + at, n);
            at += n;
        }

        std::vector<size_t> offsets;
        if (ncols > 0) {
            if (at + 2 > len || size_t(p[at] | (p[at + 1] << 8)) != len)
                throw ConnectionClosed("bad bulk row length");
            offsets = variableOffsets(p, len, ncols);
        }
        size_t var = 0;
        std::vector<size_t> blobs;
        for (size_t i = 0; i < columns.size(); ++i) {
            const SqlType& t = columns[i];
            if (!isVariable(t))
                continue;
            // Trailing NULL columns are left out of the table.
            const size_t from = var < ncols ? offsets[var] : 0;
            const size_t to = var < ncols ? offsets[var + 1] : 0;
            ++var;
            if (to == from) {
                values[i] = Value::null();
            } else if (isBlob(t)) {
                blobs.push_back(i); // its data follows the record
            } else {
                values[i] = valueOf(t, p + from, to - from);
            }
        }

        // Every text and image column of the table, NULL ones included.
        for (size_t i = 0; i < columns.size(); ++i) {
            if (!isBlob(columns[i]))
                continue;
            r.skip(6); // zero, type, index, pointer offset
            const std::string value = r.str(r.u32());
            bool present = false;
            for (size_t b : blobs)
                present = present || b == i;
            if (present)
                values[i] =
                    columns[i].code == SqlType::Text ? Value::text(value) : Value::blob(value);
        }
        row(values);
    }
}

} // namespace sim
