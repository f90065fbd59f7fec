#include "process_monitor.h"

#include "busy_connection.h"
#include "dialogs.h"
#include "glyph_icon.h"
#include "sybdatabase.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <array>
#include <optional>

namespace ostrim {

namespace {

constexpr int kLineLength = 75;

std::optional<int> delayOf(const QLineEdit* edit) {
    bool valid = false;
    const int seconds = edit->text().trimmed().toInt(&valid);
    return valid && seconds >= 0 ? std::optional<int>(seconds) : std::nullopt;
}

} // namespace

RepeatDelay::RepeatDelay(QWidget* panel, int& storedDelay, std::function<void()> tick)
    : QObject(panel), m_stored(storedDelay) {
    label = new QLabel(QStringLiteral("Delay (sec)"), panel);
    label->setObjectName("Label7");
    edit = new QLineEdit(panel);
    edit->setObjectName("e_delay");
    edit->setInputMask(QStringLiteral("00; "));
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 12);
    check = new QCheckBox(QStringLiteral("Repeat"), panel);
    check->setObjectName("chk_repeat");
    check->setLayoutDirection(Qt::RightToLeft);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(6, 3, 6, 3);
    row->addWidget(label);
    row->addWidget(edit);
    row->addSpacing(12);
    row->addWidget(check);
    row->addStretch();
    timer.setObjectName("tim_delay");
    connect(&timer, &QTimer::timeout, this, std::move(tick));
    connect(check, &QCheckBox::clicked, this, &RepeatDelay::repeatClicked);
}

void RepeatDelay::showStored() {
    edit->setText(QString::number(m_stored));
}

void RepeatDelay::repeatClicked() {
    const std::optional<int> seconds = delayOf(edit);
    if (seconds)
        m_stored = *seconds;
    timer.stop();
    if (check->isChecked() && !seconds) {
        check->setChecked(false);
        Dialogs::message(QStringLiteral("Please enter the delay in seconds."),
                         QStringLiteral("Processes"), QMessageBox::Warning);
    } else if (check->isChecked() && *seconds > 0) {
        // No delay never fires: a timer without interval would reload without pause.
        timer.start(*seconds * 1000);
    }
}

void RepeatDelay::store() {
    if (const std::optional<int> seconds = delayOf(edit))
        m_stored = *seconds;
    timer.stop();
}

MonitorButtons addMonitorButtons(QToolBar* bar) {
    QStyle* style = bar->style();
    return {addToolButton(bar, "ToolButton1", QStringLiteral("Close"),
                          QIcon::fromTheme("window-close",
                                           style->standardIcon(QStyle::SP_DialogCloseButton))),
            addToolButton(
                bar, "ToolButton2", QStringLiteral("Refresh"),
                QIcon::fromTheme("view-refresh", style->standardIcon(QStyle::SP_BrowserReload))),
            addToolButton(
                bar, "ToolButton3", QStringLiteral("Kill Process"),
                QIcon::fromTheme("process-stop", style->standardIcon(QStyle::SP_BrowserStop)))};
}

bool monitorMaySend(DbProcHandle process) {
    return TSybDatabase::isOpenConnection(process) && !BusyConnection::isBusy(process) &&
           !insideDbLibBox();
}

QString processLine(const QStringList& values) {
    struct Field {
        int column;
        int width;
    };
    static constexpr std::array<Field, 6> kFields{
        {{1, 5}, {7, 12}, {21, 10}, {33, 20}, {55, 5}, {62, 15}}};
    QString line(kLineLength, QLatin1Char(' '));
    for (std::size_t i = 0; i < kFields.size() && i < std::size_t(values.size()); ++i) {
        line.insert(kFields[i].column - 1, values[qsizetype(i)].left(kFields[i].width));
        line.truncate(kLineLength);
    }
    return line;
}

} // namespace ostrim
