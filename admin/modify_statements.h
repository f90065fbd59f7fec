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
    // False when the grid loaded only part of the value: sent back, or used as a key, it would
    // stand for a value the row does not hold.
    bool whole = true;
};

// A statement, or why it cannot be sent.
struct ModifyStatement {
    QString text;
    QString refusal; // empty when text may be sent
};

// The types whose values are written in quotes: char (varchar too), text, datetime and
// smalldatetime.
bool isCharacterType(const QString& type);

// The grid's loader cuts a value it converts to text (any type but char and text) to this many
// characters.
inline constexpr int kLoadedTextLimit = 255;

// Whether bytes loaded by the grid for a value of type can be its whole value: a text value is
// cut at the connection's textsize (0: not known), a converted one at kLoadedTextLimit.
bool loadedWhole(const QString& type, qsizetype bytes, int textSize);

// The value as a statement writes it: null for an empty text, a character value in double
// quotes, any other bare. In a WHERE clause a character value loses its trailing blanks (which
// the server ignores when it compares; leading ones tell rows apart) and a bare one its blanks
// on both sides; an empty text still means null. Nothing when a bare value is no plain literal
// of its type.
std::optional<QString> valueText(const CellValue& value, bool inWhere);

// "update " table " set " col=value,... " where " key=value and ...
// Refused for a cell that is not whole, a binary value the grid could have cut, and a float or
// real key, whose printed digits do not identify a row.
ModifyStatement updateStatement(const QString& table, const QList<CellValue>& set,
                                const QList<CellValue>& keys);
// "delete " table " where " key=value and ...
ModifyStatement deleteStatement(const QString& table, const QList<CellValue>& keys);

} // namespace ostrim
