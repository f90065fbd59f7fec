#pragma once
// The SQL the object lists send and the text Paste Object Text writes, as pure functions of
// what the server returned, so that every line can be checked without a server.

#include <QString>
#include <QStringList>

#include <vector>

namespace ostrim {

// Line break of every pasted text.
inline constexpr char kCrLf[] = "\r\n";

// The drop, create and "go" options of a paste.
struct PasteFlags {
    bool PasteDROP = false;
    bool PasteCREATE = false;
    bool AppendGo = false;
};

// One row of the layout query.
struct LayoutColumn {
    QString name;
    QString type;
    QString nullFlag; // "1" allows nulls, "0" does not
    QString length;
    QString precision;
    QString scale;
};

// Columns 1 to 4 of the last row of sp_ostrim_get_index.
struct IndexParts {
    QString head;
    QString keys;
    QString tail;
    QString segment;
};

// The query whose first column fills object_list for a kind of type_list; empty for an
// unknown kind.
QString objectListQuery(const QString& kind);
// The statement Drop Object sends; empty for kinds that have none.
QString dropStatement(const QString& kind, const QString& name);

// name as a Transact-SQL string between double quotes, inner double quotes doubled.
QString sqlString(const QString& name);
// name as a procedure argument: as it is when it is a plain identifier, else as a string.
QString procArgument(const QString& name);

QString columnQuery(const QString& name);
QString layoutQuery(const QString& table);
QString userTypeCall(const QString& name);
// An index entry reads table "." index.
QString indexTable(const QString& entry);
QString indexName(const QString& entry);
QString indexCall(const QString& entry);
// The key names of column 2: commas separate, blanks are dropped; the last one is kept even
// when empty.
QStringList indexKeyEntries(const QString& keys);

// The text before a paste: empty, or the editor's text and a line break when appending; an
// empty editor gives a line break only before an index.
QString pasteHeader(const QString& editorText, bool appendPaste, bool forIndex);
QString layoutLine(const LayoutColumn& column);
// One line per column, each led by a line break and a blank; commas between them when the
// text becomes a CREATE TABLE statement.
QString tableLayout(const std::vector<LayoutColumn>& columns, bool pasteCreate);
QString tableText(const QString& table, const QString& layout, const PasteFlags& flags);
QString selectText(const QString& table, const QStringList& columns);
// Procedures, triggers and views: the stored text rows joined as they are.
QString storedText(const QString& kind, const QString& name, const QStringList& rows,
                   const PasteFlags& flags);
QString indexText(const QString& entry, const IndexParts& parts, const PasteFlags& flags);

} // namespace ostrim
