#include "sybmemo.h"

#include "sybase32.h"

namespace ostrim {

TSybMemo::TSybMemo(QWidget* owner) : QPlainTextEdit(owner), DataControl(this) {}

void TSybMemo::setDatatype(const QString& name) {
    m_datatype = name.left(kNameLength);
}

} // namespace ostrim
