// The list of all transmit messages.
#pragma once

#include <QWidget>

class TWin_TransmitMessages : public QWidget {
public:
    explicit TWin_TransmitMessages(QWidget* parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName(QStringLiteral("TWin_TransmitMessages"));
        setWindowTitle(QStringLiteral("Transmit Messages"));
    }
};
