#include "u_generate3.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <utility>

namespace ostrim {

namespace {

ExpertPicture::Motif preview(ModifyLayout layout) {
    switch (layout) {
    case ModifyLayout::Vertical:
        return ExpertPicture::Motif::Vertical;
    case ModifyLayout::Horizontal:
        return ExpertPicture::Motif::Horizontal;
    case ModifyLayout::Grid:
        break;
    }
    return ExpertPicture::Motif::Grid;
}

} // namespace

Tf_form3::Tf_form3(QWidget* owner)
    : ExpertPage("Sybase Database Form Expert", ExpertPicture::Motif::Grid, false, owner) {
    setObjectName("f_form3");
    auto* grid = new QGridLayout;
    int row = 0;
    auto choice = [&](const char* name, const QString& caption, const char* labelName,
                      const QString& description, QLabel*& label) {
        auto* radio = new QRadioButton(caption, this);
        radio->setObjectName(name);
        label = new QLabel(description, this);
        label->setObjectName(labelName);
        label->setWordWrap(true);
        label->setIndent(24);
        grid->addWidget(radio, row++, 0);
        grid->addWidget(label, row++, 0);
        grid->setRowMinimumHeight(row++, 12);
        return radio;
    };
    r_grid = choice("r_grid", "&Grid", "Label1",
                    "Place each field within its own column inside a grid object working from "
                    "left to right",
                    Label1);
    r_vertical = choice("r_vertical", "&Vertical", "Label2",
                        "Place each field directly below the previous one working from the top "
                        "down to the bottom",
                        Label2);
    r_horizontal = choice("r_horizontal", "Hori&zontal", "Label3",
                          "Place each field side-by-side starting ate the left corner working "
                          "towards the bottm right",
                          Label3);
    grid->setRowStretch(row, 1);
    r_grid->setChecked(true);
    content()->addLayout(grid, 1);

    connect(btn_next, &QPushButton::clicked, this, &Tf_form3::btn_nextClick);
    // Toggled, not clicked: the arrow keys move the check without a click.
    const std::pair<QRadioButton*, void (Tf_form3::*)()> handlers[] = {
        {r_grid, &Tf_form3::r_gridClick},
        {r_vertical, &Tf_form3::r_verticalClick},
        {r_horizontal, &Tf_form3::r_horizontalClick}};
    for (const auto& entry : handlers)
        connect(entry.first, &QRadioButton::toggled, this,
                [this, handler = entry.second](bool checked) {
                    if (checked)
                        (this->*handler)();
                });
}

void Tf_form3::choose(ModifyLayout layout) {
    m_layout = layout;
    picture->setMotif(preview(layout));
}

void Tf_form3::btn_nextClick() {
    choose(r_vertical->isChecked()     ? ModifyLayout::Vertical
           : r_horizontal->isChecked() ? ModifyLayout::Horizontal
                                       : ModifyLayout::Grid);
    proceed();
}

} // namespace ostrim
