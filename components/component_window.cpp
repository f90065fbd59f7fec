#include "component_window.h"

#include <QObject>
#include <QWidget>

namespace ostrim {

const QObject* ownerWindow(const QObject* component) {
    for (const QObject* object = component; object; object = object->parent()) {
        if (object->isWidgetType())
            return static_cast<const QWidget*>(object)->window();
        if (!object->parent())
            return object;
    }
    return nullptr;
}

} // namespace ostrim
