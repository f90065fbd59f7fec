#pragma once
// Turns the syntax tree of a query into SQLite SQL with bound parameters, and works out
// the Sybase type of every result column on the way.

#include "catalog.h"
#include "sql_ast.h"
#include "tds.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// An error to report to the client as a server message.
struct SqlError {
    Message message;
    static SqlError make(int number, int severity, std::string text, int line = 1,
                         uint8_t state = 1);
};

struct ResultColumn {
    std::string name;
    SqlType type;
    bool known = false; // false: take the type from the first value
    // A text or image column read straight from a table: where its row's rowid comes back
    // (a column past the visible ones), so the select can send a text pointer to it.
    int rowidColumn = -1;
    int tableId = 0;
    int colid = 0;
};

struct Translation {
    std::string sql;
    std::vector<Value> params; // bound to ?1, ?2, ...
    std::vector<ResultColumn> columns;
    bool readsProcesses = false; // master..sysprocesses must be refreshed first
};

struct Variable {
    SqlType type;
    Value value;
};

// Object permissions a statement needs.
enum class Access { Select, Insert, Update, Delete, Execute, Truncate };

// The owner of a view or procedure being run. What it uses of the same owner needs no
// permission of the user's own (Sybase's ownership chain).
struct ChainOwner {
    std::string db;
    int uid = 1;
};

// What the translator needs from the session that runs the query.
class TranslateContext {
public:
    virtual ~TranslateContext() = default;
    virtual std::string currentDb() const = 0;
    virtual bool databaseExists(const std::string& name) const = 0;
    virtual std::optional<TableInfo> table(const std::string& schema, const std::string& name) = 0;
    virtual const Variable* variable(const std::string& name) const = 0;
    // @@name without the @@, lower case; nullopt when the server has no such global.
    virtual std::optional<Variable> global(const std::string& name) const = 0;
    // The parsed "create view" statement of a view; null when its text cannot be read.
    virtual std::shared_ptr<const ast::Stmt> viewDefinition(const std::string& schema, int id) = 0;
    // The owner of the procedure being run, if any.
    virtual std::optional<ChainOwner> moduleOwner() const = 0;
    // Throws SqlError 229 unless the session's user may use the table or view so; chain: the
    // owner of the view or procedure that names it.
    virtual void requireAccess(const TableInfo& t, Access a, const std::optional<ChainOwner>& chain,
                               int line) = 0;
};

// Resolves [db.][owner.]name to the attached schema and the table's name;
// throws SqlError 911/208.
std::pair<std::string, std::string> resolveObject(const ast::ObjectName& n,
                                                  const TranslateContext& ctx);
std::pair<std::string, std::string>
resolveObject(const ast::ObjectName& n, const TranslateContext& ctx, const std::string& currentDb);

// textPointers: the select goes to the client, which gets text pointers for its text columns.
Translation translateSelect(const ast::Select& s, TranslateContext& ctx, bool textPointers = false);
// A single expression as "SELECT expr", for conditions, print and assignments.
Translation translateScalar(const ast::Expr& e, TranslateContext& ctx);
Translation translateInsert(const ast::Stmt& s, TranslateContext& ctx);
Translation translateUpdate(const ast::Stmt& s, TranslateContext& ctx);
Translation translateDelete(const ast::Stmt& s, TranslateContext& ctx);
// Declared type of a column or variable as written in DDL.
SqlType typeFromAst(const ast::TypeName& t);
// Sybase's error for a character or binary length over the maximum.
SqlError typeTooLong(const ast::TypeName& t);

} // namespace sim
