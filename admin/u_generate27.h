#pragma once
// Tf_form27: the form expert's third page, the key columns among the chosen ones. Made once at
// start and kept.

#include "expert_page.h"

#include <QStringList>

class QGroupBox;
class QListWidget;

namespace ostrim {

class Tf_form27 : public ExpertPage {
    Q_OBJECT
public:
    explicit Tf_form27(QWidget* owner = nullptr);

    QGroupBox* GroupBox1 = nullptr;
    QListWidget* l_primarykeys = nullptr;

    // Offers columns, none selected.
    void setColumns(const QStringList& columns);
    // The selected columns, in list order.
    QStringList keys() const;

    void btn_nextClick();
};

} // namespace ostrim
