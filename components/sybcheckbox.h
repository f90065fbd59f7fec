#pragma once
// TSybCheckbox: a check box over a bit column: "1" checked, anything else unchecked.

#include "sybdatacontrol.h"

#include <QCheckBox>

namespace ostrim {

class TSybCheckbox : public QCheckBox, public DataControl {
    Q_OBJECT
public:
    explicit TSybCheckbox(QWidget* owner = nullptr);

    QString ClassName() const override { return QStringLiteral("TSybCheckbox"); }
    // One character: "1" or "0".
    QString Value() const override;
    // Checked exactly when the first character is "1".
    void setValue(const QString& value) override;

    QString Datatype() const { return m_datatype; }
    void setDatatype(const QString& name) { m_datatype = name; }

private:
    QString m_datatype = QStringLiteral("bit");
};

} // namespace ostrim
