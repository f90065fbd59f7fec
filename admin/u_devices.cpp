#include "u_devices.h"

#include "busy_connection.h"
#include "glyph_icon.h"
#include "sybdatabase.h"
#include "syblistbox.h"
#include "sybquery.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>
#include <optional>

namespace ostrim {

namespace {

const QString kConnection = QStringLiteral("sybase");
const QString kTypeE = QStringLiteral("\"E\"");

// Sends sql and reads its rows to the end, where the columns still show the last row: that row
// is what the statement gives. Nothing when it failed or gave no row.
std::optional<QStringList> lastRow(TSybQuery& query, const QString& sql) {
    query.setSql(sql);
    if (query.Execute() != kSucceed)
        return std::nullopt;
    std::optional<QStringList> row;
    while (query.Next() == kMoreRows) {
        QStringList texts;
        for (int c = 1; c <= query.ColumnCount(); ++c)
            texts << query.ColumnValue(c);
        row = std::move(texts);
    }
    return row;
}

} // namespace

QString quotedDeviceName(const QString& name) {
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

QString pagesPerMegabyteSql() {
    return QStringLiteral("select numpgsmb = (1048576. / v.low)") +
           QStringLiteral(" from master.dbo.spt_values v") +
           QStringLiteral(" where v.number = 1 and v.type = ") + kTypeE;
}

QString deviceRowSql(const QString& name) {
    return QStringLiteral("select name,phyname,low,high,mirrorname") +
           QStringLiteral(" from master..sysdevices where name = ") + quotedDeviceName(name);
}

QString deviceNumberSql(const QString& name) {
    return QStringLiteral("select device_number = convert(tinyint, "
                          "substring(convert(binary(4),d.low),v.low,1))") +
           QStringLiteral(" from master.dbo.sysdevices d,") +
           QStringLiteral(" master.dbo.spt_values v ") + QStringLiteral(" where d.name = ") +
           quotedDeviceName(name) + QStringLiteral(" and v.type = ") + kTypeE +
           QStringLiteral(" and v.number = 3");
}

qint64 leadingNumber(const QString& text) {
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 10 - 9;
    qint64 number = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9') || number > kLimit)
            break;
        number = number * 10 + (c.unicode() - '0');
    }
    return number;
}

QString deviceSizeText(qint64 low, qint64 high, qint64 pagesPerMegabyte) {
    if (pagesPerMegabyte <= 0)
        return {};
    const qint64 pages = high - low + 1;
    qint64 quotient = pages / pagesPerMegabyte;
    qint64 remainder = pages % pagesPerMegabyte;
    if (remainder < 0) { // floor division, so that the remainder counts upwards
        remainder += pagesPerMegabyte;
        --quotient;
    }
    const qint64 twice = 2 * remainder;
    if (twice > pagesPerMegabyte || (twice == pagesPerMegabyte && quotient % 2 != 0))
        ++quotient;
    return QString::number(quotient);
}

Tf_devices::Tf_devices(QWidget* owner) : QDialog(owner) {
    setObjectName("f_devices");
    setWindowTitle("Devices");
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    createControls();
    connect(l_devices, &QListWidget::itemSelectionChanged, this, &Tf_devices::l_devicesClick);
    connect(IXButton1, &QPushButton::clicked, this, &Tf_devices::IXButton1Click);
}

void Tf_devices::createControls() {
    Label7 = new QLabel("Devices :", this);
    Label7->setObjectName("Label7");
    l_devices = new TSybListBox(this);
    l_devices->setObjectName("l_devices");
    l_devices->setSortingEnabled(true);
    l_devices->setSql("select name from master..sysdevices");
    l_devices->setDbName(kConnection);
    l_devices->setFixedWidth(160);

    p_devices = new QTabWidget(this);
    p_devices->setObjectName("p_devices");
    t_properties = new QWidget;
    t_properties->setObjectName("t_properties");
    t_databases = new QWidget;
    t_databases->setObjectName("t_databases");
    t_segments = new QWidget;
    t_segments->setObjectName("t_segments");
    p_devices->addTab(t_properties, "Properties");
    p_devices->addTab(t_databases, "Databases");
    p_devices->addTab(t_segments, "Segments");
    p_devices->setCurrentWidget(t_properties);

    auto* properties = new QGridLayout(t_properties);
    int row = 0;
    auto edit = [&](const char* name, const QString& label, int width) {
        auto* e = new QLineEdit(t_properties);
        e->setObjectName(name);
        e->setReadOnly(true);
        if (width > 0)
            e->setFixedWidth(width);
        properties->addWidget(new QLabel(label, t_properties), row, 0);
        properties->addWidget(e, row, 1, 1, width > 0 ? 1 : 2, Qt::AlignLeft);
        ++row;
        return e;
    };
    e_logical_name = edit("e_logical_name", "Logical Name :", 0);
    e_physical_name = edit("e_physical_name", "Physical Name :", 0);
    e_virtual_device_number = edit("e_virtual_device_number", "Virtual Device Number :", 60);
    e_mirror_name = edit("e_mirror_name", "Mirror Name :", 0);
    e_size = edit("e_size", "Size :", 80);
    properties->addWidget(new QLabel("MB", t_properties), row - 1, 2);
    for (QLineEdit* wide : {e_logical_name, e_physical_name, e_mirror_name})
        wide->setMinimumWidth(300);
    properties->setColumnStretch(2, 1);
    properties->setRowStretch(row, 1);

    q_devices = new TSybQuery(this);
    q_devices->setObjectName("q_devices");
    q_devices->setDbName(kConnection);

    IXButton1 = new QPushButton(this);
    IXButton1->setObjectName("IXButton1");
    IXButton1->setIcon(themeOrGlyph("window-close", QStringLiteral("✕"), glyphFont(16)));
    IXButton1->setIconSize(QSize(20, 20));
    IXButton1->setToolTip("Close");
    IXButton1->setAccessibleName("Close");

    auto* list = new QVBoxLayout;
    list->addWidget(Label7);
    list->addWidget(l_devices, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(list);
    top->addWidget(p_devices, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(IXButton1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void Tf_devices::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (const QScreen* on = screen())
            move(on->availableGeometry().center() - rect().center());
        FormActivate();
    }
}

bool Tf_devices::connectionFree() const {
    const TSybDatabase* database = TSybDatabase::findDatabase(kConnection);
    return !database || !BusyConnection::isBusy(database->DbProc());
}

void Tf_devices::FormActivate() {
    if (!connectionFree())
        return;
    {
        // Selecting the first entry is no click of the user's.
        const QSignalBlocker quiet(l_devices);
        l_devices->Fill();
        if (l_devices->count() > 0)
            l_devices->setCurrentRow(0);
    }
    if (l_devices->count() > 0)
        showDetails(l_devices->item(0)->text());
}

void Tf_devices::l_devicesClick() {
    const QString name = l_devices->Value();
    if (!name.isEmpty() && connectionFree())
        showDetails(name);
}

void Tf_devices::showDetails(const QString& name) {
    std::optional<qint64> pagesPerMegabyte;
    if (const auto row = lastRow(*q_devices, pagesPerMegabyteSql()))
        pagesPerMegabyte = leadingNumber(row->value(0));

    if (const auto row = lastRow(*q_devices, deviceRowSql(name))) {
        e_logical_name->setText(row->value(0));
        e_physical_name->setText(row->value(1));
        e_mirror_name->setText(row->value(4));
        if (pagesPerMegabyte)
            e_size->setText(deviceSizeText(row->value(2).trimmed().toLongLong(),
                                           row->value(3).trimmed().toLongLong(),
                                           *pagesPerMegabyte));
    }

    q_devices->setSql(deviceNumberSql(name));
    q_devices->Execute();
    if (q_devices->Next() == kMoreRows) {
        e_virtual_device_number->setText(q_devices->ColumnValue(1));
        // Read to the end: the query sends nothing new while rows are left.
        while (q_devices->Next() == kMoreRows) {
        }
    }
}

} // namespace ostrim
