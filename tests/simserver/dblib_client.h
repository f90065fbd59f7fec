#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sybdb.h>

namespace ostrim::test {

// What the server said through the message handler.
struct ServerMessage {
    DBPROCESS* dbproc = nullptr;
    int number = 0;
    int state = 0;
    int severity = 0;
    std::string text;
    std::string server;
    std::string proc;
    int line = 0;
};

// What DB-Library itself reported through the error handler.
struct ClientError {
    DBPROCESS* dbproc = nullptr;
    int severity = 0;
    int dberr = 0;
    int oserr = 0;
    std::string text;
    std::string osText;
};

// Every message and error of the process, recorded by the process-wide handlers.
// DB-Library calls the handlers from whichever thread drives a connection, so the log locks.
class MessageLog {
public:
    static void clear();
    static std::vector<ServerMessage> messages();
    // Only the entries of one connection.
    static std::vector<ServerMessage> messagesFor(DBPROCESS* dbproc);
    // The first message with this number, if any.
    static std::optional<ServerMessage> find(int number);
    static bool hasError(int dberr);
    // A readable dump for assertion failures.
    static std::string dump();
};

// dbinit and the handlers, once per process. Safe to call from any thread.
void initDbLib();

struct ConnectOptions {
    std::string user = "sa";
    std::string password;
    // true: ask for TDS 5.0 with dbsetlversion; false: leave FreeTDS's default ("auto").
    bool tds50 = true;
    int packetSize = 0; // 0 leaves the library default
};

// Owns one DBPROCESS; dbclose on destruction.
class Connection {
public:
    Connection() = default;
    explicit Connection(DBPROCESS* dbproc) : m_dbproc(dbproc) {}
    ~Connection() { close(); }
    Connection(Connection&& other) noexcept : m_dbproc(other.m_dbproc) { other.m_dbproc = nullptr; }
    Connection& operator=(Connection&& other) noexcept;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    DBPROCESS* get() const { return m_dbproc; }
    explicit operator bool() const { return m_dbproc != nullptr; }
    void close();

private:
    DBPROCESS* m_dbproc = nullptr;
};

// dbopen on "127.0.0.1:PORT"; an empty Connection when the login failed.
Connection connect(const std::string& host, const ConnectOptions& options = {});

using Value = std::optional<std::string>; // nullopt is SQL NULL
using Row = std::vector<Value>;

// A value as dbconvert writes it in characters; nullopt for a null data pointer.
Value toText(DBPROCESS* dbproc, int type, const BYTE* data, DBINT length);

// One dbresults call and what it delivered.
struct ResultSet {
    RETCODE rc = FAIL; // what dbresults returned (SUCCEED or FAIL)
    std::vector<std::string> columnNames;
    std::vector<int> columnTypes;   // dbcoltype
    std::vector<int> columnLengths; // dbcollen
    std::vector<Row> rows;
    DBINT count = -1;      // dbcount after the rows were read
    bool hasCount = false; // dbiscount
};

struct OutputParam {
    std::string name;
    int type = 0;
    Value value;
};

struct BatchResult {
    RETCODE sqlRc = FAIL; // dbsqlexec, or dbsqlok for an RPC
    std::vector<ResultSet> results;
    bool hasRetStatus = false;
    DBINT retStatus = 0;
    std::vector<OutputParam> outputs;
    bool dead = false; // dbdead afterwards

    // The result sets that have columns, in order.
    std::vector<const ResultSet*> rowResults() const;
    // Shortcut for the single value of a one-row, one-column first result set.
    Value scalar() const;
};

// dbcmd + dbsqlexec + every dbresults/dbnextrow, then return status and output parameters.
BatchResult exec(DBPROCESS* dbproc, std::string_view sql);

// exec in two halves, for a batch that waits in the server while the test does other work:
// dbcmd + dbsqlsend, then later dbsqlok and what exec reads.
bool send(DBPROCESS* dbproc, std::string_view sql);
BatchResult reply(DBPROCESS* dbproc);

// A parameter of dbrpcparam.
struct RpcParam {
    std::string name;
    bool output = false;
    int type = SYBINT4;
    DBINT maxlen = -1;
    std::vector<BYTE> data;
    bool isNull = false;

    static RpcParam int4(std::string name, DBINT value, bool output = false);
    static RpcParam varchar(std::string name, std::string_view value, bool output = false,
                            DBINT maxlen = -1);
    static RpcParam null(std::string name, int type, bool output = false, DBINT maxlen = -1);
};

// dbrpcinit/dbrpcparam/dbrpcsend/dbsqlok, then readResults.
BatchResult rpc(DBPROCESS* dbproc, const std::string& procName,
                const std::vector<RpcParam>& params);

// One row of one column: exec + scalar, failing loudly in the value when something went wrong.
std::string queryValue(DBPROCESS* dbproc, std::string_view sql);

} // namespace ostrim::test
