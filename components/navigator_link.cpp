#include "navigator_link.h"

#include <algorithm>

namespace ostrim {

namespace {

// Never freed: navigators may outlive static destruction order.
std::vector<NavigatorLink*>& registry() {
    static auto* list = new std::vector<NavigatorLink*>;
    return *list;
}

} // namespace

NavigatorLink::~NavigatorLink() {
    auto& list = registry();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<NavigatorLink*>& NavigatorLink::NavigatorList() {
    return registry();
}

NavigatorLink* NavigatorLink::findForDataSet(const QString& dataSet) {
    for (NavigatorLink* link : registry())
        if (link->DataSet() == dataSet)
            return link;
    return nullptr;
}

bool NavigatorLink::isListed(const NavigatorLink* link) {
    const auto& list = registry();
    return link && std::find(list.begin(), list.end(), link) != list.end();
}

void NavigatorLink::enterNavigatorList() {
    auto& list = registry();
    if (std::find(list.begin(), list.end(), this) == list.end())
        list.push_back(this);
}

} // namespace ostrim
