#include "u_diff.h"

#include "catalog_reader.h"
#include "dialogs.h"
#include "file_error_box.h"
#include "glyph_icon.h"
#include "line_diff.h"
#include "mdi_child.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "sybquery.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace ostrim {

namespace {

const QColor kChangedLine(255, 220, 150);

// Marks the document's lines whose flag is set.
void markLines(QPlainTextEdit& edit, const std::vector<bool>& changed) {
    QList<QTextEdit::ExtraSelection> marks;
    for (std::size_t line = 0; line < changed.size(); ++line) {
        if (!changed[line])
            continue;
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(edit.document()->findBlockByNumber(static_cast<int>(line)));
        mark.format.setBackground(kChangedLine);
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        marks << mark;
    }
    edit.setExtraSelections(marks);
}

QList<int> markedLines(const QPlainTextEdit& edit) {
    QList<int> lines;
    for (const QTextEdit::ExtraSelection& mark : edit.extraSelections())
        lines << mark.cursor.blockNumber();
    return lines;
}

void setList(QListWidget& list, const QStringList& names) {
    list.clear();
    list.addItems(names);
}

QStringList listTexts(const QListWidget& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.item(i)->text();
    return texts;
}

} // namespace

Tf_diff_view::Tf_diff_view(const QString& name, const QString& title1, const QString& text1,
                           const QString& title2, const QString& text2, QWidget* parent)
    : QDialog(parent) {
    setObjectName("Tf_diff_view");
    setWindowTitle(name);
    setAttribute(Qt::WA_DeleteOnClose);
    const QStringList lines1 = textLines(text1);
    const QStringList lines2 = textLines(text2);
    m_unified = unifiedDiff(lines1, lines2, title1, title2);

    l_side1 = new QLabel(title1, this);
    l_side2 = new QLabel(title2, this);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    const auto side = [&](const char* objectName, const QStringList& lines) {
        auto* edit = new QPlainTextEdit(this);
        edit->setObjectName(objectName);
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setFont(fixed);
        edit->setPlainText(lines.join(QLatin1Char('\n')));
        return edit;
    };
    memo1 = side("memo1", lines1);
    memo2 = side("memo2", lines2);
    const LineDiff diff = diffLines(lines1, lines2);
    markLines(*memo1, diff.changed1);
    markLines(*memo2, diff.changed2);
    // Both sides scroll together, so that the marked lines stay side by side.
    connect(memo1->verticalScrollBar(), &QScrollBar::valueChanged, memo2->verticalScrollBar(),
            &QScrollBar::setValue);
    connect(memo2->verticalScrollBar(), &QScrollBar::valueChanged, memo1->verticalScrollBar(),
            &QScrollBar::setValue);

    btn_copy = new QPushButton(tr("&Copy"), this);
    btn_copy->setObjectName("btn_copy");
    btn_copy->setToolTip(tr("Copy the differences as a unified diff"));
    btn_close = new QPushButton(tr("Close"), this);
    btn_close->setObjectName("btn_close");
    connect(btn_copy, &QPushButton::clicked, this, &Tf_diff_view::CopyClick);
    connect(btn_close, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(l_side1, 0, 0);
    grid->addWidget(l_side2, 0, 1);
    grid->addWidget(memo1, 1, 0);
    grid->addWidget(memo2, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btn_copy);
    buttons->addWidget(btn_close);
    grid->addLayout(buttons, 2, 0, 1, 2);
    resize(1200, 560);
}

QList<int> Tf_diff_view::markedLines1() const {
    return markedLines(*memo1);
}

QList<int> Tf_diff_view::markedLines2() const {
    return markedLines(*memo2);
}

void Tf_diff_view::CopyClick() {
    QApplication::clipboard()->setText(m_unified);
}

Tf_diff::Tf_diff(QWidget* parent) : QWidget(parent) {
    setObjectName("Tf_diff");
    setWindowTitle(tr("Diff"));
    setAttribute(Qt::WA_DeleteOnClose);
    for (TSybDatabase** connection : {&sybase1, &sybase2}) {
        *connection = new TSybDatabase(this);
        (*connection)->setDBName("master");
    }
    // The connections are handed over by process, not looked up by name: two windows may be
    // open at once.
    for (TSybQuery** query : {&q1, &q2}) {
        *query = new TSybQuery(this);
        (*query)->setAutoDbProc(false);
    }
    createControls();
}

Tf_diff::~Tf_diff() {
    sybase1->disconnect();
    sybase2->disconnect();
}

void Tf_diff::set_login(const QString& user, const QString& password, const QString& server) {
    sybase1->setServerName(server);
    for (TSybDatabase* connection : {sybase1, sybase2}) {
        connection->setUserName(user);
        connection->setPassword(password);
    }
}

void Tf_diff::createControls() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    const auto button = [this](const char* name, const QString& hint, const QIcon& icon) {
        return addToolButton(ToolBar1, name, hint, icon);
    };
    ToolButton1 =
        button("ToolButton1", tr("Close"), style()->standardIcon(QStyle::SP_DialogCloseButton));
    ToolButton2 = button("ToolButton2", tr("Find differences"), glyphIcon("≠", glyphFont(15)));
    connect(ToolButton1, &QToolButton::clicked, this, &Tf_diff::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &Tf_diff::ToolButton2Click);

    const auto check = [this](const char* name, const QString& caption) {
        auto* box = new QCheckBox(caption, this);
        box->setObjectName(name);
        box->setChecked(true);
        return box;
    };
    chk_procedures = check("chk_procedures", tr("Procedures"));
    chk_triggers = check("chk_triggers", tr("Triggers"));
    chk_views = check("chk_views", tr("Views"));
    chk_tables = check("chk_tables", tr("Tables"));
    chk_layout = check("chk_layout", tr("Tables with different layout"));
    chk_text = check("chk_text", tr("Different text"));
    chk_white_space = check("chk_white_space", tr("Ignore white space"));
    btn_save_report = new QPushButton(tr("Save report"), this);
    btn_save_report->setObjectName("btn_save_report");
    connect(btn_save_report, &QPushButton::clicked, this, &Tf_diff::btn_save_reportClick);

    auto* kinds = new QHBoxLayout;
    for (QWidget* w :
         std::initializer_list<QWidget*>{chk_procedures, chk_triggers, chk_views, chk_tables,
                                         chk_layout, chk_text, chk_white_space})
        kinds->addWidget(w);
    kinds->addStretch();
    kinds->addWidget(btn_save_report);

    auto* grid = new QGridLayout;
    const auto side = [&](int column, QPushButton*& connectButton, const QString& caption,
                          QLineEdit*& server, TSybComboBox*& databases, QLineEdit*& database,
                          const char* suffix) {
        connectButton = new QPushButton(caption, this);
        connectButton->setObjectName(QString("btn_connect") + suffix);
        server = new QLineEdit(this);
        server->setObjectName(QString("e_server") + suffix);
        server->setReadOnly(true);
        databases = new TSybComboBox(this);
        databases->setObjectName(QString("cmb_databases") + suffix);
        databases->setSql("select name\nfrom master..sysdatabases");
        databases->setAutoDbProc(false);
        database = new QLineEdit(this);
        database->setObjectName(QString("e_database") + suffix);
        database->setReadOnly(true);
        auto* row = new QHBoxLayout;
        row->addWidget(connectButton);
        row->addWidget(server, 1);
        row->addWidget(databases, 1);
        row->addWidget(database, 1);
        grid->addLayout(row, 0, column);
    };
    side(0, btn_connect1, tr("Connect Server 1"), e_server1, cmb_databases1, e_database1, "1");
    side(1, btn_connect2, tr("Connect Server 2"), e_server2, cmb_databases2, e_database2, "2");
    connect(btn_connect1, &QPushButton::clicked, this, &Tf_diff::btn_connect1Click);
    connect(btn_connect2, &QPushButton::clicked, this, &Tf_diff::btn_connect2Click);
    connect(cmb_databases1, &QComboBox::activated, this, &Tf_diff::cmb_databases1Change);
    connect(cmb_databases2, &QComboBox::activated, this, &Tf_diff::cmb_databases2Change);

    const struct {
        QListWidget** one;
        QListWidget** two;
        const char* name;
        QString caption;
        bool opens;
    } lists[] = {{&lb_procedures1, &lb_procedures2, "lb_procedures", tr("Procedures"), false},
                 {&lb_views1, &lb_views2, "lb_views", tr("Views"), false},
                 {&lb_triggers1, &lb_triggers2, "lb_triggers", tr("Triggers"), false},
                 {&lb_tables1, &lb_tables2, "lb_tables", tr("Tables"), false},
                 {&lb_layout1, &lb_layout2, "lb_layout", tr("Tables with different layout"), true},
                 {&lb_text1, &lb_text2, "lb_text", tr("Different text"), true}};
    int row = 1;
    for (const auto& l : lists) {
        for (int column = 0; column < 2; ++column) {
            auto* list = new QListWidget(this);
            list->setObjectName(QString(l.name) + QString::number(column + 1));
            list->setSelectionMode(QAbstractItemView::MultiSelection);
            if (l.opens)
                connect(list, &QListWidget::itemDoubleClicked, this,
                        [this, list](QListWidgetItem* item) { ListDblClick(list, item); });
            *(column == 0 ? l.one : l.two) = list;
            grid->addWidget(new QLabel(l.caption, this), row, column);
            grid->addWidget(list, row + 1, column);
        }
        row += 2;
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ToolBar1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(6, 0, 6, 6);
    body->addLayout(kinds);
    body->addLayout(grid, 1);
    layout->addLayout(body, 1);
    resize(900, 700);
}

void Tf_diff::toggle(int side) {
    TSybDatabase* connection = side == 1 ? sybase1 : sybase2;
    QPushButton* button = side == 1 ? btn_connect1 : btn_connect2;
    TSybComboBox* databases = side == 1 ? cmb_databases1 : cmb_databases2;
    QLineEdit* server = side == 1 ? e_server1 : e_server2;
    connection->setConnected(!connection->Connected());
    const QString number = QString::number(side);
    if (connection->Connected()) {
        button->setText(tr("Disconnect Server ") + number);
        databases->setDbProc(connection->DbProc());
        databases->Fill();
        databases->model()->sort(0);
        databases->setCurrentIndex(databases->count() > 0 ? 0 : -1);
        server->setText(connection->ServerName());
        (side == 1 ? q1 : q2)->setDbProc(connection->DbProc());
    } else {
        button->setText(tr("Connect Server ") + number);
        databases->clear();
        databases->setEditText(QString());
        databases->setDbProc({});
        server->clear();
        (side == 1 ? q1 : q2)->setDbProc({});
    }
}

void Tf_diff::chooseDatabase(int side) {
    TSybDatabase* connection = side == 1 ? sybase1 : sybase2;
    if (!connection->Connected())
        return;
    const QString name = (side == 1 ? cmb_databases1 : cmb_databases2)->currentText();
    connection->setDBName(name);
    (side == 1 ? e_database1 : e_database2)->setText(name);
}

void Tf_diff::ToolButton1Click() {
    sybase1->disconnect();
    sybase2->disconnect();
    closeChildWindow(*this);
}

void Tf_diff::ToolButton2Click() {
    if (!sybase1->Connected() || !sybase2->Connected())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (QListWidget* list : findChildren<QListWidget*>())
        list->clear();
    m_snapshot1 = readCatalog(*q1, sybase1->DBName());
    m_snapshot2 = readCatalog(*q2, sybase2->DBName());
    CompareOptions options;
    options.procedures = chk_procedures->isChecked();
    options.triggers = chk_triggers->isChecked();
    options.views = chk_views->isChecked();
    options.tables = chk_tables->isChecked();
    options.layout = chk_layout->isChecked();
    options.text = chk_text->isChecked();
    options.ignoreWhiteSpace = chk_white_space->isChecked();
    const CompareResult result = compareSnapshots(m_snapshot1, m_snapshot2, options);
    const auto show = [](const SideDifferences& side, QListWidget* procedures,
                         QListWidget* triggers, QListWidget* views, QListWidget* tables,
                         QListWidget* layout, QListWidget* text) {
        setList(*procedures, side.procedures);
        setList(*triggers, side.triggers);
        setList(*views, side.views);
        setList(*tables, side.tables);
        setList(*layout, side.layout);
        setList(*text, side.text);
    };
    show(result.side1, lb_procedures1, lb_triggers1, lb_views1, lb_tables1, lb_layout1, lb_text1);
    show(result.side2, lb_procedures2, lb_triggers2, lb_views2, lb_tables2, lb_layout2, lb_text2);
    QApplication::restoreOverrideCursor();
}

QString Tf_diff::sideTitle(int side) const {
    const TSybDatabase* connection = side == 1 ? sybase1 : sybase2;
    return connection->ServerName() + "/" + connection->DBName();
}

void Tf_diff::ListDblClick(QListWidget* list, QListWidgetItem* item) {
    if (!item)
        return;
    const QString name = item->text();
    QString text1;
    QString text2;
    if (list == lb_layout1 || list == lb_layout2) {
        const CatalogTable* one = m_snapshot1.table(name);
        const CatalogTable* two = m_snapshot2.table(name);
        if (!one || !two)
            return;
        text1 = tableDefinition(*one);
        text2 = tableDefinition(*two);
    } else {
        text1 = m_snapshot1.text(name);
        text2 = m_snapshot2.text(name);
    }
    auto* view = new Tf_diff_view(name, sideTitle(1) + "/" + name, text1, sideTitle(2) + "/" + name,
                                  text2, this);
    view->setWindowFlag(Qt::Window);
    lastView = view;
    view->show();
}

QString Tf_diff::reportText() const {
    QString text = tr("Object differences") + "\n" + tr("Side 1: ") + sideTitle(1) + "\n" +
                   tr("Side 2: ") + sideTitle(2) + "\n";
    const struct {
        QString caption;
        const QListWidget* one;
        const QListWidget* two;
    } lists[] = {{tr("Procedures"), lb_procedures1, lb_procedures2},
                 {tr("Views"), lb_views1, lb_views2},
                 {tr("Triggers"), lb_triggers1, lb_triggers2},
                 {tr("Tables"), lb_tables1, lb_tables2},
                 {tr("Tables with different layout"), lb_layout1, lb_layout2},
                 {tr("Different text"), lb_text1, lb_text2}};
    for (const auto& l : lists) {
        for (int side = 1; side <= 2; ++side) {
            text += "\n" + l.caption + ", " + tr("side ") + QString::number(side) + ":\n";
            for (const QString& name : listTexts(side == 1 ? *l.one : *l.two))
                text += "    " + name + "\n";
        }
    }
    return text;
}

void Tf_diff::btn_save_reportClick() {
    const QString path = Dialogs::saveFileName(tr("Save report"), QString(),
                                               tr("Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    reportIo(writeFileSafely(path, reportText().toUtf8()));
}

} // namespace ostrim
