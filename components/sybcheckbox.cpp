#include "sybcheckbox.h"

namespace ostrim {

TSybCheckbox::TSybCheckbox(QWidget* owner) : QCheckBox(owner), DataControl(this) {}

QString TSybCheckbox::Value() const {
    return isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

void TSybCheckbox::setValue(const QString& value) {
    setChecked(value.startsWith(QLatin1Char('1')));
}

} // namespace ostrim
