#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void CentreOnScreen(QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    const QRect area = screen->geometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.x() + (area.width() - size.width()) / 2,
                 area.y() + (area.height() - size.height()) / 2);
}

void KeepOnSingleMonitor(QWidget* window) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() != 1) return;
    const int width = screens.front()->geometry().width();
    if (width <= 0) return;
    int left = window->x();
    while (left >= width) left -= width;
    if (left < 0) left = 0;
    if (left != window->x()) window->move(left, window->y());
}
