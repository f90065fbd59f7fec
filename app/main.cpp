// Ostrim: start-up only.

#include "connection_window.h"
#include "u_main.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ostrim");
    QApplication::setApplicationDisplayName("Ostrim");
    const QStringList args = QApplication::arguments();
    ostrim::Tmain main(args.size() > 1 ? args.at(1) : QString());
    main.setServerWindowFactory(
        [](ostrim::Tmain& frame) -> QWidget* { return ostrim::ConnectionWindow::open(frame); });
    main.showMaximized();
    return QApplication::exec();
}
