#include "sybase_parameters.h"

#include "dialogs.h"

#include <sybdb.h>
#include <sybfront.h>

#include <QtEndian>

#include <array>

namespace ostrim {

namespace {

constexpr int kFieldNameBytes = 30;

constexpr std::array<int, 12> kDbLibTypes = {SYBCHAR,     SYBINT1,      SYBINT4,     SYBINT2,
                                             SYBDATETIME, SYBDATETIME4, SYBDATETIME, SYBMONEY,
                                             SYBFLT8,     SYBCHAR,      SYBBIT,      SYBTEXT};

QByteArray bytesOf(const QString& text) {
    return text.toLocal8Bit();
}

void appendInt(QByteArray& out, qint32 value) {
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void appendCounted(QByteArray& out, const QString& text) {
    const QByteArray bytes = bytesOf(text);
    appendInt(out, qint32(bytes.size()));
    out.append(bytes);
}

// Reads the records of "Data" in order; every read checks what is left.
class Reader {
public:
    explicit Reader(const QByteArray& data) : m_data(data) {}

    bool integer(qint32& value) {
        if (left() < 4)
            return false;
        value = qFromLittleEndian<qint32>(m_data.constData() + m_at);
        m_at += 4;
        return true;
    }
    bool byte(quint8& value) {
        if (left() < 1)
            return false;
        value = quint8(m_data[m_at++]);
        return true;
    }
    bool bytes(qsizetype count, QByteArray& value) {
        if (count < 0 || left() < count)
            return false;
        value = m_data.mid(m_at, count);
        m_at += count;
        return true;
    }
    bool counted(QString& text) {
        qint32 length = 0;
        QByteArray value;
        if (!integer(length) || !bytes(length, value))
            return false;
        text = QString::fromLocal8Bit(value);
        return true;
    }

private:
    qsizetype left() const { return m_data.size() - m_at; }

    const QByteArray& m_data;
    qsizetype m_at = 0;
};

} // namespace

int dbLibType(quint8 dataType) {
    return dataType < kDbLibTypes.size() ? kDbLibTypes[dataType] : SYBCHAR;
}

bool isFixedLength(quint8 dataType) {
    const int type = dbLibType(dataType);
    return type != SYBCHAR && type != SYBTEXT;
}

TSybParams& TSybParams::operator=(const TSybParams& other) {
    if (this != &other)
        Assign(other);
    return *this;
}

tsybparam* TSybParams::Items(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return find(m_items[size_t(index)]->Name);
}

tsybparam* TSybParams::find(const QString& name) const {
    for (const auto& item : m_items)
        if (item->Name.compare(name, Qt::CaseInsensitive) == 0)
            return item.get();
    return nullptr;
}

tsybparam* TSybParams::ParamByName(const QString& name) const {
    tsybparam* item = find(name);
    if (!item)
        Dialogs::message(QStringLiteral("Parameter not found !"), QStringLiteral("Ostrim"),
                         QMessageBox::NoIcon, QMessageBox::Ok);
    return item;
}

tsybparam* TSybParams::Add(quint8 dataType, const QString& name, quint8 paramType) {
    auto item = std::make_unique<tsybparam>();
    item->Owner = this;
    item->Name = name;
    item->DataType = dataType;
    item->ParamType = paramType;
    m_items.push_back(std::move(item));
    return m_items.back().get();
}

void TSybParams::Assign(const TSybParams& other) {
    std::vector<std::unique_ptr<tsybparam>> copies;
    for (const auto& item : other.m_items) {
        auto copy = std::make_unique<tsybparam>(*item);
        copy->Owner = this;
        copies.push_back(std::move(copy));
    }
    m_items = std::move(copies);
}

QByteArray TSybParams::Data() const {
    QByteArray out;
    appendInt(out, qint32(m_items.size()));
    for (const auto& item : m_items) {
        appendCounted(out, item->Name);
        out.append(char(item->ParamType));
        out.append(char(item->DataType));
        out.append(char(item->IsNull ? 1 : 0));
        const QByteArray field = bytesOf(item->FieldName).left(kFieldNameBytes);
        out.append(char(field.size()));
        out.append(field);
        out.append(QByteArray(kFieldNameBytes - field.size(), '\0'));
        appendCounted(out, item->Value);
    }
    return out;
}

bool TSybParams::setData(const QByteArray& data) {
    Clear();
    Reader in(data);
    qint32 count = 0;
    if (!in.integer(count) || count < 0)
        return false;
    for (qint32 i = 0; i < count; ++i) {
        tsybparam item;
        quint8 isNull = 0;
        quint8 fieldLength = 0;
        QByteArray field;
        if (!in.counted(item.Name) || !in.byte(item.ParamType) || !in.byte(item.DataType) ||
            !in.byte(isNull) || !in.byte(fieldLength) || !in.bytes(kFieldNameBytes, field) ||
            fieldLength > kFieldNameBytes || !in.counted(item.Value))
            return false;
        item.IsNull = isNull != 0;
        item.FieldName = QString::fromLocal8Bit(field.left(fieldLength));
        item.Owner = this;
        m_items.push_back(std::make_unique<tsybparam>(std::move(item)));
    }
    return true;
}

} // namespace ostrim
