#include "session.h"
#include "compute.h"
#include "sqlite_util.h"
#include "text_pointer.h"

#include <sqlite3.h>
#include <utility>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <sys/socket.h>
#include <tuple>

namespace sim {

namespace {

constexpr size_t kMaxRequest = 64 * 1024 * 1024;

// An error that ends the whole batch (and any procedure running in it), not just a statement.
struct BatchAborted {};
constexpr int kMaxNesting = 16;

std::string lower(std::string s) {
    for (auto& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Fixed-size, NUL-padded login field followed by its length byte.
std::string loginField(const std::vector<uint8_t>& p, size_t at, size_t size) {
    size_t len = std::min<size_t>(p[at + size], size);
    return std::string(reinterpret_cast<const char*>(&p[at]), len);
}

std::string nowText() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S.000", &tm);
    return buf;
}

bool isMoney(const SqlType& t) {
    return t.code == SqlType::Money || t.code == SqlType::SmallMoney;
}

// Brings a value of type from to the variable's declared type, as an assignment does.
Value coerce(Value v, const SqlType& from, const SqlType& t) {
    if (v.isNull())
        return v;
    bool small = t.code == SqlType::SmallMoney;
    if (isMoney(t)) {
        int64_t m = 0;
        if (isMoney(from) && v.kind == Value::Integer)
            m = v.i;
        else if (v.kind == Value::Integer && v.i >= INT64_MIN / 10000 && v.i <= INT64_MAX / 10000)
            m = v.i * 10000;
        else if (auto p =
                     parseMoney(v.kind == Value::Real ? std::to_string(v.r) : v.asText(), small, m);
                 p == MoneyParse::NotNumber)
            throw SqlError::make(257, 16,
                                 "Implicit conversion from datatype 'VARCHAR' to 'MONEY' is not "
                                 "allowed.  Use the CONVERT function to run this query.");
        else if (p == MoneyParse::Overflow)
            throw SqlError::make(3606, 16, "Arithmetic overflow occurred.");
        if (!moneyFits(m, small))
            throw SqlError::make(3606, 16, "Arithmetic overflow occurred.");
        return Value::integer(m);
    }
    if (isMoney(from) && v.kind == Value::Integer)
        v = t.isCharacter() ? Value::text(formatMoney(v.i, 2)) : Value::real(double(v.i) / 10000.0);
    if (t.isInteger()) {
        if (v.kind == Value::Integer)
            return v;
        if (t.code == SqlType::Bit)
            return Value::integer(v.asReal() != 0);
        return Value::integer(v.kind == Value::Real ? int64_t(v.r) : v.asInteger());
    }
    if (t.isNumeric())
        return v.kind == Value::Text ? Value::real(v.asReal()) : v;
    if (t.isDateTime()) {
        std::string s = toStoredDateTime(v.asText());
        return s.empty() ? Value::null() : Value::text(s);
    }
    if (t.isCharacter()) {
        std::string s = v.asText();
        if (t.code != SqlType::Text && s.size() > size_t(t.length))
            s.resize(size_t(t.length));
        return Value::text(s);
    }
    if (t.isBinary())
        return Value::blob(v.asText());
    return v;
}

Value columnValue(sqlite3_stmt* st, int i) {
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
        return Value::integer(sqlite3_column_int64(st, i));
    case SQLITE_FLOAT:
        return Value::real(sqlite3_column_double(st, i));
    case SQLITE_TEXT:
        return Value::text(std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, i)),
                                       size_t(sqlite3_column_bytes(st, i))));
    case SQLITE_BLOB: {
        auto* p = static_cast<const char*>(sqlite3_column_blob(st, i));
        return Value::blob(std::string(p ? p : "", size_t(sqlite3_column_bytes(st, i))));
    }
    default:
        return Value::null();
    }
}

void bindValue(sqlite3_stmt* st, int i, const Value& v) {
    switch (v.kind) {
    case Value::Integer:
        sqlite3_bind_int64(st, i, v.i);
        break;
    case Value::Real:
        sqlite3_bind_double(st, i, v.r);
        break;
    case Value::Text:
        sqlite3_bind_text(st, i, v.s.data(), int(v.s.size()), SQLITE_TRANSIENT);
        break;
    case Value::Blob:
        sqlite3_bind_blob(st, i, v.s.data(), int(v.s.size()), SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_bind_null(st, i);
    }
}

// SQLite's own errors, as the nearest Sybase message.
SqlError fromSqlite(const std::string& msg, int line) {
    Message m;
    if (parseSybError(msg, m))
        return SqlError::make(m.number, m.severity, m.text, line);
    if (msg.rfind("NOT NULL constraint failed: ", 0) == 0) {
        std::string what = msg.substr(28);
        auto dot = what.rfind('.');
        std::string table = dot == std::string::npos ? what : what.substr(0, dot);
        std::string column = dot == std::string::npos ? what : what.substr(dot + 1);
        return SqlError::make(
            233, 16, "The column " + column + " in table " + table + " does not allow null values.",
            line);
    }
    if (msg.rfind("UNIQUE constraint failed", 0) == 0 ||
        msg.rfind("PRIMARY KEY constraint failed", 0) == 0)
        return SqlError::make(2601, 14, "Attempt to insert duplicate key row in object.", line);
    if (msg.rfind("no such table", 0) == 0)
        return SqlError::make(208, 16, msg.substr(15) + " not found.", line);
    if (msg.rfind("no such column", 0) == 0)
        return SqlError::make(207, 16, "Invalid column name '" + msg.substr(16) + "'.", line);
    return SqlError::make(7200, 16, msg, line);
}

// The row a result set shows for a value whose type the translator could not know.
SqlType typeOfValue(sqlite3_stmt* st, int i) {
    if (const char* decl = sqlite3_column_decltype(st, i)) {
        std::string d = decl;
        int a1 = -1, a2 = -1;
        auto p = d.find('(');
        if (p != std::string::npos)
            std::sscanf(d.c_str() + p, "(%d,%d)", &a1, &a2);
        if (auto t = SqlType::fromName(d.substr(0, p), a1, a2))
            return *t;
    }
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER: {
        int64_t v = sqlite3_column_int64(st, i);
        return SqlType::of(v > INT32_MAX || v < INT32_MIN ? SqlType::BigInt : SqlType::Int);
    }
    case SQLITE_FLOAT:
        return SqlType::of(SqlType::Float);
    case SQLITE_BLOB:
        return SqlType::of(SqlType::VarBinary, 255);
    case SQLITE_TEXT:
        return SqlType::varchar(std::clamp(sqlite3_column_bytes(st, i), 255, 16384));
    default:
        return SqlType::varchar(255);
    }
}

class StmtGuard {
public:
    explicit StmtGuard(sqlite3_stmt* st) : m_st(st) {}
    ~StmtGuard() { sqlite3_finalize(m_st); }
    StmtGuard(const StmtGuard&) = delete;
    StmtGuard& operator=(const StmtGuard&) = delete;
    sqlite3_stmt* get() const { return m_st; }

private:
    sqlite3_stmt* m_st;
};

} // namespace

struct Session::Proc {
    int id = 0;
    std::string name;
    std::string db;   // where it was found; empty for a system procedure run from elsewhere
    std::string home; // the database that holds it
    int uid = 1;      // its owner there
    std::vector<ast::StmtPtr> stmts; // keeps the tree alive
    const ast::Stmt* create = nullptr;
};

Session::Session(Server& server, int fd, int spid) : m_server(server), m_sock(fd), m_spid(spid) {
    m_sock.abortCheck = [this] {
        return m_killed.load();
    };
    m_loggedIn = nowText();
}

Session::~Session() {
    abandonWork();
    if (m_sqlite)
        sqlite3_close_v2(m_sqlite);
}

void Session::abandonWork() {
    // Once only: by the time the last reference goes, a new session may hold this spid, and
    // the gate with it.
    if (std::exchange(m_abandoned, true))
        return;
    if (m_sqlite && m_trancount > 0) {
        sqlite3_exec(m_sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        m_trancount = 0;
        m_server.catalog().schemaVersion++;
    }
    if (m_server.writeGate().heldBy(m_spid))
        m_server.writeGate().release(m_spid);
}

void Session::requestKill() {
    m_killed = true;
    m_server.writeGate().interrupt();
    ::shutdown(m_sock.fd(), SHUT_RDWR);
}

ProcessInfo Session::processInfo() const {
    std::lock_guard lock(m_infoMutex);
    ProcessInfo p;
    p.spid = m_spid;
    p.suid = m_suid;
    p.status = m_command == "AWAITING COMMAND" ? "recv sleep" : "running";
    p.hostname = m_host;
    p.program = m_program;
    p.hostprocess = m_hostProcess;
    p.command = m_command;
    p.loginName = m_user;
    p.loggedIn = m_loggedIn;
    p.dbid = databaseId(m_db);
    p.packetSize = int(m_sock.packetSize());
    p.killed = m_killed;
    return p;
}

bool Session::databaseExists(const std::string& name) const {
    auto entry = m_server.catalog().database(name);
    if (!entry)
        return false;
    // Naming a database attaches it to this connection; lookups stay const to callers.
    return const_cast<Session*>(this)->ensureAttached(*entry);
}

bool Session::ensureAttached(const DatabaseEntry& db) {
    if (!m_sqlite)
        return true;
    auto it = m_attached.find(db.name);
    if (it != m_attached.end() && it->second.incarnation == db.incarnation) {
        it->second.lastUse = ++m_useClock;
        return true;
    }
    auto detach = [&](const std::string& name) {
        if (sqlite3_exec(m_sqlite, ("DETACH DATABASE " + quoteId(name)).c_str(), nullptr, nullptr,
                         nullptr) != SQLITE_OK)
            return false;
        m_attached.erase(name);
        return true;
    };
    if (it != m_attached.end() && !detach(db.name)) // a dropped and re-made database
        return false;
    int limit = sqlite3_limit(m_sqlite, SQLITE_LIMIT_ATTACHED, -1);
    while (int(m_attached.size()) >= limit) {
        std::string victim;
        uint64_t oldest = UINT64_MAX;
        for (const auto& [name, a] : m_attached)
            if (name != "master" && name != m_db && a.lastUse < oldest &&
                !(m_frame && m_frame->db == name)) {
                oldest = a.lastUse;
                victim = name;
            }
        if (victim.empty() || !detach(victim))
            return false;
    }
    // Synced as the master file is (Catalog::openConnection).
    if (sqlite3_exec(m_sqlite,
                     ("ATTACH DATABASE " + quoteLiteral(m_server.catalog().databasePath(db.name)) +
                      " AS " + quoteId(db.name) + "; PRAGMA " + quoteId(db.name) +
                      ".synchronous=NORMAL")
                         .c_str(),
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    m_attached[db.name] = {db.incarnation, ++m_useClock};
    return true;
}

int Session::databaseId(const std::string& name) const {
    auto d = m_server.catalog().database(name);
    return d ? d->dbid : 0;
}

std::string Session::databaseName(int dbid) const {
    auto d = m_server.catalog().databaseById(dbid);
    return d ? d->name : std::string();
}

SqlType Session::declaredType(const ast::TypeName& t, int* userType, bool* allowsNull) {
    if (t.arg1 > SqlType::kMaxLength)
        throw typeTooLong(t);
    if (auto st = SqlType::fromName(t.name, t.arg1, t.arg2))
        return *st;
    // A user-defined type of the current database.
    Stmt st(m_sqlite, "select type, usertype, length, prec, scale, allownulls from " +
                          quoteId(currentDb()) + ".systypes where name = ? and usertype >= 100");
    st.bind(1, t.name);
    if (!st.step())
        throw SqlError::make(2715, 16, "Can't find type '" + t.name + "'.");
    SqlType type =
        typeFromSyscolumns(int(st.i(0)), int(st.i(1)), int(st.i(2)), int(st.i(3)), int(st.i(4)));
    if (userType)
        *userType = int(st.i(1));
    if (allowsNull)
        *allowsNull = st.i(5) != 0;
    return type;
}

std::string Session::currentDb() const {
    if (m_frame && !m_frame->db.empty())
        return m_frame->db;
    return m_db;
}

void Session::dropStaleCaches() {
    uint64_t v = m_server.catalog().schemaVersion.load();
    if (v != m_cacheVersion) {
        m_tableCache.clear();
        m_viewCache.clear();
        m_cacheVersion = v;
    }
}

std::optional<TableInfo> Session::table(const std::string& schema, const std::string& name) {
    dropStaleCaches();
    std::string key = schema + "\x01" + name;
    if (auto it = m_tableCache.find(key); it != m_tableCache.end())
        return it->second;
    auto t = lookupTable(m_sqlite, schema, name);
    if (t && schema != "temp")
        m_tableCache[key] = *t;
    return t;
}

const Variable* Session::variable(const std::string& name) const {
    if (!m_frame)
        return nullptr;
    auto it = m_frame->vars.find(name);
    return it == m_frame->vars.end() ? nullptr : &it->second;
}

std::optional<Variable> Session::global(const std::string& name) const {
    auto intVar = [](int64_t v) {
        return Variable{SqlType::of(SqlType::Int), Value::integer(v)};
    };
    auto text = [](const std::string& s, int len = 30) {
        return Variable{SqlType::varchar(len), Value::text(s)};
    };
    if (name == "rowcount")
        return intVar(m_rowcount);
    if (name == "error")
        return intVar(m_error);
    if (name == "spid")
        return Variable{SqlType::of(SqlType::SmallInt), Value::integer(m_spid)};
    if (name == "trancount")
        return intVar(m_trancount);
    if (name == "tranchained")
        return intVar(m_chained ? 1 : 0);
    if (name == "servername")
        return text(m_server.options().name);
    if (name == "version")
        return text(m_server.version(), 255);
    if (name == "nestlevel")
        return intVar(m_frame ? m_frame->depth : 0);
    if (name == "identity")
        return intVar(m_identity);
    if (name == "textsize")
        return intVar(m_textSize > 0 ? m_textSize : kDefaultTextSize);
    if (name == "language")
        return text("us_english");
    if (name == "client_csname" || name == "client_csexpansion")
        return text("utf8");
    if (name == "isolation")
        return intVar(1);
    if (name == "maxcharlen")
        return intVar(3);
    if (name == "max_connections")
        return intVar(m_server.options().maxConnections);
    if (name == "procid")
        return intVar(0);
    if (name == "sqlstatus")
        return intVar(0);
    if (name == "transtate")
        return intVar(m_trancount > 0 ? 1 : 0);
    if (name == "pagesize" || name == "maxpagesize")
        return intVar(2048);
    return std::nullopt;
}

// ---- connection life ----

void Session::run() {
    try {
        std::vector<uint8_t> payload;
        uint8_t type = m_sock.readMessage(payload, 64 * 1024);
        // A TDS 7 client probes first; closing makes FreeTDS fall back to TDS 5.0.
        if (type != kPacketLogin)
            return;
        if (!login(payload))
            return;
        serve();
    } catch (const ConnectionClosed&) {
    } catch (const Cancelled&) {
    } catch (const std::exception&) {
    }
    // Now, not when the last reference goes: a waiter for the gate gets it at once.
    abandonWork();
}

void Session::openDatabase() {
    m_sqlite = m_server.catalog().openConnection();
    if (auto master = m_server.catalog().database("master"))
        m_attached["master"] = {master->incarnation, 0};
    registerFunctions(m_sqlite, this);
    registerTextPointerFunctions(m_sqlite);
    // Long statements look at the socket now and then, so a cancel or kill stops them.
    sqlite3_progress_handler(
        m_sqlite, 20000,
        [](void* self) -> int {
            auto* s = static_cast<Session*>(self);
            if (s->m_killed)
                return 1;
            // Interrupting a statement inside a transaction would make SQLite roll back the
            // user's whole transaction: a cancel then waits for the statement's end (rows
            // being sent still stop at the next packet).
            if (s->m_trancount > 0)
                return 0;
            try {
                s->m_sock.pollAttention();
            } catch (...) {
                s->m_killed = true;
                return 1;
            }
            if (s->m_sock.attentionSeen()) {
                s->m_interrupted = true;
                return 1;
            }
            return 0;
        },
        this);
}

std::vector<Message> Session::runScript(const std::string& script, const std::string& db) {
    if (!m_sqlite) {
        m_user = "sa";
        m_program = "ostrim-simserver";
        openDatabase();
    }
    if (!databaseExists(db))
        throw std::runtime_error("database " + db + " cannot be opened");
    m_db = db;
    m_scriptErrors.clear();
    // Batches are separated by lines that hold only "go", as isql takes them.
    std::string batch;
    auto run = [&] {
        if (batch.find_first_not_of(" \t\r\n") != std::string::npos) {
            m_pending.reset();
            languageRequest(batch);
            m_pending.reset();
            m_sock.discardPending();
        }
        batch.clear();
    };
    size_t at = 0;
    while (at < script.size()) {
        size_t end = script.find('\n', at);
        std::string line =
            script.substr(at, end == std::string::npos ? std::string::npos : end - at + 1);
        at = end == std::string::npos ? script.size() : end + 1;
        std::string word;
        for (char c : line)
            if (!std::isspace(static_cast<unsigned char>(c)))
                word += char(std::tolower(static_cast<unsigned char>(c)));
        if (word == "go")
            run();
        else
            batch += line;
    }
    run();
    return m_scriptErrors;
}

bool Session::login(const std::vector<uint8_t>& p) {
    if (p.size() < 568)
        throw ConnectionClosed("short login record");
    {
        // Other sessions read these through the process list at any time.
        std::lock_guard lock(m_infoMutex);
        m_host = loginField(p, 0, 30);
        m_user = loginField(p, 31, 30);
        m_hostProcess = loginField(p, 93, 30);
        m_program = loginField(p, 140, 30);
    }
    std::string password = loginField(p, 62, 30);
    // The remote-password area holds the whole password, not cut to 30 bytes.
    size_t rempwLen = p[457];
    if (rempwLen >= 2 && rempwLen <= 255) {
        size_t serverLen = p[202];
        if (serverLen + 2 <= rempwLen) {
            size_t pwLen = p[203 + serverLen];
            if (204 + serverLen + pwLen <= 457 && serverLen + 2 + pwLen <= rempwLen)
                password.assign(reinterpret_cast<const char*>(&p[204 + serverLen]), pwLen);
        }
    }
    std::string packetText = loginField(p, 557, 6);
    int requested = std::atoi(packetText.c_str());
    size_t packetSize = requested <= 0 ? 2048 : size_t(std::clamp(requested, 512, 16384));

    openDatabase();

    bool ok = false;
    std::string defaultDb = "master";
    {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(m_sqlite,
                           "select password, dbname, suid from master.syslogins where name = ?", -1,
                           &st, nullptr);
        StmtGuard guard(st);
        sqlite3_bind_text(st, 1, m_user.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) {
            auto* pw = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            ok = password == (pw ? pw : "");
            if (auto* db = sqlite3_column_text(st, 1))
                defaultDb = reinterpret_cast<const char*>(db);
            std::lock_guard lock(m_infoMutex);
            m_suid = sqlite3_column_int(st, 2);
        }
    }
    Bytes& b = m_sock.out();
    auto loginAck = [&](uint8_t status) {
        const std::string program = "SQL Server";
        b.u8(kTokLoginAck);
        b.u16(uint16_t(10 + program.size()));
        b.u8(status);
        b.raw("\x05\x00\x00\x00", 4);
        b.u8(uint8_t(program.size()));
        b.raw(program);
        b.raw("\x0f\x07\x00\x00", 4); // 15.7.0.0
    };
    if (!ok) {
        Message m;
        m.number = 4002;
        m.severity = 14;
        m.text = "Login failed.\n";
        m.server = m_server.options().name;
        putEed(b, m, 0);
        loginAck(6);
        putDone(b, kTokDone, kDoneError, 0, 0);
        m_sock.finishReply();
        return false;
    }
    if (!databaseExists(defaultDb))
        defaultDb = "master";
    {
        std::lock_guard lock(m_infoMutex);
        m_db = defaultDb;
    }
    putEnvChange(b, 1, m_db, "");
    putEnvChange(b, 2, "us_english", "");
    putEnvChange(b, 3, "utf8", "");
    putEnvChange(b, 4, std::to_string(packetSize), "512");
    if (const std::string& notice = m_server.options().loginNotice; !notice.empty()) {
        Message m;
        m.number = 0;
        m.severity = 10;
        m.state = 1;
        m.text = notice;
        m.server = m_server.options().name;
        putEed(b, m, 0);
    }
    loginAck(5);
    // Answer the client's capabilities with its own bitmaps.
    if (p.size() >= 571 && p[568] == kTokCapability) {
        size_t len = size_t(p[569]) | (size_t(p[570]) << 8);
        if (571 + len <= p.size())
            b.raw(&p[568], 3 + len);
    }
    putDone(b, kTokDone, kDoneFinal, 0, 0);
    m_sock.finishReply();
    std::lock_guard lock(m_infoMutex);
    m_sock.setPacketSize(packetSize);
    return true;
}

void Session::serve() {
    std::vector<uint8_t> payload;
    for (;;) {
        setCommand("AWAITING COMMAND");
        uint8_t type = m_sock.readMessage(payload, kMaxRequest);
        if (m_killed)
            return;
        if (type == kPacketAttention) {
            // The reply was complete before the cancel arrived: still acknowledge it.
            putDone(m_sock.out(), kTokDone, kDoneAttn, 0, 0);
            m_sock.finishReply();
            continue;
        }
        if (type != kPacketNormal && type != kPacketBulk)
            throw ConnectionClosed("unexpected packet type");
        Reader r(payload.data(), payload.size());
        uint8_t tok = type == kPacketBulk ? 0 : r.u8();
        m_pending.reset();
        // A request that failed without a DONE of its own (an RPC refused before it ran) must
        // not mark the next request's first statement.
        m_statementFailed = false;
        m_sock.clearAttention();
        m_interrupted = false;
        try {
            if (type == kPacketBulk) {
                bulkRequest(payload);
            } else if (tok == kTokLanguage) {
                uint32_t len = r.u32();
                if (len < 1 || len - 1 > r.left())
                    throw ConnectionClosed("bad language token");
                bool hasParams = (r.u8() & 0x01) != 0;
                std::string sql = r.str(len - 1);
                if (hasParams)
                    parameterisedLanguage(sql, r);
                else
                    languageRequest(sql);
            } else if (tok == kTokDbRpc) {
                rpcRequest(r);
            } else if (tok == kTokDynamic) {
                dynamicRequest(r);
            } else if (tok == kTokLogout) {
                putDone(m_sock.out(), kTokDone, kDoneFinal, 0, 0);
                m_sock.finishReply();
                return;
            } else {
                // The message was read whole: the connection stays in step.
                refuseRequest("This server does not support requests of token " +
                              std::to_string(tok) + ".");
            }
            endReply();
        } catch (const Cancelled&) {
            if (m_killed)
                return;
            // Whole tokens only are in the buffer: send them, then the acknowledgement.
            if (m_pending)
                tokens();
            putDone(m_sock.out(), kTokDone, kDoneAttn, 0, 0);
            setCommand("AWAITING COMMAND");
            m_sock.finishReply();
        }
    }
}

void Session::setCommand(const char* command) {
    std::lock_guard lock(m_infoMutex);
    m_command = command;
}

void Session::endReply() {
    if (m_pending) {
        putDone(m_sock.out(), m_pending->token, m_pending->status, m_trancount > 0 ? 1 : 0,
                m_pending->count);
        m_pending.reset();
    } else {
        putDone(m_sock.out(), kTokDone, kDoneFinal, 0, 0);
    }
    if (m_sock.attentionSeen())
        throw Cancelled{};
    // Idle before the reply's end leaves: a client that has it may look at sysprocesses at once.
    setCommand("AWAITING COMMAND");
    m_sock.finishReply();
}

Bytes& Session::tokens() {
    if (m_pending) {
        putDone(m_sock.out(), m_pending->token, uint16_t(m_pending->status | kDoneMore),
                m_trancount > 0 ? 1 : 0, m_pending->count);
        m_pending.reset();
    }
    return m_sock.out();
}

void Session::statementDone(const Frame& f, uint16_t status, int32_t count) {
    tokens();
    if (m_statementFailed)
        status |= kDoneError;
    if (m_nocount)
        status &= uint16_t(~kDoneCount);
    if (m_trancount > 0)
        status |= kDoneInXact;
    m_pending = PendingDone{f.inProc ? kTokDoneInProc : kTokDone, status, count};
    m_statementFailed = false;
    m_sock.flushFull();
}

void Session::sendMessage(Message m, const Frame& f, int line) {
    m.server = m_server.options().name;
    if (f.inProc)
        m.proc = f.procName;
    if (line > 0)
        m.line = uint16_t(std::min(line, 65535));
    if (m_sock.fd() < 0 && m.severity > 10)
        m_scriptErrors.push_back(m);
    putEed(tokens(), m, m_trancount > 0 ? 1 : 0);
}

void Session::sendError(const SqlError& e, const Frame& f, int line) {
    sendMessage(e.message, f, e.message.line > 1 ? e.message.line : line);
    m_error = e.message.number;
    m_statementFailed = true;
}

void Session::languageRequest(const std::string& sql, const std::vector<Argument>& params) {
    {
        std::lock_guard lock(m_infoMutex);
        m_command = "LANGUAGE";
    }
    Frame batch;
    for (const auto& a : params)
        batch.vars[a.name] = Variable{a.wireType, a.value};
    m_frame = &batch;
    if (bulkStatement(sql, batch)) {
        m_frame = nullptr;
        return;
    }
    ast::ParseResult parsed = ast::parseBatch(sql);
    if (!parsed.ok) {
        SqlError e =
            SqlError::make(parsed.error.number, 15, parsed.error.message, parsed.error.line);
        sendError(e, batch, parsed.error.line);
        statementDone(batch, 0, 0);
        m_frame = nullptr;
        return;
    }
    if (m_parseonly) {
        // Only "set parseonly off" itself still runs.
        for (const auto& s : parsed.stmts)
            if (s->kind == ast::Stmt::Kind::SetOption)
                exec(*s, batch);
        m_frame = nullptr;
        return;
    }
    try {
        execList(parsed.stmts, batch);
    } catch (const BatchAborted&) {
    }
    m_frame = nullptr;
}

// ---- statements ----

Session::Flow Session::execList(const std::vector<ast::StmtPtr>& list, Frame& f) {
    for (const auto& s : list) {
        Flow flow = exec(*s, f);
        if (flow != Flow::Next)
            return flow;
    }
    return Flow::Next;
}

Session::Flow Session::exec(const ast::Stmt& s, Frame& f) {
    using K = ast::Stmt::Kind;
    m_sock.pollAttention();
    if (m_sock.attentionSeen())
        throw Cancelled{};
    {
        std::lock_guard lock(m_infoMutex);
        m_command = s.kind == K::Select   ? "SELECT"
                    : s.kind == K::Insert ? "INSERT"
                    : s.kind == K::Update ? "UPDATE"
                    : s.kind == K::Delete ? "DELETE"
                    : s.kind == K::Exec   ? "EXECUTE"
                                          : "LANGUAGE";
    }
    if (m_noexec && s.kind != K::SetOption) {
        return Flow::Next;
    }
    try {
        // Chained mode: the first statement that touches data opens the transaction.
        if (m_chained && m_trancount == 0 &&
            (s.kind == K::Insert || s.kind == K::Update || s.kind == K::Delete ||
             (s.kind == K::Select && !s.select->from.empty())))
            beginTransaction();
        switch (s.kind) {
        case K::Select:
            if (s.select->hasInto)
                execSelectInto(s, f);
            else
                execSelect(s, f);
            return Flow::Next;
        case K::Insert:
        case K::Update:
        case K::Delete:
        case K::Truncate:
            execDml(s, f);
            return Flow::Next;
        case K::CreateTable:
            execCreateTable(s, f);
            return Flow::Next;
        case K::CreateProcedure:
            execCreateProcedure(s, f);
            return Flow::Next;
        case K::Drop:
            execDrop(s, f);
            return Flow::Next;
        case K::Use:
            execUse(s, f);
            return Flow::Next;
        case K::SetOption:
        case K::SetValue:
            execSet(s, f);
            return Flow::Next;
        case K::Print:
            execPrint(s, f, false);
            return Flow::Next;
        case K::Raiserror:
            execPrint(s, f, true);
            return Flow::Next;
        case K::Waitfor:
            execWaitfor(s, f);
            return Flow::Next;
        case K::Declare:
            for (const auto& d : s.decls) {
                if (f.vars.count(d.name))
                    throw SqlError::make(134, 15,
                                         "The variable name '" + d.name +
                                             "' has already been declared. Variable names must "
                                             "be unique within a query batch or stored "
                                             "procedure.",
                                         s.line);
                f.vars[d.name] = Variable{declaredType(d.type), Value::null()};
            }
            return Flow::Next;
        case K::If: {
            bool c = condition(*s.args[0], f);
            if (c)
                return exec(*s.body[0], f);
            if (s.body.size() > 1 && s.body[1])
                return exec(*s.body[1], f);
            return Flow::Next;
        }
        case K::While:
            while (condition(*s.args[0], f)) {
                Flow flow = exec(*s.body[0], f);
                if (flow == Flow::Break)
                    break;
                if (flow == Flow::Return)
                    return flow;
                m_sock.pollAttention();
                if (m_sock.attentionSeen())
                    throw Cancelled{};
            }
            return Flow::Next;
        case K::Block:
            return execList(s.body, f);
        case K::Return:
            if (!s.args.empty() && s.args[0])
                f.returnStatus = int(evaluate(*s.args[0], f).asInteger());
            return Flow::Return;
        case K::Break:
            return Flow::Break;
        case K::Continue:
            return Flow::Continue;
        case K::BeginTran:
        case K::CommitTran:
        case K::RollbackTran:
        case K::SaveTran:
            execTransaction(s, f);
            return Flow::Next;
        case K::Exec: {
            std::vector<Argument> args;
            for (const auto& a : s.execArgs) {
                Argument arg;
                arg.name = a.name;
                arg.output = a.output;
                if (!a.value) {
                    arg.hasValue = false;
                } else {
                    arg.value = evaluate(*a.value, f, &arg.wireType);
                    if (a.output && a.value->kind == ast::Expr::Kind::Variable)
                        arg.callerVar = a.value->text;
                }
                args.push_back(std::move(arg));
            }
            callProcedure(s.table, args, f, s.line, s.returnVar);
            return Flow::Next;
        }
        case K::Readtext:
        case K::Writetext:
            execTextCommand(s, f);
            return Flow::Next;
        case K::Kill:
            execKill(s, f);
            return Flow::Next;
        case K::CreateView:
            execCreateView(s, f);
            return Flow::Next;
        case K::CreateTrigger:
            execCreateTrigger(s, f);
            return Flow::Next;
        case K::CreateIndex:
            execCreateIndex(s, f);
            return Flow::Next;
        case K::CreateRule:
        case K::CreateDefault:
            execCreateRuleOrDefault(s, f);
            return Flow::Next;
        case K::CreateDatabase:
            execCreateDatabase(s, f);
            return Flow::Next;
        case K::Grant:
        case K::Revoke:
            execGrant(s, f);
            return Flow::Next;
        }
    } catch (const SqlError& e) {
        sendError(e, f, s.line);
        statementDone(f, 0, 0);
        // Arithmetic errors end the batch unless "arithabort arith_overflow" is off.
        int n = e.message.number;
        if (m_arithAbort && (n == 3606 || n == 3607))
            throw BatchAborted{};
    }
    return Flow::Next;
}

sqlite3_stmt* Session::prepare(const Translation& t) {
    if (t.readsProcesses)
        refreshProcesses();
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(m_sqlite, t.sql.c_str(), int(t.sql.size()), &st, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(m_sqlite);
        sqlite3_finalize(st);
        throw fromSqlite(msg, 1);
    }
    for (size_t i = 0; i < t.params.size(); ++i)
        bindValue(st, int(i + 1), t.params[i]);
    return st;
}

int Session::stepChecked(sqlite3_stmt* st) {
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        return rc;
    // Some failures make SQLite roll the whole transaction back: the session must know.
    if (m_trancount > 0 && sqlite3_get_autocommit(m_sqlite)) {
        m_trancount = 0;
        releaseWriteIfIdle();
        Message m;
        m.number = 3998;
        m.severity = 16;
        m.text = "Uncommittable transaction is detected at the end of the batch. The transaction "
                 "is rolled back.\n";
        if (m_frame)
            sendMessage(m, *m_frame, 1);
    }
    if (rc == SQLITE_INTERRUPT || m_killed || m_interrupted) {
        if (m_killed)
            throw ConnectionClosed("killed");
        throw Cancelled{};
    }
    throw fromSqlite(sqlite3_errmsg(m_sqlite), 1);
}

Value Session::evaluate(const ast::Expr& e, Frame& f, SqlType* type) {
    Frame* saved = m_frame;
    m_frame = &f;
    Translation t = translateScalar(e, *this);
    m_frame = saved;
    StmtGuard st(prepare(t));
    Value v;
    if (stepChecked(st.get()) == SQLITE_ROW)
        v = columnValue(st.get(), 0);
    if (type)
        *type = t.columns[0].known ? t.columns[0].type : typeOfValue(st.get(), 0);
    return v;
}

bool Session::condition(const ast::Expr& e, Frame& f) {
    Value v = evaluate(e, f);
    return !v.isNull() && v.asReal() != 0;
}

void Session::execSelect(const ast::Stmt& s, Frame& f) {
    const ast::Select& sel = *s.select;
    bool assigns = false, retrieves = false;
    for (const auto& it : sel.items)
        (it.assignVar.empty() ? retrieves : assigns) = true;
    if (assigns && retrieves)
        throw SqlError::make(141, 15,
                             "A SELECT statement that assigns a value to a variable must not be "
                             "combined with data-retrieval operations.",
                             s.line);
    m_frame = &f;
    Translation t = translateSelect(sel, *this, !assigns);
    auto started = std::chrono::steady_clock::now();
    if (m_showplan) {
        Message m;
        m.number = 6201;
        m.text = "QUERY PLAN FOR STATEMENT 1 (at line " + std::to_string(s.line) + ").\n";
        sendMessage(m, f, s.line);
        m.number = 6202;
        m.text = "\n    STEP 1\n";
        sendMessage(m, f, s.line);
        m.number = 6203;
        m.text = "        The type of query is SELECT.\n";
        sendMessage(m, f, s.line);
    }
    StmtGuard st(prepare(t));
    int rc = stepChecked(st.get());
    int64_t rows = 0;
    if (assigns) {
        std::vector<Variable*> targets;
        for (const auto& it : sel.items) {
            auto v = f.vars.find(it.assignVar);
            if (v == f.vars.end())
                throw SqlError::make(137, 15, "Must declare variable '" + it.assignVar + "'.",
                                     s.line);
            targets.push_back(&v->second);
        }
        for (; rc == SQLITE_ROW; rc = stepChecked(st.get())) {
            for (size_t i = 0; i < targets.size(); ++i)
                targets[i]->value =
                    coerce(columnValue(st.get(), int(i)), t.columns[i].type, targets[i]->type);
            ++rows;
        }
        m_rowcount = rows;
        m_error = 0;
        statementDone(f, kDoneCount, int32_t(rows));
        return;
    }
    // Column formats, with types of the first row where the query did not tell.
    std::vector<SqlType> types;
    Bytes& b = tokens();
    b.u8(kTokRowFmt);
    size_t lenAt = b.size();
    b.u16(0);
    b.u16(uint16_t(t.columns.size()));
    for (size_t i = 0; i < t.columns.size(); ++i) {
        SqlType type = t.columns[i].known ? t.columns[i].type : typeOfValue(st.get(), int(i));
        if (type.code == SqlType::Unknown)
            type = SqlType::varchar(255);
        types.push_back(type);
        b.bvarchar(t.columns[i].name);
        b.u8(type.nullable ? 0x20 : 0x00);
        putTypeInfo(b, type);
        b.u8(0); // locale
    }
    b.patchU16(lenAt, uint16_t(b.size() - lenAt - 2));
    std::optional<ComputeRows> computes;
    if (!sel.computes.empty()) {
        computes.emplace(sel.computes, types);
        computes->putFormats(b);
    }
    // Under fmtonly the client learns the formats only.
    if (m_fmtOnly)
        rc = SQLITE_DONE;
    const size_t textSize = size_t(m_textSize > 0 ? m_textSize : kDefaultTextSize);
    const int ncols = int(types.size());
    std::vector<Value> row(static_cast<size_t>(ncols));
    for (; rc == SQLITE_ROW; rc = stepChecked(st.get())) {
        if (m_rowLimit > 0 && rows >= m_rowLimit)
            break;
        for (int i = 0; i < ncols; ++i) {
            Value& v = row[size_t(i)];
            switch (sqlite3_column_type(st.get(), i)) {
            case SQLITE_INTEGER:
                v.kind = Value::Integer;
                v.i = sqlite3_column_int64(st.get(), i);
                break;
            case SQLITE_FLOAT:
                v.kind = Value::Real;
                v.r = sqlite3_column_double(st.get(), i);
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                v.kind =
                    sqlite3_column_type(st.get(), i) == SQLITE_TEXT ? Value::Text : Value::Blob;
                auto* p = static_cast<const char*>(sqlite3_column_blob(st.get(), i));
                size_t n = size_t(sqlite3_column_bytes(st.get(), i));
                const SqlType::Code code = types[size_t(i)].code;
                if (code == SqlType::Text || code == SqlType::Image)
                    n = std::min(n, textSize);
                v.s.assign(p ? p : "", n);
                break;
            }
            default:
                v.kind = Value::Null;
            }
            if (!fitsType(types[size_t(i)], v))
                throw SqlError::make(3606, 16, "Arithmetic overflow occurred.", s.line);
        }
        if (computes)
            computes->beforeRow(b, row);
        b.u8(kTokRow);
        for (int i = 0; i < ncols; ++i) {
            const ResultColumn& c = t.columns[size_t(i)];
            const Value& v = row[size_t(i)];
            if (c.rowidColumn >= 0 && (v.kind == Value::Text || v.kind == Value::Blob)) {
                auto* p = static_cast<const char*>(sqlite3_column_blob(st.get(), i));
                std::string_view whole(p ? p : "", size_t(sqlite3_column_bytes(st.get(), i)));
                putTextValue(b, {c.tableId, c.colid, sqlite3_column_int64(st.get(), c.rowidColumn)},
                             whole, v.s);
            } else {
                putValue(b, types[size_t(i)], v);
            }
        }
        if (computes)
            computes->add(row);
        ++rows;
        m_sock.flushFull();
    }
    if (computes && !m_fmtOnly)
        computes->finish(b);
    m_rowcount = rows;
    m_error = 0;
    statementDone(f, kDoneCount, int32_t(std::min<int64_t>(rows, INT32_MAX)));
    if (m_statIo || m_statTime) {
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
        std::string table = sel.from.empty() ? "" : sel.from[0].table.name;
        sendStatistics(f, s.line, micros, table);
    }
}

void Session::sendStatistics(const Frame& f, int line, long long micros, const std::string& table) {
    Message m;
    if (m_statIo) {
        if (!table.empty()) {
            m.number = 3615;
            m.text = "Table: " + table +
                     " scan count 1, logical reads: (regular=1 apf=0 total=1), physical reads: "
                     "(regular=0 apf=0 total=0), apf IOs used=0\n";
            sendMessage(m, f, line);
        }
        m.number = 3614;
        m.text = "Total writes for this command: 0\n";
        sendMessage(m, f, line);
    }
    if (m_statTime) {
        m.number = 3612;
        m.text = "Execution Time 0.\nSQL Server cpu time: 0 ms.  SQL Server elapsed time: " +
                 std::to_string(micros / 1000) + " ms.\n";
        sendMessage(m, f, line);
    }
}

void Session::requireWrite() {
    if (m_server.writeGate().heldBy(m_spid))
        return;
    bool got = m_server.writeGate().acquire(m_spid, m_killed, [this] {
        if (m_killed)
            return true;
        try {
            m_sock.pollAttention();
        } catch (...) {
            m_killed = true;
        }
        return m_killed || m_sock.attentionSeen();
    });
    if (!got) {
        if (m_killed)
            throw ConnectionClosed("killed");
        throw Cancelled{};
    }
}

void Session::releaseWriteIfIdle() {
    if (m_trancount == 0 && m_server.writeGate().heldBy(m_spid))
        m_server.writeGate().release(m_spid);
}

// Runs catalog-changing work atomically; inside a user transaction it joins that one.
void Session::inTransaction(const std::function<void()>& work) {
    requireWrite();
    bool own = m_trancount == 0;
    try {
        if (own)
            execSql(m_sqlite, "BEGIN");
        work();
        if (own)
            execSql(m_sqlite, "COMMIT");
    } catch (const std::runtime_error& e) {
        if (own)
            sqlite3_exec(m_sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        releaseWriteIfIdle();
        throw fromSqlite(e.what(), 1);
    } catch (...) {
        if (own)
            sqlite3_exec(m_sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        releaseWriteIfIdle();
        throw;
    }
    m_server.catalog().schemaVersion++;
    releaseWriteIfIdle();
}

void Session::execDml(const ast::Stmt& s, Frame& f) {
    using K = ast::Stmt::Kind;
    m_frame = &f;
    Translation t;
    if (s.kind == K::Insert) {
        t = translateInsert(s, *this);
    } else if (s.kind == K::Update) {
        t = translateUpdate(s, *this);
    } else if (s.kind == K::Delete) {
        t = translateDelete(s, *this);
    } else {
        std::string schema, name;
        std::tie(schema, name) = resolveObject(s.table, *this);
        auto info = table(schema, name);
        if (!info)
            throw SqlError::make(208, 16, name + " not found.", s.line);
        requireAccess(*info, Access::Truncate, moduleOwner(), s.line);
        t.sql = "DELETE FROM " + quoteId(schema) + "." + quoteId(name);
    }
    auto started = std::chrono::steady_clock::now();
    requireWrite();
    int64_t changes = 0;
    try {
        StmtGuard st(prepare(t));
        while (stepChecked(st.get()) == SQLITE_ROW) {
        }
        changes = sqlite3_changes64(m_sqlite);
        if (s.kind == K::Insert)
            m_identity = sqlite3_last_insert_rowid(m_sqlite);
    } catch (...) {
        releaseWriteIfIdle();
        throw;
    }
    releaseWriteIfIdle();
    m_rowcount = s.kind == K::Truncate ? 0 : changes;
    m_error = 0;
    statementDone(f, s.kind == K::Truncate ? 0 : kDoneCount, int32_t(m_rowcount));
    if (m_statIo || m_statTime) {
        auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::steady_clock::now() - started)
                          .count();
        sendStatistics(f, s.line, micros, s.table.name);
    }
}

void Session::execSelectInto(const ast::Stmt& s, Frame& f) {
    m_frame = &f;
    std::string schema, name;
    std::tie(schema, name) = resolveObject(s.select->into, *this);
    if (table(schema, name))
        throw SqlError::make(
            2714, 16, "There is already an object named '" + name + "' in the database.", s.line);
    Translation t = translateSelect(*s.select, *this);
    std::vector<NewColumn> cols;
    {
        StmtGuard probe(prepare(t));
        for (size_t i = 0; i < t.columns.size(); ++i) {
            const auto& c = t.columns[i];
            if (c.name.empty())
                throw SqlError::make(1038, 15,
                                     "Cannot create a table with a column that has no name. Use "
                                     "a column heading in the select list.",
                                     s.line);
            SqlType type = c.known ? c.type : typeOfValue(probe.get(), int(i));
            if (type.code == SqlType::Unknown)
                type = SqlType::varchar(255);
            type.nullable = true;
            cols.push_back({c.name, type, false, "", false});
        }
    }
    int64_t rows = 0;
    inTransaction([&] {
        createTable(m_sqlite, schema, name, cols, "U", 0, ownerIn(schema));
        std::string colList;
        for (const auto& c : cols)
            colList += (colList.empty() ? "" : ", ") + quoteId(c.name);
        Translation ins = t;
        ins.sql =
            "INSERT INTO " + quoteId(schema) + "." + quoteId(name) + " (" + colList + ") " + t.sql;
        StmtGuard st(prepare(ins));
        while (stepChecked(st.get()) == SQLITE_ROW) {
        }
        rows = sqlite3_changes64(m_sqlite);
    });
    m_rowcount = rows;
    m_error = 0;
    statementDone(f, kDoneCount, int32_t(rows));
}

void Session::execCreateTable(const ast::Stmt& s, Frame& f) {
    std::string schema, name;
    std::tie(schema, name) = resolveObject(s.table, *this);
    if (name.size() > 255)
        throw SqlError::make(103, 15,
                             "The identifier that starts with '" + name.substr(0, 30) +
                                 "' is too long. Maximum length is 255.");
    if (table(schema, name))
        throw SqlError::make(
            2714, 16, "There is already an object named '" + name + "' in the database.", s.line);
    std::vector<NewColumn> cols;
    for (const auto& d : s.columnDefs) {
        for (const auto& c : cols)
            if (lower(c.name) == lower(d.name))
                throw SqlError::make(2705, 16,
                                     "Column names in each table must be unique. Column name '" +
                                         d.name + "' in table '" + name +
                                         "' is specified more than once.",
                                     s.line);
        NewColumn c;
        c.name = d.name;
        bool typeAllowsNull = false;
        c.type = declaredType(d.type, &c.userType, &typeAllowsNull);
        // Sybase columns refuse NULL unless declared (or their user type) takes it; bit never.
        c.type.nullable = (d.nullability > 0 || (d.nullability == 0 && typeAllowsNull)) &&
                          c.type.code != SqlType::Bit;
        if (c.type.code == SqlType::Text || c.type.code == SqlType::Image)
            c.type.nullable = d.nullability >= 0;
        c.identity = d.identity;
        c.primaryKey = d.primaryKey;
        if (d.defaultValue) {
            m_frame = &f;
            Translation dt = translateScalar(*d.defaultValue, *this);
            if (!dt.params.empty())
                throw SqlError::make(102, 15, "Incorrect syntax near '@'.", s.line);
            c.defaultSql = dt.sql.substr(7); // drop "SELECT "
            if (isMoney(c.type)) {
                // A money column holds ten-thousandths: the default is worked out now.
                SqlType from;
                Value v = coerce(evaluate(*d.defaultValue, f, &from), from, c.type);
                c.defaultSql = v.isNull()         ? "NULL"
                               : v.i == INT64_MIN ? "(-9223372036854775807 - 1)"
                                                  : std::to_string(v.i);
            }
        }
        cols.push_back(std::move(c));
    }
    ObjectOwner owner = ownerIn(schema);
    inTransaction([&] { createTable(m_sqlite, schema, name, cols, "U", 0, owner); });
    m_error = 0;
    m_rowcount = 0;
    statementDone(f, 0, 0);
}

void Session::execDrop(const ast::Stmt& s, Frame& f) {
    static const std::pair<const char*, const char*> codes[] = {{"table", "U"}, {"procedure", "P"},
                                                                {"view", "V"},  {"trigger", "TR"},
                                                                {"rule", "R"},  {"default", "D"}};
    std::string wanted;
    for (auto [kind, code] : codes)
        if (s.name == kind)
            wanted = code;
    for (const auto& n : s.names) {
        if (s.name == "index") {
            dropIndex(n, s.line);
            continue;
        }
        if (s.name == "database") {
            dropDatabase(n.name, s.line);
            continue;
        }
        std::string schema, name;
        std::tie(schema, name) = resolveObject(n, *this);
        std::string type;
        int id = objectId(schema, name, &type);
        if (!id || type != wanted)
            throw SqlError::make(3701, 11,
                                 "Cannot drop the " + s.name + " '" + name +
                                     "', because it doesn't exist in the system catalogs.",
                                 s.line);
        inTransaction([&] {
            if (wanted == "U") {
                dropTable(m_sqlite, schema, name, id);
                return;
            }
            dropObject(m_sqlite, schema, id);
            if (wanted == "TR") // the table no longer names it
                for (const char* column : {"instrig", "updtrig", "deltrig"})
                    execSql(m_sqlite, "update " + quoteId(schema) + ".sysobjects set " + column +
                                          " = 0 where " + column + " = " + std::to_string(id));
        });
    }
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::execCreateProcedure(const ast::Stmt& s, Frame& f) {
    std::string schema, name;
    std::tie(schema, name) = resolveObject(s.table, *this);
    {
        sqlite3_stmt* st = nullptr;
        std::string q = "select 1 from " + quoteId(schema) + ".sysobjects where name = ?";
        sqlite3_prepare_v2(m_sqlite, q.c_str(), -1, &st, nullptr);
        StmtGuard g(st);
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW)
            throw SqlError::make(2714, 16,
                                 "There is already an object named '" + name + "' in the database.",
                                 s.line);
    }
    std::vector<NewColumn> params;
    for (const auto& p : s.params) {
        NewColumn c;
        c.name = p.name;
        c.type = declaredType(p.type, &c.userType);
        c.type.nullable = true;
        c.output = p.output;
        params.push_back(std::move(c));
    }
    ObjectOwner owner = ownerIn(schema);
    inTransaction([&] {
        int id = addObject(m_sqlite, schema, name, "P", 0, owner);
        addColumns(m_sqlite, schema, id, 1, params);
        addComments(m_sqlite, schema, id, s.sourceText);
    });
    m_error = 0;
    statementDone(f, 0, 0);
}

std::shared_ptr<Session::Proc> Session::loadProcedure(const ast::ObjectName& n, int line) {
    std::string schema, name;
    std::tie(schema, name) = resolveObject(n, *this);
    int uid = 1;
    auto find = [&](const std::string& db) {
        std::string text;
        int id = 0;
        sqlite3_stmt* st = nullptr;
        std::string q = "select o.id, c.text, o.uid from " + quoteId(db) + ".sysobjects o join " +
                        quoteId(db) +
                        ".syscomments c on c.id = o.id where o.name = ? and o.type = 'P ' "
                        "order by c.colid2, c.colid";
        if (sqlite3_prepare_v2(m_sqlite, q.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            return std::make_pair(0, text);
        }
        StmtGuard g(st);
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            id = sqlite3_column_int(st, 0);
            if (auto* p = sqlite3_column_text(st, 1))
                text += reinterpret_cast<const char*>(p);
            uid = sqlite3_column_int(st, 2);
        }
        return std::make_pair(id, text);
    };
    auto [id, text] = find(schema);
    std::string foundIn = schema, home = schema;
    // System procedures are found from every database and run in the caller's.
    if (!id && name.rfind("sp_", 0) == 0 && schema != "master") {
        std::tie(id, text) = find("master");
        foundIn.clear();
        home = "master";
    }
    if (!id)
        throw SqlError::make(2812, 16,
                             "Stored procedure '" + name +
                                 "' not found. Specify owner.objectname "
                                 "or use sp_help to check whether the "
                                 "object exists (sp_help may produce "
                                 "lots of output).",
                             line);
    auto proc = std::make_shared<Proc>();
    proc->id = id;
    proc->name = name;
    proc->db = foundIn;
    proc->home = home;
    proc->uid = uid;
    ast::ParseResult parsed = ast::parseBatch(text);
    if (!parsed.ok || parsed.stmts.empty() ||
        parsed.stmts[0]->kind != ast::Stmt::Kind::CreateProcedure)
        throw SqlError::make(2812, 16, "Stored procedure '" + name + "' cannot be read.", line);
    proc->stmts = std::move(parsed.stmts);
    proc->create = proc->stmts[0].get();
    return proc;
}

void Session::callProcedure(const ast::ObjectName& name, std::vector<Argument>& args, Frame& caller,
                            int line, const std::string& returnVar) {
    if (caller.depth >= kMaxNesting)
        throw SqlError::make(217, 16, "Maximum stored procedure nesting level exceeded (limit 16).",
                             line);
    auto proc = loadProcedure(name, line);
    // Every user may run the system procedures; what they may do is theirs to check.
    if (proc->home != "master" || proc->name.rfind("sp_", 0) != 0)
        requireAccess(proc->home, proc->id, proc->uid, proc->name, Access::Execute, caller.chain,
                      line);
    const ast::Stmt& def = *proc->create;
    Frame frame;
    frame.inProc = true;
    frame.procName = proc->name;
    frame.db = proc->db;
    frame.chain = ChainOwner{proc->home, proc->uid};
    frame.depth = caller.depth + 1;
    std::vector<int> paramOfArg(args.size(), -1);
    size_t positional = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        int idx = -1;
        if (args[i].name.empty()) {
            idx = positional < def.params.size() ? int(positional) : -1;
            ++positional;
        } else {
            for (size_t k = 0; k < def.params.size(); ++k)
                if (def.params[k].name == args[i].name)
                    idx = int(k);
        }
        if (idx < 0)
            throw SqlError::make(
                8144, 16, "Procedure " + proc->name + " has too many arguments specified.", line);
        paramOfArg[i] = idx;
    }
    for (size_t k = 0; k < def.params.size(); ++k) {
        const auto& p = def.params[k];
        Variable v{declaredType(p.type), Value::null()};
        v.type.nullable = true;
        int argIndex = -1;
        for (size_t i = 0; i < args.size(); ++i)
            if (paramOfArg[i] == int(k))
                argIndex = int(i);
        if (argIndex >= 0 && args[size_t(argIndex)].hasValue) {
            v.value = coerce(args[size_t(argIndex)].value, args[size_t(argIndex)].wireType, v.type);
        } else if (p.defaultValue) {
            SqlType from;
            Value d = evaluate(*p.defaultValue, frame, &from);
            v.value = coerce(d, from, v.type);
        } else {
            throw SqlError::make(201, 16,
                                 "Procedure " + proc->name + " expects parameter " + p.name +
                                     ", which was not supplied.",
                                 line);
        }
        frame.vars[p.name] = v;
    }
    Frame* saved = m_frame;
    m_frame = &frame;
    try {
        execList(def.body, frame);
    } catch (...) {
        m_frame = saved;
        throw;
    }
    m_frame = saved;
    Bytes& b = tokens();
    b.u8(kTokReturnStatus);
    b.u32(uint32_t(frame.returnStatus));
    // Output parameters go back to the caller: as tokens, and into its variables.
    std::vector<std::pair<size_t, int>> outs;
    for (size_t i = 0; i < args.size(); ++i)
        if (args[i].output && def.params[size_t(paramOfArg[i])].output)
            outs.push_back({i, paramOfArg[i]});
    if (!outs.empty()) {
        b.u8(kTokParamFmt);
        size_t lenAt = b.size();
        b.u16(0);
        b.u16(uint16_t(outs.size()));
        for (auto [argIndex, p] : outs) {
            const Variable& v = frame.vars[def.params[size_t(p)].name];
            SqlType t = v.type;
            t.nullable = true;
            b.bvarchar(def.params[size_t(p)].name);
            b.u8(0x01);
            putTypeInfo(b, t);
            b.u8(0);
            (void)argIndex;
        }
        b.patchU16(lenAt, uint16_t(b.size() - lenAt - 2));
        b.u8(kTokParams);
        for (auto [argIndex, p] : outs) {
            const Variable& v = frame.vars[def.params[size_t(p)].name];
            SqlType t = v.type;
            t.nullable = true;
            putValue(b, t, v.value);
            const std::string& target = args[argIndex].callerVar;
            if (!target.empty()) {
                auto it = caller.vars.find(target);
                if (it != caller.vars.end())
                    it->second.value = coerce(v.value, v.type, it->second.type);
            }
        }
    }
    if (!returnVar.empty()) {
        auto it = caller.vars.find(returnVar);
        if (it == caller.vars.end())
            throw SqlError::make(137, 15, "Must declare variable '" + returnVar + "'.", line);
        it->second.value = Value::integer(frame.returnStatus);
    }
    m_pending = PendingDone{caller.inProc ? kTokDoneInProc : kTokDoneProc,
                            uint16_t(caller.inProc ? 0 : kDoneProc), 0};
    if (caller.inProc)
        m_pending->token = kTokDoneInProc;
    m_error = 0;
}

void Session::rpcRequest(Reader& r) {
    r.u16(); // token length
    std::string name = r.bvarchar();
    uint16_t options = r.u16();
    std::vector<Argument> args;
    if (options & 0x02 || !r.atEnd()) {
        std::vector<WireParam> formats;
        std::vector<std::string> names;
        std::vector<bool> outputs;
        if (!r.atEnd()) {
            if (r.u8() != kTokParamFmt)
                throw ConnectionClosed("expected parameter formats");
            r.u16();
            uint16_t count = r.u16();
            for (uint16_t i = 0; i < count; ++i) {
                names.push_back(r.bvarchar());
                outputs.push_back((r.u8() & 0x01) != 0);
                r.u32(); // usertype
                formats.push_back(readTypeInfo(r));
                r.skip(r.u8()); // locale
            }
            if (count > 0 && r.u8() != kTokParams)
                throw ConnectionClosed("expected parameters");
            for (uint16_t i = 0; i < count; ++i) {
                Argument a;
                a.name = names[i];
                a.output = outputs[i];
                a.wireType = formats[i].type;
                a.value = readValue(r, formats[i]);
                args.push_back(std::move(a));
            }
        }
    }
    Frame top;
    m_frame = &top;
    {
        std::lock_guard lock(m_infoMutex);
        m_command = "EXECUTE";
    }
    ast::ObjectName n;
    // "db.owner.proc" / "db..proc" / "proc"
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t dot = name.find('.', start);
        parts.push_back(name.substr(start, dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    n.name = parts.back();
    if (parts.size() >= 2)
        n.owner = parts[parts.size() - 2];
    if (parts.size() >= 3)
        n.db = parts[parts.size() - 3];
    try {
        callProcedure(n, args, top, 1, "");
    } catch (const BatchAborted&) {
        tokens().u8(kTokReturnStatus);
        m_sock.out().u32(uint32_t(-6));
        m_pending = PendingDone{kTokDoneProc, uint16_t(kDoneProc | kDoneError), 0};
    } catch (const SqlError& e) {
        sendError(e, top, 1);
        tokens().u8(kTokReturnStatus);
        m_sock.out().u32(uint32_t(-6));
        m_pending = PendingDone{kTokDoneProc, uint16_t(kDoneProc | kDoneError), 0};
    }
    m_frame = nullptr;
}

void Session::execUse(const ast::Stmt& s, Frame& f) {
    std::string name = s.name;
    if (!databaseExists(name))
        throw SqlError::make(911, 11,
                             "Attempt to locate entry in sysdatabases for database '" + name +
                                 "' by name failed - no entry found under that name. Make sure "
                                 "that name is entered properly.",
                             s.line);
    std::string old = m_db;
    {
        std::lock_guard lock(m_infoMutex);
        m_db = name;
    }
    putEnvChange(tokens(), 1, name, old);
    Message m;
    m.number = 5701;
    m.severity = 10;
    m.state = 1;
    m.text = "Changed database context to '" + name + "'.\n";
    sendMessage(m, f, s.line);
    statementDone(f, 0, 0);
}

void Session::execSet(const ast::Stmt& s, Frame& f) {
    if (s.kind == ast::Stmt::Kind::SetValue) {
        if (s.name == "rowcount") {
            int64_t n = evaluate(*s.args[0], f).asInteger();
            m_rowLimit = std::max<int64_t>(0, n);
        } else if (s.name == "textsize") {
            int64_t n = evaluate(*s.args[0], f).asInteger();
            m_textSize = int(std::clamp<int64_t>(n, 0, INT32_MAX));
        }
        statementDone(f, 0, 0);
        return;
    }
    // The parser has refused unknown options.
    if (s.name == "showplan")
        m_showplan = s.on;
    else if (s.name == "noexec")
        m_noexec = s.on;
    else if (s.name == "fmtonly")
        m_fmtOnly = s.on;
    else if (s.name == "chained") {
        if (m_trancount > 0)
            throw SqlError::make(226, 16,
                                 "SET CHAINED command not allowed within multi-statement "
                                 "transaction.",
                                 s.line);
        m_chained = s.on;
    } else if (s.name == "parseonly")
        m_parseonly = s.on;
    else if (s.name == "statistics io")
        m_statIo = s.on;
    else if (s.name == "statistics time")
        m_statTime = s.on;
    else if (s.name == "nocount")
        m_nocount = s.on;
    else if (s.name == "arithabort arith_overflow" || s.name == "arithabort")
        m_arithAbort = s.on;
    else if (s.name == "arithignore arith_overflow" || s.name == "arithignore")
        m_arithIgnore = s.on;
    statementDone(f, 0, 0);
}

namespace {

// Sybase's "%1!"-style placeholders in print and raiserror.
std::string formatMessage(const std::string& fmt, const std::vector<std::string>& args) {
    std::string out;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 2 < fmt.size() && std::isdigit(uint8_t(fmt[i + 1]))) {
            size_t j = i + 1;
            int n = 0;
            while (j < fmt.size() && std::isdigit(uint8_t(fmt[j])))
                n = n * 10 + (fmt[j++] - '0');
            if (j < fmt.size() && fmt[j] == '!' && n >= 1 && size_t(n) <= args.size()) {
                out += args[size_t(n - 1)];
                i = j;
                continue;
            }
        }
        out += fmt[i];
    }
    return out;
}

} // namespace

void Session::execPrint(const ast::Stmt& s, Frame& f, bool raise) {
    size_t first = raise ? 1 : 0;
    Message m;
    if (raise) {
        int64_t n = evaluate(*s.args[0], f).asInteger();
        if (n < 17000 && n != 0)
            throw SqlError::make(2732, 16,
                                 "Error number " + std::to_string(n) +
                                     " is invalid. The number must be from 17000 to 2147483647.",
                                 s.line);
        m.number = int32_t(n);
        m.severity = 16;
    } else {
        m.number = 0;
        m.severity = 10;
    }
    // Arguments read as their conversion to text does: money in two decimals.
    auto textOf = [&](const ast::Expr& e) {
        SqlType t;
        Value v = evaluate(e, f, &t);
        return coerce(v, t, SqlType::of(SqlType::Text)).asText();
    };
    std::string fmt;
    if (s.args.size() > first && s.args[first])
        fmt = textOf(*s.args[first]);
    std::vector<std::string> values;
    for (size_t i = first + 1; i < s.args.size(); ++i)
        values.push_back(textOf(*s.args[i]));
    m.text = formatMessage(fmt, values);
    m.state = 1;
    sendMessage(m, f, s.line);
    if (raise) {
        m_error = m.number;
        m_statementFailed = true;
    } else {
        m_error = 0;
    }
    statementDone(f, 0, 0);
}

void Session::execWaitfor(const ast::Stmt& s, Frame& f) {
    std::string text = evaluate(*s.args[0], f).asText();
    int h = 0, m = 0, sec = 0, ms = 0;
    int n = std::sscanf(text.c_str(), "%d:%d:%d.%d", &h, &m, &sec, &ms);
    if (n < 2)
        throw SqlError::make(8038, 16,
                             "Invalid time format specified in WAITFOR statement: '" + text + "'.",
                             s.line);
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59 || ms < 0 || ms > 999)
        throw SqlError::make(8038, 16,
                             "Invalid time format specified in WAITFOR statement: '" + text + "'.",
                             s.line);
    using namespace std::chrono;
    auto deadline = steady_clock::now();
    if (s.name == "time") {
        std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        long target = h * 3600L + m * 60 + sec,
             current = tm.tm_hour * 3600L + tm.tm_min * 60 + tm.tm_sec;
        long wait = target - current;
        if (wait < 0)
            wait += 86400;
        deadline += seconds(wait);
    } else {
        deadline += hours(h) + minutes(m) + seconds(sec) + milliseconds(ms);
    }
    {
        std::lock_guard lock(m_infoMutex);
        m_command = "WAITFOR";
    }
    // The socket is watched while waiting, so a cancel ends the wait at once.
    for (;;) {
        auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        if (left <= 0)
            break;
        m_sock.pollAttention(int(std::min<long long>(left, 200)));
        if (m_sock.attentionSeen())
            throw Cancelled{};
    }
    statementDone(f, 0, 0);
}

void Session::execKill(const ast::Stmt& s, Frame& f) {
    if (m_suid != 1)
        throw SqlError::make(
            6102, 14, "Only the System Administrator (SA) may use the KILL command.", s.line);
    int64_t spid = evaluate(*s.args[0], f).asInteger();
    int err = spid < 1 || spid > 32767 ? 6106 : m_server.kill(int(spid), m_spid);
    if (err == 6104)
        throw SqlError::make(6104, 16, "You cannot use KILL to kill your own process.", s.line);
    if (err)
        throw SqlError::make(
            6106, 16, "Process " + std::to_string(spid) + " is not an active process number.",
            s.line);
    statementDone(f, 0, 0);
}

void Session::execTransaction(const ast::Stmt& s, Frame& f) {
    using K = ast::Stmt::Kind;
    if (s.kind == K::BeginTran) {
        beginTransaction();
    } else if (s.kind == K::CommitTran) {
        if (m_trancount == 0)
            throw SqlError::make(3902, 16,
                                 "The commit transaction request has no corresponding BEGIN "
                                 "TRANSACTION.",
                                 s.line);
        if (--m_trancount == 0) {
            try {
                execSql(m_sqlite, "COMMIT");
            } catch (const std::runtime_error& e) {
                releaseWriteIfIdle();
                throw fromSqlite(e.what(), s.line);
            }
            releaseWriteIfIdle();
        }
    } else if (s.kind == K::RollbackTran) {
        if (m_trancount == 0)
            throw SqlError::make(3903, 16,
                                 "The rollback transaction request has no corresponding BEGIN "
                                 "TRANSACTION.",
                                 s.line);
        sqlite3_exec(m_sqlite, "ROLLBACK", nullptr, nullptr, nullptr);
        m_trancount = 0;
        m_server.catalog().schemaVersion++;
        releaseWriteIfIdle();
    }
    m_error = 0;
    statementDone(f, 0, 0);
}

void Session::beginTransaction() {
    if (m_trancount == 0) {
        requireWrite();
        execSql(m_sqlite, "BEGIN");
    }
    ++m_trancount;
}

void Session::refreshProcesses() {
    execSql(m_sqlite, "CREATE TEMP TABLE IF NOT EXISTS sysprocesses AS SELECT * FROM "
                      "master.sysprocesses WHERE 0");
    execSql(m_sqlite, "DELETE FROM temp.sysprocesses");
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(m_sqlite,
                       "insert into temp.sysprocesses (spid, kpid, enginenum, status, suid, "
                       "hostname, program_name, hostprocess, cmd, cpu, physical_io, memusage, "
                       "blocked, dbid, uid, gid, tran_name, time_blocked, network_pktsz, fid, "
                       "loggedindatetime, ipaddr, clientname, clienthostname, clientapplname) "
                       "values (?, ?, 0, ?, ?, ?, ?, ?, ?, 0, 0, 0, ?, ?, 1, 0, '', ?, ?, 0, ?, "
                       "'127.0.0.1', null, null, null)",
                       -1, &st, nullptr);
    StmtGuard g(st);
    for (const auto& p : m_server.processes()) {
        if (p.killed)
            continue;
        ProcessInfo info = p.spid == m_spid ? processInfo() : p;
        if (p.spid == m_spid)
            info.status = "running";
        sqlite3_reset(st);
        auto text = [&](int i, const std::string& v) {
            sqlite3_bind_text(st, i, v.c_str(), -1, SQLITE_TRANSIENT);
        };
        sqlite3_bind_int(st, 1, info.spid);
        sqlite3_bind_int(st, 2, info.spid * 65536 + 1);
        text(3, info.status);
        sqlite3_bind_int(st, 4, info.suid);
        text(5, info.hostname);
        text(6, info.program);
        text(7, info.hostprocess);
        text(8, info.command);
        sqlite3_bind_int(st, 9, info.blocked);
        sqlite3_bind_int(st, 10, info.dbid);
        sqlite3_bind_int(st, 11, info.timeBlocked);
        sqlite3_bind_int(st, 12, info.packetSize);
        text(13, info.loggedIn);
        sqlite3_step(st);
    }
}

} // namespace sim
