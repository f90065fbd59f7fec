#pragma once
// Tf_form3: the form expert's fourth page, the layout of the data modification window. Made once
// at start and kept, so a run starts with the layout of the run before.

#include "expert_page.h"
#include "modify_request.h"

class QLabel;
class QRadioButton;

namespace ostrim {

class Tf_form3 : public ExpertPage {
    Q_OBJECT
public:
    explicit Tf_form3(QWidget* owner = nullptr);

    QRadioButton* r_grid = nullptr;
    QRadioButton* r_vertical = nullptr;
    QRadioButton* r_horizontal = nullptr;
    QLabel* Label1 = nullptr; // the descriptions, in the order of the buttons
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;

    ModifyLayout layout() const { return m_layout; }

    void r_gridClick() { choose(ModifyLayout::Grid); }
    void r_verticalClick() { choose(ModifyLayout::Vertical); }
    void r_horizontalClick() { choose(ModifyLayout::Horizontal); }
    void btn_nextClick();

private:
    // Shows the layout's preview and keeps it as the choice.
    void choose(ModifyLayout layout);

    ModifyLayout m_layout = ModifyLayout::Grid;
};

} // namespace ostrim
