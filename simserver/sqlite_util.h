#pragma once
// A prepared SQLite statement that finalizes itself; errors become std::runtime_error.

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace sim {

class Stmt {
public:
    Stmt(sqlite3* db, const std::string& sql) {
        if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK) {
            std::string msg = sqlite3_errmsg(db);
            sqlite3_finalize(m_stmt);
            throw std::runtime_error(msg);
        }
    }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;

    sqlite3_stmt* get() { return m_stmt; }
    Stmt& bind(int i, const std::string& s) {
        sqlite3_bind_text(m_stmt, i, s.c_str(), int(s.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, int64_t v) {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    bool step() {
        int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            throw std::runtime_error(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
        return false;
    }
    int64_t i(int col) { return sqlite3_column_int64(m_stmt, col); }
    bool isNull(int col) { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }
    std::string s(int col) {
        auto* p = sqlite3_column_text(m_stmt, col);
        return p ? std::string(reinterpret_cast<const char*>(p),
                               size_t(sqlite3_column_bytes(m_stmt, col)))
                 : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace sim
