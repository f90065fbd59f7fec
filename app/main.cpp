// Ostrim: start-up only.

#include "form_expert.h"
#include "u_directory.h"
#include "u_main.h"
#include "u_results.h"
#include "u_server.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ostrim");
    // The desktop adds the display name to every window's title; the desktop file name ties the
    // windows to ostrim.desktop (its icon, its menu entry).
    QApplication::setApplicationDisplayName("Ostrim");
    QGuiApplication::setDesktopFileName("ostrim");
    QIcon icon;
    for (const QString& size : QDir(":/icons").entryList())
        icon.addFile(":/icons/" + size);
    QApplication::setWindowIcon(icon);
    const QStringList args = QApplication::arguments();
    ostrim::Tmain main(args.size() > 1 ? args.at(1) : QString());
    main.setServerWindowFactory(
        [](ostrim::Tmain& frame) -> QWidget* { return ostrim::Tserverform::open(frame); });
    main.setResultsWindowFactory(
        [](ostrim::Tmain& frame, const ostrim::RunParameters& run) -> QWidget* {
            return ostrim::Tresults_form::open(frame, run);
        });
    // Hidden and kept for the program's life, as the start-up forms are: the directory picker and
    // the form expert's kept pages. Made here, not by the frame: the frame sits below the
    // administration windows and never uses them. The pages go before the frame that owns them.
    auto* directory = new ostrim::Tf_directory(&main);
    directory->hide();
    ostrim::FormExpertPages expertPages(&main);
    ostrim::FormExpertPages::setProgram(&expertPages);
    main.showMaximized();
    return QApplication::exec();
}
