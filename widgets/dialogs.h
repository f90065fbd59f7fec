#pragma once
// The dialog seam: every modal interaction of the program goes through one service, so that
// tests can script message boxes and dialogs and check their exact texts and captions.

#include <QDeadlineTimer>
#include <QMessageBox>
#include <QMetaObject>
#include <QString>

#include <functional>

class QDialog;
class QFont;
class QPrinter;
class QWidget;

namespace ostrim {

class DialogService {
public:
    virtual ~DialogService() = default;
    // A message box; returns the button pressed.
    virtual QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                                QMessageBox::Icon icon,
                                                QMessageBox::StandardButtons buttons,
                                                QMessageBox::StandardButton defaultButton) = 0;
    // Runs a modal dialog; returns its result (QDialog::Accepted / Rejected or done() code).
    virtual int exec(QDialog& dialog) = 0;
    // File dialogs; an empty name means cancelled.
    virtual QString openFileName(const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString saveFileName(const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    // Font dialog; false when cancelled, else font holds the choice.
    virtual bool chooseFont(QFont& font, const QString& caption) = 0;
    // Print dialog; false when cancelled.
    virtual bool choosePrinter(QPrinter& printer, const QString& caption) = 0;
};

namespace Dialogs {

// The service in use: the real dialogs unless a test installed its own.
DialogService& current();
// Installs a service (not owned); nullptr restores the real dialogs.
void install(DialogService* service);

QMessageBox::StandardButton
message(const QString& text, const QString& caption, QMessageBox::Icon icon = QMessageBox::Warning,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
int exec(QDialog& dialog);
QString openFileName(const QString& caption, const QString& dir, const QString& filter);
QString saveFileName(const QString& caption, const QString& dir, const QString& filter);
bool chooseFont(QFont& font, const QString& caption);
bool choosePrinter(QPrinter& printer, const QString& caption);

// From any thread: the box is shown on the GUI thread, after the ones posted before it; the
// caller does not wait for the user, so a worker never blocks on the interface.
void postMessage(const QString& text, const QString& caption,
                 QMessageBox::Icon icon = QMessageBox::Warning);

// Runs the event loop, as a modal box does, until done() holds or the deadline has come; whether
// done() holds. Waiting for a worker goes through here, so the GUI thread never blocks on one.
// connectWake connects the signal after which done() may hold to the function it is given, which
// ends the current round at once.
bool runEventsUntil(
    const std::function<bool()>& done, QDeadlineTimer deadline,
    const std::function<QMetaObject::Connection(const std::function<void()>&)>& connectWake);

} // namespace Dialogs

} // namespace ostrim
