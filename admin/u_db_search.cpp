#include "u_db_search.h"

#include "db_search.h"
#include "dialogs.h"
#include "source_text.h"
#include "sybquery.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrim {

namespace {

const QString kCaption = QStringLiteral("Database Search");

// The object lists' name of a line's type code; empty for tables, which have no source.
QString storedKind(const QString& code) {
    if (code == QLatin1String("P"))
        return QStringLiteral("Procedures");
    if (code == QLatin1String("TR"))
        return QStringLiteral("Triggers");
    if (code == QLatin1String("V"))
        return QStringLiteral("Views");
    return {};
}

} // namespace

Tf_db_search::Tf_db_search(QWidget* owner) : QDialog(owner) {
    setObjectName("f_db_search");
    setWindowTitle(kCaption);
    createControls();
    connect(Button2, &QPushButton::clicked, this, &Tf_db_search::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tf_db_search::Button3Click);
    connect(Button1, &QPushButton::clicked, this, &Tf_db_search::Button1Click);
    connect(lb_search, &QListWidget::itemDoubleClicked, this, &Tf_db_search::lb_searchDblClick);
}

void Tf_db_search::createControls() {
    Label1 = new QLabel("Search Text:", this);
    Label1->setObjectName("Label1");
    e_searchtext = new QLineEdit(this);
    e_searchtext->setObjectName("e_searchtext");
    Label1->setBuddy(e_searchtext);

    auto check = [this](const char* name, const QString& caption, bool checked) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(name);
        box->setChecked(checked);
        return box;
    };
    chk_procedures = check("chk_procedures", "Procedures", true);
    chk_triggers = check("chk_triggers", "Triggers", true);
    chk_views = check("chk_views", "Views", true);
    chk_tables = check("chk_tables", "Tables", false);

    lb_search = new QListWidget(this);
    lb_search->setObjectName("lb_search");
    m_procs = new QPlainTextEdit(this);
    m_procs->setObjectName("m_procs");
    m_procs->setVisible(false);

    auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    Button2 = button("Button2", "&Search");
    Button2->setDefault(true);
    Button3 = button("Button3", "&Copy");
    Button1 = button("Button1", "&Close");

    q_search = new TSybQuery(this);
    q_search->setObjectName("q_search");
    q_search->setAutoDbProc(false);

    auto* text = new QHBoxLayout;
    text->addWidget(Label1);
    text->addWidget(e_searchtext, 1);
    auto* kinds = new QHBoxLayout;
    for (QCheckBox* box : {chk_procedures, chk_triggers, chk_views, chk_tables})
        kinds->addWidget(box);
    kinds->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (QPushButton* b : {Button2, Button3, Button1})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(text);
    layout->addLayout(kinds);
    layout->addWidget(lb_search, 1);
    layout->addWidget(m_procs);
    layout->addLayout(buttons);
    resize(460, 400);
}

void Tf_db_search::setWaitCursor(bool wait) {
    for (QWidget* w : std::initializer_list<QWidget*>{this, lb_search, Button2}) {
        if (wait)
            w->setCursor(Qt::WaitCursor);
        else
            w->unsetCursor();
    }
}

void Tf_db_search::Button2Click() {
    const QString text = e_searchtext->text();
    if (text.trimmed().isEmpty()) {
        Dialogs::message("Please enter text to search for !", kCaption, QMessageBox::Critical);
        return;
    }
    m_found = false;
    lb_search->clear();
    const struct {
        QCheckBox* box;
        SearchKind kind;
    } kinds[] = {{chk_procedures, SearchKind::Procedures},
                 {chk_triggers, SearchKind::Triggers},
                 {chk_views, SearchKind::Views},
                 {chk_tables, SearchKind::Tables}};
    for (const auto& k : kinds) {
        if (!k.box->isChecked())
            continue;
        if (k.kind != SearchKind::Tables && m_textOrder.isEmpty())
            m_textOrder = sourceTextOrder(q_search->DbProc());
        setWaitCursor(true);
        searchKind(*q_search, k.kind, text, m_textOrder, [this](const QString& line) {
            m_found = true;
            lb_search->addItem(line);
        });
        setWaitCursor(false);
    }
    if (!m_found)
        Dialogs::message("Text not Found !", kCaption, QMessageBox::Critical);
}

void Tf_db_search::Button3Click() {
    QStringList lines;
    for (int i = 0; i < lb_search->count(); ++i)
        lines << lb_search->item(i)->text();
    m_procs->clear();
    m_procs->setPlainText(lines.join(QLatin1Char('\n')));
    m_procs->selectAll();
    // The editor's own copy would end its lines with a bare line feed.
    QApplication::clipboard()->setText(
        m_procs->toPlainText().replace(QLatin1Char('\n'), QLatin1String("\r\n")));
}

void Tf_db_search::lb_searchDblClick(QListWidgetItem* item) {
    if (!item || !pasteSource)
        return;
    const QString line = item->text();
    const qsizetype dash = line.indexOf(QLatin1String(" - "));
    if (dash < 0)
        return;
    const QString kind = storedKind(line.left(dash).trimmed());
    if (!kind.isEmpty())
        pasteSource(kind, line.mid(dash + 3));
}

} // namespace ostrim
