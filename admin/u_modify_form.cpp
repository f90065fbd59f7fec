#include "u_modify_form.h"

#include "dialogs.h"
#include "modify_form_layout.h"
#include "sybcheckbox.h"
#include "sybdatabase.h"
#include "sybedit.h"
#include "sybmemo.h"
#include "sybnavigator.h"
#include "sybquery.h"
#include "u_main.h"

#include <QEvent>
#include <QFontInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace ostrim {

namespace {

constexpr int kGeneratedTag = 100;
constexpr int kControlHeight = kLinePitch - 1;
constexpr int kEditWidth = 121;
constexpr int kMemoWidth = 185;
constexpr int kMemoHeight = 90;

const char* const kTag = "tag";

void tag(QWidget* widget, int value) {
    widget->setProperty(kTag, value);
}

QString editDatatype(const QString& type) {
    if (type == u"datetime" || type == u"smalldatetime")
        return QStringLiteral("datetime");
    if (type == u"float" || type == u"money" || type == u"real")
        return QStringLiteral("float");
    if (type == u"int" || type == u"smallint" || type == u"tinyint")
        return QStringLiteral("int");
    return QStringLiteral("char");
}

} // namespace

Tf_modify_form::Tf_modify_form(const ModifyRequest& request, QWidget* parent)
    : QWidget(parent), m_request(request) {
    setObjectName("f_modify_form");
    setWindowTitle("Data Modification");
    setAttribute(Qt::WA_DeleteOnClose);
    syb_modify_form = new TSybDatabase(this);
    syb_modify_form->setObjectName("syb_modify_form");
    syb_modify_form->setLoginPrompt(false);
    syb_modify_form->setBufferSize(1000);
    q_modify_form = new TSybQuery(this);
    q_modify_form->setName("q_modify_form");
    q_modify_form->setAutoDbProc(false);
    q_modify_form2 = new TSybQuery(this);
    q_modify_form2->setName("q_modify_form2");
    q_modify_form2->setAutoDbProc(false);

    SybNavigator1 = new TSybNavigator(this);
    SybNavigator1->setName("SybNavigator1");
    SybNavigator1->setDataSet("q_modify_form2");
    SybNavigator1->setHintsList(TSybNavigator::defaultHints());
    SybNavigator1->setShowHint(true);
    SybNavigator1->loaded();
    scbox_main = new QScrollArea(this);
    scbox_main->setObjectName("scbox_main");
    m_box = new QWidget;
    m_box->setObjectName("scbox_content");
    scbox_main->setWidget(m_box);
    scbox_main->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(SybNavigator1, 0, Qt::AlignLeft);
    layout->addWidget(scbox_main, 1);
}

Tf_modify_form::~Tf_modify_form() {
    // The controls leave their data set's Fields while it is still there.
    removeGenerated();
    syb_modify_form->disconnect();
}

Tf_modify_form* Tf_modify_form::open(Tmain& frame, const ModifyRequest& request) {
    auto* window = new Tf_modify_form(request);
    // Sized before it is shown: beside a maximized window it opens maximized, and this is then
    // the size it is restored to.
    QMdiSubWindow* child = frame.addChild(window, false);
    child->resize(720, 520);
    child->show();
    window->start();
    return window;
}

void Tf_modify_form::start() {
    syb_modify_form->setDBName(m_request.login.database);
    syb_modify_form->setServerName(m_request.login.server);
    syb_modify_form->setUserName(m_request.login.user);
    syb_modify_form->setPassword(m_request.login.password);
    syb_modify_form->connect();
    if (!syb_modify_form->Connected())
        return;
    q_modify_form->setDbProc(syb_modify_form->DbProc());
    q_modify_form2->setDbProc(syb_modify_form->DbProc());
    removeGenerated();
    createFields(readColumns());
    placeFields();
    q_modify_form2->setSql("select " + m_request.columns.join(',') + " from " + m_request.table +
                           ' ' + m_request.where);
    if (q_modify_form2->Execute() == kSucceed)
        q_modify_form2->Next();
}

std::vector<Tf_modify_form::Column> Tf_modify_form::readColumns() {
    // Only the result's shape is wanted: a select of no rows gives it without reading the table.
    q_modify_form->setSql("select " + m_request.columns.join(',') + " from " + m_request.table +
                          " where 1=2");
    std::vector<Column> columns;
    if (q_modify_form->Execute() != kSucceed)
        return columns;
    const int count = q_modify_form->ColumnCount();
    if (count > kMaxColumns)
        Dialogs::message(QStringLiteral("Only the first %1 of %2 columns are shown.")
                             .arg(kMaxColumns)
                             .arg(count),
                         "Data Modification", QMessageBox::Information);
    for (int c = 1; c <= std::min(count, kMaxColumns); ++c)
        columns.push_back({q_modify_form->ColumnTypeName(c).left(kNameLength),
                           q_modify_form->ColumnLength(c),
                           q_modify_form->ColumnName(c).left(kNameLength)});
    return columns;
}

void Tf_modify_form::removeGenerated() {
    m_fields.clear();
    for (QWidget* widget : m_box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (widget->property(kTag).toInt() >= kGeneratedTag)
            delete widget;
    }
}

void Tf_modify_form::createFields(const std::vector<Column>& columns) {
    for (const Column& column : columns) {
        auto* label = new QLabel(readableCaption(column.name), m_box);
        label->setObjectName("lab_" + column.name);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->resize(label->sizeHint().width(), kControlHeight);
        tag(label, kLabelTag);
        QWidget* control = nullptr;
        if (column.type == u"bit") {
            auto* check = new TSybCheckbox(m_box);
            check->setName("chk_" + column.name);
            check->setDataSet("q_modify_form2");
            check->setDataField(column.name);
            check->resize(check->sizeHint().width(), kControlHeight);
            tag(check, kCheckTag);
            control = check;
        } else if (column.type == u"text") {
            auto* memo = new TSybMemo(m_box);
            memo->setName("mem_" + column.name);
            memo->setDatatype("text");
            memo->setDataSet("q_modify_form2");
            memo->setDataField(column.name);
            memo->resize(kMemoWidth, kMemoHeight);
            tag(memo, kMemoTag);
            control = memo;
        } else {
            auto* edit = new TSybEdit(m_box);
            edit->setName("e_" + column.name);
            edit->setIsPrimaryKey(false);
            edit->setDatatype(editDatatype(column.type));
            edit->setDataSet("q_modify_form2");
            edit->setDataField(column.name);
            int width = kEditWidth;
            if (edit->Datatype() == u"datetime") {
                // DB-Library's text of a datetime, which the default width would cut.
                width = std::max(width, edit->fontMetrics().horizontalAdvance(
                                            QStringLiteral("Feb 28 2000 12:00:00:000AM")) +
                                            12);
            } else if (column.type == u"char") {
                edit->setLength(qint16(column.length));
                if (column.length > 0)
                    edit->setMaxLength(column.length);
                width = QFontInfo(edit->font()).pointSize() * (column.length + 1);
            }
            edit->resize(width, kControlHeight);
            tag(edit, kEditTag);
            control = edit;
        }
        label->show();
        control->show();
        m_fields.push_back({label, control});
    }
}

void Tf_modify_form::placeFields() {
    std::vector<FieldSize> sizes;
    for (const Field& field : m_fields)
        sizes.push_back({field.label->size(), field.control->size(),
                         field.control->property(kTag).toInt() == kMemoTag});
    const std::vector<FieldPlace> places =
        m_request.layout == ModifyLayout::Horizontal
            ? horizontalPlaces(sizes, scbox_main->viewport()->width())
            : verticalPlaces(sizes);
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i].label->move(places[i].label);
        m_fields[i].control->move(places[i].control);
    }
    m_box->resize(placedExtent(sizes, places));
}

bool Tf_modify_form::eventFilter(QObject* watched, QEvent* event) {
    // Horizontal lines fill the width the window has now.
    if (watched == scbox_main->viewport() && event->type() == QEvent::Resize &&
        m_request.layout == ModifyLayout::Horizontal && !m_fields.empty())
        placeFields();
    return QWidget::eventFilter(watched, event);
}

} // namespace ostrim
