// Window placement rules shared by the windows of quorvane. UI thread.
#pragma once

class QWidget;

// Centres the window on its screen (left and top rounded toward zero).
void CentreOnScreen(QWidget* window);

// On a desktop with exactly one monitor: moves a window whose left edge lies
// at or beyond the monitor's width back by whole monitor widths, then a
// negative left edge to 0. Nothing with several monitors.
void KeepOnSingleMonitor(QWidget* window);
