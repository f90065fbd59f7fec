#include "modify_statements.h"

#include <QRegularExpression>
#include <QStringList>

namespace ostrim {

namespace {

enum class Literal { Number, Money, Bit, Binary, None };

Literal literalOf(const QString& type) {
    static const QStringList numbers{"tinyint", "smallint", "int",     "bigint",
                                     "float",   "real",     "numeric", "decimal"};
    if (numbers.contains(type))
        return Literal::Number;
    if (type == u"money" || type == u"smallmoney")
        return Literal::Money;
    if (type == u"bit")
        return Literal::Bit;
    if (type == u"binary" || type == u"varbinary" || type == u"image")
        return Literal::Binary;
    return Literal::None;
}

// Blanks around a bare value are harmless; anything else outside the literal is not.
bool matches(const char* pattern, const QString& text) {
    return QRegularExpression(QString::fromLatin1(pattern)).match(text.trimmed()).hasMatch();
}

std::optional<QString> bareValue(const QString& text, const QString& type) {
    switch (literalOf(type)) {
    case Literal::Number:
        if (matches("^[+-]?[0-9]+(\\.[0-9]+)?([eE][+-]?[0-9]+)?$", text))
            return text;
        break;
    case Literal::Money:
        // One sign, before or after the dollar: "--5" would begin a comment.
        if (matches("^([+-]\\$?|\\$[+-]?)?[0-9]+(\\.[0-9]+)?$", text))
            return text;
        break;
    case Literal::Bit:
        if (matches("^[01]$", text))
            return text;
        break;
    case Literal::Binary:
        // DB-Library converts binary values to bare hex digits; the server wants them after 0x.
        if (matches("^(0[xX])?[0-9a-fA-F]*$", text)) {
            const QString digits = text.trimmed();
            return digits.startsWith(u"0x", Qt::CaseInsensitive) ? digits : "0x" + digits;
        }
        break;
    case Literal::None:
        break;
    }
    return std::nullopt;
}

// Why the cell cannot be written; empty when it can.
QString cellRefusal(const CellValue& cell, bool inWhere) {
    if (!cell.whole)
        return cell.column + QStringLiteral(": the grid loaded only part of this value");
    if (inWhere && (cell.type == u"float" || cell.type == u"real"))
        return QStringLiteral("%1: a %2 key cannot identify the row exactly")
            .arg(cell.column, cell.type);
    // A longer text is what the loader leaves of a cut value, or cannot be told from it.
    if (literalOf(cell.type) == Literal::Binary && cell.text.size() >= kLoadedTextLimit)
        return QStringLiteral("%1: a binary value of %2 characters or more cannot be sent from "
                              "the grid")
            .arg(cell.column)
            .arg(kLoadedTextLimit);
    return {};
}

// Appends "name=value" for each cell, separated by separator; the refusal of the first cell
// that cannot be written.
QString appendPairs(QString& text, const QList<CellValue>& cells, const QString& separator,
                    bool inWhere) {
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (QString refusal = cellRefusal(cells[i], inWhere); !refusal.isEmpty())
            return refusal;
        const std::optional<QString> value = valueText(cells[i], inWhere);
        if (!value)
            return QStringLiteral("%1: \"%2\" is not a plain %3 value")
                .arg(cells[i].column, cells[i].text, cells[i].type);
        if (i > 0)
            text += separator;
        text += cells[i].column + '=' + *value;
    }
    return {};
}

} // namespace

bool isCharacterType(const QString& type) {
    return type == u"char" || type == u"text" || type == u"datetime" || type == u"smalldatetime";
}

bool loadedWhole(const QString& type, qsizetype bytes, int textSize) {
    if (type == u"char")
        return true;
    if (type == u"text")
        return bytes < textSize;
    return bytes < kLoadedTextLimit;
}

std::optional<QString> valueText(const CellValue& value, bool inWhere) {
    if (value.text.isEmpty())
        return QStringLiteral("null");
    if (isCharacterType(value.type)) {
        QString quoted = value.text;
        if (inWhere) {
            while (quoted.endsWith(QLatin1Char(' ')))
                quoted.chop(1);
        }
        quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return '"' + quoted + '"';
    }
    return bareValue(inWhere ? value.text.trimmed() : value.text, value.type);
}

ModifyStatement updateStatement(const QString& table, const QList<CellValue>& set,
                                const QList<CellValue>& keys) {
    ModifyStatement statement;
    statement.text = "update " + table + " set ";
    statement.refusal = appendPairs(statement.text, set, QStringLiteral(","), false);
    if (statement.refusal.isEmpty()) {
        statement.text += " where ";
        statement.refusal = appendPairs(statement.text, keys, QStringLiteral(" and "), true);
    }
    if (!statement.refusal.isEmpty())
        statement.text.clear();
    return statement;
}

ModifyStatement deleteStatement(const QString& table, const QList<CellValue>& keys) {
    ModifyStatement statement;
    statement.text = "delete " + table + " where ";
    statement.refusal = appendPairs(statement.text, keys, QStringLiteral(" and "), true);
    if (!statement.refusal.isEmpty())
        statement.text.clear();
    return statement;
}

} // namespace ostrim
