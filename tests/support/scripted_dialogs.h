#pragma once
// A dialog service for tests: records every modal call and answers from scripts, without
// showing anything or running a nested event loop.

#include "dialogs.h"

#include <QFont>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace ostrim::test {

struct DialogCall {
    QString kind; // "message", "exec", "open", "save", "font", "print"
    QString text; // a message's text; the proposed name or directory of a file dialog
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString dialogClass; // for "exec": the dialog's class name
};

class ScriptedDialogs : public DialogService {
public:
    // Installs itself for its lifetime.
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    std::vector<DialogCall> calls;
    // Answers for message boxes in order; when empty the default button (or Ok) is pressed.
    std::deque<QMessageBox::StandardButton> messageAnswers;
    // Handlers for modal dialogs in order: fill the fields, return the result.
    // When empty, a dialog is rejected.
    std::deque<std::function<int(QDialog&)>> dialogHandlers;
    std::deque<QString> fileAnswers; // empty string: cancelled
    std::deque<bool> fontAnswers;
    // Runs while a message box is "open", before it is answered: a test may run the event
    // loop there, as a real box does while the user reads it.
    std::function<void(const DialogCall&)> whileMessageShown;
    // Print dialogs in order: set the printer up, return true for OK. When empty: cancelled.
    std::deque<std::function<bool(QPrinter&)>> printerAnswers;

    std::vector<DialogCall> messages() const;

    QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override;
    int exec(QDialog& dialog) override;
    QString openFileName(const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString saveFileName(const QString& caption, const QString& dir,
                         const QString& filter) override;
    bool chooseFont(QFont& font, const QString& caption) override;
    bool choosePrinter(QPrinter& printer, const QString& caption) override;

private:
    QString nextFile();
};

} // namespace ostrim::test
