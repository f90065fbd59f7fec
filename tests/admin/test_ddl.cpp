// The DDL generator opened from a server window on the demo server: the scripts it writes, its
// separate files, the run on its own thread (stop, a second start, closing during a run) and the
// files it cannot write.
#include "admin_helpers.h"
#include "ddl_generator.h"
#include "frame_test.h"
#include "qt_wait.h"
#include "sybcombobox.h"
#include "syblistbox.h"
#include "u_ddl.h"
#include "u_directory.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

namespace ostrim {
namespace {

const QString kUnwritable = QStringLiteral("/proc/ostrim-test");

// Text rows of ddl_order inserted last row first, and split over colid2: only "order by colid2,
// colid" joins them right.
QString commentRow(int colid, int colid2, const QString& text) {
    return QString("insert into syscomments (id, number, colid, texttype, language, text, colid2, "
                   "status) select id, 1, %1, 0, 0, '%2', %3, 0 from sysobjects where name = "
                   "'ddl_order'")
        .arg(colid)
        .arg(text)
        .arg(colid2);
}

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
         test::runAsSa(
             {"create procedure ddl_a as select 1", "create procedure ddl_b as select 2",
              "create procedure ddl_c as select 3", "create procedure ddl_quote as select 42",
              "update sysobjects set name = 'q\"proc' where name = 'ddl_quote'",
              "create procedure ddl_spaced as select 5",
              "update sysobjects set name = ' spaced ' where name = 'ddl_spaced'",
              "create procedure ddl_slash as select 6",
              "update sysobjects set name = 'sl/ash' where name = 'ddl_slash'",
              "create procedure ddl_order as select 0",
              "delete from syscomments where id = object_id('ddl_order')",
              commentRow(1, 1, "/* third */ select 3"), commentRow(2, 0, "/* second */ select 2 "),
              commentRow(1, 0, "create procedure ddl_order as /* first */ select 1 ")},
             "ostrimdemo");
         test::runAsSa({"create procedure ddl_only2 as select 2"}, "ostrimdemo2");
     }});

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void choose(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->setCurrentIndex(index);
    emit box->textActivated(text);
}

void select(Tf_ddl& d, const QStringList& names) {
    for (const QString& name : names) {
        const QList<QListWidgetItem*> found = d.lb_objects->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        found[0]->setSelected(true);
    }
}

const QByteArray kPreamble = "use ostrimdemo\r\ngo\r\n\r\n";

class Ddl : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        ASSERT_TRUE(out.isValid());
        frame();
        writeIni(test::lastLogin("sa", "ostrimdemo"));
        server = connect("");
        ASSERT_NE(server, nullptr);
        dialogs.calls.clear(); // the login's
    }
    void TearDown() override {
        dialogs.dialogHandlers.clear();
        FrameTest::TearDown();
    }
    // Opens the generator from the server window's menu.
    Tf_ddl* open() {
        server->GenerateDDL2->trigger();
        QApplication::processEvents();
        for (QMdiSubWindow* sub : main->mdiArea()->subWindowList())
            if (auto* d = qobject_cast<Tf_ddl*>(sub->widget()))
                return d;
        return nullptr;
    }
    // The generator listing procedures, the given ones selected.
    Tf_ddl* procedures(const QStringList& names) {
        Tf_ddl* d = open();
        EXPECT_NE(d, nullptr);
        if (!d)
            return nullptr;
        choose(d->cmb_objecttype, "Procedures");
        select(*d, names);
        return d;
    }
    // Generate into one file; waits for the run's end.
    void generateTo(Tf_ddl& d, const QString& file) {
        dialogs.fileAnswers.push_back(file);
        d.ToolButton6->click();
        ASSERT_TRUE(test::waitUntil([&] { return !d.running(); }));
    }
    // Separate files, in directory as chosen in the picker.
    void pickDirectory(Tf_ddl& d, const QString& directory) {
        d.chk_sep_files->setChecked(true);
        dialogs.dialogHandlers.push_back([directory](QDialog& dialog) {
            auto* picker = qobject_cast<Tf_directory*>(&dialog);
            if (!picker)
                return int(QDialog::Rejected);
            picker->setCurrentDirectory(directory);
            picker->btn_ok->click();
            return picker->result();
        });
    }
    void generateIn(Tf_ddl& d, const QString& directory) {
        pickDirectory(d, directory);
        d.ToolButton6->click();
        ASSERT_TRUE(test::waitUntil([&] { return !d.running(); }));
    }
    // Generates into name in the output directory; what it holds then.
    QByteArray generated(Tf_ddl& d, const QString& name) {
        generateTo(d, out.filePath(name));
        return readAll(out.filePath(name));
    }
    QStringList files() const { return QDir(out.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir out;
    Tserverform* server = nullptr;
};

TEST(DdlScript, StatementsAndFileNames) {
    EXPECT_EQ(sourceTextSql("q\"p", "colid"),
              "select text from syscomments where id=object_id(\"q\"\"p\") order by colid");
    EXPECT_EQ(ddlObjectName("  " + QString(40, 'x') + " "), QString(30, 'x'));
    EXPECT_EQ(objectFileName("/tmp/d", " a/b ", ".prc"), "/tmp/d/ a_b .prc");
    EXPECT_EQ(objectFileName("/", QString("a") + QChar(0) + "b", ".trg"), "/a_b.trg");
    EXPECT_EQ(ddlPreamble(QString(35, 'd')),
              (QStringList{"use " + QString(30, 'd'), "go", QString()}));
    DdlKind kind = DdlKind::Views;
    EXPECT_FALSE(ddlKindOf("Tables", kind));
    EXPECT_EQ(kind, DdlKind::Views);
    ASSERT_TRUE(ddlKindOf("Triggers", kind));
    EXPECT_EQ(objectListSql(kind), "select name from sysobjects where type=\"TR\"");
}

TEST_F(Ddl, OpensAsAChildWithItsOwnConnectionOnTheWindowsDatabase) {
    EXPECT_TRUE(server->GenerateDDL2->isEnabled());
    Tf_ddl* d = open();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Generate DDL");
    EXPECT_TRUE(d->ddl_sybase->Connected());
    EXPECT_NE(d->ddl_sybase->DbProc(), server->sybase->DbProc());
    EXPECT_EQ(d->cmb_databases->currentText(), "ostrimdemo");
    const QStringList databases = test::items(d->cmb_databases);
    EXPECT_TRUE(databases.contains("master"));
    EXPECT_TRUE(databases.contains("ostrimdemo2"));
    EXPECT_EQ(test::items(d->cmb_objecttype), (QStringList{"Procedures", "Triggers", "Views"}));
    EXPECT_EQ(d->cmb_objecttype->currentText(), "Procedures");
    EXPECT_EQ(d->lb_objects->count(), 0) << "empty until the object type changes";
    EXPECT_TRUE(d->chk_drop->isChecked());
    EXPECT_FALSE(d->chk_grant->isChecked());
    EXPECT_FALSE(d->e_grant->isEnabled());
    EXPECT_FALSE(d->chk_sep_files->isChecked());
    EXPECT_EQ((QStringList{d->e_proc_ext->text(), d->e_trg_ext->text(), d->e_view_ext->text(),
                           d->ToolButton6->toolTip(), d->ToolButton2->toolTip()}),
              (QStringList{".prc", ".trg", ".vew", "Generate", "Stop"}));
    d->chk_grant->click();
    EXPECT_TRUE(d->e_grant->isEnabled());

    choose(d->cmb_objecttype, "Procedures");
    const QStringList names = test::items(d->lb_objects);
    EXPECT_TRUE(names.contains("ddl_a"));
    EXPECT_TRUE(names.contains("byroyalty"));
    EXPECT_FALSE(names.contains("deltitle"));
    EXPECT_EQ(names, test::sorted(names));
    d->Button3->click();
    EXPECT_EQ(d->lb_objects->selectedItems().size(), d->lb_objects->count());

    const QPointer<Tf_ddl> window = d;
    d->ToolButton1->click();
    ASSERT_TRUE(test::waitUntil([&] { return window.isNull(); })) << "closed and freed";
    // Its frame goes with it: only the server window is left.
    EXPECT_TRUE(test::waitUntil([&] { return main->mdiArea()->subWindowList().size() == 1; }));
}

TEST_F(Ddl, NoSelectionACancelledPickerOrSaveDialogWritesNothing) {
    Tf_ddl* d = procedures({});
    ASSERT_NE(d, nullptr);
    d->ToolButton6->click();
    QApplication::processEvents();
    EXPECT_TRUE(dialogs.calls.empty()) << "no selection: no dialog";
    EXPECT_FALSE(d->running());

    select(*d, {"ddl_a"});
    dialogs.fileAnswers.push_back(QString());
    d->ToolButton6->click();
    d->chk_sep_files->setChecked(true);
    dialogs.dialogHandlers.push_back([](QDialog& dialog) {
        auto* picker = qobject_cast<Tf_directory*>(&dialog);
        EXPECT_NE(picker, nullptr);
        if (picker)
            picker->btn_cancel->click();
        EXPECT_TRUE(picker && picker->Directory().isEmpty());
        return dialog.result();
    });
    d->ToolButton6->click();
    QApplication::processEvents();
    EXPECT_FALSE(d->running());
    EXPECT_EQ(calls("save"), 1);
    EXPECT_EQ(calls("exec"), 1);
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(Ddl, OneProcedureWithDropAndGrantInOneFile) {
    Tf_ddl* d = procedures({"ddl_a"});
    ASSERT_NE(d, nullptr);
    d->chk_grant->click();
    d->e_grant->setText("public");
    EXPECT_EQ(generated(*d, "one.sql"),
              kPreamble + "/************************ ddl_a ************************/\r\n"
                          "drop procedure ddl_a\r\ngo\r\n\r\n"
                          "create procedure ddl_a as select 1\r\ngo\r\n\r\n"
                          "grant execute on ddl_a to public\r\ngo\r\n");
    EXPECT_EQ(files(), QStringList{"one.sql"}) << "no temporary file stays behind";
    EXPECT_EQ(d->pg_bar->value(), 0);
    EXPECT_TRUE(d->e_proc->text().isEmpty());
    EXPECT_TRUE(d->ToolButton6->isEnabled());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Ddl, TriggersGetNoDropOrGrantButKeepTheirGoLines) {
    Tf_ddl* d = open();
    ASSERT_NE(d, nullptr);
    choose(d->cmb_objecttype, "Triggers");
    EXPECT_FALSE(test::items(d->lb_objects).contains("ddl_a"));
    select(*d, {"deltitle"});
    d->chk_grant->click();
    d->e_grant->setText("public");
    const QByteArray text = generated(*d, "trg.sql");
    EXPECT_TRUE(text.startsWith(kPreamble +
                                "/************************ deltitle ************************/\r\n"
                                "go\r\n\r\ncreate trigger deltitle on titles for delete\n"))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith("delete their sales first.\"\nend\r\ngo\r\n\r\ngo\r\n"))
        << text.toStdString();
    EXPECT_FALSE(text.contains("drop"));
    EXPECT_FALSE(text.contains("grant"));
}

TEST_F(Ddl, TextRowsJoinInColid2AndColidOrder) {
    Tf_ddl* d = procedures({"ddl_order"});
    ASSERT_NE(d, nullptr);
    d->chk_drop->setChecked(false);
    EXPECT_EQ(generated(*d, "order.sql"),
              kPreamble + "/************************ ddl_order ************************/\r\n"
                          "create procedure ddl_order as /* first */ select 1 /* second */ "
                          "select 2 /* third */ select 3\r\ngo\r\n\r\n");
}

TEST_F(Ddl, ThreeSeparateFilesEachWithOnePreamble) {
    Tf_ddl* d = procedures({"ddl_a", "ddl_b", "ddl_c"});
    ASSERT_NE(d, nullptr);
    d->e_proc_ext->setText(".sqlx");
    generateIn(*d, out.path());
    ASSERT_EQ(files(), (QStringList{"ddl_a.sql", "ddl_b.sql", "ddl_c.sql"}))
        << "the extension's first 4 characters; unselected items give no file";
    for (const QString& name : {QString("ddl_a"), QString("ddl_b"), QString("ddl_c")}) {
        const QByteArray text = readAll(out.filePath(name + ".sql"));
        EXPECT_TRUE(text.startsWith(kPreamble + "/****")) << text.toStdString();
        EXPECT_EQ(text.count("use ostrimdemo"), 1) << name.toStdString();
        EXPECT_TRUE(text.contains("drop procedure " + name.toUtf8() + "\r\n"));
    }
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].dialogClass, "ostrim::Tf_directory");
}

TEST_F(Ddl, UntrimmedNamesInFileNamesTrimmedInStatementsSlashReplaced) {
    Tf_ddl* d = procedures({" spaced ", "sl/ash"});
    ASSERT_NE(d, nullptr);
    generateIn(*d, out.path());
    ASSERT_EQ(files(), (QStringList{" spaced .prc", "sl_ash.prc"}));
    const QByteArray spaced = readAll(out.filePath(" spaced .prc"));
    EXPECT_TRUE(spaced.contains("/************************ spaced ************************/\r\n"
                                "drop procedure spaced\r\n"))
        << spaced.toStdString();
    EXPECT_TRUE(readAll(out.filePath("sl_ash.prc")).contains("drop procedure sl/ash\r\n"));
}

TEST_F(Ddl, ANameWithADoubleQuoteFindsItsText) {
    Tf_ddl* d = procedures({"q\"proc"});
    ASSERT_NE(d, nullptr);
    const QByteArray text = generated(*d, "quote.sql");
    EXPECT_TRUE(text.contains("drop procedure q\"proc\r\ngo\r\n\r\n"
                              "create procedure ddl_quote as select 42\r\ngo\r\n"))
        << text.toStdString();
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Ddl, AnotherDatabaseListsItsObjectsAndNamesItInTheUseLine) {
    Tf_ddl* d = open();
    ASSERT_NE(d, nullptr);
    choose(d->cmb_databases, "ostrimdemo2");
    EXPECT_EQ(d->ddl_sybase->DBName(), "ostrimdemo2");
    EXPECT_EQ(d->lb_objects->DbName(), "ostrimdemo2");
    choose(d->cmb_objecttype, "Procedures");
    EXPECT_TRUE(test::items(d->lb_objects).contains("ddl_only2"));
    EXPECT_FALSE(test::items(d->lb_objects).contains("ddl_a"));
    select(*d, {"ddl_only2"});
    const QByteArray text = generated(*d, "two.sql");
    EXPECT_TRUE(text.startsWith("use ostrimdemo2\r\ngo\r\n\r\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("create procedure ddl_only2 as select 2\r\n"));
}

// Holds the run before its object number `at` until released.
struct Hold {
    QSemaphore reached, proceed;
    std::function<void(int)> at(int index) {
        return [this, index](int i) {
            if (i != index)
                return;
            reached.release();
            proceed.acquire();
        };
    }
};

TEST_F(Ddl, StopLeavesNoFileAndASecondGenerateIsRefused) {
    Tf_ddl* d = procedures({"ddl_a", "ddl_b", "ddl_c"});
    ASSERT_NE(d, nullptr);
    Hold hold;
    d->beforeObject = hold.at(1);
    const QString file = out.filePath("stopped.sql");
    dialogs.fileAnswers.push_back(file);
    d->ToolButton6->click();
    ASSERT_TRUE(d->running());
    hold.reached.acquire();
    ASSERT_TRUE(test::waitUntil([&] { return d->e_proc->text() == "ddl_a"; }));
    EXPECT_EQ(d->pg_bar->value(), 1);
    EXPECT_EQ(d->pg_bar->maximum(), 3);

    Threadgenerate* first = d->generator();
    EXPECT_FALSE(d->ToolButton6->isEnabled());
    dialogs.fileAnswers.push_back(out.filePath("second.sql"));
    d->ToolButton6Click();
    EXPECT_EQ(d->generator(), first) << "no second run on the same connection";
    EXPECT_EQ(calls("save"), 1);
    EXPECT_FALSE(d->cmb_databases->currentText().isEmpty());

    // The run sees the stop at its next check, once let go from inside Stop's wait.
    QTimer::singleShot(0, d, [&] { hold.proceed.release(); });
    d->ToolButton2->click();
    EXPECT_FALSE(d->running());
    EXPECT_TRUE(files().isEmpty()) << files().join(", ").toStdString();
    EXPECT_EQ(d->pg_bar->value(), 0);
    EXPECT_TRUE(d->e_proc->text().isEmpty());
    EXPECT_TRUE(d->ToolButton6->isEnabled());
    EXPECT_TRUE(dialogs.messages().empty());

    // The connection is the window's again.
    d->beforeObject = nullptr;
    dialogs.fileAnswers.clear();
    generateTo(*d, file);
    EXPECT_EQ(readAll(file).count("/************************ "), 3);
}

TEST_F(Ddl, StopBetweenSeparateFilesLeavesOnlyFinishedOnes) {
    Tf_ddl* d = procedures({"ddl_a", "ddl_b", "ddl_c"});
    ASSERT_NE(d, nullptr);
    Hold hold;
    d->beforeObject = hold.at(2);
    pickDirectory(*d, out.path());
    d->ToolButton6->click();
    hold.reached.acquire();
    QTimer::singleShot(0, d, [&] { hold.proceed.release(); });
    d->ToolButton2->click();
    EXPECT_EQ(files(), (QStringList{"ddl_a.prc", "ddl_b.prc"}));
    EXPECT_TRUE(readAll(out.filePath("ddl_b.prc")).endsWith("select 2\r\ngo\r\n\r\n"));
}

TEST_F(Ddl, ClosingDuringARunWaitsForIt) {
    Tf_ddl* d = procedures({"ddl_a", "ddl_b"});
    ASSERT_NE(d, nullptr);
    Hold hold;
    d->beforeObject = hold.at(1);
    dialogs.fileAnswers.push_back(out.filePath("closed.sql"));
    d->ToolButton6->click();
    hold.reached.acquire();
    QPointer<Tf_ddl> window = d;
    QPointer<Threadgenerate> thread = d->generator();
    QTimer::singleShot(0, d, [&] { hold.proceed.release(); });
    d->ToolButton1->click();
    ASSERT_TRUE(test::waitUntil([&] { return window.isNull() && thread.isNull(); }));
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(Ddl, AFileThatCannotBeWrittenIsReported) {
    Tf_ddl* d = procedures({"ddl_a", "ddl_b"});
    ASSERT_NE(d, nullptr);
    const QString file = kUnwritable + "/out.sql";
    generateTo(*d, file);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const test::DialogCall box = dialogs.messages()[0];
    EXPECT_TRUE(box.text.startsWith(file + ": ")) << box.text.toStdString();
    EXPECT_GT(box.text.size(), file.size() + 2) << "with the reason";
    EXPECT_EQ(box.caption, "Ostrim");
    EXPECT_EQ(box.icon, QMessageBox::Critical);

    generateIn(*d, kUnwritable);
    ASSERT_EQ(dialogs.messages().size(), 2u) << "the run ends at the first file";
    EXPECT_TRUE(dialogs.messages()[1].text.startsWith(kUnwritable + "/ddl_a.prc: "))
        << dialogs.messages()[1].text.toStdString();
    EXPECT_TRUE(d->ToolButton6->isEnabled());
}

} // namespace
} // namespace ostrim
