#include "sybsproc.h"

#include "dialogs.h"
#include "navigator_link.h"
#include "object_text.h"
#include "sybdatabase.h"
#include "sybdatacontrol.h"

#include <QHash>
#include <QVariant>

#include <sybdb.h>
#include <sybfront.h>

#include <algorithm>
#include <cctype>
#include <optional>

namespace ostrim {

namespace {

constexpr int kCharValueLength = 30;
constexpr int kParamNameLength = 31;
constexpr int kIdLength = 10;
// The last day a smalldatetime holds (6 June 2079), in days from 1 January 1900.
constexpr DBINT kLastSmallDay = 65535;

QString controlText(const QObject* control) {
    if (const auto* data = dynamic_cast<const DataControl*>(control))
        return data->Value();
    for (const char* property : {"text", "plainText", "currentText"})
        if (const QVariant value = control->property(property); value.isValid())
            return value.toString();
    return {};
}

// The owner's component of that Name, letter case ignored.
const QObject* ownedComponent(const QObject* owner, const QString& name) {
    if (!owner || name.isEmpty())
        return nullptr;
    for (const QObject* object : owner->findChildren<QObject*>())
        if (object->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return object;
    return nullptr;
}

// FreeTDS fails a text it cannot read with -1, but reads a date part it cannot make out (month
// 13, day 45) as 1 January 1900 without a word: a text that names another year is refused here.
bool fellBackTo1900(const QByteArray& text, const DBDATETIME& value) {
    if (value.dtdays != 0)
        return false;
    for (qsizetype at = 0; at + 4 <= text.size(); ++at) {
        const QByteArray run = text.mid(at, 4);
        const bool digits =
            std::all_of(run.begin(), run.end(), [](char c) { return c >= '0' && c <= '9'; });
        const bool bounded = (at == 0 || !std::isdigit(uchar(text[at - 1]))) &&
                             (at + 4 == text.size() || !std::isdigit(uchar(text[at + 4])));
        if (digits && bounded && run != "1900")
            return true;
    }
    return false;
}

// The binary value of text as DB-Library type; nothing when it does not convert. No process is
// passed, so a failure reaches the error handler without a process, which shows no box: the
// caller reports it once.
std::optional<QByteArray> fixedValue(const QByteArray& text, int type) {
    const auto* source = reinterpret_cast<const BYTE*>(text.constData());
    if (type == SYBDATETIME || type == SYBDATETIME4) {
        DBDATETIME full{};
        if (dbconvert(nullptr, SYBCHAR, source, DBINT(text.size()), SYBDATETIME,
                      reinterpret_cast<BYTE*>(&full), sizeof full) != sizeof full ||
            fellBackTo1900(text, full))
            return std::nullopt;
        if (type == SYBDATETIME)
            return QByteArray(reinterpret_cast<const char*>(&full), sizeof full);
        // FreeTDS wraps a date outside smalldatetime's range round instead of failing.
        DBDATETIME4 small{};
        if (full.dtdays < 0 || full.dtdays > kLastSmallDay ||
            dbconvert(nullptr, SYBDATETIME, reinterpret_cast<BYTE*>(&full), sizeof full,
                      SYBDATETIME4, reinterpret_cast<BYTE*>(&small), sizeof small) != sizeof small)
            return std::nullopt;
        return QByteArray(reinterpret_cast<const char*>(&small), sizeof small);
    }
    QByteArray value(16, '\0');
    const DBINT length = dbconvert(nullptr, SYBCHAR, source, DBINT(text.size()), type,
                                   reinterpret_cast<BYTE*>(value.data()), DBINT(value.size()));
    if (length <= 0)
        return std::nullopt;
    value.resize(length);
    return value;
}

int typeCode(const QString& typeName) {
    // Each fixed type is sent as itself: its text is converted to that type before the call, so
    // an int sent as a smallint would refuse every value over 32767.
    static const QHash<QString, int> fixed = {{"intn", kParamInt},
                                              {"int", kParamInt},
                                              {"tinyint", kParamTinyInt},
                                              {"smallint", kParamSmallInt},
                                              {"bit", kParamBit},
                                              {"money", kParamMoney},
                                              {"moneyn", kParamMoney},
                                              {"smallmoney", kParamMoney},
                                              {"datetime", kParamDateTime},
                                              {"datetimn", kParamDateTime},
                                              {"smalldatetime", kParamSmallDateTime}};
    static const QStringList numbers = {"float", "decimal", "decimaln", "numericn",
                                        "real",  "floatn",  "numeric"};
    static const QStringList characters = {"char",  "varchar", "nvarchar",
                                           "nchar", "binary",  "sysname"};
    if (const auto found = fixed.constFind(typeName); found != fixed.cend())
        return *found;
    if (numbers.contains(typeName))
        return kParamFloat;
    if (typeName == QLatin1String("text"))
        return kParamText;
    if (characters.contains(typeName))
        return kParamVarchar;
    return kParamChar;
}

} // namespace

TSybSproc::TSybSproc(QObject* owner) : TSybQuery(owner) {}

std::vector<TSybSproc*> TSybSproc::SprocList() {
    std::vector<TSybSproc*> procedures;
    for (TSybQuery* query : QueryList())
        if (auto* procedure = qobject_cast<TSybSproc*>(query))
            procedures.push_back(procedure);
    return procedures;
}

void TSybSproc::setSProcName(const QString& name) {
    m_sprocName = name.left(kNameLength);
    m_params.Clear();
}

void TSybSproc::setDesignActive(bool active) {
    m_designActive = active;
    if (!active)
        return;
    const TSybDatabase* database = TSybDatabase::findDatabase(m_dbName);
    if (!database || !database->Connected())
        return;
    linkDatabase();
    m_params.Clear();
    TSybQuery catalogue;
    catalogue.setAutoDbProc(false);
    catalogue.setDbProc(m_dbProc);
    catalogue.setSql("select id from sysobjects where name = " + sqlString(m_sprocName) +
                     " and type=\"P\"");
    QString id;
    if (catalogue.Execute() == kSucceed)
        while (catalogue.Next() == kMoreRows)
            id = catalogue.ColumnValue(1).left(kIdLength);
    if (id.isEmpty())
        return;
    catalogue.setSql("select substring(sc.name,2,char_length(sc.name)-1),st.name from syscolumns "
                     "sc,systypes st where sc.id=" +
                     id + " and sc.type=st.type and sc.usertype=st.usertype order by colid");
    if (catalogue.Execute() != kSucceed)
        return;
    while (catalogue.Next() == kMoreRows)
        m_params.Add(quint8(typeCode(catalogue.ColumnValue(2))), catalogue.ColumnValue(1),
                     kParamOutput);
}

bool TSybSproc::collectValues(std::vector<QByteArray>& values) {
    values.clear();
    for (const auto& param : m_params.items()) {
        const QObject* control = ownedComponent(parent(), param->FieldName);
        if (!control) {
            values.emplace_back();
            continue;
        }
        param->Value = controlText(control);
        if (!isFixedLength(param->DataType)) {
            // Text values go whole: the cut is for the character types.
            const bool text = param->DataType == kParamText;
            values.push_back(
                (text ? param->Value : param->Value.left(kCharValueLength)).toLocal8Bit());
            continue;
        }
        if (param->Value.trimmed().isEmpty()) {
            values.emplace_back();
            continue;
        }
        const int type = dbLibType(param->DataType);
        const std::optional<QByteArray> value = fixedValue(param->Value.toLocal8Bit(), type);
        if (!value) {
            Dialogs::message(QStringLiteral("Parameter @%1: \"%2\" is not a valid %3 value.")
                                 .arg(param->Name, param->Value, QLatin1String(dbprtype(type))),
                             QStringLiteral("Error"), QMessageBox::Critical);
            return false;
        }
        values.push_back(*value);
    }
    return true;
}

int TSybSproc::Execute() {
    std::vector<QByteArray> values;
    if (!collectValues(values)) {
        m_lastResult = kFail;
        return m_lastResult;
    }
    if (NavigatorLink* navigator = NavigatorLink::findForDataSet(Name(), this))
        m_navigator = navigator;
    linkDatabase();
    m_lastResult = kFail;
    if (!m_dbProc)
        return m_lastResult;
    DBPROCESS* process = m_dbProc.get();
    // Whatever an earlier call left unread would make DB-Library refuse this one.
    dbcancel(process);
    m_rowStatus = 0;
    // A call left half built by a failure would make DB-Library refuse every later call of the
    // same procedure on this connection.
    const auto reset = [process] {
        dbrpcinit(process, const_cast<char*>(""), DBRPCRESET);
    };
    reset();
    if (dbrpcinit(process, m_sprocName.toLocal8Bit().constData(), DBRPCRECOMPILE) != SUCCEED)
        return m_lastResult;
    const auto& params = m_params.items();
    for (size_t i = 0; i < params.size(); ++i) {
        const tsybparam& param = *params[i];
        const int type = dbLibType(param.DataType);
        QByteArray& value = values[i];
        // A null goes with no data; DB-Library takes -1 as the length of a fixed-length value.
        const DBINT length = value.isEmpty()                 ? 0
                             : isFixedLength(param.DataType) ? -1
                                                             : value.size();
        const QByteArray name =
            (QLatin1Char('@') + param.Name).left(kParamNameLength).toLocal8Bit();
        if (dbrpcparam(process, name.constData(), param.isOutput() ? DBRPCRETURN : 0, type, -1,
                       length,
                       length ? reinterpret_cast<BYTE*>(value.data()) : nullptr) != SUCCEED) {
            reset();
            return m_lastResult;
        }
    }
    // DB-Library reads the values when it sends them: they live until here.
    m_lastResult = dbrpcsend(process);
    if (m_lastResult != kSucceed) {
        reset();
        return m_lastResult;
    }
    m_lastResult = dbsqlok(process);
    if (m_lastResult != kSucceed)
        return m_lastResult;
    takeResultState();
    const int code = m_lastResult;
    if (!m_returnRows || !m_rowsReturned) {
        while (TSybQuery::Next() == kMoreRows) {
        }
        pushReturnParameters();
    }
    return code;
}

int TSybSproc::Next() {
    const int code = TSybQuery::Next();
    if (code == kMoreRows)
        pushReturnParameters();
    return code;
}

QString TSybSproc::ReturnName(int number) const {
    DBPROCESS* process = m_dbProc.get();
    if (!process || number < 1 || number > dbnumrets(process))
        return {};
    const char* name = dbretname(process, number);
    return name ? QString::fromLocal8Bit(name) : QString();
}

void TSybSproc::pushReturnParameters() {
    if (Name().isEmpty())
        return;
    for (int r = 1; r <= ParamCount(); ++r) {
        const QString name = ReturnName(r);
        if (name.isEmpty())
            continue;
        DataControl::fill(
            this, Name(), name, [&] { return ReturnValue(r); }, false);
    }
}

void TSybSproc::linkParameterField(const QString& param, const QString& control) {
    const QString name = param.startsWith(QLatin1Char('@')) ? param.mid(1) : param;
    if (tsybparam* item = m_params.find(name))
        item->FieldName = control.left(kNameLength);
}

} // namespace ostrim
