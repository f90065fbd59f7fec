// Boxes posted from worker threads: shown on the GUI thread, one at a time, in posting order.
#include "dialogs.h"
#include "qt_wait.h"
#include "scripted_dialogs.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace ostrim {
namespace {

TEST(PostedMessages, AreShownOneAfterTheOtherInTheOrderPosted) {
    test::ScriptedDialogs dialogs;
    int open = 0;
    int mostOpen = 0;
    // A real box runs an event loop while the user reads it; the boxes posted meanwhile must
    // wait for it to close.
    dialogs.whileMessageShown = [&](const test::DialogCall&) {
        mostOpen = std::max(mostOpen, ++open);
        QEventLoop reading;
        QTimer::singleShot(50, &reading, &QEventLoop::quit);
        reading.exec();
        --open;
    };
    std::thread worker([] {
        for (const char* text : {"first plan", "second plan", "third plan"})
            Dialogs::postMessage(text, "SQL Server Message - 0");
    });
    worker.join();
    test::waitUntil([&] { return dialogs.calls.size() >= 3; }, 5000);
    QStringList shown;
    for (const auto& call : dialogs.calls)
        shown << call.text;
    EXPECT_EQ(shown, (QStringList{"first plan", "second plan", "third plan"}));
    EXPECT_EQ(mostOpen, 1) << "no box opens on top of another";
}

} // namespace
} // namespace ostrim
