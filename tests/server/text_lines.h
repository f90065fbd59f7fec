#pragma once
// Helpers of the object text tests: blanks, CR LF lines, and readable QString failures.

#include "qt_print.h"

#include <QString>
#include <QStringList>

namespace ostrim::test {

inline QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}

inline QStringList lines(const QString& crlfText) {
    return crlfText.split("\r\n");
}

} // namespace ostrim::test
