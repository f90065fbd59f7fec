#pragma once
// The UPDATE and DELETE texts of the data modification grid, built from a row's cell texts.
// Character values are quoted with their double quotes doubled; any other value goes bare and
// must therefore be a plain literal of its column's type, or a typed "5 delete t" would run as
// a second statement. Names are used as the catalogue gives them.

#include <QList>
#include <QString>

#include <optional>

namespace ostrim {

// One cell of a row as a statement uses it.
struct CellValue {
    QString column; // the column's name
    QString type;   // DB-Library's name of its type (dbprtype of dbcoltype)
    QString text;   // the cell's text; empty for null
};

// A statement, or why it cannot be sent.
struct ModifyStatement {
    QString text;
    QString refusal; // empty when text may be sent
};

// The types whose values are written in quotes: char (varchar too), text, datetime and
// smalldatetime.
bool isCharacterType(const QString& type);

// The value as a statement writes it: null for an empty text, a character value in double
// quotes, any other bare. In a WHERE clause the text is trimmed first (an empty text still
// means null). Nothing when a bare value is no plain literal of its type.
std::optional<QString> valueText(const CellValue& value, bool inWhere);

// "update " table " set " col=value,... " where " key=value and ...
ModifyStatement updateStatement(const QString& table, const QList<CellValue>& set,
                                const QList<CellValue>& keys);
// "delete " table " where " key=value and ...
ModifyStatement deleteStatement(const QString& table, const QList<CellValue>& keys);

} // namespace ostrim
