#pragma once
// The fixture of the tests that drive the frame: a temporary OSTRIM_HOME, the scripted dialog
// service, and a Tmain whose Connect and New open server windows.

#include "qt_print.h"
#include "scripted_dialogs.h"
#include "server_environment.h"
#include "sybdatabase.h"
#include "u_main.h"
#include "u_server.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <memory>

namespace ostrim::test {

// The configuration's [Run] section: the login dialog offers these.
QByteArray lastLogin(const QString& user, const QString& database,
                     const QString& server = QStringLiteral("DEMO"));

// The entries of a combo box, in order.
QStringList items(const QComboBox* box);
QStringList items(const QListWidget* list);

// The first column of the last row sql gives on process; the statement must succeed.
QString lastValue(DbProcHandle process, const QString& sql);

// Runs each statement as sa on the server named server, in database (the login's when empty);
// each must succeed. For the environment's prepare hook.
void runAsSa(const QStringList& statements, const QString& database = {},
             const QString& server = QStringLiteral("DEMO"));

template <class Dialogs = ScriptedDialogs> class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("OSTRIM_HOME", home.path().toLocal8Bit());
    }
    void TearDown() override {
        dialogs.messageAnswers = closingAnswers;
        main.reset();
        qunsetenv("OSTRIM_HOME");
    }

    // A new frame; shown at 1000 x 700 unless a test needs it hidden.
    Tmain& frame(const QString& commandLineFile = {}, bool show = true) {
        main = std::make_unique<Tmain>(commandLineFile);
        main->setServerWindowFactory([](Tmain& m) -> QWidget* { return Tserverform::open(m); });
        if (show) {
            main->resize(1000, 700);
            main->show();
        }
        return *main;
    }
    // Connect with the login dialog accepted, the password typed unless null; the window it
    // opened, or null.
    Tserverform* connect(const QString& password = {}) {
        dialogs.dialogHandlers.push_back([password](QDialog& d) {
            if (!password.isNull())
                d.findChild<QLineEdit*>("Password")->setText(password);
            return int(QDialog::Accepted);
        });
        main->Connect1->trigger();
        QApplication::processEvents();
        return qobject_cast<Tserverform*>(main->currentServer.data());
    }

    QString writeFile(const QString& name, const QByteArray& text) {
        QFile f(home.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write(text);
        return f.fileName();
    }
    void writeIni(const QByteArray& text) { writeFile("Ostrim.Ini", text); }
    QString ini() {
        QFile f(home.filePath("Ostrim.Ini"));
        return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
    }
    int calls(const QString& kind) {
        int n = 0;
        for (const auto& c : dialogs.calls)
            n += c.kind == kind;
        return n;
    }

    QTemporaryDir home;
    Dialogs dialogs;
    std::unique_ptr<Tmain> main;
    // The answers to the questions the frame asks while it closes.
    std::deque<QMessageBox::StandardButton> closingAnswers;
};

} // namespace ostrim::test
