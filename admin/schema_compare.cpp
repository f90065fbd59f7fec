#include "schema_compare.h"

#include "object_text.h"

#include <QRegularExpression>
#include <QSet>

namespace ostrim {

namespace {

// sysindexes.status: unique; status2: a clustered index of a data-only-locked table.
constexpr int kUniqueIndex = 0x2;
constexpr int kClusteredDol = 0x200;
// syscolumns.status: nulls allowed; an identity column.
constexpr int kNullable = 0x8;
constexpr int kIdentity = 0x80;

QSet<QString> lowerSet(const QStringList& names) {
    QSet<QString> set;
    set.reserve(names.size());
    for (const QString& name : names)
        set.insert(name.toLower());
    return set;
}

// Names of a that b has too, whose entries differ by differs.
template <typename Differs>
QStringList differing(const QStringList& a, const QStringList& b, Differs differs) {
    const QSet<QString> other = lowerSet(b);
    QStringList out;
    for (const QString& name : a)
        if (other.contains(name.toLower()) && differs(name))
            out << name;
    return out;
}

} // namespace

const QStringList& CatalogSnapshot::names(ObjectKind kind) const {
    switch (kind) {
    case ObjectKind::Procedure:
        return procedures;
    case ObjectKind::Trigger:
        return triggers;
    case ObjectKind::View:
        return views;
    case ObjectKind::Table:
        break;
    }
    return tables;
}

void CatalogSnapshot::addObject(const QString& id, const QString& name, const QString& type) {
    const QString kind = type.trimmed();
    const QString key = name.toLower();
    m_nameOfId.insert(id.trimmed(), key);
    if (kind == QLatin1String("P"))
        procedures << name;
    else if (kind == QLatin1String("TR"))
        triggers << name;
    else if (kind == QLatin1String("V"))
        views << name;
    else if (kind == QLatin1String("U")) {
        tables << name;
        layouts.insert(key, CatalogTable{name, {}, {}});
    }
}

void CatalogSnapshot::addText(const QString& id, const QString& text) {
    const auto it = m_nameOfId.constFind(id.trimmed());
    if (it != m_nameOfId.constEnd())
        texts[*it] += text;
}

void CatalogSnapshot::addColumn(const QString& id, const CatalogColumn& column) {
    const auto it = m_nameOfId.constFind(id.trimmed());
    if (it != m_nameOfId.constEnd() && layouts.contains(*it))
        layouts[*it].columns.push_back(column);
}

void CatalogSnapshot::addIndex(const QString& id, const CatalogIndex& index) {
    const auto it = m_nameOfId.constFind(id.trimmed());
    if (it != m_nameOfId.constEnd() && layouts.contains(*it))
        layouts[*it].indexes.push_back(index);
}

const CatalogTable* CatalogSnapshot::table(const QString& name) const {
    const auto it = layouts.constFind(name.toLower());
    return it == layouts.constEnd() ? nullptr : &*it;
}

QString CatalogSnapshot::text(const QString& name) const {
    return texts.value(name.toLower());
}

QStringList missingNames(const QStringList& a, const QStringList& b) {
    const QSet<QString> other = lowerSet(b);
    QStringList out;
    for (const QString& name : a)
        if (!other.contains(name.toLower()))
            out << name;
    return out;
}

QString foldWhiteSpace(const QString& text) {
    static const QRegularExpression blanks(QStringLiteral("[ \\t\\r\\n]+"));
    QString folded = text;
    folded.replace(blanks, QStringLiteral(" "));
    return folded.trimmed();
}

bool sameLayout(const CatalogTable& a, const CatalogTable& b) {
    if (a.columns.size() != b.columns.size() || a.indexes.size() != b.indexes.size())
        return false;
    for (std::size_t i = 0; i < a.columns.size(); ++i) {
        const CatalogColumn& x = a.columns[i];
        const CatalogColumn& y = b.columns[i];
        if (x.name.compare(y.name, Qt::CaseInsensitive) != 0 ||
            x.type.compare(y.type, Qt::CaseInsensitive) != 0 || x.length != y.length ||
            x.precision != y.precision || x.scale != y.scale || x.nullable != y.nullable ||
            x.identity != y.identity)
            return false;
    }
    // Indexes are matched by name: their ids depend on the order they were created in.
    for (const CatalogIndex& x : a.indexes) {
        const auto match = std::find_if(b.indexes.begin(), b.indexes.end(), [&](const auto& y) {
            return x.name.compare(y.name, Qt::CaseInsensitive) == 0;
        });
        if (match == b.indexes.end() || match->unique != x.unique ||
            match->clustered != x.clustered ||
            match->keys.join(QLatin1Char(',')).toLower() != x.keys.join(QLatin1Char(',')).toLower())
            return false;
    }
    return true;
}

CompareResult compareSnapshots(const CatalogSnapshot& one, const CatalogSnapshot& two,
                               const CompareOptions& options) {
    CompareResult result;
    const auto names = [&](bool wanted, ObjectKind kind, QStringList SideDifferences::*list) {
        if (!wanted)
            return;
        result.side1.*list = missingNames(one.names(kind), two.names(kind));
        result.side2.*list = missingNames(two.names(kind), one.names(kind));
    };
    names(options.procedures, ObjectKind::Procedure, &SideDifferences::procedures);
    names(options.triggers, ObjectKind::Trigger, &SideDifferences::triggers);
    names(options.views, ObjectKind::View, &SideDifferences::views);
    names(options.tables, ObjectKind::Table, &SideDifferences::tables);

    if (options.layout) {
        const auto differs = [&](const QString& name) {
            const CatalogTable* a = one.table(name);
            const CatalogTable* b = two.table(name);
            return a && b && !sameLayout(*a, *b);
        };
        result.side1.layout = differing(one.tables, two.tables, differs);
        result.side2.layout = differing(two.tables, one.tables, differs);
    }
    if (options.text) {
        const auto differs = [&](const QString& name) {
            const QString a = one.text(name);
            const QString b = two.text(name);
            return options.ignoreWhiteSpace ? foldWhiteSpace(a) != foldWhiteSpace(b) : a != b;
        };
        for (const ObjectKind kind :
             {ObjectKind::Procedure, ObjectKind::Trigger, ObjectKind::View}) {
            result.side1.text << differing(one.names(kind), two.names(kind), differs);
            result.side2.text << differing(two.names(kind), one.names(kind), differs);
        }
    }
    return result;
}

QString tableDefinition(const CatalogTable& table) {
    std::vector<LayoutColumn> columns;
    columns.reserve(table.columns.size());
    for (const CatalogColumn& c : table.columns)
        columns.push_back({c.name, c.type, c.nullable ? QStringLiteral("1") : QStringLiteral("0"),
                           c.length, c.precision, c.scale});
    PasteFlags create;
    create.PasteCREATE = true;
    QString text = tableText(table.name, tableLayout(columns, true), create);
    for (const CatalogIndex& index : table.indexes) {
        IndexParts parts;
        parts.head = QStringLiteral("create ") + (index.unique ? "unique " : "") +
                     (index.clustered ? "clustered" : "nonclustered") + " index " + index.name +
                     " on " + table.name + " ";
        parts.keys = index.keys.join(QStringLiteral(", "));
        text += QLatin1String(kCrLf) + indexText(table.name + "." + index.name, parts, {});
    }
    return text;
}

QString catalogObjectQuery() {
    return QStringLiteral("select id, name, type from sysobjects where type in "
                          "(\"P\",\"TR\",\"V\",\"U\") order by name");
}

QString catalogTextQuery(bool withColid2) {
    return QStringLiteral("select c.id, c.text from syscomments c, sysobjects o where c.id = o.id "
                          "and o.type in (\"P\",\"TR\",\"V\") order by c.id, ") +
           (withColid2 ? "c.colid2, c.colid" : "c.colid");
}

QString catalogColumnQuery() {
    // The tables by a subquery: simserver drops rows of an outer join joined to a third table.
    return QStringLiteral(
        "select c.id, c.name, t.name, convert(varchar(6),c.length), convert(varchar(6),c.prec), "
        "convert(varchar(6),c.scale), c.status from syscolumns c, systypes t "
        "where c.usertype *= t.usertype and c.id in (select id from sysobjects where type = \"U\") "
        "order by c.id, c.colid");
}

QString catalogIndexQuery() {
    QString sql = QStringLiteral("select i.id, i.name, i.indid, i.status, i.status2");
    for (int key = 1; key <= kIndexKeyColumns; ++key)
        sql += ", index_col(o.name, i.indid, " + QString::number(key) + ")";
    return sql + " from sysindexes i, sysobjects o where i.id = o.id and o.type = \"U\" "
                 "and i.indid > 0 and i.indid < 255 order by i.id, i.indid";
}

CatalogColumn catalogColumn(const QStringList& row) {
    const int status = row.value(6).trimmed().toInt();
    return {row.value(1),
            row.value(2),
            row.value(3).trimmed(),
            row.value(4).trimmed(),
            row.value(5).trimmed(),
            (status & kNullable) != 0,
            (status & kIdentity) != 0};
}

CatalogIndex catalogIndex(const QStringList& row) {
    const int indid = row.value(2).trimmed().toInt();
    const int status = row.value(3).trimmed().toInt();
    const int status2 = row.value(4).trimmed().toInt();
    CatalogIndex index{row.value(1),
                       {},
                       (status & kUniqueIndex) != 0,
                       indid == 1 || (status2 & kClusteredDol) != 0};
    for (qsizetype key = 5; key < row.size() && !row[key].isEmpty(); ++key)
        index.keys << row[key];
    return index;
}

} // namespace ostrim
