#include "u_export.h"

#include "dialogs.h"
#include "file_error_box.h"
#include "sybgrid.h"
#include "value_text.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPoint>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <sybdb.h>

#include <algorithm>
#include <cstring>

namespace ostrim {

namespace {

constexpr int kDelimiterLength = 10;
constexpr int kRowsPerBatch = 1000;
const QString kDefaultTable = QStringLiteral("table1");

// As the blanks-and-controls trim of the original: every character up to U+0020 goes, at both
// ends, and nothing inside. In UTF-8 those are the bytes up to 0x20, which no other character's
// bytes are, so the trim works on the text appended from at on.
void trimFrom(QByteArray& out, qsizetype at) {
    const auto control = [](char c) {
        return static_cast<unsigned char>(c) <= ' ';
    };
    qsizetype end = out.size();
    while (end > at && control(out[end - 1]))
        --end;
    qsizetype begin = at;
    while (begin < end && control(out[begin]))
        ++begin;
    if (begin > at)
        std::memmove(out.data() + at, out.data() + begin, std::size_t(end - begin));
    out.resize(at + end - begin);
}

GridRect exportedRect(const TSybGrid& grid, bool all, const GridRect& selection) {
    if (!all)
        return selection;
    return GridRect{1, 1, grid.colCount() - 1, grid.rowCount() - 1};
}

QString charSeparator(const QString& delimiter) {
    const QString separator = delimiter.left(kDelimiterLength);
    return separator == u"tab" ? QStringLiteral("\t") : separator;
}

bool writeCharLines(const TSybGrid& grid, const QString& delimiter, const GridRect& rect,
                    LineSink& sink) {
    QByteArray separator;
    appendUtf8(separator, charSeparator(delimiter));
    QByteArray& out = sink.block();
    for (int row = rect.top; row <= rect.bottom; ++row) {
        for (int col = rect.left; col <= rect.right; ++col) {
            if (col > rect.left)
                out += separator;
            const qsizetype at = out.size();
            appendCell(out, grid, col, row);
            trimFrom(out, at);
        }
        if (!sink.endLine())
            return false;
    }
    return true;
}

// The field appended from at on, quoted when it must be. Blanks need no quotes: a reader keeps
// them as part of the field.
void quoteCsvFrom(QByteArray& out, qsizetype at) {
    const QByteArrayView field = QByteArrayView(out).sliced(at);
    const auto special = [](char c) {
        return c == ',' || c == '"' || c == '\r' || c == '\n';
    };
    if (std::none_of(field.begin(), field.end(), special))
        return;
    const QByteArray value = field.toByteArray();
    out.resize(at);
    out += '"';
    for (const char c : value) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
}

bool writeCsvLines(const TSybGrid& grid, const GridRect& rect, LineSink& sink) {
    const GridModel& model = *grid.gridModel();
    QByteArray& out = sink.block();
    for (int row = rect.top; row <= rect.bottom; ++row) {
        // Records are the result sets' names and rows; the empty lines and row counts between
        // them are the grid's, not data.
        const RowKind kind = model.rowKind(row);
        if (kind != RowKind::ColumnNames && kind != RowKind::Data)
            continue;
        for (int col = rect.left; col <= rect.right; ++col) {
            if (col > rect.left)
                out += ',';
            // Values as the server sent them, blanks and all; NULL is an empty field.
            if (!model.isNull(col, row)) {
                const qsizetype at = out.size();
                appendCell(out, grid, col, row);
                quoteCsvFrom(out, at);
            }
        }
        if (!sink.endLine())
            return false;
    }
    return true;
}

bool writeInsertLines(const TSybGrid& grid, const QString& table, const GridRect& rect,
                      LineSink& sink) {
    const GridModel& model = *grid.gridModel();
    const ResultSetShape* set = nullptr;
    QByteArray statement; // up to "values (" for the current result set
    int firstCol = 0, lastCol = -1;
    int unended = 0; // rows since the last go line
    const auto go = [&sink, &unended] {
        if (unended == 0)
            return true;
        unended = 0;
        sink.block() += "go";
        return sink.endLine();
    };
    for (int row = rect.top; row <= rect.bottom; ++row) {
        if (model.rowKind(row) != RowKind::Data)
            continue;
        const ResultSetShape* shape = grid.ResultSetAt(row);
        if (!shape)
            continue;
        if (shape != set) {
            if (!go())
                return false;
            set = shape;
            firstCol = rect.left;
            lastCol = std::min(rect.right, int(shape->types.size()));
            QStringList names;
            for (int col = firstCol; col <= lastCol; ++col)
                names << grid.cell(col, shape->headerRow);
            // A column without a name (an expression) cannot be listed: the values then go in
            // the table's column order.
            const bool listed = std::none_of(names.begin(), names.end(),
                                             [](const QString& name) { return name.isEmpty(); });
            QString head = QStringLiteral("insert into ") + table;
            if (listed)
                head += QStringLiteral(" (") + names.join(QStringLiteral(", ")) + QLatin1Char(')');
            head += QStringLiteral(" values (");
            statement.resize(0);
            appendUtf8(statement, head);
        }
        if (firstCol > lastCol)
            continue;
        QByteArray& out = sink.block();
        out += statement;
        for (int col = firstCol; col <= lastCol; ++col) {
            if (col > firstCol)
                out += ", ";
            appendUtf8(out, insertValue(grid.cell(col, row), model.isNull(col, row),
                                        shape->types[std::size_t(col - 1)]));
        }
        out += ')';
        if (!sink.endLine())
            return false;
        if (++unended == kRowsPerBatch && !go())
            return false;
    }
    return go();
}

bool writeLayout(const TSybGrid& grid, const ExportChoice& choice, const GridRect& selection,
                 LineSink& sink) {
    const GridRect rect = exportedRect(grid, choice.all, selection);
    switch (choice.layout) {
    case Tf_export::Fixed:
        return writeFixedWidthLines(grid, rect.top, rect.bottom, rect.left, rect.right, sink);
    case Tf_export::Tab:
        return writeCharLines(grid, QStringLiteral("tab"), rect, sink);
    case Tf_export::Char:
        return writeCharLines(grid, choice.delimiter, rect, sink);
    case Tf_export::Csv:
        return writeCsvLines(grid, rect, sink);
    case Tf_export::Insert:
        return writeInsertLines(grid, choice.table, rect, sink);
    default:
        return true;
    }
}

QStringList layoutLines(const TSybGrid& grid, const ExportChoice& choice,
                        const GridRect& selection) {
    LineList lines;
    writeLayout(grid, choice, selection, lines);
    return lines.lines;
}

// Bare in SQL text.
bool isNumberType(int type) {
    return isNumericType(type) || type == SYBBIT || type == SYBBITN;
}

bool isBinaryType(int type) {
    return type == SYBBINARY || type == SYBVARBINARY || type == SYBIMAGE;
}

// Where the SQL text goes on after a comment or string starting at i, or i when none does.
qsizetype skipCommentOrString(const QString& sql, qsizetype i) {
    const qsizetype n = sql.size();
    const QChar c = sql[i];
    const QChar next = i + 1 < n ? sql[i + 1] : QChar();
    if (c == u'-' && next == u'-') {
        const qsizetype end = sql.indexOf(u'\n', i);
        return end < 0 ? n : end + 1;
    }
    if (c == u'/' && next == u'*') {
        // Nested, as the server reads them.
        int depth = 0;
        for (qsizetype j = i; j + 1 < n; ++j) {
            if (sql[j] == u'/' && sql[j + 1] == u'*') {
                ++depth;
                ++j;
            } else if (sql[j] == u'*' && sql[j + 1] == u'/') {
                ++j;
                if (--depth == 0)
                    return j + 1;
            }
        }
        return n;
    }
    if (c == u'\'' || c == u'"' || c == u'[') {
        const QChar close = c == u'[' ? u']' : c;
        for (qsizetype j = i + 1; j < n; ++j) {
            if (sql[j] != close)
                continue;
            if (j + 1 < n && sql[j + 1] == close && c != u'[') {
                ++j; // a doubled quote stays inside
                continue;
            }
            return j + 1;
        }
        return n;
    }
    return i;
}

// The first exported binary value the grid holds cut (dbconvert's text is cut to
// kConvertedLimit characters, two per byte): its grid column and row, or {0, 0}.
QPoint cutBinaryCell(const TSybGrid& grid, const GridRect& rect) {
    const GridModel& model = *grid.gridModel();
    for (int row = rect.top; row <= rect.bottom; ++row) {
        const ResultSetShape* shape =
            model.rowKind(row) == RowKind::Data ? grid.ResultSetAt(row) : nullptr;
        if (!shape)
            continue;
        const int last = std::min(rect.right, int(shape->types.size()));
        for (int col = rect.left; col <= last; ++col) {
            if (isBinaryType(shape->types[std::size_t(col - 1)]) && !model.isEdited(col, row) &&
                model.store().cell(row, col).size() >= kConvertedLimit)
                return {col, row};
        }
    }
    return {};
}

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'@' || c == u'$';
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
      m_chkInsert(new QRadioButton(tr("SQL INSERT statements"), m_groupBox1)),
      m_label1(new QLabel(tr("Delimiter :"), m_groupBox1)), m_eChar(new QLineEdit(m_groupBox1)),
      m_label2(new QLabel(tr("Table name :"), m_groupBox1)), m_eTable(new QLineEdit(m_groupBox1)),
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
    m_chkInsert->setObjectName(QStringLiteral("chk_insert"));
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_eTable->setObjectName(QStringLiteral("e_table"));
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
    m_eTable->setText(kDefaultTable);
    m_eTable->setEnabled(false);
    m_label2->setEnabled(false);
    m_label2->setBuddy(m_eTable);
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
    layouts->addWidget(m_chkInsert);
    auto* table = new QHBoxLayout;
    table->addSpacing(20);
    table->addWidget(m_label2);
    table->addWidget(m_eTable);
    layouts->addLayout(table);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_button1);
    buttons->addWidget(m_button2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_groupBox2);
    layout->addWidget(m_groupBox1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Each handler runs when its button becomes checked, by the user or by code; the char and
    // insert buttons' also when they lose the check.
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
    connect(m_chkInsert, &QRadioButton::toggled, this, &Tf_export::chk_insertClick);
    connect(m_chkAll, &QRadioButton::toggled, this, &Tf_export::offerTableName);
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

void Tf_export::setTableNames(const QString& forAll, const QString& forSelection) {
    m_tableForAll = forAll;
    m_tableForSelection = forSelection;
    m_eTable->setModified(false);
    offerTableName();
}

void Tf_export::offerTableName() {
    if (m_eTable->isModified())
        return;
    const QString& name = m_chkAll->isChecked() ? m_tableForAll : m_tableForSelection;
    m_eTable->setText(name.isEmpty() ? kDefaultTable : name);
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

void Tf_export::chk_insertClick() {
    const bool open = m_chkInsert->isChecked();
    m_eTable->setEnabled(open);
    m_label2->setEnabled(open);
    if (open)
        m_eTable->setFocus();
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
    else if (m_chkInsert->isChecked())
        m_exportType = Insert;
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
    return layoutLines(grid, {Tf_export::Fixed, all, {}, {}}, selection);
}

QStringList exportCharLines(const TSybGrid& grid, const QString& delimiter, bool all,
                            const GridRect& selection) {
    return layoutLines(grid, {Tf_export::Char, all, delimiter, {}}, selection);
}

QStringList exportCsvLines(const TSybGrid& grid, bool all, const GridRect& selection) {
    return layoutLines(grid, {Tf_export::Csv, all, {}, {}}, selection);
}

QStringList exportInsertLines(const TSybGrid& grid, const QString& table, bool all,
                              const GridRect& selection) {
    return layoutLines(grid, {Tf_export::Insert, all, {}, table}, selection);
}

QString insertValue(const QString& text, bool isNull, int type) {
    if (isNull)
        return QStringLiteral("null");
    if (isNumberType(type) || isBinaryType(type)) {
        QString value = text.trimmed();
        // Only an edit leaves such a cell empty; nothing else would run.
        if (value.isEmpty())
            return QStringLiteral("null");
        if (isNumberType(type) || value.startsWith(u"0x", Qt::CaseInsensitive))
            return value;
        // DB-Library gives binary as bare hex digits.
        return QStringLiteral("0x") + value;
    }
    // The server reads an empty literal as one blank: no piece of a value is an empty one.
    QString sql;
    sql.reserve(text.size() + 2);
    bool open = false;
    for (const QChar c : text) {
        const bool lineBreak = c == u'\r' || c == u'\n';
        if (open && lineBreak) {
            sql += u'"';
            open = false;
        }
        if (!open && !sql.isEmpty())
            sql += QStringLiteral(" + ");
        if (lineBreak) {
            sql += c == u'\r' ? QStringLiteral("char(13)") : QStringLiteral("char(10)");
            continue;
        }
        if (!open) {
            sql += u'"';
            open = true;
        }
        sql += c;
        if (c == u'"')
            sql += c;
    }
    if (open)
        sql += u'"';
    return sql.isEmpty() ? QStringLiteral("\"\"") : sql;
}

QString firstFromTable(const QString& sql) {
    const qsizetype n = sql.size();
    bool afterFrom = false;
    for (qsizetype i = 0; i < n;) {
        const qsizetype skipped = skipCommentOrString(sql, i);
        if (skipped != i) {
            // A string or a quoted name after from is no table of ours.
            afterFrom = afterFrom && (sql[i] == u'-' || sql[i] == u'/');
            i = skipped;
            continue;
        }
        const QChar c = sql[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (!isNameChar(c) && !(afterFrom && c == u'.')) {
            afterFrom = false;
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < n && (isNameChar(sql[end]) || sql[end] == u'.'))
            ++end;
        const QStringView word = QStringView(sql).sliced(i, end - i);
        if (afterFrom)
            return word.toString();
        afterFrom = word.compare(u"from", Qt::CaseInsensitive) == 0;
        i = end;
    }
    return {};
}

QString defaultInsertTable(const TSybGrid& grid, bool all, const GridRect& selection) {
    const GridRect rect = exportedRect(grid, all, selection);
    const GridModel& model = *grid.gridModel();
    for (int row = rect.top; row <= rect.bottom; ++row) {
        if (model.rowKind(row) != RowKind::Data)
            continue;
        const ResultSetShape* set = grid.ResultSetAt(row);
        if (!set || set->batch < 0 || set->batch >= grid.Batches().size())
            break;
        const QString table = firstFromTable(grid.Batches()[set->batch]);
        return table.isEmpty() ? kDefaultTable : table;
    }
    return kDefaultTable;
}

IoResult writeExport(const QString& fileName, const TSybGrid& grid, const ExportChoice& choice,
                     const GridRect& selection) {
    return writeLineFile(
        fileName, [&](LineSink& sink) { return writeLayout(grid, choice, selection, sink); });
}

void runExport(TSybGrid& grid, QWidget* parent, const std::function<bool()>& confirmRunning,
               const std::function<QString()>& askFileName) {
    if (confirmRunning && !confirmRunning())
        return;
    Tf_export dialog(parent);
    dialog.setTableNames(defaultInsertTable(grid, true, {}),
                         defaultInsertTable(grid, false, selectionRect(grid)));
    Dialogs::exec(dialog);
    ExportChoice choice;
    choice.layout = dialog.ExportType();
    if (choice.layout == Tf_export::None)
        return;
    choice.all = dialog.chk_all()->isChecked();
    choice.delimiter = dialog.e_char()->text();
    choice.table = dialog.e_table()->text().trimmed();
    if (choice.table.isEmpty())
        choice.table = kDefaultTable;
    const QString fileName = askFileName();
    if (fileName.isEmpty())
        return;
    // Read after the file dialog: a background load may have added rows meanwhile.
    const GridRect selection = selectionRect(grid);
    if (choice.layout == Tf_export::Insert) {
        if (const QPoint cut = cutBinaryCell(grid, exportedRect(grid, choice.all, selection));
            cut.y() > 0) {
            Dialogs::message(QStringLiteral("Row %1, column %2 holds a binary value longer than %3 "
                                            "bytes, which the grid keeps cut: INSERT statements "
                                            "would not give it back. Nothing was written.")
                                 .arg(cut.y())
                                 .arg(cut.x())
                                 .arg(kConvertedLimit / 2),
                             QStringLiteral("Export"), QMessageBox::Warning);
            return;
        }
    }
    reportIo(writeExport(fileName, grid, choice, selection));
}

} // namespace ostrim
