#pragma once
// The binding by name that the value controls TSybEdit, TSybMemo and TSybCheckbox share: the
// data set and column they show, DataControlList, and the upkeep of the data set's Fields.

#include <QString>

#include <vector>

class QWidget;

namespace ostrim {

class FieldNameList;
class TSybQuery;

class DataControl {
public:
    // Takes the control's name out of its data set's Fields and leaves DataControlList.
    virtual ~DataControl();

    // Every value control whose Name was set, in order of entry. Unguarded: GUI thread only.
    static const std::vector<DataControl*>& DataControlList();

    // "TSybEdit", "TSybMemo" or "TSybCheckbox": data sets pick controls by it.
    virtual QString ClassName() const = 0;
    virtual QString Value() const = 0;
    virtual void setValue(const QString& value) = 0;

    QString Name() const;
    // Cut to 30 characters; the bound data set's Fields follows; enters DataControlList.
    void setName(const QString& name);
    QString DataSet() const { return m_dataSet; }
    // Cut to 30 characters; the old data set forgets this control, the new one lists it.
    void setDataSet(const QString& name);
    QString DataField() const { return m_dataField; }
    virtual void setDataField(const QString& name);
    bool IsPrimaryKey() const { return m_isPrimaryKey; }
    void setIsPrimaryKey(bool value) { m_isPrimaryKey = value; }

    // The data set called name among the components of this control's owner (its parent or an
    // ancestor of it, so containers on a form do not hide the form's data sets).
    TSybQuery* dataSetNamed(const QString& name) const;

protected:
    explicit DataControl(QWidget* self);
    DataControl(const DataControl&) = delete;
    DataControl& operator=(const DataControl&) = delete;

private:
    // The Fields of the query or table called name among the owner's components.
    FieldNameList* boundFields(const QString& name) const;

    QWidget* m_self;
    QString m_dataSet;
    QString m_dataField;
    bool m_isPrimaryKey = false;
};

} // namespace ostrim
