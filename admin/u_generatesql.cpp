#include "u_generatesql.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

Tf_formsql::Tf_formsql(QWidget* owner)
    : ExpertPage("Enter SQL", ExpertPicture::Motif::Where, true, owner) {
    setObjectName("f_formsql");
    m_sql = new QPlainTextEdit("WHERE 1=1", this);
    m_sql->setObjectName("m_sql");
    m_sql->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_sql->setMinimumSize(320, 220);
    content()->addWidget(m_sql, 1);

    connect(btn_next, &QPushButton::clicked, this, &Tf_formsql::btn_nextClick);
}

QString Tf_formsql::whereText() const {
    return m_sql->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

void Tf_formsql::btn_nextClick() {
    const QString where = m_sql->toPlainText().trimmed();
    if (where == QLatin1String("WHERE") || where.size() < 6) {
        showExpertMessage("Enter the where clause !");
        return;
    }
    done(Finish);
}

} // namespace ostrim
