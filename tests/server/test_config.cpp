// The settings and speedword dialogs opened from a server window: what the settings dialog reads
// when it opens, what OK takes back into the window, the frame and the configuration file, the
// text mode, the colours, the SQL history's Refresh and our own two settings.
#include "frame_test.h"
#include "u_config.h"
#include "u_speedword.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

#include <functional>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.arguments = {"--demo"}, .entries = {{"DEMO"}}});

// A check box, the window's option it mirrors (null for the program-wide one), the frame's
// value and its key in the file.
struct CheckedValue {
    QCheckBox* Tf_config::*box;
    bool ServerOptions::*option;
    bool OstrimConfig::*config;
    const char* key;
};

const CheckedValue kCheckBoxes[] = {
    {&Tf_config::chk_showplan, &ServerOptions::ShowPlan, &OstrimConfig::ShowPlan, "ShowPlan"},
    {&Tf_config::chk_noexec, &ServerOptions::NoExec, &OstrimConfig::NoExec, "NoExec"},
    {&Tf_config::chk_checksyntax, &ServerOptions::CheckSyntax, &OstrimConfig::CheckSyntax,
     "CheckSyntax"},
    {&Tf_config::chk_statsio, &ServerOptions::ShowIo, &OstrimConfig::ShowIo, "ShowIo"},
    {&Tf_config::chk_statstime, &ServerOptions::ShowTime, &OstrimConfig::ShowTime, "ShowTime"},
    {&Tf_config::chk_arithabort, &ServerOptions::ArithAbort, &OstrimConfig::ArithAbort,
     "ArithAbort"},
    {&Tf_config::chk_arithignore, &ServerOptions::ArithIgnore, &OstrimConfig::ArithIgnore,
     "ArithIgnore"},
    {&Tf_config::chk_nonansi, &ServerOptions::ShowNonAnsi, &OstrimConfig::ShowNonAnsi,
     "ShowNonAnsi"},
    {&Tf_config::chk_execsel, &ServerOptions::ExecSelected, &OstrimConfig::ExecSelected,
     "ExecSelected"},
    {&Tf_config::chk_background, nullptr, &OstrimConfig::BackgroundProcess, "BackgroundProcess"},
    {&Tf_config::chk_dbproc, &ServerOptions::SeperateDBProc, &OstrimConfig::SeperateDBProc,
     "SeperateDBProc"},
    {&Tf_config::chk_appendgo, &ServerOptions::AppendGo, &OstrimConfig::AppendGo, "Appendgo"},
    {&Tf_config::chk_appendpaste, &ServerOptions::AppendPaste, &OstrimConfig::AppendPaste,
     "AppendPaste"},
    {&Tf_config::chk_opennewwindow, &ServerOptions::OpenNewWindow, &OstrimConfig::OpenNewWindow,
     "OpenNewWindow"},
    {&Tf_config::chk_pastecreate, &ServerOptions::PasteCREATE, &OstrimConfig::PasteCREATE,
     "PasteCREATE"},
    {&Tf_config::chk_pastedrop, &ServerOptions::PasteDROP, &OstrimConfig::PasteDROP, "PasteDROP"},
    {&Tf_config::chk_richtext, &ServerOptions::RichText, &OstrimConfig::RichText, "RichText"},
    {&Tf_config::chk_messages, nullptr, &OstrimConfig::MessagesInResults, "MessagesInResults"},
    {&Tf_config::chk_nulltext, nullptr, &OstrimConfig::ShowNullText, "ShowNullText"},
    {&Tf_config::chk_colours, nullptr, &OstrimConfig::SyntaxColours, "SyntaxColours"},
    {&Tf_config::chk_linenumbers, nullptr, &OstrimConfig::LineNumbers, "LineNumbers"},
    {&Tf_config::chk_completion, nullptr, &OstrimConfig::Completion, "Completion"},
    {&Tf_config::chk_cellviewer, nullptr, &OstrimConfig::CellViewer, "CellViewer"},
};

class Settings : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("sa", "ostrimdemo"));
        frame();
        w = connect("");
        ASSERT_NE(w, nullptr);
        closingAnswers.assign(5, QMessageBox::Yes);
    }
    // Opens the settings dialog from its menu item, runs fill on it while it is shown, and
    // closes it with O&k or &Cancel. False when no settings dialog came.
    bool options(const std::function<void(Tf_config&)>& fill, bool ok = true) {
        bool shown = false;
        dialogs.dialogHandlers.push_back([&](QDialog& d) {
            auto* config = qobject_cast<Tf_config*>(&d);
            if (!config)
                return int(QDialog::Rejected);
            shown = true;
            d.show();
            QApplication::processEvents();
            fill(*config);
            (ok ? config->btn_ok : config->btn_cancel)->click();
            EXPECT_FALSE(d.isVisible());
            return d.result();
        });
        w->Options1->trigger();
        QApplication::processEvents();
        return shown;
    }
    bool optionsOk() {
        return options([](Tf_config&) {});
    }
    bool flag(const CheckedValue& v) const {
        return v.option ? w->options.*v.option : main->config.*v.config;
    }
    void clickColor(Tf_config& d, int index, Qt::MouseButton button) {
        QTest::mouseClick(d.ColorGrid, button, {}, d.ColorGrid->cellRect(index).center());
    }
    QString temporaryFile() const { return home.filePath("ostrim.tmp"); }

    Tserverform* w = nullptr;
};

TEST_F(Settings, BothEntriesOpenTheirDialogsOwnedByTheWindow) {
    ASSERT_TRUE(w->Speedwords1->isEnabled());
    ASSERT_TRUE(w->Options1->isEnabled());
    QWidget* parent = nullptr;
    dialogs.dialogHandlers.push_back([&](QDialog& d) {
        parent = d.parentWidget();
        return int(QDialog::Rejected);
    });
    w->Speedwords1->trigger();
    optionsOk();
    ASSERT_EQ(calls("exec"), 3) << "login, speedwords, settings";
    EXPECT_EQ(dialogs.calls[1].dialogClass, "ostrim::Tf_speedword");
    EXPECT_EQ(dialogs.calls[1].caption, "Speedword Maintenance");
    EXPECT_EQ(parent, w);
    EXPECT_EQ(dialogs.calls[2].dialogClass, "ostrim::Tf_config");
    EXPECT_EQ(dialogs.calls[2].caption, "Config");
}

TEST_F(Settings, OkTakesEveryCheckBoxIntoTheWindowTheFrameAndTheConfigurationFile) {
    // Every other value turned from its default, so that each box shows its own.
    for (std::size_t i = 0; i < std::size(kCheckBoxes); i += 2) {
        const CheckedValue& v = kCheckBoxes[i];
        (v.option ? w->options.*v.option : main->config.*v.config) ^= true;
    }
    std::vector<bool> before;
    for (const CheckedValue& v : kCheckBoxes)
        before.push_back(flag(v));
    ASSERT_TRUE(options([&](Tf_config& d) {
        for (std::size_t i = 0; i < std::size(kCheckBoxes); ++i) {
            QCheckBox* box = d.*kCheckBoxes[i].box;
            EXPECT_EQ(box->isChecked(), before[i]) << kCheckBoxes[i].key;
            box->click();
        }
    }));
    const QString text = ini();
    for (std::size_t i = 0; i < std::size(kCheckBoxes); ++i) {
        const CheckedValue& v = kCheckBoxes[i];
        EXPECT_EQ(flag(v), !before[i]) << v.key;
        EXPECT_EQ(main->config.*v.config, !before[i]) << v.key;
        const QString line = QString("\r\n%1=%2\r\n").arg(v.key).arg(before[i] ? 0 : 1);
        EXPECT_TRUE(text.contains(line)) << v.key << "\n" << text.toStdString();
    }

    // Cancel takes nothing back.
    ASSERT_TRUE(options(
        [](Tf_config& d) {
            for (const CheckedValue& v : kCheckBoxes)
                (d.*v.box)->click();
        },
        false));
    for (std::size_t i = 0; i < std::size(kCheckBoxes); ++i)
        EXPECT_EQ(flag(kCheckBoxes[i]), !before[i]) << kCheckBoxes[i].key;
}

TEST_F(Settings, RichTextSwitchesTheEditorOnlyWhenItChanges) {
    w->memo->setPlainText("select 1");
    ASSERT_FALSE(w->memo->acceptRichText());
    const auto use = [&](bool rich) {
        QFile::remove(temporaryFile());
        return options([rich](Tf_config& d) { d.chk_richtext->setChecked(rich); });
    };

    ASSERT_TRUE(use(true));
    EXPECT_TRUE(QFile::exists(temporaryFile())) << "the mode switch went through the file";
    EXPECT_TRUE(w->memo->acceptRichText());
    EXPECT_EQ(w->statusPanels[1]->text(), "Rich Text");

    ASSERT_TRUE(use(true));
    EXPECT_FALSE(QFile::exists(temporaryFile())) << "OK without a change switches nothing";
    EXPECT_TRUE(w->memo->acceptRichText());

    ASSERT_TRUE(use(false));
    EXPECT_TRUE(QFile::exists(temporaryFile()));
    EXPECT_FALSE(w->memo->acceptRichText());
    EXPECT_EQ(w->statusPanels[1]->text(), "Plain Text");
    EXPECT_EQ(w->memo->toPlainText(), "select 1");
}

TEST_F(Settings, RefreshReadsTheNamedHistoryAndCancelKeepsTheName) {
    writeFile("other.his", "#\r\nselect 'first'\r\n#\r\nselect 'second'\r\n");
    ASSERT_TRUE(options(
        [&](Tf_config& d) {
            EXPECT_EQ(d.e_history_file->text(), "Ostrim.his");
            d.e_history_file->setText("other.his");
            d.btn_refresh->click();
        },
        false));
    EXPECT_EQ(main->config.HistoryFile, "other.his");
    EXPECT_EQ(test::items(w->cmb_history), (QStringList{"select 'first'", "select 'second'"}));

    // Named through OK, the file is read, not overwritten with this window's entries.
    writeFile("chosen.his", "#\r\nselect 'kept'\r\n");
    dialogs.fileAnswers.push_back(home.filePath("chosen.his"));
    ASSERT_TRUE(options([&](Tf_config& d) {
        EXPECT_EQ(d.e_history_file->text(), "other.his");
        d.btn_history_file->click();
    }));
    ASSERT_EQ(calls("open"), 1);
    EXPECT_EQ(dialogs.calls.back().caption, "Open History File");
    EXPECT_EQ(main->config.HistoryFile, home.filePath("chosen.his"));
    EXPECT_TRUE(ini().contains("\r\nHistoryFile=" + home.filePath("chosen.his") + "\r\n"));
    EXPECT_EQ(test::items(w->cmb_history), QStringList{"select 'kept'"});
}

TEST_F(Settings, TheGridSetsTheEditorsColoursWithoutChangingTheText) {
    w->memo->setPlainText("select 1");
    w->Modified = false;
    ASSERT_TRUE(options([&](Tf_config& d) {
        EXPECT_EQ(d.lb_element->currentItem()->text(), "Plain Text");
        EXPECT_EQ(d.ColorGrid->foregroundIndex(), 0) << "black";
        EXPECT_EQ(d.ColorGrid->backgroundIndex(), 15) << "white";
        clickColor(d, 12, Qt::LeftButton);
        clickColor(d, 11, Qt::RightButton);
        EXPECT_EQ(d.lbl_sample->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_EQ(d.lbl_sample->palette().color(QPalette::Window), QColor(255, 255, 0));
    }));
    EXPECT_EQ(w->memo->palette().color(QPalette::Text), QColor(0, 0, 255));
    EXPECT_EQ(w->memo->palette().color(QPalette::Base), QColor(255, 255, 0));
    QTextCursor first(w->memo->document());
    first.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(first.charFormat().foreground().color(), QColor(0, 0, 255)) << "the text in it too";
    EXPECT_FALSE(w->Modified);
    EXPECT_EQ(main->config.TextForeGroundColor, 0xFF0000);
    EXPECT_EQ(main->config.TextBackGroundColor, 0x00FFFF);
    EXPECT_TRUE(ini().contains("\r\nTextForeGroundColor=16711680\r\n"
                               "TextBackGroundColor=65535\r\n"));
}

TEST_F(Settings, AColourNotInTheGridIsKeptUntilACellIsChosenForIt) {
    QPalette odd = w->memo->palette();
    odd.setColor(QPalette::Text, QColor(0x12, 0x34, 0x56));
    w->memo->setPalette(odd);
    ASSERT_TRUE(options([&](Tf_config& d) {
        EXPECT_EQ(d.ColorGrid->foregroundIndex(), -1);
        EXPECT_EQ(d.ColorGrid->backgroundIndex(), 15);
        clickColor(d, 0, Qt::RightButton);
    }));
    EXPECT_EQ(main->config.TextForeGroundColor, 0x563412);
    EXPECT_EQ(main->config.TextBackGroundColor, 0);
    EXPECT_EQ(w->memo->palette().color(QPalette::Text), QColor(0x12, 0x34, 0x56));
}

TEST_F(Settings, HiddenCommandsAndTheLoginTimeOutApplyAtOnceAndReachTheFile) {
    ASSERT_FALSE(w->Devices1->isVisible());
    ASSERT_TRUE(options([](Tf_config& d) {
        EXPECT_FALSE(d.chk_showhidden->isChecked());
        EXPECT_EQ(d.e_logintimeout->value(), 15);
        d.chk_showhidden->click();
        d.e_logintimeout->setValue(7);
    }));
    EXPECT_TRUE(w->Devices1->isVisible());
    EXPECT_TRUE(w->Devices1->isEnabled());
    EXPECT_TRUE(w->Processes1->isEnabled());
    EXPECT_EQ(main->config.LoginTimeOut, 7);
    EXPECT_EQ(w->sybase->LoginTimeOut(), 7) << "a reconnect waits as long";
    EXPECT_TRUE(ini().contains("\r\nLoginTimeOut=7\r\nMessagesInResults=0\r\nShowNullText="
                               "0\r\nSyntaxColours=1\r\nLineNumbers=1\r\nCompletion=1\r\n"
                               "CellViewer=1\r\nShowHiddenCommands=1\r\n"))
        << ini().toStdString();

    ASSERT_TRUE(options([](Tf_config& d) {
        EXPECT_TRUE(d.chk_showhidden->isChecked());
        d.chk_showhidden->click();
        d.e_logintimeout->setValue(0);
    }));
    EXPECT_FALSE(w->Devices1->isVisible());
    EXPECT_FALSE(w->Processes1->isEnabled());
    EXPECT_TRUE(ini().contains("\r\nLoginTimeOut=0\r\nMessagesInResults=0\r\nShowNullText="
                               "0\r\nSyntaxColours=1\r\nLineNumbers=1\r\nCompletion=1\r\n"
                               "CellViewer=1\r\nShowHiddenCommands=0\r\n"));

    // A window opened later starts with what the file now says.
    Tserverform* later = connect("");
    ASSERT_NE(later, nullptr);
    ASSERT_NE(later, w);
    EXPECT_EQ(later->options.ShowHiddenCommands, 0);
    EXPECT_EQ(later->sybase->LoginTimeOut(), 0);
}

} // namespace
} // namespace ostrim
