#include "u_ddl.h"

#include "ddl_generator.h"
#include "dialogs.h"
#include "file_error_box.h"
#include "glyph_icon.h"
#include "mdi_child.h"
#include "sybcombobox.h"
#include "sybdatabase.h"
#include "syblistbox.h"
#include "sybquery.h"
#include "u_directory.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace ostrim {

namespace {

// A stop reaches a waiting read within a second or two (CancelScope); a server that does not
// answer the cancel is waited for as long as it takes, since the thread owns the connection.
constexpr int kStopWaitMs = 3000;

const QString kSaveFilter = QStringLiteral("SQL Files (*.sql);;Text Files (*.txt);;All Files (*)");

QToolButton* toolButton(QWidget* parent, const char* name, const char* icon, const QString& glyph,
                        const QString& hint) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(themeOrGlyph(icon, glyph, glyphFont(16)));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(hint);
    button->setAutoRaise(true);
    return button;
}

} // namespace

Tf_ddl::Tf_ddl(QWidget* parent) : QWidget(parent) {
    setObjectName("f_ddl");
    setWindowTitle("Generate DDL");
    createControls();
    connect(ToolButton1, &QToolButton::clicked, this, &Tf_ddl::ToolButton1Click);
    connect(ToolButton6, &QToolButton::clicked, this, &Tf_ddl::ToolButton6Click);
    connect(ToolButton2, &QToolButton::clicked, this, &Tf_ddl::ToolButton2Click);
    connect(cmb_databases, &QComboBox::textActivated, this, &Tf_ddl::cmb_databasesChange);
    connect(cmb_objecttype, &QComboBox::textActivated, this, &Tf_ddl::cmb_objecttypeChange);
    connect(Button3, &QPushButton::clicked, this, &Tf_ddl::Button3Click);
    connect(chk_grant, &QCheckBox::clicked, this, &Tf_ddl::chk_grantClick);
}

Tf_ddl::~Tf_ddl() {
    stopGenerator();
    ddl_sybase->disconnect();
}

void Tf_ddl::createControls() {
    ddl_sybase = new TSybDatabase(this);
    ddl_sybase->setObjectName("ddl_sybase");

    ToolButton1 = toolButton(this, "ToolButton1", "window-close", QStringLiteral("✕"), {});
    ToolButton6 =
        toolButton(this, "ToolButton6", "media-playback-start", QStringLiteral("▶"), "Generate");
    ToolButton2 =
        toolButton(this, "ToolButton2", "media-playback-stop", QStringLiteral("■"), "Stop");

    cmb_databases = new TSybComboBox(this);
    cmb_databases->setObjectName("cmb_databases");
    cmb_databases->setAutoDbProc(false);
    cmb_databases->setSql("select name\nfrom master..sysdatabases\norder by name");
    cmb_objecttype = new QComboBox(this);
    cmb_objecttype->setObjectName("cmb_objecttype");
    cmb_objecttype->addItems({"Procedures", "Triggers", "Views"});

    lb_objects = new TSybListBox(this);
    lb_objects->setObjectName("lb_objects");
    lb_objects->setAutoDbProc(false);
    lb_objects->setSortingEnabled(true);
    lb_objects->setSelectionMode(QAbstractItemView::ExtendedSelection);
    q_text = new TSybQuery(this);
    q_text->setObjectName("q_text");
    q_text->setAutoDbProc(false);
    Button3 = new QPushButton("Select &All", this);
    Button3->setObjectName("Button3");

    chk_drop = new QCheckBox("Add DROP", this);
    chk_drop->setObjectName("chk_drop");
    chk_drop->setChecked(true);
    chk_grant = new QCheckBox("Grant EXECUTE/SELECT to:", this);
    chk_grant->setObjectName("chk_grant");
    e_grant = new QLineEdit(this);
    e_grant->setObjectName("e_grant");
    e_grant->setEnabled(false);
    chk_sep_files = new QCheckBox("Seperate files", this);
    chk_sep_files->setObjectName("chk_sep_files");

    g_extensions = new QGroupBox("File Extentions", this);
    g_extensions->setObjectName("g_extensions");
    auto extension = [this](const char* name, const QString& text) {
        auto* e = new QLineEdit(text, g_extensions);
        e->setObjectName(name);
        e->setFixedWidth(60);
        return e;
    };
    e_proc_ext = extension("e_proc_ext", ".prc");
    e_trg_ext = extension("e_trg_ext", ".trg");
    e_view_ext = extension("e_view_ext", ".vew");
    auto* extensions = new QFormLayout(g_extensions);
    extensions->addRow("Procedures", e_proc_ext);
    extensions->addRow("Triggers", e_trg_ext);
    extensions->addRow("Views", e_view_ext);

    pg_bar = new QProgressBar(this);
    pg_bar->setObjectName("pg_bar");
    pg_bar->setRange(0, 100);
    pg_bar->setValue(0);
    pg_bar->setTextVisible(false);
    e_proc = new QLineEdit(this);
    e_proc->setObjectName("e_proc");
    e_proc->setReadOnly(true);

    auto* tools = new QHBoxLayout;
    tools->addWidget(ToolButton1);
    tools->addWidget(ToolButton6);
    tools->addWidget(ToolButton2);
    tools->addStretch();

    auto* choices = new QFormLayout;
    choices->addRow("Database", cmb_databases);
    choices->addRow("Object type", cmb_objecttype);

    auto* options = new QVBoxLayout;
    options->addLayout(choices);
    options->addWidget(chk_drop);
    options->addWidget(chk_grant);
    options->addWidget(e_grant);
    options->addWidget(chk_sep_files);
    options->addWidget(g_extensions);
    options->addStretch();

    auto* list = new QVBoxLayout;
    list->addWidget(lb_objects, 1);
    list->addWidget(Button3, 0, Qt::AlignLeft);

    auto* middle = new QHBoxLayout;
    middle->addLayout(list, 1);
    middle->addLayout(options);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addLayout(middle, 1);
    layout->addWidget(e_proc);
    layout->addWidget(pg_bar);
    resize(560, 420);
}

void Tf_ddl::openWith(const QString& user, const QString& password, const QString& server,
                      const QString& database) {
    ddl_sybase->setUserName(user);
    ddl_sybase->setPassword(password);
    ddl_sybase->setServerName(server);
    ddl_sybase->setDBName(database);
    ddl_sybase->setLoginPrompt(false);
    ddl_sybase->loaded();
    ddl_sybase->connect();
    cmb_databases->setDbProc(ddl_sybase->DbProc());
    cmb_databases->Fill();
    cmb_databases->setValue(ddl_sybase->DBName());
    lb_objects->setDbProc(ddl_sybase->DbProc());
    lb_objects->setDbName(ddl_sybase->DBName());
    q_text->setDbProc(ddl_sybase->DbProc());
    q_text->setDbName(ddl_sybase->DBName());
    cmb_objecttype->setCurrentText("Procedures");
}

void Tf_ddl::ToolButton1Click() {
    closeChildWindow(*this);
}

void Tf_ddl::ToolButton6Click() {
    // The connection is the running thread's until it ends: a second run would share it.
    if (running())
        return;
    DdlJob job;
    if (!ddlKindOf(cmb_objecttype->currentText(), job.kind)) {
        resetProgress();
        return;
    }
    const QLineEdit* extension = job.kind == DdlKind::Procedures ? e_proc_ext
                                 : job.kind == DdlKind::Triggers ? e_trg_ext
                                                                 : e_view_ext;
    job.extension = extension->text().left(4);
    for (int i = 0; i < lb_objects->count(); ++i)
        if (lb_objects->item(i)->isSelected())
            job.items << lb_objects->item(i)->text();
    pg_bar->setMaximum(std::max<qsizetype>(1, job.items.size()));
    if (job.items.isEmpty())
        return;
    job.database = lb_objects->DbName();
    job.drop = chk_drop->isChecked();
    job.grant = chk_grant->isChecked();
    job.grantee = e_grant->text();
    job.separateFiles = chk_sep_files->isChecked();
    if (!job.separateFiles) {
        job.fileName = Dialogs::saveFileName("Generate DDL", QString(), kSaveFilter);
        if (job.fileName.isEmpty())
            return;
    } else {
        Tf_directory picker(this);
        if (Dialogs::exec(picker) != QDialog::Accepted || picker.Directory().isEmpty())
            return;
        job.directory = picker.Directory();
    }
    pg_bar->setMaximum(int(job.items.size()));
    pg_bar->setValue(0);
    // Created suspended: started only once its notices are connected, so none can be missed.
    auto* thread = new Threadgenerate(true, std::move(job), ddl_sybase->DbProc());
    thread->beforeObject = beforeObject;
    // Queued: both come from the run's thread, and only this thread may touch the widgets.
    connect(thread, &Threadgenerate::progress, this, &Tf_ddl::showProgress, Qt::QueuedConnection);
    connect(thread, &QThread::finished, this, &Tf_ddl::generatorEnded, Qt::QueuedConnection);
    m_generator = thread;
    ToolButton6->setEnabled(false);
    thread->start();
}

void Tf_ddl::ToolButton2Click() {
    stopGenerator();
    resetProgress();
}

void Tf_ddl::stopGenerator() {
    if (!m_generator)
        return;
    m_generator->Terminate();
    if (!waitForGenerator(QDeadlineTimer(kStopWaitMs)))
        waitForGenerator(QDeadlineTimer(QDeadlineTimer::Forever));
}

bool Tf_ddl::waitForGenerator(QDeadlineTimer deadline) {
    // The end notice is queued after the run ends, so it cannot be missed here.
    return Dialogs::runEventsUntil([this] { return !m_generator; }, deadline,
                                   [this](const std::function<void()>& wake) {
                                       return connect(this, &Tf_ddl::generatorFreed, wake);
                                   });
}

void Tf_ddl::generatorEnded() {
    if (!m_generator)
        return;
    Threadgenerate* thread = m_generator;
    m_generator = nullptr;
    thread->wait();
    const IoResult failure = thread->failure();
    const bool stopped = thread->Terminated();
    thread->deleteLater();
    ToolButton6->setEnabled(true);
    emit generatorFreed();
    if (!stopped)
        resetProgress();
    reportIo(failure);
}

void Tf_ddl::showProgress(int position, const QString& name) {
    // A run that was stopped may still have notices queued.
    if (!m_generator)
        return;
    pg_bar->setValue(position);
    e_proc->setText(name);
}

void Tf_ddl::resetProgress() {
    pg_bar->setValue(0);
    e_proc->clear();
}

void Tf_ddl::cmb_databasesChange() {
    if (running())
        return;
    const QString name = cmb_databases->currentText();
    ddl_sybase->setDBName(name);
    lb_objects->setDbName(name);
}

void Tf_ddl::cmb_objecttypeChange() {
    if (running())
        return;
    lb_objects->clear();
    DdlKind kind;
    if (!ddlKindOf(cmb_objecttype->currentText(), kind))
        return;
    lb_objects->setSql(objectListSql(kind));
    lb_objects->Fill();
}

void Tf_ddl::Button3Click() {
    lb_objects->selectAll();
}

void Tf_ddl::chk_grantClick() {
    e_grant->setEnabled(chk_grant->isChecked());
}

void Tf_ddl::closeEvent(QCloseEvent* event) {
    stopGenerator();
    ddl_sybase->disconnect();
    event->accept();
}

} // namespace ostrim
