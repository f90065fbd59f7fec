#pragma once
// Transact-SQL built-in functions as SQLite functions (named syb_*), plus Sybase's LIKE.

#include "tds.h"

#include <string>

struct sqlite3;

namespace sim {

// Session facts some built-ins read.
class FunctionHost {
public:
    virtual ~FunctionHost() = default;
    virtual std::string currentDb() const = 0;
    virtual bool databaseExists(const std::string& name) const = 0;
    virtual int databaseId(const std::string& name) const = 0; // 0 when unknown
    virtual std::string databaseName(int dbid) const = 0;      // empty when unknown
    virtual std::string loginName() const = 0;
    virtual int loginSuid() const = 0;
    virtual std::string clientHost() const = 0;
    // "set arithignore arith_overflow on": arithmetic errors give NULL without a message.
    virtual bool arithIgnore() const = 0;
};

void registerFunctions(sqlite3* db, FunctionHost* host);

// Functions report Sybase errors through SQLite's error text in this form.
std::string sybErrorText(int number, int severity, const std::string& text);
// Recognises an error raised by one of our functions; false for SQLite's own errors.
bool parseSybError(const std::string& sqliteMessage, Message& out);

// The text form of a stored datetime in a convert() style (0/100 when style < 0).
std::string formatDateTime(const std::string& stored, int style);
// Accepts the date forms Sybase accepts; empty when the text is no date.
std::string toStoredDateTime(const std::string& text);

} // namespace sim
