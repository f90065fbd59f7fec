#include "scripted_dialogs.h"

#include <QDialog>

namespace ostrim::test {

ScriptedDialogs::ScriptedDialogs() {
    Dialogs::install(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    Dialogs::install(nullptr);
}

std::vector<DialogCall> ScriptedDialogs::messages() const {
    std::vector<DialogCall> out;
    for (const auto& c : calls)
        if (c.kind == "message")
            out.push_back(c);
    return out;
}

QMessageBox::StandardButton ScriptedDialogs::message(const QString& text, const QString& caption,
                                                     QMessageBox::Icon icon,
                                                     QMessageBox::StandardButtons buttons,
                                                     QMessageBox::StandardButton defaultButton) {
    calls.push_back({"message", text, caption, icon, buttons, {}});
    if (whileMessageShown)
        whileMessageShown(calls.back());
    if (!messageAnswers.empty()) {
        auto answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    return defaultButton != QMessageBox::NoButton ? defaultButton : QMessageBox::Ok;
}

int ScriptedDialogs::exec(QDialog& dialog) {
    calls.push_back({"exec",
                     {},
                     dialog.windowTitle(),
                     QMessageBox::NoIcon,
                     {},
                     QString::fromLatin1(dialog.metaObject()->className())});
    if (dialogHandlers.empty())
        return QDialog::Rejected;
    auto handler = std::move(dialogHandlers.front());
    dialogHandlers.pop_front();
    return handler(dialog);
}

QString ScriptedDialogs::nextFile() {
    if (fileAnswers.empty())
        return {};
    QString f = fileAnswers.front();
    fileAnswers.pop_front();
    return f;
}

QString ScriptedDialogs::openFileName(const QString& caption, const QString& dir, const QString&) {
    calls.push_back({"open", dir, caption, QMessageBox::NoIcon, {}, {}});
    return nextFile();
}

QString ScriptedDialogs::saveFileName(const QString& caption, const QString& dir, const QString&) {
    calls.push_back({"save", dir, caption, QMessageBox::NoIcon, {}, {}});
    return nextFile();
}

bool ScriptedDialogs::chooseFont(QFont&, const QString& caption) {
    calls.push_back({"font", {}, caption, QMessageBox::NoIcon, {}, {}});
    if (fontAnswers.empty())
        return false;
    bool answer = fontAnswers.front();
    fontAnswers.pop_front();
    return answer;
}

bool ScriptedDialogs::choosePrinter(QPrinter& printer, const QString& caption) {
    calls.push_back({"print", {}, caption, QMessageBox::NoIcon, {}, {}});
    if (printerAnswers.empty())
        return false;
    auto answer = std::move(printerAnswers.front());
    printerAnswers.pop_front();
    return answer(printer);
}

} // namespace ostrim::test
