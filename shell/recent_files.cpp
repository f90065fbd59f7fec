#include "recent_files.h"

namespace ostrim {

QString RecentFiles::slot(int number) const {
    if (number < 1 || number > count())
        return QString();
    return m_names[number - 1];
}

bool RecentFiles::add(const QString& name) {
    // An empty name could not be told from an empty slot when read back.
    if (name.isEmpty() || m_names.contains(name, Qt::CaseSensitive))
        return false;
    if (m_names.size() == kCapacity)
        m_names.removeFirst();
    m_names.append(name);
    return true;
}

void RecentFiles::assignPacked(const QStringList& values) {
    m_names.clear();
    for (const QString& value : values) {
        if (value.isEmpty())
            continue;
        if (m_names.size() == kCapacity)
            break;
        m_names.append(value);
    }
}

} // namespace ostrim
