// Texts of the node list and the node status line.
#pragma once

#include <QString>
#include <cstdint>

// "%2.2X (%dd)": "0A (10d)".
QString NodeIdText(int nodeId);

// "Bootup", "Pre-Operational", "Operational", "Stopped", else "Unknown".
QString NodeStateText(uint32_t nodeState);
