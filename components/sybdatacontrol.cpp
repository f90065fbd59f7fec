#include "sybdatacontrol.h"

#include "registry.h"
#include "sybquery.h"

#include <QWidget>

namespace ostrim {

using DataControls = Registry<DataControl>;

DataControl::DataControl(QWidget* self) : m_self(self) {}

// Runs before the widget part is destroyed, so the name and the owner are still there.
DataControl::~DataControl() {
    if (TSybQuery* dataSet = dataSetNamed(m_dataSet))
        dataSet->fieldList().remove(Name());
    DataControls::leave(this);
}

const std::vector<DataControl*>& DataControl::DataControlList() {
    return DataControls::items();
}

QString DataControl::Name() const {
    return m_self->objectName();
}

void DataControl::setName(const QString& name) {
    const QString previous = Name();
    m_self->setObjectName(name.left(kNameLength));
    if (TSybQuery* dataSet = dataSetNamed(m_dataSet))
        dataSet->fieldList().rename(previous, Name());
    DataControls::enter(this);
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
