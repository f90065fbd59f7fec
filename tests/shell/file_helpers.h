#pragma once
// Raw file access for the tests, independent of the code under test.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

namespace ostrim::test {

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace ostrim::test
