#include "sybdatacontrol.h"

#include "registry.h"
#include "sybquery.h"
#include "sybtable.h"

#include <QWidget>

namespace ostrim {

using DataControls = Registry<DataControl>;

DataControl::DataControl(QWidget* self) : m_self(self) {}

// Runs before the widget part is destroyed, so the name and the owner are still there.
DataControl::~DataControl() {
    if (FieldNameList* fields = boundFields(m_dataSet))
        fields->remove(Name());
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
    if (FieldNameList* fields = boundFields(m_dataSet))
        fields->rename(previous, Name());
    DataControls::enter(this);
}

void DataControl::setDataSet(const QString& name) {
    if (FieldNameList* previous = boundFields(m_dataSet))
        previous->remove(Name());
    m_dataSet = name.left(kNameLength);
    if (FieldNameList* current = boundFields(m_dataSet))
        current->add(Name());
}

void DataControl::setDataField(const QString& name) {
    m_dataField = name.left(kNameLength);
}

namespace {

// The first of items named name whose owner is self's parent or an ancestor of it.
template <class DataSet>
DataSet* ownedBy(const std::vector<DataSet*>& items, const QString& name, const QWidget* self) {
    if (name.isEmpty())
        return nullptr;
    for (DataSet* item : items) {
        if (item->Name() != name || !item->parent())
            continue;
        for (const QObject* owner = self->parent(); owner; owner = owner->parent())
            if (owner == item->parent())
                return item;
    }
    return nullptr;
}

} // namespace

TSybQuery* DataControl::dataSetNamed(const QString& name) const {
    return ownedBy(TSybQuery::QueryList(), name, m_self);
}

FieldNameList* DataControl::boundFields(const QString& name) const {
    if (TSybQuery* query = dataSetNamed(name))
        return &query->fieldList();
    if (TSybTable* table = ownedBy(TSybTable::TableList(), name, m_self))
        return &table->fieldList();
    return nullptr;
}

} // namespace ostrim
