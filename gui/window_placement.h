// Window placement rules shared by the windows of quorvane. UI thread.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Top-left corner that centres a window of size `window` on `screen`
// (halves rounded toward zero).
QPoint CentredTopLeft(const QRect& screen, const QSize& window);
// Left edge of a window on a desktop of exactly one monitor: moved left by
// whole monitor widths while at or beyond the monitor width, then a
// negative edge becomes 0.
int SingleMonitorLeft(int left, int monitorWidth);

// Centres the window on its screen.
void CentreOnScreen(QWidget* window);

// On a desktop with exactly one monitor: moves a window whose left edge lies
// at or beyond the monitor's width back by whole monitor widths, then a
// negative left edge to 0. Nothing with several monitors.
void KeepOnSingleMonitor(QWidget* window);
