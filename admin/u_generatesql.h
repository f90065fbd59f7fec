#pragma once
// Tf_formsql: the form expert's last page, the WHERE clause of the rows to edit. Made once at
// start and kept, so a run starts with the text of the run before.

#include "expert_page.h"

class QPlainTextEdit;

namespace ostrim {

class Tf_formsql : public ExpertPage {
    Q_OBJECT
public:
    explicit Tf_formsql(QWidget* owner = nullptr);

    QPlainTextEdit* m_sql = nullptr;

    // The text as typed, its lines ended with CR LF as the server gets them.
    QString whereText() const;

    void btn_nextClick();
};

} // namespace ostrim
