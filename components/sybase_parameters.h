#pragma once
// TSybParams: the parameter list of a stored procedure component, streamed with its form as the
// binary property "Data". Each tsybparam carries its value as text.

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

class QDataStream;

namespace ostrim {

class TSybParams;

// DataType codes: each chooses the DB-Library type a parameter is sent as (dbLibType).
enum SybParamDataType : quint8 {
    kParamChar = 0,
    kParamTinyInt = 1,
    kParamInt = 2,
    kParamSmallInt = 3,
    kParamDateTime = 4,
    kParamSmallDateTime = 5,
    kParamDate = 6,
    kParamMoney = 7,
    kParamFloat = 8,
    kParamVarchar = 9,
    kParamBit = 10,
    kParamText = 11,
};

// ParamType 1 is input only; 0, 2 and 3 go as return (output) parameters.
inline constexpr quint8 kParamInput = 1;
inline constexpr quint8 kParamOutput = 2;

// The DB-Library type of a DataType code; SYBCHAR for codes outside 0 to 11.
int dbLibType(quint8 dataType);
// Whether a DataType code goes to DB-Library as a fixed-length binary value.
bool isFixedLength(quint8 dataType);

struct tsybparam {
    TSybParams* Owner = nullptr;
    QString Value;
    // Without the leading "@".
    QString Name;
    quint8 DataType = kParamChar;
    // Stored and streamed; the call does not consult it.
    bool IsNull = false;
    quint8 ParamType = 0;
    // The Name of the owner's control whose text becomes Value before each call.
    QString FieldName;

    bool isOutput() const { return ParamType == 0 || ParamType == 2 || ParamType == 3; }
};

class TSybParams {
public:
    TSybParams() = default;
    TSybParams(const TSybParams& other) { Assign(other); }
    TSybParams& operator=(const TSybParams& other);

    int Count() const { return int(m_items.size()); }
    // The first item of the same name as item index: of two items with one name, the first
    // always answers. nullptr outside the list.
    tsybparam* Items(int index) const;
    // Case-insensitive, first match. Unknown: the box "Parameter not found !", nullptr.
    tsybparam* ParamByName(const QString& name) const;
    // The same without the box.
    tsybparam* find(const QString& name) const;
    // Appends an item with an empty Value.
    tsybparam* Add(quint8 dataType, const QString& name, quint8 paramType);
    void Clear() { m_items.clear(); }
    // Copies of other's items; a copy keeps ParamType 0 only where other's item has 0.
    void Assign(const TSybParams& other);
    // The items in list order, as the call walks them.
    const std::vector<std::unique_ptr<tsybparam>>& items() const { return m_items; }

    // The layout of "Data": counts and lengths 32-bit little-endian; names and values as bytes.
    QByteArray Data() const;
    // Empties the list, then appends one item per record; false (keeping the whole records
    // read) when data ends early or holds an impossible length.
    bool setData(const QByteArray& data);

private:
    std::vector<std::unique_ptr<tsybparam>> m_items;
};

} // namespace ostrim
