#include "demo_environment.h"

#include <QDir>
#include <QFile>

namespace ostrim::test {

DemoEnvironment::DemoEnvironment(QStringList names, std::function<void()> prepare)
    : m_names(std::move(names)), m_prepare(std::move(prepare)) {}

void DemoEnvironment::SetUp() {
    s_server = std::make_unique<SimServer>(std::vector<std::string>{"--demo"});
    s_server->start();
    m_sybase = std::make_unique<QTemporaryDir>();
    ASSERT_TRUE(m_sybase->isValid());
    QDir(m_sybase->path()).mkpath("INI");
    QFile ini(m_sybase->filePath("INI/SQL.INI"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    for (const QString& name : m_names)
        ini.write("[" + name.toLatin1() + "]\r\nquery=TCP,127.0.0.1," +
                  QByteArray::number(s_server->port()) + "\r\n");
    ini.close();
    qputenv("SYBASE", m_sybase->path().toLocal8Bit());
    if (m_prepare)
        m_prepare();
}

void DemoEnvironment::TearDown() {
    s_server.reset();
    m_sybase.reset();
}

} // namespace ostrim::test
