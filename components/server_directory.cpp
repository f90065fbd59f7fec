#include "server_directory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ostrim {

namespace {

QString sectionName(const QString& line) {
    // "[" + name + "]" gives the name; the last character goes whatever it is.
    return line.size() >= 2 ? line.mid(1, line.size() - 2) : QString();
}

QString readLine(QFile& file) {
    QByteArray bytes = file.readLine();
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromLocal8Bit(bytes);
}

// "TCP,host,5000" (any protocol word) as "host:port".
QString addressOf(const QString& value) {
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != 3)
        return {};
    const QString host = parts[1].trimmed();
    bool ok = false;
    const int port = parts[2].trimmed().toInt(&ok);
    if (host.isEmpty() || !ok || port <= 0 || port > 65535)
        return {};
    return host + QLatin1Char(':') + QString::number(port);
}

// freetds.conf keys and section names as FreeTDS compares them: lower case, blanks collapsed.
QString confWord(const QString& text) {
    return text.simplified().toLower();
}

struct ConfLookup {
    bool found = false;       // a section of that name exists
    bool setsVersion = false; // its "tds version", or a [global] one other than "auto"
};

// FreeTDS 1.3's search: the first file with the section wins; [global] of each file read counts.
ConfLookup lookUpFreetdsConf(const QString& server) {
    QStringList files;
    if (const QString conf = qEnvironmentVariable("FREETDSCONF"); !conf.isEmpty())
        files << conf;
    if (const QString home = qEnvironmentVariable("FREETDS"); !home.isEmpty())
        files << home + QStringLiteral("/etc/freetds.conf");
    files << QDir::homePath() + QStringLiteral("/.freetds.conf")
          << QStringLiteral("/etc/freetds/freetds.conf");

    const QString wanted = confWord(server);
    ConfLookup result;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QString section;
        bool found = false;
        bool sectionVersion = false;
        while (!file.atEnd()) {
            QString line = readLine(file).trimmed();
            if (line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
                continue;
            if (line.startsWith(QLatin1Char('['))) {
                const int close = line.indexOf(QLatin1Char(']'));
                section = confWord(line.mid(1, close < 0 ? -1 : close - 1));
                found = found || (!wanted.isEmpty() && section == wanted);
                continue;
            }
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq < 0 || confWord(line.left(eq)) != QLatin1String("tds version"))
                continue;
            QString value = line.mid(eq + 1);
            for (const QChar comment : {QLatin1Char(';'), QLatin1Char('#')})
                if (const qsizetype at = value.indexOf(comment); at >= 0)
                    value.truncate(at);
            value = confWord(value);
            if (section == QLatin1String("global") && value != QLatin1String("auto"))
                result.setsVersion = true;
            else if (!wanted.isEmpty() && section == wanted)
                sectionVersion = true;
        }
        if (found) {
            result.found = true;
            result.setsVersion = result.setsVersion || sectionVersion;
            return result;
        }
    }
    return result;
}

} // namespace

QString serverDirectoryPath() {
    const QString sybase = qEnvironmentVariable("SYBASE").left(255);
    QString upper = sybase + QStringLiteral("/INI/SQL.INI");
    QString lower = sybase + QStringLiteral("/ini/sql.ini");
    if (!QFileInfo::exists(upper) && QFileInfo::exists(lower))
        return lower;
    return upper;
}

QStringList readServerNames(const QString& path) {
    QStringList names;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return names;
    while (!file.atEnd()) {
        const QString line = readLine(file).left(30);
        if (line.startsWith(QLatin1Char('[')))
            names << sectionName(line);
    }
    return names;
}

QString serverAddress(const QString& path, const QString& server) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inSection = false;
    QString query;
    QString master;
    while (!file.atEnd()) {
        const QString line = readLine(file);
        if (line.startsWith(QLatin1Char('['))) {
            if (inSection)
                break;
            inSection = sectionName(line.left(30)) == server;
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq < 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        const QString address = addressOf(line.mid(eq + 1));
        if (key == QLatin1String("query") && query.isEmpty())
            query = address;
        else if (key == QLatin1String("master") && master.isEmpty())
            master = address;
    }
    return query.isEmpty() ? master : query;
}

LoginTarget resolveLoginTarget(const QString& serverName) {
    LoginTarget target;
    target.server = serverName;
    if (serverName.isEmpty()) {
        target.askTds50 = qEnvironmentVariableIsEmpty("TDSVER");
        return target;
    }
    ConfLookup conf = lookUpFreetdsConf(serverName);
    if (!conf.found) {
        if (const QString address = serverAddress(serverDirectoryPath(), serverName);
            !address.isEmpty()) {
            target.server = address;
            // FreeTDS looks the host part up as a freetds.conf section too.
            conf = lookUpFreetdsConf(address.left(address.lastIndexOf(QLatin1Char(':'))));
        }
    }
    target.askTds50 = qEnvironmentVariableIsEmpty("TDSVER") && !conf.setsVersion;
    return target;
}

} // namespace ostrim
