#include "completion_catalogue.h"

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace ostrim {

// One read's state, shared by its thread and its catalogue.
struct CatalogueRead {
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false}; // the thread has delivered and touches nothing more
    std::mutex mutex;
    // Under mutex: the worker posts to it only while it is set, and the catalogue clears it
    // before it goes, so the post never meets a destroyed receiver.
    CompletionCatalogue* receiver = nullptr;
};

namespace {

// The objects, then each table's and view's columns. A name that several owners use keeps the
// columns of its first object.
constexpr char kNamesSql[] =
    "select name from sysobjects where type in ('U', 'S', 'V', 'P')\n"
    "select o.id, o.name, c.name from sysobjects o, syscolumns c "
    "where c.id = o.id and o.type in ('U', 'S', 'V') order by o.name, o.id, c.colid";

// Each row of the process's next result set, until rows ends; false when the result failed or
// a stop was asked.
template <class Row> bool readResult(DBPROCESS* process, const std::atomic<bool>& stop, Row row) {
    if (dbresults(process) != SUCCEED)
        return false;
    STATUS status;
    while ((status = dbnextrow(process)) == REG_ROW) {
        if (stop)
            return false;
        row();
    }
    return status == NO_MORE_ROWS;
}

std::optional<CatalogueNames> queryNames(DbProcHandle process, const std::atomic<bool>& stop) {
    DBPROCESS* p = process.get();
    if (dbcmd(p, kNamesSql) != SUCCEED || dbsqlexec(p) != SUCCEED)
        return std::nullopt;
    CatalogueNames names;
    const bool objectsRead = readResult(p, stop, [&] { names.objects << columnText(process, 1); });
    QString lastId;
    QString lastName;
    const bool columnsRead = objectsRead && readResult(p, stop, [&] {
                                 const QString id = columnText(process, 1);
                                 const QString name = columnText(process, 2);
                                 if (id != lastId && name == lastName)
                                     return;
                                 lastName = name;
                                 lastId = id;
                                 names.columns[name] << columnText(process, 3);
                             });
    if (!columnsRead)
        return std::nullopt;
    std::sort(names.objects.begin(), names.objects.end(), [](const QString& a, const QString& b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    names.objects.erase(std::unique(names.objects.begin(), names.objects.end()),
                        names.objects.end());
    return names;
}

constexpr int kLoginSeconds = 10;

// On the read's own thread; nothing when the login, the switch to database or a query failed.
std::optional<CatalogueNames> readNames(const LoginValues& login, const QString& database,
                                        const std::atomic<bool>& stop) {
    // Silent for the whole read, not just its login: under a MessageCapture the handlers would
    // still box a connection found dead, and nobody asked this read for anything.
    LoginScope silent;
    // A stop cannot reach a login: a bounded one keeps the program's exit from waiting on it.
    LoginValues bounded = login;
    if (bounded.loginTimeOut <= 0 || bounded.loginTimeOut > kLoginSeconds)
        bounded.loginTimeOut = kLoginSeconds;
    const DbProcHandle process = openLogin(bounded);
    if (!process)
        return std::nullopt;
    std::optional<CatalogueNames> names;
    {
        // A stop ends a call that waits for the server, and the handlers stay silent meanwhile.
        CancelScope cancel(process, stop);
        if (!stop && (database.isEmpty() ||
                      dbuse(process.get(), database.toLocal8Bit().constData()) == SUCCEED))
            names = queryNames(process, stop);
    }
    dbclose(process.get());
    return names;
}

// Every read's thread. A closed window does not wait for its read: the read runs on, holding
// nothing of the window, and the program joins it at exit, so that no read runs into destroyed
// statics. By then reads end soon: a call waiting for the server within about a second of the
// stop, a login within its timeout.
class ReadThreads {
public:
    ~ReadThreads() {
        for (Thread& t : m_threads)
            t.read->stop = true;
        for (Thread& t : m_threads)
            t.thread.join();
    }
    // GUI thread.
    template <class Work> void start(std::shared_ptr<CatalogueRead> read, Work work) {
        // Reads that are done have only their return left: these joins do not wait on work.
        std::erase_if(m_threads, [](Thread& t) {
            if (!t.read->done)
                return false;
            t.thread.join();
            return true;
        });
        m_threads.push_back({std::move(read), std::thread(std::move(work))});
    }
    int running() const {
        return int(std::count_if(m_threads.begin(), m_threads.end(),
                                 [](const Thread& t) { return !t.read->done; }));
    }

private:
    struct Thread {
        std::shared_ptr<CatalogueRead> read;
        std::thread thread;
    };
    std::vector<Thread> m_threads;
};

ReadThreads& readThreads() {
    static ReadThreads threads;
    return threads;
}

} // namespace

QStringList CatalogueNames::columnsOf(const QString& table) const {
    if (const auto exact = columns.constFind(table); exact != columns.cend())
        return *exact;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it)
        if (it.key().compare(table, Qt::CaseInsensitive) == 0)
            return it.value();
    return {};
}

CompletionCatalogue::CompletionCatalogue(LoginSource login, QObject* parent)
    : QObject(parent), m_login(std::move(login)) {}

CompletionCatalogue::~CompletionCatalogue() {
    dropRead();
}

int CompletionCatalogue::readsRunning() {
    return readThreads().running();
}

const CatalogueNames& CompletionCatalogue::names() const {
    static const CatalogueNames kNone;
    return m_names ? *m_names : kNone;
}

void CompletionCatalogue::setDatabase(const QString& name) {
    const bool wanted = m_reading;
    dropRead();
    m_database = name;
    m_names.reset();
    if (wanted)
        startRead();
}

void CompletionCatalogue::request() {
    if (!m_names && !m_reading)
        startRead();
}

void CompletionCatalogue::refresh() {
    dropRead();
    startRead();
}

void CompletionCatalogue::dropRead() {
    ++m_generation; // a result already posted is dropped on arrival
    m_reading = false;
    if (!m_read)
        return;
    const std::shared_ptr<CatalogueRead> read = std::move(m_read);
    read->stop = true;
    const std::lock_guard lock(read->mutex);
    read->receiver = nullptr;
}

void CompletionCatalogue::startRead() {
    dropRead();
    m_read = std::make_shared<CatalogueRead>();
    m_read->receiver = this;
    m_reading = true;
    readThreads().start(m_read, [read = m_read, login = m_login(), database = m_database,
                                 generation = m_generation] {
        std::optional<CatalogueNames> names = readNames(login, database, read->stop);
        {
            const std::lock_guard lock(read->mutex);
            if (CompletionCatalogue* receiver = read->receiver)
                // Queued: the names belong to the GUI thread, and this thread never waits for it.
                QMetaObject::invokeMethod(
                    receiver, [receiver, generation, names] { receiver->take(generation, names); },
                    Qt::QueuedConnection);
        }
        read->done = true;
    });
}

void CompletionCatalogue::take(quint64 generation, std::optional<CatalogueNames> names) {
    if (generation != m_generation)
        return;
    m_read.reset();
    m_reading = false;
    m_names = std::move(names);
    emit readEnded();
}

} // namespace ostrim
