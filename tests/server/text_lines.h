#pragma once
// Helpers of the object text tests: blanks, CR LF lines, and readable QString failures.

#include <QString>
#include <QStringList>

#include <ostream>

// Failures show the text, not its bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace ostrim::test {

inline QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}

inline QStringList lines(const QString& crlfText) {
    return crlfText.split("\r\n");
}

} // namespace ostrim::test
