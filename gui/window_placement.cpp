#include "gui/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QPoint CentredTopLeft(const QRect& screen, const QSize& window) {
    return {screen.x() + (screen.width() - window.width()) / 2,
            screen.y() + (screen.height() - window.height()) / 2};
}

int SingleMonitorLeft(int left, int monitorWidth) {
    if (monitorWidth > 0 && left >= monitorWidth) left %= monitorWidth;
    return left < 0 ? 0 : left;
}

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    window->move(CentredTopLeft(screen->geometry(), window->size()));
}

void KeepOnSingleMonitor(QWidget* window) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() != 1) return;
    const int left = SingleMonitorLeft(window->x(), screens.front()->geometry().width());
    if (left != window->x()) window->move(left, window->y());
}
