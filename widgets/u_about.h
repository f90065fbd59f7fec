#pragma once
// The about box.

#include <QDialog>

namespace ostrim {

class Tf_about : public QDialog {
    Q_OBJECT
public:
    explicit Tf_about(QWidget* parent = nullptr);
};

} // namespace ostrim
