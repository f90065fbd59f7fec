#pragma once
// TSybDatabase: one DB-Library connection with its login record, login dialog and server list.

#include "server_directory.h"
#include "sybase32.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace ostrim {

// What a login sends, taken from a component on the GUI thread with the server name already
// resolved there, so that any thread may open a connection with it.
struct LoginValues {
    LoginTarget target;
    QString userName;
    QString password;
    QString appName;
    QString hostName;
    QString charSet;
    QString language;
    int loginTimeOut = 0; // seconds; 0 waits for ever
};

// A connection opened with values on the calling thread; null when the login failed. The
// handlers stay silent during dbopen (LoginScope), and the login's other messages go where that
// thread's messages go once it is made. lastResult, when given, receives the result of the last
// dbsetlname or dbsetlbool (it stays as it was when DB-Library has no login record to give).
DbProcHandle openLogin(const LoginValues& values, int* lastResult = nullptr);

class TSybDatabase : public QObject {
    Q_OBJECT
public:
    // owner frees the component with itself. Installs the process-wide handlers and reads the
    // server directory.
    explicit TSybDatabase(QObject* owner = nullptr);
    // Does not close the connection: owners call disconnect first.
    ~TSybDatabase() override;

    // Every component that has a name or has connected once, in order of entry.
    static const std::vector<TSybDatabase*>& DatabaseList();
    // The first component whose Name is exactly name; nullptr when none or name is empty
    // (an empty name names nothing: unnamed components would otherwise match it).
    static TSybDatabase* findDatabase(const QString& name);
    // What a data set or list control bound by name takes: the process of the connection called
    // name, or current when there is none or the control does not follow it (autoDbProc off).
    static DbProcHandle linkedProcess(bool autoDbProc, const QString& name, DbProcHandle current);
    // The component whose open connection process is; null when none. A window handed the
    // handle keeps the owner rather than the handle: once the owner closes it, a new connection
    // may come to have the same address.
    static TSybDatabase* connectionOwner(DbProcHandle process);

    QString Name() const { return objectName(); }
    // Cut to 30 characters; enters DatabaseList.
    void setName(const QString& name);
    // The creating window has applied its settings: the timeouts reach DB-Library again and the
    // server list is the run-time directory's.
    void loaded();

    // Opens the connection, asking for the login first when LoginPrompt is set. Does nothing
    // when connected. Failure: one "Could not login to Server" box; cancel: no box.
    void connect();
    // Closes the connection when connected. DbProc keeps its now closed value.
    void disconnect();
    // Appends the server directory's names to the private list that ServerList copies.
    void get_servers();

    int TimeOut() const { return m_timeOut; }
    void setTimeOut(int seconds);
    int LoginTimeOut() const { return m_loginTimeOut; }
    // Also applied again by every login of this component; 0 waits for ever.
    void setLoginTimeOut(int seconds);
    QString DbLibVersion() const { return m_dbLibVersion; }
    QString ServerCharSet() const { return m_serverCharSet; }
    QString CharSet() const { return m_charSet; }
    void setCharSet(const QString& value);
    QString Language() const { return m_language; }
    void setLanguage(const QString& value);
    QString AppName() const { return m_appName; }
    void setAppName(const QString& value);
    QString HostName() const { return m_hostName; }
    void setHostName(const QString& value);
    QString DebugFile() const { return m_debugFile; }
    void setDebugFile(const QString& value);
    QString DBVersion() const { return m_dbVersion; }
    QString Password() const { return m_password; }
    void setPassword(const QString& value);
    QString UserName() const { return m_userName; }
    void setUserName(const QString& value);
    QString DBName() const { return m_dbName; }
    // When connected, also switches the current database (dbuse; LastResult).
    void setDBName(const QString& value);
    QString ServerName() const { return m_serverName; }
    void setServerName(const QString& value);
    bool LoginPrompt() const { return m_loginPrompt; }
    void setLoginPrompt(bool value) { m_loginPrompt = value; }
    bool ServerPrompt() const { return m_serverPrompt; }
    void setServerPrompt(bool value) { m_serverPrompt = value; }
    bool ServerShow() const { return m_serverShow; }
    void setServerShow(bool value) { m_serverShow = value; }
    bool Connected() const { return m_connected; }
    // Ignores value and toggles: disconnects when connected, connects otherwise.
    void setConnected(bool value);
    bool ShowMessage() const { return m_showMessage; }
    void setShowMessage(bool value) { m_showMessage = value; }
    int BufferSize() const { return m_bufferSize; }
    // Applied at once when connected and n >= 1 (dbsetopt DBBUFFER; LastResult), else at connect.
    void setBufferSize(int n);
    QStringList ServerList() const { return m_serverList; }
    void setServerList(const QStringList& list) { m_serverList = list; }

    // The values of the next login, for a connection of its own beside this one.
    LoginValues loginValues() const;

    ostrim::DbProcHandle DbProc() const { return m_dbProc; }
    // DB-Library result of the last dbsetlname, dbsetlbool, dbuse or dbsetopt made here.
    int LastResult() const { return m_lastResult; }

private:
    enum class Prompt { Ok, Cancelled, Failed };
    Prompt promptForLogin();
    void openConnection();
    void applyBufferSize();
    // DBVersion from "select @@version"; the last row wins, no row keeps the previous text.
    void readVersion();
    void askForWholeText();
    void readCurrentDatabase();
    // The first column of sql's last row; nothing when no row came.
    std::optional<QString> queryValue(const QString& sql) const;
    void enterList();

    int m_timeOut = 0;
    int m_loginTimeOut = 0;
    QString m_dbLibVersion;
    QString m_serverCharSet;
    QString m_charSet;
    QString m_language;
    QString m_appName;
    QString m_hostName;
    QString m_debugFile;
    QString m_dbVersion;
    QString m_password;
    QString m_userName;
    QString m_dbName = QStringLiteral("master");
    QString m_serverName;
    bool m_loginPrompt = true;
    bool m_serverPrompt = true;
    bool m_serverShow = true;
    bool m_connected = false;
    bool m_showMessage = false;
    int m_bufferSize = 0;
    QStringList m_serverList;
    QStringList m_serverNames;
    ostrim::DbProcHandle m_dbProc;
    int m_lastResult = kFail;
};

} // namespace ostrim
