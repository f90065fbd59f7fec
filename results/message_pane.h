#pragma once
// The pane below a results grid that collects the run's server messages in arrival order, each
// with the editor line it points at.

#include "sybgrid_loader.h"

#include <QTreeWidget>

#include <functional>
#include <vector>

namespace ostrim {

class MessagePane : public QTreeWidget {
    Q_OBJECT
public:
    enum Column { Time, Number, Severity, State, Procedure, Line, Text };

    explicit MessagePane(QWidget* parent = nullptr);

    // Appends messages. editorLine gives the editor line a message points at, 0 for none.
    // A query plan message starts a group under which the plan and statistics messages of its
    // batch that follow are listed, until the next plan's start.
    void add(const std::vector<RunMessage>& messages,
             const std::function<int(const RunMessage&)>& editorLine);
    // The selected messages, or all when none is selected, one after another as text.
    QString text() const;
    void copy() const;

signals:
    // A message pointing at an editor line was double-clicked.
    void lineActivated(int line);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTreeWidgetItem* m_plan = nullptr; // the plan group messages of m_planBatch join
    int m_planBatch = -1;
};

} // namespace ostrim
