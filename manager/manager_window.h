// The CANopen Manager configuration window.
#pragma once

#include <QWidget>

class TWin_CANopenManager : public QWidget {
public:
    explicit TWin_CANopenManager(QWidget* parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName(QStringLiteral("TWin_CANopenManager"));
        setWindowTitle(QStringLiteral("CANopen Manager"));
    }
};
