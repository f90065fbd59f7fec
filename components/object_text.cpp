#include "object_text.h"

#include "sybase32.h"

#include <QRegularExpression>

namespace ostrim {

namespace {

constexpr int kFieldLength = 6;
constexpr int kColumnWidth = 30;

QString blanks(qsizetype count) {
    return count > 0 ? QString(count, QLatin1Char(' ')) : QString();
}

} // namespace

QString objectListQuery(const QString& kind) {
    static const struct {
        const char* kind;
        const char* sql;
    } queries[] = {
        {"Databases", "select name from master..sysdatabases order by name"},
        {"Groups", "select name from sysusers where gid=uid order by name"},
        {"Indexes", "select so.name + \".\" + si.name from sysobjects so,sysindexes si where "
                    "so.id = si.id  and si.indid<> 0 and so.type in (\"U\",\"S\") order by "
                    "so.name,si.indid"},
        {"Logins", "select name from master..syslogins order by name"},
        {"Procedures", "select name from sysobjects where type=\"P\" order by name"},
        {"Rules", "select name from sysobjects where type=\"R\" order by name"},
        {"Select", "select name from sysobjects where type in (\"U\",\"S\") order by name"},
        {"System Datatypes", "select name from systypes where usertype < 100 order by name"},
        {"Tables", "select name from sysobjects where type in (\"U\",\"S\") order by name"},
        {"Triggers", "select name from sysobjects where type=\"TR\" order by name"},
        {"User Datatypes", "select name from systypes where usertype >= 100 order by name"},
        {"Users", "select name from sysusers where gid<>uid order by name"},
        {"Views", "select name from sysobjects where type=\"V\" order by name"}};
    for (const auto& q : queries)
        if (kind == QLatin1String(q.kind))
            return QString::fromLatin1(q.sql);
    return {};
}

QString dropStatement(const QString& kind, const QString& name) {
    static const struct {
        const char* kind;
        const char* statement;
    } drops[] = {{"Groups", "execute sp_dropgroup "},
                 {"Indexes", "drop index "},
                 {"Logins", "execute sp_droplogin "},
                 {"Procedures", "drop procedure "},
                 {"Rules", "drop rule "},
                 {"Tables", "drop table "},
                 {"Triggers", "drop trigger "},
                 {"User Datatypes", "execute sp_droptype "},
                 {"Users", "execute sp_dropuser "},
                 {"Views", "drop view "}};
    for (const auto& d : drops)
        if (kind == QLatin1String(d.kind))
            return QString::fromLatin1(d.statement) + name;
    return {};
}

QString sqlString(const QString& name) {
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QString procArgument(const QString& name) {
    static const QRegularExpression identifier(QStringLiteral("^[A-Za-z_#@][A-Za-z0-9_#@$]*$"));
    return identifier.match(name).hasMatch() ? name : sqlString(name);
}

QString columnQuery(const QString& name) {
    return "select name from syscolumns where id = object_id(" + sqlString(name) +
           ") order by colid";
}

QString layoutQuery(const QString& table) {
    return QStringLiteral("select c.name, "
                          "t.name, "
                          "convert(varchar(8),convert(bit, (c.status & 8))), "
                          "convert(varchar(6),c.length), "
                          "convert(varchar(6),c.prec), "
                          "convert(varchar(6),c.scale), "
                          "c.colid "
                          "from syscolumns c, systypes t ") +
           "where c.id = object_id(" + sqlString(table.left(kNameLength)) + ") " +
           "and c.usertype *= t.usertype " + "order by c.colid";
}

QString userTypeCall(const QString& name) {
    return "sp_ostrim_get_user_type " + procArgument(name);
}

QString indexTable(const QString& entry) {
    const qsizetype dot = entry.indexOf(QLatin1Char('.'));
    return dot < 0 ? entry : entry.left(dot);
}

QString indexName(const QString& entry) {
    const qsizetype dot = entry.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : entry.mid(dot + 1);
}

QString indexCall(const QString& entry) {
    return "sp_ostrim_get_index " + procArgument(indexTable(entry)) + "," +
           procArgument(indexName(entry));
}

QStringList indexKeyEntries(const QString& keys) {
    QStringList entries;
    QString current;
    for (const QChar c : keys) {
        if (c == QLatin1Char(',')) {
            entries << current;
            current.clear();
        } else if (c != QLatin1Char(' ')) {
            current += c;
        }
    }
    entries << current;
    return entries;
}

QString pasteHeader(const QString& editorText, bool appendPaste, bool forIndex) {
    if (!appendPaste || (editorText.isEmpty() && !forIndex))
        return {};
    return editorText + kCrLf;
}

QString layoutLine(const LayoutColumn& column) {
    const QString name = column.name.left(kNameLength);
    const QString type = column.type.left(kNameLength);
    QString size;
    if (type.contains(QLatin1String("char"))) {
        size = "(" + column.length.left(kFieldLength) + ")";
        size.truncate(kFieldLength);
    } else if (type == QLatin1String("numeric") || type == QLatin1String("decimal")) {
        // The scale too: a table created from the text must not round the copied values.
        // Both are at most two digits, so "(38,10)" is the longest.
        size = "(" + column.precision.left(2) +
               (column.scale.isEmpty() ? QString() : "," + column.scale.left(2)) + ")";
    } else {
        size = QStringLiteral(" ");
    }
    QString line = name + blanks(kColumnWidth - name.size()) + type + size +
                   blanks(kColumnWidth - type.size() - size.size());
    if (column.nullFlag == QLatin1String("1"))
        line += QLatin1String("NULL");
    else if (column.nullFlag == QLatin1String("0"))
        line += QLatin1String("NOT NULL");
    return line;
}

QString tableLayout(const std::vector<LayoutColumn>& columns, bool pasteCreate) {
    QString text;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (pasteCreate && i > 0)
            text += QLatin1Char(',');
        text += kCrLf;
        text += QLatin1Char(' ') + layoutLine(columns[i]);
    }
    return text;
}

QString tableText(const QString& table, const QString& layout, const PasteFlags& flags) {
    QString text;
    if (flags.PasteDROP) {
        text += "drop table " + table + kCrLf;
        if (flags.AppendGo)
            text += QLatin1String("go");
        text += QLatin1String(kCrLf) + kCrLf;
    }
    if (flags.PasteCREATE)
        text += "create table " + table + kCrLf + "(" + kCrLf;
    text += layout + kCrLf;
    if (flags.PasteCREATE)
        text += QLatin1Char(')');
    text += kCrLf;
    if (flags.PasteCREATE && flags.AppendGo)
        text += QLatin1String("go");
    return text;
}

QString selectText(const QString& table, const QStringList& columns) {
    QString text = QStringLiteral("select ") + kCrLf + " " + columns.value(0);
    for (qsizetype i = 1; i < columns.size(); ++i)
        text += QLatin1String(",") + kCrLf + " " + columns[i];
    return text + kCrLf + "from " + table;
}

QString storedText(const QString& kind, const QString& name, const QStringList& rows,
                   const PasteFlags& flags) {
    QString text;
    if (flags.PasteDROP) {
        const QString statement = kind == QLatin1String("Procedures") ? "drop procedure "
                                  : kind == QLatin1String("Triggers") ? "drop trigger "
                                                                      : "drop view ";
        text += statement + name + kCrLf;
        if (flags.AppendGo)
            text += QLatin1String("go") + kCrLf + kCrLf;
    }
    text += rows.join(QString());
    if (flags.AppendGo)
        text += QLatin1String(kCrLf) + "go";
    return text;
}

QString indexText(const QString& entry, const IndexParts& parts, const PasteFlags& flags) {
    QString text;
    if (flags.PasteDROP) {
        text += "drop index " + entry + kCrLf;
        if (flags.AppendGo)
            text += QLatin1String("go");
        text += kCrLf;
    }
    const QString tail = parts.tail.trimmed();
    const QString segment = parts.segment.trimmed();
    text += parts.head + "(" + parts.keys.trimmed() + ") " + tail;
    if (segment != QLatin1String("on default") && segment != QLatin1String("on system") &&
        segment != QLatin1String("on master")) {
        // Column 3 carries no blank of its own after trimming; without one the clause would
        // run into it ("fillfactor = 50on s1").
        if (!tail.isEmpty() && !segment.isEmpty())
            text += QLatin1Char(' ');
        text += segment;
    }
    text += kCrLf;
    if (flags.AppendGo)
        text += QLatin1String("go");
    return text;
}

} // namespace ostrim
