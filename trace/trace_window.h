// The bus trace window.
#pragma once

#include <QWidget>

class TWin_Trace : public QWidget {
public:
    explicit TWin_Trace(QWidget* parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName(QStringLiteral("TWin_Trace"));
        setWindowTitle(QStringLiteral("Trace"));
    }
};
