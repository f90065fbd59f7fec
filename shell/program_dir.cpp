#include "program_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ostrim {

QString resolveProgramDirectory(const ProgramDirInputs& inputs) {
    if (!inputs.ostrimHome.isEmpty())
        return QDir::cleanPath(inputs.ostrimHome);
    if (!inputs.executableDir.isEmpty() &&
        QFileInfo::exists(
            QDir(inputs.executableDir).filePath(QString::fromLatin1(kConfigFileName))))
        return QDir::cleanPath(inputs.executableDir);
    // The XDG base directory rules ignore a relative value.
    const QString configHome = QDir::isAbsolutePath(inputs.xdgConfigHome)
                                   ? inputs.xdgConfigHome
                                   : QDir(inputs.home).filePath(QStringLiteral(".config"));
    return QDir::cleanPath(QDir(configHome).filePath(QStringLiteral("ostrim")));
}

ProgramDirInputs currentProgramDirInputs() {
    ProgramDirInputs inputs;
    inputs.ostrimHome = qEnvironmentVariable("OSTRIM_HOME");
    inputs.xdgConfigHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    inputs.home = QDir::homePath();
    // Without an application object (plain unit tests) the kernel still knows the executable.
    inputs.executableDir =
        QCoreApplication::instance()
            ? QCoreApplication::applicationDirPath()
            : QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
    return inputs;
}

namespace {

// Every missing directory up to the given one is made for the user alone, as the XDG rules ask
// of the directories they name; one that exists is left as the user keeps it.
bool makePrivatePath(const QString& directory) {
    const QFileInfo info(directory);
    if (info.isDir())
        return true;
    if (const QString parent = info.path(); parent != directory && !makePrivatePath(parent))
        return false;
    constexpr QFileDevice::Permissions kOwnerOnly =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    // Another process may have made it meanwhile.
    return QDir().mkdir(directory, kOwnerOnly) || QFileInfo(directory).isDir();
}

} // namespace

QString programDirectory() {
    QString directory = resolveProgramDirectory(currentProgramDirInputs());
    makePrivatePath(directory);
    return directory;
}

QString resolveInDirectory(const QString& directory, const QString& name) {
    if (name.isEmpty() || QDir::isAbsolutePath(name))
        return name;
    return QDir(directory).filePath(name);
}

QString programFilePath(const QString& name) {
    return resolveInDirectory(programDirectory(), name);
}

} // namespace ostrim
