#pragma once
// TSybNavigator: a bar of ten glyph buttons that moves the current row of the data set named by
// its DataSet. Only the four movement buttons act; the data set enables and disables them.

#include "navigator_link.h"
#include "sybase32.h"

#include <QStringList>
#include <QWidget>

#include <array>

class QToolButton;

namespace ostrim {

class TSybNavigator : public QWidget, public NavigatorLink {
    Q_OBJECT
public:
    // Ten buttons, all disabled but btn_insert, with their default hints.
    explicit TSybNavigator(QWidget* owner = nullptr);

    static constexpr int kButtonCount = 10;
    // The default hints, by button position.
    static QStringList defaultHints();

    QString Name() const override { return objectName(); }
    // Cut to 30 characters; enters NavigatorList.
    void setName(const QString& name);
    QString DataSet() const override { return m_dataSet; }
    // Cut to 30 characters; looked up afresh at each click.
    void setDataSet(const QString& name);
    QStringList HintsList() const { return m_hints; }
    // Copied; the buttons take the lines at the next loaded().
    void setHintsList(const QStringList& hints) { m_hints = hints; }
    bool ShowHint() const { return m_showHint; }
    void setShowHint(bool show) { m_showHint = show; }
    QString DbName() const { return m_dbName; }
    // Cut to 30 characters; the connection of that Name gives its DbProc.
    void setDbName(const QString& name);
    DbProcHandle DbProc() const { return m_dbProc; }
    void setDbProc(DbProcHandle process) { m_dbProc = process; }
    bool AutoDbProc() const { return m_autoDbProc; }
    void setAutoDbProc(bool value) { m_autoDbProc = value; }
    bool DesignActive() const { return m_designActive; }
    // True copies DbProc from the connection named by DbName.
    void setDesignActive(bool active);

    // The stored form is loaded: button i takes line i of HintsList as its hint (none when the
    // list is shorter).
    void loaded();

    void setMoveButtons(bool first, bool prior, bool next, bool last) override;
    const QObject* linkObject() const override { return this; }

    QToolButton* btn_first() const { return m_buttons[0]; }
    QToolButton* btn_prior() const { return m_buttons[1]; }
    QToolButton* btn_next() const { return m_buttons[2]; }
    QToolButton* btn_last() const { return m_buttons[3]; }
    QToolButton* btn_insert() const { return m_buttons[4]; }
    QToolButton* btn_delete() const { return m_buttons[5]; }
    QToolButton* btn_edit() const { return m_buttons[6]; }
    QToolButton* btn_post() const { return m_buttons[7]; }
    QToolButton* btn_cancel() const { return m_buttons[8]; }
    QToolButton* btn_refresh() const { return m_buttons[9]; }
    // By position, 0 to 9.
    QToolButton* button(int position) const { return m_buttons[size_t(position)]; }

    void btn_firstClick();
    void btn_priorClick();
    void btn_nextClick();
    void btn_lastClick();

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Move { First, Prior, Next, Last };
    // The data sets named DataSet, preferring those of this navigator's window, take the move.
    void move(Move kind);

    std::array<QToolButton*, kButtonCount> m_buttons{};
    QString m_dataSet;
    QStringList m_hints;
    bool m_showHint = false;
    QString m_dbName;
    DbProcHandle m_dbProc;
    bool m_autoDbProc = true;
    bool m_designActive = false;
};

} // namespace ostrim
