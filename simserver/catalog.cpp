#include "catalog.h"

#include "sqlite_util.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace sim {

namespace {

struct SysColumn {
    const char* name;
    const char* type;
    bool nullable;
};

struct SysTable {
    const char* name;
    int id;
    bool masterOnly;
    std::vector<SysColumn> columns;
};

// The system tables, with the ids Sybase gives them.
const std::vector<SysTable>& systemTables() {
    static const std::vector<SysTable> tables = {
        {"sysobjects",
         1,
         false,
         {{"name", "sysname", false},
          {"id", "int", false},
          {"uid", "int", false},
          {"type", "char(2)", false},
          {"userstat", "smallint", false},
          {"sysstat", "smallint", false},
          {"indexdel", "smallint", false},
          {"schemacnt", "smallint", false},
          {"sysstat2", "int", false},
          {"crdate", "datetime", false},
          {"expdate", "datetime", false},
          {"deltrig", "int", false},
          {"instrig", "int", false},
          {"updtrig", "int", false},
          {"seltrig", "int", false},
          {"ckfirst", "int", false},
          {"cache", "smallint", false},
          {"audflags", "int", true},
          {"objspare", "int", false},
          {"versionts", "binary(12)", true},
          {"loginame", "varchar(30)", true}}},
        {"sysindexes",
         2,
         false,
         {{"name", "sysname", false},
          {"id", "int", false},
          {"indid", "smallint", false},
          {"doampg", "int", false},
          {"ioampg", "int", false},
          {"oampgtrips", "int", false},
          {"status2", "smallint", false},
          {"ipgtrips", "int", false},
          {"first", "int", false},
          {"root", "int", false},
          {"distribution", "int", false},
          {"usagecnt", "smallint", false},
          {"segment", "smallint", false},
          {"status", "smallint", false},
          {"maxrowsperpage", "smallint", false},
          {"minlen", "smallint", false},
          {"maxlen", "smallint", false},
          {"maxirow", "smallint", false},
          {"keycnt", "smallint", false},
          {"keys1", "varbinary(255)", true},
          {"keys2", "varbinary(255)", true},
          {"soid", "tinyint", false},
          {"csid", "tinyint", false},
          {"base_partition", "int", true},
          {"fill_factor", "smallint", true},
          {"res_page_gap", "smallint", true},
          {"exp_rowsize", "smallint", true},
          {"keys3", "varbinary(255)", true},
          {"identitygap", "int", true},
          {"crdate", "datetime", true}}},
        {"syscolumns",
         3,
         false,
         {{"id", "int", false},          {"number", "smallint", false},
          {"colid", "smallint", false},  {"status", "tinyint", false},
          {"type", "tinyint", false},    {"length", "int", false},
          {"offset", "smallint", false}, {"usertype", "smallint", false},
          {"cdefault", "int", false},    {"domain", "int", false},
          {"name", "sysname", false},    {"printfmt", "varchar(255)", true},
          {"prec", "tinyint", true},     {"scale", "tinyint", true},
          {"remote_type", "int", true},  {"remote_name", "varchar(30)", true},
          {"xstatus", "int", true},      {"xtype", "int", true},
          {"xdbid", "int", true},        {"accessrule", "int", true},
          {"status2", "int", true}}},
        {"systypes",
         4,
         false,
         {{"uid", "int", false},
          {"usertype", "smallint", false},
          {"variable", "bit", false},
          {"allownulls", "bit", false},
          {"type", "tinyint", false},
          {"length", "int", false},
          {"tdefault", "int", false},
          {"domain", "int", false},
          {"name", "sysname", false},
          {"printfmt", "varchar(255)", true},
          {"prec", "tinyint", true},
          {"scale", "tinyint", true},
          {"ident", "tinyint", true},
          {"hierarchy", "tinyint", true},
          {"accessrule", "int", true},
          {"xtypeid", "int", true},
          {"xdbid", "int", true}}},
        {"syscomments",
         6,
         false,
         {{"id", "int", false},
          {"number", "smallint", false},
          {"colid", "smallint", false},
          {"texttype", "smallint", false},
          {"language", "smallint", false},
          {"text", "varchar(255)", true},
          {"colid2", "smallint", false},
          {"status", "smallint", true},
          {"partitionid", "int", true}}},
        {"sysprotects",
         7,
         false,
         {{"id", "int", false},
          {"uid", "int", false},
          {"action", "smallint", false},
          {"protecttype", "tinyint", false},
          {"columns", "varbinary(133)", true},
          {"grantor", "int", true}}},
        {"sysusers",
         10,
         false,
         {{"suid", "int", false},
          {"uid", "int", false},
          {"gid", "int", false},
          {"name", "sysname", false},
          {"environ", "varchar(255)", true}}},
        {"syssegments",
         14,
         false,
         {{"segment", "smallint", false}, {"name", "sysname", false}, {"status", "int", true}}},
        {"sysdatabases",
         30,
         true,
         {{"name", "sysname", false},
          {"dbid", "smallint", false},
          {"suid", "int", false},
          {"mode", "smallint", false},
          {"status", "smallint", false},
          {"version", "smallint", false},
          {"logptr", "int", false},
          {"crdate", "datetime", false},
          {"dumptrdate", "datetime", false},
          {"status2", "smallint", false},
          {"audflags", "int", false},
          {"deftabaud", "int", false},
          {"defvwaud", "int", false},
          {"defpraud", "int", false},
          {"def_remote_type", "smallint", true},
          {"def_remote_loc", "varchar(255)", true},
          {"status3", "int", false},
          {"status4", "int", false}}},
        {"syslogins",
         31,
         true,
         {{"suid", "int", false},
          {"status", "smallint", false},
          {"accdate", "datetime", false},
          {"totcpu", "int", false},
          {"totio", "int", false},
          {"spacelimit", "int", false},
          {"timelimit", "int", false},
          {"resultlimit", "int", false},
          {"dbname", "sysname", true},
          {"name", "sysname", false},
          {"password", "varbinary(30)", true},
          {"language", "varchar(30)", true},
          {"pwdate", "datetime", true},
          {"audflags", "int", true},
          {"fullname", "varchar(30)", true},
          {"srvname", "varchar(30)", true},
          {"logincount", "smallint", true},
          {"procid", "int", true}}},
        {"sysdevices",
         35,
         true,
         {{"low", "int", false},
          {"high", "int", false},
          {"status", "smallint", false},
          {"cntrltype", "smallint", false},
          {"name", "sysname", false},
          {"phyname", "varchar(127)", false},
          {"mirrorname", "varchar(127)", true},
          {"vdevno", "int", true},
          {"crdate", "datetime", true},
          {"resizedate", "datetime", true},
          {"status2", "int", true}}},
        {"sysprocesses",
         38,
         true,
         {{"spid", "smallint", false},
          {"kpid", "int", false},
          {"enginenum", "int", false},
          {"status", "char(12)", false},
          {"suid", "int", false},
          {"hostname", "varchar(30)", true},
          {"program_name", "varchar(30)", true},
          {"hostprocess", "varchar(30)", true},
          {"cmd", "varchar(30)", false},
          {"cpu", "int", false},
          {"physical_io", "int", false},
          {"memusage", "int", false},
          {"blocked", "smallint", false},
          {"dbid", "smallint", false},
          {"uid", "int", false},
          {"gid", "int", false},
          {"tran_name", "varchar(64)", true},
          {"time_blocked", "int", true},
          {"network_pktsz", "int", true},
          {"fid", "smallint", true},
          {"execlass", "varchar(30)", true},
          {"priority", "varchar(10)", true},
          {"affinity", "varchar(30)", true},
          {"id", "int", true},
          {"stmtnum", "int", true},
          {"linenum", "int", true},
          {"origsuid", "int", true},
          {"block_xloid", "int", true},
          {"clientname", "varchar(30)", true},
          {"clienthostname", "varchar(30)", true},
          {"clientapplname", "varchar(30)", true},
          {"sys_id", "smallint", true},
          {"ses_id", "int", true},
          {"loggedindatetime", "datetime", true},
          {"ipaddr", "varchar(64)", true}}},
        {"spt_values",
         39,
         true,
         {{"name", "varchar(28)", true},
          {"number", "int", false},
          {"type", "char(2)", false},
          {"low", "int", true},
          {"high", "int", true},
          {"msgnum", "int", true}}},
    };
    return tables;
}

// Sybase's system types: name, usertype, type, length, variable, allownulls.
struct SysType {
    const char* name;
    int usertype, type, length, variable, allownulls, prec, scale;
};
const SysType kSysTypes[] = {
    {"char", 1, 47, 255, 0, 0, 0, 0},
    {"varchar", 2, 39, 255, 1, 0, 0, 0},
    {"binary", 3, 45, 255, 0, 0, 0, 0},
    {"varbinary", 4, 37, 255, 1, 0, 0, 0},
    {"tinyint", 5, 48, 1, 0, 0, 0, 0},
    {"smallint", 6, 52, 2, 0, 0, 0, 0},
    {"int", 7, 56, 4, 0, 0, 0, 0},
    {"float", 8, 62, 8, 0, 0, 0, 0},
    {"numeric", 10, 63, 35, 0, 0, 18, 0},
    {"money", 11, 60, 8, 0, 0, 0, 0},
    {"datetime", 12, 61, 8, 0, 0, 0, 0},
    {"intn", 13, 38, 4, 0, 1, 0, 0},
    {"floatn", 14, 109, 8, 0, 1, 0, 0},
    {"datetimn", 15, 111, 8, 0, 1, 0, 0},
    {"bit", 16, 50, 1, 0, 0, 0, 0},
    {"moneyn", 17, 110, 8, 0, 1, 0, 0},
    {"sysname", 18, 39, 30, 1, 0, 0, 0},
    {"text", 19, 35, 16, 0, 1, 0, 0},
    {"image", 20, 34, 16, 0, 1, 0, 0},
    {"smallmoney", 21, 122, 4, 0, 0, 0, 0},
    {"smalldatetime", 22, 58, 4, 0, 0, 0, 0},
    {"real", 23, 59, 4, 0, 0, 0, 0},
    {"nchar", 24, 47, 255, 0, 0, 0, 0},
    {"nvarchar", 25, 39, 255, 1, 0, 0, 0},
    {"decimal", 26, 55, 35, 0, 0, 18, 0},
    {"decimaln", 27, 106, 35, 0, 1, 18, 0},
    {"numericn", 28, 108, 35, 0, 1, 18, 0},
    {"bigint", 43, 191, 8, 0, 0, 0, 0},
    {"timestamp", 80, 37, 8, 1, 1, 0, 0},
};

std::string currentStamp(sqlite3* db) {
    Stmt st(db, "select strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime')");
    st.step();
    return st.s(0);
}

std::vector<NewColumn> newColumns(const SysTable& t) {
    std::vector<NewColumn> cols;
    for (const auto& c : t.columns) {
        std::string type = c.type;
        int a1 = -1, a2 = -1;
        auto paren = type.find('(');
        if (paren != std::string::npos)
            std::sscanf(type.c_str() + paren, "(%d,%d)", &a1, &a2);
        auto st = SqlType::fromName(type.substr(0, paren), a1, a2);
        NewColumn nc{c.name, st ? *st : SqlType::varchar(255), false, "", false};
        nc.type.nullable = c.nullable;
        cols.push_back(std::move(nc));
    }
    return cols;
}

std::string sqliteColumnSql(const NewColumn& c) {
    std::string s = quoteId(c.name) + " ";
    if (c.identity)
        return s + "INTEGER PRIMARY KEY AUTOINCREMENT";
    s += c.type.name();
    // Sybase compares strings as if their trailing blanks were not there.
    if (c.type.isCharacter())
        s += " COLLATE RTRIM";
    if (!c.type.nullable)
        s += " NOT NULL";
    if (!c.defaultSql.empty())
        s += " DEFAULT (" + c.defaultSql + ")";
    return s;
}

} // namespace

std::string quoteId(const std::string& name) {
    std::string r = "\"";
    for (char c : name) {
        if (c == '"')
            r += '"';
        r += c;
    }
    return r + "\"";
}

std::string quoteLiteral(const std::string& text) {
    std::string r = "'";
    for (char c : text) {
        if (c == '\'')
            r += '\'';
        r += c;
    }
    return r + "'";
}

void execSql(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "SQLite error";
        sqlite3_free(err);
        throw std::runtime_error(msg);
    }
}

int syscolumnsType(const SqlType& t) {
    bool n = t.nullable;
    switch (t.code) {
    case SqlType::TinyInt:
        return n ? 38 : 48;
    case SqlType::SmallInt:
        return n ? 38 : 52;
    case SqlType::Int:
        return n ? 38 : 56;
    case SqlType::BigInt:
        return n ? 38 : 191;
    case SqlType::Bit:
        return 50;
    case SqlType::Real:
        return n ? 109 : 59;
    case SqlType::Float:
        return n ? 109 : 62;
    case SqlType::Money:
        return n ? 110 : 60;
    case SqlType::SmallMoney:
        return n ? 110 : 122;
    case SqlType::DateTime:
        return n ? 111 : 61;
    case SqlType::SmallDateTime:
        return n ? 111 : 58;
    case SqlType::Numeric:
        return n ? 108 : 63;
    case SqlType::Decimal:
        return n ? 106 : 55;
    case SqlType::Char:
        return n ? 39 : 47;
    case SqlType::VarChar:
    case SqlType::Unknown:
        return 39;
    case SqlType::Binary:
        return n ? 37 : 45;
    case SqlType::VarBinary:
        return 37;
    case SqlType::Text:
        return 35;
    case SqlType::Image:
        return 34;
    }
    return 39;
}

SqlType typeFromSyscolumns(int type, int usertype, int length, int prec, int scale) {
    auto bySize = [&](SqlType::Code small, SqlType::Code big) {
        return SqlType::of(length == 4 ? small : big);
    };
    SqlType t;
    switch (type) {
    case 38:
        t = SqlType::of(length == 1   ? SqlType::TinyInt
                        : length == 2 ? SqlType::SmallInt
                        : length == 8 ? SqlType::BigInt
                                      : SqlType::Int);
        break;
    case 48:
        t = SqlType::of(SqlType::TinyInt);
        break;
    case 52:
        t = SqlType::of(SqlType::SmallInt);
        break;
    case 56:
        t = SqlType::of(SqlType::Int);
        break;
    case 191:
        t = SqlType::of(SqlType::BigInt);
        break;
    case 50:
        t = SqlType::of(SqlType::Bit);
        break;
    case 59:
        t = SqlType::of(SqlType::Real);
        break;
    case 62:
        t = SqlType::of(SqlType::Float);
        break;
    case 109:
        t = bySize(SqlType::Real, SqlType::Float);
        break;
    case 60:
        t = SqlType::of(SqlType::Money);
        break;
    case 122:
        t = SqlType::of(SqlType::SmallMoney);
        break;
    case 110:
        t = bySize(SqlType::SmallMoney, SqlType::Money);
        break;
    case 61:
        t = SqlType::of(SqlType::DateTime);
        break;
    case 58:
        t = SqlType::of(SqlType::SmallDateTime);
        break;
    case 111:
        t = bySize(SqlType::SmallDateTime, SqlType::DateTime);
        break;
    case 63:
    case 108:
    case 55:
    case 106:
        t = SqlType::of(type == 63 || type == 108 ? SqlType::Numeric : SqlType::Decimal,
                        prec > 0 ? prec : 18);
        t.scale = scale;
        break;
    case 47:
        t = SqlType::of(SqlType::Char, length);
        break;
    case 39:
        t = SqlType::of(usertype == 1 || usertype == 24 ? SqlType::Char : SqlType::VarChar, length);
        break;
    case 45:
        t = SqlType::of(SqlType::Binary, length);
        break;
    case 37:
        t = SqlType::of(usertype == 3 ? SqlType::Binary : SqlType::VarBinary, length);
        break;
    case 35:
        t = SqlType::of(SqlType::Text);
        break;
    case 34:
        t = SqlType::of(SqlType::Image);
        break;
    default:
        t = SqlType::varchar(255);
        break;
    }
    return t;
}

Catalog::Catalog(std::string dataDir) : m_dataDir(std::move(dataDir)) {}

void createSystemTables(sqlite3* db, const std::string& schema, bool master) {
    std::string q = quoteId(schema);
    for (const auto& t : systemTables()) {
        if (t.masterOnly && !master)
            continue;
        std::vector<NewColumn> cols = newColumns(t);
        // sysobjects and syscolumns must exist before any table is recorded in them.
        std::string ddl = "CREATE TABLE IF NOT EXISTS " + q + "." + quoteId(t.name) + " (";
        for (size_t i = 0; i < cols.size(); ++i)
            ddl += (i ? ", " : "") + sqliteColumnSql(cols[i]);
        execSql(db, ddl + ")");
    }
    // Key columns of indexes, in order; Sybase keeps them encoded in sysindexes.keys1.
    execSql(db, "CREATE TABLE IF NOT EXISTS " + q +
                    ".sim_indexkeys (id int, indid int, keyno int, colid int)");
    // Record them in the catalog once.
    Stmt have(db, "select count(*) from " + q + ".sysobjects");
    have.step();
    if (have.i(0) > 0)
        return;
    execSql(db, "CREATE INDEX IF NOT EXISTS " + q + ".sysobjects_name ON sysobjects(name)");
    execSql(db, "CREATE INDEX IF NOT EXISTS " + q + ".syscolumns_id ON syscolumns(id, colid)");
    execSql(db, "CREATE INDEX IF NOT EXISTS " + q + ".syscomments_id ON syscomments(id)");
    for (const auto& t : systemTables()) {
        if (t.masterOnly && !master)
            continue;
        createTable(db, schema, t.name, newColumns(t), "S", t.id);
    }
    for (const auto& t : kSysTypes) {
        Stmt ins(db, "insert into " + q +
                         ".systypes (uid, usertype, variable, allownulls, type, length, "
                         "tdefault, domain, name, prec, scale) values (1,?,?,?,?,?,0,0,?,?,?)");
        ins.bind(1, t.usertype).bind(2, t.variable).bind(3, t.allownulls).bind(4, t.type);
        ins.bind(5, t.length).bind(6, std::string(t.name)).bind(7, t.prec).bind(8, t.scale);
        ins.step();
    }
    execSql(db, "insert into " + q +
                    ".sysusers values (-2, 0, 0, 'public', null), (1, 1, 0, 'dbo', null), "
                    "(-1, 2, 0, 'guest', null)");
    execSql(db, "insert into " + q +
                    ".syssegments values (0, 'system', 0), (1, 'default', 1), "
                    "(2, 'logsegment', 0)");
}

int nextObjectId(sqlite3* db, const std::string& schema) {
    Stmt next(db, "select max(coalesce(max(id), 0) + 1, 1000000) from " + quoteId(schema) +
                      ".sysobjects");
    next.step();
    return int(next.i(0));
}

int addObject(sqlite3* db, const std::string& schema, const std::string& name,
              const std::string& objType, int fixedId, const ObjectOwner& owner) {
    int id = fixedId ? fixedId : nextObjectId(db, schema);
    std::string now = currentStamp(db);
    static const std::pair<const char*, int> sysstats[] = {{"S", 1}, {"V", 2}, {"U", 3}, {"P", 4},
                                                           {"D", 6}, {"R", 7}, {"TR", 8}};
    int sysstat = 0;
    for (auto [type, stat] : sysstats)
        if (objType == type)
            sysstat = stat;
    // sysobjects.type is char(2): one-letter codes are stored with their blank.
    std::string type = objType.size() < 2 ? objType + " " : objType;
    Stmt obj(db, "insert into " + quoteId(schema) +
                     ".sysobjects (name, id, uid, type, userstat, sysstat, indexdel, schemacnt, "
                     "sysstat2, crdate, expdate, deltrig, instrig, updtrig, seltrig, ckfirst, "
                     "cache, objspare, loginame) values (?, ?, ?, ?, 0, ?, 0, 0, 0, ?, ?, 0, 0, "
                     "0, 0, 0, 0, 0, ?)");
    obj.bind(1, name).bind(2, id).bind(3, owner.uid).bind(4, type).bind(5, sysstat);
    obj.bind(6, now).bind(7, now).bind(8, owner.login);
    obj.step();
    return id;
}

void addColumns(sqlite3* db, const std::string& schema, int id, int number,
                const std::vector<NewColumn>& columns) {
    for (size_t i = 0; i < columns.size(); ++i) {
        const auto& c = columns[i];
        int status = (c.type.nullable ? 0x08 : 0) | (c.identity ? 0x80 : 0) | (c.output ? 0x40 : 0);
        Stmt col(db, "insert into " + quoteId(schema) +
                         ".syscolumns (id, number, colid, status, type, length, offset, "
                         "usertype, cdefault, domain, name, prec, scale) values (?, ?, ?, ?, ?, "
                         "?, 0, ?, 0, 0, ?, ?, ?)");
        col.bind(1, id).bind(2, number).bind(3, int64_t(i + 1)).bind(4, status);
        col.bind(5, syscolumnsType(c.type)).bind(6, c.type.length);
        col.bind(7, c.userType ? c.userType : c.type.userType()).bind(8, c.name);
        if (c.type.code == SqlType::Numeric || c.type.code == SqlType::Decimal)
            col.bind(9, c.type.precision).bind(10, c.type.scale);
        col.step();
    }
}

void addComments(sqlite3* db, const std::string& schema, int id, const std::string& text) {
    // Source text in rows of at most 255 bytes that join back to exactly what was typed. As on
    // a 12.5 server, colid counts 1 to 255 and colid2 numbers the runs of 255 rows, so only
    // "order by colid2, colid" reads a longer text back in order.
    for (size_t at = 0, row = 0; at < text.size(); at += 255, ++row) {
        Stmt ins(db, "insert into " + quoteId(schema) +
                         ".syscomments (id, number, colid, texttype, language, text, colid2, "
                         "status) values (?, 1, ?, 0, 0, ?, ?, 0)");
        ins.bind(1, id).bind(2, int64_t(row % 255 + 1)).bind(3, text.substr(at, 255));
        ins.bind(4, int64_t(row / 255));
        ins.step();
    }
}

void dropObject(sqlite3* db, const std::string& schema, int id) {
    std::string q = quoteId(schema), ids = std::to_string(id);
    for (const char* table :
         {"syscolumns", "syscomments", "sysindexes", "sysprotects", "sim_indexkeys"})
        execSql(db, "delete from " + q + "." + table + " where id = " + ids);
    execSql(db, "delete from " + q + ".sysobjects where id = " + ids);
}

void addIndexRow(sqlite3* db, const std::string& schema, const std::string& name, int id, int indid,
                 int segment, int status, int keycnt) {
    Stmt row(db, "insert into " + quoteId(schema) +
                     ".sysindexes (name, id, indid, doampg, ioampg, oampgtrips, status2, "
                     "ipgtrips, first, root, distribution, usagecnt, segment, status, "
                     "maxrowsperpage, minlen, maxlen, maxirow, keycnt, soid, csid, "
                     "fill_factor, res_page_gap, crdate) values (?, ?, ?, 0, 0, 0, 0, 0, 0, 0, "
                     "0, 0, ?, ?, 0, 0, 0, 0, ?, 0, 0, 0, 0, ?)");
    row.bind(1, name).bind(2, id).bind(3, indid).bind(4, segment).bind(5, status);
    row.bind(6, keycnt).bind(7, currentStamp(db));
    row.step();
}

int createTable(sqlite3* db, const std::string& schema, const std::string& name,
                const std::vector<NewColumn>& columns, const std::string& objType, int fixedId,
                const ObjectOwner& owner) {
    if (!fixedId) {
        std::string ddl = "CREATE TABLE " + quoteId(schema) + "." + quoteId(name) + " (";
        for (size_t i = 0; i < columns.size(); ++i)
            ddl += (i ? ", " : "") + sqliteColumnSql(columns[i]);
        execSql(db, ddl + ")");
    }
    int id = addObject(db, schema, name, objType, fixedId, owner);
    addColumns(db, schema, id, 0, columns);
    // Every table has its data row in sysindexes: indid 0 until a clustered index makes it 1.
    addIndexRow(db, schema, name, id, 0, 1, 0, 0);
    return id;
}

void dropTable(sqlite3* db, const std::string& schema, const std::string& name, int id) {
    execSql(db, "DROP TABLE " + quoteId(schema) + "." + quoteId(name));
    // Its triggers go with it.
    std::vector<int> triggers;
    {
        Stmt st(db, "select id from " + quoteId(schema) +
                        ".sysobjects where type = 'TR' and deltrig = ?");
        st.bind(1, id);
        while (st.step())
            triggers.push_back(int(st.i(0)));
    }
    for (int trigger : triggers)
        dropObject(db, schema, trigger);
    dropObject(db, schema, id);
}

std::optional<TableInfo> lookupTable(sqlite3* db, const std::string& schema,
                                     const std::string& name) {
    std::string q = quoteId(schema);
    TableInfo t;
    {
        Stmt obj(db, "select id, type, uid from " + q +
                         ".sysobjects where name = ? and type in ('U', 'S', 'V')");
        obj.bind(1, name);
        if (!obj.step())
            return std::nullopt;
        t.id = int(obj.i(0));
        t.type = obj.s(1);
        t.uid = int(obj.i(2));
        while (!t.type.empty() && t.type.back() == ' ')
            t.type.pop_back();
    }
    t.db = schema;
    t.name = name;
    Stmt cols(db, "select name, type, usertype, length, prec, scale, status from " + q +
                      ".syscolumns where id = ? and number = 0 order by colid");
    cols.bind(1, t.id);
    while (cols.step()) {
        ColumnInfo c;
        c.name = cols.s(0);
        c.type = typeFromSyscolumns(int(cols.i(1)), int(cols.i(2)), int(cols.i(3)), int(cols.i(4)),
                                    int(cols.i(5)));
        int status = int(cols.i(6));
        c.type.nullable = (status & 0x08) != 0;
        c.identity = (status & 0x80) != 0;
        t.columns.push_back(std::move(c));
    }
    return t;
}

namespace {

std::string dbPath(const std::string& dir, const std::string& name) {
    return (std::filesystem::path(dir) / (name + ".db")).string();
}

sqlite3* openFile(const std::string& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(db);
        throw std::runtime_error(path + ": " + msg);
    }
    sqlite3_busy_timeout(db, 60000);
    execSql(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
    return db;
}

// Files of format 0 kept money as a real number of units; format 1 keeps ten-thousandths.
void upgradeMoney(sqlite3* db) {
    Stmt version(db, "PRAGMA user_version");
    version.step();
    if (version.i(0) >= 1)
        return;
    std::vector<std::pair<std::string, std::string>> columns;
    {
        Stmt st(db, "select o.name, c.name from sysobjects o, syscolumns c where c.id = o.id "
                    "and c.number = 0 and rtrim(o.type) = 'U' and c.type in (60, 110, 122)");
        while (st.step())
            columns.push_back({st.s(0), st.s(1)});
    }
    for (const auto& [table, column] : columns) {
        std::string c = quoteId(column);
        execSql(db, "UPDATE " + quoteId(table) + " SET " + c + " = CAST(round(" + c +
                        " * 10000) AS INTEGER) WHERE " + c + " IS NOT NULL");
    }
    execSql(db, "PRAGMA user_version = 1");
}

} // namespace

void Catalog::ensureDatabase(const std::string& name) {
    std::string path = dbPath(m_dataDir, name);
    sqlite3* db = openFile(path);
    try {
        execSql(db, "BEGIN IMMEDIATE");
        createSystemTables(db, "main", name == "master");
        upgradeMoney(db);
        execSql(db, "COMMIT");
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
}

bool Catalog::createDatabase(const std::string& name) {
    if (database(name))
        return false;
    ensureDatabase(name);
    sqlite3* db = openFile(dbPath(m_dataDir, "master"));
    try {
        Stmt next(db, "select max(dbid) + 1 from sysdatabases");
        next.step();
        int dbid = std::max<int>(4, int(next.i(0)));
        std::string now = currentStamp(db);
        Stmt ins(db, "insert into sysdatabases values (?, ?, 1, 0, 0, 1, 0, ?, ?, 0, 0, 0, 0, "
                     "0, null, null, 0, 0)");
        ins.bind(1, name).bind(2, dbid).bind(3, now).bind(4, now);
        ins.step();
        loadDatabases(db);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    return true;
}

void Catalog::dropDatabase(const std::string& name) {
    sqlite3* db = openFile(dbPath(m_dataDir, "master"));
    try {
        Stmt del(db, "delete from sysdatabases where name = ?");
        del.bind(1, name);
        del.step();
        loadDatabases(db);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(dbPath(m_dataDir, name) + suffix);
}

std::string Catalog::databasePath(const std::string& name) const {
    return dbPath(m_dataDir, name);
}

void Catalog::bootstrap(const std::string& saPassword) {
    std::filesystem::create_directories(m_dataDir);
    // tempdb starts empty at every start, as on a real server.
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(dbPath(m_dataDir, "tempdb") + suffix);
    for (const char* name : {"master", "model", "tempdb"})
        ensureDatabase(name);
    sqlite3* db = openFile(dbPath(m_dataDir, "master"));
    try {
        execSql(db, "BEGIN IMMEDIATE");
        Stmt count(db, "select count(*) from sysdatabases");
        count.step();
        if (count.i(0) == 0) {
            std::string now = currentStamp(db);
            int dbid = 1;
            for (const char* name : {"master", "tempdb", "model"}) {
                Stmt ins(db, "insert into sysdatabases values (?, ?, 1, 0, 0, 1, 0, ?, ?, 0, 0, "
                             "0, 0, 0, null, null, 0, 0)");
                ins.bind(1, std::string(name)).bind(2, dbid++).bind(3, now).bind(4, now);
                ins.step();
            }
            Stmt login(db, "insert into syslogins (suid, status, accdate, totcpu, totio, "
                           "spacelimit, timelimit, resultlimit, dbname, name, password, "
                           "language, pwdate) values (1, 0, ?, 0, 0, 0, 0, 0, 'master', 'sa', "
                           "?, 'us_english', ?)");
            login.bind(1, now).bind(2, saPassword).bind(3, now);
            login.step();
            // Devices as a pre-15 server numbers them: low = vdevno * 2^24 + first page. The
            // master device is kept at 1024 pages (2 MB of 2 KB pages), the size the device
            // dialog's own example works out. Status bits: 1 default disk, 2 physical disk,
            // 16 dump device, 32 serial writes, 64 mirrored, 512 mirror enabled; a dump device
            // has a controller type and no page range.
            struct Device {
                const char* name;
                int vdevno, pages, status, cntrltype;
                const char* file;
                const char* mirror;
            };
            const Device devices[] = {
                {"master", 0, 1024, 3, 0, "master.dat", nullptr},
                {"sysprocsdev", 1, 25600, 2, 0, "sysprocs.dat", nullptr},
                {"datadev", 2, 102400, 2 | 32 | 64 | 512, 0, "data.dat", "data_mirror.dat"},
                {"logdev", 3, 25600, 2, 0, "log.dat", nullptr},
                {"tapedump1", 0, 0, 16, 2, "/dev/nst0", nullptr},
            };
            for (const auto& d : devices) {
                int64_t low = int64_t(d.vdevno) << 24;
                Stmt dev(db, "insert into sysdevices (low, high, status, cntrltype, name, "
                             "phyname, mirrorname, vdevno, crdate) values (?, ?, ?, ?, ?, ?, ?, "
                             "?, ?)");
                std::string phy = d.file[0] == '/' ? d.file : m_dataDir + "/" + d.file;
                dev.bind(1, low).bind(2, d.pages ? low + d.pages - 1 : 0).bind(3, d.status);
                dev.bind(4, d.cntrltype).bind(5, std::string(d.name)).bind(6, phy);
                if (d.mirror)
                    dev.bind(7, m_dataDir + "/" + d.mirror);
                dev.bind(8, d.vdevno).bind(9, now);
                dev.step();
            }
            // spt_values: "E" rows describe the server (1: page size, 3: byte of the device
            // number within binary(4) of sysdevices.low), as the device queries read them.
            execSql(db, "insert into spt_values (name, number, type, low, high, msgnum) values "
                        "('PAGESIZE', 1, 'E', 2048, null, null), "
                        "('DEVICENUMBER', 3, 'E', 1, null, null), "
                        "('SERVER', 2, 'E', 1, null, null), "
                        "('YES OR NO', -1, 'B', null, null, null), "
                        "('NO', 0, 'B', null, null, null), ('YES', 1, 'B', null, null, null), "
                        "('select', 193, 'T', null, null, null), "
                        "('insert', 195, 'T', null, null, null), "
                        "('delete', 196, 'T', null, null, null), "
                        "('update', 197, 'T', null, null, null), "
                        "('execute', 224, 'T', null, null, null), "
                        "('references', 151, 'T', null, null, null)");
        }
        execSql(db, "COMMIT");
        loadDatabases(db);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    sqlite3_close(db);
    // Files of an older format are brought up to date before any session opens them.
    for (const auto& d : databases())
        ensureDatabase(d.name);
}

void Catalog::loadDatabases(sqlite3* master) {
    std::vector<DatabaseEntry> list;
    Stmt st(master, "select name, dbid from sysdatabases order by dbid");
    while (st.step())
        list.push_back({st.s(0), int(st.i(1)), 0});
    std::lock_guard lock(m_mutex);
    std::map<std::string, uint64_t> seen;
    for (auto& d : list) {
        auto it = m_incarnations.find(d.name);
        d.incarnation = it != m_incarnations.end() ? it->second : m_nextIncarnation++;
        seen[d.name] = d.incarnation;
    }
    m_incarnations = std::move(seen);
    m_databases = std::move(list);
}

std::vector<DatabaseEntry> Catalog::databases() const {
    std::lock_guard lock(m_mutex);
    return m_databases;
}

std::optional<DatabaseEntry> Catalog::database(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    for (const auto& d : m_databases)
        if (d.name == name)
            return d;
    return std::nullopt;
}

std::optional<DatabaseEntry> Catalog::databaseById(int dbid) const {
    std::lock_guard lock(m_mutex);
    for (const auto& d : m_databases)
        if (d.dbid == dbid)
            return d;
    return std::nullopt;
}

sqlite3* Catalog::openConnection() const {
    sqlite3* db = nullptr;
    // One thread owns a session's connection: SQLite's own locking would only cost time.
    if (sqlite3_open_v2(":memory:", &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open a connection");
    }
    sqlite3_busy_timeout(db, 60000);
    try {
        execSql(db, "ATTACH DATABASE " + quoteLiteral(databasePath("master")) + " AS master");
        // An attached file syncs on every commit unless told otherwise: an insert per batch
        // would wait for the disk each time. In WAL mode NORMAL loses nothing when the process
        // dies, only when the machine does.
        execSql(db, "PRAGMA master.synchronous=NORMAL");
        execSql(db, "PRAGMA temp_store=MEMORY");
        createSystemTables(db, "temp", false);
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
    return db;
}

} // namespace sim
