#pragma once
// Checks on the message boxes a window showed through the scripted dialog service, and the
// tools file's records.

#include "scripted_dialogs.h"

#include <gtest/gtest.h>

#include <optional>

namespace ostrim::test {

// Exactly count boxes so far, the last with this text and, where given, caption, icon and buttons.
inline void expectLastBox(const ScriptedDialogs& dialogs, std::size_t count, const QString& text,
                          const QString& caption = {},
                          std::optional<QMessageBox::Icon> icon = std::nullopt,
                          std::optional<QMessageBox::StandardButtons> buttons = std::nullopt) {
    // The expected text in every message tells which check failed.
    SCOPED_TRACE(text.toStdString());
    const std::vector<DialogCall> boxes = dialogs.messages();
    ASSERT_EQ(boxes.size(), count) << text.toStdString();
    EXPECT_EQ(boxes.back().text, text);
    EXPECT_TRUE(caption.isNull() || boxes.back().caption == caption)
        << boxes.back().caption.toStdString();
    EXPECT_TRUE(!icon || boxes.back().icon == *icon) << boxes.back().icon;
    EXPECT_TRUE(!buttons || boxes.back().buttons == *buttons) << boxes.back().buttons.toInt();
}

// One tool as the tools file holds it: four tagged lines.
inline QByteArray toolRecord(const QByteArray& title, const QByteArray& program = {},
                             const QByteArray& workingDir = {}, const QByteArray& parameters = {}) {
    return "Title      =" + title + "\r\nProgram    =" + program + "\r\nWorkingDir =" + workingDir +
           "\r\nParameters =" + parameters + "\r\n";
}

} // namespace ostrim::test
