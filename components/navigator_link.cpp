#include "navigator_link.h"

#include "component_window.h"
#include "registry.h"

namespace ostrim {

using Navigators = Registry<NavigatorLink>;

NavigatorLink::~NavigatorLink() {
    Navigators::leave(this);
}

const std::vector<NavigatorLink*>& NavigatorLink::NavigatorList() {
    return Navigators::items();
}

NavigatorLink* NavigatorLink::findForDataSet(const QString& dataSet, const QObject* near) {
    return findNearest(
        Navigators::items(), dataSet, near,
        [](const NavigatorLink& link) { return link.DataSet(); },
        [](const NavigatorLink& link) { return link.linkObject(); });
}

bool NavigatorLink::isListed(const NavigatorLink* link) {
    return Navigators::contains(link);
}

void NavigatorLink::enterNavigatorList() {
    Navigators::enter(this);
}

} // namespace ostrim
