#pragma once
// Databases on disk and the Sybase system tables kept beside the user's tables.

#include "value.h"

#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace sim {

struct ColumnInfo {
    std::string name;
    SqlType type;
    bool identity = false;
};

struct TableInfo {
    int id = 0;
    std::string db; // attached schema name: a database, or "temp" for #tables
    std::string name;
    std::string type; // sysobjects.type: "U", "S", "V"
    int uid = 1;      // owner: sysobjects.uid
    std::vector<ColumnInfo> columns;
};

struct DatabaseEntry {
    std::string name;
    int dbid = 0;
    // Changes when a database of this name is dropped and made again, so that a session
    // never keeps using the file of a dropped one.
    uint64_t incarnation = 0;
};

// Column of a table to create, as the catalog records it.
struct NewColumn {
    std::string name;
    SqlType type;
    bool identity = false;
    std::string defaultSql; // SQLite expression text, empty for none
    bool primaryKey = false;
    bool output = false; // procedure parameter declared "output"
    int userType = 0;    // systypes.usertype when not the base type's
};

// Who an object belongs to: sysobjects.uid (a user of its database) and loginame.
struct ObjectOwner {
    int uid = 1;
    std::string login = "sa";
};

// syscolumns.type as Sybase records it: nullable fixed types as their "n" forms.
int syscolumnsType(const SqlType& t);
SqlType typeFromSyscolumns(int type, int usertype, int length, int prec, int scale);

class Catalog {
public:
    explicit Catalog(std::string dataDir);

    // Creates master, model and tempdb (tempdb afresh) and the login "sa".
    void bootstrap(const std::string& saPassword);
    // Creates a database from nothing when missing (its file and system tables).
    void ensureDatabase(const std::string& name);
    // Creates and registers a new database; false when the name is taken.
    bool createDatabase(const std::string& name);
    // Forgets a database and deletes its file; no session may have it attached.
    void dropDatabase(const std::string& name);
    std::string databasePath(const std::string& name) const;

    std::vector<DatabaseEntry> databases() const;
    std::optional<DatabaseEntry> database(const std::string& name) const;
    std::optional<DatabaseEntry> databaseById(int dbid) const;

    // A connection with master attached; sessions attach other databases when they name them.
    sqlite3* openConnection() const;

    // Bumped by every change of any table's shape; sessions drop cached table shapes on it.
    std::atomic<uint64_t> schemaVersion{1};

    const std::string& dataDir() const { return m_dataDir; }

private:
    void loadDatabases(sqlite3* master);
    std::string m_dataDir;
    mutable std::mutex m_mutex;
    std::vector<DatabaseEntry> m_databases;
    std::map<std::string, uint64_t> m_incarnations;
    uint64_t m_nextIncarnation = 1;
};

// Work on one connection (a session's). db is an attached schema name.
std::optional<TableInfo> lookupTable(sqlite3* db, const std::string& schema,
                                     const std::string& name);
// Creates the SQLite table and its sysobjects/syscolumns rows; returns the object id.
int createTable(sqlite3* db, const std::string& schema, const std::string& name,
                const std::vector<NewColumn>& columns, const std::string& objType = "U",
                int fixedId = 0, const ObjectOwner& owner = {});
void dropTable(sqlite3* db, const std::string& schema, const std::string& name, int id);
// Catalog rows of any object: sysobjects (type "U", "V", "P", "TR", "R", "D"), its columns or
// parameters (syscolumns, number 0 for tables and views, 1 for procedures) and its source text.
int addObject(sqlite3* db, const std::string& schema, const std::string& name,
              const std::string& objType, int fixedId = 0, const ObjectOwner& owner = {});
void addColumns(sqlite3* db, const std::string& schema, int id, int number,
                const std::vector<NewColumn>& columns);
// A sysindexes row: indid 0 a table's data, 1 its clustered index, 2 and up the others.
void addIndexRow(sqlite3* db, const std::string& schema, const std::string& name, int id, int indid,
                 int segment, int status, int keycnt);
void addComments(sqlite3* db, const std::string& schema, int id, const std::string& text);
// Removes an object's rows from every catalog table (not the SQLite table itself).
void dropObject(sqlite3* db, const std::string& schema, int id);
// Creates the system tables of a database in schema (all of them for master).
void createSystemTables(sqlite3* db, const std::string& schema, bool master);
// Quotes an identifier or a string literal for SQLite.
std::string quoteId(const std::string& name);
std::string quoteLiteral(const std::string& text);
// Runs SQL that returns no rows; throws std::runtime_error with SQLite's message.
void execSql(sqlite3* db, const std::string& sql);

} // namespace sim
