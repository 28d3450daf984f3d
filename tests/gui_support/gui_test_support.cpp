#include "gui_support/gui_test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include "gui/settings_store.h"

namespace guitest {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limit.count()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

void clearSettings() {
    QSettings settings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
    settings.clear();
    settings.sync();
}

QStringList RecordingNotifier::texts() const {
    QStringList list;
    for (const auto& box : boxes) list << box.second;
    return list;
}

}  // namespace guitest
