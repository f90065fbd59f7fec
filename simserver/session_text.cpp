// readtext, writetext and the bulk data that follows "writetext bulk".

#include "session.h"
#include "text_pointer.h"
#include "value.h"

#include <sqlite3.h>

#include <cctype>
#include <climits>
#include <cstdint>
#include <memory>

namespace sim {

namespace {

using StmtGuard = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

std::string lowered(std::string s) {
    for (char& c : s)
        c = char(std::tolower(uint8_t(c)));
    return s;
}

std::string hexText(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string s = "0x";
    for (char c : bytes) {
        s += digits[uint8_t(c) >> 4];
        s += digits[uint8_t(c) & 15];
    }
    return s;
}

std::pair<ast::ObjectName, std::string> splitColumnName(const std::string& text) {
    auto path = ast::columnPath(text);
    if (!path)
        throw SqlError::make(
            7133, 16,
            "The table and column of a text or image value must be named as table.column.");
    return *path;
}

// Offsets and sizes beyond an int are refused rather than wrapped.
long long readtextNumber(const Value& v) {
    const bool number = v.kind == Value::Integer || v.kind == Value::Real;
    const double n = v.kind == Value::Integer ? double(v.i) : v.r;
    if (!number || !(n >= 0 && n <= INT32_MAX))
        throw SqlError::make(7125, 16,
                             "The offset and size of readtext must be numbers from 0 to "
                             "2147483647.");
    return static_cast<long long>(n);
}

// The bytes of a pointer, timestamp or value as written: a binary value or a string.
std::string bytesOf(const Value& v) {
    return v.kind == Value::Text || v.kind == Value::Blob ? v.s : v.asText();
}

SqlError invalidPointer(const std::string& pointer) {
    return SqlError::make(7123, 16, "Invalid text pointer value " + hexText(pointer) + ".");
}

} // namespace

// Resolves the column a text command names and checks the pointer against it.
struct TextTarget {
    TableInfo table;
    ColumnInfo column;
    int colid = 0;
    int64_t rowid = 0;
};

static TextTarget textTarget(TranslateContext& ctx, const std::string& named,
                             const std::string& pointer, Access access) {
    auto [objectName, columnName] = splitColumnName(named);
    auto [schema, name] = resolveObject(objectName, ctx);
    auto info = ctx.table(schema, name);
    if (!info || info->type == "V")
        throw SqlError::make(208, 16, name + " not found.");
    TextTarget t;
    for (size_t i = 0; i < info->columns.size(); ++i) {
        if (lowered(info->columns[i].name) == lowered(columnName)) {
            t.column = info->columns[i];
            t.colid = int(i + 1);
        }
    }
    if (t.colid == 0)
        throw SqlError::make(207, 16, "Invalid column name '" + columnName + "'.");
    if (t.column.type.code != SqlType::Text && t.column.type.code != SqlType::Image)
        throw SqlError::make(7133, 16,
                             "The column " + t.column.name + " is not of type text or image.");
    ctx.requireAccess(*info, access, ctx.moduleOwner(), 1);
    auto p = decodeTextPointer(pointer);
    if (!p || p->tableId != info->id || p->colid != t.colid)
        throw invalidPointer(pointer);
    t.rowid = p->rowid;
    t.table = *info;
    return t;
}

// A writer that read the value before someone else changed it must not overwrite the change.
void Session::requireTimestamp(const TextTarget& target, const std::string& timestamp,
                               const std::string& pointer) {
    Translation t;
    t.sql = "SELECT CAST(" + quoteId(target.column.name) + " AS BLOB) FROM " +
            quoteId(target.table.db) + "." + quoteId(target.table.name) + " WHERE rowid = ?1";
    t.params = {Value::integer(target.rowid)};
    StmtGuard st(prepare(t), &sqlite3_finalize);
    if (stepChecked(st.get()) != SQLITE_ROW)
        throw invalidPointer(pointer);
    auto* p = static_cast<const char*>(sqlite3_column_blob(st.get(), 0));
    Bytes current;
    current.u64(textTimestamp({p ? p : "", size_t(sqlite3_column_bytes(st.get(), 0))}));
    if (timestamp != std::string(current.data().begin(), current.data().end()))
        throw SqlError::make(7126, 16,
                             "The text or image value changed after its timestamp was read; it "
                             "was not written.");
}

void Session::execTextCommand(const ast::Stmt& s, Frame& f) {
    const Value pointerValue = evaluate(*s.args[0], f);
    if (pointerValue.isNull())
        throw SqlError::make(7123, 16, "Invalid text pointer value NULL.");
    const std::string pointer = bytesOf(pointerValue);
    if (s.kind == ast::Stmt::Kind::Readtext)
        readText(s.name, pointer, readtextNumber(evaluate(*s.args[1], f)),
                 readtextNumber(evaluate(*s.args[2], f)), f);
    else
        writeText(s, pointer, f);
}

void Session::readText(const std::string& named, const std::string& pointer, long long from,
                       long long count, Frame& f) {
    TextTarget target = textTarget(*this, named, pointer, Access::Select);
    if (count == 0)
        count = m_textSize > 0 ? m_textSize : kDefaultTextSize;

    Translation t;
    const std::string column = quoteId(target.column.name);
    t.sql = "SELECT CAST(" + column + " AS BLOB), substr(CAST(" + column + " AS BLOB), ?1, ?2) " +
            "FROM " + quoteId(target.table.db) + "." + quoteId(target.table.name) +
            " WHERE rowid = ?3";
    t.params = {Value::integer(from + 1), Value::integer(count), Value::integer(target.rowid)};
    StmtGuard st(prepare(t), &sqlite3_finalize);
    if (stepChecked(st.get()) != SQLITE_ROW)
        throw invalidPointer(pointer);

    Bytes& b = tokens();
    b.u8(kTokRowFmt);
    size_t lenAt = b.size();
    b.u16(0);
    b.u16(1);
    b.bvarchar(target.column.name);
    b.u8(0x20);
    putTypeInfo(b, target.column.type);
    b.u8(0); // locale
    b.patchU16(lenAt, uint16_t(b.size() - lenAt - 2));
    b.u8(kTokRow);
    auto bytes = [&](int i) {
        auto* p = static_cast<const char*>(sqlite3_column_blob(st.get(), i));
        return std::string_view(p ? p : "", size_t(sqlite3_column_bytes(st.get(), i)));
    };
    if (sqlite3_column_type(st.get(), 0) == SQLITE_NULL)
        putValue(b, target.column.type, Value::null());
    else
        putTextValue(b, {target.table.id, target.colid, target.rowid}, bytes(0), bytes(1));
    m_rowcount = 1;
    m_error = 0;
    statementDone(f, kDoneCount, 1);
}

void Session::writeText(const ast::Stmt& s, const std::string& pointer, Frame& f) {
    TextTarget target = textTarget(*this, s.name, pointer, Access::Update);
    const bool image = target.column.type.code == SqlType::Image;
    if (s.args[2])
        requireTimestamp(target, bytesOf(evaluate(*s.args[2], f)), pointer);
    const BulkText where{target.table.db, target.table.name, target.column.name, image,
                         target.rowid};
    if (s.on) {
        m_bulkText = where;
    } else {
        const Value value = evaluate(*s.args[1], f);
        if (value.isNull())
            throw SqlError::make(7127, 16, "writetext needs a value; NULL cannot be written.");
        storeText(where, bytesOf(value), pointer);
    }
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::storeText(const BulkText& target, const std::string& value,
                        const std::string& pointer) {
    Translation t;
    t.sql = "UPDATE " + quoteId(target.schema) + "." + quoteId(target.table) + " SET " +
            quoteId(target.column) + " = ?1 WHERE rowid = ?2";
    t.params = {target.image ? Value::blob(value) : Value::text(value),
                Value::integer(target.rowid)};
    requireWrite();
    int64_t changes = 0;
    try {
        StmtGuard st(prepare(t), &sqlite3_finalize);
        while (stepChecked(st.get()) == SQLITE_ROW) {
        }
        changes = sqlite3_changes64(m_sqlite);
    } catch (...) {
        releaseWriteIfIdle();
        throw;
    }
    releaseWriteIfIdle();
    if (changes == 0)
        throw invalidPointer(pointer);
}

void Session::storeBulkText(Reader& r) {
    BulkText target = *m_bulkText;
    m_bulkText.reset();
    if (r.left() < 4)
        throw SqlError::make(7124, 16, "The text or image data is shorter than announced.");
    uint32_t size = r.u32();
    if (size > r.left())
        throw SqlError::make(7124, 16, "The text or image data is shorter than announced.");
    storeText(target, r.str(size), encodeTextPointer({0, 0, target.rowid}));
}

} // namespace sim
