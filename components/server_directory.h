#pragma once
// The client's server directory ("$SYBASE/INI/SQL.INI"), the servers FreeTDS knows besides it,
// and how a server name becomes the address that FreeTDS's dbopen is given.

#include <QString>
#include <QStringList>

namespace ostrim {

// "$SYBASE/INI/SQL.INI", or "$SYBASE/ini/sql.ini" when only that one exists.
QString serverDirectoryPath();

// The server names of the directory's section headers. Each line is cut to 30 characters and a
// header loses its first and last character, whatever they are. Nothing when unreadable.
QStringList readServerNames(const QString& path);

// "host:port" from the query= line of the server's section (else its master= line), e.g.
// "query=TCP,127.0.0.1,5000"; empty when there is none. The section is found by the name that
// readServerNames gives for it.
QString serverAddress(const QString& path, const QString& server);

// The interfaces file FreeTDS reads for a name no freetds.conf section knows:
// "$SYBASE/interfaces", or "/etc/freetds/interfaces" when SYBASE is empty.
QString interfacesPath();

// Every server a login can name: the directory's names exactly as readServerNames gives them,
// then the sections of ~/.freetds.conf but [global], then the entries of interfacesPath(), in
// file order. A name from either of the last two is left out when one listed before it matches
// it ignoring case, as FreeTDS matches freetds.conf sections and the explorer its nodes.
QStringList directoryServerNames();

struct LoginTarget {
    // The name for dbopen; empty means none (FreeTDS then uses $TDSQUERY, $DSQUERY or "SYBASE").
    QString server;
    // false when TDSVER or a freetds.conf entry chooses the protocol version.
    bool askTds50 = true;
};

// A name with a freetds.conf section is left to FreeTDS; otherwise a server-directory section
// with an address connects to that address; otherwise an interfaces entry with a query line is
// left to FreeTDS, which reads that file itself, and one with only a master line connects to
// that line's address; otherwise the name goes to FreeTDS unchanged.
LoginTarget resolveLoginTarget(const QString& serverName);

} // namespace ostrim
