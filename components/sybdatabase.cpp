#include "sybdatabase.h"

#include "dialogs.h"
#include "registry.h"
#include "server_directory.h"
#include "sybaselogin.h"
#include "sybquery.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include <sybdb.h>
#include <sybfront.h>

#include <langinfo.h>

#include <algorithm>
#include <optional>

namespace ostrim {

namespace {

using Databases = Registry<TSybDatabase>;

QString fromDbLib(const char* text) {
    return text ? QString::fromLocal8Bit(text) : QString();
}

// FreeTDS exports no dbgetcharset: its client character set is the one asked for at login,
// else the locale's (plain ASCII counts as ISO-8859-1 there).
QString clientCharSet(const QString& requested) {
    if (!requested.isEmpty())
        return requested;
    QString codeset = QString::fromLatin1(nl_langinfo(CODESET));
    if (codeset == QLatin1String("ANSI_X3.4-1968") || codeset == QLatin1String("US-ASCII") ||
        codeset == QLatin1String("ASCII"))
        return QStringLiteral("ISO-8859-1");
    return codeset;
}

} // namespace

TSybDatabase::TSybDatabase(QObject* owner) : QObject(owner) {
    installHandlers();
    get_servers();
    m_serverList = m_serverNames;
}

TSybDatabase::~TSybDatabase() {
    Databases::leave(this);
}

const std::vector<TSybDatabase*>& TSybDatabase::DatabaseList() {
    return Databases::items();
}

TSybDatabase* TSybDatabase::findDatabase(const QString& name) {
    return Databases::find(name, [](const TSybDatabase& database) { return database.Name(); });
}

DbProcHandle TSybDatabase::linkedProcess(bool autoDbProc, const QString& name,
                                         DbProcHandle current) {
    if (!autoDbProc)
        return current;
    const TSybDatabase* database = findDatabase(name);
    return database ? database->DbProc() : current;
}

TSybDatabase* TSybDatabase::connectionOwner(DbProcHandle process) {
    const auto& list = Databases::items();
    const auto owner = std::find_if(list.begin(), list.end(), [process](const TSybDatabase* d) {
        return process && d->Connected() && d->DbProc() == process;
    });
    return owner == list.end() ? nullptr : *owner;
}

void TSybDatabase::enterList() {
    Databases::enter(this);
}

void TSybDatabase::setName(const QString& name) {
    setObjectName(name.left(kNameLength));
    enterList();
}

void TSybDatabase::loaded() {
    setTimeOut(m_timeOut);
    setLoginTimeOut(m_loginTimeOut);
    m_serverList = m_serverNames;
}

void TSybDatabase::get_servers() {
    m_serverNames << directoryServerNames();
}

void TSybDatabase::connect() {
    if (m_connected)
        return;
    if (m_dbName.isEmpty())
        m_dbName = QStringLiteral("master");
    Prompt prompt = Prompt::Ok;
    if (m_loginPrompt) {
        prompt = promptForLogin();
        if (prompt == Prompt::Cancelled)
            return;
    }
    m_connected = false;
    if (prompt == Prompt::Ok)
        openConnection();
    if (!m_connected)
        Dialogs::message(tr("Could not login to Server"), tr("DB-Library error"),
                         QMessageBox::Warning, QMessageBox::Ok);
}

TSybDatabase::Prompt TSybDatabase::promptForLogin() {
    TPasswordDlg dialog;
    if (!m_serverName.isEmpty())
        dialog.setWindowTitle((tr("Login to ") + m_serverName).left(39));
    if (!m_serverPrompt)
        dialog.server()->setEnabled(false);
    if (!m_serverShow)
        dialog.setServerShown(false);
    dialog.username()->setText(m_userName);
    dialog.Password()->setText(m_password);
    {
        // Adding the first item would put it into the edit field and the caption.
        const QSignalBlocker blocker(dialog.server());
        dialog.server()->addItems(m_serverList);
        dialog.server()->setEditText(m_serverName);
    }
    const int result = Dialogs::exec(dialog);
    if (result == QDialog::Rejected)
        return Prompt::Cancelled;
    if (result != QDialog::Accepted)
        return Prompt::Failed;
    setUserName(dialog.username()->text());
    setPassword(dialog.Password()->text());
    setServerName(dialog.server()->currentText());
    return Prompt::Ok;
}

DbProcHandle openLogin(const LoginValues& values, int* lastResult) {
    initDbLib();
    LOGINREC* login = dblogin();
    if (!login)
        return {};
    int result = kFail;
    const auto setName = [&](const QString& value, int item) {
        result = dbsetlname(login, value.toLocal8Bit().constData(), item);
    };
    if (!values.hostName.isEmpty())
        setName(values.hostName, DBSETHOST);
    setName(values.userName, DBSETUSER);
    setName(values.password, DBSETPWD);
    if (!values.appName.isEmpty())
        setName(values.appName, DBSETAPP);
    if (!values.language.isEmpty())
        setName(values.language, DBSETNATLANG);
    if (!values.charSet.isEmpty())
        setName(values.charSet, DBSETCHARSET);
    result = dbsetlbool(login, TRUE, DBSETBCP);
    DBSETLPACKET(login, 8192); // a large result crosses in a sixteenth of the packets
    if (values.target.askTds50)
        dbsetlversion(login, DBVERSION_100);
    if (lastResult)
        *lastResult = result;

    const QByteArray server = values.target.server.toLocal8Bit();
    DBPROCESS* process;
    {
        // DB-Library keeps one login timeout for the whole process, which another connection
        // may have changed since this one's was set.
        dbsetlogintime(values.loginTimeOut);
        LoginScope scope;
        process = dbopen(login, server.isEmpty() ? nullptr : server.constData());
        if (process)
            scope.deliverHeldMessages(process);
    }
    dbloginfree(login);
    return DbProcHandle(process);
}

LoginValues TSybDatabase::loginValues() const {
    return {resolveLoginTarget(m_serverName),
            m_userName,
            m_password,
            m_appName,
            m_hostName,
            m_charSet,
            m_language,
            m_loginTimeOut};
}

void TSybDatabase::openConnection() {
    const QByteArray database = m_dbName.toLocal8Bit();
    initDbLib();
    if (!m_debugFile.isEmpty())
        dbrecftos(m_debugFile.toLocal8Bit().constData());
    const DbProcHandle process = openLogin(loginValues(), &m_lastResult);
    m_dbProc = process;
    if (process) {
        m_lastResult = dbuse(process.get(), database.constData());
        // Refused (the server said why): the session stays where the login put it, and the
        // name must say so, or every caption and the saved last database would be wrong.
        if (m_lastResult != kSucceed)
            readCurrentDatabase();
        m_connected = true;
        applyBufferSize();
        m_dbLibVersion = m_dbVersion;
        m_charSet = clientCharSet(m_charSet).left(kNameLength);
        m_serverCharSet = fromDbLib(dbservcharset(process.get())).left(kNameLength);
        // FreeTDS exports no dbgetnatlang and keeps no language of its own: the requested one
        // stays.
        askForWholeText();
        readVersion();
        enterList();
    }
}

std::optional<QString> TSybDatabase::queryValue(const QString& sql) const {
    TSybQuery query;
    query.setAutoDbProc(false);
    query.setDbProc(m_dbProc);
    query.setSql(sql);
    query.Execute();
    std::optional<QString> value;
    while (query.Next() == kMoreRows)
        value = query.ColumnValue(1);
    return value;
}

void TSybDatabase::readCurrentDatabase() {
    if (const auto current = queryValue(QStringLiteral("select db_name()")); current)
        m_dbName = current->left(kNameLength);
}

void TSybDatabase::readVersion() {
    if (const auto version = queryValue(QStringLiteral("select @@version")); version)
        m_dbVersion = *version;
}

void TSybDatabase::askForWholeText() {
    // The server's default text size would cut text and image values at 32 KB; the grid and the
    // data sets keep them whole.
    DBPROCESS* process = m_dbProc.get();
    dbcmd(process, "set textsize 2147483647");
    if (dbsqlexec(process) == SUCCEED)
        while (dbresults(process) == SUCCEED)
            dbcanquery(process);
}

void TSybDatabase::disconnect() {
    if (!m_connected)
        return;
    m_connected = false;
    dbclose(m_dbProc.get());
}

void TSybDatabase::setConnected(bool /*value*/) {
    if (m_connected)
        disconnect();
    else
        connect();
}

void TSybDatabase::setTimeOut(int seconds) {
    initDbLib();
    dbsettime(seconds);
    m_timeOut = seconds;
}

void TSybDatabase::setLoginTimeOut(int seconds) {
    initDbLib();
    dbsetlogintime(seconds);
    m_loginTimeOut = seconds;
}

void TSybDatabase::setDBName(const QString& value) {
    m_dbName = value.left(kNameLength);
    if (m_connected)
        m_lastResult = dbuse(m_dbProc.get(), m_dbName.toLocal8Bit().constData());
}

void TSybDatabase::setBufferSize(int n) {
    m_bufferSize = n;
    if (m_connected)
        applyBufferSize();
}

void TSybDatabase::applyBufferSize() {
    if (m_bufferSize >= 1)
        m_lastResult = setRowBuffer(m_dbProc, m_bufferSize);
}

void TSybDatabase::setCharSet(const QString& value) {
    m_charSet = value.left(kNameLength);
}

void TSybDatabase::setLanguage(const QString& value) {
    m_language = value.left(kNameLength);
}

void TSybDatabase::setAppName(const QString& value) {
    m_appName = value.left(kNameLength);
}

void TSybDatabase::setHostName(const QString& value) {
    m_hostName = value.left(kNameLength);
}

void TSybDatabase::setDebugFile(const QString& value) {
    m_debugFile = value.left(255);
}

void TSybDatabase::setPassword(const QString& value) {
    m_password = value.left(kNameLength);
}

void TSybDatabase::setUserName(const QString& value) {
    m_userName = value.left(kNameLength);
}

void TSybDatabase::setServerName(const QString& value) {
    m_serverName = value.left(kNameLength);
}

} // namespace ostrim
