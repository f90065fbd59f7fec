#include "dblib_client.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <sstream>
#include <stdexcept>

namespace ostrim::test {

namespace {

struct LogState {
    std::mutex mutex;
    std::vector<ServerMessage> messages;
    std::vector<ClientError> errors;
};

LogState& logState() {
    static LogState state;
    return state;
}

std::string safeString(const char* s) {
    return s ? std::string(s) : std::string();
}

int messageHandler(DBPROCESS* dbproc, DBINT msgno, int msgstate, int severity, char* msgtext,
                   char* srvname, char* procname, int line) {
    ServerMessage m{dbproc,
                    static_cast<int>(msgno),
                    msgstate,
                    severity,
                    safeString(msgtext),
                    safeString(srvname),
                    safeString(procname),
                    line};
    auto& s = logState();
    std::lock_guard lock(s.mutex);
    s.messages.push_back(std::move(m));
    return 0;
}

int errorHandler(DBPROCESS* dbproc, int severity, int dberr, int oserr, char* dberrstr,
                 char* oserrstr) {
    ClientError e{dbproc, severity, dberr, oserr, safeString(dberrstr), safeString(oserrstr)};
    {
        auto& s = logState();
        std::lock_guard lock(s.mutex);
        s.errors.push_back(std::move(e));
    }
    // INT_CANCEL makes the failing call return FAIL, which is what the tests look at.
    return INT_CANCEL;
}

std::vector<ClientError> errors() {
    auto& s = logState();
    std::lock_guard lock(s.mutex);
    return s.errors;
}

} // namespace

void MessageLog::clear() {
    auto& s = logState();
    std::lock_guard lock(s.mutex);
    s.messages.clear();
    s.errors.clear();
}

std::vector<ServerMessage> MessageLog::messages() {
    auto& s = logState();
    std::lock_guard lock(s.mutex);
    return s.messages;
}

std::vector<ServerMessage> MessageLog::messagesFor(DBPROCESS* dbproc) {
    auto all = messages();
    std::erase_if(all, [dbproc](const ServerMessage& m) { return m.dbproc != dbproc; });
    return all;
}

std::optional<ServerMessage> MessageLog::find(int number) {
    for (auto& m : messages()) {
        if (m.number == number) {
            return m;
        }
    }
    return std::nullopt;
}

bool MessageLog::hasError(int dberr) {
    const auto all = errors();
    return std::any_of(all.begin(), all.end(),
                       [dberr](const ClientError& e) { return e.dberr == dberr; });
}

std::string MessageLog::dump() {
    std::ostringstream out;
    for (const auto& m : messages()) {
        out << "msg " << m.number << " state " << m.state << " sev " << m.severity << " server '"
            << m.server << "' proc '" << m.proc << "' line " << m.line << ": " << m.text << "\n";
    }
    for (const auto& e : errors()) {
        out << "err " << e.dberr << " sev " << e.severity << " os " << e.oserr << ": " << e.text
            << (e.osText.empty() ? "" : " (" + e.osText + ")") << "\n";
    }
    return out.str();
}

void initDbLib() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (dbinit() == FAIL) {
            throw std::runtime_error("dbinit failed");
        }
        dberrhandle(errorHandler);
        dbmsghandle(messageHandler);
        // Bounds so that a server that stops answering fails a test instead of hanging it.
        dbsetlogintime(30);
        dbsettime(60);
    });
}

Connection& Connection::operator=(Connection&& other) noexcept {
    if (this != &other) {
        close();
        m_dbproc = other.m_dbproc;
        other.m_dbproc = nullptr;
    }
    return *this;
}

void Connection::close() {
    if (m_dbproc) {
        dbclose(m_dbproc);
        m_dbproc = nullptr;
    }
}

Connection connect(const std::string& host, const ConnectOptions& options) {
    initDbLib();
    LOGINREC* login = dblogin();
    if (!login) {
        throw std::runtime_error("dblogin failed");
    }
    DBSETLUSER(login, options.user.c_str());
    DBSETLPWD(login, options.password.c_str());
    DBSETLAPP(login, "ostrim-tests");
    if (options.tds50) {
        dbsetlversion(login, DBVERSION_100);
    }
    if (options.packetSize > 0) {
        DBSETLPACKET(login, options.packetSize);
    }
    DBPROCESS* dbproc = dbopen(login, host.c_str());
    dbloginfree(login);
    return Connection(dbproc);
}

Value toText(DBPROCESS* dbproc, int type, const BYTE* data, DBINT length) {
    if (data == nullptr) {
        return std::nullopt;
    }
    if (length == 0) {
        return std::string();
    }
    // Binary becomes two hex digits per byte; everything else fits in a modest buffer.
    std::vector<char> buf(static_cast<size_t>(std::max<DBINT>(length * 2 + 64, 256)));
    const DBINT n = dbconvert(dbproc, type, data, length, SYBCHAR,
                              reinterpret_cast<BYTE*>(buf.data()), static_cast<DBINT>(buf.size()));
    if (n < 0) {
        return std::string("<dbconvert failed>");
    }
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::vector<const ResultSet*> BatchResult::rowResults() const {
    std::vector<const ResultSet*> out;
    for (const auto& r : results) {
        if (!r.columnNames.empty()) {
            out.push_back(&r);
        }
    }
    return out;
}

Value BatchResult::scalar() const {
    const auto sets = rowResults();
    if (sets.empty() || sets.front()->rows.empty() || sets.front()->rows.front().empty()) {
        throw std::runtime_error("no result value");
    }
    return sets.front()->rows.front().front();
}

// The dbresults loop after a successful or failed dbsqlexec/dbsqlok.
static BatchResult readResults(DBPROCESS* dbproc, RETCODE sqlRc) {
    BatchResult out;
    out.sqlRc = sqlRc;
    if (dbdead(dbproc)) {
        out.dead = true;
        return out;
    }
    // The bound only protects against a library that keeps answering FAIL forever.
    for (int guard = 0; guard < 100000; ++guard) {
        const RETCODE rc = dbresults(dbproc);
        if (rc == NO_MORE_RESULTS) {
            break;
        }
        ResultSet set;
        set.rc = rc;
        if (rc == SUCCEED) {
            const int ncols = dbnumcols(dbproc);
            for (int c = 1; c <= ncols; ++c) {
                set.columnNames.push_back(safeString(dbcolname(dbproc, c)));
                set.columnTypes.push_back(dbcoltype(dbproc, c));
                set.columnLengths.push_back(dbcollen(dbproc, c));
            }
            if (ncols > 0) {
                for (;;) {
                    const STATUS row = dbnextrow(dbproc);
                    if (row == NO_MORE_ROWS || row == FAIL || row == BUF_FULL) {
                        break;
                    }
                    if (row != REG_ROW) {
                        continue; // compute rows are not used by these tests
                    }
                    Row values;
                    values.reserve(static_cast<size_t>(ncols));
                    for (int c = 1; c <= ncols; ++c) {
                        values.push_back(toText(dbproc, dbcoltype(dbproc, c), dbdata(dbproc, c),
                                                dbdatlen(dbproc, c)));
                    }
                    set.rows.push_back(std::move(values));
                }
            }
            set.count = dbcount(dbproc);
            set.hasCount = dbiscount(dbproc);
        }
        out.results.push_back(std::move(set));
        if (rc == FAIL && dbdead(dbproc)) {
            break;
        }
    }
    out.dead = dbdead(dbproc);
    if (!out.dead) {
        // Only after NO_MORE_RESULTS: reading them earlier swallows pending results.
        out.hasRetStatus = dbhasretstat(dbproc);
        if (out.hasRetStatus) {
            out.retStatus = dbretstatus(dbproc);
        }
        const int nrets = dbnumrets(dbproc);
        for (int i = 1; i <= nrets; ++i) {
            OutputParam p;
            p.name = safeString(dbretname(dbproc, i));
            p.type = dbrettype(dbproc, i);
            p.value = toText(dbproc, p.type, dbretdata(dbproc, i), dbretlen(dbproc, i));
            out.outputs.push_back(std::move(p));
        }
    }
    return out;
}

BatchResult exec(DBPROCESS* dbproc, std::string_view sql) {
    // A batch refused on the client side stays in the buffer; start from an empty one.
    dbfreebuf(dbproc);
    const std::string text(sql);
    if (dbcmd(dbproc, text.c_str()) == FAIL) {
        BatchResult out;
        out.dead = dbdead(dbproc);
        return out;
    }
    const RETCODE rc = dbsqlexec(dbproc);
    return readResults(dbproc, rc);
}

bool send(DBPROCESS* dbproc, std::string_view sql) {
    dbfreebuf(dbproc);
    const std::string text(sql);
    return dbcmd(dbproc, text.c_str()) == SUCCEED && dbsqlsend(dbproc) == SUCCEED;
}

BatchResult reply(DBPROCESS* dbproc) {
    const RETCODE rc = dbsqlok(dbproc);
    return readResults(dbproc, rc);
}

RpcParam RpcParam::int4(std::string name, DBINT value, bool output) {
    std::vector<BYTE> data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    return {std::move(name), output, SYBINT4, -1, std::move(data), false};
}

RpcParam RpcParam::varchar(std::string name, std::string_view value, bool output, DBINT maxlen) {
    return {std::move(name), output, SYBVARCHAR, maxlen, {value.begin(), value.end()}, false};
}

RpcParam RpcParam::null(std::string name, int type, bool output, DBINT maxlen) {
    return {std::move(name), output, type, maxlen, {}, true};
}

BatchResult rpc(DBPROCESS* dbproc, const std::string& procName,
                const std::vector<RpcParam>& params) {
    auto failed = [dbproc] {
        BatchResult out;
        out.dead = dbdead(dbproc);
        return out;
    };
    if (dbrpcinit(dbproc, procName.c_str(), 0) == FAIL) {
        return failed();
    }
    for (const auto& p : params) {
        // dbrpcparam keeps the pointer until dbrpcsend; params outlives that call.
        BYTE* value = p.isNull ? nullptr : const_cast<BYTE*>(p.data.data());
        const DBINT datalen = p.isNull ? 0 : static_cast<DBINT>(p.data.size());
        const DBINT maxlen = p.output ? p.maxlen : -1;
        if (dbrpcparam(dbproc, p.name.c_str(), p.output ? DBRPCRETURN : 0, p.type, maxlen, datalen,
                       value) == FAIL) {
            return failed();
        }
    }
    if (dbrpcsend(dbproc) == FAIL) {
        return failed();
    }
    const RETCODE rc = dbsqlok(dbproc);
    return readResults(dbproc, rc);
}

std::string queryValue(DBPROCESS* dbproc, std::string_view sql) {
    const BatchResult r = exec(dbproc, sql);
    if (r.sqlRc != SUCCEED) {
        throw std::runtime_error("query failed: " + std::string(sql) + "\n" + MessageLog::dump());
    }
    const Value v = r.scalar();
    return v ? *v : std::string("NULL");
}

} // namespace ostrim::test
