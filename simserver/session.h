#pragma once
// One client connection: login, then batches and remote procedure calls until it ends.

#include "functions.h"
#include "server.h"
#include "sql_ast.h"
#include "tds.h"
#include "translate.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

struct sqlite3;
struct sqlite3_stmt;

namespace sim {

struct TextTarget; // session_text.cpp

class Session : public TranslateContext, public FunctionHost {
public:
    Session(Server& server, int fd, int spid);
    ~Session() override;

    void run();
    // Runs a script of "go"-separated batches with no client (fd -1), as sa in db;
    // returns the errors it met. Used for the server's own set-up scripts.
    std::vector<Message> runScript(const std::string& script, const std::string& db);
    // From another session's "kill": ends this connection at its next chance.
    void requestKill();
    ProcessInfo processInfo() const;
    int spid() const { return m_spid; }

    // TranslateContext
    std::string currentDb() const override;
    bool databaseExists(const std::string& name) const override;
    std::optional<TableInfo> table(const std::string& schema, const std::string& name) override;
    const Variable* variable(const std::string& name) const override;
    std::optional<Variable> global(const std::string& name) const override;
    std::shared_ptr<const ast::Stmt> viewDefinition(const std::string& schema, int id) override;
    std::optional<ChainOwner> moduleOwner() const override;
    void requireAccess(const TableInfo& t, Access a, const std::optional<ChainOwner>& chain,
                       int line) override;

    // FunctionHost
    int databaseId(const std::string& name) const override;
    std::string databaseName(int dbid) const override;
    std::string loginName() const override { return m_user; }
    int loginSuid() const override { return m_suid; }
    std::string clientHost() const override { return m_host; }
    bool arithIgnore() const override { return m_arithIgnore; }

private:
    struct Frame {
        std::map<std::string, Variable> vars;
        bool inProc = false;
        std::string procName;
        std::string db; // a procedure runs in its own database
        int depth = 0;
        int returnStatus = 0;
        std::optional<ChainOwner> chain; // the running procedure's owner
    };
    enum class Flow { Next, Break, Continue, Return };
    struct Proc;

    bool login(const std::vector<uint8_t>& payload);
    void openDatabase();
    void serve();
    void rpcRequest(Reader& r);
    // "insert bulk", which the client sends alone (session_bulk.cpp); false for any other
    // batch.
    bool bulkStatement(const std::string& sql, Frame& f);
    // readtext and writetext (session_text.cpp).
    void execTextCommand(const ast::Stmt& s, Frame& f);
    void readText(const std::string& named, const std::string& pointer, long long from,
                  long long count, Frame& f);
    void writeText(const ast::Stmt& s, const std::string& pointer, Frame& f);
    void startBulkInsert(const std::string& sql, Frame& f);
    void requireTimestamp(const TextTarget& target, const std::string& timestamp,
                          const std::string& pointer);
    // The data of the "writetext bulk" or "insert bulk" that came before it.
    void bulkRequest(const std::vector<uint8_t>& payload);
    void storeBulkText(Reader& r);
    int64_t insertBulkRows(const uint8_t* data, size_t size);
    void endReply();
    // What sysprocesses shows for this session.
    void setCommand(const char* command);

    Flow execList(const std::vector<ast::StmtPtr>& list, Frame& f);
    Flow exec(const ast::Stmt& s, Frame& f);
    void execSelect(const ast::Stmt& s, Frame& f);
    void execSelectInto(const ast::Stmt& s, Frame& f);
    void execDml(const ast::Stmt& s, Frame& f);
    void execCreateTable(const ast::Stmt& s, Frame& f);
    void execCreateProcedure(const ast::Stmt& s, Frame& f);
    void execDrop(const ast::Stmt& s, Frame& f);
    void execUse(const ast::Stmt& s, Frame& f);
    void execTransaction(const ast::Stmt& s, Frame& f);
    void beginTransaction();
    void execWaitfor(const ast::Stmt& s, Frame& f);
    void execPrint(const ast::Stmt& s, Frame& f, bool raise);
    void execKill(const ast::Stmt& s, Frame& f);
    void execSet(const ast::Stmt& s, Frame& f);
    void execCreateView(const ast::Stmt& s, Frame& f);
    void execCreateTrigger(const ast::Stmt& s, Frame& f);
    void execCreateIndex(const ast::Stmt& s, Frame& f);
    void execCreateRuleOrDefault(const ast::Stmt& s, Frame& f);
    void execCreateDatabase(const ast::Stmt& s, Frame& f);
    void execGrant(const ast::Stmt& s, Frame& f);
    void dropIndex(const ast::ObjectName& n, int line);
    void dropDatabase(const std::string& name, int line);
    // Refuses a command only the system administrator may give.
    void requireSa(const std::string& command, int line) const;

    // The session's user in a database; gid 0 when the user is in no group but public.
    static constexpr int kNoUser = INT32_MIN;
    struct DbUser {
        int uid = kNoUser;
        int gid = 0;
    };
    DbUser userIn(const std::string& schema);
    // The owner of an object this session creates in a database.
    ObjectOwner ownerIn(const std::string& schema);
    void requireAccess(const std::string& db, int id, int ownerUid, const std::string& name,
                       Access a, const std::optional<ChainOwner>& chain, int line);
    bool sameOwner(const ChainOwner& chain, const std::string& db, int uid);
    // The protecttype of the sysprotects row that decides a permission for a user: the user's
    // own row, else the group's, else public's; nullopt when there is none.
    std::optional<int> decidingProtection(const std::string& db, int id, int action,
                                          const DbUser& u);
    // A type as declared: a system type or a user type of the current database.
    SqlType declaredType(const ast::TypeName& t, int* userType = nullptr,
                         bool* allowsNull = nullptr);
    // The id of an object of the current database (0 when missing), with its type code.
    int objectId(const std::string& schema, const std::string& name, std::string* type = nullptr);
    void requireNewName(const std::string& schema, const std::string& name, int line);
    // Runs a procedure; byRpc: the caller's parameters come with their output flags.
    struct Argument {
        std::string name;
        Value value;
        bool hasValue = true;
        bool output = false;
        std::string callerVar; // caller's variable that receives an output value
        SqlType wireType;
    };
    void callProcedure(const ast::ObjectName& name, std::vector<Argument>& args, Frame& caller,
                       int line, const std::string& returnVar);
    std::shared_ptr<Proc> loadProcedure(const ast::ObjectName& name, int line);
    // params: the values a request sent with its text, bound as variables of the batch.
    void languageRequest(const std::string& sql, const std::vector<Argument>& params = {});
    // PARAMFMT (or PARAMFMT2) and PARAMS: names as sent, @P1... where none.
    std::vector<Argument> readParameters(Reader& r);
    // A language command whose PARAMFMT/PARAMS follow in r; its ? placeholders are @P1...
    void parameterisedLanguage(const std::string& sql, Reader& r);
    void dynamicRequest(Reader& r);
    // Requests ASE knows and this server does not have no ASE message number of their own.
    static constexpr int kUnsupportedRequest = 7200;
    void refuseRequest(const std::string& text, int number = kUnsupportedRequest);

    Value evaluate(const ast::Expr& e, Frame& f, SqlType* type = nullptr);
    bool condition(const ast::Expr& e, Frame& f);
    sqlite3_stmt* prepare(const Translation& t);
    int stepChecked(sqlite3_stmt* st);
    void refreshProcesses();
    // Cached table shapes and views are forgotten once any session changed a schema.
    void dropStaleCaches();
    bool ensureAttached(const DatabaseEntry& db);
    void requireWrite();
    void releaseWriteIfIdle();
    // Rolls back an open transaction and gives up the write gate, as a session's end does.
    void abandonWork();
    void inTransaction(const std::function<void()>& work);

    // Output.
    Bytes& tokens();
    void sendMessage(Message m, const Frame& f, int line);
    void statementDone(const Frame& f, uint16_t status, int32_t count);
    void sendError(const SqlError& e, const Frame& f, int line);
    void sendStatistics(const Frame& f, int line, long long micros, const std::string& table);

    Server& m_server;
    TdsSocket m_sock;
    int m_spid;
    sqlite3* m_sqlite = nullptr;
    std::string m_db = "master";
    int m_suid = 1;
    std::string m_user, m_host, m_program, m_hostProcess, m_loggedIn;
    Frame* m_frame = nullptr;
    std::atomic<bool> m_killed{false};
    bool m_abandoned = false; // the session's own thread and its destructor only
    std::atomic<bool> m_interrupted{false};
    std::string m_command = "AWAITING COMMAND";

    // Reply state: the DONE of the last statement waits to learn whether more follows.
    struct PendingDone {
        uint8_t token;
        uint16_t status;
        int32_t count;
    };
    std::optional<PendingDone> m_pending;
    bool m_statementFailed = false;
    std::vector<Message> m_scriptErrors;

    // What "writetext bulk" announced: the value follows in a bulk packet.
    struct BulkText {
        std::string schema;
        std::string table;
        std::string column;
        bool image = false;
        int64_t rowid = 0;
    };
    std::optional<BulkText> m_bulkText;
    // What "insert bulk" announced: rows of this table follow in a bulk message.
    struct BulkInsert {
        TableInfo table;
    };
    std::optional<BulkInsert> m_bulkInsert;
    // Throws 7123 with the pointer when the row is gone.
    void storeText(const BulkText& target, const std::string& value, const std::string& pointer);

    // Session settings and globals.
    int64_t m_rowcount = 0;
    int m_error = 0;
    int m_trancount = 0;
    int64_t m_rowLimit = 0;
    // Bytes of a text or image value a select sends; 0 is the server's default.
    static constexpr int kDefaultTextSize = 32768;
    int m_textSize = 0;
    bool m_fmtOnly = false;
    bool m_chained = false;
    int64_t m_identity = 0;
    bool m_noexec = false, m_parseonly = false, m_showplan = false, m_statIo = false,
         m_statTime = false, m_nocount = false, m_arithAbort = true, m_arithIgnore = false;

    // Off while a view's text is translated at its creation: permissions count when it is used.
    bool m_checkAccess = true;

    std::map<std::string, TableInfo> m_tableCache;
    // Attached databases with their incarnation and last use; SQLite attaches only a few at
    // a time, so the least recently used one makes room.
    struct Attachment {
        uint64_t incarnation = 0;
        uint64_t lastUse = 0;
    };
    std::map<std::string, Attachment> m_attached;
    uint64_t m_useClock = 0;
    std::map<std::string, std::shared_ptr<const ast::Stmt>> m_viewCache;
    // Prepared dynamic statements by id: the text with its placeholders named @P1, @P2...
    std::map<std::string, std::string> m_dynamic;
    uint64_t m_cacheVersion = 0;
    mutable std::mutex m_infoMutex;
};

} // namespace sim
