#pragma once
// Failures show Qt text, not its bytes.

#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[';
    for (const QString& s : list)
        *os << '"' << s.toStdString() << "\" ";
    *os << ']';
}
