#pragma once
// DB-Library glue shared by every component: one-time initialisation, the process-wide error and
// message handlers, and the handle type that carries a connection between components.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTime>

#include <atomic>
#include <functional>
#include <vector>

// The same declaration as sybdb.h's, which callers of this header need not include.
typedef struct tds_dblib_dbprocess DBPROCESS;

namespace ostrim {

// A DB-Library process handle as components hand it on; null means none. It keeps the whole
// pointer (never a 32-bit integer).
class DbProcHandle {
public:
    constexpr DbProcHandle() noexcept = default;
    constexpr explicit DbProcHandle(DBPROCESS* process) noexcept : m_process(process) {}

    constexpr DBPROCESS* get() const noexcept { return m_process; }
    constexpr explicit operator bool() const noexcept { return m_process != nullptr; }
    friend constexpr bool operator==(DbProcHandle, DbProcHandle) noexcept = default;

private:
    DBPROCESS* m_process = nullptr;
};

// Sybase names hold at most this many characters; so do the components' own names (Name,
// DbName, DataSet, ...).
inline constexpr int kNameLength = 30;

// DB-Library return codes the components report.
inline constexpr int kSucceed = 1;
inline constexpr int kFail = 0;

// dbinit once per process. FreeTDS's dbinit puts its default error handler back on every call,
// so nothing else in the program may call it.
void initDbLib();

// Installs the two handlers below (again); every TSybDatabase constructor does.
void installHandlers();

// The handlers as DB-Library calls them. The error handler returns INT_CANCEL, so a failing call
// returns FAIL (or no process from dbopen) to its caller; the message handler returns 0, the value
// DB-Library expects of message handlers.
int errorHandler(DBPROCESS* process, int severity, int dberr, int oserr, char* dberrstr,
                 char* oserrstr);
int messageHandler(DBPROCESS* process, int msgno, int msgstate, int severity, char* msgtext,
                   char* srvname, char* procname, int line);

// True while a handler's box is open on the GUI thread: its event loop runs inside a DB-Library
// call, so timers must not start work on a connection then.
bool insideDbLibBox();

// Tells the windows that a connection was found dead, once per user action that met it, after
// that action has ended (GUI thread).
class ConnectionWatch : public QObject {
    Q_OBJECT
public:
    static ConnectionWatch& instance();

signals:
    void connectionLost(ostrim::DbProcHandle process);
};

// Value to text. Each call writes into the caller's own buffer and keeps nothing between calls,
// so a worker thread and the GUI thread may convert at the same time (each on its own process).
// NULL and a zero-length value give empty text; char and varchar are copied whole (up to a zero
// byte), text whole, any other type in DB-Library's text form cut to 255 characters.
// The buffer receives the bytes without a terminator; returns their count.
qsizetype columnText(DbProcHandle process, int column, QByteArray& buffer);
QString columnText(DbProcHandle process, int column);
// On a compute row (dbnextrow returned computeId): the values of the aggregates over the regular
// column, " / " between two of them; empty when none aggregates it.
qsizetype computeColumnText(DBPROCESS* process, int computeId, int column, QByteArray& buffer);
// DB-Library's row buffer of rows rows on process (DBBUFFER); kFail without a process.
int setRowBuffer(DbProcHandle process, int rows);
// The same for return parameter number of a remote procedure call.
qsizetype returnText(DbProcHandle process, int number, QByteArray& buffer);
QString returnText(DbProcHandle process, int number);
// The converted text of one value of the given DB-Library type.
qsizetype valueText(DBPROCESS* process, int type, const unsigned char* data, int length,
                    QByteArray& buffer);
// The text decoding every component uses for DB-Library's bytes.
QString textFromDbLib(const QByteArray& bytes);

// Whether a server message gets a box.
bool isMessageShown(int msgno, int severity);
// A message of the query plan (set showplan: 62xx, 73xx) or of set statistics io or time
// (3612-3615), whether or not it gets a box.
bool isPlanMessage(int msgno);
// The box text: the message, CRLF, "LINE : " and the line number, cut to 255 characters.
QString messageBoxText(const QString& text, int line);

// A server message or DB-Library error as a MessageCapture receives it.
struct ServerMessage {
    QTime time;
    int number = 0; // the server's message number, or DB-Library's error number
    int severity = 0;
    int state = 0;
    int line = 0; // within the batch, or within procedure when one is named
    QString procedure;
    QString text;
    bool fromLibrary = false; // DB-Library's own error, not the server's
};

// While alive on a thread, the server messages and DB-Library errors of calls that thread makes
// on process go to receive instead of boxes, each as it arrives. A connection found dead is
// still told in the error handler's boxes, and the handlers stay silent where they always do
// (a login, a requested cancel).
class MessageCapture {
public:
    MessageCapture(DbProcHandle process, std::function<void(ServerMessage&&)> receive);
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;

    // The innermost capture of this thread when it is for process.
    static MessageCapture* of(const DBPROCESS* process);
    void receive(ServerMessage&& message) { m_receive(std::move(message)); }

private:
    DBPROCESS* m_process;
    std::function<void(ServerMessage&&)> m_receive;
    MessageCapture* m_previous;
};

// While alive on a thread, the handlers stay silent for calls made on that thread. A login
// reports its own failure with one box; FreeTDS hands the half-opened process to the handlers
// during dbopen, where the original library reported login problems without a process. Other
// server messages of the login (a login script's print, a password expiry warning) are held
// back and handed to the message handler by deliverHeldMessages once the connection is made.
class LoginScope {
public:
    LoginScope();
    ~LoginScope();
    LoginScope(const LoginScope&) = delete;
    LoginScope& operator=(const LoginScope&) = delete;

    static bool active();
    // Once the scope's dbopen has succeeded.
    void deliverHeldMessages(DBPROCESS* process);

private:
    friend int messageHandler(DBPROCESS*, int, int, int, char*, char*, char*, int);
    struct HeldMessage {
        int number, state, severity;
        QByteArray text, server, procedure;
        int line;
    };
    LoginScope* m_previous;
    std::vector<HeldMessage> m_held;
};

// While alive on the thread that works on process, a DB-Library call of that thread ends soon
// after requested turns true (from any thread), even one that waits for the server: the server
// gets a cancel, as dbcancel sends it, and the call returns once the server has acknowledged it.
// The handlers stay silent for the process meanwhile.
//
// Calling dbcancel from the thread that wants the stop is not safe: FreeTDS's dbcancel sends the
// attention (tds_send_cancel, which is built to be called from another thread) but then reads
// the reply up to its acknowledgement on the calling thread, while the blocked thread reads the
// same connection. Here sending and reading stay on the connection's own thread: while a call
// waits for the server, FreeTDS asks the interrupt handlers (dbsetinterrupt) once a second; a
// request answers INT_CANCEL, which FreeTDS reports as a timeout, and the error handler answers
// that with INT_TIMEOUT: send the attention, go on waiting for its acknowledgement.
class CancelScope {
public:
    CancelScope(DbProcHandle process, const std::atomic<bool>& requested);
    ~CancelScope();
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

    // The innermost scope of this thread is for process and has its request raised.
    static bool requested(const DBPROCESS* process);
    // The innermost scope of this thread when it is for process.
    static CancelScope* of(const DBPROCESS* process);
    // Called on the scope's thread each time a call has waited for the server a while (about a
    // second), before the request is looked at. It must not call DB-Library.
    void setIdle(std::function<void()> idle) { m_idle = std::move(idle); }

private:
    // DB-Library's interrupt check (dbsetinterrupt).
    static int checkInterrupt(void* process);
    DBPROCESS* m_process;
    const std::atomic<bool>& m_requested;
    CancelScope* m_previous;
    std::function<void()> m_idle;
};

} // namespace ostrim
