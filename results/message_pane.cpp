#include "message_pane.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>

namespace ostrim {

namespace {

constexpr int kQueryPlanStart = 6201;
constexpr int kErrorSeverity = 10; // above it, an error
constexpr int kLineRole = Qt::UserRole;
constexpr int kMessageRole = Qt::UserRole + 1;

// The server ends most messages with a line break; a plan message also begins with one.
QString shownText(const RunMessage& m, bool plan) {
    QString text = m.text;
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    if (plan) {
        while (text.startsWith(QLatin1Char('\n')) || text.startsWith(QLatin1Char('\r')))
            text.remove(0, 1);
        return text;
    }
    return text.trimmed();
}

QString headerLine(const QTreeWidgetItem& item) {
    const auto column = [&item](MessagePane::Column c) {
        return item.text(c);
    };
    QString line = column(MessagePane::Time);
    if (item.data(MessagePane::Number, kMessageRole).toBool()) {
        line += QStringLiteral(" Msg ") + column(MessagePane::Number) + QStringLiteral(", Level ") +
                column(MessagePane::Severity) + QStringLiteral(", State ") +
                column(MessagePane::State);
        if (!column(MessagePane::Procedure).isEmpty())
            line += QStringLiteral(", Procedure ") + column(MessagePane::Procedure);
        if (!column(MessagePane::Line).isEmpty())
            line += QStringLiteral(", Line ") + column(MessagePane::Line);
    }
    return line;
}

} // namespace

MessagePane::MessagePane(QWidget* parent) : QTreeWidget(parent) {
    setObjectName("messages");
    setColumnCount(Text + 1);
    setHeaderLabels({"Time", "Msg", "Level", "State", "Procedure", "Line", "Text"});
    setRootIsDecorated(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setWordWrap(false);
    setUniformRowHeights(false);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    // The first column also holds the plan groups' indentation and their expand mark.
    setColumnWidth(Time, fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) +
                             2 * indentation() + 12);
    for (Column c : {Number, Severity, State, Line})
        setColumnWidth(c, fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
    setColumnWidth(Procedure, fontMetrics().horizontalAdvance(QStringLiteral("sp_procedure")));
    auto* copyAction = new QAction("&Copy", this);
    copyAction->setObjectName("copyMessages");
    connect(copyAction, &QAction::triggered, this, &MessagePane::copy);
    addAction(copyAction);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        if (const int line = item->data(Line, kLineRole).toInt(); line > 0)
            emit lineActivated(line);
    });
}

void MessagePane::add(const std::vector<RunMessage>& messages,
                      const std::function<int(const RunMessage&)>& editorLine) {
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const RunMessage& m : messages) {
        const bool plan = !m.fromLibrary && isPlanMessage(m.number);
        QTreeWidgetItem* parent = nullptr;
        if (plan && m.number != kQueryPlanStart && m_plan && m_planBatch == m.batch)
            parent = m_plan;
        auto* item = new QTreeWidgetItem;
        item->setText(Time, m.time.toString(QStringLiteral("HH:mm:ss.zzz")));
        // A print's message and a refused batch carry no number worth showing.
        const bool numbered = m.number != 0 || m.severity > kErrorSeverity;
        item->setData(Number, kMessageRole, numbered);
        if (numbered) {
            item->setText(Number, QString::number(m.number));
            item->setText(Severity, QString::number(m.severity));
            if (!m.fromLibrary)
                item->setText(State, QString::number(m.state));
        }
        item->setText(Procedure, m.procedure);
        const int line = editorLine(m);
        if (line > 0) {
            item->setText(Line, QString::number(line));
            item->setData(Line, kLineRole, line);
        }
        item->setText(Text, shownText(m, plan));
        if (plan)
            item->setFont(Text, fixed);
        if (m.severity > kErrorSeverity || m.fromLibrary)
            for (int c = 0; c <= Text; ++c)
                item->setForeground(c, Qt::red);
        if (parent) {
            parent->addChild(item);
            parent->setExpanded(true);
        } else {
            addTopLevelItem(item);
        }
        if (plan && m.number == kQueryPlanStart) {
            m_plan = item;
            m_planBatch = m.batch;
        }
    }
    if (QTreeWidgetItem* last = topLevelItem(topLevelItemCount() - 1))
        scrollToItem(last->childCount() ? last->child(last->childCount() - 1) : last);
}

QString MessagePane::text() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QString text;
    const auto append = [&](const QTreeWidgetItem& item) {
        if (!selected.isEmpty() && !selected.contains(&item))
            return;
        text += headerLine(item) + QStringLiteral("\r\n");
        QString body = item.text(Text);
        body.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        text += body + QStringLiteral("\r\n");
    };
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem& top = *topLevelItem(i);
        append(top);
        for (int j = 0; j < top.childCount(); ++j)
            append(*top.child(j));
    }
    return text;
}

void MessagePane::copy() const {
    QApplication::clipboard()->setText(text());
}

void MessagePane::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace ostrim
