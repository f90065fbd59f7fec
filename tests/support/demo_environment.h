#pragma once
// The demo server of a window test program: one ostrim-simserver --demo process, named in the
// SQL.INI of a temporary $SYBASE so that the login dialog and New find it.

#include "simserver_process.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace ostrim::test {

class DemoEnvironment : public ::testing::Environment {
public:
    // names: the server directory entries that lead to the server; prepare runs once it is up.
    explicit DemoEnvironment(QStringList names = {"DEMO"}, std::function<void()> prepare = {});
    void SetUp() override;
    void TearDown() override;

    static SimServer& server() { return *s_server; }

private:
    QStringList m_names;
    std::function<void()> m_prepare;
    static inline std::unique_ptr<SimServer> s_server;
    std::unique_ptr<QTemporaryDir> m_sybase;
};

} // namespace ostrim::test
