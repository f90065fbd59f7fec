#include "u_export.h"

#include "dialogs.h"
#include "file_error_box.h"
#include "sybgrid.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace ostrim {

namespace {

constexpr int kDelimiterLength = 10;

// As the blanks-and-controls trim of the original: every character up to U+0020 goes, at both
// ends, and nothing inside.
QString trimmedValue(const QString& text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && text[begin].unicode() <= u' ')
        ++begin;
    while (end > begin && text[end - 1].unicode() <= u' ')
        --end;
    return text.mid(begin, end - begin);
}

GridRect exportedRect(const TSybGrid& grid, bool all, const GridRect& selection) {
    if (!all)
        return selection;
    return GridRect{1, 1, grid.colCount() - 1, grid.rowCount() - 1};
}

template <class Quote>
QStringList joinedLines(const TSybGrid& grid, const QString& separator, bool all,
                        const GridRect& selection, Quote quote) {
    const GridRect rect = exportedRect(grid, all, selection);
    QStringList lines;
    for (int row = rect.top; row <= rect.bottom; ++row) {
        QString line;
        for (int col = rect.left; col <= rect.right; ++col) {
            if (col > rect.left)
                line += separator;
            line += quote(trimmedValue(grid.cell(col, row)));
        }
        lines << line;
    }
    return lines;
}

QString csvField(const QString& value) {
    // Blanks need no quotes: a reader keeps them as part of the field.
    const bool quoted = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
                        value.contains(QLatin1Char('\r')) || value.contains(QLatin1Char('\n'));
    if (!quoted)
        return value;
    QString field = value;
    field.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

} // namespace

Tf_export::Tf_export(QWidget* parent)
    : QDialog(parent), m_groupBox2(new QGroupBox(this)),
      m_chkAll(new QRadioButton(tr("Export All"), m_groupBox2)),
      m_chkSelected(new QRadioButton(tr("Export Selected"), m_groupBox2)),
      m_groupBox1(new QGroupBox(this)),
      m_chkFixed(new QRadioButton(tr("Fixed length"), m_groupBox1)),
      m_chkTab(new QRadioButton(tr("TAB delimited"), m_groupBox1)),
      m_chkChar(new QRadioButton(tr("Char delimited"), m_groupBox1)),
      m_chkCsv(new QRadioButton(tr("CSV (RFC 4180)"), m_groupBox1)),
      m_label1(new QLabel(tr("Delimiter :"), m_groupBox1)), m_eChar(new QLineEdit(m_groupBox1)),
      m_button1(new QPushButton(tr("OK"), this)), m_button2(new QPushButton(tr("Cancel"), this)) {
    setObjectName(QStringLiteral("f_export"));
    setWindowTitle(tr("Export"));
    setModal(true);

    m_groupBox2->setObjectName(QStringLiteral("GroupBox2"));
    m_chkAll->setObjectName(QStringLiteral("chk_all"));
    m_chkSelected->setObjectName(QStringLiteral("chk_selected"));
    m_groupBox1->setObjectName(QStringLiteral("GroupBox1"));
    m_chkFixed->setObjectName(QStringLiteral("chk_fixed"));
    m_chkTab->setObjectName(QStringLiteral("chk_tab"));
    m_chkChar->setObjectName(QStringLiteral("chk_char"));
    m_chkCsv->setObjectName(QStringLiteral("chk_csv"));
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_eChar->setObjectName(QStringLiteral("e_char"));
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button2->setObjectName(QStringLiteral("Button2"));

    m_chkAll->setChecked(true);
    m_chkFixed->setChecked(true);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    m_eChar->setFont(courier);
    m_eChar->setMaxLength(kDelimiterLength);
    m_eChar->setEnabled(false);
    m_label1->setEnabled(false);
    m_label1->setBuddy(m_eChar);
    m_button1->setDefault(true);

    auto* rows = new QVBoxLayout(m_groupBox2);
    rows->addWidget(m_chkAll);
    rows->addWidget(m_chkSelected);

    auto* delimiter = new QHBoxLayout;
    delimiter->addSpacing(20);
    delimiter->addWidget(m_label1);
    delimiter->addWidget(m_eChar);
    auto* layouts = new QVBoxLayout(m_groupBox1);
    layouts->addWidget(m_chkFixed);
    layouts->addWidget(m_chkTab);
    layouts->addWidget(m_chkChar);
    layouts->addLayout(delimiter);
    layouts->addWidget(m_chkCsv);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_button1);
    buttons->addWidget(m_button2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_groupBox2);
    layout->addWidget(m_groupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Each handler runs when its button becomes checked, by the user or by code; the char
    // button's also when it loses the check.
    const auto onChecked = [this](QRadioButton* button, void (Tf_export::*handler)()) {
        connect(button, &QRadioButton::toggled, this, [this, handler](bool checked) {
            if (checked)
                (this->*handler)();
        });
    };
    onChecked(m_chkFixed, &Tf_export::chk_fixedClick);
    onChecked(m_chkTab, &Tf_export::chk_tabClick);
    onChecked(m_chkCsv, &Tf_export::chk_csvClick);
    connect(m_chkChar, &QRadioButton::toggled, this, &Tf_export::chk_charClick);
    connect(m_button1, &QPushButton::clicked, this, &Tf_export::Button1Click);
    connect(m_button2, &QPushButton::clicked, this, &Tf_export::Button2Click);
}

void Tf_export::setDelimiterEditable(bool editable) {
    m_eChar->setReadOnly(!editable);
    m_eChar->setFocusPolicy(editable ? Qt::StrongFocus : Qt::ClickFocus);
    m_eChar->setEnabled(editable);
    m_label1->setEnabled(editable);
    if (editable)
        m_eChar->setFocus();
}

void Tf_export::chk_fixedClick() {
    setDelimiterEditable(false);
}

void Tf_export::chk_tabClick() {
    setDelimiterEditable(false);
}

void Tf_export::chk_charClick() {
    setDelimiterEditable(m_chkChar->isChecked());
}

void Tf_export::chk_csvClick() {
    setDelimiterEditable(false);
}

void Tf_export::Button1Click() {
    if (m_chkFixed->isChecked())
        m_exportType = Fixed;
    else if (m_chkTab->isChecked())
        m_exportType = Tab;
    else if (m_chkChar->isChecked())
        m_exportType = Char;
    else if (m_chkCsv->isChecked())
        m_exportType = Csv;
    accept();
}

void Tf_export::Button2Click() {
    m_exportType = None;
    reject();
}

void Tf_export::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the results window.
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
}

QStringList exportFixedLines(const TSybGrid& grid, bool all, const GridRect& selection) {
    const GridRect rect = exportedRect(grid, all, selection);
    QStringList lines;
    for (int row = rect.top; row <= rect.bottom; ++row)
        lines << fixedWidthLine(grid, row, rect.left, rect.right);
    return lines;
}

QStringList exportCharLines(const TSybGrid& grid, const QString& delimiter, bool all,
                            const GridRect& selection) {
    QString separator = delimiter.left(kDelimiterLength);
    if (separator == u"tab")
        separator = QStringLiteral("\t");
    return joinedLines(grid, separator, all, selection, [](QString value) { return value; });
}

QStringList exportCsvLines(const TSybGrid& grid, bool all, const GridRect& selection) {
    const GridModel& model = *grid.gridModel();
    const GridRect rect = exportedRect(grid, all, selection);
    QStringList lines;
    for (int row = rect.top; row <= rect.bottom; ++row) {
        // Records are the result sets' names and rows; the empty lines and row counts between
        // them are the grid's, not data.
        const RowKind kind = model.rowKind(row);
        if (kind != RowKind::ColumnNames && kind != RowKind::Data)
            continue;
        QString line;
        for (int col = rect.left; col <= rect.right; ++col) {
            if (col > rect.left)
                line += QLatin1Char(',');
            // Values as the server sent them, blanks and all; NULL is an empty field.
            if (!model.isNull(col, row))
                line += csvField(grid.cell(col, row));
        }
        lines << line;
    }
    return lines;
}

void runExport(TSybGrid& grid, QWidget* parent, const std::function<bool()>& confirmRunning,
               const std::function<QString()>& askFileName) {
    if (confirmRunning && !confirmRunning())
        return;
    Tf_export dialog(parent);
    Dialogs::exec(dialog);
    const qint16 layout = dialog.ExportType();
    if (layout == Tf_export::None)
        return;
    const bool all = dialog.chk_all()->isChecked();
    const QString delimiter = dialog.e_char()->text();
    const QString fileName = askFileName();
    if (fileName.isEmpty())
        return;
    // Read after the file dialog: a background load may have added rows meanwhile.
    const GridRect selection = selectionRect(grid);
    QStringList lines;
    switch (layout) {
    case Tf_export::Fixed:
        lines = exportFixedLines(grid, all, selection);
        break;
    case Tf_export::Tab:
        lines = exportCharLines(grid, QStringLiteral("tab"), all, selection);
        break;
    case Tf_export::Char:
        lines = exportCharLines(grid, delimiter, all, selection);
        break;
    case Tf_export::Csv:
        lines = exportCsvLines(grid, all, selection);
        break;
    default:
        return;
    }
    reportIo(writeLines(fileName, lines));
}

} // namespace ostrim
