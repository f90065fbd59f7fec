#pragma once
// The process-wide lists of named components (DatabaseList, QueryList, ...): GUI thread only.

#include <QString>

#include <algorithm>
#include <vector>

namespace ostrim {

// One list per type T, in order of entry. Never freed: components may outlive static
// destruction order.
template <class T> class Registry {
public:
    static const std::vector<T*>& items() { return list(); }
    // Enters item once; a listed item keeps its place.
    static void enter(T* item) {
        if (!contains(item))
            list().push_back(item);
    }
    static void leave(const T* item) {
        auto& l = list();
        l.erase(std::remove(l.begin(), l.end(), item), l.end());
    }
    static bool contains(const T* item) {
        const auto& l = list();
        return item && std::find(l.begin(), l.end(), item) != l.end();
    }
    // The first item whose name() is exactly name. An empty name names nothing, or unnamed
    // items would match it.
    template <class Name> static T* find(const QString& name, Name nameOf) {
        if (name.isEmpty())
            return nullptr;
        for (T* item : list())
            if (nameOf(*item) == name)
                return item;
        return nullptr;
    }

private:
    static std::vector<T*>& list() {
        static auto* items = new std::vector<T*>;
        return *items;
    }
};

} // namespace ostrim
