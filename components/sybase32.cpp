#include "sybase32.h"

#include "dialogs.h"
#include "value_text.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <sybdb.h>
#include <sybfront.h>

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <mutex>

namespace ostrim {

namespace {

thread_local LoginScope* t_login = nullptr;
thread_local CancelScope* t_cancel = nullptr;
thread_local MessageCapture* t_capture = nullptr;

int handleInterrupt(void* /*process*/) {
    return INT_CANCEL;
}

QString fromDbLib(const char* text) {
    return text ? QString::fromLocal8Bit(text) : QString();
}

constexpr int kLoginFailed = 4002;

int g_boxesInsideDbLib = 0; // GUI thread only

// A box on the GUI thread waits for the user there; a worker thread must not wait for the GUI
// (which may be waiting for it), so its boxes are queued.
void showBox(const QString& text, const QString& caption) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        ++g_boxesInsideDbLib;
        Dialogs::message(text, caption, QMessageBox::Warning, QMessageBox::Ok);
        --g_boxesInsideDbLib;
    } else {
        Dialogs::postMessage(text, caption, QMessageBox::Warning);
    }
}

} // namespace

bool insideDbLibBox() {
    return g_boxesInsideDbLib > 0;
}

void initDbLib() {
    static std::once_flag once;
    std::call_once(once, [] { dbinit(); });
}

void installHandlers() {
    initDbLib();
    dberrhandle(&errorHandler);
    dbmsghandle(&messageHandler);
}

ConnectionWatch& ConnectionWatch::instance() {
    static auto* watch = new ConnectionWatch; // never freed: handlers may run at exit
    return *watch;
}

namespace {

// Dead processes whose failure the current user action has already reported (GUI thread).
std::vector<DBPROCESS*> g_reportedDead;

// Every DB-Library call on a dead process fails with the same error, and one click may make
// many of them: the user hears of it once per action. The note is dropped when control is back
// in the event loop, so the next action reports again; then the owner may offer to reconnect.
bool firstReportInThisAction(DBPROCESS* process) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return true;
    if (std::find(g_reportedDead.begin(), g_reportedDead.end(), process) != g_reportedDead.end())
        return false;
    g_reportedDead.push_back(process);
    return true;
}

// After the box: its own event loop must not end the action.
void endActionLater(DBPROCESS* process) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    QTimer::singleShot(0, &ConnectionWatch::instance(), [process] {
        g_reportedDead.erase(std::remove(g_reportedDead.begin(), g_reportedDead.end(), process),
                             g_reportedDead.end());
        emit ConnectionWatch::instance().connectionLost(DbProcHandle(process));
    });
}

} // namespace

int errorHandler(DBPROCESS* process, int severity, int dberr, int oserr, char* dberrstr,
                 char* oserrstr) {
    if (dberr == SYBETIME && process) {
        if (CancelScope::requested(process))
            return INT_TIMEOUT;
        if (LoginScope::active()) {
            // FreeTDS 1.3 answers INT_CANCEL here with a logout on the connection it is still
            // reading from, and waits for that for ever; a connection shut down ends the login
            // at once instead.
            ::shutdown(dbiordesc(process), SHUT_RDWR);
            return INT_CONTINUE;
        }
    }
    if (!process || LoginScope::active() || CancelScope::requested(process))
        return INT_CANCEL;
    const bool dead = dbdead(process);
    MessageCapture* capture = MessageCapture::of(process);
    // SYBESMSG only points at the server's messages, which the capture has already.
    if (capture && dberr != SYBESMSG) {
        ServerMessage m;
        m.time = QTime::currentTime();
        m.number = dberr;
        m.severity = severity;
        m.text = fromDbLib(dberrstr);
        if (oserr != DBNOERR && oserr != 0)
            m.text += QStringLiteral(" (") + fromDbLib(oserrstr) + QLatin1Char(')');
        m.fromLibrary = true;
        capture->receive(std::move(m));
    }
    if (!dead)
        return INT_CANCEL;
    if (severity > 3 && firstReportInThisAction(process)) {
        showBox(fromDbLib(dberrstr), QStringLiteral("DB-Library error"));
        // FreeTDS passes 0 (errno's "no error") where Sybase's library passes DBNOERR.
        if (oserr != DBNOERR && oserr != 0)
            showBox(fromDbLib(oserrstr), QStringLiteral("Operating System error"));
        endActionLater(process);
    }
    return INT_CANCEL;
}

int messageHandler(DBPROCESS* process, int msgno, int msgstate, int severity, char* msgtext,
                   char* srvname, char* procname, int line) {
    if (LoginScope* login = t_login) {
        // The failure is the login's own box; anything else the server said comes later.
        if (msgno != kLoginFailed)
            login->m_held.push_back({msgno, msgstate, severity, QByteArray(msgtext),
                                     QByteArray(srvname), QByteArray(procname), line});
        return 0;
    }
    if (MessageCapture* capture = MessageCapture::of(process)) {
        ServerMessage m;
        m.time = QTime::currentTime();
        m.number = msgno;
        m.severity = severity;
        m.state = msgstate;
        m.line = line;
        m.procedure = fromDbLib(procname);
        m.text = fromDbLib(msgtext);
        capture->receive(std::move(m));
        return 0;
    }
    if (!isMessageShown(msgno, severity))
        return 0;
    showBox(messageBoxText(fromDbLib(msgtext), line),
            QStringLiteral("SQL Server Message - ") + QString::number(msgno));
    return 0;
}

qsizetype valueText(DBPROCESS* process, int type, const unsigned char* data, int length,
                    QByteArray& buffer) {
    buffer.resize(qsizetype(valueTextRoom(type, length)));
    buffer.resize(qsizetype(writeValueText(process, type, data, length, buffer.data())));
    return buffer.size();
}

qsizetype columnText(DbProcHandle process, int column, QByteArray& buffer) {
    DBPROCESS* p = process.get();
    if (!p || column < 1 || column > dbnumcols(p)) {
        buffer.resize(0);
        return 0;
    }
    return valueText(p, dbcoltype(p, column), dbdata(p, column), dbdatlen(p, column), buffer);
}

qsizetype computeColumnText(DBPROCESS* process, int computeId, int column, QByteArray& buffer) {
    buffer.resize(0);
    QByteArray value;
    const int aggregates = dbnumalts(process, computeId);
    for (int a = 1; a <= aggregates; ++a) {
        if (dbaltcolid(process, computeId, a) != column)
            continue;
        valueText(process, dbalttype(process, computeId, a), dbadata(process, computeId, a),
                  dbadlen(process, computeId, a), value);
        if (!buffer.isEmpty())
            buffer += " / ";
        buffer += value;
    }
    return buffer.size();
}

QString columnText(DbProcHandle process, int column) {
    QByteArray buffer;
    columnText(process, column, buffer);
    return textFromDbLib(buffer);
}

int setRowBuffer(DbProcHandle process, int rows) {
    return process ? dbsetopt(process.get(), DBBUFFER, QByteArray::number(rows).constData(), -1)
                   : kFail;
}

qsizetype returnText(DbProcHandle process, int number, QByteArray& buffer) {
    DBPROCESS* p = process.get();
    if (!p || number < 1 || number > dbnumrets(p)) {
        buffer.resize(0);
        return 0;
    }
    return valueText(p, dbrettype(p, number), dbretdata(p, number), dbretlen(p, number), buffer);
}

QString returnText(DbProcHandle process, int number) {
    QByteArray buffer;
    returnText(process, number, buffer);
    return textFromDbLib(buffer);
}

QString textFromDbLib(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes);
}

bool isPlanMessage(int msgno) {
    return (msgno >= 3612 && msgno <= 3615) || (msgno >= 6201 && msgno <= 6299) ||
           (msgno >= 7300 && msgno <= 7399);
}

bool isMessageShown(int msgno, int severity) {
    static constexpr std::array kNumbers{3612, 3613, 3614, 3615, 6201, 6203, 6215, 6217, 6219, 6223,
                                         6225, 6227, 6272, 6273, 6276, 6278, 6282, 6286, 6289};
    // 2409 never; nor the database, language and character set change notices (5701, 5703,
    // 5704), which the server sends at severity 10 on every login and "use": boxing them would
    // stop the user at every connect, and Sybase's own clients drop them too.
    if (msgno == 2409 || msgno == 5701 || msgno == 5703 || msgno == 5704)
        return false;
    if (severity > 3 || msgno == 0)
        return true;
    if (std::find(kNumbers.begin(), kNumbers.end(), msgno) != kNumbers.end())
        return true;
    return (msgno >= 7309 && msgno <= 7326) || (msgno >= 7337 && msgno <= 7341) ||
           (msgno >= 7349 && msgno <= 7362);
}

QString messageBoxText(const QString& text, int line) {
    return (text + QStringLiteral("\r\nLINE : ") + QString::number(line)).left(255);
}

LoginScope::LoginScope() : m_previous(t_login) {
    t_login = this;
}

LoginScope::~LoginScope() {
    t_login = m_previous;
}

bool LoginScope::active() {
    return t_login != nullptr;
}

void LoginScope::deliverHeldMessages(DBPROCESS* process) {
    std::vector<HeldMessage> held;
    held.swap(m_held);
    // The login is over: the messages go where they would have gone without it.
    LoginScope* const self = t_login;
    t_login = m_previous;
    for (HeldMessage& m : held)
        messageHandler(process, m.number, m.state, m.severity, m.text.data(), m.server.data(),
                       m.procedure.data(), m.line);
    t_login = self;
}

CancelScope::CancelScope(DbProcHandle process, const std::atomic<bool>& requested)
    : m_process(process.get()), m_requested(requested), m_previous(t_cancel) {
    t_cancel = this;
    if (m_process)
        dbsetinterrupt(m_process, &checkInterrupt, &handleInterrupt);
}

CancelScope::~CancelScope() {
    if (m_process)
        dbsetinterrupt(m_process, nullptr, nullptr);
    t_cancel = m_previous;
}

MessageCapture::MessageCapture(DbProcHandle process, std::function<void(ServerMessage&&)> receive)
    : m_process(process.get()), m_receive(std::move(receive)), m_previous(t_capture) {
    t_capture = this;
}

MessageCapture::~MessageCapture() {
    t_capture = m_previous;
}

MessageCapture* MessageCapture::of(const DBPROCESS* process) {
    return process && t_capture && t_capture->m_process == process ? t_capture : nullptr;
}

int CancelScope::checkInterrupt(void* process) {
    const auto* p = static_cast<const DBPROCESS*>(process);
    if (CancelScope* scope = CancelScope::of(p); scope && scope->m_idle)
        scope->m_idle();
    return CancelScope::requested(p) ? TRUE : FALSE;
}

CancelScope* CancelScope::of(const DBPROCESS* process) {
    return process && t_cancel && t_cancel->m_process == process ? t_cancel : nullptr;
}

bool CancelScope::requested(const DBPROCESS* process) {
    return process && t_cancel && t_cancel->m_process == process && t_cancel->m_requested.load();
}

} // namespace ostrim
