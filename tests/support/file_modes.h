#pragma once
// A file's permission bits as the system has them, and the umask held for one test.

#include <QFile>
#include <QString>

#include <sys/stat.h>

namespace ostrim::test {

// The permission bits (e.g. 0600), or -1 when there is no such file.
inline int fileMode(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return int(status.st_mode & 07777);
}

inline bool setFileMode(const QString& path, int mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

class UmaskGuard {
public:
    explicit UmaskGuard(int mask) : m_saved(::umask(mode_t(mask))) {}
    UmaskGuard(const UmaskGuard&) = delete;
    UmaskGuard& operator=(const UmaskGuard&) = delete;
    ~UmaskGuard() { ::umask(m_saved); }

private:
    mode_t m_saved;
};

} // namespace ostrim::test
