// The network overview window and the live node states it shows.
#pragma once

#include <QWidget>

#include "trace/core/network_live_states.h"

class TWin_Network : public QWidget {
public:
    explicit TWin_Network(QWidget* parent = nullptr) : QWidget(parent, Qt::Window) {
        setObjectName(QStringLiteral("TWin_Network"));
        setWindowTitle(QStringLiteral("Network Overview"));
    }
    // Fed by the receive callback (library thread).
    NetworkLiveStates& liveStates() { return liveStates_; }

private:
    NetworkLiveStates liveStates_;
};
