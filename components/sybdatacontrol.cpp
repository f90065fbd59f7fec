#include "sybdatacontrol.h"

#include "sybquery.h"

#include <QWidget>

#include <algorithm>

namespace ostrim {

namespace {

constexpr int kNameLength = 30;

// Never freed: controls may outlive static destruction order.
std::vector<DataControl*>& registry() {
    static auto* list = new std::vector<DataControl*>;
    return *list;
}

} // namespace

DataControl::DataControl(QWidget* self) : m_self(self) {
    registry();
}

// Runs before the widget part is destroyed, so the name and the owner are still there.
DataControl::~DataControl() {
    if (TSybQuery* dataSet = dataSetNamed(m_dataSet))
        dataSet->fieldList().remove(Name());
    auto& list = registry();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

const std::vector<DataControl*>& DataControl::DataControlList() {
    return registry();
}

QString DataControl::Name() const {
    return m_self->objectName();
}

void DataControl::setName(const QString& name) {
    const QString previous = Name();
    m_self->setObjectName(name.left(kNameLength));
    if (TSybQuery* dataSet = dataSetNamed(m_dataSet))
        dataSet->fieldList().rename(previous, Name());
    auto& list = registry();
    if (std::find(list.begin(), list.end(), this) == list.end())
        list.push_back(this);
}

void DataControl::setDataSet(const QString& name) {
    if (TSybQuery* previous = dataSetNamed(m_dataSet))
        previous->fieldList().remove(Name());
    m_dataSet = name.left(kNameLength);
    if (TSybQuery* current = dataSetNamed(m_dataSet))
        current->fieldList().add(Name());
}

void DataControl::setDataField(const QString& name) {
    m_dataField = name.left(kNameLength);
}

TSybQuery* DataControl::dataSetNamed(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    for (TSybQuery* query : TSybQuery::QueryList()) {
        if (query->Name() != name || !query->parent())
            continue;
        for (const QObject* owner = m_self->parent(); owner; owner = owner->parent())
            if (owner == query->parent())
                return query;
    }
    return nullptr;
}

} // namespace ostrim
