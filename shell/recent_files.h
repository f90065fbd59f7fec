#pragma once
// The recent-file list: up to ten file names in slots 1..10, in the order they were first added.

#include <QString>
#include <QStringList>

namespace ostrim {

class RecentFiles {
public:
    static constexpr int kCapacity = 10;

    int count() const { return static_cast<int>(m_names.size()); }
    // The name in slot 1..count(); empty for any other slot.
    QString slot(int number) const;
    const QStringList& names() const { return m_names; }

    // A name already in the list (same case) or an empty name changes nothing and gives false.
    // When the list is full the name in slot 1 is dropped and the new name goes to slot 10.
    bool add(const QString& name);
    // The non-empty values in order, packed from slot 1; at most kCapacity of them.
    void assignPacked(const QStringList& values);
    void clear() { m_names.clear(); }

private:
    QStringList m_names;
};

} // namespace ostrim
