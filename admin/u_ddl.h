#pragma once
// Tf_ddl: "Generate DDL". Writes the scripts that re-create a database's procedures, triggers or
// views from their source text, on a connection of its own with the opening window's login. The
// generation runs on Threadgenerate (ddl_generator.h); the window stays usable and can stop it.

#include <QDeadlineTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace ostrim {

class Threadgenerate;
class TSybComboBox;
class TSybDatabase;
class TSybListBox;
class TSybQuery;

class Tf_ddl : public QWidget {
    Q_OBJECT
public:
    explicit Tf_ddl(QWidget* parent = nullptr);
    ~Tf_ddl() override;

    // Connects as the opening window does and lists its databases, that window's selected.
    void openWith(const QString& user, const QString& password, const QString& server,
                  const QString& database);

    TSybDatabase* ddl_sybase = nullptr;
    QToolButton* ToolButton1 = nullptr; // close
    QToolButton* ToolButton6 = nullptr; // "Generate"
    QToolButton* ToolButton2 = nullptr; // "Stop"
    TSybComboBox* cmb_databases = nullptr;
    QComboBox* cmb_objecttype = nullptr;
    TSybListBox* lb_objects = nullptr;
    // Holds the connection's handle and database as the window's text query; the run reads the
    // texts with source_text's plain calls instead, since a query looks up the GUI thread's
    // registries (navigators, value controls) on every row.
    TSybQuery* q_text = nullptr;
    QPushButton* Button3 = nullptr;
    QCheckBox* chk_drop = nullptr;
    QCheckBox* chk_grant = nullptr;
    QLineEdit* e_grant = nullptr;
    QCheckBox* chk_sep_files = nullptr;
    QGroupBox* g_extensions = nullptr;
    QLineEdit* e_proc_ext = nullptr;
    QLineEdit* e_trg_ext = nullptr;
    QLineEdit* e_view_ext = nullptr;
    QProgressBar* pg_bar = nullptr;
    QLineEdit* e_proc = nullptr;

    void ToolButton1Click();
    void ToolButton6Click();
    void ToolButton2Click();
    void cmb_databasesChange();
    void cmb_objecttypeChange();
    void Button3Click();
    void chk_grantClick();

    // The run under way (null when none).
    Threadgenerate* generator() const { return m_generator; }
    bool running() const { return m_generator != nullptr; }
    // Handed to each run: called on its thread before each object, so a test can hold it there.
    std::function<void(int)> beforeObject;

protected:
    void closeEvent(QCloseEvent* event) override;

signals:
    // The run has ended and its thread is freed.
    void generatorFreed();

private:
    void createControls();
    void showProgress(int position, const QString& name);
    // The run has ended (finished or stopped): frees it, reports a file it could not write.
    void generatorEnded();
    // Runs the event loop until the run has ended or deadline; whether it has.
    bool waitForGenerator(QDeadlineTimer deadline);
    void stopGenerator();
    void resetProgress();

    Threadgenerate* m_generator = nullptr;
};

} // namespace ostrim
