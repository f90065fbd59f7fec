#include "component_window.h"

#include <QObject>
#include <QWidget>

namespace ostrim {

const QObject* ownerWindow(const QObject* component) {
    for (const QObject* object = component; object; object = object->parent()) {
        if (object->isWidgetType()) {
            // A child window of the frame is a window of its own, though Qt counts it part of
            // the frame's.
            const auto* widget = static_cast<const QWidget*>(object);
            while (!widget->isWindow() && widget->windowType() != Qt::SubWindow)
                widget = widget->parentWidget();
            return widget;
        }
        if (!object->parent())
            return object;
    }
    return nullptr;
}

} // namespace ostrim
