#include "dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QThread>
#include <QTimer>

#include <deque>
#include <mutex>

namespace ostrim {

namespace {

// The real dialogs, parented to the active window.
class QtDialogs final : public DialogService {
public:
    QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                        QMessageBox::Icon icon,
                                        QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton defaultButton) override {
        QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
        if (defaultButton != QMessageBox::NoButton)
            box.setDefaultButton(defaultButton);
        return QMessageBox::StandardButton(box.exec());
    }
    int exec(QDialog& dialog) override { return dialog.exec(); }
    QString openFileName(const QString& caption, const QString& dir,
                         const QString& filter) override {
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, dir, filter);
    }
    QString saveFileName(const QString& caption, const QString& dir,
                         const QString& filter) override {
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, dir, filter);
    }
    bool chooseFont(QFont& font, const QString& caption) override {
        bool ok = false;
        QFont chosen = QFontDialog::getFont(&ok, font, QApplication::activeWindow(), caption);
        if (ok)
            font = chosen;
        return ok;
    }
    bool choosePrinter(QPrinter& printer, const QString& caption) override {
        QPrintDialog dialog(&printer, QApplication::activeWindow());
        dialog.setWindowTitle(caption);
        return dialog.exec() == QDialog::Accepted;
    }
};

QtDialogs s_real;
DialogService* s_service = &s_real;

} // namespace

namespace Dialogs {

DialogService& current() {
    return *s_service;
}

void install(DialogService* service) {
    s_service = service ? service : &s_real;
}

QMessageBox::StandardButton message(const QString& text, const QString& caption,
                                    QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton) {
    return s_service->message(text, caption, icon, buttons, defaultButton);
}

int exec(QDialog& dialog) {
    return s_service->exec(dialog);
}

QString openFileName(const QString& caption, const QString& dir, const QString& filter) {
    return s_service->openFileName(caption, dir, filter);
}

QString saveFileName(const QString& caption, const QString& dir, const QString& filter) {
    return s_service->saveFileName(caption, dir, filter);
}

bool chooseFont(QFont& font, const QString& caption) {
    return s_service->chooseFont(font, caption);
}

bool choosePrinter(QPrinter& printer, const QString& caption) {
    return s_service->choosePrinter(printer, caption);
}

namespace {

struct PostedBox {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

std::mutex g_postedMutex;
std::deque<PostedBox> g_posted; // guarded by g_postedMutex
bool g_showingPosted = false;   // GUI thread only

// One box at a time, in posting order. A box's own event loop runs this again for the boxes
// posted meanwhile: they wait until it is closed, instead of opening on top of it, which would
// leave the last one to be read first.
void showPostedBoxes() {
    if (g_showingPosted)
        return;
    g_showingPosted = true;
    for (;;) {
        PostedBox box;
        {
            const std::lock_guard lock(g_postedMutex);
            if (g_posted.empty())
                break;
            box = std::move(g_posted.front());
            g_posted.pop_front();
        }
        message(box.text, box.caption, box.icon);
    }
    g_showingPosted = false;
}

} // namespace

void postMessage(const QString& text, const QString& caption, QMessageBox::Icon icon) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    if (QThread::currentThread() == app->thread()) {
        message(text, caption, icon);
        return;
    }
    {
        const std::lock_guard lock(g_postedMutex);
        g_posted.push_back({text, caption, icon});
    }
    QMetaObject::invokeMethod(app, &showPostedBoxes, Qt::QueuedConnection);
}

bool runEventsUntil(
    const std::function<bool()>& done, QDeadlineTimer deadline,
    const std::function<QMetaObject::Connection(const std::function<void()>&)>& connectWake) {
    QEventLoop loop;
    QTimer alarm;
    alarm.setSingleShot(true);
    QObject::connect(&alarm, &QTimer::timeout, &loop, &QEventLoop::quit);
    const QMetaObject::Connection wake = connectWake([&loop] { loop.quit(); });
    while (!done() && !deadline.hasExpired()) {
        if (!deadline.isForever())
            alarm.start(std::chrono::milliseconds(deadline.remainingTime()));
        loop.exec();
    }
    QObject::disconnect(wake);
    return done();
}

} // namespace Dialogs

} // namespace ostrim
