// quorvane: the windowed CANopen tool.
#include <QApplication>

#include "app/guarded_run.h"
#include "app/quorvane_app.h"
#include "gui/notifier.h"
#include "node/main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quorvane"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    MessageBoxNotifier notifier;
    return RunGuarded(notifier, [&] {
        QuorvaneApp quorvane(notifier, LibraryInterfaceOpener());
        QObject::connect(quorvane.windows().main, &TWin_Main::closed, &application,
                         &QApplication::quit, Qt::QueuedConnection);
        quorvane.windows().main->show();
        return QApplication::exec();
    });
}
