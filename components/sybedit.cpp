#include "sybedit.h"

#include "sybquery.h"

namespace ostrim {

TSybEdit::TSybEdit(QWidget* owner) : QLineEdit(owner), DataControl(this) {}

void TSybEdit::setDataField(const QString& name) {
    DataControl::setDataField(name);
    if (TSybQuery* dataSet = dataSetNamed(DataSet()))
        dataSet->linkParameterField(DataField(), Name());
}

void TSybEdit::setDatatype(const QString& name) {
    m_datatype = name.left(kNameLength);
}

} // namespace ostrim
