#include "gui/notifier.h"

#include <QApplication>
#include <QMessageBox>

void MessageBoxNotifier::notify(Kind kind, const QString& text) {
    QMessageBox box(kind == Kind::Warning ? QMessageBox::Warning : QMessageBox::Information,
                    QStringLiteral("Quorvane"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}
