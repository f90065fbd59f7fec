#pragma once
// TSybSproc: a query whose Execute calls a stored procedure as a DB-Library remote procedure
// call. Parameters take their values from the owner's controls; return parameters go back into
// the value controls whose DataField names them ("@name").

#include "sybase_parameters.h"
#include "sybquery.h"

#include <QString>

#include <vector>

namespace ostrim {

class TSybSproc : public TSybQuery {
    Q_OBJECT
public:
    explicit TSybSproc(QObject* owner = nullptr);

    // The procedure components among QueryList, in its order.
    static std::vector<TSybSproc*> SprocList();

    QString SProcName() const { return m_sprocName; }
    // Cut to 30 characters; empties Params.
    void setSProcName(const QString& name);
    TSybParams& Params() { return m_params; }
    const TSybParams& Params() const { return m_params; }
    void setParams(const TSybParams& params) { m_params.Assign(params); }
    int ParamCount() const { return m_params.Count(); }
    bool ReturnRows() const { return m_returnRows; }
    void setReturnRows(bool value) { m_returnRows = value; }
    // True fills Params from the catalogue of the connection named by DbName, when connected.
    void setDesignActive(bool active);

    // Sends the call. A fixed-length parameter whose text does not convert to its type is
    // reported in a box, and nothing is sent: kFail. Otherwise the code of the first dbresults.
    int Execute() override;
    // As the query's; a new current row also pushes the return parameters into the controls.
    int Next() override;
    // Name, with its "@", of return parameter number (from 1).
    QString ReturnName(int number) const;

    // The parameter that param names ("@name" or "name") takes its value from control.
    void linkParameterField(const QString& param, const QString& control) override;

private:
    // Value text of each parameter from its control; false, after the box, when a fixed-length
    // value does not convert. values receives the bytes to send, one per parameter (null: none).
    bool collectValues(std::vector<QByteArray>& values);
    void pushReturnParameters();

    QString m_sprocName;
    TSybParams m_params;
    bool m_returnRows = false;
};

} // namespace ostrim
