#pragma once
// Name lookups between components that prefer the one in the caller's own window: two windows of
// one kind hold components of the same names, and each must reach its own.

#include <QString>

#include <vector>

class QObject;

namespace ostrim {

// The top-level window a component lives in: its widget's window, else the root of its owner
// chain (which is the component itself when unowned); nullptr for nullptr.
const QObject* ownerWindow(const QObject* component);

// The first of items named name whose window is near's window, else the first named name. An
// empty name names nothing. objectOf gives an item's QObject (nullptr: no window).
template <class T, class NameOf, class ObjectOf>
T* findNearest(const std::vector<T*>& items, const QString& name, const QObject* near,
               NameOf nameOf, ObjectOf objectOf) {
    if (name.isEmpty())
        return nullptr;
    const QObject* window = ownerWindow(near);
    T* first = nullptr;
    for (T* item : items) {
        if (nameOf(*item) != name)
            continue;
        if (window && ownerWindow(objectOf(*item)) == window)
            return item;
        if (!first)
            first = item;
    }
    return first;
}

} // namespace ostrim
