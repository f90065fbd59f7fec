#pragma once
// TSybMemo: a multi-line text box that shows one column of its data set's current row.

#include "sybdatacontrol.h"

#include <QPlainTextEdit>

namespace ostrim {

class TSybMemo : public QPlainTextEdit, public DataControl {
    Q_OBJECT
public:
    explicit TSybMemo(QWidget* owner = nullptr);

    QString ClassName() const override { return QStringLiteral("TSybMemo"); }
    QString Value() const override { return toPlainText(); }
    void setValue(const QString& value) override { setPlainText(value); }

    QString Datatype() const { return m_datatype; }
    void setDatatype(const QString& name);
    qint16 Length() const { return m_length; }
    void setLength(qint16 length) { m_length = length; }

private:
    QString m_datatype;
    qint16 m_length = 0;
};

} // namespace ostrim
