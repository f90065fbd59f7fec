// Data definition: views, triggers, indexes, rules, defaults and databases.

#include "session.h"
#include "sqlite_util.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace sim {

namespace {

std::string trimmed(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

} // namespace

int Session::objectId(const std::string& schema, const std::string& name, std::string* type) {
    Stmt st(m_sqlite, "select id, type from " + quoteId(schema) + ".sysobjects where name = ?");
    st.bind(1, name);
    if (!st.step())
        return 0;
    if (type)
        *type = trimmed(st.s(1));
    return int(st.i(0));
}

void Session::requireNewName(const std::string& schema, const std::string& name, int line) {
    if (objectId(schema, name))
        throw SqlError::make(
            2714, 16, "There is already an object named '" + name + "' in the database.", line);
}

std::shared_ptr<const ast::Stmt> Session::viewDefinition(const std::string& schema, int id) {
    dropStaleCaches();
    std::string key = schema + "\x01" + std::to_string(id);
    if (auto it = m_viewCache.find(key); it != m_viewCache.end())
        return it->second;
    std::string text;
    Stmt st(m_sqlite, "select text from " + quoteId(schema) +
                          ".syscomments where id = ? order by number, colid2, colid");
    st.bind(1, id);
    while (st.step())
        text += st.s(0);
    auto parsed = std::make_shared<ast::ParseResult>(ast::parseBatch(text));
    if (!parsed->ok || parsed->stmts.empty() ||
        parsed->stmts[0]->kind != ast::Stmt::Kind::CreateView)
        return nullptr;
    std::shared_ptr<const ast::Stmt> view(parsed, parsed->stmts[0].get());
    m_viewCache[key] = view;
    return view;
}

void Session::execCreateView(const ast::Stmt& s, Frame& f) {
    std::string schema, name;
    std::tie(schema, name) = resolveObject(s.table, *this);
    requireNewName(schema, name, s.line);
    m_frame = &f;
    m_checkAccess = false;
    Translation t;
    try {
        t = translateSelect(*s.select, *this);
    } catch (...) {
        m_checkAccess = true;
        throw;
    }
    m_checkAccess = true;
    if (!s.columns.empty() && s.columns.size() != t.columns.size())
        throw SqlError::make(8158, 16,
                             "'" + name +
                                 "' has more columns than were specified in the column "
                                 "list.",
                             s.line);
    std::vector<NewColumn> cols;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        NewColumn c;
        c.name = s.columns.empty() ? t.columns[i].name : s.columns[i];
        if (c.name.empty())
            throw SqlError::make(4506, 16,
                                 "Column names in each view must be unique. Column name '' in "
                                 "view '" +
                                     name + "' is specified more than once.",
                                 s.line);
        c.type = t.columns[i].known ? t.columns[i].type : SqlType::varchar(255);
        c.type.nullable = true;
        cols.push_back(std::move(c));
    }
    ObjectOwner owner = ownerIn(schema);
    inTransaction([&] {
        int id = addObject(m_sqlite, schema, name, "V", 0, owner);
        addColumns(m_sqlite, schema, id, 0, cols);
        addComments(m_sqlite, schema, id, s.sourceText);
    });
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::execCreateTrigger(const ast::Stmt& s, Frame& f) {
    std::string schema, name;
    std::tie(schema, name) = resolveObject(s.table, *this);
    std::string tableSchema, tableName;
    std::tie(tableSchema, tableName) = resolveObject(s.names.at(0), *this);
    std::string type;
    int tableId = objectId(tableSchema, tableName, &type);
    if (!tableId || type != "U")
        throw SqlError::make(208, 16, tableName + " not found.", s.line);
    requireNewName(schema, name, s.line);
    ObjectOwner owner = ownerIn(schema);
    inTransaction([&] {
        int id = addObject(m_sqlite, schema, name, "TR", 0, owner);
        addComments(m_sqlite, schema, id, s.sourceText);
        // A trigger's own row names its table, in deltrig as Sybase keeps it.
        execSql(m_sqlite, "update " + quoteId(schema) + ".sysobjects set deltrig = " +
                              std::to_string(tableId) + " where id = " + std::to_string(id));
        // The table names its triggers, one per event.
        for (const auto& event : s.columns) {
            std::string column = event == "insert"   ? "instrig"
                                 : event == "update" ? "updtrig"
                                                     : "deltrig";
            execSql(m_sqlite, "update " + quoteId(tableSchema) + ".sysobjects set " + column +
                                  " = " + std::to_string(id) +
                                  " where id = " + std::to_string(tableId));
        }
    });
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::execCreateRuleOrDefault(const ast::Stmt& s, Frame& f) {
    std::string schema, name;
    std::tie(schema, name) = resolveObject(s.table, *this);
    requireNewName(schema, name, s.line);
    ObjectOwner owner = ownerIn(schema);
    inTransaction([&] {
        int id = addObject(m_sqlite, schema, name,
                           s.kind == ast::Stmt::Kind::CreateRule ? "R" : "D", 0, owner);
        addComments(m_sqlite, schema, id, s.sourceText);
    });
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::execCreateIndex(const ast::Stmt& s, Frame& f) {
    std::string schema, table;
    std::tie(schema, table) = resolveObject(s.table, *this);
    auto info = this->table(schema, table);
    if (!info || info->type != "U")
        throw SqlError::make(208, 16, table + " not found.", s.line);
    const std::string q = quoteId(schema), id = std::to_string(info->id);
    {
        Stmt dup(m_sqlite, "select 1 from " + q + ".sysindexes where id = ? and name = ?");
        dup.bind(1, info->id).bind(2, s.name);
        if (dup.step())
            throw SqlError::make(1913, 16,
                                 "There is already an index on table '" + table + "' named '" +
                                     s.name + "'.",
                                 s.line);
    }
    std::vector<int> colids;
    for (const auto& c : s.columns) {
        auto it = std::find_if(info->columns.begin(), info->columns.end(),
                               [&](const ColumnInfo& ci) { return ci.name == c; });
        if (it == info->columns.end())
            throw SqlError::make(1911, 16,
                                 "Column name '" + c + "' does not exist in target table.", s.line);
        colids.push_back(int(it - info->columns.begin()) + 1);
    }
    int segment = 1;
    if (!s.segment.empty()) {
        Stmt seg(m_sqlite, "select segment from " + q + ".syssegments where name = ?");
        seg.bind(1, s.segment);
        if (!seg.step())
            throw SqlError::make(
                1521, 16, "Segment '" + s.segment + "' does not exist in this database.", s.line);
        segment = int(seg.i(0));
    }
    bool clustered = s.clustered > 0;
    int indid = 1;
    if (clustered) {
        Stmt has(m_sqlite, "select 1 from " + q + ".sysindexes where id = ? and indid = 1");
        has.bind(1, info->id);
        if (has.step())
            throw SqlError::make(1902, 16,
                                 "Cannot create more than one clustered index on table '" + table +
                                     "'. Drop the existing clustered index '" + table +
                                     "' before creating another.",
                                 s.line);
    } else {
        Stmt next(m_sqlite, "select max(max(indid) + 1, 2) from " + q +
                                ".sysindexes where id = ? and indid < 255");
        next.bind(1, info->id);
        next.step();
        indid = int(next.i(0));
    }
    // Sybase's status bits: 2 unique; 16 clustered.
    int status = (s.unique ? 2 : 0) | (clustered ? 16 : 0);
    inTransaction([&] {
        std::string cols;
        for (const auto& c : s.columns)
            cols += (cols.empty() ? "" : ", ") + quoteId(c);
        execSql(m_sqlite, std::string("CREATE ") + (s.unique ? "UNIQUE " : "") + "INDEX " + q +
                              "." + quoteId(table + "." + s.name) + " ON " + quoteId(table) + " (" +
                              cols + ")");
        if (clustered) // the table's own row becomes the clustered index
            execSql(m_sqlite,
                    "delete from " + q + ".sysindexes where id = " + id + " and indid = 0");
        addIndexRow(m_sqlite, schema, s.name, info->id, indid, segment, status, int(colids.size()));
        for (size_t k = 0; k < colids.size(); ++k)
            execSql(m_sqlite, "insert into " + q + ".sim_indexkeys values (" + id + ", " +
                                  std::to_string(indid) + ", " + std::to_string(k + 1) + ", " +
                                  std::to_string(colids[k]) + ")");
    });
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::dropIndex(const ast::ObjectName& n, int line) {
    // "drop index t.i" arrives as owner = table, name = index.
    if (n.owner.empty())
        throw SqlError::make(159, 16,
                             "Must specify the table name and index name for the DROP INDEX "
                             "statement.",
                             line);
    ast::ObjectName tableName{"", "", n.owner};
    std::string schema, table;
    std::tie(schema, table) = resolveObject(tableName, *this);
    auto info = this->table(schema, table);
    const std::string q = quoteId(schema);
    int indid = 0;
    if (info) {
        Stmt st(m_sqlite,
                "select indid from " + q + ".sysindexes where id = ? and name = ? and indid > 0");
        st.bind(1, info->id).bind(2, n.name);
        if (st.step())
            indid = int(st.i(0));
    }
    if (!indid)
        throw SqlError::make(3701, 11,
                             "Cannot drop the index '" + table + "." + n.name +
                                 "', because it doesn't exist in the system catalogs.",
                             line);
    inTransaction([&] {
        std::string id = std::to_string(info->id), ind = std::to_string(indid);
        execSql(m_sqlite, "DROP INDEX " + q + "." + quoteId(table + "." + n.name));
        execSql(m_sqlite,
                "delete from " + q + ".sysindexes where id = " + id + " and indid = " + ind);
        execSql(m_sqlite,
                "delete from " + q + ".sim_indexkeys where id = " + id + " and indid = " + ind);
        if (indid == 1) // back to a heap: the table's own row returns as indid 0
            addIndexRow(m_sqlite, schema, table, info->id, 0, 1, 0, 0);
    });
}

namespace {

// Database names become file names: only a plain identifier may be one.
bool isPlainIdentifier(const std::string& name) {
    if (name.empty() || name.size() > 30 || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '#' ||
               c == '@';
    });
}

} // namespace

void Session::requireSa(const std::string& command, int line) const {
    if (m_suid != 1)
        throw SqlError::make(
            262, 14, command + " permission denied, database " + currentDb() + ", owner dbo", line);
}

void Session::execCreateDatabase(const ast::Stmt& s, Frame& f) {
    requireSa("CREATE DATABASE", s.line);
    if (!isPlainIdentifier(s.name))
        throw SqlError::make(102, 15, "Incorrect syntax near '" + s.name + "'.", s.line);
    requireWrite();
    bool created = false;
    try {
        created = m_server.catalog().createDatabase(s.name);
    } catch (const std::exception& e) {
        releaseWriteIfIdle();
        throw SqlError::make(1802, 16, "CREATE DATABASE failed: " + std::string(e.what()), s.line);
    }
    releaseWriteIfIdle();
    if (!created)
        throw SqlError::make(1801, 16, "Database '" + s.name + "' already exists.", s.line);
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::dropDatabase(const std::string& name, int line) {
    requireSa("DROP DATABASE", line);
    static const char* const system[] = {"master", "model", "tempdb"};
    if (std::find(std::begin(system), std::end(system), name) != std::end(system))
        throw SqlError::make(
            3708, 16, "Cannot drop the database '" + name + "' because it is a system database.",
            line);
    if (!m_server.catalog().database(name))
        throw SqlError::make(3701, 11,
                             "Cannot drop the database '" + name +
                                 "', because it doesn't exist in the system catalogs.",
                             line);
    // The write gate is held from the check to the deletion, so no one starts using it between.
    requireWrite();
    if (m_server.databaseInUse(name)) {
        releaseWriteIfIdle();
        throw SqlError::make(
            3702, 16, "Cannot drop the database '" + name + "' because it is currently in use.",
            line);
    }
    if (m_attached.count(name))
        sqlite3_exec(m_sqlite, ("DETACH DATABASE " + quoteId(name)).c_str(), nullptr, nullptr,
                     nullptr);
    m_attached.erase(name);
    try {
        m_server.catalog().dropDatabase(name);
        m_server.catalog().schemaVersion++;
    } catch (const std::exception& e) {
        releaseWriteIfIdle();
        throw SqlError::make(3702, 16, "DROP DATABASE failed: " + std::string(e.what()), line);
    }
    releaseWriteIfIdle();
}

} // namespace sim
