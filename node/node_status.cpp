#include "node/node_status.h"

#include "gui/signal_state.h"

QString NodeIdText(int nodeId) {
    const QString hex = QStringLiteral("%1").arg(nodeId, 2, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("%1 (%2d)").arg(hex).arg(nodeId);
}

QString NodeStateText(uint32_t nodeState) {
    switch (nodeState) {
        case kNodeStateBootup:
            return QStringLiteral("Bootup");
        case kNodeStatePreOperational:
            return QStringLiteral("Pre-Operational");
        case kNodeStateOperational:
            return QStringLiteral("Operational");
        case kNodeStateStopped:
            return QStringLiteral("Stopped");
        default:
            return QStringLiteral("Unknown");
    }
}
