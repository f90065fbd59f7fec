#pragma once
// One database's catalogue as read once for the object differences, and the compare of two of
// them: names only on one side, tables whose layout differs, objects whose text differs. Pure:
// the rows come in as the catalogue queries return them.

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

namespace ostrim {

struct CatalogColumn {
    QString name;
    QString type;
    QString length;
    QString precision; // empty where the type has none
    QString scale;
    bool nullable = false;
    bool identity = false;
    bool operator==(const CatalogColumn&) const = default;
};

struct CatalogIndex {
    QString name;
    QStringList keys; // in key order
    bool unique = false;
    bool clustered = false;
    bool operator==(const CatalogIndex&) const = default;
};

struct CatalogTable {
    QString name;
    std::vector<CatalogColumn> columns; // in column order
    std::vector<CatalogIndex> indexes;  // in index id order
};

// The object kinds compared, in the order their lists are filled.
enum class ObjectKind { Procedure, Trigger, View, Table };

struct CatalogSnapshot {
    // Names by kind, in name order as the server sorts them.
    QStringList procedures;
    QStringList triggers;
    QStringList views;
    QStringList tables;
    // Keyed by the lower-case name: source texts of procedures, triggers and views; user tables.
    QHash<QString, QString> texts;
    QHash<QString, CatalogTable> layouts;

    const QStringList& names(ObjectKind kind) const;
    // Adders in the order the queries return rows; an object's rows must come after it.
    void addObject(const QString& id, const QString& name, const QString& type);
    void addText(const QString& id, const QString& text);
    void addColumn(const QString& id, const CatalogColumn& column);
    void addIndex(const QString& id, const CatalogIndex& index);

    const CatalogTable* table(const QString& name) const;
    QString text(const QString& name) const;

private:
    QHash<QString, QString> m_nameOfId; // object id to lower-case name
};

struct CompareOptions {
    bool procedures = true;
    bool triggers = true;
    bool views = true;
    bool tables = true;
    bool layout = true;
    bool text = true;
    bool ignoreWhiteSpace = true;
};

// What one side lists.
struct SideDifferences {
    QStringList procedures;
    QStringList triggers;
    QStringList views;
    QStringList tables;
    QStringList layout; // user tables on both sides whose columns or indexes differ
    QStringList text;   // procedures, triggers and views on both sides whose text differs
};

struct CompareResult {
    SideDifferences side1;
    SideDifferences side2;
};

// The names of a missing from b, in a's order, letter case ignored, duplicates kept.
QStringList missingNames(const QStringList& a, const QStringList& b);
// Runs of blanks, tabs and line breaks as one blank, and none at either end.
QString foldWhiteSpace(const QString& text);
bool sameLayout(const CatalogTable& a, const CatalogTable& b);

CompareResult compareSnapshots(const CatalogSnapshot& one, const CatalogSnapshot& two,
                               const CompareOptions& options);

// The CREATE TABLE and CREATE INDEX statements of a table, as Paste Object Text builds them.
QString tableDefinition(const CatalogTable& table);

// The queries that read a database's catalogue once. The text query orders by colid2 too when
// the server has that column.
QString catalogObjectQuery();
QString catalogTextQuery(bool withColid2);
QString catalogColumnQuery();
// Index keys come through index_col for positions 1 to kIndexKeyColumns.
inline constexpr int kIndexKeyColumns = 16;
QString catalogIndexQuery();
// A row of the column query and of the index query, as text.
CatalogColumn catalogColumn(const QStringList& row);
CatalogIndex catalogIndex(const QStringList& row);

} // namespace ostrim
