// "insert bulk" and the bulk messages that carry its rows or a "writetext bulk" value.

#include "bulk.h"
#include "session.h"

#include <sqlite3.h>

#include <cctype>
#include <memory>

namespace sim {

namespace {

bool equalsWord(const std::string& text, const char* word) {
    for (size_t i = 0; i < text.size(); ++i)
        if (std::tolower(uint8_t(text[i])) != word[i])
            return false;
    return true;
}

} // namespace

bool Session::bulkStatement(const std::string& sql, Frame& f) {
    // Bulk data must follow its command at once.
    m_bulkText.reset();
    m_bulkInsert.reset();
    size_t insert = sql.find_first_not_of(" \t\r\n");
    auto wordAt = [&](size_t at, const char* word) {
        const size_t n = std::char_traits<char>::length(word);
        return at != std::string::npos && equalsWord(sql.substr(at, n), word) &&
               (at + n == sql.size() || std::isspace(uint8_t(sql[at + n])));
    };
    if (!wordAt(insert, "insert") || !wordAt(sql.find_first_not_of(" \t\r\n", insert + 6), "bulk"))
        return false;
    try {
        startBulkInsert(sql, f);
    } catch (const SqlError& e) {
        sendError(e, f, 1);
        statementDone(f, 0, 0);
    }
    return true;
}

// insert bulk [[db.]owner.]table, as FreeTDS's bcp sends it for TDS 5.0.
void Session::startBulkInsert(const std::string& sql, Frame& f) {
    std::string rest = sql;
    for (const char* word : {"insert", "bulk"}) {
        size_t at = rest.find_first_not_of(" \t\r\n");
        rest = rest.substr(at + std::string(word).size());
    }
    size_t from = rest.find_first_not_of(" \t\r\n");
    size_t to = rest.find_first_of(" \t\r\n(", from);
    const std::string named = from == std::string::npos ? "" : rest.substr(from, to - from);
    if (named.empty())
        throw SqlError::make(102, 15, "Incorrect syntax near 'bulk'.");
    if (to != std::string::npos && rest.find_first_not_of(" \t\r\n", to) != std::string::npos)
        throw SqlError::make(102, 15, "Incorrect syntax near '" + named + "'.");
    ast::ObjectName n;
    std::vector<std::string> parts;
    for (size_t at = 0;;) {
        size_t dot = named.find('.', at);
        parts.push_back(named.substr(at, dot - at));
        if (dot == std::string::npos)
            break;
        at = dot + 1;
    }
    if (parts.size() > 3 || parts.back().empty())
        throw SqlError::make(102, 15, "Incorrect syntax near '" + named + "'.");
    n.name = parts.back();
    if (parts.size() >= 2)
        n.owner = parts[parts.size() - 2];
    if (parts.size() == 3)
        n.db = parts[0];
    auto [schema, name] = resolveObject(n, *this);
    auto info = table(schema, name);
    if (!info || info->type != "U")
        throw SqlError::make(208, 16, name + " not found.");
    requireAccess(*info, Access::Insert, moduleOwner(), 1);
    m_bulkInsert = BulkInsert{*info};
    m_error = 0;
    statementDone(f, 0, 0);
}

int64_t Session::insertBulkRows(const uint8_t* data, size_t size) {
    const TableInfo& t = m_bulkInsert->table;
    std::vector<SqlType> types;
    std::string names, marks;
    for (const auto& c : t.columns) {
        types.push_back(c.type);
        names += (names.empty() ? "" : ", ") + quoteId(c.name);
        marks += (marks.empty() ? "?" : ", ?") + std::to_string(types.size());
    }
    Translation insert;
    insert.sql = "INSERT INTO " + quoteId(t.db) + "." + quoteId(t.name) + " (" + names +
                 ") VALUES (" + marks + ")";
    int64_t rows = 0;
    requireWrite();
    const bool own = m_trancount == 0;
    try {
        if (own)
            execSql(m_sqlite, "BEGIN");
        std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> st(prepare(insert),
                                                                      &sqlite3_finalize);
        decodeBulkRows(types, data, size, [&](const std::vector<Value>& values) {
            for (size_t i = 0; i < values.size(); ++i) {
                const Value& v = values[i];
                switch (v.kind) {
                case Value::Null:
                    sqlite3_bind_null(st.get(), int(i + 1));
                    break;
                case Value::Integer:
                    sqlite3_bind_int64(st.get(), int(i + 1), v.i);
                    break;
                case Value::Real:
                    sqlite3_bind_double(st.get(), int(i + 1), v.r);
                    break;
                case Value::Text:
                    sqlite3_bind_text(st.get(), int(i + 1), v.s.data(), int(v.s.size()),
                                      SQLITE_TRANSIENT);
                    break;
                case Value::Blob:
                    sqlite3_bind_blob(st.get(), int(i + 1), v.s.data(), int(v.s.size()),
                                      SQLITE_TRANSIENT);
                    break;
                }
            }
            while (stepChecked(st.get()) == SQLITE_ROW) {
            }
            sqlite3_reset(st.get());
            ++rows;
        });
        if (own)
            execSql(m_sqlite, "COMMIT");
    } catch (...) {
        if (own)
            sqlite3_exec(m_sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        releaseWriteIfIdle();
        throw;
    }
    releaseWriteIfIdle();
    return rows;
}

void Session::bulkRequest(const std::vector<uint8_t>& payload) {
    setCommand("BULK INSERT");
    Frame batch;
    m_frame = &batch;
    try {
        if (m_bulkText) {
            Reader r(payload.data(), payload.size());
            storeBulkText(r);
            m_error = 0;
            statementDone(batch, 0, 0);
        } else if (m_bulkInsert) {
            int64_t rows = insertBulkRows(payload.data(), payload.size());
            m_bulkInsert.reset();
            m_rowcount = rows;
            m_error = 0;
            statementDone(batch, kDoneCount, int32_t(std::min<int64_t>(rows, INT32_MAX)));
        } else {
            throw SqlError::make(4801, 16,
                                 "Bulk copy data came without an insert bulk or writetext bulk "
                                 "command before it.");
        }
    } catch (const SqlError& e) {
        sendError(e, batch, 1);
        statementDone(batch, 0, 0);
    } catch (const BadBulkData&) {
        sendError(SqlError::make(4802, 16, "The bulk copy data could not be read."), batch, 1);
        statementDone(batch, 0, 0);
    }
    m_bulkText.reset();
    m_bulkInsert.reset();
    m_frame = nullptr;
}

} // namespace sim
