// TSybDatabase, its login dialog and the process-wide handlers against ostrim-simserver.
#include "file_helpers.h"
#include "qt_print.h"
#include "scripted_dialogs.h"
#include "server_environment.h"
#include "silent_server.h"
#include "sybaselogin.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "sybgrid.h"
#include "sybquery.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <sybdb.h>
#include <sybfront.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace ostrim {
namespace {

using test::DialogCall;
using test::ScriptedDialogs;
using test::SimServer;

const QString kDirectoryName = QStringLiteral("SIMSERVER");

// The server, listed in a server directory under its own name after one that leads nowhere.
[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.entries = {{"OTHER", 1}, {kDirectoryName.toStdString()}}});

QString serverAddress() {
    return QString::fromStdString(test::ServerEnvironment::host());
}

// A fixed login-by-dialog answer.
std::function<int(QDialog&)> answer(const QString& user, const QString& password,
                                    const QString& server, int result = QDialog::Accepted) {
    return [=](QDialog& d) {
        auto& dialog = dynamic_cast<TPasswordDlg&>(d);
        dialog.username()->setText(user);
        dialog.Password()->setText(password);
        dialog.server()->setEditText(server);
        return result;
    };
}

class ConnectionTest : public ::testing::Test {
protected:
    ScriptedDialogs m_dialogs;

    std::vector<DialogCall> boxes(const QString& caption) const {
        std::vector<DialogCall> out;
        for (const auto& c : m_dialogs.messages())
            if (c.caption == caption)
                out.push_back(c);
        return out;
    }
    static void configure(TSybDatabase& db, const QString& server = serverAddress()) {
        db.setLoginPrompt(false);
        db.setServerName(server);
        db.setUserName("sa");
    }
    static bool connected(TSybDatabase& db, const QString& server = serverAddress()) {
        configure(db, server);
        db.connect();
        return db.Connected();
    }
    // The only message box shown since the last clear.
    void expectOneBox(const QString& caption, const QString& text) const {
        ASSERT_EQ(m_dialogs.messages().size(), 1u);
        EXPECT_EQ(m_dialogs.messages()[0].caption, caption);
        EXPECT_EQ(m_dialogs.messages()[0].text, text);
    }
    // Sends a batch on the connection and reads every result.
    static RETCODE run(TSybDatabase& db, const char* sql) {
        DBPROCESS* p = db.DbProc().get();
        dbcmd(p, sql);
        RETCODE rc = dbsqlexec(p);
        while (dbresults(p) == SUCCEED)
            while (dbnextrow(p) != NO_MORE_ROWS) {
            }
        return rc;
    }
};

TEST_F(ConnectionTest, ConnectFillsStateAndASecondConnectKeepsThePreviousVersion) {
    TSybDatabase db;
    configure(db);
    db.setDBName("");
    db.connect();
    ASSERT_TRUE(db.Connected());
    EXPECT_TRUE(db.DbProc());
    EXPECT_EQ(db.DBName(), "master");
    EXPECT_EQ(db.LastResult(), SUCCEED);
    EXPECT_TRUE(db.DbLibVersion().isEmpty());
    EXPECT_EQ(db.ServerCharSet(), "utf8");
    EXPECT_FALSE(db.CharSet().isEmpty());
    EXPECT_NE(
        std::find(TSybDatabase::DatabaseList().begin(), TSybDatabase::DatabaseList().end(), &db),
        TSybDatabase::DatabaseList().end())
        << "a successful connect enters the registry";

    // The server's "use" reply (5701, severity 10) reaches the handler but shows no box.
    EXPECT_TRUE(m_dialogs.messages().empty());

    const QString firstVersion = db.DBVersion();
    db.connect();
    EXPECT_TRUE(m_dialogs.messages().empty()) << "connect while connected does nothing";
    db.disconnect();
    EXPECT_FALSE(db.Connected());
    db.connect();
    ASSERT_TRUE(db.Connected());
    EXPECT_EQ(db.DbLibVersion(), firstVersion);

    // Assigning Connected toggles, whatever the value.
    db.setConnected(true);
    EXPECT_FALSE(db.Connected()) << "connected means disconnect";
    db.setConnected(false);
    EXPECT_TRUE(db.Connected()) << "not connected means connect";
    db.disconnect();
}

TEST_F(ConnectionTest, ServerDirectoryNameConnectsToItsQueryAddress) {
    TSybDatabase db;
    EXPECT_EQ(db.ServerList(), (QStringList{"OTHER", kDirectoryName}));
    EXPECT_TRUE(connected(db, kDirectoryName));
    EXPECT_TRUE(boxes("DB-Library error").empty());
    db.disconnect();

    // get_servers appends; loaded() replaces a stored list with the directory's names.
    db.setServerList({"stored"});
    db.get_servers();
    db.loaded();
    EXPECT_EQ(db.ServerList(), (QStringList{"OTHER", kDirectoryName, "OTHER", kDirectoryName}));
}

TEST_F(ConnectionTest, FailedLoginsShowExactlyOneBox) {
    for (const QString& server : {serverAddress(), QString("OTHER")}) {
        SCOPED_TRACE(server.toStdString());
        ScriptedDialogs dialogs;
        TSybDatabase db;
        configure(db, server);
        db.setPassword("wrong");
        db.connect();
        EXPECT_FALSE(db.Connected());
        ASSERT_EQ(dialogs.calls.size(), 1u);
        EXPECT_EQ(dialogs.calls[0].kind, "message");
        EXPECT_EQ(dialogs.calls[0].text, "Could not login to Server");
        EXPECT_EQ(dialogs.calls[0].caption, "DB-Library error");
        EXPECT_EQ(dialogs.calls[0].icon, QMessageBox::Warning);
        EXPECT_EQ(dialogs.calls[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(db.Password(), "wrong") << "the values stay for the next attempt";
    }
}

// DB-Library keeps one login timeout for the whole process: a component that set its own 0
// (wait for ever) after this one must not make this one's login wait for ever.
TEST_F(ConnectionTest, ALoginNeverAnsweredEndsAfterTheComponentsOwnLoginTimeOut) {
    test::SilentServer silent;
    TSybDatabase db;
    configure(db, silent.address());
    db.setLoginTimeOut(2);
    TSybDatabase other;
    other.setLoginTimeOut(0);
    QElapsedTimer clock;
    clock.start();
    db.connect();
    const qint64 elapsed = clock.elapsed();
    EXPECT_FALSE(db.Connected());
    EXPECT_GE(silent.accepted(), 1) << "the login reached the server";
    EXPECT_LT(elapsed, 10000) << "ended by the login timeout, not by the server giving up";
    EXPECT_EQ(m_dialogs.calls.size(), 1u) << "the box FailedLoginsShowExactlyOneBox reads";
}

TEST_F(ConnectionTest, LoginDialogIsPreparedAndItsAnswersDecide) {
    TSybDatabase db;
    db.setServerName(kDirectoryName);
    db.setUserName("sa");
    db.setPassword("secret");

    // Cancel: no box, no login.
    m_dialogs.dialogHandlers.push_back([&](QDialog& d) {
        auto& dialog = dynamic_cast<TPasswordDlg&>(d);
        EXPECT_EQ(dialog.windowTitle(), "Login to SIMSERVER");
        EXPECT_FALSE(dialog.server()->isEnabled());
        EXPECT_TRUE(dialog.server()->isHidden() && dialog.Label3()->isHidden());
        EXPECT_EQ(dialog.server()->count(), db.ServerList().size());
        EXPECT_EQ(dialog.username()->text(), "sa");
        EXPECT_EQ(dialog.Password()->text(), "secret");
        EXPECT_EQ(dialog.server()->currentText(), kDirectoryName);
        return int(QDialog::Rejected);
    });
    db.setServerPrompt(false);
    db.setServerShow(false);
    db.connect();
    EXPECT_FALSE(db.Connected());
    EXPECT_TRUE(m_dialogs.messages().empty());
    ASSERT_EQ(m_dialogs.calls.size(), 1u);
    EXPECT_EQ(m_dialogs.calls[0].dialogClass, "ostrim::TPasswordDlg");

    // Neither OK nor Cancel: the failure box, and nothing is copied back.
    m_dialogs.calls.clear();
    m_dialogs.dialogHandlers.push_back(answer("nobody", "", kDirectoryName, 2));
    db.connect();
    EXPECT_FALSE(db.Connected());
    expectOneBox("DB-Library error", "Could not login to Server");
    EXPECT_EQ(db.UserName(), "sa");

    // OK: the fields become the properties, cut to 30 characters.
    m_dialogs.calls.clear();
    const QString longName = QString(40, 'u');
    m_dialogs.dialogHandlers.push_back(answer(longName, "", kDirectoryName));
    db.connect();
    EXPECT_FALSE(db.Connected()) << "no such login";
    EXPECT_EQ(db.UserName(), longName.left(30));
    EXPECT_EQ(db.Password(), "");

    m_dialogs.calls.clear();
    m_dialogs.dialogHandlers.push_back(answer("sa", "", serverAddress()));
    db.connect();
    ASSERT_TRUE(db.Connected());
    EXPECT_EQ(db.ServerName(), serverAddress());
    EXPECT_TRUE(boxes("DB-Library error").empty());
    db.disconnect();
}

TEST_F(ConnectionTest, DialogCaptionNamesTheServerInAtMost39Characters) {
    TSybDatabase db;
    ASSERT_FALSE(db.ServerList().isEmpty());
    db.connect(); // no handler: the dialog is cancelled
    db.setServerName(QString(35, 'S'));
    EXPECT_EQ(db.ServerName().size(), 30);
    db.connect();
    ASSERT_EQ(m_dialogs.calls.size(), 2u);
    EXPECT_EQ(m_dialogs.calls[0].caption, "Login") << "no server yet, even with a server list";
    EXPECT_EQ(m_dialogs.calls[1].caption, "Login to " + QString(30, 'S'));
}

TEST_F(ConnectionTest, DBNameSwitchesTheDatabaseWhileConnected) {
    TSybDatabase db;
    db.setDBName("tempdb");
    ASSERT_TRUE(connected(db));
    EXPECT_STREQ(dbname(db.DbProc().get()), "tempdb");

    db.setDBName("master");
    EXPECT_EQ(db.LastResult(), SUCCEED);
    EXPECT_STREQ(dbname(db.DbProc().get()), "master");

    m_dialogs.calls.clear();
    db.setDBName("no_such_database");
    EXPECT_EQ(db.LastResult(), FAIL);
    EXPECT_TRUE(db.Connected());
    EXPECT_STREQ(dbname(db.DbProc().get()), "master");
    EXPECT_TRUE(boxes("DB-Library error").empty());
    EXPECT_EQ(m_dialogs.messages().size(), 1u) << "only the server's own message";
    db.disconnect();
}

TEST_F(ConnectionTest, ARefusedDatabaseAtConnectNamesTheOneTheSessionIsIn) {
    TSybDatabase db;
    db.setDBName("no_such_database");
    ASSERT_TRUE(connected(db));
    EXPECT_EQ(db.LastResult(), FAIL);
    EXPECT_EQ(db.DBName(), "master") << "where the login put the session";
    ASSERT_EQ(m_dialogs.messages().size(), 1u) << "the server's own message";
    EXPECT_EQ(m_dialogs.messages()[0].caption, "SQL Server Message - 911");
    db.disconnect();
}

TEST_F(ConnectionTest, ServerMessagesOfALoginArriveOnceItIsMade) {
    SimServer noticing({"--login-notice", "Your password will expire in 3 days."});
    noticing.start();
    TSybDatabase db;
    ASSERT_TRUE(connected(db, QString::fromStdString(noticing.host())));
    expectOneBox("SQL Server Message - 0",
                 messageBoxText("Your password will expire in 3 days.", 1));
    db.disconnect();

    // A failed login still gives only its own box.
    m_dialogs.calls.clear();
    db.setPassword("wrong");
    db.connect();
    EXPECT_FALSE(db.Connected());
    expectOneBox("DB-Library error", "Could not login to Server");
}

TEST_F(ConnectionTest, BufferSizeIsAppliedAtConnectAndWhenSetWhileConnected) {
    // sysdatabases has more rows than a buffer of 2 holds: DB-Library then answers BUF_FULL.
    auto fillsBuffer = [](TSybDatabase& db) {
        DBPROCESS* p = db.DbProc().get();
        dbcmd(p, "select name from master..sysdatabases");
        dbsqlexec(p);
        dbresults(p);
        bool full = false;
        for (STATUS s; (s = dbnextrow(p)) != NO_MORE_ROWS && !full;)
            full = s == BUF_FULL;
        dbcancel(p);
        return full;
    };

    TSybDatabase buffered;
    buffered.setBufferSize(2);
    EXPECT_EQ(buffered.LastResult(), FAIL) << "not connected: only stored";
    ASSERT_TRUE(connected(buffered));
    EXPECT_TRUE(dbisopt(buffered.DbProc().get(), DBBUFFER, nullptr));
    EXPECT_TRUE(fillsBuffer(buffered));

    TSybDatabase plain;
    ASSERT_TRUE(connected(plain));
    EXPECT_FALSE(dbisopt(plain.DbProc().get(), DBBUFFER, nullptr));
    EXPECT_FALSE(fillsBuffer(plain));
    plain.setBufferSize(2);
    EXPECT_EQ(plain.LastResult(), SUCCEED);
    EXPECT_TRUE(fillsBuffer(plain));

    buffered.disconnect();
    plain.disconnect();
}

TEST_F(ConnectionTest, DebugFileRecordsWhatIsSent) {
    QTemporaryDir dir;
    TSybDatabase db;
    db.setDebugFile(dir.filePath("sent"));
    ASSERT_TRUE(connected(db));
    db.disconnect();
    // DB-Library numbers the files of its connections.
    EXPECT_TRUE(test::readBytes(dir.filePath("sent.0")).contains("select @@version"));
    db.setDebugFile(QString(300, 'd'));
    EXPECT_EQ(db.DebugFile().size(), 255);
    // The setting is DB-Library's, process-wide: later connections try the removed directory
    // and record nothing.
}

TEST_F(ConnectionTest, PrintOutputIsShownWithItsLine) {
    TSybDatabase db;
    ASSERT_TRUE(connected(db));
    m_dialogs.calls.clear();
    EXPECT_EQ(run(db, "print \"hello\""), SUCCEED);
    ASSERT_EQ(m_dialogs.calls.size(), 1u);
    EXPECT_EQ(m_dialogs.calls[0].caption, "SQL Server Message - 0");
    EXPECT_EQ(m_dialogs.calls[0].text, "hello\r\nLINE : 1");
    EXPECT_EQ(m_dialogs.calls[0].icon, QMessageBox::Warning);

    m_dialogs.calls.clear();
    run(db, "select 1\nselect * from no_such_table");
    ASSERT_EQ(m_dialogs.calls.size(), 1u) << "a live connection's error: no handler box";
    EXPECT_TRUE(m_dialogs.calls[0].caption.startsWith("SQL Server Message - "));
    EXPECT_TRUE(m_dialogs.calls[0].text.endsWith("\r\nLINE : 2"));
    db.disconnect();
}

// The handler that is installed, called as DB-Library would call it.
TEST_F(ConnectionTest, MessageHandlerShowsOnlyTheListedMessages) {
    TSybDatabase db; // installs the handlers
    const MHANDLEFUNC handler = dbmsghandle(nullptr);
    dbmsghandle(handler);
    char text[] = "text";
    char empty[] = "";
    auto shown = [&](int number, int severity) {
        m_dialogs.calls.clear();
        EXPECT_EQ(handler(nullptr, number, 1, severity, text, empty, empty, 7), 0);
        return !m_dialogs.calls.empty();
    };
    EXPECT_FALSE(shown(5801, 3)) << "informational, severity 3";
    EXPECT_TRUE(shown(5801, 4));
    for (int n : {5701, 5703, 5704})
        EXPECT_FALSE(shown(n, 10)) << n << ": context change notices are never boxed";
    EXPECT_TRUE(shown(0, 0));
    EXPECT_FALSE(shown(2409, 0));
    EXPECT_FALSE(shown(2409, 16)) << "never 2409";
    for (int n : {3612, 3615, 6201, 6289, 7309, 7326, 7337, 7341, 7349, 7362})
        EXPECT_TRUE(shown(n, 0)) << n;
    for (int n : {3611, 3616, 6202, 7308, 7327, 7336, 7342, 7348, 7363})
        EXPECT_FALSE(shown(n, 0)) << n;

    m_dialogs.calls.clear();
    std::string longText(300, 'x');
    handler(nullptr, 0, 1, 0, longText.data(), empty, empty, 12);
    ASSERT_EQ(m_dialogs.calls.size(), 1u);
    EXPECT_EQ(m_dialogs.calls[0].text, QString(255, 'x')) << "the line is cut off with the rest";
    EXPECT_EQ(m_dialogs.calls[0].caption, "SQL Server Message - 0");

    // From another thread the box is queued to this one and the worker does not wait.
    m_dialogs.calls.clear();
    std::thread worker([&] { handler(nullptr, 0, 1, 0, text, empty, empty, 3); });
    worker.join();
    EXPECT_TRUE(m_dialogs.calls.empty());
    QTRY_COMPARE(m_dialogs.calls.size(), size_t(1));
    EXPECT_EQ(m_dialogs.calls[0].text, "text\r\nLINE : 3");
}

TEST_F(ConnectionTest, KilledServerIsReportedByTheErrorHandler) {
    SimServer doomed;
    doomed.start();
    TSybDatabase db;
    ASSERT_TRUE(connected(db, QString::fromStdString(doomed.host())));
    m_dialogs.calls.clear();
    doomed.kill9();

    // The first call after the close may fail without a callback; the next one meets the dead
    // process.
    for (int i = 0; i < 3 && boxes("DB-Library error").empty(); ++i)
        EXPECT_EQ(run(db, "select 1"), FAIL);
    const auto errors = boxes("DB-Library error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].text, "DBPROCESS is dead or not enabled");
    EXPECT_EQ(errors[0].icon, QMessageBox::Warning);
    EXPECT_EQ(m_dialogs.calls.size(), 1u) << "no operating-system error came with it";
    DBPROCESS* dead = db.DbProc().get();
    EXPECT_TRUE(dbdead(dead));
    EXPECT_TRUE(db.Connected()) << "a dead connection is not noticed by the component";

    // The installed handler's other rules, on this dead process and on a live one.
    const EHANDLEFUNC handler = dberrhandle(nullptr);
    dberrhandle(handler);
    char text[] = "lost";
    char osText[] = "Connection reset by peer";
    // One action reports a dead process once, however many calls meet it; the next action
    // (back through the event loop) reports again.
    EXPECT_EQ(handler(dead, 9, 20006, 104, text, osText), INT_CANCEL);
    EXPECT_EQ(m_dialogs.calls.size(), 1u) << "the loop above reported it already";
    QCoreApplication::processEvents();
    m_dialogs.calls.clear();
    EXPECT_EQ(handler(dead, 9, 20006, 104, text, osText), INT_CANCEL);
    ASSERT_EQ(m_dialogs.calls.size(), 2u);
    EXPECT_EQ(m_dialogs.calls[0].text, "lost");
    EXPECT_EQ(m_dialogs.calls[1].text, "Connection reset by peer");
    EXPECT_EQ(m_dialogs.calls[1].caption, "Operating System error");
    QCoreApplication::processEvents();
    m_dialogs.calls.clear();
    EXPECT_EQ(handler(dead, 9, 20006, DBNOERR, text, nullptr), INT_CANCEL);
    EXPECT_EQ(m_dialogs.calls.size(), 1u);
    QCoreApplication::processEvents();
    m_dialogs.calls.clear();
    EXPECT_EQ(handler(dead, 3, 20006, 104, text, osText), INT_CANCEL);
    EXPECT_EQ(handler(nullptr, 9, 20006, 104, text, osText), INT_CANCEL);
    TSybDatabase live;
    ASSERT_TRUE(connected(live));
    m_dialogs.calls.clear();
    EXPECT_EQ(handler(live.DbProc().get(), 9, 20006, 104, text, osText), INT_CANCEL);
    EXPECT_TRUE(m_dialogs.calls.empty());
    live.disconnect();

    db.disconnect();
    EXPECT_FALSE(db.Connected());
}

TEST_F(ConnectionTest, AnEmptyNameNamesNoConnectionAnywhere) {
    TSybDatabase unnamed; // listed once it has connected
    ASSERT_TRUE(connected(unnamed));
    ASSERT_EQ(unnamed.Name(), "");
    EXPECT_EQ(TSybDatabase::findDatabase(""), nullptr);

    TSybQuery query;
    query.setDbName("");
    query.setSql("select 1");
    EXPECT_EQ(query.Execute(), kFail) << "no connection to send on";
    TSybComboBox list;
    list.setDbName("");
    EXPECT_FALSE(list.DbProc());
    TSybGrid grid;
    grid.setDbName("");
    grid.BindDbProc();
    EXPECT_FALSE(grid.DbProc());

    unnamed.setName("named");
    grid.setDbName("named");
    grid.BindDbProc();
    EXPECT_EQ(grid.DbProc(), unnamed.DbProc());
    unnamed.disconnect();
}

TEST(DatabaseRegistry, FindsTheFirstExactNameAndForgetsDestroyedComponents) {
    TSybDatabase first;
    first.setName("db1");
    EXPECT_EQ(first.objectName(), "db1");
    auto second = std::make_unique<TSybDatabase>();
    second->setName("db1");
    TSybDatabase third;
    third.setName(QString(40, 'n'));

    EXPECT_EQ(TSybDatabase::findDatabase("db1"), &first);
    EXPECT_EQ(TSybDatabase::findDatabase("DB1"), nullptr);
    EXPECT_EQ(TSybDatabase::findDatabase(QString(30, 'n')), &third);
    first.setName("db1"); // already listed: not twice
    EXPECT_EQ(std::count(TSybDatabase::DatabaseList().begin(), TSybDatabase::DatabaseList().end(),
                         &first),
              1);

    first.setName("renamed");
    EXPECT_EQ(TSybDatabase::findDatabase("db1"), second.get());
    TSybDatabase* gone = second.get();
    second.reset();
    EXPECT_EQ(
        std::find(TSybDatabase::DatabaseList().begin(), TSybDatabase::DatabaseList().end(), gone),
        TSybDatabase::DatabaseList().end());
    EXPECT_EQ(TSybDatabase::findDatabase("db1"), nullptr);
}

} // namespace
} // namespace ostrim
