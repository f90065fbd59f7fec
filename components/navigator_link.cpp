#include "navigator_link.h"

#include "registry.h"

namespace ostrim {

using Navigators = Registry<NavigatorLink>;

NavigatorLink::~NavigatorLink() {
    Navigators::leave(this);
}

const std::vector<NavigatorLink*>& NavigatorLink::NavigatorList() {
    return Navigators::items();
}

NavigatorLink* NavigatorLink::findForDataSet(const QString& dataSet) {
    return Navigators::find(dataSet, [](const NavigatorLink& link) { return link.DataSet(); });
}

bool NavigatorLink::isListed(const NavigatorLink* link) {
    return Navigators::contains(link);
}

void NavigatorLink::enterNavigatorList() {
    Navigators::enter(this);
}

} // namespace ostrim
