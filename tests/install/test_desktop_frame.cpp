// The frame as a desktop program shows it: Help > Contents and the server window's "?" open the
// user guide, and a maximised window's title is not framed by the program's name twice.
#include "frame_test.h"

#include <QDesktopServices>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

namespace ostrim {
namespace {

[[maybe_unused]] test::ServerEnvironment* const g_environment =
    test::addServerEnvironment({.entries = {{"SIMSERVER"}}});

class DesktopFrame : public test::FrameTest<> {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        writeIni(test::lastLogin("sa", "master", "SIMSERVER"));
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler("file");
        FrameTest::TearDown();
    }
    QStringList messageTexts() {
        QStringList texts;
        for (const auto& call : dialogs.messages()) {
            EXPECT_EQ(call.caption, "Help");
            texts.append(call.text);
        }
        return texts;
    }
};

TEST_F(DesktopFrame, HelpContentsOpensTheGuideOrSaysWhyNot) {
    Tmain& m = frame();
    m.userGuide = writeFile("guide.html", "<html></html>");
    QTextBrowser viewer; // stands in for the desktop's viewer of local files
    QDesktopServices::setUrlHandler("file", &viewer, "setSource");
    m.Contents1->trigger();
    EXPECT_EQ(viewer.source(), QUrl::fromLocalFile(m.userGuide));
    EXPECT_TRUE(messageTexts().isEmpty());

    // The offscreen platform has no viewer of its own.
    QDesktopServices::unsetUrlHandler("file");
    m.Contents1->trigger();
    QFile::remove(m.userGuide);
    m.Contents1->trigger();
    EXPECT_EQ(messageTexts(),
              QStringList({"The user guide " + m.userGuide + " could not be opened.",
                           "The user guide " + m.userGuide + " was not found."}));
}

TEST_F(DesktopFrame, TheServerWindowsHelpButtonOpensTheGuide) {
    Tmain& m = frame();
    m.userGuide = writeFile("guide.html", "<html></html>");
    QTextBrowser viewer; // stands in for the desktop's viewer of local files
    QDesktopServices::setUrlHandler("file", &viewer, "setSource");
    Tserverform* w = connect();
    ASSERT_NE(w, nullptr);
    w->toolButton(20)->click();
    EXPECT_EQ(viewer.source(), QUrl::fromLocalFile(m.userGuide));
}

TEST_F(DesktopFrame, AMaximisedWindowsTitleIsTheFramesWithoutTheProgramsName) {
    Tmain& m = frame();
    Tserverform* w = connect();
    ASSERT_NE(w, nullptr);
    QMdiSubWindow* sub = m.mdiArea()->subWindowList().constFirst();
    ASSERT_NE(m.windowHandle(), nullptr);
    sub->showNormal();
    EXPECT_EQ(m.windowHandle()->title(), "Ostrim");

    sub->showMaximized();
    EXPECT_EQ(m.windowHandle()->title(), w->windowTitle());
    EXPECT_EQ(m.windowTitle(), "Ostrim - [" + w->windowTitle() + "]") << "the caption stays";
    w->setWindowTitle("SIMSERVER/master:sa - other.sql");
    EXPECT_EQ(m.windowHandle()->title(), "SIMSERVER/master:sa - other.sql");

    sub->showNormal();
    EXPECT_EQ(m.windowHandle()->title(), "Ostrim");
}

} // namespace
} // namespace ostrim
