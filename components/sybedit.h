#pragma once
// TSybEdit: a single-line edit that shows one column of its data set's current row.

#include "sybdatacontrol.h"

#include <QLineEdit>

namespace ostrim {

class TSybEdit : public QLineEdit, public DataControl {
    Q_OBJECT
public:
    explicit TSybEdit(QWidget* owner = nullptr);

    QString ClassName() const override { return QStringLiteral("TSybEdit"); }
    QString Value() const override { return text(); }
    void setValue(const QString& value) override { setText(value); }
    // A procedure data set then takes this edit's text as the parameter of that name.
    void setDataField(const QString& name) override;

    QString Datatype() const { return m_datatype; }
    void setDatatype(const QString& name);
    qint16 Length() const { return m_length; }
    void setLength(qint16 length) { m_length = length; }

private:
    QString m_datatype;
    qint16 m_length = 0;
};

} // namespace ostrim
