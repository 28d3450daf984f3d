// Answers the "Hardware Error" dialog whenever the nested event loop of its
// exec() shows it, and keeps the texts it showed. UI thread.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include "gui_support/gui_test_support.h"
#include "hardware/hw_init_error_dialog.h"

class ErrorDialogAnswerer {
public:
    explicit ErrorDialogAnswerer(TWin_HWInitError& dialog) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this, &dialog] {
            if (!dialog.isVisible()) return;
            shown << guitest::find<QLabel>(&dialog, "error")->text();
            guitest::find<QPushButton>(&dialog, "close")->click();
        });
        timer_.start();
    }

    QStringList shown;  // the error texts, in order

private:
    QTimer timer_;
};
