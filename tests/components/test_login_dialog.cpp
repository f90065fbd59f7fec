#include "sybaselogin.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace ostrim {
namespace {

// The widget that holds the keyboard focus, seen from the control the user means: an editable
// combo box keeps its focus in its own line edit.
QWidget* focusedControl() {
    QWidget* w = QApplication::focusWidget();
    if (w && qobject_cast<QComboBox*>(w->parentWidget()))
        return w->parentWidget();
    return w;
}

TEST(LoginDialog, ShowsTheFixedTextsAndHidesThePassword) {
    TPasswordDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "Login");
    EXPECT_EQ(dialog.Label3()->text(), "&Server Name :");
    EXPECT_EQ(dialog.Label2()->text(), "&Login :");
    EXPECT_EQ(dialog.Label1()->text(), "&Password :");
    EXPECT_EQ(dialog.OKBtn()->text(), "OK");
    EXPECT_EQ(dialog.CancelBtn()->text(), "Cancel");
    EXPECT_TRUE(dialog.OKBtn()->isDefault());
    EXPECT_EQ(dialog.Password()->echoMode(), QLineEdit::Password);
}

TEST(LoginDialog, TabWalksServerLoginPasswordOkCancel) {
    TPasswordDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.activateWindow();
    dialog.server()->setFocus();
    const std::vector<QWidget*> expected{dialog.username(), dialog.Password(), dialog.OKBtn(),
                                         dialog.CancelBtn(), dialog.server()};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(focusedControl(), next) << next->objectName().toStdString();
    }
}

TEST(LoginDialog, FocusGoesToPasswordWhenLoginAndServerAreFilled) {
    TPasswordDlg filled;
    filled.username()->setText("sa");
    filled.server()->setEditText("SYBASE");
    filled.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&filled));
    EXPECT_EQ(filled.focusWidget(), filled.Password());
    filled.hide();

    TPasswordDlg noServer;
    noServer.username()->setText("sa");
    noServer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&noServer));
    EXPECT_NE(noServer.focusWidget(), noServer.Password());
}

TEST(LoginDialog, TypingAServerNamesItInTheCaption) {
    TPasswordDlg dialog;
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.server()->setFocus();
    QTest::keyClicks(dialog.server()->lineEdit(), "SRV");
    EXPECT_EQ(dialog.windowTitle(), "Login to SRV");
    dialog.server()->clearEditText();
    EXPECT_EQ(dialog.windowTitle(), "Login to SRV") << "an empty server leaves the caption";
    dialog.server()->addItems({"OTHER"});
    dialog.server()->setCurrentIndex(0);
    EXPECT_EQ(dialog.windowTitle(), "Login to OTHER");
}

TEST(LoginDialog, WithoutTheServerRowTheDialogShrinksToTwoRows) {
    TPasswordDlg full;
    full.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&full));

    TPasswordDlg twoRows;
    twoRows.setServerShown(false);
    twoRows.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&twoRows));
    EXPECT_FALSE(twoRows.server()->isVisible());
    EXPECT_FALSE(twoRows.Label3()->isVisible());
    EXPECT_TRUE(twoRows.username()->isVisible());
    EXPECT_TRUE(twoRows.Password()->isVisible());
    EXPECT_LT(twoRows.height(), full.height());
    EXPECT_LT(twoRows.Bevel1()->height(), full.Bevel1()->height());
    EXPECT_LT(twoRows.OKBtn()->y(), full.OKBtn()->y()) << "the buttons move up";
}

} // namespace
} // namespace ostrim
