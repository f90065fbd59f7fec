#include "object_copier.h"

#include "sybquery.h"

namespace ostrim {

namespace {

constexpr int kIdLength = 15;

} // namespace

bool hasColid2(TSybQuery& query, const QString& database) {
    query.setSql("select name from " + database + "..syscolumns where id = (select id from " +
                 database + "..sysobjects where name = \"syscomments\") and name = \"colid2\"");
    query.Execute();
    bool found = false;
    while (query.Next() == kMoreRows)
        found = true;
    return found;
}

bool isCopyableKind(int kind) {
    return kind == 5 || kind == 7 || kind == 8;
}

QString doubleQuoted(const QString& name) {
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

CopyResult copyObject(const CopyEnd& source, const CopyEnd& target, const QString& name, int kind) {
    if (!isCopyableKind(kind))
        return CopyResult::Skipped;
    TSybQuery read;
    read.setAutoDbProc(false);
    read.setDbProc(source.process);
    TSybQuery write;
    write.setAutoDbProc(false);
    write.setDbProc(target.process);

    read.setSql("select id from " + source.database +
                "..sysobjects where name = " + doubleQuoted(name.trimmed()));
    read.Execute();
    QString id;
    while (read.Next() == kMoreRows)
        id = read.ColumnValue(1).left(kIdLength);
    if (id.isEmpty())
        return CopyResult::NotFound;

    const QString order = hasColid2(read, source.database) ? "colid2, colid" : "colid";
    read.setSql("select text from " + source.database + "..syscomments where id=" + id +
                " order by " + order);
    read.Execute();
    QString text;
    while (read.Next() == kMoreRows)
        text += read.ColumnValue(1);

    write.setSql(text);
    write.Execute();
    while (write.Next() == kMoreRows) {
    }
    return CopyResult::Sent;
}

} // namespace ostrim
