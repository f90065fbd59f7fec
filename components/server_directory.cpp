#include "server_directory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <utility>

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

QString hostPort(const QString& host, const QString& portText) {
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (host.isEmpty() || !ok || port <= 0 || port > 65535)
        return {};
    return host + QLatin1Char(':') + QString::number(port);
}

// "TCP,host,5000" (any protocol word) as "host:port".
QString addressOf(const QString& value) {
    const QStringList parts = value.split(QLatin1Char(','));
    if (parts.size() != 3)
        return {};
    return hostPort(parts[1].trimmed(), parts[2].trimmed());
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

// The server sections of one freetds.conf, named as written: FreeTDS's own reading cuts a
// header at "=" and "]" and collapses its blanks.
QStringList freetdsSections(const QString& path) {
    QStringList names;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return names;
    while (!file.atEnd()) {
        const QString line = readLine(file).trimmed();
        if (!line.startsWith(QLatin1Char('[')))
            continue;
        QString name = line.mid(1);
        name = name.left(name.indexOf(QLatin1Char('=')));
        name = name.left(name.indexOf(QLatin1Char(']'))).simplified();
        if (!name.isEmpty() && confWord(name) != QLatin1String("global"))
            names << name;
    }
    return names;
}

struct InterfacesEntry {
    QString name;
    QList<QStringList> services; // the words of each indented line
};

// An interfaces file as FreeTDS reads it: "#" in column 1 comments the line, any other
// non-blank there starts an entry named by the line's first word, and every line that starts
// blank belongs to the entry above.
QList<InterfacesEntry> readInterfaces(const QString& path) {
    QList<InterfacesEntry> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entries;
    static const QRegularExpression kBlanks(QStringLiteral("[ \t]+"));
    while (!file.atEnd()) {
        const QString line = readLine(file);
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList words = line.split(kBlanks, Qt::SkipEmptyParts);
        if (!line.isEmpty() && !line.front().isSpace())
            entries.append({words.value(0), {}});
        else if (!entries.isEmpty() && !words.isEmpty())
            entries.last().services.append(words);
    }
    return entries;
}

struct InterfacesLookup {
    bool hasQuery = false;
    QString queryDevice;   // the word before the host, which FreeTDS takes as a TDS version
    QString masterAddress; // "host:port" of the first tcp master line
};

// FreeTDS matches the name exactly, in every entry of that name, and its last query line wins.
InterfacesLookup lookUpInterfaces(const QString& server) {
    InterfacesLookup result;
    for (const InterfacesEntry& entry : readInterfaces(interfacesPath())) {
        if (entry.name != server)
            continue;
        for (const QStringList& words : entry.services) {
            const bool tli = words.value(1) == QLatin1String("tli");
            if (words[0] == QLatin1String("query")) {
                result.hasQuery = true;
                result.queryDevice = tli ? QString() : words.value(2);
            } else if (words[0] == QLatin1String("master") && !tli &&
                       result.masterAddress.isEmpty()) {
                result.masterAddress = hostPort(words.value(3), words.value(4));
            }
        }
    }
    return result;
}

// The version FreeTDS 1.3 sets from an interfaces device word; "0" and "auto" undo a [global]
// one. Any other word leaves the version alone.
void applyInterfacesVersion(const QString& device, ConfLookup& conf) {
    static const QStringList kAuto{QStringLiteral("0"), QStringLiteral("auto")};
    static const QStringList kVersions{
        QStringLiteral("4.2"), QStringLiteral("50"),  QStringLiteral("5.0"),
        QStringLiteral("70"),  QStringLiteral("7.0"), QStringLiteral("7.1"),
        QStringLiteral("7.2"), QStringLiteral("7.3"), QStringLiteral("7.4")};
    if (kVersions.contains(device))
        conf.setsVersion = true;
    else if (kAuto.contains(device))
        conf.setsVersion = false;
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

QString interfacesPath() {
    const QString sybase = qEnvironmentVariable("SYBASE");
    return (sybase.isEmpty() ? QStringLiteral("/etc/freetds") : sybase) +
           QStringLiteral("/interfaces");
}

QStringList directoryServerNames() {
    QStringList names = readServerNames(serverDirectoryPath());
    QSet<QString> listed;
    for (const QString& name : std::as_const(names))
        listed.insert(confWord(name));
    QStringList more = freetdsSections(QDir::homePath() + QStringLiteral("/.freetds.conf"));
    for (const InterfacesEntry& entry : readInterfaces(interfacesPath()))
        more << entry.name;
    for (const QString& name : std::as_const(more)) {
        const QString word = confWord(name);
        if (listed.contains(word))
            continue;
        listed.insert(word);
        names << name;
    }
    return names;
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
        QString address = serverAddress(serverDirectoryPath(), serverName);
        if (address.isEmpty()) {
            // FreeTDS finds an entry by its query line only, so a master line is ours to use.
            const InterfacesLookup entry = lookUpInterfaces(serverName);
            if (entry.hasQuery)
                applyInterfacesVersion(entry.queryDevice, conf);
            else
                address = entry.masterAddress;
        }
        if (!address.isEmpty()) {
            target.server = address;
            // FreeTDS looks the host part up as a freetds.conf section too.
            conf = lookUpFreetdsConf(address.left(address.lastIndexOf(QLatin1Char(':'))));
        }
    }
    target.askTds50 = qEnvironmentVariableIsEmpty("TDSVER") && !conf.setsVersion;
    return target;
}

} // namespace ostrim
