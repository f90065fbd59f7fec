// readtext, writetext and the bulk data that follows "writetext bulk".

#include "session.h"
#include "text_pointer.h"
#include "value.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdint>
#include <memory>

namespace sim {

namespace {

struct TextToken {
    enum Kind { Word, Hex, Number, String, Equals, End } kind = End;
    std::string text; // a string's value, a hex literal's bytes
};

// The few token forms readtext and writetext take; they are sent alone, as DB-Library does.
class TextLexer {
public:
    explicit TextLexer(const std::string& s) : m_s(s) {}

    TextToken next() {
        while (m_at < m_s.size() && std::isspace(uint8_t(m_s[m_at])))
            ++m_at;
        TextToken t;
        if (m_at >= m_s.size())
            return t;
        char c = m_s[m_at];
        if (c == '=') {
            ++m_at;
            t.kind = TextToken::Equals;
        } else if (c == '\'' || c == '"') {
            t.kind = TextToken::String;
            for (++m_at;; ++m_at) {
                if (m_at >= m_s.size())
                    throw SqlError::make(105, 15, "Unclosed quote before the end of the text.");
                if (m_s[m_at] == c) {
                    if (m_at + 1 < m_s.size() && m_s[m_at + 1] == c) {
                        t.text += c;
                        ++m_at;
                        continue;
                    }
                    ++m_at;
                    break;
                }
                t.text += m_s[m_at];
            }
        } else if (c == '0' && m_at + 1 < m_s.size() && (m_s[m_at + 1] | 0x20) == 'x') {
            t.kind = TextToken::Hex;
            size_t from = m_at += 2;
            while (m_at < m_s.size() && std::isxdigit(uint8_t(m_s[m_at])))
                ++m_at;
            std::string digits = m_s.substr(from, m_at - from);
            if (digits.size() % 2)
                digits.insert(0, "0");
            for (size_t i = 0; i < digits.size(); i += 2)
                t.text += char(std::stoi(digits.substr(i, 2), nullptr, 16));
        } else if (std::isdigit(uint8_t(c))) {
            t.kind = TextToken::Number;
            while (m_at < m_s.size() && std::isdigit(uint8_t(m_s[m_at])))
                t.text += m_s[m_at++];
        } else {
            t.kind = TextToken::Word;
            while (m_at < m_s.size() && !std::isspace(uint8_t(m_s[m_at])) && m_s[m_at] != '=' &&
                   m_s[m_at] != '\'' && m_s[m_at] != '"')
                t.text += m_s[m_at++];
        }
        return t;
    }

private:
    const std::string& m_s;
    size_t m_at = 0;
};

using StmtGuard = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

std::string lowered(std::string s) {
    for (char& c : s)
        c = char(std::tolower(uint8_t(c)));
    return s;
}

SqlError syntaxNear(const std::string& word) {
    return SqlError::make(102, 15, "Incorrect syntax near '" + word + "'.");
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

// [[db.]owner.]table.column, "db..table.column" included.
std::pair<ast::ObjectName, std::string> splitColumnName(const std::string& text) {
    std::vector<std::string> parts;
    for (size_t at = 0;;) {
        size_t dot = text.find('.', at);
        parts.push_back(text.substr(at, dot - at));
        if (dot == std::string::npos)
            break;
        at = dot + 1;
    }
    if (parts.size() < 2 || parts.size() > 4 || parts.back().empty() ||
        parts[parts.size() - 2].empty())
        throw SqlError::make(
            7133, 16,
            "The table and column of a text or image value must be named as table.column.");
    ast::ObjectName n;
    n.name = parts[parts.size() - 2];
    if (parts.size() >= 3)
        n.owner = parts[parts.size() - 3];
    if (parts.size() == 4)
        n.db = parts[0];
    return {n, parts.back()};
}

long long readtextNumber(const std::string& digits) {
    if (digits.size() > 10 || std::stoll(digits) > INT32_MAX)
        throw SqlError::make(7125, 16, "The offset and size of readtext must be below 2147483648.");
    return std::stoll(digits);
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

bool Session::textStatement(const std::string& sql, Frame& f) {
    // Bulk data must follow its command at once.
    m_bulkText.reset();
    m_bulkInsert.reset();
    std::string command;
    bool insertBulk = false;
    try {
        TextLexer lexer(sql);
        TextToken first = lexer.next();
        if (first.kind != TextToken::Word)
            return false;
        command = lowered(first.text);
        if (command == "insert") {
            TextToken second = lexer.next();
            insertBulk = second.kind == TextToken::Word && lowered(second.text) == "bulk";
        }
    } catch (const SqlError&) {
        return false; // the parser reports it
    }
    if (command != "readtext" && command != "writetext" && !insertBulk)
        return false;
    try {
        if (insertBulk)
            startBulkInsert(sql, f);
        else if (command == "readtext")
            readText(sql, f);
        else
            writeText(sql, f);
    } catch (const SqlError& e) {
        sendError(e, f, 1);
        statementDone(f, 0, 0);
    }
    return true;
}

// readtext table.column pointer offset size [holdlock]
void Session::readText(const std::string& sql, Frame& f) {
    TextLexer lexer(sql);
    lexer.next();
    TextToken named = lexer.next(), pointer = lexer.next(), offset = lexer.next(),
              size = lexer.next(), rest = lexer.next();
    if (named.kind != TextToken::Word)
        throw syntaxNear("readtext");
    if (pointer.kind != TextToken::Hex)
        throw syntaxNear(pointer.text.empty() ? named.text : pointer.text);
    if (offset.kind != TextToken::Number || size.kind != TextToken::Number)
        throw syntaxNear(pointer.text.empty() ? named.text : hexText(pointer.text));
    if (rest.kind == TextToken::Word && lowered(rest.text) == "holdlock")
        rest = lexer.next();
    if (rest.kind != TextToken::End)
        throw syntaxNear(rest.text);
    TextTarget target = textTarget(*this, named.text, pointer.text, Access::Select);
    const long long from = readtextNumber(offset.text);
    long long count = readtextNumber(size.text);
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
        throw invalidPointer(pointer.text);

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

// writetext [bulk] table.column pointer [timestamp = 0x...] [with log] [value]
void Session::writeText(const std::string& sql, Frame& f) {
    TextLexer lexer(sql);
    lexer.next();
    TextToken tok = lexer.next();
    bool bulk = false;
    if (tok.kind == TextToken::Word && lowered(tok.text) == "bulk") {
        bulk = true;
        tok = lexer.next();
    }
    TextToken named = tok, pointer = lexer.next();
    if (named.kind != TextToken::Word)
        throw syntaxNear("writetext");
    if (pointer.kind != TextToken::Hex)
        throw syntaxNear(pointer.text.empty() ? named.text : pointer.text);
    tok = lexer.next();
    std::optional<std::string> timestamp;
    if (tok.kind == TextToken::Word && lowered(tok.text) == "timestamp") {
        if (lexer.next().kind != TextToken::Equals)
            throw syntaxNear("timestamp");
        TextToken value = lexer.next();
        if (value.kind != TextToken::Hex)
            throw syntaxNear("=");
        timestamp = value.text;
        tok = lexer.next();
    }
    if (tok.kind == TextToken::Word && lowered(tok.text) == "with") {
        tok = lexer.next();
        if (tok.kind != TextToken::Word || lowered(tok.text) != "log")
            throw syntaxNear("with");
        tok = lexer.next();
    }
    TextTarget target = textTarget(*this, named.text, pointer.text, Access::Update);
    const bool image = target.column.type.code == SqlType::Image;
    if (timestamp)
        requireTimestamp(target, *timestamp, pointer.text);
    if (bulk) {
        if (tok.kind != TextToken::End)
            throw syntaxNear(tok.text);
        m_bulkText =
            BulkText{target.table.db, target.table.name, target.column.name, image, target.rowid};
        m_error = 0;
        statementDone(f, 0, 0);
        return;
    }
    if (tok.kind != TextToken::String && tok.kind != TextToken::Hex)
        throw syntaxNear(tok.kind == TextToken::End ? hexText(pointer.text) : tok.text);
    if (TextToken rest = lexer.next(); rest.kind != TextToken::End)
        throw syntaxNear(rest.text);
    storeText({target.table.db, target.table.name, target.column.name, image, target.rowid},
              tok.text, pointer.text);
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
