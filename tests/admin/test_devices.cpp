// The devices dialog opened from server windows on demo servers, and ShowHiddenCommands, which
// makes its hidden menu item reachable.
#include "admin_helpers.h"
#include "busy_connection.h"
#include "frame_test.h"
#include "syblistbox.h"
#include "sybquery.h"
#include "u_devices.h"
#include "u_generate2.h"
#include "u_generate25.h"
#include "u_generate27.h"
#include "u_generate3.h"
#include "u_generatesql.h"
#include "u_modify.h"
#include "u_modify_form.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <fstream>
#include <functional>

namespace ostrim {
namespace {

// Devices of our own beside the demo's: entered last, so the server lists them out of order;
// "a_dev" sorts first. Pre-15 encoding: the virtual device number in the high byte of low.
QString deviceRow(const QString& name, qint64 vdevno, qint64 pages, const QString& mirror) {
    const qint64 low = vdevno << 24;
    return QString("insert into master..sysdevices (low, high, status, cntrltype, name, phyname, "
                   "mirrorname, vdevno) values (%1, %2, 2, 0, '%3', '/devices/%4.dat', %5, %6)")
        .arg(low)
        .arg(low + pages - 1)
        .arg(name, QString(name).remove('"'), mirror.isEmpty() ? "null" : "'" + mirror + "'")
        .arg(vdevno);
}

[[maybe_unused]] test::ServerEnvironment* const g_environment = test::addServerEnvironment(
    {.arguments = {"--demo"}, .entries = {{"DEMO"}}, .prepare = [] {
         test::runAsSa({deviceRow("a_dev", 7, 1024, "/mirrors/a_dev.mir"),
                        deviceRow("nomirror_dev", 9, 1280, {}), deviceRow("q\"dev", 12, 512, {}),
                        // The Part's own example: low 0, high 1023 at 512 pages per megabyte.
                        "insert into master..sysdevices (low, high, status, cntrltype, name, "
                        "phyname) values (0, 1023, 2, 0, 'zero_dev', '/devices/zero.dat')"});
     }});

// Every device name the server gives, in its order.
QStringList serverDevices(DbProcHandle process) {
    return test::firstColumn(process, "select name from master..sysdevices");
}

// What the Properties page shows.
struct Details {
    QString logical, physical, vdevno, mirror, size;
    bool operator==(const Details&) const = default;
};

Details details(const Tf_devices& d) {
    return {d.e_logical_name->text(), d.e_physical_name->text(), d.e_virtual_device_number->text(),
            d.e_mirror_name->text(), d.e_size->text()};
}

class Devices : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        frame();
    }
    Tserverform* connectTo(const QString& server, bool showHidden) {
        writeIni(test::lastLogin("sa", "master", server) +
                 (showHidden ? "ShowHiddenCommands=1\r\n" : ""));
        return connect("");
    }
    // Opens the dialog from window through its menu item and runs check on it while it is shown
    // (as exec shows it), then closes it with its button. False when no dialog came.
    bool openDevices(Tserverform& window, const std::function<void(Tf_devices&)>& check) {
        bool shown = false;
        dialogs.dialogHandlers.push_back([&](QDialog& d) {
            auto* devices = qobject_cast<Tf_devices*>(&d);
            if (!devices)
                return int(QDialog::Rejected);
            shown = true;
            opened = devices;
            EXPECT_EQ(d.parentWidget(), &window) << "owned by the window it was opened from";
            d.show();
            QApplication::processEvents();
            check(*devices);
            devices->IXButton1->click();
            EXPECT_FALSE(d.isVisible()) << "the button closes the dialog";
            return d.result();
        });
        window.Devices1->trigger();
        QApplication::processEvents();
        return shown;
    }
    void click(Tf_devices& d, const QString& name) {
        const QList<QListWidgetItem*> found = d.l_devices->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        d.l_devices->scrollToItem(found[0]);
        QTest::mouseClick(d.l_devices->viewport(), Qt::LeftButton, {},
                          d.l_devices->visualItemRect(found[0]).center());
    }
    int devicesOpened() const {
        int n = 0;
        for (const test::DialogCall& c : dialogs.calls)
            n += c.kind == "exec" && c.dialogClass == "ostrim::Tf_devices";
        return n;
    }
    void closeWindow(Tserverform* w) {
        w->toolButton(1)->click();
        QApplication::processEvents();
    }

    QPointer<Tf_devices> opened;
};

void PrintTo(const Details& d, std::ostream* out) {
    *out << "{" << d.logical.toStdString() << ", " << d.physical.toStdString() << ", "
         << d.vdevno.toStdString() << ", " << d.mirror.toStdString() << ", " << d.size.toStdString()
         << "}";
}

TEST_F(Devices, ShowHiddenCommandsShowsAndEnablesTheItemsAndIsWrittenBack) {
    for (const bool show : {false, true}) {
        SCOPED_TRACE(show);
        Tserverform* w = connectTo("DEMO", show);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->options.ShowHiddenCommands, int(show));
        EXPECT_TRUE(w->Tools1->actions().contains(w->Devices1));
        EXPECT_EQ(w->Devices1->text(), "&Devices");
        for (const QAction* item : {w->Devices1, w->Processes1}) {
            EXPECT_EQ(item->isVisible(), show) << item->text().toStdString();
            EXPECT_EQ(item->isEnabled(), show) << item->text().toStdString();
        }
        EXPECT_EQ(w->toolButton(26)->isEnabled(), show) << "Modify Data";
        EXPECT_EQ(w->toolButton(26)->isVisible(), show);
        EXPECT_FALSE(w->toolButton(24)->isVisible()) << "Drop Object is no administration command";
        if (!show) {
            w->Devices1->trigger();
            QApplication::processEvents();
            EXPECT_EQ(devicesOpened(), 0) << "a disabled item opens nothing";
        }
        closeWindow(w);
        const QString text = ini();
        EXPECT_EQ(text.count("ShowHiddenCommands"), 1) << text.toStdString();
        if (show)
            EXPECT_TRUE(text.startsWith("[Run]\r\nLastUser=sa\r\nLastDbName=master\r\n"
                                        "LastServerName=DEMO\r\nShowHiddenCommands=1\r\n"))
                << "rewritten in its place";
        else
            EXPECT_TRUE(
                text.contains("\r\nCellViewer=1\r\nShowHiddenCommands=0\r\n\r\n[Config]\r\n"))
                << "the default, written after the [Run] keys";
    }
}

TEST_F(Devices, ListsTheServersDevicesSortedAndShowsTheFirst) {
    Tserverform* w = connectTo("DEMO", true);
    ASSERT_NE(w, nullptr);
    const QStringList fromServer = serverDevices(w->sybase->DbProc());
    QStringList sorted = fromServer;
    sorted.sort();
    ASSERT_NE(fromServer, sorted) << "the server lists them out of order";
    ASSERT_EQ(sorted.first(), "a_dev");

    ASSERT_TRUE(openDevices(*w, [&](Tf_devices& d) {
        EXPECT_EQ(d.windowTitle(), "Devices");
        EXPECT_EQ(d.Label7->text(), "Devices :");
        EXPECT_EQ(d.IXButton1->toolTip(), "Close");
        EXPECT_EQ(test::items(d.l_devices), sorted);
        EXPECT_EQ(d.l_devices->Value(), "a_dev");
        EXPECT_EQ(d.l_devices->currentRow(), 0);
        EXPECT_EQ(details(d),
                  (Details{"a_dev", "/devices/a_dev.dat", "7", "/mirrors/a_dev.mir", "2"}));

        ASSERT_EQ(d.p_devices->count(), 3);
        EXPECT_EQ((QStringList{d.p_devices->tabText(0), d.p_devices->tabText(1),
                               d.p_devices->tabText(2)}),
                  (QStringList{"Properties", "Databases", "Segments"}));
        EXPECT_EQ(d.p_devices->currentWidget(), d.t_properties);
        EXPECT_TRUE(d.t_databases->findChildren<QWidget*>().isEmpty());
        EXPECT_TRUE(d.t_segments->findChildren<QWidget*>().isEmpty());
        for (QLineEdit* e : {d.e_logical_name, d.e_physical_name, d.e_virtual_device_number,
                             d.e_mirror_name, d.e_size})
            EXPECT_TRUE(e->isReadOnly()) << e->objectName().toStdString();
        QStringList labels;
        for (const QLabel* label : d.t_properties->findChildren<QLabel*>())
            labels << label->text();
        EXPECT_EQ(labels,
                  (QStringList{"Logical Name :", "Physical Name :", "Virtual Device Number :",
                               "Mirror Name :", "Size :", "MB"}));
    }));
    EXPECT_EQ(devicesOpened(), 1);
    EXPECT_EQ(opened.data(), nullptr) << "freed on return";
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Devices, ClickingADeviceShowsItsDetails) {
    Tserverform* w = connectTo("DEMO", true);
    ASSERT_NE(w, nullptr);
    // No mirror shows an empty mirror name; 1280 pages at 512 a megabyte: 2.5, to the even 2;
    // a name holding a double quote is found.
    const Details shown[] = {{"nomirror_dev", "/devices/nomirror_dev.dat", "9", "", "2"},
                             {"zero_dev", "/devices/zero.dat", "0", "", "2"},
                             {"q\"dev", "/devices/qdev.dat", "12", "", "1"},
                             {"a_dev", "/devices/a_dev.dat", "7", "/mirrors/a_dev.mir", "2"}};
    ASSERT_TRUE(openDevices(*w, [&](Tf_devices& d) {
        for (const Details& device : shown) {
            click(d, device.logical);
            EXPECT_EQ(d.l_devices->Value(), device.logical);
            EXPECT_EQ(details(d), device);
        }
    }));
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messages().front().text.toStdString();
}

TEST_F(Devices, APageSizeGivingNoLeadingDigitsLeavesTheSizeEmpty) {
    // 1048576 / 4194304 = 0.25: no digit before the point, so no pages per megabyte.
    test::runAsSa(
        {"update master.dbo.spt_values set low = 4194304 where type = 'E' and number = 1"});
    Tserverform* w = connectTo("DEMO", true);
    ASSERT_NE(w, nullptr);
    const bool shown = openDevices(*w, [&](Tf_devices& d) {
        EXPECT_EQ(details(d),
                  (Details{"a_dev", "/devices/a_dev.dat", "7", "/mirrors/a_dev.mir", ""}));
    });
    test::runAsSa({"update master.dbo.spt_values set low = 2048 where type = 'E' and number = 1"});
    EXPECT_TRUE(shown);
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(Devices, AConnectionALoadIsReadingFromIsLeftAlone) {
    Tserverform* w = connectTo("DEMO", true);
    ASSERT_NE(w, nullptr);
    const BusyConnection loading(w->sybase->DbProc());
    ASSERT_TRUE(openDevices(*w, [&](Tf_devices& d) {
        EXPECT_EQ(d.l_devices->count(), 0);
        EXPECT_EQ(details(d), Details{});
    }));
}

TEST_F(Devices, OpenedFromTheSecondOfTwoWindowsListsTheFirstWindowsServer) {
    // A second server, named OTHER, with a device the first has not.
    test::SimServer other({"--demo"});
    ASSERT_NO_THROW(other.start());
    const char* sybase = std::getenv("SYBASE");
    ASSERT_NE(sybase, nullptr);
    {
        std::ofstream directory(std::string(sybase) + "/INI/SQL.INI",
                                std::ios::binary | std::ios::app);
        directory << "[OTHER]\r\nquery=TCP,127.0.0.1," << other.port() << "\r\n";
        ASSERT_TRUE(directory.good());
    }
    test::runAsSa({deviceRow("other_dev", 5, 2048, {})}, {}, "OTHER");

    Tserverform* first = connectTo("DEMO", false);
    ASSERT_NE(first, nullptr);
    Tserverform* second = connectTo("OTHER", true);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(first, second);
    ASSERT_EQ(second->sybase->ServerName(), "OTHER");
    const QStringList onFirst = serverDevices(first->sybase->DbProc());
    const QStringList onSecond = serverDevices(second->sybase->DbProc());
    ASSERT_TRUE(onSecond.contains("other_dev"));
    ASSERT_FALSE(onSecond.contains("a_dev"));
    QStringList expected = onFirst;
    expected.sort();

    ASSERT_TRUE(openDevices(*second, [&](Tf_devices& d) {
        EXPECT_EQ(test::items(d.l_devices), expected);
        EXPECT_EQ(details(d),
                  (Details{"a_dev", "/devices/a_dev.dat", "7", "/mirrors/a_dev.mir", "2"}));
    }));
    EXPECT_TRUE(dialogs.messages().empty());
    closeWindow(second);
    closeWindow(first);
}

// "Modify Data" runs the expert on the window's connection and opens the view it chose.
TEST_F(Devices, ModifyDataOpensTheViewTheExpertChose) {
    writeIni(test::lastLogin("sa", "master", "DEMO") + "ShowHiddenCommands=1\r\n");
    Tserverform* w = connect("");
    ASSERT_NE(w, nullptr);
    // A "use" run in the window: the expert lists that database, and the view opens in it.
    TSybQuery use;
    use.setAutoDbProc(false);
    use.setDbProc(w->sybase->DbProc());
    use.setSql("use ostrimdemo");
    ASSERT_EQ(use.Execute(), kSucceed);
    const auto page = [this]<class Page>(std::function<void(Page&)> act) {
        dialogs.dialogHandlers.push_back([act](QDialog& d) {
            auto* p = qobject_cast<Page*>(&d);
            if (!p)
                return int(QDialog::Rejected);
            act(*p);
            p->btn_next->click();
            return p->result();
        });
    };
    for (const auto& [layout, view] :
         {std::pair{&Tf_form3::r_grid, "ostrim::Tf_modify"},
          std::pair{&Tf_form3::r_vertical, "ostrim::Tf_modify_form"}}) {
        page.operator()<Tf_form2>([&](Tf_form2& p) { test::pick(p.l_tablenames, "publishers"); });
        page.operator()<Tf_form25>([](Tf_form25& p) { p.Button2->click(); });
        page.operator()<Tf_form27>([&](Tf_form27& p) { test::pick(p.l_primarykeys, "pub_id"); });
        page.operator()<Tf_form3>([choice = layout](Tf_form3& p) { (p.*choice)->click(); });
        page.operator()<Tf_formsql>([](Tf_formsql&) {});
        const qsizetype before = main->mdiArea()->subWindowList().size();
        w->toolButton(26)->click();
        EXPECT_TRUE(dialogs.dialogHandlers.empty()) << "every page was shown";
        const QList<QMdiSubWindow*> children = main->mdiArea()->subWindowList();
        ASSERT_EQ(children.size(), before + 1) << view;
        QWidget* shownView = children.last()->widget();
        EXPECT_STREQ(shownView->metaObject()->className(), view);
        const auto* grid = qobject_cast<Tf_modify*>(shownView);
        const auto* form = qobject_cast<Tf_modify_form*>(shownView);
        EXPECT_EQ((grid ? grid->syb_modify : form->syb_modify_form)->DBName(), "ostrimdemo");
        shownView->close();
    }
}

} // namespace
} // namespace ostrim
